// The document window: loading, filling the four tabs, and the record navigation.
#include "Grid.h"

#include "DumpView.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "Main.h"
#include "RecordView.h"
#include "TextFont.h"
#include "ui_Grid.h"

#include <QTabBar>

#include <algorithm>

using namespace vexlin;

TfGrid* fGrid = nullptr;

TfGrid::TfGrid(QWidget* owner, const QString& fileName)
    : QWidget(owner), ui(std::make_unique<Ui::TfGrid>()),
      Image(LoadNewImage(fileName.toStdString())) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    for (QWidget* box : {static_cast<QWidget*>(ui->mHead), static_cast<QWidget*>(ui->mApp),
                         static_cast<QWidget*>(ui->mSort), static_cast<QWidget*>(ui->mRec)}) {
        box->setFont(TextFont());
    }
    setWindowTitle(fileName);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TfGrid::FocusText);

    ShowHeader();
    if (Image->Header.AppInfoArea != 0) {
        HexDump(*ui->mApp, Image->Header.AppInfoArea, Image->AppInfoSize);
    } else {
        ui->mApp->SetMessage(QString::fromLatin1(NoAppInfoText));
    }
    if (Image->Header.SortInfoArea != 0) {
        HexDump(*ui->mSort, Image->Header.SortInfoArea, Image->SortInfoSize);
    } else {
        ui->mSort->SetMessage(QString::fromLatin1(NoSortInfoText));
    }
    CurrentRecord = 0;
    ShowRecord(CurrentRecord);
}

TfGrid::~TfGrid() = default;

void TfGrid::FocusText() {
    if (QWidget* page = ui->PageControl1->currentWidget()) {
        for (QWidget* box : {static_cast<QWidget*>(ui->mHead), static_cast<QWidget*>(ui->mApp),
                             static_cast<QWidget*>(ui->mSort), static_cast<QWidget*>(ui->mRec)}) {
            if (box->parentWidget() == page) {
                box->setFocus(Qt::OtherFocusReason);
            }
        }
    }
}

QSize TfGrid::ReportSize() const {
    const QFontMetrics metrics(ui->mHead->font());
    int width = 0;
    for (const QString& line : ui->mHead->toPlainText().split(QLatin1Char('\n'))) {
        width = std::max(width, metrics.horizontalAdvance(line));
    }
    const int lines = static_cast<int>(HeaderReportLines);
    const int textMargins = 2 * static_cast<int>(ui->mHead->document()->documentMargin()) +
                            2 * ui->mHead->frameWidth() + 2;
    // The panel's 3-pixel border, the tab strip and the page's frame around the text box.
    const int tabs = ui->PageControl1->tabBar()->sizeHint().height();
    const int around = 2 * 3 + 4;
    return {width + textMargins + around, lines * metrics.lineSpacing() + textMargins + tabs + around};
}

void TfGrid::ShowHeader() {
    QStringList lines;
    for (const std::string& line : HeaderReport(*Image)) {
        lines << QString::fromStdString(line);
    }
    ui->mHead->setPlainText(lines.join(QLatin1Char('\n')));
}

void TfGrid::HexDump(DumpView& target, std::int32_t start, std::int32_t size) {
    target.SetStretch(*Image, ClampToFile(*Image, start, size));
}

void TfGrid::ShowRecord(std::int32_t index) {
    if (RecordCount(*Image) == 0) {
        return;
    }
    const Extent extent = RecordExtent(*Image, index, RecordScratch);
    HexDump(*ui->mRec, extent.Start, extent.Size);
    if (fMain != nullptr) {
        fMain->SetRecordStatus(
            QString::fromStdString(RecordStatusText(index, RecordCount(*Image))));
    }
}

void TfGrid::FirstRecord() {
    CurrentRecord = FirstRecordIndex(RecordCount(*Image));
    ShowRecord(CurrentRecord);
}

void TfGrid::PrevRecord() {
    CurrentRecord = PrevRecordIndex(CurrentRecord, RecordCount(*Image));
    ShowRecord(CurrentRecord);
}

void TfGrid::NextRecord() {
    CurrentRecord = NextRecordIndex(CurrentRecord, RecordCount(*Image));
    ShowRecord(CurrentRecord);
}

void TfGrid::LastRecord() {
    CurrentRecord = LastRecordIndex(RecordCount(*Image));
    ShowRecord(CurrentRecord);
}
