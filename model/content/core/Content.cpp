#include "content/core/Content.h"
#include "FindingCodes.h"

#include <algorithm>
#include <cstddef>

namespace vexlin::content {

namespace {

// Reads with the sinks of `sinks` (its encoding is not used).
Content ReadContentIn(const Database& database, const std::string& encoding,
                      const ContentOptions& sinks) {
    Content content;
    TextDecoder text(encoding);
    content.Encoding = text.Encoding();
    content.Format = &Identify(database);
    Decoding decoding{text, content.Findings, sinks};
    const Bytes appInfo = database.AppInfo();
    if (content.Format->Categories) {
        if (!appInfo.Data.empty())
            content.Categories = DecodeCategories(appInfo, decoding);
    } else if (database.IsRecords() && PlausibleCategories(appInfo.Data)) {
        content.Categories = DecodeCategories(appInfo, decoding);
    }
    if (content.Format->Read)
        content.Format->Read(database, decoding, content);
    // Records may lie in any order in the file: the findings are put in file order.
    std::stable_sort(content.Findings.begin(), content.Findings.end(),
                     [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
    return content;
}

// The database's text weighed as cp932, before any of it is decoded: the category names (and
// an address book's labels), the records' text fields, an application's names. Records that
// share their bytes are weighed as far as the file's size once over.
EncodingEvidence WeighEncoding(const Database& database) {
    EncodingEvidence evidence;
    const FormatDescriptor& format = Identify(database);
    const ByteSpan appInfo = database.AppInfo().Data;
    if (format.Categories || (database.IsRecords() && PlausibleCategories(appInfo))) {
        for (std::size_t i = 0; i < CategoryCount; ++i) {
            const ByteSpan name = Sub(appInfo, 2 + i * CategoryNameWidth, CategoryNameWidth);
            Weigh(name.first(static_cast<std::size_t>(
                      std::find(name.begin(), name.end(), std::uint8_t{0}) - name.begin())),
                  evidence);
        }
    }
    if (format.WeighText)
        format.WeighText(database, evidence);
    return evidence;
}

} // namespace

Content ReadContent(const DatabaseImage& image, const Structure& structure,
                    const ContentOptions& options) {
    const Database database{image, structure};
    if (!options.Encoding.empty())
        return ReadContentIn(database, options.Encoding, options);
    // Decided before anything is decoded, so that the payload is read once, straight to the
    // sinks.
    const EncodingEvidence evidence = WeighEncoding(database);
    const bool japanese = evidence.Japanese > 0 && evidence.Japanese >= 4 * evidence.Against;
    Content content =
        ReadContentIn(database, japanese ? JapaneseEncoding : DefaultEncoding, options);
    content.EncodingDetected = true;
    content.Evidence = evidence;
    const std::uint64_t weight = evidence.Japanese + evidence.Against;
    // Nothing for cp932 leaves the default sure; a little, or a near balance, does not.
    content.Evidence.Thin =
        evidence.Japanese > 0 &&
        (weight < EncodingEvidenceEnough || (!japanese && evidence.Japanese >= evidence.Against));
    if (content.Evidence.Thin) {
        // At the start of the file: it is about the whole database.
        content.Findings.insert(
            content.Findings.begin(),
            Finding{0, Severity::Note, codes::ContentEncodingGuess.Code,
                    "the text is read as " + content.Encoding +
                        " on thin evidence: " + std::to_string(evidence.Japanese) +
                        " character(s) read as cp932 text, " + std::to_string(evidence.Against) +
                        " against, in " + std::to_string(evidence.Weighed) +
                        " bytes weighed (--encoding names the encoding)"});
    }
    return content;
}

void MergeFindings(Structure& structure, const std::vector<Finding>& findings) {
    for (const Finding& f : findings) {
        switch (f.Level) {
        case Severity::Error:
            ++structure.Errors;
            break;
        case Severity::Warning:
            ++structure.Warnings;
            break;
        case Severity::Note:
            ++structure.Notes;
            break;
        }
    }
    const auto middle = static_cast<std::ptrdiff_t>(structure.Findings.size());
    structure.Findings.insert(structure.Findings.end(), findings.begin(), findings.end());
    std::inplace_merge(structure.Findings.begin(), structure.Findings.begin() + middle,
                       structure.Findings.end(),
                       [](const Finding& a, const Finding& b) { return a.Offset < b.Offset; });
}

} // namespace vexlin::content
