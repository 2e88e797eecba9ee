// Formats of one item per record (memos, to-dos, events, contacts, mail, ...): what every item
// tells of its record, and the loop that decodes the records one by one within the database's
// OutputBound.
#pragma once

#include "content/core/Bound.h"
#include "content/core/Format.h"
#include "content/core/Reader.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vexlin::content {

// What every item tells: its record (from 1) and the record's attributes.
struct Item {
    std::size_t Record = 0;
    std::uint8_t Category = 0;
    bool Private = false; // the secret attribute
    bool Deleted = false; // the delete attribute: kept in a backup until the next sync
    bool Damaged = false; // a finding was reported for this record
};

// What an item of these texts costs against the OutputBound: its text and itself.
[[nodiscard]] std::uint64_t TextCharge(std::initializer_list<const std::string*> texts) noexcept;

// The finding of a database whose records decode to more than the bound: it names the first
// record left out (at index, of count).
void ReportBound(std::vector<Finding>& findings, const Bytes& bytes, std::size_t index,
                 std::size_t count, const OutputBound& bound);

// Each record decoded by `decode` (Bytes, its name, Decoding -> an Item) into payload.Items,
// with the record's number and attributes; the records past the database's OutputBound, which
// each item pays its Charge(item) to, are left out.
template <typename Payload, typename Decode>
void ReadItems(const Database& database, Decoding& decoding, Payload& payload, Decode decode) {
    const Structure& structure = database.Layout;
    payload.Items.reserve(structure.Records.size());
    OutputBound bound(structure.FileSize);
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        const RecordInfo& entry = structure.Records[i];
        const Bytes bytes = database.Entry(i);
        const std::size_t found = decoding.Findings.size();
        auto item = decode(bytes, RecordName(i), decoding);
        if (!bound.Take(Charge(item))) {
            // What the record left out holds is not reported.
            decoding.Findings.erase(decoding.Findings.begin() + static_cast<std::ptrdiff_t>(found),
                                    decoding.Findings.end());
            ReportBound(decoding.Findings, bytes, i, structure.Records.size(), bound);
            break;
        }
        item.Record = i + 1;
        item.Category = entry.Category();
        item.Private = (entry.Attributes & 0x10) != 0;
        item.Deleted = (entry.Attributes & 0x80) != 0;
        payload.Items.push_back(std::move(item));
    }
}

} // namespace vexlin::content
