// The registry of formats: one row a format, each descriptor defined beside its decoder. A new
// format adds its row here and nothing else outside its own files.
#include "content/core/Format.h"

#include "content/app/Application.h"
#include "content/book/PalmDoc.h"
#include "content/picture/BitmapSet.h"
#include "content/picture/NotePad.h"
#include "content/picture/Photos.h"
#include "content/pim/Calendar.h"
#include "content/pim/Contacts.h"
#include "content/pim/Expense.h"
#include "content/pim/Pim.h"
#include "content/pim/Tasks.h"

#include <array>
#include <cstring>

namespace vexlin::content {

namespace {

constexpr std::array Registry = {
    &MemoFormat,    &ToDoFormat,  &DatebookFormat,    &AddressFormat,
    &MailFormat,    &PalmDocFormat, &MobiFormat,      &BitmapsFormat,
    &ApplicationFormat, &FontFormat, &PreferencesFormat, &TasksFormat,
    &PhotosFormat,  &ExpenseFormat, &CalendarFormat,
    &ContactsFormat, &NotePadFormat,
};

bool Equals(const char (&field)[4], const char* text) noexcept {
    return std::memcmp(field, text, 4) == 0;
}

} // namespace

const FormatDescriptor UnknownFormat{.Name = "unknown", .MostBid = bid::None};

std::span<const FormatDescriptor* const> Formats() noexcept {
    return Registry;
}

bool Database::HasType(const char* type) const noexcept {
    return Equals(Image.Header.DataBaseType, type);
}

bool Database::HasCreator(const char* creator) const noexcept {
    return Equals(Image.Header.CreatorID, creator);
}

int BidOn(const FormatDescriptor& format, const Database& database) {
    if (database.IsRecords() != format.Resources) {
        const auto& header = database.Image.Header;
        for (const std::string_view claim : format.Claims)
            if (claim.substr(0, 4) == std::string_view(header.DataBaseType, 4) &&
                claim.substr(4) == std::string_view(header.CreatorID, 4))
                return format.Claim;
    }
    return format.Bid ? format.Bid(database) : bid::None;
}

const FormatDescriptor& Identify(const Database& database) {
    const FormatDescriptor* best = nullptr;
    int highest = bid::None;
    for (const FormatDescriptor* format : Registry) {
        // A format that could at most tie with the best so far, and would lose the tie, or
        // could not reach it, is not asked: its test may read every record.
        const auto beats = [&](int value) {
            return value > highest || (value == highest && best && format->Name < best->Name);
        };
        if (!beats(format->MostBid))
            continue;
        if (const int value = BidOn(*format, database); value > bid::None && beats(value)) {
            best = format;
            highest = value;
        }
    }
    return best ? *best : UnknownFormat;
}

} // namespace vexlin::content
