// The placement rules of document windows: new windows, Cascade and Tile.
#include "Placement.h"

#include <QtTest>

namespace {

const PlacementRule Rule{24, QSize(664, 439), QSize(450, 280)};
const QSize FrameArea(727, 393); // the MDI area of the frame at its stored size

// Pixels of the area that more than one window covers, or that none covers.
int OverlapOrHoles(const QList<QRect>& windows, QSize area) {
    int bad = 0;
    for (int y = 0; y < area.height(); y += 7) {
        for (int x = 0; x < area.width(); x += 7) {
            int covering = 0;
            for (const QRect& w : windows) {
                covering += w.contains(x, y) ? 1 : 0;
            }
            bad += covering == 1 ? 0 : 1;
        }
    }
    return bad;
}

} // namespace

class tst_Placement : public QObject {
    Q_OBJECT

  private slots:
    void newWindowsStepAndStartAgain();
    void newWindowsInALargeArea();
    void cascadeStepsAThirdOfTheArea_data();
    void cascadeStepsAThirdOfTheArea();
    void tileStacksThenMakesAGrid();
    void framesCentredWithinTheScreen();
};

void tst_Placement::newWindowsStepAndStartAgain() {
    QList<int> indices;
    int index = -1;
    for (int i = 0; i < 7; ++i) {
        index = NextCascadeIndex(index, FrameArea, Rule);
        indices << index;
        const QRect window = NewWindowGeometry(index, FrameArea, Rule);
        QCOMPARE(window.topLeft(), QPoint(24 * index, 24 * index));
        // Inside the area, never smaller than the header report needs, never above design.
        QVERIFY(QRect(QPoint(), FrameArea).contains(window));
        QVERIFY(window.width() >= Rule.Minimum.width() && window.height() >= Rule.Minimum.height());
        QVERIFY(window.width() <= 664 && window.height() <= 439);
    }
    // 4 steps (96 pixels) still leave 297 of the 280 the report needs; 5 would not.
    QCOMPARE(indices, (QList<int>{0, 1, 2, 3, 4, 0, 1}));
    QCOMPARE(NewWindowGeometry(0, FrameArea, Rule).size(), QSize(664, 393));
    QCOMPARE(NewWindowGeometry(3, FrameArea, Rule).size(), QSize(655, 321));
}

void tst_Placement::newWindowsInALargeArea() {
    const QSize area(1400, 900);
    for (int index = 0; index < 8; ++index) {
        QCOMPARE(NewWindowGeometry(index, area, Rule).size(), QSize(664, 439));
    }
    QCOMPARE(NextCascadeIndex(7, area, Rule), 8);
    // An area smaller than the minimum: every window at the top-left, cut to the area.
    QCOMPARE(NextCascadeIndex(0, QSize(300, 200), Rule), 0);
    QCOMPARE(NewWindowGeometry(0, QSize(300, 200), Rule), QRect(0, 0, 300, 200));
}

void tst_Placement::cascadeStepsAThirdOfTheArea_data() {
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("steps");
    QTest::newRow("the frame at its stored size") << FrameArea << 5;
    QTest::newRow("just three steps high") << QSize(400, 72) << 1;
    QTest::newRow("less than three steps") << QSize(400, 71) << 0;
    QTest::newRow("a large screen") << QSize(1900, 1000) << 13;
}

// k = floor(height / 3 steps) steps; every window the area less k steps each way; window i
// (back to front) at (i mod (k + 1)) steps.
void tst_Placement::cascadeStepsAThirdOfTheArea() {
    QFETCH(QSize, area);
    QFETCH(int, steps);
    QCOMPARE(CascadeSteps(area.height(), Rule.Step), steps);
    const QList<QRect> windows = CascadeGeometries(2 * steps + 3, area, Rule);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const int offset = 24 * static_cast<int>(i % (steps + 1));
        QCOMPARE(windows[i],
                 QRect(offset, offset, area.width() - 24 * steps, area.height() - 24 * steps));
    }
    QVERIFY(CascadeGeometries(0, area, Rule).isEmpty());
}

void tst_Placement::tileStacksThenMakesAGrid() {
    const QList<QRect> two = TileGeometries(2, FrameArea, 120);
    QCOMPARE(two, (QList<QRect>{QRect(0, 0, 727, 197), QRect(0, 197, 727, 196)}));
    const QList<QRect> three = TileGeometries(3, FrameArea, 120);
    for (const QRect& w : three) {
        QCOMPARE(w.width(), FrameArea.width()); // stacked, each as wide as the area
    }
    QCOMPARE(OverlapOrHoles(three, FrameArea), 0);
    // Seven windows where three rows fit: rows of three, three and one.
    const QList<QRect> seven = TileGeometries(7, FrameArea, 120);
    QCOMPARE(seven[0].width(), 243);
    QCOMPARE(seven[6], QRect(0, 262, 727, 131));
    QCOMPARE(OverlapOrHoles(seven, FrameArea), 0);
    QCOMPARE(OverlapOrHoles(TileGeometries(1, FrameArea, 120), FrameArea), 0);
}

// The frame at its outer size where the screen has room, else cut to the screen's available
// area; centred either way, so its title bar is on the screen.
void tst_Placement::framesCentredWithinTheScreen() {
    const QSize outer(727, 528);
    QCOMPARE(CentredWithin(outer, QRect(0, 0, 1280, 900)), QRect(276, 186, 727, 528));
    // 1280 x 900 at twice the scale, and a 1366 x 768 laptop at 150 % less a 24-pixel panel.
    QCOMPARE(CentredWithin(outer, QRect(0, 0, 640, 450)), QRect(0, 0, 640, 450));
    QCOMPARE(CentredWithin(outer, QRect(0, 16, 911, 496)), QRect(92, 16, 727, 496));
}

QTEST_MAIN(tst_Placement)
#include "tst_placement.moc"
