// Times the viewer's document windows on the offscreen platform: building a window (all four
// tabs filled, shown and painted) for a 4 KB and for the largest database, one record step
// with the Records tab in front and repainted, and the memory a window costs beyond its
// image; the Content tab: its first rows painted and a step on 65,535 memos, the memory it
// adds, a 5 MB book's text and the 206 i-mode icons shown. Prints one figure per line as NAME
// VALUE; medians over several runs.
#include "About.h"
#include "ContentSamples.h"
#include "ContentView.h"
#include "ui_ContentView.h"
#include "DumpView.h"

#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include "Grid.h"
#include "Main.h"
#include "ui_Grid.h"

#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

#include <malloc.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A database of `size` bytes with one record that runs from offset 88 to the end.
std::string MakeDatabase(const char* name, std::size_t size) {
    std::vector<char> bytes(size);
    std::mt19937 random(1);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    std::fill(bytes.begin(), bytes.begin() + 88, 0);
    std::copy_n("Bench", 5, bytes.begin());
    bytes[77] = 1;
    bytes[81] = 88;
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
    return path.string();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

long ResidentKb() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

TfGrid* OpenShown(const QString& path) {
    TfGrid* grid = fMain->OpenFile(path);
    grid->parentWidget()->repaint(); // the window with the Header tab in front, painted
    return grid;
}

void CloseAll() {
    fMain->findChild<QMdiArea*>()->closeAllSubWindows();
    Settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double OpenMs(const QString& path, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        OpenShown(path);
        times.push_back(Ms(start));
        CloseAll();
    }
    return Median(times);
}

double StepMs(const QString& path, int runs) {
    TfGrid* grid = OpenShown(path);
    grid->form().PageControl1->setCurrentWidget(grid->form().TabSheet5);
    Settle();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        grid->NextRecord();
        grid->form().mRec->viewport()->repaint();
        times.push_back(Ms(start));
    }
    CloseAll();
    return Median(times);
}

std::string WriteBytes(const char* name, const vexlin::test::Bytes& bytes) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return path.string();
}

// 65,535 memos of a few lines each, in three categories.
std::string MakeMemos() {
    using namespace vexlin::test;
    PdbBuilder memos = PimBuilder("MemoDB", "memo");
    Bytes app = CategoryBlock({"Unfiled", "Business", "Personal"});
    app.insert(app.end(), 4, 0);
    memos.App(app);
    for (int r = 0; r < 65535; ++r) {
        Bytes text;
        PutText(text, "Memo " + std::to_string(r) + "\nCall back about the order\nand the invoice");
        memos.Record(text);
    }
    return WriteBytes("vexlin-bench-memos.pdb", memos.Build());
}

// A PalmDOC book of nearly 5 MB (as much as a window holds) of uncompressed text in records of
// 4,096 bytes.
std::string MakeBook() {
    using namespace vexlin::test;
    PdbBuilder book;
    book.Name = "Dictionary";
    book.Type = "TEXt";
    book.Creator = "REAd";
    const std::size_t records = (vexlin::ImageCapacity - 16 * 1024) / (4096 + 8);
    Bytes head;
    Put16(head, 1); // no compression
    Put16(head, 0);
    Put32(head, static_cast<std::uint32_t>(records * 4096));
    Put16(head, static_cast<std::uint16_t>(records));
    Put16(head, 4096);
    Put32(head, 0);
    book.Record(head);
    std::string line = "aardvark n. a burrowing mammal of Africa that feeds on ants and termites\n";
    for (std::size_t r = 0; r < records; ++r) {
        Bytes text;
        while (text.size() < 4096)
            text.push_back(static_cast<std::uint8_t>(line[text.size() % line.size()]));
        book.Record(text);
    }
    return WriteBytes("vexlin-bench-book.pdb", book.Build());
}

