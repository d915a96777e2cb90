#include "ui/toolkit/app_style.h"

#include <QApplication>
#include <QFont>

namespace rm::ui {

void ApplyAppStyle(QApplication& app)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    app.setFont(f);
    app.setStyleSheet(QStringLiteral(R"(
QLabel { color: #3a4250; background: transparent; }
QLineEdit, QSpinBox, QTimeEdit, QComboBox {
  background: #ffffff; color: #2c3340; border: 1px solid #c3cbd8; border-radius: 5px;
  padding: 3px 6px; selection-background-color: #2f6fdb;
}
QLineEdit:read-only { background: #f6f8fb; color: #4a5362; }
QLineEdit:focus, QSpinBox:focus, QComboBox:focus { border: 1px solid #5b8fe6; }
QCheckBox, QRadioButton { color: #3a4250; spacing: 7px; background: transparent; }
QCheckBox::indicator, QRadioButton::indicator {
  width: 14px; height: 14px; border: 1px solid #9aa4b4; background: #ffffff;
}
QCheckBox::indicator { border-radius: 3px; }
QRadioButton::indicator { border-radius: 8px; }
QCheckBox::indicator:hover, QRadioButton::indicator:hover { border: 1px solid #5b8fe6; }
QCheckBox::indicator:checked { background: #2f6fdb; border: 1px solid #2458b8; }
QRadioButton::indicator:checked { background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5,
  stop:0 #2f6fdb, stop:0.45 #2f6fdb, stop:0.55 #ffffff, stop:1 #ffffff); border: 1px solid #2458b8; }
QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { background: #eef0f4; border-color: #c8ced8; }
QMenu { background: #ffffff; border: 1px solid #c9d0dc; border-radius: 6px; padding: 4px; }
QMenu::item { padding: 5px 22px 5px 14px; border-radius: 4px; color: #2c3340; }
QMenu::item:selected { background: #e3edfc; color: #1d3f7a; }
QMenu::item:disabled { color: #a5acb8; }
QMenu::separator { height: 1px; background: #e2e6ee; margin: 4px 8px; }
QToolTip { background: #2c3340; color: #ffffff; border: none; padding: 4px 6px; }
)"));
}

} // namespace rm::ui
