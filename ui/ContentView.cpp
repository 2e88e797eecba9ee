// The Content tab: the content layer's table of the database (ContentTable), shown as a list
// with details, a book's text or pictures; the encoding chosen here re-reads it.
#include "ContentView.h"

#include "Structure.h"
#include "TextFont.h"
#include "ui_ContentView.h"

#include <QImage>
#include <QPixmap>
#include <QShowEvent>
#include <QStyle>
#include <QTextDocumentFragment>

#include <algorithm>
#include <malloc.h>
#include <string_view>

using namespace vexlin;

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether needle (lowered) is in text, ASCII letters compared without case.
bool Contains(std::string_view text, std::string_view needle) {
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                       [](char a, char b) { return Lower(a) == b; }) != text.end();
}

// The encodings the tab offers beside the detected one: iconv names.
constexpr const char* Encodings[] = {"palm-latin", "cp1252", "cp932", "UTF-8", "ISO-8859-1"};

// The most markup shown as the text it marks up; a longer book's is shown as it stands, since
// laying out its HTML would take seconds.
constexpr std::size_t MarkupShownMax = 2 << 20;

// A book's text: markup as the text a browser would show (its tags gone); a database without
// a text of its own (preferences), its content report.
QString BookText(const dump::ContentTable& t) {
    if (t.Text.empty())
        return Utf8(t.Report);
    if (t.TextIsHtml && t.Text.size() <= MarkupShownMax)
        return QTextDocumentFragment::fromHtml(Utf8(t.Text)).toPlainText();
    return Utf8(t.Text);
}

} // namespace

void ContentRows::SetTable(const dump::ContentTable* table) {
    beginResetModel();
    Table = table;
    endResetModel();
}

int ContentRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || Table == nullptr ? 0 : static_cast<int>(Table->Rows.size());
}

int ContentRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || Table == nullptr ? 0 : static_cast<int>(Table->Columns.size());
}

const dump::ContentRow& ContentRows::row(int index) const {
    return Table->Rows[static_cast<std::size_t>(index)];
}

QVariant ContentRows::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || Table == nullptr)
        return {};
    const dump::ContentRow& r = row(index.row());
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? QString::number(r.Record) : Utf8(r.Cells[column - 1]);
    case Qt::DecorationRole:
        if (column == 0 && r.Damaged)
            return qApp->style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return r.Damaged ? QStringLiteral("damaged") : QVariant();
    default:
        return {};
    }
}

QVariant ContentRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || Table == nullptr)
        return {};
    if (orientation == Qt::Horizontal && static_cast<std::size_t>(section) < Table->Columns.size())
        return Utf8(Table->Columns[static_cast<std::size_t>(section)]);
    return {};
}

void ContentFilter::SetCategory(int category) {
    Category = category;
    invalidateRowsFilter();
}

void ContentFilter::SetSearch(const QString& text) {
    Needle = text.toStdString();
    std::transform(Needle.begin(), Needle.end(), Needle.begin(), Lower);
    invalidateRowsFilter();
}

bool ContentFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const auto* rows = static_cast<const ContentRows*>(sourceModel());
    const dump::ContentRow& r = rows->row(sourceRow);
    if (Category >= 0 && r.Category != Category)
        return false;
    if (Needle.empty())
        return true;
    return Contains(r.Cells.joined(), Needle) || Contains(rows->table().Detail(r), Needle);
}

