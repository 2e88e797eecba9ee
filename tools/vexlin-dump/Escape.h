// Text that came from a file, made safe for a terminal: no control character (C0, DEL or
// C1) a file holds ever reaches the output as it stands.
#pragma once

#include <string>
#include <string_view>

namespace vexlin::dump {

// UTF-8 text escaped visibly and unambiguously: a backslash as "\\", tab, line feed and
// carriage return as "\t", "\n", "\r", any other C0 control and DEL as "\xHH", a C1 control
// (U+0080 to U+009F) as "\u00HH".
[[nodiscard]] std::string Escaped(std::string_view text);

// Only the control characters escaped, as above; backslashes stay as they are (text that
// already holds escapes, or a view that shows text as it stands).
[[nodiscard]] std::string ControlsEscaped(std::string_view text);

// Serialised JSON with every DEL and C1 control written as a \u escape (the JSON library
// escapes C0 itself); the document means the same.
void EscapeJsonControls(std::string& json);

// Whether text holds a control character other than the ones named in `allowed`.
[[nodiscard]] bool HasControl(std::string_view text, std::string_view allowed = {});

} // namespace vexlin::dump
