#include "Csv.h"
#include "Escape.h"

namespace vexlin::dump {

void CsvWriter::Row(std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first)
            Out += ',';
        first = false;
        Out += '"';
        for (const char c : ExportText(field)) {
            if (c == '"')
                Out += '"';
            Out += c;
        }
        Out += '"';
    }
    Out += "\r\n";
}

} // namespace vexlin::dump