ContentView::ContentView(QWidget* owner) : QWidget(owner), ui(std::make_unique<Ui::ContentView>()) {
    ui->setupUi(this);
    for (QWidget* box : {static_cast<QWidget*>(ui->mDetail), static_cast<QWidget*>(ui->mReport),
                         static_cast<QWidget*>(ui->lFindings)})
        box->setFont(TextFont());
    Rows = new ContentRows(this);
    Filter = new ContentFilter(this);
    Filter->setSourceModel(Rows);
    ui->tItems->setModel(Filter);
    ui->tItems->verticalHeader()->hide();
    ui->tItems->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->tItems->horizontalHeader()->setStretchLastSection(true);
    ui->cEncoding->addItem(QStringLiteral("detected"), QString());
    for (const char* name : Encodings)
        ui->cEncoding->addItem(QString::fromLatin1(name), QString::fromLatin1(name));
    ui->pPictures->setStretchFactor(0, 3);
    ui->pPictures->setStretchFactor(1, 2);
    ui->pItems->setStretchFactor(0, 3);
    ui->pItems->setStretchFactor(1, 2);
    ui->lFindings->hide();
    ui->sZoom->hide();
    ui->cCategory->hide();
    ui->eSearch->hide();

    connect(ui->cEncoding, &QComboBox::activated, this, [this] { Decode(); });
    connect(ui->cCategory, &QComboBox::activated, this, [this] {
        Refilter([this] { Filter->SetCategory(ui->cCategory->currentData().toInt()); });
    });
    connect(ui->eSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (ui->sPages->currentWidget() == ui->pText)
            FindInText();
        else
            Refilter([this, text] { Filter->SetSearch(text); });
    });
    connect(ui->eSearch, &QLineEdit::returnPressed, this, [this] {
        if (ui->sPages->currentWidget() == ui->pText)
            FindInText();
    });
    connect(ui->sZoom, &QSpinBox::valueChanged, this, [this] { ShowPictures(); });
    connect(ui->tItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        ShowSelected();
        if (!Selecting && selectedRecord() >= 0)
            emit recordChosen(selectedRecord());
    });
    connect(ui->lPictures, &QListWidget::currentRowChanged, this, [this](int row) {
        if (Selecting || row < 0 || Table == nullptr)
            return;
        const std::size_t record = Table->Pictures[static_cast<std::size_t>(row)].Record;
        if (record != 0)
            emit recordChosen(static_cast<std::int32_t>(record - 1));
    });
}

ContentView::~ContentView() = default;

void ContentView::SetDatabase(const DatabaseImage& image) {
    Image = &image;
}

std::string ContentView::encoding() const {
    return ui->cEncoding->currentData().toString().toStdString();
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Table == nullptr && Image != nullptr)
        Decode();
}

void ContentView::DecodeTable() {
    if (Image == nullptr)
        return;
    const Structure structure = ReadStructure(*Image);
    content::ContentOptions options;
    options.Encoding = encoding();
    const content::Content c = content::ReadContent(*Image, structure, options);
    const auto& h = Image->Header;
    Rows->SetTable(nullptr);
    Table = std::make_unique<const dump::ContentTable>(dump::TabulateContent(
        c, std::string_view(h.DataBaseType, 4), std::string_view(h.CreatorID, 4)));
    Fill();
}

void ContentView::Decode() {
    DecodeTable();
    // The decoded payload is gone once tabulated: its memory is handed back.
    ::malloc_trim(0);
}

void ContentView::Fill() {
    const dump::ContentTable& t = *Table;
    ui->lSummary->setText(Utf8(t.Summary));
    ui->lSummary->setToolTip(Utf8(t.Summary));
    const bool items = t.Kind == dump::ContentTable::Shape::Items;
    ui->cCategory->setVisible(items && !t.Categories.empty());
    ui->eSearch->setVisible(items || t.Kind == dump::ContentTable::Shape::Text);
    ui->sZoom->setVisible(t.Kind == dump::ContentTable::Shape::Pictures);
    ui->cCategory->clear();
    ui->cCategory->addItem(QStringLiteral("All categories"), -1);
    for (std::size_t i = 0; i < t.Categories.size(); ++i)
        if (!t.Categories[i].empty())
            ui->cCategory->addItem(Utf8(t.Categories[i]), static_cast<int>(i));
    Filter->SetCategory(-1);
    Filter->SetSearch(ui->eSearch->text());
    ui->lFindings->clear();
    for (const std::string& finding : t.Findings)
        ui->lFindings->addItem(Utf8(finding));
    ui->lFindings->setVisible(!t.Findings.empty());

    switch (t.Kind) {
    case dump::ContentTable::Shape::Items:
        Rows->SetTable(&t);
        ui->sPages->setCurrentWidget(ui->pItems);
        // Measured on the first rows only, so that a list of 65,535 is shown as fast as one of
        // three; no column wider than a third of the list.
        ui->tItems->horizontalHeader()->setResizeContentsPrecision(64);
        ui->tItems->resizeColumnsToContents();
        for (int column = 0; column < Rows->columnCount(); ++column)
            ui->tItems->setColumnWidth(column, std::min(ui->tItems->columnWidth(column),
                                                        std::max(80, ui->tItems->width() / 3)));
        SelectRecord(Current);
        ShowSelected();
        break;
    case dump::ContentTable::Shape::Text:
        ui->lTitle->setText(Utf8(t.Title));
        ui->lTitle->setVisible(!t.Title.empty());
        ui->mText->setPlainText(BookText(t));
        ui->sPages->setCurrentWidget(ui->pText);
        break;
    case dump::ContentTable::Shape::Pictures:
        ui->mReport->setPlainText(Utf8(t.Report));
        ShowPictures();
        SelectRecord(Current);
        ui->sPages->setCurrentWidget(ui->pPictures);
        break;
    case dump::ContentTable::Shape::Unknown:
        ui->lNone->setText(Utf8(t.Summary));
        ui->sPages->setCurrentWidget(ui->pNone);
        break;
    }
}

