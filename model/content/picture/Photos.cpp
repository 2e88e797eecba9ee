#include "content/picture/Photos.h"
#include "FindingCodes.h"

#include "content/core/BigEndian.h"
#include "content/core/Content.h"
#include "content/core/Reader.h"
#include "content/core/Report.h"

#include <cstring>

namespace vexlin::content {

namespace {

constexpr std::size_t SliceHead = 8;

bool IsSlice(ByteSpan record) noexcept {
    return record.size() >= 4 && std::memcmp(record.data(), "DBLK", 4) == 0;
}

} // namespace

void ReadPhotoSlice(const Bytes& record, const std::string& where, Decoding& d, Photos& photo) {
    Reader in(record, where, d);
    const ByteSpan bytes = record.Data;
    if (!IsSlice(bytes)) {
        in.ReportAt(0, Severity::Warning, codes::ContentPhoto.Code,
                    "not a DBLK slice of the picture: left out of the JPEG");
        return;
    }
    in.Skip(4, "slice mark");
    const auto size = in.U32("slice size");
    if (!size)
        return;
    const ByteSpan held = Sub(bytes, SliceHead, *size);
    if (held.size() < *size)
        in.ReportAt(4, Severity::Warning, codes::ContentPhoto.Code,
                    "the slice declares " + std::to_string(*size) + " bytes, the record holds " +
                        std::to_string(held.size()) + ": the JPEG is joined from those");
    photo.Jpeg.insert(photo.Jpeg.end(), held.begin(), held.end());
    ++photo.Slices;
}

PhotoThumbnail DecodeThumbnail(const Bytes& record, const std::string& where, Decoding& d) {
    PhotoThumbnail item;
    if (record.Data.size() <= 36)
        return item; // deleted on the device
    Reader in(record, where, d);
    in.Skip(4, "thumbnail header");
    item.Width = in.U16("width").value_or(0);
    item.Height = in.U16("height").value_or(0);
    item.Modified = in.U32("modification time").value_or(0);
    item.Size = in.U32("size").value_or(0);
    in.Skip(5, "thumbnail header");
    const auto nameSize = in.U16("name size");
    in.Skip(5, "thumbnail header");
    item.Created = in.U32("creation time").value_or(0);
    in.Skip(4, "thumbnail header");
    if (const auto length = in.U32("thumbnail size")) {
        const std::size_t at = in.Position();
        const ByteSpan thumb = Sub(record.Data, at, *length);
        item.Thumbnail.assign(thumb.begin(), thumb.end());
        in.Skip(*length, "thumbnail");
    }
    if (nameSize && in.Left() > 0)
        item.Name = in.FixedText(std::min<std::size_t>(*nameSize, in.Left()), "name").value_or("");
    item.Damaged = in.Damaged;
    return item;
}

std::uint64_t Charge(const PhotoThumbnail& item) noexcept {
    return OutputBound::PerItem + OutputBound::PerTextByte * (item.Name.size() + item.Thumbnail.size());
}

namespace {

constexpr std::string_view PhotosClaims[] = {"FotoFoto"};

} // namespace

const FormatDescriptor PhotosFormat{
    .Name = "photos",
    .Claims = PhotosClaims,
    .Categories = true,
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto photos = std::make_shared<Photos>();
            // A picture's records are its slices; the thumbnail database's are none.
            photos->Picture = IsSlice(database.Entry(0).Data);
            if (photos->Picture) {
                // No more JPEG than the file holds bytes: records that share their bytes
                // would join them again and again.
                const std::size_t count = database.Layout.Records.size();
                for (std::size_t i = 0; i < count; ++i) {
                    const Bytes slice = database.Entry(i);
                    if (photos->Jpeg.size() + slice.Data.size() > database.Layout.FileSize) {
                        Report(decoding.Findings, slice.Offset, Severity::Warning,
                               codes::ContentOutputBound.Code,
                               RecordName(i) + ": the slices before it hold as many bytes as "
                                               "the file (records share their bytes); it and the " +
                                   std::to_string(count - i - 1) + " after it are not joined");
                        break;
                    }
                    ReadPhotoSlice(slice, RecordName(i), decoding, *photos);
                }
            } else {
                ReadItems(database, decoding, *photos, DecodeThumbnail);
            }
            content.Decoded = std::move(photos);
        },
};

} // namespace vexlin::content
