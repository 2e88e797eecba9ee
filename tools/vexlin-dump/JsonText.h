// The one JSON writer of vexlin-dump's streamed output: a value (an element of the long arrays,
// refilled and written in turn) appended as text, as the library's dump writes it with every
// control and invisible character escaped (EscapeJsonControls); the library's serialiser is
// used only through its public dump.
#pragma once

#include "ContentJson.h"

#include <string>

namespace vexlin::dump {

// The value's JSON text (invalid UTF-8 replaced by U+FFFD), controls not yet escaped.
[[nodiscard]] std::string DumpJson(const Json& value);
// Appends the value's JSON text, every control and invisible character escaped. Its strings must
// be valid UTF-8 (the decoders' text is; ValidJsonText makes any other so).
void AppendJson(std::string& out, const Json& value);
// The text as it is when valid UTF-8, else with each bad sequence replaced by U+FFFD.
[[nodiscard]] std::string ValidJsonText(const std::string& text);

} // namespace vexlin::dump
