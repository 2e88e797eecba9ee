#include "content/core/Categories.h"

#include <cstring>
#include <utility>

namespace vexlin::content {

std::optional<CategoryInfo> DecodeCategories(const Bytes& appInfo, Decoding& decoding) {
    Reader in(appInfo, "app info", decoding);
    const auto renamed = in.U16("category block");
    if (!renamed)
        return std::nullopt;
    CategoryInfo info;
    for (std::size_t i = 0; i < CategoryCount; ++i) {
        Category& category = info.Items[i];
        category.Renamed = (*renamed >> i & 1) != 0;
        const auto name = in.FixedText(CategoryNameWidth, "category names");
        if (!name)
            return info;
        category.Name = *name;
    }
    for (Category& category : info.Items) {
        const auto id = in.U8("category IDs");
        if (!id)
            return info;
        category.ID = *id;
    }
    info.LastID = in.U8("last category ID").value_or(0);
    return info;
}

bool PlausibleCategories(std::span<const std::uint8_t> appInfo) noexcept {
    if (appInfo.size() < CategoryBlockSize)
        return false;
    const std::uint8_t* ids = appInfo.data() + 2 + CategoryCount * CategoryNameWidth;
    bool named = false;
    bool idSeen[256] = {};
    for (std::size_t i = 0; i < CategoryCount; ++i) {
        const std::uint8_t* name = appInfo.data() + 2 + i * CategoryNameWidth;
        const void* end = std::memchr(name, 0, CategoryNameWidth);
        if (!end)
            return false;
        const std::size_t length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - name);
        for (std::size_t k = 0; k < length; ++k) {
            if (name[k] < 0x20 || name[k] == 0x7F)
                return false;
        }
        // Each named category has an ID of its own.
        if (length > 0 && std::exchange(idSeen[ids[i]], true))
            return false;
        named = named || length > 0;
    }
    return named;
}

} // namespace vexlin::content