void ContentView::ShowPictures() {
    if (Table == nullptr)
        return;
    const int zoom = ui->sZoom->value();
    QSize largest(16, 16);
    const int current = ui->lPictures->currentRow();
    ui->lPictures->clear();
    for (const dump::ContentPicture& p : Table->Pictures) {
        QImage image;
        if (!p.Jpeg.empty())
            image.loadFromData(p.Jpeg.data(), static_cast<int>(p.Jpeg.size()), "JPEG");
        else if (!p.Rgba.empty())
            image = QImage(p.Rgba.data(), static_cast<int>(p.Width), static_cast<int>(p.Height),
                           static_cast<qsizetype>(p.Width) * 4, QImage::Format_RGBA8888)
                        .copy();
        QPixmap pixmap;
        if (!image.isNull()) {
            // Whole pixels, never smoothed: a tiny icon is shown as the device drew it.
            pixmap = QPixmap::fromImage(
                image.scaled(image.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation));
            largest = largest.expandedTo(pixmap.size());
        }
        auto* item = new QListWidgetItem(QIcon(pixmap), Utf8(p.Name), ui->lPictures);
        item->setData(Qt::AccessibleTextRole, Utf8(p.Name));
        item->setToolTip(Utf8(p.Name));
    }
    ui->lPictures->setIconSize(largest.boundedTo(QSize(1024, 1024)));
    ui->lPictures->setGridSize(
        QSize(std::max(largest.width(), 120) + 16, std::min(largest.height(), 1024) + 48));
    if (current >= 0 && current < ui->lPictures->count()) {
        Selecting = true;
        ui->lPictures->setCurrentRow(current);
        Selecting = false;
    }
}

// A filter changed leaves the window's record as it is: its row stays selected when shown,
// and the rows the filter moves the selection to are never taken as chosen.
void ContentView::Refilter(const std::function<void()>& change) {
    Selecting = true;
    change();
    Selecting = false;
    SelectRecord(Current);
    ShowSelected();
}

void ContentView::ShowSelected() {
    const QModelIndex current = ui->tItems->selectionModel()->currentIndex();
    if (!current.isValid() || Table == nullptr) {
        ui->mDetail->setPlainText(Table != nullptr ? Utf8(Table->Summary) : QString());
        return;
    }
    const int source = Filter->mapToSource(current).row();
    ui->mDetail->setPlainText(Utf8(Table->Detail(Rows->row(source))));
}

void ContentView::FindInText() {
    const QString needle = ui->eSearch->text();
    if (needle.isEmpty())
        return;
    if (!ui->mText->find(needle)) {
        ui->mText->moveCursor(QTextCursor::Start);
        ui->mText->find(needle);
    }
}

void ContentView::SelectRecord(std::int32_t index) {
    Current = index;
    if (Table == nullptr || index < 0)
        return;
    const auto record = static_cast<std::size_t>(index) + 1;
    Selecting = true;
    if (Table->Kind == dump::ContentTable::Shape::Items) {
        // Rows are in record order: the record's row, when it has one, is found by halving.
        const auto& rows = Table->Rows;
        const auto at =
            std::lower_bound(rows.begin(), rows.end(), record,
                             [](const dump::ContentRow& r, std::size_t n) { return r.Record < n; });
        QModelIndex shown;
        if (at != rows.end() && at->Record == record)
            shown = Filter->mapFromSource(Rows->index(static_cast<int>(at - rows.begin()), 0));
        if (shown.isValid()) {
            ui->tItems->selectionModel()->setCurrentIndex(
                shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ui->tItems->scrollTo(shown);
        } else {
            ui->tItems->selectionModel()->clear();
        }
    } else if (Table->Kind == dump::ContentTable::Shape::Pictures) {
        for (std::size_t i = 0; i < Table->Pictures.size(); ++i)
            if (Table->Pictures[i].Record == record) {
                ui->lPictures->setCurrentRow(static_cast<int>(i));
                break;
            }
    }
    Selecting = false;
}

std::int32_t ContentView::selectedRecord() const {
    if (Table == nullptr || Table->Kind != dump::ContentTable::Shape::Items)
        return -1;
    const QModelIndex current = ui->tItems->selectionModel()->currentIndex();
    if (!current.isValid())
        return -1;
    const std::size_t record = Rows->row(Filter->mapToSource(current).row()).Record;
    return record == 0 ? -1 : static_cast<std::int32_t>(record - 1);
}
