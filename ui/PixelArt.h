// The program's pictures are pixel art drawn for 96 dpi. At higher scales each is drawn from a
// copy enlarged by whole pixels (every pixel an exact square) instead of smoothed, so that
// the toolbar, the logo and the icon stay sharp at 200 %.
#pragma once

#include <QIcon>
#include <QPixmap>

// The picture at 1x and at 2x, 3x and 4x device pixel ratios.
[[nodiscard]] QIcon PixelArtIcon(const QString& resource);
// The picture for a label on a screen of the given device pixel ratio.
[[nodiscard]] QPixmap PixelArtPixmap(const QString& resource, qreal devicePixelRatio);
