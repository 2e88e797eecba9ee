#include "TextFont.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont TextFont() {
    QFont font(QStringLiteral("Courier"));
    font.setPixelSize(13);
    font.setStyleHint(QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(13);
    }
    return font;
}
