// The content modes for the Expense application: the [Content] lines and JSON of each expense,
// the owner's currencies beside them, and B.csv, one row an expense.
#include "ContentJson.h"
#include "ContentModes.h"
#include "ContentTable.h"
#include "Csv.h"

namespace vexlin::dump {

using namespace content;

namespace {

std::string NamedNumber(std::string_view name, int value) {
    return std::to_string(value) + (name.empty() ? "" : " (" + std::string(name) + ")");
}

} // namespace

void PrintPayload(StreamTarget& out, const Content& c, const Expenses& p) {
    for (const ExpenseItem& item : p.Items) {
        ItemHeading(out, c, item);
        Line(out, "Date", item.Day ? item.Day->Iso() : "none");
        Line(out, "Type", NamedNumber(ExpenseTypeName(item.Type), item.Type));
        Line(out, "Payment", NamedNumber(ExpensePaymentName(item.Payment), item.Payment));
        Line(out, "Currency", NamedNumber(ExpenseCurrencyName(p, item.Currency), item.Currency));
        TextLines(out, "Amount", item.Amount);
        TextLines(out, "Vendor", item.Vendor);
        TextLines(out, "City", item.City);
        TextLines(out, "Attendees", item.Attendees);
        TextLines(out, "Note", item.Note);
    }
}

void AddHead(Json& o, const Expenses& p) {
    o["SortOrder"] = p.SortOrder;
    Json currencies = Json::array();
    for (const CustomCurrency& currency : p.Currencies)
        currencies.push_back(
            {{"Name", currency.Name}, {"Symbol", currency.Symbol}, {"Rate", currency.Rate}});
    o["Currencies"] = std::move(currencies);
}

void FillItem(Json& o, const ExpenseItem& item) {
    o["Date"] = DateJson(item.Day);
    o["Type"] = item.Type;
    o["Payment"] = item.Payment;
    o["Currency"] = item.Currency;
    o["Amount"] = item.Amount;
    o["Vendor"] = item.Vendor;
    o["City"] = item.City;
    o["Attendees"] = item.Attendees;
    o["Note"] = item.Note;
}

void ExportPayload(ExportTarget& target, const Content& c, const Expenses& p) {
    CsvWriter csv;
    csv.Row({"Date", "Category", "Type", "Payment", "Currency", "Amount", "Vendor", "City",
             "Attendees", "Note", "Private"});
    for (const ExpenseItem& item : p.Items) {
        if (item.Deleted)
            continue;
        const std::string currency = ExpenseCurrencyName(p, item.Currency);
        csv.Row({item.Day ? item.Day->Iso() : "", ExportCategory(c, item.Category),
                 ExpenseTypeName(item.Type), ExpensePaymentName(item.Payment),
                 currency.empty() ? std::to_string(item.Currency) : currency, item.Amount,
                 item.Vendor, item.City, item.Attendees, item.Note, item.Private ? "yes" : "no"});
    }
    target.Write(target.BaseName() + ".csv", csv.Text());
}

void Tabulate(ContentTable& t, const Content&, const Expenses& p) {
    t.Columns = {"Record", "Date", "Type", "Amount", "Vendor"};
    for (const ExpenseItem& item : p.Items) {
        ContentRow& row = AddRow(t, item);
        row.Cells.push_back(item.Day ? item.Day->Iso() : "");
        row.Cells.push_back(std::string(ExpenseTypeName(item.Type)));
        row.Cells.push_back(FirstLine(item.Amount));
        row.Cells.push_back(FirstLine(item.Vendor));
    }
}

} // namespace vexlin::dump
