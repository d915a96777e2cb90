#include "ui/toolkit/app_style.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QStyleFactory>

namespace rm::ui {

namespace {

QColor g_accent(0x2f, 0x6f, 0xdb);

const QString& BaseStyleSheet()
{
    static const QString sheet = QStringLiteral(R"(
QLabel { color: #3a4250; background: transparent; }
QLabel:disabled { color: #a3aab6; }
QLineEdit {
  background: #ffffff; color: #2c3340; border: 1px solid #c3cbd8; border-radius: 5px;
  padding: 3px 6px; selection-background-color: @ACCENT@;
}
QLineEdit:read-only { background: #f6f8fb; color: #4a5362; }
QLineEdit:focus { border: 1px solid #5b8fe6; }
QLineEdit:disabled { background: #eceff3; color: #a3aab6; border: 1px solid #dde2e9; }
QMenu { background: #ffffff; border: 1px solid #c9d0dc; border-radius: 6px; padding: 4px; }
QMenu::item { padding: 5px 22px 5px 14px; border-radius: 4px; color: #2c3340; }
QMenu::item:selected { background: #e3edfc; color: #1d3f7a; }
QMenu::item:disabled { color: #a5acb8; }
QMenu::separator { height: 1px; background: #e2e6ee; margin: 4px 8px; }
QTreeView, QListView, QTableView, QTextEdit, QPlainTextEdit {
  background: #ffffff; color: #2c3340; border: 1px solid #d3d9e3; border-radius: 6px;
  selection-background-color: #dbe7fb; selection-color: #1d3f7a; alternate-background-color: #f7f9fc;
}
QTreeView:disabled, QListView:disabled, QTableView:disabled, QTextEdit:disabled, QPlainTextEdit:disabled {
  background: #eceff3; color: #a3aab6; border: 1px solid #dde2e9;
}
QTreeView::item, QListView::item { padding: 3px 2px; }
QHeaderView::section {
  background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfe, stop:1 #eef2f7);
  color: #4a5362; border: none; border-right: 1px solid #e0e5ed; border-bottom: 1px solid #d3d9e3;
  padding: 5px 8px; font-weight: bold;
}
QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }
QScrollBar::handle:vertical { background: #c5cdd9; border-radius: 4px; min-height: 24px; }
QScrollBar::handle:vertical:hover { background: #a9b4c4; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 2px; }
QScrollBar::handle:horizontal { background: #c5cdd9; border-radius: 4px; min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
QProgressBar {
  background: #eef1f6; border: 1px solid #d3d9e3; border-radius: 6px; text-align: center; color: #2c3340;
  min-height: 18px;
}
QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 @ACCENT_LIGHT@, stop:1 @ACCENT@);
  border-radius: 5px; }
QToolTip { background: #2c3340; color: #ffffff; border: none; padding: 4px 6px; }
)");
    return sheet;
}

QString StyleSheetFor(const QColor& accent)
{
    QString sheet = BaseStyleSheet();
    sheet.replace(QStringLiteral("@ACCENT_LIGHT@"), accent.lighter(125).name());
    sheet.replace(QStringLiteral("@ACCENT@"), accent.name());
    return sheet;
}

} // namespace

QColor AccentOfPicture(const QImage& picture)
{
    const QImage im = picture.convertToFormat(QImage::Format_ARGB32);
    double r = 0, g = 0, b = 0;
    long n = 0;
    for (int y = 0; y < im.height(); ++y)
        for (int x = 0; x < im.width(); ++x) {
            const QColor c = QColor::fromRgba(im.pixel(x, y));
            if (c.alpha() > 200 && c.hsvSaturation() > 120 && c.value() > 60) {
                r += c.red();
                g += c.green();
                b += c.blue();
                ++n;
            }
        }
    if (n < 16)
        return {};
    return QColor(int(r / n), int(g / n), int(b / n));
}

QColor ThemeAccent() { return g_accent; }

void ApplyThemeAccent(QApplication& app, const QColor& accent)
{
    if (!accent.isValid() || accent == g_accent)
        return;
    g_accent = accent;
    QPalette pal = app.palette();
    pal.setColor(QPalette::Highlight, accent);
    app.setPalette(pal);
    if (!app.styleSheet().isEmpty())
        app.setStyleSheet(StyleSheetFor(accent));
}

void ApplyAppStyle(QApplication& app)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    app.setFont(f);
    // Fusion draws check boxes, spin boxes and combo boxes evenly everywhere; the palette gives
    // them the themes' neutral surfaces and a blue accent.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(style);
    QPalette pal = app.palette();
    pal.setColor(QPalette::Window, QColor(0xf4, 0xf6, 0xfa));
    pal.setColor(QPalette::WindowText, QColor(0x3a, 0x42, 0x50));
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xf7, 0xf9, 0xfc));
    pal.setColor(QPalette::Text, QColor(0x2c, 0x33, 0x40));
    pal.setColor(QPalette::Button, QColor(0xf1, 0xf4, 0xf8));
    pal.setColor(QPalette::ButtonText, QColor(0x30, 0x38, 0x46));
    pal.setColor(QPalette::Highlight, ThemeAccent());
    pal.setColor(QPalette::HighlightedText, Qt::white);
    // A disabled control must look it (typing into it does nothing): grey text on a muted
    // surface. The colours above were set for every group, so the disabled group is set again.
    const QColor disabledText(0xa3, 0xaa, 0xb6);
    const QColor disabledSurface(0xec, 0xef, 0xf3);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, disabledText);
    pal.setColor(QPalette::Disabled, QPalette::Base, disabledSurface);
    pal.setColor(QPalette::Disabled, QPalette::Button, disabledSurface);
    pal.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xb8, 0xc4, 0xd8));
    app.setPalette(pal);
    app.setStyleSheet(StyleSheetFor(ThemeAccent()));
}

} // namespace rm::ui
