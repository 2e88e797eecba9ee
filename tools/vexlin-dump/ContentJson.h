// The per-format parts of the JSON "Content" object. "Items" holds one object per record, in
// record order: FillBase's keys, then what FillItem sets for the item's format (always the
// same keys for a format: one object is refilled item after item). AddHead adds the keys of
// a format's app info ("Labels" of the address book, ...) to the object.
#pragma once

#include "Output.h"
#include "content/core/Content.h"

#include <nlohmann/json.hpp>

namespace vexlin::dump {

using Json = nlohmann::ordered_json;

// Sets "Record", "Category", "Private", "Deleted", "Damaged" of an item: into an empty object,
// or in place into one it filled before (they are its first keys).
void FillBase(Json& object, const content::Item& item);
// A date as "YYYY-MM-DD", or null.
[[nodiscard]] Json DateJson(const std::optional<content::Date>& date);

void FillItem(Json& object, const content::MemoItem& item);
void FillItem(Json& object, const content::ToDoItem& item);
void FillItem(Json& object, const content::DatebookItem& item);
void FillItem(Json& object, const content::AddressItem& item);
void FillItem(Json& object, const content::MailItem& item);
void FillItem(Json& object, const content::TaskItem& item);
void FillItem(Json& object, const content::PhotoThumbnail& item);
void FillItem(Json& object, const content::ExpenseItem& item);
void FillItem(Json& object, const content::CalendarItem& item);
void FillItem(Json& object, const content::ContactItem& item);
void FillItem(Json& object, const content::NoteItem& item);

// Formats without keys of their own in the app info take this one.
template <typename Payload> void AddHead(Json&, const Payload&) {}
void AddHead(Json& object, const content::Datebook& p);
void AddHead(Json& object, const content::AddressBook& p);
void AddHead(Json& object, const content::Book& p);
void AddHead(Json& object, const content::Application& p);
void AddHead(Json& object, const content::Photos& p);
void AddHead(Json& object, const content::Expenses& p);
void AddHead(Json& object, const content::Calendar& p);
void AddHead(Json& object, const content::Contacts& p);

// Formats whose items are not records write their own, separated by commas: a book has none,
// a bitmap set and an application one per bitmap, a preferences database one per preference.
inline void WriteItems(StreamTarget&, const content::Book&) {}
void WriteItems(StreamTarget& out, const content::BitmapSet& p);
void WriteItems(StreamTarget& out, const content::Application& p);
// One item per preference resource.
void WriteItems(StreamTarget& out, const content::Preferences& p);

} // namespace vexlin::dump