// From the Content tab brought to the front to its page painted.
double ShowContentMs(TfGrid* grid) {
    const auto start = Clock::now();
    grid->form().PageControl1->setCurrentWidget(grid->form().tContent);
    grid->form().tContent->repaint();
    return Ms(start);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    fMain = new TfMain;
    AboutBox = new TAboutBox;
    fMain->show();
    Settle();
    const int runs = 15;
    const QString small = QString::fromStdString(MakeDatabase("vexlin-bench-4k.pdb", 4096));
    const QString large =
        QString::fromStdString(MakeDatabase("vexlin-bench-5m.pdb", vexlin::ImageCapacity));
    OpenMs(small, 3); // warm up fonts and styles

    const double open4k = OpenMs(small, runs);
    const double open5m = OpenMs(large, runs);
    const double step4k = StepMs(small, 50);
    const double step5m = StepMs(large, 50);

    // Memory: several windows on the largest file, the growth per window beyond its image.
    const int windows = 8;
    OpenShown(large);
    CloseAll();
    const long before = ResidentKb();
    for (int i = 0; i < windows; ++i) {
        OpenShown(large);
    }
    Settle();
    const long after = ResidentKb();
    const long imageKb = static_cast<long>(sizeof(vexlin::DatabaseImage) / 1024);
    const long extraKb = (after - before) / windows - imageKb;

    // Copying a whole 5 MB record.
    TfGrid* grid = fMain->ActiveMDIChild();
    const auto copyStart = Clock::now();
    grid->form().mRec->selectAll();
    grid->form().mRec->copy();
    const double copyMs = Ms(copyStart);
    const auto copiedLines = QApplication::clipboard()->text().count(QLatin1Char('\n'));

    // One frame of drag-selection on the 5 MB record: the mouse moves with the button held,
    // the selection reaches from the first byte to the line under the mouse, deep inside the
    // record, and the view repaints.
    DumpView& view = *grid->form().mRec;
    grid->form().PageControl1->setCurrentWidget(grid->form().TabSheet5);
    Settle();
    QWidget* surface = view.viewport();
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(4, 4));
    std::vector<double> frames;
    for (int i = 0; i < 50; ++i) {
        view.verticalScrollBar()->setValue(1000 + i * 6000);
        const QPointF at(40 + i % 300, 10 + (i * 7) % std::max(1, surface->height() - 20));
        const auto frameStart = Clock::now();
        QMouseEvent move(QEvent::MouseMove, at, surface->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &move);
        surface->repaint();
        frames.push_back(Ms(frameStart));
    }
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(40, 10));
    const double dragMs = Median(frames);
    const double dragMaxMs = *std::max_element(frames.begin(), frames.end());
    const int selectedLines = view.selection().second.Line - view.selection().first.Line;
    CloseAll();

    // The Content tab on 65,535 memos: the first rows painted, a step with the tab in front
    // (the selection moved and the list repainted), the memory it adds beyond the window.
    const QString memos = QString::fromStdString(MakeMemos());
    // (Measured first, with the freed memory of the windows before handed back.)
    CloseAll();
    ::malloc_trim(0);
    TfGrid* memoGrid = OpenShown(memos);
    Settle();
    const long openedKb = ResidentKb();
    const auto heapBefore = ::mallinfo2().uordblks;
    ShowContentMs(memoGrid);
    Settle();
    const long contentKb = ResidentKb() - openedKb;
    const auto heapKb = static_cast<long>((::mallinfo2().uordblks - heapBefore) / 1024);
    std::vector<double> shown;
    for (int i = 0; i < 5; ++i) {
        CloseAll();
        memoGrid = OpenShown(memos);
        shown.push_back(ShowContentMs(memoGrid));
    }
    const double memosShownMs = Median(shown);
    std::vector<double> contentSteps;
    QWidget* list = memoGrid->form().mContent->form().tItems->viewport();
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        memoGrid->NextRecord();
        list->repaint();
        contentSteps.push_back(Ms(start));
    }
    const double contentStepMs = Median(contentSteps);
    const double contentStepMaxMs = *std::max_element(contentSteps.begin(), contentSteps.end());
    const auto memoBytes = static_cast<long>(std::filesystem::file_size(memos.toStdString()));
    CloseAll();

    // A 5 MB book's text, and the corpus's 206 i-mode icons.
    const QString bookPath = QString::fromStdString(MakeBook());
    shown.clear();
    for (int i = 0; i < 3; ++i) {
        shown.push_back(ShowContentMs(OpenShown(bookPath)));
        CloseAll();
    }
    const double bookShownMs = Median(shown);
    const QString icons = QStringLiteral(VEXLIN_CORPUS_DIR "/plucker_imodeicons.pdb");
    double iconsShownMs = -1;
    if (QFile::exists(icons)) {
        shown.clear();
        for (int i = 0; i < 5; ++i) {
            shown.push_back(ShowContentMs(OpenShown(icons)));
            CloseAll();
        }
        iconsShownMs = Median(shown);
    }

    std::printf("open_4k_ms %.2f\n", open4k);
    std::printf("open_5m_ms %.2f\n", open5m);
    std::printf("open_ratio %.2f\n", open5m / open4k);
    std::printf("step_4k_ms %.3f\n", step4k);
    std::printf("step_5m_ms %.3f\n", step5m);
    std::printf("window_extra_kb %ld\n", extraKb);
    std::printf("copy_5m_ms %.0f\n", copyMs);
    std::printf("copy_5m_lines %lld\n", static_cast<long long>(copiedLines));
    std::printf("drag_select_frame_5m_ms %.3f\n", dragMs);
    std::printf("drag_select_frame_5m_max_ms %.3f\n", dragMaxMs);
    std::printf("drag_select_lines %d\n", selectedLines);
    std::printf("content_memos_65535_shown_ms %.1f\n", memosShownMs);
    std::printf("content_memos_65535_step_ms %.3f\n", contentStepMs);
    std::printf("content_memos_65535_step_max_ms %.3f\n", contentStepMaxMs);
    std::printf("content_memos_65535_extra_kb %ld\n", contentKb);
    std::printf("content_memos_65535_heap_kb %ld\n", heapKb);
    std::printf("content_memos_65535_file_kb %ld\n", memoBytes / 1024);
    std::printf("content_book_5mb_shown_ms %.1f\n", bookShownMs);
    if (iconsShownMs >= 0)
        std::printf("content_icons_206_shown_ms %.1f\n", iconsShownMs);
    else
        std::printf("content_icons_206_shown_ms skipped (no corpus)\n");
    delete AboutBox;
    delete fMain;
    std::filesystem::remove(small.toStdString());
    std::filesystem::remove(large.toStdString());
    std::filesystem::remove(memos.toStdString());
    std::filesystem::remove(bookPath.toStdString());
    return 0;
}
