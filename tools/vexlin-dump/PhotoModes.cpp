// The content modes for photos: a picture database's JPEG (its size and slices; exported as
// B.jpg, the slices' bytes joined exactly) and the thumbnail database's photos, one item per
// record (exported as B/NNNN.jpg, each thumbnail's bytes as the record holds them).
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"

#include <cstdio>

namespace vexlin::dump {

using namespace content;

namespace {

// A photo's time as the header's dates are read: ISO 8601, "" for none.
std::string TimeIso(std::uint32_t seconds) {
    return DecodeDate(static_cast<std::int32_t>(seconds)).Iso();
}

std::string TimeText(std::uint32_t seconds) {
    const std::string iso = TimeIso(seconds);
    return iso.empty() ? "never" : iso;
}

bool IsJpeg(const std::vector<std::uint8_t>& bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::string JpegText(const std::vector<std::uint8_t>& bytes) {
    return std::to_string(bytes.size()) + " bytes" + (IsJpeg(bytes) ? " of JPEG" : " (not a JPEG)");
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const Photos& p) {
    if (p.Picture)
        out.Add("Picture: " + JpegText(p.Jpeg) + " in " + std::to_string(p.Slices) + " slices");
    for (const PhotoThumbnail& item : p.Items) {
        ItemHeading(out, c, item);
        if (item.Name.empty() && item.Thumbnail.empty())
            continue; // deleted on the device: nothing kept
        TextLines(out, "Name", item.Name);
        Line(out, "Size", std::to_string(item.Width) + " x " + std::to_string(item.Height) + ", " +
                              std::to_string(item.Size) + " bytes");
        Line(out, "Modified", TimeText(item.Modified));
        Line(out, "Created", TimeText(item.Created));
        Line(out, "Thumbnail", JpegText(item.Thumbnail));
    }
}

void AddHead(Json& o, const Photos& p) {
    o["Picture"] = p.Picture ? Json{{"Bytes", p.Jpeg.size()}, {"Slices", p.Slices},
                                    {"Jpeg", IsJpeg(p.Jpeg)}}
                             : Json(nullptr);
}

void FillItem(Json& o, const PhotoThumbnail& item) {
    const auto time = [](std::uint32_t seconds) {
        const std::string iso = TimeIso(seconds);
        return iso.empty() ? Json(nullptr) : Json(iso);
    };
    o["Name"] = item.Name;
    o["Width"] = item.Width;
    o["Height"] = item.Height;
    o["Size"] = item.Size;
    o["Modified"] = time(item.Modified);
    o["Created"] = time(item.Created);
    o["ThumbnailBytes"] = item.Thumbnail.size();
}

void ExportPayload(ExportTarget& target, const Content&, const Photos& p) {
    const auto bytes = [](const std::vector<std::uint8_t>& b) {
        return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
    };
    if (p.Picture) {
        target.Write(target.BaseName() + ".jpg", bytes(p.Jpeg));
        return;
    }
    char name[32];
    for (const PhotoThumbnail& item : p.Items) {
        if (item.Deleted || item.Thumbnail.empty())
            continue;
        std::snprintf(name, sizeof name, "/%04zu.jpg", item.Record);
        target.Write(target.BaseName() + name, bytes(item.Thumbnail));
    }
}

void Tabulate(ContentTable& t, const Content&, const Photos& p) {
    if (p.Picture) {
        t.Kind = ContentTable::Shape::Pictures;
        ContentPicture& picture = t.Pictures.emplace_back();
        picture.Name = "Picture, " + JpegText(p.Jpeg);
        picture.Jpeg = p.Jpeg;
        return;
    }
    t.Columns = {"Record", "Name", "Size", "Modified"};
    for (const PhotoThumbnail& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(FirstLine(item.Name));
        row.Cells.push_back(std::to_string(item.Width) + " x " + std::to_string(item.Height));
        row.Cells.push_back(TimeIso(item.Modified));
    }
}

} // namespace vexlin::dump
