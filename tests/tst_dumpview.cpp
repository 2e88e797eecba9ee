// The dump view against the model's own dump: line counts, painted lines, scrolling,
// selection by mouse and keys, and copying, for small stretches and a 5 MB one.
#include "DumpView.h"
#include "HexDump.h"
#include "PdbBuilder.h"

#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include <random>

using namespace vexlin;
using namespace vexlin::test;

namespace {

ImagePtr Image(std::size_t size) {
    Bytes bytes(size);
    std::mt19937 random(7);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    ImagePtr image = NewImage();
    LoadImageFromBytes(*image, bytes);
    return image;
}

// What the model's streaming dump (and so vexlin-dump) prints for the stretch.
QString ModelText(const DatabaseImage& image, DumpStretch stretch) {
    LinesTarget lines;
    HexDump(lines, image, stretch);
    QString text;
    for (const auto& line : lines.Lines) {
        text += QString::fromStdString(line) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

class tst_DumpView : public QObject {
    Q_OBJECT

  private slots:
    void linesMatchTheModel_data();
    void linesMatchTheModel();
    void scrollsToTheLastLineAndPaintsIt();
    void selectsWithMouseAndKeys();
    void copiesFiveMegabytesExactly();
    void refusesTyping();
    void hitsWhereTheTextIsPainted_data();
    void hitsWhereTheTextIsPainted();
};

void tst_DumpView::linesMatchTheModel_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("lines");
    QTest::newRow("0 bytes") << 100 << 0 << 0;
    QTest::newRow("1 byte") << 100 << 1 << 1;
    QTest::newRow("16 bytes") << 100 << 16 << 1;
    QTest::newRow("17 bytes") << 100 << 17 << 2;
    QTest::newRow("cut at the end of the file") << 4000 << 1000 << 6;
    QTest::newRow("outside the file") << 5000 << 16 << 0;
}

void tst_DumpView::linesMatchTheModel() {
    QFETCH(int, start);
    QFETCH(int, size);
    QFETCH(int, lines);
    const ImagePtr image = Image(4096);
    const DumpStretch stretch = ClampToFile(*image, start, size);
    DumpView view;
    view.resize(640, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetStretch(*image, stretch);
    QCOMPARE(view.lineCount(), lines);
    view.selectAll();
    QCOMPARE(view.selectedText(), ModelText(*image, stretch));
    view.viewport()->repaint();
    QCOMPARE(view.paintedLines().first, 0);
    QCOMPARE(view.paintedLines().second, lines); // all fit on screen
}

void tst_DumpView::scrollsToTheLastLineAndPaintsIt() {
    const ImagePtr image = Image(ImageCapacity);
    const DumpStretch stretch = ClampToFile(*image, 88, INT32_MAX);
    DumpView view;
    view.resize(640, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetStretch(*image, stretch);
    const int last = static_cast<int>(DumpLineCount(stretch)) - 1;
    QCOMPARE(view.lineCount(), last + 1);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    view.viewport()->repaint();
    const auto [first, count] = view.paintedLines();
    QCOMPARE(first + count - 1, last);
    QVERIFY(count < 40); // only the lines on screen
    QCOMPARE(view.lineText(last).toStdString(), DumpLine(*image, stretch, last));
    QCOMPARE(view.lineText(first).toStdString(), DumpLine(*image, stretch, first));
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    view.viewport()->repaint();
    QCOMPARE(view.paintedLines().first, 0);
    QTest::keyClick(&view, Qt::Key_PageDown);
    view.viewport()->repaint();
    QVERIFY(view.paintedLines().first > 0);
    // The horizontal range reaches the end of the longest line.
    QVERIFY(view.horizontalScrollBar()->maximum() >= 0);
}

// The middle of the character at a position, as a point of the viewport.
QPoint At(const DumpView& view, int line, int column) {
    const QPoint left = view.pointOf({line, column});
    return left + QPoint(view.fontMetrics().horizontalAdvance(QLatin1Char('0')) / 2,
                         view.fontMetrics().height() / 2);
}

void Drag(QWidget* surface, QPoint from, QPoint to) {
    QTest::mousePress(surface, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), surface->mapToGlobal(QPointF(to)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
}

// Characters, not lines: click, Shift+click, Shift with the keys, drag, double-click; the
// copy is exactly the selected characters, lines joined by "\n".
void tst_DumpView::selectsWithMouseAndKeys() {
    const ImagePtr image = Image(4096);
    const DumpStretch stretch = ClampToFile(*image, 0, 4096);
    DumpView view;
    view.resize(640, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetStretch(*image, stretch);
    const auto line = [&](int n) { return QString::fromStdString(DumpLine(*image, stretch, n)); };
    QWidget* surface = view.viewport();

    QTest::mouseClick(surface, Qt::LeftButton, {}, At(view, 2, 5) - QPoint(3, 0));
    QCOMPARE(view.cursorPosition(), (TextPosition{2, 5}));
    QVERIFY(!view.hasSelection());
    QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, At(view, 5, 10) - QPoint(3, 0));
    QCOMPARE(view.selectedText(),
             line(2).mid(5) + "\n" + line(3) + "\n" + line(4) + "\n" + line(5).left(10));
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(view.selection().second, (TextPosition{6, 11}));
    QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(view.selection(), std::make_pair(TextPosition{5, 11}, TextPosition{5, 11}));
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view.selectedText(), line(5).mid(11));
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier); // over the line end
    QCOMPARE(view.selectedText(), line(5).mid(11) + "\n");

    // Dragging from the start of line 1 to the start of line 3 copies two whole lines as
    // vexlin-dump prints them.
    Drag(surface, At(view, 1, 0) - QPoint(3, 0), At(view, 3, 0) - QPoint(3, 0));
    QTest::mouseRelease(surface, Qt::LeftButton, {}, At(view, 3, 0) - QPoint(3, 0));
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), line(1) + "\n" + line(2) + "\n");

    // A word is one hex pair, one offset, one run of the character column.
    QTest::mouseDClick(surface, Qt::LeftButton, {}, At(view, 1, 72));
    QCOMPARE(view.selectedText(), QStringLiteral("0010"));
    QTest::mouseDClick(surface, Qt::LeftButton, {}, At(view, 0, 9));
    QCOMPARE(view.selectedText(), line(0).mid(8, 2));
    QTest::mouseDClick(surface, Qt::LeftButton, {}, At(view, 7, 1));
    QCOMPARE(view.selectedText(), QStringLiteral("0070"));

    // Dragging below the view scrolls it while the button is held there.
    Drag(surface, At(view, 0, 0), QPoint(20, surface->height() + 10));
    QTRY_VERIFY(view.firstVisibleLine() > 3);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(20, surface->height() + 10));
    QVERIFY(view.selection().second.Line > view.firstVisibleLine());

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view.selectedText(), ModelText(*image, stretch));
    // A new stretch drops the selection and scrolls back to the top.
    view.SetStretch(*image, ClampToFile(*image, 0, 32));
    QCOMPARE(view.selectedText(), QString());
    view.SetMessage(QStringLiteral("No App Info"));
    view.selectAll();
    QCOMPARE(view.selectedText(), QStringLiteral("No App Info\n"));
}

