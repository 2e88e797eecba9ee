// Comma-separated values as RFC 4180 has them, for the exports people open in a spreadsheet or
// read with a CSV library: UTF-8, CRLF after every row, the first row naming the columns,
// every field quoted and each quote in it doubled (so a comma or a line break in a text stays
// in its field).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vexlin::dump {

class CsvWriter {
  public:
    // One row of fields; the text of each goes through ExportText (line ends as LF inside
    // the quotes, other control characters as U+FFFD).
    void Row(std::initializer_list<std::string_view> fields);
    [[nodiscard]] const std::string& Text() const noexcept { return Out; }

  private:
    std::string Out;
};

} // namespace vexlin::dump
