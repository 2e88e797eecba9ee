#include "content/core/Items.h"
#include "FindingCodes.h"

#include "content/core/Report.h"

namespace vexlin::content {

std::uint64_t TextCharge(std::initializer_list<const std::string*> texts) noexcept {
    std::uint64_t bytes = 0;
    for (const std::string* text : texts)
        bytes += text->size();
    return OutputBound::PerItem + OutputBound::PerTextByte * bytes;
}

void ReportBound(std::vector<Finding>& findings, const Bytes& bytes, std::size_t index,
                 std::size_t count, const OutputBound& bound) {
    const std::size_t after = count - index - 1;
    Report(findings, bytes.Offset, Severity::Warning, codes::ContentOutputBound.Code,
           RecordName(index) + ": the records before it decode to all that " +
               "a file of this size may yield (" + std::to_string(bound.Limit()) +
               " bytes, 64 for each byte of the file and 1 MiB more: entries share their "
               "bytes); it and the " +
               std::to_string(after) + (after == 1 ? " record" : " records") +
               " after it are left out");
}

} // namespace vexlin::content
