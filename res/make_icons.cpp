// Build step: the application icon, drawn as 32 x 32 pixel art in vexlin.xpm, as PNG at 32, 64,
// 128 and 256 pixels (each pixel an exact square, so every size stays sharp) and as SVG.
// Usage: vexlin-icons XPM OUTDIR
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vexlin-icons XPM OUTDIR\n");
        return 2;
    }
    const QImage art = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (art.isNull()) {
        std::fprintf(stderr, "vexlin-icons: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    // Whole multiples of the drawing only: at those each pixel becomes an exact square.
    for (const int factor : {1, 2, 4, 8}) {
        const int size = art.width() * factor;
        const QImage scaled = art.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const QString path = out.filePath(QStringLiteral("vexlin-%1.png").arg(size));
        if (!scaled.save(path, "PNG")) {
            std::fprintf(stderr, "vexlin-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    QFile svg(out.filePath(QStringLiteral("vexlin.svg")));
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "vexlin-icons: cannot write the SVG\n");
        return 1;
    }
    QTextStream s(&svg);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << art.width() << "\" height=\""
      << art.height() << "\" viewBox=\"0 0 " << art.width() << ' ' << art.height()
      << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width();) {
            const QRgb pixel = art.pixel(x, y);
            int run = 1;
            while (x + run < art.width() && art.pixel(x + run, y) == pixel) {
                ++run;
            }
            if (qAlpha(pixel) != 0) {
                s << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << run
                  << "\" height=\"1\" fill=\"" << QColor(pixel).name() << "\"/>\n";
            }
            x += run;
        }
    }
    s << "</svg>\n";
    return s.status() == QTextStream::Ok ? 0 : 1;
}
