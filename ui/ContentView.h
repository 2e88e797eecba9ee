// The Content tab: what the database holds, decoded by the content layer when the tab is first
// shown. Items in a list with their format's key columns, a category filter, a search that
// filters as you type and the selected item's details; a book's text; pictures with a zoom;
// the content findings below. The rows are the content layer's: this view knows no format.
#pragma once

#include "ContentTable.h"
#include "DatabaseImage.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class ContentView;
}

// The rows of a content table, as a list shows them.
class ContentRows : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetTable(const vexlin::dump::ContentTable* table);
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] const vexlin::dump::ContentRow& row(int index) const;
    [[nodiscard]] const vexlin::dump::ContentTable& table() const { return *Table; }

  private:
    const vexlin::dump::ContentTable* Table = nullptr;
};

// The rows a category and a search leave: a row stays when its category is the one chosen (or
// all are) and the search, ignoring ASCII case, is in one of its cells or its details.
class ContentFilter : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetCategory(int category); // -1: all
    void SetSearch(const QString& text);

  protected:
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex& parent) const override;

  private:
    int Category = -1;
    std::string Needle; // UTF-8, ASCII letters lowered
};

class ContentView : public QWidget {
    Q_OBJECT

  public:
    explicit ContentView(QWidget* owner = nullptr);
    ~ContentView() override;

    // The database the tab shows; it is decoded when the tab is first shown (or Decode).
    void SetDatabase(const vexlin::DatabaseImage& image);
    // Decodes it now, with the encoding chosen in the tab ("" for the detected one).
    void Decode();
    [[nodiscard]] bool decoded() const { return Table != nullptr; }
    // The encoding the tab reads with: "" for the detected one, else an iconv name.
    [[nodiscard]] std::string encoding() const;
    // Selects the row of the record (index from 0) without telling recordChosen; no row is
    // selected when the record has none or the filter hides it.
    void SelectRecord(std::int32_t index);
    // The record (index from 0) of the selected row, or -1.
    [[nodiscard]] std::int32_t selectedRecord() const;
    [[nodiscard]] const vexlin::dump::ContentTable* table() const { return Table.get(); }
    [[nodiscard]] ContentFilter& filter() { return *Filter; }
    [[nodiscard]] Ui::ContentView& form() { return *ui; }

  signals:
    // The user chose the row or picture of a record (index from 0).
    void recordChosen(std::int32_t index);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void DecodeTable();
    void Fill();
    void ShowPictures();
    void Refilter(const std::function<void()>& change);
    void ShowSelected();
    void FindInText();

    std::unique_ptr<Ui::ContentView> ui;
    const vexlin::DatabaseImage* Image = nullptr;
    std::unique_ptr<const vexlin::dump::ContentTable> Table;
    ContentRows* Rows = nullptr;
    ContentFilter* Filter = nullptr;
    std::int32_t Current = -1; // the record the window shows, selected once decoded
    bool Selecting = false;    // a selection made by SelectRecord, not the user
};
