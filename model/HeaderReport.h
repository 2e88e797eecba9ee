// The header report: fourteen labelled lines describing a loaded database header, and the
// conversion of the header's 8-bit text (Windows-1252) to UTF-8.
#pragma once

#include "DatabaseImage.h"

#include <array>
#include <string>
#include <string_view>

namespace vexlin {

inline constexpr std::size_t HeaderReportLines = 14;

// Windows-1252 text as UTF-8. The five bytes that code page leaves undefined
// (81 8D 8F 90 9D) become the C1 control characters of the same value.
[[nodiscard]] std::string Cp1252ToUtf8(std::string_view text);

// The 8-bit text of a fixed-width field: up to the first zero byte, or all of it.
[[nodiscard]] std::string_view FieldText(const char* field, std::size_t width) noexcept;

// A fixed-width text field of the header (up to its first zero byte) as UTF-8.
[[nodiscard]] std::string FieldUtf8(const char* field, std::size_t width);

// Database attributes as the report writes them: "0x8008".
[[nodiscard]] std::string AttributesHex(std::uint16_t attributes);

// The fourteen report lines, in UTF-8.
[[nodiscard]] std::array<std::string, HeaderReportLines> HeaderReport(const DatabaseImage& image);

} // namespace vexlin
