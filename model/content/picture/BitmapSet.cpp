#include "content/picture/BitmapSet.h"
#include "FindingCodes.h"

#include "content/core/Content.h"
#include "content/core/Report.h"

#include <cstring>

namespace vexlin::content {

namespace {

bool Is(const char (&type)[4], const char* name) noexcept {
    return std::memcmp(type, name, 4) == 0;
}

// Frees the pixels of an entry's members (what a reader given a BitmapSink does).
void DropPixels(BitmapEntry& entry) noexcept {
    for (Bitmap& member : entry.Members)
        std::vector<std::uint8_t>().swap(member.Rgba);
}

} // namespace

bool IsBitmapType(const char (&type)[4]) noexcept {
    return Is(type, "Tbmp") || Is(type, "tAIB") || Is(type, "Tbsb");
}

std::string EntryName(const BitmapEntry& entry) {
    return entry.IsResource ? ResourceName(entry.Type, entry.ID)
                            : RecordName(entry.Record);
}

bool RecordsAreBitmaps(const DatabaseImage& image, const Structure& structure) {
    if (structure.Kind != DatabaseKind::Record)
        return false;
    std::size_t bitmaps = 0;
    for (std::size_t i = 0; i < structure.Records.size(); ++i)
        bitmaps += LooksLikeBitmap(EntryBytes(image, structure, i).Data);
    return bitmaps > 0 && bitmaps * 2 > structure.Records.size();
}

std::vector<BitmapEntry> ReadBitmaps(const DatabaseImage& image, const Structure& structure,
                                     std::vector<Finding>& findings, const BitmapSink& sink) {
    std::uint64_t room = FilePixelsPerByte * structure.FileSize + FamilyPixelsMax;
    const auto handOn = [&](BitmapEntry& entry) {
        if (sink) {
            sink(entry);
            DropPixels(entry);
        }
    };
    // The entries read span no more bytes than the file holds (and 64 KiB more): entries that
    // share their bytes would have the same members' headers read and listed again and again.
    // Those past it are listed without their members.
    std::uint64_t scan = std::uint64_t{structure.FileSize} + 65536;
    bool spent = false;
    const auto spans = [&](const Bytes& bytes, const std::string& where, std::size_t left) {
        if (!spent && bytes.Data.size() <= scan) {
            scan -= bytes.Data.size();
            return true;
        }
        if (!spent)
            Report(findings, bytes.Offset, Severity::Warning, codes::ContentOutputBound.Code,
                   where +
                       ": the bitmap entries before it span all the bytes of the file "
                       "(entries share their bytes); its members and those of the " +
                       std::to_string(left) + " entries after it are not read");
        spent = true;
        return false;
    };
    std::vector<BitmapEntry> entries;
    // The entry's members read (while the bytes last), handed on and the entry listed.
    const auto read = [&](BitmapEntry entry, std::size_t index, std::size_t count) {
        const Bytes bytes = EntryBytes(image, structure, index);
        if (spans(bytes, EntryName(entry), count - index - 1)) {
            entry.Members =
                ReadBitmapFamily(bytes.Data, bytes.Offset, EntryName(entry), findings, room);
            handOn(entry);
        }
        entries.push_back(std::move(entry));
    };
    if (structure.Kind == DatabaseKind::Resource) {
        for (std::size_t i = 0; i < structure.Resources.size(); ++i) {
            const ResourceInfo& info = structure.Resources[i];
            if (!IsBitmapType(info.Type))
                continue;
            BitmapEntry entry;
            entry.IsResource = true;
            std::memcpy(entry.Type, info.Type, 4);
            entry.ID = info.ID;
            read(std::move(entry), i, structure.Resources.size());
        }
        return entries;
    }
    for (std::size_t i = 0; i < structure.Records.size(); ++i) {
        if (!LooksLikeBitmap(EntryBytes(image, structure, i).Data))
            continue;
        BitmapEntry entry;
        entry.Record = i;
        read(std::move(entry), i, structure.Records.size());
    }
    return entries;
}

const FormatDescriptor BitmapsFormat{
    .Name = "bitmaps",
    .MostBid = bid::Layout,
    .Bid =
        [](const Database& d) {
            if (d.IsRecords())
                return RecordsAreBitmaps(d.Image, d.Layout) ? bid::Layout : bid::None;
            for (const ResourceInfo& r : d.Layout.Resources)
                if (IsBitmapType(r.Type))
                    return bid::Layout;
            return bid::None;
        },
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            const ContentOptions& options = decoding.Options;
            // Bitmaps only described go to a sink that takes nothing: their pixels are dropped.
            const BitmapSink bitmaps = options.Bitmaps || options.Pixels
                                           ? options.Bitmaps
                                           : [](const BitmapEntry&) {};
            auto set = std::make_shared<BitmapSet>();
            set->Entries = ReadBitmaps(database.Image, database.Layout, decoding.Findings, bitmaps);
            content.Decoded = std::move(set);
        },
};

} // namespace vexlin::content
