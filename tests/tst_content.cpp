// The Content tab and File, Export... driven as a user drives them (offscreen): decoding when
// the tab is first shown, the rows' filters, the record and row in step, the encoding's
// choice, books, pictures and unknown databases, and an export equal to vexlin-dump's.
#include "ContentSamples.h"
#include "ContentView.h"
#include "Export.h"
#include "Grid.h"
#include "Main.h"
#include "ui_ContentView.h"
#include "ui_Grid.h"

#include <QDir>
#include <QDirIterator>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace vexlin;
using namespace vexlin::test;

namespace {

QString Corpus(const char* name) {
    return QDir(QStringLiteral(VEXLIN_CORPUS_DIR)).filePath(QString::fromLatin1(name));
}

// The cells of the rows the tab shows, column by column, one string a row.
QStringList ShownRows(ContentView& view, int column) {
    QStringList rows;
    const QAbstractItemModel* model = view.form().tItems->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows << model->index(r, column).data().toString();
    return rows;
}

// Every file under folder, with its bytes.
QMap<QString, QByteArray> Tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files[QDir(folder).relativeFilePath(file.fileName())] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    return files;
}

} // namespace

class tst_Content : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void rowsAreDecodedWhenTheTabIsShown();
    void categoryAndSearchNarrowTheRows();
    void rowsAndRecordsStayInStep();
    void encodingChoiceRereads();
    void booksPicturesAndUnknownDatabases();
    void exportWritesWhatTheToolWrites();

  private:
    TfGrid* OpenOnContent(const QString& path);
};

void tst_Content::init() {
    fMain = new TfMain;
    fMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(fMain));
}

void tst_Content::cleanup() {
    delete fMain;
    fMain = nullptr;
}

TfGrid* tst_Content::OpenOnContent(const QString& path) {
    TfGrid* grid = fMain->OpenFile(path);
    if (grid != nullptr)
        grid->form().PageControl1->setCurrentWidget(grid->form().tContent);
    return grid;
}

void tst_Content::rowsAreDecodedWhenTheTabIsShown() {
    TempFile file(MemoSample());
    TfGrid* grid = fMain->OpenFile(QString::fromStdString(file.path()));
    ContentView& view = *grid->form().mContent;
    QVERIFY(!view.decoded()); // opening decodes nothing
    grid->form().PageControl1->setCurrentWidget(grid->form().tContent);
    QVERIFY(view.decoded());
    QCOMPARE(ShownRows(view, 0), (QStringList{"1", "2", "3"}));
    QCOMPARE(ShownRows(view, 1).first(), QStringLiteral("Shopping"));
    // The record shown is the selected row, its details as --content prints them.
    QCOMPARE(view.selectedRecord(), 0);
    QCOMPARE(view.form().mDetail->toPlainText(),
             QStringLiteral("Record 1 (Unfiled)\n  Text: Shopping\n    milk\n    bread"));
}

void tst_Content::categoryAndSearchNarrowTheRows() {
    TempFile file(MemoSample());
    ContentView& view = *OpenOnContent(QString::fromStdString(file.path()))->form().mContent;
    QComboBox& category = *view.form().cCategory;
    QCOMPARE(category.count(), 4); // all, and the three named categories
    category.setCurrentIndex(category.findText(QStringLiteral("Business")));
    emit category.activated(category.currentIndex());
    QCOMPARE(ShownRows(view, 0), QStringList{"2"});
    category.setCurrentIndex(0);
    emit category.activated(0);
    // As typed: any letter case, in the cells or in the details beyond the first line.
    QTest::keyClicks(view.form().eSearch, QStringLiteral("BREAD"));
    QCOMPARE(ShownRows(view, 0), QStringList{"1"});
    view.form().eSearch->setText(QStringLiteral("from"));
    QCOMPARE(ShownRows(view, 0), QStringList{"3"});
    view.form().eSearch->setText(QStringLiteral("nowhere"));
    QCOMPARE(ShownRows(view, 0), QStringList{});
}

void tst_Content::rowsAndRecordsStayInStep() {
    TempFile file(MemoSample());
    TfGrid* grid = OpenOnContent(QString::fromStdString(file.path()));
    ContentView& view = *grid->form().mContent;
    fMain->ToolButton6Click(); // Next
    QCOMPARE(view.selectedRecord(), 1);
    // A row chosen shows its record, as a step does.
    QTableView& rows = *view.form().tItems;
    rows.setCurrentIndex(rows.model()->index(2, 1));
    QCOMPARE(grid->currentRecord(), 2);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 3 of 3"));
    // A record whose row the filter hides leaves no row selected.
    view.form().eSearch->setText(QStringLiteral("shopping"));
    fMain->ToolButton5Click(); // Previous
    QCOMPARE(grid->currentRecord(), 1);
    QCOMPARE(view.selectedRecord(), -1);
    fMain->ToolButton3Click(); // First
    QCOMPARE(view.selectedRecord(), 0);
}

