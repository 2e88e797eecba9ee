#include "content/pim/Expense.h"

#include "content/core/BigEndian.h"
#include "content/core/Categories.h"
#include "content/core/Content.h"
#include "content/pim/Fields.h"

namespace vexlin::content {

namespace {

constexpr std::string_view TypeNames[] = {
    "Airfare", "Breakfast", "Bus",      "Business Meals", "Car Rental", "Dinner",  "Entertainment",
    "Fax",     "Gas",       "Gifts",    "Hotel",          "Incidentals", "Laundry", "Limo",
    "Lodging", "Lunch",     "Mileage",  "Other",          "Parking",    "Postage", "Snack",
    "Subway",  "Supplies",  "Taxi",     "Telephone",      "Tips",       "Tolls",   "Train"};
constexpr std::string_view PaymentNames[] = {"AmEx",    "Cash",    "Check", "Credit Card",
                                             "MasterCard", "Prepaid", "VISA", "Unfiled"};
// The built-in currencies by their number, as the application lists them by country.
struct CurrencyCountry {
    int Currency;
    std::string_view Name;
};
constexpr CurrencyCountry Countries[] = {
    {0, "Australia"},    {1, "Austria"},        {2, "Belgium"},      {3, "Brazil"},
    {4, "Canada"},       {5, "Denmark"},        {6, "Finland"},      {7, "France"},
    {8, "Germany"},      {9, "Hong Kong"},      {10, "Iceland"},     {11, "Ireland"},
    {12, "Italy"},       {13, "Japan"},         {14, "Luxembourg"},  {15, "Mexico"},
    {16, "Netherlands"}, {17, "New Zealand"},   {18, "Norway"},      {19, "Spain"},
    {20, "Sweden"},      {21, "Switzerland"},   {22, "United Kingdom"}, {23, "United States"},
    {24, "India"},       {25, "Indonesia"},     {26, "Korea"},       {27, "Malaysia"},
    {28, "P.R.C."},      {29, "Philippines"},   {30, "Singapore"},   {31, "Thailand"},
    {32, "Taiwan"},      {133, "EU (Euro)"}};
constexpr int FirstCustom = 128;

// After the 276-byte category block and its pad: the sort order, a pad byte, then four
// currencies of a 16-byte name, a 4-byte symbol and an 8-byte rate.
constexpr std::size_t SortAt = 278;
constexpr std::size_t CurrenciesAt = 280;

void DecodeExpenseAppInfo(const Bytes& appInfo, Expenses& expenses, Decoding& d) {
    const ByteSpan bytes = appInfo.Data;
    if (bytes.size() <= SortAt)
        return;
    expenses.SortOrder = bytes[SortAt];
    Reader in(appInfo, "app info", d);
    in.Skip(CurrenciesAt, "app info");
    for (CustomCurrency& currency : expenses.Currencies) {
        currency.Name = in.FixedText(16, "currency name").value_or("");
        currency.Symbol = in.FixedText(4, "currency symbol").value_or("");
        currency.Rate = in.FixedText(8, "currency rate").value_or("");
    }
}

} // namespace

std::string_view ExpenseTypeName(int type) noexcept {
    return type >= 0 && type < static_cast<int>(std::size(TypeNames)) ? TypeNames[type] : "";
}

std::string_view ExpensePaymentName(int payment) noexcept {
    return payment >= 0 && payment < static_cast<int>(std::size(PaymentNames))
               ? PaymentNames[payment]
               : "";
}

std::string ExpenseCurrencyName(const Expenses& expenses, int currency) {
    for (const CurrencyCountry& country : Countries)
        if (country.Currency == currency)
            return std::string(country.Name);
    if (currency >= FirstCustom && currency < FirstCustom + 4)
        return expenses.Currencies[static_cast<std::size_t>(currency - FirstCustom)].Name;
    return "";
}

ExpenseItem DecodeExpense(const Bytes& record, const std::string& where, Decoding& d) {
    Reader in(record, where, d);
    ExpenseItem item;
    if (record.Data.empty())
        return item;
    if (const auto day = in.U16("date"); day && *day != 0xFFFF)
        item.Day = ReadDate(in, *day, "date");
    item.Type = in.U8("type").value_or(0);
    item.Payment = in.U8("payment").value_or(0);
    item.Currency = in.U8("currency").value_or(0);
    in.Skip(1, "pad");
    item.Amount = TextField(in, "amount");
    item.Vendor = TextField(in, "vendor");
    item.City = TextField(in, "city");
    item.Attendees = TextField(in, "attendees");
    item.Note = TextField(in, "note");
    return Finished(std::move(item), in);
}

std::uint64_t Charge(const ExpenseItem& item) noexcept {
    return TextCharge({&item.Amount, &item.Vendor, &item.City, &item.Attendees, &item.Note});
}

namespace {

constexpr std::string_view ExpenseClaims[] = {"DATAexps"};

} // namespace

const FormatDescriptor ExpenseFormat{
    .Name = "expense",
    .Claims = ExpenseClaims,
    .Categories = true,
    .WeighText =
        [](const Database& database, EncodingEvidence& evidence) {
            WeighRecords(database, evidence, [](ByteSpan) { return std::size_t{6}; });
        },
    .Read =
        [](const Database& database, Decoding& decoding, Content& content) {
            auto expenses = std::make_shared<Expenses>();
            DecodeExpenseAppInfo(database.AppInfo(), *expenses, decoding);
            ReadItems(database, decoding, *expenses, DecodeExpense);
            content.Decoded = std::move(expenses);
        },
};

} // namespace vexlin::content
