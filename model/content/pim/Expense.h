// The Expense application's database (ExpenseDB, DATA/exps): one expense per record, and in
// the app info after the category block the sort order and four currencies of the owner's.
#pragma once

#include "content/core/Format.h"
#include "content/pim/Pim.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

struct ExpenseItem : Item {
    std::optional<Date> Day;
    int Type = 0;     // ExpenseTypeName
    int Payment = 0;  // ExpensePaymentName
    int Currency = 0; // ExpenseCurrencyName, or a custom one (128 to 131)
    // The amount as the owner typed it ("12.50"), and the other texts.
    std::string Amount, Vendor, City, Attendees, Note;
};

// A currency the owner defined: its name, symbol and rate as the app info holds them.
struct CustomCurrency {
    std::string Name, Symbol, Rate;
};

struct Expenses : Payload {
    std::vector<ExpenseItem> Items;
    int SortOrder = 0; // 0 by date, 1 by type
    std::array<CustomCurrency, 4> Currencies;
};

// "Airfare", "Breakfast", ... "Train"; "" beyond the 28 types.
[[nodiscard]] std::string_view ExpenseTypeName(int type) noexcept;
// "AmEx", "Cash", "Check", "Credit Card", "MasterCard", "Prepaid", "VISA", "Unfiled"; "".
[[nodiscard]] std::string_view ExpensePaymentName(int payment) noexcept;
// The country of a built-in currency ("United States" for 23, "EU (Euro)" for 133), the name
// of a custom one (128 to 131, from the app info), or "".
[[nodiscard]] std::string ExpenseCurrencyName(const Expenses& expenses, int currency);

// A packed date, the type, payment and currency bytes and a pad byte, then five NUL-terminated
// texts: amount, vendor, city, attendees, note.
[[nodiscard]] ExpenseItem DecodeExpense(const Bytes& record, const std::string& where,
                                        Decoding& d);
[[nodiscard]] std::uint64_t Charge(const ExpenseItem& item) noexcept;

// The format's descriptor: "expense".
extern const FormatDescriptor ExpenseFormat;

} // namespace vexlin::content
