// The bitmaps a database holds: bitmap resources (Tbmp, tAIB, Tbsb), or the records of a
// database of pictures, each entry a bitmap family. Standard library only.
#pragma once

#include "Structure.h"
#include "content/core/Format.h"
#include "content/picture/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexlin::content {

// One record or resource that holds a bitmap family.
struct BitmapEntry {
    bool IsResource = false;
    char Type[4] = {};      // a resource's type, as the file holds it
    std::uint16_t ID = 0;   // a resource's ID
    std::size_t Record = 0; // a record's index, from 0
    std::vector<Bitmap> Members;
};

// The bitmaps of a database that holds pictures (records or resources).
struct BitmapSet : Payload {
    std::vector<BitmapEntry> Entries;
};

// Receives each bitmap entry once its members are decoded; a reader given one then drops the
// entry's pixels (its headers and decoded sizes stay), so that a database of thousands of
// bitmaps is written out, or described, holding the pixels of one entry at a time.
using BitmapSink = std::function<void(const BitmapEntry& entry)>;

// Bitmaps of a database: bitmap resources, or the records that read as bitmaps.
[[nodiscard]] std::vector<BitmapEntry> ReadBitmaps(const DatabaseImage& image,
                                                   const Structure& structure,
                                                   std::vector<Finding>& findings,
                                                   const BitmapSink& sink = {});

// Whether a resource type holds a bitmap family.
[[nodiscard]] bool IsBitmapType(const char (&type)[4]) noexcept;

// "Tbmp 1000" for a resource, "record 3" (counted from 1) for a record.
[[nodiscard]] std::string EntryName(const BitmapEntry& entry);

// Whether most records of a record database read as bitmaps (and at least one does).
[[nodiscard]] bool RecordsAreBitmaps(const DatabaseImage& image, const Structure& structure);

// The format's descriptor: "bitmaps", a database of bitmap resources or of records that read
// as bitmaps.
extern const FormatDescriptor BitmapsFormat;

} // namespace vexlin::content
