#pragma once
// Looks at a browser view's picture: whether it shows only the emulator loading (its splash
// screen, or a blank page), which changes by itself (a spinner, a page that is replaced) and so
// says nothing of whether a video plays.

#include <QColor>
#include <QImage>

namespace rmtest {

inline bool ShowsLoadingOnly(const QImage& picture)
{
    if (picture.isNull() || picture.width() < 2 || picture.height() < 2)
        return true;
    const QImage img = picture.convertToFormat(QImage::Format_RGB32);
    const QColor corner = img.pixelColor(0, 0);
    auto near = [](const QColor& a, int r, int g, int b, int tol) {
        return std::abs(a.red() - r) <= tol && std::abs(a.green() - g) <= tol && std::abs(a.blue() - b) <= tol;
    };
    qint64 splash = 0, flat = 0, n = 0;
    for (int y = 0; y < img.height(); y += 3) {
        for (int x = 0; x < img.width(); x += 3) {
            const QColor c = img.pixelColor(x, y);
            splash += near(c, 0x37, 0x52, 0x8C, 24);  // Ruffle's splash blue
            flat += near(c, corner.red(), corner.green(), corner.blue(), 8);
            ++n;
        }
    }
    return splash * 4 >= n || flat * 100 >= n * 97;
}

} // namespace rmtest
