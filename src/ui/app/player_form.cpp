#include "ui/app/player_form.h"

namespace rm::ui {

TPlayerfrm::TPlayerfrm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Playerfrm"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
}

void TPlayerfrm::PlaceIn(QWidget* panel)
{
    if (!panel)
        return;
    setParent(panel, Qt::Widget);
    setGeometry(0, 0, panel->width(), panel->height());
}

} // namespace rm::ui
