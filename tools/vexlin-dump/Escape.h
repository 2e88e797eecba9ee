// Text that came from a file, made safe for a terminal: no control character (C0, DEL or
// C1) and no invisible character that reorders or hides text (bidirectional controls,
// zero-width characters) a file holds ever reaches the output as it stands; and made fit for
// an export file.
#pragma once

#include <string>
#include <string_view>

namespace vexlin::dump {

// UTF-8 text escaped visibly and unambiguously: a backslash as "\\", tab, line feed and
// carriage return as "\t", "\n", "\r", any other C0 control and DEL as "\xHH", a C1 control
// (U+0080 to U+009F) and an invisible character (U+061C, U+180E, U+200B to U+200F, U+2028
// to U+202E, U+2060 to U+2064, U+2066 to U+2069, U+FEFF) as "\uHHHH".
[[nodiscard]] std::string Escaped(std::string_view text);

// Only the control and invisible characters escaped, as above; backslashes stay as they are
// (text that already holds escapes, or a view that shows text as it stands).
[[nodiscard]] std::string ControlsEscaped(std::string_view text);

// Serialised JSON with every DEL, C1 control and invisible character written as a \u escape
// (the JSON library escapes C0 itself); the document means the same.
void EscapeJsonControls(std::string& json);

// The length of an invisible character at text[i] that changes how a terminal shows the
// text around it (3 bytes in UTF-8, 2 for U+061C), or 0: the bidirectional marks,
// embeddings, overrides and isolates (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to
// U+2069), the zero-width characters (U+180E, U+200B to U+200D, U+2060 to U+2064, U+FEFF)
// and the line and paragraph separators (U+2028, U+2029).
[[nodiscard]] std::size_t InvisibleAt(std::string_view text, std::size_t i) noexcept;
// The code point of the 2- or 3-byte UTF-8 sequence at text[i].
[[nodiscard]] unsigned CodePoint(std::string_view text, std::size_t i, std::size_t length) noexcept;

// Whether text holds a control character other than the ones named in `allowed`, or an
// invisible one.
[[nodiscard]] bool HasControl(std::string_view text, std::string_view allowed = {});

// Text for an export file (vCard, iCalendar, mbox): each line end (CRLF, CR or LF) as LF, tab
// kept, any other control character (C0, DEL, C1), which those formats cannot hold, as
// U+FFFD. The formats then escape or fold it as they have it.
[[nodiscard]] std::string ExportText(std::string_view text);

// A file's base name as part of a UID: each byte of a control character (C0, DEL, C1) and of
// a '%' written as %HH, so that distinct names keep distinct UIDs.
[[nodiscard]] std::string UidText(std::string_view name);

} // namespace vexlin::dump
