#include "ui/toolkit/skin_ops.h"

#include "model/skin_theme.h"

#include <QDir>
#include <QGuiApplication>
#include <QFileInfo>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <cfenv>

namespace rm::ui {

SkinPictureError::SkinPictureError(const QString& path)
    : SkinPictureError(path, QStringLiteral("Cannot open file \"%1\".").arg(path))
{
}

SkinPictureError::SkinPictureError(const QString& path, const QString& message)
    : std::runtime_error(message.toStdString()), m_path(path)
{
}

namespace {
QString homeAsTilde(const QString& path)
{
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}
} // namespace

ThemeRefusedError::ThemeRefusedError(const QString& themeFile, const QString& storeFile)
    : SkinPictureError(themeFile,
                       QStringLiteral("The skin theme \"%1\" cannot be used: the file cannot be read, or its "
                                      "sizes cannot be laid out. Change the setting \"Skin\" in %2 to another "
                                      "theme, or remove it to use the default theme.")
                           .arg(themeFile, homeAsTilde(storeFile)))
{
}

QPixmap LoadSkinPicture(const QString& path)
{
    return LoadSkinPicture(path, qApp ? qApp->devicePixelRatio() : 1.0);
}

QPixmap LoadSkinPicture(const QString& path, double ratio)
{
    QPixmap p;
    const QString chosen = PictureForPixelRatio(path, ratio);
    if (chosen != path && p.load(chosen)) {
        p.setDevicePixelRatio(2.0);
        return p;
    }
    if (!QFileInfo(path).isFile() || !p.load(path))
        throw SkinPictureError(path);
    return p;
}

void MaskFloatingPointExceptions()
{
#if defined(__GLIBC__)
    fedisableexcept(FE_ALL_EXCEPT);
#endif
    std::feclearexcept(FE_ALL_EXCEPT);
}

void ShapeWindow(QWidget* window, int width, int height, int cornerHeight, int cornerWidth)
{
    if (!window)
        return;
    window->move(0, 0);
    window->setFixedSize(width, height);
    window->setMask(RoundedWindowRegion(width, height, cornerHeight, cornerWidth));
    window->update();
}

QRegion RoundedWindowRegion(int width, int height, int cornerHeight, int cornerWidth)
{
    if (cornerWidth <= 0 || cornerHeight <= 0)
        return QRegion(0, 0, width, height);
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), cornerWidth / 2.0, cornerHeight / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

bool DragWindow(QWidget* window, int x, int y)
{
    if (!window || x < 0 || y < 0 || x >= window->width() || y >= window->height())
        return false;
    QWidget* w = window->window();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QWindow* handle = w->windowHandle();
    return handle && handle->startSystemMove();
}

} // namespace rm::ui
