#include "ui/toolkit/skin_ops.h"

#include "model/skin_theme.h"

#include <QGuiApplication>
#include <QFileInfo>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <cfenv>

namespace rm::ui {

SkinPictureError::SkinPictureError(const QString& path)
    : std::runtime_error(QStringLiteral("Cannot open file \"%1\".").arg(path).toStdString()), m_path(path)
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
    if (cornerWidth <= 0 || cornerHeight <= 0) {
        window->setMask(QRegion(0, 0, width, height));
    } else {
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, width, height), cornerWidth / 2.0, cornerHeight / 2.0);
        window->setMask(QRegion(path.toFillPolygon().toPolygon()));
    }
    window->update();
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
