// The per-format parts of the JSON "Content" object: each adds "Items" (one object per record,
// in record order, with "Record", "Category", "Private" and the format's own keys) and any
// keys of the format's app info to the object.
#pragma once

#include "content/Content.h"

#include <nlohmann/json.hpp>

namespace vexlin::dump {

using Json = nlohmann::ordered_json;

// "Record", "Category", "Private", "Deleted", "Damaged" of an item.
[[nodiscard]] Json ItemJson(const content::Item& item);
// A date as "YYYY-MM-DD", or null.
[[nodiscard]] Json DateJson(const std::optional<content::Date>& date);

void AddPayload(Json& object, const content::Memos& p);
void AddPayload(Json& object, const content::ToDos& p);
void AddPayload(Json& object, const content::Datebook& p);
void AddPayload(Json& object, const content::AddressBook& p);
void AddPayload(Json& object, const content::MailBox& p);

} // namespace vexlin::dump
