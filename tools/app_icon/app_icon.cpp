// Draws the application icon's PNG sizes from its SVG for the icon theme:
//   app_icon <icon.svg> <hicolor folder> <size>...
// writes <hicolor folder>/<size>x<size>/apps/<icon name>.png for every size.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: app_icon <icon.svg> <hicolor folder> <size>...\n");
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString hicolor = QString::fromLocal8Bit(argv[2]);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "app_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString name = QFileInfo(svg).completeBaseName();
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "app_icon: bad size %s\n", argv[i]);
            return 2;
        }
        QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&p, QRectF(0, 0, size, size));
        p.end();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(hicolor).arg(size);
        QDir().mkpath(folder);
        const QString out = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!img.save(out, "PNG")) {
            std::fprintf(stderr, "app_icon: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