void tst_Content::encodingChoiceRereads() {
    TempFile file(MemoSample());
    ContentView& view = *OpenOnContent(QString::fromStdString(file.path()))->form().mContent;
    QVERIFY(view.table()->Summary.ends_with("(detected)"));
    const QString quoted = ShownRows(view, 1).at(1);
    QVERIFY(quoted.contains(QChar(0x201C))); // cp1252's curly quote
    QComboBox& encoding = *view.form().cEncoding;
    encoding.setCurrentIndex(encoding.findText(QStringLiteral("ISO-8859-1")));
    emit encoding.activated(encoding.currentIndex());
    QCOMPARE(view.encoding(), std::string("ISO-8859-1"));
    QVERIFY(view.table()->Summary.ends_with("encoding ISO-8859-1"));
    QVERIFY(ShownRows(view, 1).at(1) != quoted);
}

void tst_Content::booksPicturesAndUnknownDatabases() {
    TempFile unknown(PdbBuilder{}.Record(Bytes{1, 2, 3}).Build());
    ContentView& none = *OpenOnContent(QString::fromStdString(unknown.path()))->form().mContent;
    QCOMPARE(none.form().sPages->currentWidget(), none.form().pNone);
    QVERIFY(none.form().lNone->text().contains(QStringLiteral("not decoded")));

    if (!QFile::exists(Corpus("plucker_imodeicons.pdb")))
        QSKIP("no corpus: the book and the icons are not shown");
    ContentView& book =
        *OpenOnContent(Corpus("txt2pdbdoc_ISO_8859-1_PalmDOC.pdb"))->form().mContent;
    QCOMPARE(book.form().sPages->currentWidget(), book.form().pText);
    QCOMPARE(book.form().mText->toPlainText().toStdString(), book.table()->Text);
    QVERIFY(!book.table()->Text.empty());

    TfGrid* grid = OpenOnContent(Corpus("plucker_imodeicons.pdb"));
    ContentView& icons = *grid->form().mContent;
    QCOMPARE(icons.form().lPictures->count(), 206);
    QCOMPARE(icons.form().lPictures->iconSize(), QSize(16, 16)); // 14 x 14 at 1x, at least 16
    icons.form().sZoom->setValue(4);
    QCOMPARE(icons.form().lPictures->iconSize(), QSize(56, 56));
    const QImage first = icons.form().lPictures->item(0)->icon().pixmap(56, 56).toImage();
    QCOMPARE(first.size(), QSize(56, 56));
    // Whole pixels: each of the 4 x 4 squares of a source pixel is one colour.
    QCOMPARE(first.pixel(20, 20), first.pixel(23, 23));
    fMain->ToolButton7Click(); // Last: the last record's picture is the current one
    QCOMPARE(icons.form().lPictures->currentRow(), 205);
}

void tst_Content::exportWritesWhatTheToolWrites() {
    TempFile file(ContactsSample());
    const QString path = QString::fromStdString(file.path());
    TfGrid* grid = fMain->OpenFile(path);
    QTemporaryDir ours, tools;
    ExportRun run = ExportWindow(*grid, ours.path(), false);
    QVERIFY2(run.Problem.isEmpty(), qPrintable(run.Problem));
    QCOMPARE(run.Files.size(), 1);
    QCOMPARE(QProcess::execute(QStringLiteral(VEXLIN_DUMP),
                               {QStringLiteral("--export"), tools.path(), path}),
             0);
    auto written = Tree(ours.path());
    auto expected = Tree(tools.path());
    // The calendar's DTSTAMP aside, a contact's card holds no time of export.
    QCOMPARE(written, expected);
    // Again: the file exists, and is replaced only when forced.
    QFile card(run.Files.first());
    QVERIFY(card.open(QIODevice::WriteOnly | QIODevice::Truncate));
    card.write("kept");
    card.close();
    run = ExportWindow(*grid, ours.path(), false);
    QVERIFY(run.Exists);
    QVERIFY(run.Problem.endsWith(QStringLiteral(" exists.")));
    QCOMPARE(Tree(ours.path()).first(), QByteArray("kept"));
    run = ExportWindow(*grid, ours.path(), true);
    QVERIFY(run.Problem.isEmpty());
    QCOMPARE(Tree(ours.path()), expected);
    // A database whose format has no export writes nothing.
    TempFile unknown(PdbBuilder{}.Record(Bytes{1}).Build());
    QTemporaryDir empty;
    run =
        ExportWindow(*fMain->OpenFile(QString::fromStdString(unknown.path())), empty.path(), false);
    QVERIFY(run.Nothing);
    QVERIFY(Tree(empty.path()).isEmpty());
}

QTEST_MAIN(tst_Content)
#include "tst_content.moc"
