// The content of a database as a table for the viewer: one row per item with the format's key
// columns, each row's details exactly as --content prints them, a book's text, the pictures at
// their own pixels. Like the other modes, one function per format (Tabulate), defined in the
// file of the format's family; the viewer holds no format knowledge of its own.
#pragma once

#include "content/core/Content.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlin::dump {

// The cells of a row in one string, each ended by a unit separator (which no cell holds: their
// control characters are escaped): a list of 65,535 rows costs a few bytes a cell.
class RowCells {
  public:
    static constexpr char End = '\x1f';
    void push_back(std::string_view cell) {
        Joined += cell;
        Joined += End;
    }
    [[nodiscard]] std::string_view operator[](std::size_t column) const noexcept;
    // Every cell, each followed by End.
    [[nodiscard]] const std::string& joined() const noexcept { return Joined; }

  private:
    std::string Joined;
};

// Small, for the 65,535 rows of the largest database: record numbers fit 16 bits and the report
// of a database the viewer holds (5 MB at most) 32.
struct ContentRow {
    std::uint32_t Record = 0; // the item's record, from 1; 0 for none
    std::uint8_t Category = 0;
    bool Damaged = false;
    // Where the row's lines lie in ContentTable::Report (its "Record N" heading and fields).
    std::uint32_t DetailStart = 0, DetailEnd = 0;
    RowCells Cells; // one per column after "Record" (the number), UTF-8, controls escaped
};

struct ContentPicture {
    std::string Name;       // "Tbmp 1000, 32 x 32, 8 bits, 72 dpi"
    std::size_t Record = 0; // from 1; 0 for a resource or the database's one picture
    std::uint32_t Width = 0, Height = 0;
    std::vector<std::uint8_t> Rgba; // Width x Height pixels, 4 bytes each; or
    std::vector<std::uint8_t> Jpeg; // a JPEG's bytes as the database holds them
};

struct ContentTable {
    enum class Shape { Unknown, Items, Text, Pictures };
    Shape Kind = Shape::Unknown;
    std::string Format;               // the registry's name ("memo")
    std::string Summary;              // one line: the format, the items, the encoding
    std::string Report;               // the [Content] section as --content prints it
    std::vector<std::string> Columns; // of the rows, "Record" first
    std::vector<ContentRow> Rows;
    std::string Title; // a book's title and author, when it names them
    std::string Text;  // a book's, UTF-8
    bool TextIsHtml = false; // the text is markup (a Mobipocket book's)
    std::vector<ContentPicture> Pictures;
    std::vector<std::string> Findings;   // as --check lists them
    std::vector<std::string> Categories; // the sixteen names ("" for none); empty: no block

    [[nodiscard]] std::string_view Detail(const ContentRow& row) const {
        return std::string_view(Report).substr(row.DetailStart, row.DetailEnd - row.DetailStart);
    }
};

// The table of decoded content. type and creator name an unknown database in its summary.
[[nodiscard]] ContentTable TabulateContent(const content::Content& c, std::string_view type,
                                           std::string_view creator);

// Row cells: a text's first line, escaped as --content escapes it.
[[nodiscard]] std::string FirstLine(std::string_view text);

// The per-format parts: columns, rows (Cells, Record, Category, Damaged) and pictures.
void Tabulate(ContentTable& t, const content::Content& c, const content::Memos& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::ToDos& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Tasks& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Datebook& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Calendar& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::AddressBook& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Contacts& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::MailBox& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Expenses& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::NotePad& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Photos& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Book& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::BitmapSet& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Application& p);
void Tabulate(ContentTable& t, const content::Content& c, const content::Preferences& p);

// "Last, First" as the handheld's list shows a name (either alone when the other is empty).
[[nodiscard]] std::string ListName(const std::optional<std::string>& last,
                                   const std::optional<std::string>& first);

// Adds a row for an item, its record's number in the "Record" column.
ContentRow& AddRow(ContentTable& t, const content::Item& item);

} // namespace vexlin::dump
