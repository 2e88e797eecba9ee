// The viewer driven as a user drives it: toolbar buttons, menu commands, the real open
// dialog and message boxes answered from a timer, the About box, and every corpus file.
#include "About.h"
#include "ContentView.h"
#include "DumpView.h"
#include "Grid.h"
#include "Main.h"
#include "MalformedCases.h"
#include "PdbBuilder.h"
#include "RecordView.h"
#include "ui_About.h"
#include "ui_Grid.h"
#include "ui_Main.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

using namespace vexlin;
using namespace vexlin::test;

namespace {

// Runs `answer` on the next modal widget that shows up while `action` runs.
void WhenModal(const std::function<void(QWidget*)>& answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// Opens path through the real open dialog.
void OpenThroughDialog(const QString& path) {
    WhenModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        // Typed into the file name box and confirmed with Enter, as a user does.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        // In the name box, as a user types: the last file, preselected in the list, is let go.
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        name->setFocus();
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
        if (QApplication::activeModalWidget() == dialog) {
            qWarning() << "dialog still open" << dialog->selectedFiles();
            dialog->reject();
        }
    });
    fMain->form().ToolButton1->trigger();
}

// Opens path with File, Open and returns the message of the error box it shows ("" if none).
QString OpenExpectingError(const QString& path) {
    auto message = std::make_shared<QString>();
    WhenModal([message](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) {
            *message = box->windowTitle() + QLatin1String(": ") + box->text();
        }
        modal->close();
    });
    if (fMain->OpenFile(path) != nullptr) {
        return QStringLiteral("(opened)");
    }
    return *message;
}

void Click(QAction* action) {
    QWidget* button = fMain->form().tb->widgetForAction(action);
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

int WindowCount() {
    return static_cast<int>(fMain->form().mdiArea->subWindowList().size());
}

QString Corpus() {
    return QStringLiteral(VEXLIN_CORPUS_DIR);
}

} // namespace

class tst_Viewer : public QObject {
    Q_OBJECT

  public slots:
    void recordUrl(const QUrl& url) { Urls << url; }

  private slots:
    void init();
    void cleanup();

    void startsEmpty();
    void cancellingOpenChangesNothing();
    void openShowsTheFileOnFourTabs();
    void openDialogMatchesAnyLetterCase();
    void openDialogTakesNamesAsTypedAndListsAnew();
    void sameFileTwiceGivesIndependentWindows();
    void newWindowsShowTheReportWhole();
    void navigationAtBothEnds();
    void navigationWithoutWindowsDoesNothing();
    void statusFollowsCommandsNotActivation();
    void noRecordsAndNoInfoAreas();
    void closeClosesOnlyTheFrontWindow();
    void documentWindowKeys();
    void arrangeAllLinesUpMinimisedWindows();
    void exitClosesEverything();
    void aboutBoxClosesEveryWay_data();
    void aboutBoxClosesEveryWay();
    void linksOpenTheMakersAddresses();
    void badFilesShowOneErrorAndNoWindow();
    void namedAndDroppedFilesOpenInTurn();
    void everyCorpusFileOpensAndSteps();
    void malformedFilesOpenStepArrangeAndClose();

  private:
    QList<QUrl> Urls;
};

void tst_Viewer::init() {
    fMain = new TfMain;
    AboutBox = new TAboutBox;
    fMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(fMain));
}

