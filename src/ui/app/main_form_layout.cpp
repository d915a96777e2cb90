// The main window at any size: the theme places every control for its own window size; a bigger
// (or maximised) window gives the extra width to the task list and the preview in proportion to
// their widths and the extra height to both, while the buttons keep their places along the
// edges: the top bar stays at the top, the window buttons and Help at the top right, the list's
// buttons under the list, the preview's bar and buttons under the preview, the destination row
// and Convert at the bottom. The background picture grows along seams near the edges inside the
// list's and the preview's boxes (two each way, so the pictures drawn in the middle of the boxes
// stay in the middle), and the destination row grows as much as the background's box round it.
#include "ui/app/main_form.h"

#include "ui/app/player_form.h"
#include "ui/app/app_windows.h"
#include "ui/toolkit/skin_panel.h"

#include <QHash>

#include <cmath>

namespace rm::ui {

namespace {

// How a control follows the extra width (dx, split into the list's dxList and the preview's
// dxPreview) and the extra height (dy).
enum class Anchor {
    TopLeft,       // top bar
    TopRight,      // window buttons, Help
    List,          // grows both ways
    UnderList,     // moves down
    Preview,       // moves with the list's growth, grows with its own and dy
    PreviewBar,    // under the preview, as wide as it
    UnderPreview,  // under the preview, keeps its size
    BottomList,    // the destination row: down, the edit grows with the list
    BottomListEnd, // the destination row's buttons: down, right with the list
    BottomRight,   // Convert
    Whole,         // the background
};

Anchor AnchorOf(const QString& element)
{
    static const QHash<QString, Anchor> anchors = {
        {QStringLiteral("Background"), Anchor::Whole},
        {QStringLiteral("close"), Anchor::TopRight},
        {QStringLiteral("btnMini"), Anchor::TopRight},
        {QStringLiteral("btnMenu"), Anchor::TopRight},
        {QStringLiteral("btnHelp"), Anchor::TopRight},
        {QStringLiteral("NodeTree"), Anchor::List},
        {QStringLiteral("edit"), Anchor::UnderList},
        {QStringLiteral("clip"), Anchor::UnderList},
        {QStringLiteral("merge"), Anchor::UnderList},
        {QStringLiteral("slide"), Anchor::UnderList},
        {QStringLiteral("MainPlayPanel"), Anchor::Preview},
        {QStringLiteral("MainTrackBar"), Anchor::PreviewBar},
        {QStringLiteral("btnPlay"), Anchor::UnderPreview},
        {QStringLiteral("btnStop"), Anchor::UnderPreview},
        {QStringLiteral("btnPhoto"), Anchor::UnderPreview},
        {QStringLiteral("btnOpen"), Anchor::UnderPreview},
        {QStringLiteral("labOutput"), Anchor::UnderList},
        {QStringLiteral("OutputPath"), Anchor::BottomList},
        {QStringLiteral("Open_img"), Anchor::BottomListEnd},
        {QStringLiteral("btnOpenpath"), Anchor::BottomListEnd},
        {QStringLiteral("btnConvert"), Anchor::BottomRight},
    };
    return anchors.value(element, Anchor::TopLeft);
}

// The growth of the window split over the seams of the background.
struct Growth {
    int dx = 0, dy = 0;
    int listLeft = 0, listRight = 0;        // the list's two seams
    int previewLeft = 0, previewRight = 0;  // the preview's two seams
    int top = 0, bottom = 0;                // the two row seams
    int list() const { return listLeft + listRight; }
    int preview() const { return previewLeft + previewRight; }
};

QRect Grow(QRect r, Anchor a, const Growth& g)
{
    const int dx = g.dx, dy = g.dy, dxList = g.list(), dxPreview = g.preview();
    switch (a) {
    case Anchor::TopLeft:
        break;
    case Anchor::TopRight:
        r.translate(dx, 0);
        break;
    case Anchor::List:
        r.setSize(r.size() + QSize(dxList, dy));
        break;
    case Anchor::UnderList:
        r.translate(0, dy);
        break;
    case Anchor::Preview:
        r.translate(dxList, 0);
        r.setSize(r.size() + QSize(dxPreview, dy));
        break;
    case Anchor::PreviewBar:
        r.translate(dxList, dy);
        r.setWidth(r.width() + dxPreview);
        break;
    case Anchor::UnderPreview:
        r.translate(dxList, dy);
        break;
    // The destination row's box reaches into the preview's column, over its left seam.
    case Anchor::BottomList:
        r.translate(0, dy);
        r.setWidth(r.width() + dxList + g.previewLeft);
        break;
    case Anchor::BottomListEnd:
        r.translate(dxList + g.previewLeft, dy);
        break;
    case Anchor::BottomRight:
        r.translate(dx, dy);
        break;
    case Anchor::Whole:
        r.setSize(r.size() + QSize(dx, dy));
        break;
    }
    return r;
}

} // namespace

void TfrmMain::ArrangeForSize()
{
    if (WindowWidth() <= 0 || WindowHeight() <= 0 || !MainPanel)
        return;
    const SkinElementValues list = Element(QStringLiteral("NodeTree"));
    const SkinElementValues preview = Element(QStringLiteral("MainPlayPanel"));
    Growth g;
    // Smaller than the theme only when maximised on a smaller screen: the list and the preview
    // give up the room then.
    g.dx = width() - WindowWidth();
    g.dy = height() - WindowHeight();
    const int listWidth = list.found ? list.width : 1;
    const int previewWidth = preview.found ? preview.width : 1;
    const int dxList = int(std::lround(double(g.dx) * listWidth / double(listWidth + previewWidth)));
    g.listLeft = dxList / 2;  // toward zero: the halves add up for a negative growth too
    g.listRight = dxList - g.listLeft;
    g.previewLeft = (g.dx - dxList) / 2;
    g.previewRight = g.dx - dxList - g.previewLeft;
    g.top = g.dy / 2;
    g.bottom = g.dy - g.top;

    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        QString element = w->property("skinElement").toString();
        if (element.isEmpty())
            element = w == MainPanel ? QStringLiteral("Background") : w->objectName();
        const SkinElementValues e = Element(element);
        if (!e.found)
            continue;
        w->setGeometry(Grow(QRect(e.x, e.y, e.width, e.height), AnchorOf(element), g));
    }
    m_previewSize = MainPlayPanel->size();
    // The player host keeps filling the play panel.
    if (Playerfrm && Playerfrm->parentWidget() == MainPlayPanel)
        Playerfrm->setGeometry(MainPlayPanel->rect());

    // The background's seams: inside the boxes of the list and the preview, a little in from
    // their edges, and across both boxes near their tops and bottoms.
    SkinPanel::Seams columns, rows;
    if (list.found && preview.found) {
        columns = {{list.x + 24, g.listLeft},
                   {list.x + list.width - 24, g.listRight},
                   {preview.x + 14, g.previewLeft},
                   {preview.x + preview.width - 16, g.previewRight}};
        const int top = std::max(list.y, preview.y);
        const int bottom = std::min(list.y + list.height, preview.y + preview.height);
        rows = {{top + 12, g.top}, {bottom - 12, g.bottom}};
    }
    MainPanel->SetStretchSeams(columns, rows);
    ArrangeOverlays();
}

} // namespace rm::ui
