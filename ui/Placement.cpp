#include "Placement.h"

#include <algorithm>

namespace {

bool ShowsMinimum(int index, QSize area, const PlacementRule& rule) {
    const int offset = index * rule.Step;
    const QSize minimum = rule.Minimum.boundedTo(rule.Design);
    return offset + minimum.width() <= area.width() && offset + minimum.height() <= area.height();
}

// Splits `total` pixels into `parts` runs that differ by at most one, the first ones longer.
int Share(int total, int parts, int index) {
    return total / parts + (index < total % parts ? 1 : 0);
}

// Where run `index` of those starts.
int ShareStart(int total, int parts, int index) {
    return index * (total / parts) + std::min(index, total % parts);
}

} // namespace

int NextCascadeIndex(int previous, QSize area, const PlacementRule& rule) {
    const int next = previous + 1;
    return next > 0 && !ShowsMinimum(next, area, rule) ? 0 : next;
}

QRect NewWindowGeometry(int index, QSize area, const PlacementRule& rule) {
    const int offset = index * rule.Step;
    const QSize room(std::max(1, area.width() - offset), std::max(1, area.height() - offset));
    return {QPoint(offset, offset), rule.Design.boundedTo(room)};
}

int CascadeSteps(int areaHeight, int step) {
    return areaHeight / (3 * std::max(1, step));
}

QList<QRect> CascadeGeometries(int count, QSize area, const PlacementRule& rule) {
    QList<QRect> geometries;
    const int steps = CascadeSteps(area.height(), rule.Step);
    const int span = steps * rule.Step;
    const QSize size(std::max(1, area.width() - span), std::max(1, area.height() - span));
    for (int i = 0; i < count; ++i) {
        const int offset = (i % (steps + 1)) * rule.Step;
        geometries.append(QRect(QPoint(offset, offset), size));
    }
    return geometries;
}

QList<QRect> TileGeometries(int count, QSize area, int minimumHeight) {
    QList<QRect> geometries;
    if (count <= 0) {
        return geometries;
    }
    const int rowsThatFit = std::max(1, area.height() / std::max(1, minimumHeight));
    const int columns = count <= rowsThatFit ? 1 : (count + rowsThatFit - 1) / rowsThatFit;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const int row = i / columns;
        const int inRow = row == rows - 1 ? count - row * columns : columns;
        const int column = i % columns;
        geometries.append(
            QRect(ShareStart(area.width(), inRow, column), ShareStart(area.height(), rows, row),
                  Share(area.width(), inRow, column), Share(area.height(), rows, row)));
    }
    return geometries;
}

QRect CentredWithin(QSize outer, QRect available) {
    QRect place(QPoint(), outer.boundedTo(available.size()));
    place.moveCenter(available.center());
    return place;
}
