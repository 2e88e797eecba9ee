// The document window: loading, filling the four tabs, and the record navigation.
#include "Grid.h"

#include "ContentView.h"
#include "DumpView.h"
#include "HeaderReport.h"
#include "HexDump.h"
#include "Main.h"
#include "RecordView.h"
#include "TextFont.h"
#include "ui_Grid.h"

#include <QAction>
#include <QTabBar>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace vexlin;

TfGrid* fGrid = nullptr;

TfGrid::TfGrid(QWidget* owner, const QString& fileName)
    : QWidget(owner), ui(std::make_unique<Ui::TfGrid>()), FileName(fileName),
      Image(LoadNewImage(fileName.toStdString())) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    for (QWidget* box : {static_cast<QWidget*>(ui->mHead), static_cast<QWidget*>(ui->mApp),
                         static_cast<QWidget*>(ui->mSort), static_cast<QWidget*>(ui->mRec)}) {
        box->setFont(TextFont());
    }
    setWindowTitle(fileName);
    // A tab changed from the focused tab strip keeps the keyboard there, so that the arrows
    // walk the tabs; any other change gives it to the new tab's text.
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (!ui->PageControl1->tabBar()->hasFocus()) {
            FocusText();
        }
    });
    // A click on a tab gives the keyboard to its text, also from the focused tab strip: once
    // the click has brought the tab to the front.
    connect(ui->PageControl1->tabBar(), &QTabBar::tabBarClicked, this,
            [this] { QMetaObject::invokeMethod(this, &TfGrid::FocusText, Qt::QueuedConnection); });
    // Ctrl+PgDn and Ctrl+PgUp step the tabs, wherever the keyboard is in the window.
    for (const auto& [key, step] :
         {std::pair{Qt::Key_PageDown, 1}, std::pair{Qt::Key_PageUp, -1}}) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(Qt::CTRL | key));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, by = step] { StepTab(by); });
    }

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
    // The Content tab decodes the database when it is first shown; a row chosen there shows
    // its record as a step would.
    ui->mContent->SetDatabase(*Image);
    connect(ui->mContent, &ContentView::recordChosen, this, [this](std::int32_t index) {
        CurrentRecord = index;
        ShowRecord(CurrentRecord);
    });
}

TfGrid::~TfGrid() = default;

std::string TfGrid::contentEncoding() const {
    return ui->mContent->encoding();
}

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

void TfGrid::StepTab(int step) {
    const int count = ui->PageControl1->count();
    ui->PageControl1->setCurrentIndex((ui->PageControl1->currentIndex() + step + count) % count);
}

QSize TfGrid::ReportSize() const {
    // Measured from the report's own lines, each laid out as the text box lays out its lines:
    // a laid-out line is as high as its font's ascent and descent rounded up, which may be a
    // pixel more than the font metrics' fractional height (DejaVu Sans Mono at 13 pixels: 16
    // against 15.125), so the metrics alone would leave the last line short.
    qreal width = 0;
    qreal height = 0;
    for (const std::string& line : HeaderReport(*Image)) {
        QTextLayout layout(QString::fromStdString(line), ui->mHead->font());
        layout.beginLayout();
        const QTextLine laid = layout.createLine();
        layout.endLayout();
        width = std::max(width, laid.naturalTextWidth());
        height += laid.height();
    }
    const qreal margins = 2 * ui->mHead->document()->documentMargin();
    // The text box scrolls unless its last line has a pixel to spare below it.
    const QSize text(static_cast<int>(std::ceil(width + margins + ui->mHead->cursorWidth())),
                     static_cast<int>(std::ceil(height + margins)) + 1);
    // Everything around the text box's viewport: its frame, the page, the tab strip and the
    // panel's border, as laid out now.
    return text + (size() - ui->mHead->viewport()->size());
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
    ui->mContent->SelectRecord(index);
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