void tst_DumpView::copiesFiveMegabytesExactly() {
    const ImagePtr image = Image(ImageCapacity);
    const DumpStretch stretch = ClampToFile(*image, 0, 5 * 1048576);
    DumpView view;
    view.SetStretch(*image, stretch);
    QCOMPARE(view.lineCount(), 327680);
    view.selectAll();
    view.copy();
    QCOMPARE(QApplication::clipboard()->text(), ModelText(*image, stretch));
}

void tst_DumpView::refusesTyping() {
    const ImagePtr image = Image(64);
    DumpView view;
    view.SetStretch(*image, ClampToFile(*image, 0, 64));
    const QString before = view.lineText(0);
    QTest::keyClicks(&view, QStringLiteral("zz"));
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(view.lineText(0), before);
    QCOMPARE(view.lineCount(), 4);
}

void tst_DumpView::hitsWhereTheTextIsPainted_data() {
    QTest::addColumn<QString>("family");
    QTest::newRow("DejaVu Sans Mono") << QStringLiteral("DejaVu Sans Mono");
    QTest::newRow("Liberation Mono") << QStringLiteral("Liberation Mono");
}

// Bars far along a line, found in the painted pixels: a drag from just left of each bar to
// just right of it selects that bar alone, whatever the font's advance and the scale factor
// (run also with QT_SCALE_FACTOR=2).
void tst_DumpView::hitsWhereTheTextIsPainted() {
    QFETCH(QString, family);
    QFont font(family);
    font.setPixelSize(13);
    if (QFontInfo(font).family() != family) {
        QSKIP("font not installed");
    }
    const QList<int> bars{10, 40, 70, 86};
    QString text(88, QLatin1Char(' '));
    for (const int column : bars) {
        text[column] = QLatin1Char('|');
    }
    DumpView view;
    view.setFont(font);
    view.resize(800, 100);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.SetMessage(text);
    view.clearFocus(); // no caret among the bars
    QWidget* surface = view.viewport();
    const QImage painted = surface->grab().toImage();
    const qreal scale = painted.devicePixelRatio();
    const int middle = view.fontMetrics().height() / 2;
    // The middle of each run of ink along the line's middle row, in the view's pixels.
    QList<qreal> ink;
    int runStart = -1;
    for (int x = 0; x <= painted.width(); ++x) {
        const bool dark = x < painted.width() && qGray(painted.pixel(x, int(middle * scale))) < 128;
        if (dark && runStart < 0) {
            runStart = x;
        } else if (!dark && runStart >= 0) {
            ink << (runStart + x) / 2.0 / scale;
            runStart = -1;
        }
    }
    QCOMPARE(ink.size(), bars.size());
    for (qsizetype i = 0; i < bars.size(); ++i) {
        const QPoint left(qRound(ink[i] - 1.5), middle);
        const QPoint right(qRound(ink[i] + 1.5), middle);
        QCOMPARE(view.positionAt(left), (TextPosition{0, bars[i]}));
        Drag(surface, left, right);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, right);
        QCOMPARE(view.selectedText(), QStringLiteral("|"));
    }
}

QTEST_MAIN(tst_DumpView)
#include "tst_dumpview.moc"
