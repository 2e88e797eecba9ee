// Malformed databases that the tests, the viewer tests and the fuzz seeds share: truncated
// files, offsets that are zero, negative, past the end of the file or past the image, record
// counts far beyond the file, and descending record offsets.
#pragma once

#include "PdbBuilder.h"

#include <string>
#include <utility>
#include <vector>

namespace vexlin::test {

inline std::vector<std::pair<std::string, Bytes>> MalformedCases() {
    std::vector<std::pair<std::string, Bytes>> cases;
    const Bytes full = PdbBuilder{}
                           .App(Bytes(40, 0xA1))
                           .Sort(Bytes(24, 0x5C))
                           .Record(Text("first record"))
                           .Record(Text("second"))
                           .Build();
    for (std::size_t length = 0; length <= 100 && length <= full.size(); ++length) {
        cases.emplace_back("truncated-" + std::to_string(length),
                           Bytes(full.begin(), full.begin() + static_cast<long>(length)));
    }
    const std::pair<const char*, std::uint32_t> offsets[] = {
        {"zero", 0},          {"negative", 0xFFFFFFF0}, {"most-negative", 0x80000000},
        {"past-end", 5000},   {"past-image", 0x00600000}, {"largest", 0x7FFFFFFF}};
    for (const auto& [name, offset] : offsets) {
        Bytes b = full;
        PutBE32(b, 52, offset);
        PutBE32(b, 56, offset);
        PutBE32(b, 78, offset);
        cases.emplace_back(std::string("offsets-") + name, b);
    }
    Bytes many = PdbBuilder{}.Record(Text("only")).Build();
    PutBE16(many, 76, 0xFFFF);
    cases.emplace_back("65535-records-tiny-file", many);
    Bytes descending = PdbBuilder{}.Record(Text("aaaa")).Record(Text("bbbb")).Record(Text("cc")).Build();
    PutBE32(descending, 78, 200);
    PutBE32(descending, 86, 150);
    PutBE32(descending, 94, 100);
    cases.emplace_back("descending-record-offsets", descending);
    return cases;
}

} // namespace vexlin::test
