// The photos of the Zire, Tungsten and Treo handhelds (type and creator Foto): each picture a
// database of its own, its JPEG cut into records of "DBLK" slices (the system's file streams),
// and PhotosDB-Foto beside them, one record per photo with its name, size, times and a
// thumbnail JPEG.
#pragma once

#include "content/core/Format.h"
#include "content/core/Items.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexlin::content {

// One photo of the thumbnail database. A record of 36 bytes or fewer is a photo deleted on the
// device, kept until the next sync: its item holds nothing else.
struct PhotoThumbnail : Item {
    int Width = 0, Height = 0;   // the photo's, in pixels
    std::uint32_t Size = 0;      // the photo's JPEG, in bytes
    std::uint32_t Modified = 0;  // seconds since 1904, as the header's dates
    std::uint32_t Created = 0;
    std::string Name;            // the photo; its picture database is Name + ".jpg"
    std::vector<std::uint8_t> Thumbnail; // a JPEG of about 84 x 84 pixels, as the record holds it
};

struct Photos : Payload {
    // A picture database: the JPEG joined from its slices, exactly as they hold it.
    bool Picture = false;
    std::size_t Slices = 0;
    std::vector<std::uint8_t> Jpeg;
    // The thumbnail database: one item per record.
    std::vector<PhotoThumbnail> Items;
};

// A picture database's slice: "DBLK", its size (big-endian), its bytes. A record that is
// none, or that ends before its size, is reported and joined as far as it holds the JPEG.
void ReadPhotoSlice(const Bytes& record, const std::string& where, Decoding& d, Photos& photo);
[[nodiscard]] PhotoThumbnail DecodeThumbnail(const Bytes& record, const std::string& where,
                                             Decoding& d);
[[nodiscard]] std::uint64_t Charge(const PhotoThumbnail& item) noexcept;

// The format's descriptor: "photos", for both kinds of database.
extern const FormatDescriptor PhotosFormat;

} // namespace vexlin::content
