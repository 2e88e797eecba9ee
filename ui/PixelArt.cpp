#include "PixelArt.h"

#include <QImage>

#include <cmath>

namespace {

QPixmap Enlarged(const QImage& art, int factor) {
    QPixmap pixmap = QPixmap::fromImage(
        art.scaled(art.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    pixmap.setDevicePixelRatio(factor);
    return pixmap;
}

} // namespace

QIcon PixelArtIcon(const QString& resource) {
    const QImage art(resource);
    QIcon icon;
    for (int factor = 1; factor <= 4; ++factor) {
        icon.addPixmap(Enlarged(art, factor));
    }
    return icon;
}

QPixmap PixelArtPixmap(const QString& resource, qreal devicePixelRatio) {
    const int factor = std::max(1, static_cast<int>(std::ceil(devicePixelRatio)));
    return Enlarged(QImage(resource), factor);
}