void tst_Viewer::cleanup() {
    delete AboutBox;
    AboutBox = nullptr;
    delete fMain;
    fMain = nullptr;
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void tst_Viewer::startsEmpty() {
    QCOMPARE(WindowCount(), 0);
    QCOMPARE(fMain->recordStatus(), QString());
    QCOMPARE(fMain->windowTitle(), QStringLiteral("Vexlin"));
    QVERIFY(!AboutBox->isVisible());
    // A dialog border: fixed size, no minimise or maximise button.
    QVERIFY(
        !(AboutBox->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(AboutBox->minimumSize(), AboutBox->maximumSize());
    QCOMPARE(fGrid, nullptr);
    // The Window menu lists its three commands and never the open windows.
    TempFile file(PdbBuilder{}.Build());
    fMain->OpenFile(QString::fromStdString(file.path()));
    QCOMPARE(fMain->form().Window1->actions().size(), 3);
}

void tst_Viewer::cancellingOpenChangesNothing() {
    WhenModal([](QWidget* modal) {
        QVERIFY(qobject_cast<QFileDialog*>(modal));
        QCOMPARE(qobject_cast<QFileDialog*>(modal)->nameFilters(),
                 QStringList{QStringLiteral("Pilot Data Base (*.PDB)")});
        static_cast<QDialog*>(modal)->reject();
    });
    Click(fMain->form().ToolButton1);
    QCOMPARE(WindowCount(), 0);
    QCOMPARE(fMain->recordStatus(), QString());
}

void tst_Viewer::openShowsTheFileOnFourTabs() {
    TempFile file(PdbBuilder{}
                      .App(Text("app"))
                      .Sort(Text("sort"))
                      .Record(Text("r0"))
                      .Record(Text("r1"))
                      .Build());
    const QString path = QString::fromStdString(file.path());
    OpenThroughDialog(path);
    QCOMPARE(WindowCount(), 1);
    TfGrid* grid = fMain->ActiveMDIChild();
    QVERIFY(grid);
    QCOMPARE(grid->windowTitle(), path);
    Ui::TfGrid& form = grid->form();
    QCOMPARE(form.PageControl1->currentWidget(), form.TabSheet1);
    QCOMPARE(form.mHead->toPlainText().split(QLatin1Char('\n')).size(), 14);
    QCOMPARE(form.mApp->lineCount(), 1);
    QVERIFY(form.mApp->lineText(0).contains(QLatin1String("|app ")));
    QVERIFY(form.mSort->lineText(0).contains(QLatin1String("|sort ")));
    QVERIFY(form.mRec->lineText(0).contains(QLatin1String("|r0 ")));
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 1 of 2"));
    // The keyboard goes to the front tab's text box, also after a change of tab.
    QTRY_COMPARE(QApplication::focusWidget(), form.mHead);
    // The header memo takes typing, as a text box that is not read-only; nothing reads it.
    QTest::keyClicks(form.mHead, QStringLiteral("typed"));
    QVERIFY(form.mHead->toPlainText().contains(QLatin1String("typed")));
    form.PageControl1->setCurrentWidget(form.TabSheet5);
    QCOMPARE(QApplication::focusWidget(), form.mRec);
    // The dialog keeps the chosen file for the next time.
    QCOMPARE(fMain->openDialog()->selectedFiles().value(0), path);
}

void tst_Viewer::openDialogMatchesAnyLetterCase() {
    QTemporaryDir dir;
    for (const char* name : {"lower.pdb", "UPPER.PDB", "Mixed.Pdb", "other.txt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto shown = std::make_shared<QStringList>();
    WhenModal([shown, &dir](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        auto* model = dialog->findChild<QFileSystemModel*>();
        QVERIFY(model);
        const QModelIndex root = model->index(dir.path());
        QTRY_COMPARE(model->rowCount(root), 3);
        for (int row = 0; row < model->rowCount(root); ++row) {
            *shown << model->index(row, 0, root).data().toString();
        }
        dialog->reject();
    });
    fMain->openDialog()->setDirectory(dir.path());
    fMain->ToolButton1Click();
    shown->sort();
    QCOMPARE(*shown, (QStringList{QStringLiteral("Mixed.Pdb"), QStringLiteral("UPPER.PDB"),
                                  QStringLiteral("lower.pdb")}));
}

// A typed name that exists opens as typed; ".pdb" is added only to one that does not. Each
// showing lists the folder as it is then: a file that has grown since shows its new size.
void tst_Viewer::openDialogTakesNamesAsTypedAndListsAnew() {
    QTemporaryDir dir;
    const Bytes database = PdbBuilder{}.Record(Text("r")).Build();
    for (const char* name : {"MemoBackup", "Other.pdb", "Big.pdb"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (QLatin1String(name) != QLatin1String("Big.pdb")) {
            f.write(reinterpret_cast<const char*>(database.data()), qint64(database.size()));
        }
    }
    OpenThroughDialog(dir.filePath(QStringLiteral("MemoBackup")));
    QVERIFY(fMain->ActiveMDIChild());
    QCOMPARE(fMain->ActiveMDIChild()->windowTitle(), dir.filePath(QStringLiteral("MemoBackup")));
    OpenThroughDialog(dir.filePath(QStringLiteral("Other")));
    QCOMPARE(WindowCount(), 2);
    QCOMPARE(fMain->ActiveMDIChild()->windowTitle(), dir.filePath(QStringLiteral("Other.pdb")));

    const auto listedSize = [&dir](qint64 expected) {
        WhenModal([&dir, expected](QWidget* modal) {
            auto* model = modal->findChild<QFileSystemModel*>();
            QVERIFY(model);
            QTRY_COMPARE(model->size(model->index(dir.filePath(QStringLiteral("Big.pdb")))),
                         expected);
            static_cast<QDialog*>(modal)->reject();
        });
        fMain->ToolButton1Click();
    };
    listedSize(0);
    QFile big(dir.filePath(QStringLiteral("Big.pdb")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(5 * 1048576, '\0'));
    big.close();
    listedSize(5 * 1048576);
}

void tst_Viewer::sameFileTwiceGivesIndependentWindows() {
    TempFile file(PdbBuilder{}.Record(Text("a")).Record(Text("b")).Record(Text("c")).Build());
    const QString path = QString::fromStdString(file.path());
    TfGrid* first = fMain->OpenFile(path);
    TfGrid* second = fMain->OpenFile(path);
    QVERIFY(first && second && first != second);
    QCOMPARE(WindowCount(), 2);
    QCOMPARE(first->windowTitle(), second->windowTitle());
    QVERIFY(&first->image() != &second->image());
    Click(fMain->form().ToolButton7);
    QCOMPARE(second->currentRecord(), 2);
    QCOMPARE(first->currentRecord(), 0);
    // The second window one step down and right of the first, both showing the header
    // report without wrapping.
    const QWidget* a = first->parentWidget();
    const QWidget* b = second->parentWidget();
    QVERIFY(b->x() > a->x() && b->y() - a->y() == b->x() - a->x());
    for (TfGrid* grid : {first, second}) {
        QVERIFY(grid->width() >= grid->ReportSize().width());
        QVERIFY(grid->height() >= grid->ReportSize().height());
        QCOMPARE(grid->form().mHead->document()->lineCount(), 14);
    }
}

// Every new window, one step on from the last until the report would no longer fit, shows
// the header report without a scroll bar; one pixel less than the least size would need one.
void tst_Viewer::newWindowsShowTheReportWhole() {
    TempFile file(PdbBuilder{}.Record(Text("a")).Build());
    const QString path = QString::fromStdString(file.path());
    QList<int> tops;
    TfGrid* grid = nullptr;
    for (int i = 0; i < 8; ++i) {
        grid = fMain->OpenFile(path);
        QPlainTextEdit* head = grid->form().mHead;
        QTRY_VERIFY(head->isVisible());
        tops << grid->parentWidget()->y();
        QCOMPARE(head->verticalScrollBar()->maximum(), 0);
        QCOMPARE(head->document()->lineCount(), 14);
    }
    QVERIFY(tops.indexOf(0, 1) > 1); // the steps start again at the top-left
    QWidget* window = grid->parentWidget();
    const int around = window->height() - grid->height();
    for (const int less : {0, 1}) {
        window->resize(window->width(), grid->ReportSize().height() + around - less);
        QTRY_COMPARE(grid->form().mHead->verticalScrollBar()->maximum() > 0, less == 1);
    }
}

void tst_Viewer::navigationAtBothEnds() {
    TempFile file(
        PdbBuilder{}.Record(Text("zero")).Record(Text("one")).Record(Text("two")).Build());
    TfGrid* grid = fMain->OpenFile(QString::fromStdString(file.path()));
    Ui::TfMain& f = fMain->form();
    Click(f.ToolButton5); // previous at the first record stays
    QCOMPARE(grid->currentRecord(), 0);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 1 of 3"));
    Click(f.ToolButton6);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 2 of 3"));
    QVERIFY(grid->form().mRec->lineText(0).contains(QLatin1String("|one ")));
    Click(f.ToolButton7);
    Click(f.ToolButton6); // next at the last record stays
    QCOMPARE(grid->currentRecord(), 2);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 3 of 3"));
    QVERIFY(grid->form().mRec->lineText(0).contains(QLatin1String("|two ")));
    Click(f.ToolButton3);
    QCOMPARE(grid->currentRecord(), 0);
    // The Records tab is refilled whichever tab is in front; the tab does not change.
    QCOMPARE(grid->form().PageControl1->currentIndex(), 0);
}

void tst_Viewer::navigationWithoutWindowsDoesNothing() {
    for (QAction* a : {fMain->form().ToolButton3, fMain->form().ToolButton5,
                       fMain->form().ToolButton6, fMain->form().ToolButton7}) {
        Click(a);
    }
    fMain->Close1Click();
    fMain->ArrangeAll1Click();
    QCOMPARE(WindowCount(), 0);
    QCOMPARE(fMain->recordStatus(), QString());
}

void tst_Viewer::statusFollowsCommandsNotActivation() {
    TempFile a(PdbBuilder{}.Record(Text("a0")).Record(Text("a1")).Build());
    TempFile b(PdbBuilder{}.Record(Text("b0")).Record(Text("b1")).Record(Text("b2")).Build());
    TfGrid* ga = fMain->OpenFile(QString::fromStdString(a.path()));
    fMain->OpenFile(QString::fromStdString(b.path()));
    Click(fMain->form().ToolButton7);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 3 of 3"));
    QMdiSubWindow* windowA = fMain->form().mdiArea->subWindowList().constFirst();
    fMain->form().mdiArea->setActiveSubWindow(windowA);
    QCOMPARE(fMain->ActiveMDIChild(), ga);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 3 of 3"));
    Click(fMain->form().ToolButton6);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 2 of 2"));
    fMain->Close1Click();
    fMain->Close1Click();
    QTRY_COMPARE(WindowCount(), 0);
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 2 of 2"));
}

void tst_Viewer::noRecordsAndNoInfoAreas() {
    TempFile withRecord(PdbBuilder{}.Record(Text("x")).Build());
    fMain->OpenFile(QString::fromStdString(withRecord.path()));
    TempFile empty(PdbBuilder{}.Build());
    TfGrid* grid = fMain->OpenFile(QString::fromStdString(empty.path()));
    QCOMPARE(grid->form().mApp->lineText(0), QStringLiteral("No App Info"));
    QCOMPARE(grid->form().mApp->lineCount(), 1);
    QCOMPARE(grid->form().mSort->lineText(0), QStringLiteral("No Sort Info"));
    QCOMPARE(grid->form().mRec->lineCount(), 0);
    for (QAction* a : {fMain->form().ToolButton3, fMain->form().ToolButton5,
                       fMain->form().ToolButton6, fMain->form().ToolButton7}) {
        Click(a);
        QCOMPARE(grid->form().mRec->lineCount(), 0);
    }
    QCOMPARE(fMain->recordStatus(), QStringLiteral("Record: 1 of 1"));
}

// Only the front window closes, freed, and the one behind it comes to the front.
void tst_Viewer::closeClosesOnlyTheFrontWindow() {
    TempFile file(PdbBuilder{}.Record(Text("r")).Build());
    const QString path = QString::fromStdString(file.path());
    QPointer<TfGrid> first = fMain->OpenFile(path);
    QPointer<TfGrid> second = fMain->OpenFile(path);
    QPointer<TfGrid> third = fMain->OpenFile(path);
    fMain->form().File1->actions().at(1)->trigger(); // File, Close
    QTRY_VERIFY(third.isNull());                     // freed, not minimised
    QCOMPARE(WindowCount(), 2);
    QCOMPARE(fMain->ActiveMDIChild(), second.data());
    fMain->form().mdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    fMain->Close1Click();
    QTRY_VERIFY(first.isNull());
    QCOMPARE(fMain->ActiveMDIChild(), second.data());
}

// The keys of a document window: Ctrl+PgDn and Ctrl+PgUp step its tabs with the keyboard in
// the new tab's text; on the focused tab strip the arrows walk the tabs and the keyboard
// stays there; Ctrl+F6 brings the next window to the front, Ctrl+F4 closes the front one.
void tst_Viewer::documentWindowKeys() {
    TempFile file(PdbBuilder{}.App(Text("app")).Record(Text("r")).Build());
    const QString path = QString::fromStdString(file.path());
    QPointer<TfGrid> behind = fMain->OpenFile(path);
    QPointer<TfGrid> grid = fMain->OpenFile(path);
    QVERIFY(QTest::qWaitForWindowActive(fMain));
    Ui::TfGrid& form = grid->form();
    QTRY_COMPARE(QApplication::focusWidget(), form.mHead);
    QTest::keyClick(form.mHead, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(form.PageControl1->currentWidget(), form.tAppInfo);
    QCOMPARE(QApplication::focusWidget(), form.mApp);
    QTest::keyClick(form.mApp, Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(form.mHead, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(form.PageControl1->currentWidget(), form.tContent); // round to the last tab
    QTabBar* tabs = form.PageControl1->tabBar();
    tabs->setFocus(Qt::BacktabFocusReason);
    QTest::keyClick(tabs, Qt::Key_Left);
    QTest::keyClick(tabs, Qt::Key_Left);
    QTest::keyClick(tabs, Qt::Key_Left);
    QCOMPARE(form.PageControl1->currentWidget(), form.tAppInfo);
    QCOMPARE(QApplication::focusWidget(), tabs);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center()); // a click: the text
    QTRY_COMPARE(QApplication::focusWidget(), form.mSort);
    QTest::keyClick(tabs, Qt::Key_F6, Qt::ControlModifier);
    QCOMPARE(fMain->ActiveMDIChild(), behind.data());
    QTRY_COMPARE(QApplication::focusWidget(), behind->form().mHead);
    QTest::keyClick(behind->form().mHead, Qt::Key_F4, Qt::ControlModifier);
    QTRY_VERIFY(behind.isNull());
    QCOMPARE(fMain->ActiveMDIChild(), grid.data());
}

void tst_Viewer::arrangeAllLinesUpMinimisedWindows() {
    TempFile file(PdbBuilder{}.Build());
    const QString path = QString::fromStdString(file.path());
    for (int i = 0; i < 3; ++i) {
        fMain->OpenFile(path);
    }
    fMain->Cascade1Click();
    const auto windows = fMain->form().mdiArea->subWindowList(QMdiArea::CreationOrder);
    const QRect normal = windows[2]->geometry();
    windows[0]->showMinimized();
    windows[1]->showMinimized();
    windows[0]->move(200, 10);
    windows[1]->move(5, 60);
    fMain->ArrangeAll1Click();
    const int bottom = fMain->form().mdiArea->viewport()->height();
    QCOMPARE(windows[0]->geometry().bottom() + 1, bottom);
    QCOMPARE(windows[0]->x(), 0);
    QCOMPARE(windows[1]->geometry().bottom() + 1, bottom);
    QCOMPARE(windows[1]->x(), windows[0]->width());
    QCOMPARE(windows[2]->geometry(), normal);
}

void tst_Viewer::exitClosesEverything() {
    TempFile file(PdbBuilder{}.Build());
    fMain->OpenFile(QString::fromStdString(file.path()));
    Click(fMain->form().ToolButton2);
    QVERIFY(!fMain->isVisible());
}

void tst_Viewer::aboutBoxClosesEveryWay_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("OK button") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Esc") << 2;
    QTest::newRow("close box") << 3;
}

void tst_Viewer::aboutBoxClosesEveryWay() {
    QFETCH(int, way);
    for (int round = 0; round < 2; ++round) {
        auto text = std::make_shared<QString>();
        auto focus = std::make_shared<bool>(false);
        auto selected = std::make_shared<bool>(true);
        WhenModal([=](QWidget* modal) {
            QCOMPARE(modal, AboutBox);
            Ui::TAboutBox& f = AboutBox->form();
            *text = f.Label1->text() + f.lVer->text() + f.Memo1->toPlainText();
            // The box may be found modal a moment before it gets the keyboard.
            *focus = QTest::qWaitFor([&] { return f.Button1->hasFocus(); }, 5000);
            // Each showing starts as the first: nothing left selected from the last one.
            *selected = f.Memo1->textCursor().hasSelection();
            f.Memo1->selectAll();
            switch (way) {
            case 0:
                QTest::mouseClick(f.Button1, Qt::LeftButton);
                break;
            case 1:
                QTest::keyClick(f.Button1, Qt::Key_Return);
                break;
            case 2:
                QTest::keyClick(f.Button1, Qt::Key_Escape);
                break;
            default:
                AboutBox->close();
            }
        });
        if (round == 0) {
            Click(fMain->form().ToolButton9);
        } else {
            fMain->form().About1->trigger();
        }
        QVERIFY(!AboutBox->isVisible());
        QVERIFY(*focus);
        QVERIFY(!*selected);
        QCOMPARE(AboutBox->result(), way == 3 ? int(QDialog::Rejected) : int(QDialog::Accepted));
        QCOMPARE(*text,
                 QStringLiteral("VexlinVersion 1.1by Brisane\n\nMail:    "
                                "brisane@brisane.example\nHome: http://www.brisane.example/\n"
                                "           http://quendal.brisane.example/\n"
                                "           http://palm.brisane.example/\n"));
    }
    // The memo refuses typing.
    QTest::keyClicks(AboutBox->form().Memo1, QStringLiteral("typed"));
    QVERIFY(!AboutBox->form().Memo1->toPlainText().contains(QLatin1String("typed")));
}

void tst_Viewer::linksOpenTheMakersAddresses() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "recordUrl");
    Urls.clear();
    QTest::mouseClick(fMain->form().Label1, Qt::LeftButton);
    QTest::mouseClick(fMain->form().Label2, Qt::LeftButton);
    // Pressed on the link and released away from it: no click.
    QTest::mousePress(fMain->form().Label1, Qt::LeftButton);
    QTest::mouseRelease(fMain->form().Label1, Qt::LeftButton, {}, QPoint(-20, -20));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QCOMPARE(Urls, (QList<QUrl>{QUrl(QStringLiteral("http://www.brisane.example/")),
                                QUrl(QStringLiteral("mailto:brisane@brisane.example"))}));
}

void tst_Viewer::badFilesShowOneErrorAndNoWindow() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.pdb"));
    QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
    TempFile large(Bytes(ImageCapacity + 1, 0));
    const QString largePath = QString::fromStdString(large.path());
    const QString missing = dir.filePath(QStringLiteral("missing.pdb"));
    const QString loop = dir.filePath(QStringLiteral("loop.pdb"));
    QVERIFY(QFile::link(loop, loop));
    const QList<std::pair<QString, QString>> cases = {
        {missing, QStringLiteral("No such file or directory")},
        {dir.path(), QStringLiteral("is a directory")},
        {fifo, QStringLiteral("not a regular file")},
        {QStringLiteral("/dev/zero"), QStringLiteral("not a regular file")},
        {loop, QStringLiteral("Too many levels of symbolic links")},
        {largePath,
         QStringLiteral("file is 5242959 bytes, larger than the limit of 5242958 bytes")}};
    for (const auto& [path, reason] : cases) {
        QCOMPARE(OpenExpectingError(path),
                 QStringLiteral("Vexlin: ") + path + QStringLiteral(": ") + reason);
        QCOMPARE(WindowCount(), 0);
    }
}

// Files named on the command line and files dropped on the frame open as Open opens them,
// one window each, titled with the whole path; an unreadable one gets its box, the rest open.
void tst_Viewer::namedAndDroppedFilesOpenInTurn() {
    QTemporaryDir dir;
    const Bytes memo = PdbBuilder{}.Record(Text("a")).Build();
    for (const char* name : {"one.pdb", "two.pdb"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(memo.data()), static_cast<qint64>(memo.size()));
    }
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto errors = std::make_shared<int>(0);
    WhenModal([errors](QWidget* modal) {
        *errors += qobject_cast<QMessageBox*>(modal) != nullptr;
        modal->close();
    });
    fMain->OpenFiles({QStringLiteral("one.pdb"), QStringLiteral("missing.pdb"),
                      QStringLiteral("./two.pdb")});
    QDir::setCurrent(before);
    QCOMPARE(*errors, 1);
    QCOMPARE(WindowCount(), 2);
    const auto windows = fMain->form().mdiArea->subWindowList();
    QCOMPARE(windows.at(0)->widget()->windowTitle(), dir.filePath(QStringLiteral("one.pdb")));
    QCOMPARE(windows.at(1)->widget()->windowTitle(), dir.filePath(QStringLiteral("two.pdb")));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.filePath(QStringLiteral("two.pdb"))),
                  QUrl(QStringLiteral("https://example.org/three.pdb"))});
    const QPoint inside = fMain->rect().center();
    QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(fMain, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(inside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(fMain, &drop);
    QTRY_COMPARE(WindowCount(), 3);
    QCOMPARE(fMain->ActiveMDIChild()->windowTitle(), dir.filePath(QStringLiteral("two.pdb")));
}

void tst_Viewer::everyCorpusFileOpensAndSteps() {
    const QDir corpus(Corpus());
    const QStringList files = corpus.entryList({QStringLiteral("*.pdb"), QStringLiteral("*.PDB"),
                                                QStringLiteral("*.prc"), QStringLiteral("*.PRC")},
                                               QDir::Files);
    if (files.isEmpty()) {
        QSKIP("no corpus");
    }
    for (const QString& name : files) {
        TfGrid* grid = fMain->OpenFile(corpus.filePath(name));
        QVERIFY2(grid, qPrintable(name));
        grid->form().PageControl1->setCurrentWidget(grid->form().tContent); // decoded now
        const int count = RecordCount(grid->image());
        for (int i = 1; i < count; ++i) {
            fMain->ToolButton6Click();
        }
        QCOMPARE(grid->currentRecord(), std::max(0, count - 1));
        // The last record's row, when it has one, is selected.
        const auto* table = grid->form().mContent->table();
        QVERIFY2(table, qPrintable(name));
        if (!table->Rows.empty() && table->Rows.back().Record == std::size_t(count)) {
            QCOMPARE(grid->form().mContent->selectedRecord(), count - 1);
        }
        if (count > 0) {
            QCOMPARE(fMain->recordStatus(),
                     QStringLiteral("Record: %1 of %2").arg(count).arg(count));
            const Extent last = RecordExtent(grid->image(), count - 1);
            QCOMPARE(grid->form().mRec->lineCount(),
                     int(DumpLineCount(ClampToFile(grid->image(), last.Start, last.Size))));
        }
    }
    QCOMPARE(WindowCount(), files.size());
    fMain->Tile1Click();
    QCoreApplication::processEvents();
}

void tst_Viewer::malformedFilesOpenStepArrangeAndClose() {
    QList<QPointer<TfGrid>> grids;
    std::vector<std::unique_ptr<TempFile>> files;
    for (const auto& [name, bytes] : MalformedCases()) {
        files.push_back(std::make_unique<TempFile>(bytes, name));
        TfGrid* grid = fMain->OpenFile(QString::fromStdString(files.back()->path()));
        QVERIFY2(grid, name.c_str());
        grids << grid;
        const int count = RecordCount(grid->image());
        for (int i = 1; i < count; ++i) {
            fMain->ToolButton6Click();
        }
        fMain->ToolButton5Click();
        fMain->ToolButton3Click();
        fMain->ToolButton7Click();
        QCOMPARE(grid->currentRecord(), count - 1);
    }
    fMain->Tile1Click();
    fMain->Cascade1Click();
    for (QMdiSubWindow* window : fMain->form().mdiArea->subWindowList()) {
        window->showMinimized();
    }
    fMain->ArrangeAll1Click();
    while (WindowCount() > 0) {
        fMain->Close1Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    for (const auto& grid : grids) {
        QVERIFY(grid.isNull());
    }
}

QTEST_MAIN(tst_Viewer)
#include "tst_viewer.moc"
