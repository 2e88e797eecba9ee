// Where document windows go in the MDI area: a new window at the next cascade position,
// Window, Cascade and Window, Tile. Pure geometry, in the area's coordinates.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

struct PlacementRule {
    int Step = 20; // one cascade step: a title bar's height
    QSize Design;  // a new window's size where there is room (664 x 439)
    QSize Minimum; // the least that still shows the header report whole
};

// The cascade index of the window opened after the one at `previous` (-1 for the first):
// one step on, back to 0 when the window would no longer show its minimum from there.
[[nodiscard]] int NextCascadeIndex(int previous, QSize area, const PlacementRule& rule);

// A new window at cascade index `index`: one step down and right per index, the design size
// cut to what the area shows from there.
[[nodiscard]] QRect NewWindowGeometry(int index, QSize area, const PlacementRule& rule);

// How many steps down and right one cascade takes in an area `areaHeight` high: as many as
// fit three times over, so that the windows keep two thirds of the area.
[[nodiscard]] int CascadeSteps(int areaHeight, int step);

// Window, Cascade for `count` windows, back to front: all the same size, the area less the
// cascade's steps; each one step down and right of the one behind it, starting again at the
// top-left after the last step.
[[nodiscard]] QList<QRect> CascadeGeometries(int count, QSize area, const PlacementRule& rule);

// Window, Tile in the horizontal mode for `count` windows: stacked one above the other, each
// as wide as the area; with more windows than rows of at least `minimumHeight` fit, a grid of
// rows filled left to right, the last row sharing its width among fewer windows.
[[nodiscard]] QList<QRect> TileGeometries(int count, QSize area, int minimumHeight);

// A window of outer size `outer`, never larger than `available`, centred in it.
[[nodiscard]] QRect CentredWithin(QSize outer, QRect available);
