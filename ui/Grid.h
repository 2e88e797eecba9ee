// The document window: one opened database on four tabs (header report, app info, sort
// info, records), with its own image and current record.
#pragma once

#include "DatabaseImage.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class TfGrid;
}
class DumpView;

class TfGrid : public QWidget {
    Q_OBJECT

  public:
    // Loads the file and fills the tabs; throws vexlin::LoadError when it cannot be read.
    TfGrid(QWidget* owner, const QString& fileName);
    ~TfGrid() override;

    void ShowHeader();
    void HexDump(DumpView& target, std::int32_t start, std::int32_t size);
    void ShowRecord(std::int32_t index);
    void FirstRecord();
    void PrevRecord();
    void NextRecord();
    void LastRecord();

    // Gives the keyboard focus to the text box of the tab in front.
    void FocusText();
    // Brings the next (1) or previous (-1) tab to the front, round from the last to the first.
    void StepTab(int step);
    // The least size of this window's contents that shows the header report whole; valid
    // once the window is laid out (shown).
    [[nodiscard]] QSize ReportSize() const;

    [[nodiscard]] std::int32_t currentRecord() const { return CurrentRecord; }
    [[nodiscard]] const QString& fileName() const { return FileName; }
    // The encoding the Content tab reads with: "" for the detected one.
    [[nodiscard]] std::string contentEncoding() const;
    [[nodiscard]] const vexlin::DatabaseImage& image() const { return *Image; }
    [[nodiscard]] Ui::TfGrid& form() { return *ui; }

  private:
    std::unique_ptr<Ui::TfGrid> ui;
    QString FileName;
    vexlin::ImagePtr Image;
    vexlin::RecordEntry RecordScratch{};
    std::int32_t CurrentRecord = 0;
};

// The document window unit's form variable: document windows are kept in no variable, so
// it stays null.
extern TfGrid* fGrid;
