#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"

#include "convert/player_jobs.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace rm::ui {

using namespace wizard_ui;

// ------------------------------------------------------------------ galleries

void TfrmCustom::FillTemplateGalleries(const QString& programFolder)
{
    if (m_galleriesBuilt)
        return;
    m_galleriesBuilt = true;
    const QString folder = programFolder.isEmpty() ? ProgramFolder() : programFolder;
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    if (!programFolder.isEmpty())
        m_galleryFolder = base;
    QStringList missing;
    BuildGallery(wizard::kPlayerGallery, base + QStringLiteral("templates/Players/"), missing);
    BuildGallery(wizard::kEffectGallery, base + QStringLiteral("templates/Effect/"), missing);
    BuildGallery(wizard::kLoadGallery, base + QStringLiteral("templates/Preloader/"), missing);
    missing.removeDuplicates();
    // A missing picture is reported, and the galleries keep the rest: its tile stays without a
    // picture (the template can still be chosen by its name's tooltip).
    if (!missing.isEmpty())
        ShowError(QStringLiteral("Cannot open the picture %1.").arg(missing.join(QStringLiteral(", "))));
}

void TfrmCustom::BuildGallery(int type, const QString& folder, QStringList& missing)
{
    Gallery& g = m_galleries[type];
    g.box = type == wizard::kPlayerGallery ? PlayerScrollBox
          : type == wizard::kEffectGallery ? EffectScrollBox
                                           : LoadScrollBox;
    g.content = g.box->widget();
    g.folder = folder;
    if (!QDir(folder).exists())
        return;
    int bottom = 0;
    auto load = [&](const QString& path) {
        try {
            return LoadSkinPicture(path);
        } catch (const SkinPictureError& e) {
            missing << e.path();
            return QPixmap();
        }
    };
    auto addTile = [&](const QString& name, const QString& picture, int n, bool framed) {
        const wizard::TileGeometry geo = wizard::GalleryTile(type, n, name == QLatin1String("None"));
        if (framed) {
            auto* frame = new QLabel(g.content);
            frame->setObjectName(name + QStringLiteral("B"));
            frame->setPixmap(load(folder + QStringLiteral("border.bmp")));
            frame->setScaledContents(true);
            frame->setGeometry(geo.frame.x, geo.frame.y, geo.frame.w, geo.frame.h);
            frame->hide();
            g.frames[name] = frame;
        }
        auto* tile = new ImageButton(g.content, name);
        tile->setObjectName(name);
        tile->setProperty("galleryType", type);
        const QPixmap pic = load(folder + picture);
        tile->SetNormalPicture(pic);
        tile->SetHoverPicture(pic);
        tile->SetPressedPicture(pic);
        tile->setGeometry(geo.tile.x, geo.tile.y, geo.tile.w, geo.tile.h);
        if (!framed)
            tile->setCursor(Qt::PointingHandCursor);
        tile->setToolTip(name);
        g.tiles[name] = tile;
        connect(tile, &QAbstractButton::clicked, this, [this, type, name] { btn_Click(type, name); });
        bottom = std::max(bottom, geo.frame.y + geo.frame.h);
    };
    addTile(QStringLiteral("None"), QStringLiteral("None.bmp"), 0, true);
    int n = 1;
    for (const QString& name : wizard::GalleryTemplates(folder)) {
        // The thumbnail's own file (a name may carry more dots than the template name).
        const QStringList files = QDir(folder).entryList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
        QString file = name + QStringLiteral(".bmp");
        for (const QString& f : files)
            if (f.endsWith(QLatin1String(".bmp")) && f.section(QLatin1Char('.'), 0, 0) == name) {
                file = f;
                break;
            }
        if (g.tiles.count(name))
            continue; // names are unique within a gallery
        addTile(name, file, n++, true);
    }
    const QString more = wizard::MoreTileName(type);
    addTile(more, more + QStringLiteral(".bmp"), n, false);
    g.content->resize(type == wizard::kPlayerGallery ? 296 : 312, bottom + 4);
}

ImageButton* TfrmCustom::FindTile(int type, const QString& name) const
{
    const auto& t = m_galleries[type].tiles;
    auto it = t.find(name);
    return it == t.end() ? nullptr : it->second;
}

QLabel* TfrmCustom::FindFrame(int type, const QString& name) const
{
    const auto& f = m_galleries[type].frames;
    auto it = f.find(name);
    return it == f.end() ? nullptr : it->second;
}

static char* GalleryField(CustomSettings& s, int type)
{
    return type == wizard::kPlayerGallery ? s.PlayerSkinPath
         : type == wizard::kEffectGallery ? s.EffectSkinPath
                                          : s.PreloaderSkinPath;
}

void TfrmCustom::MarkSelection(int type)
{
    Gallery& g = m_galleries[type];
    for (auto& [name, frame] : g.frames)
        frame->hide();
    if (QLabel* f = FindFrame(type, QString::fromUtf8(GalleryField(CurrentCustomSettings(), type))))
        f->show();
}

void TfrmCustom::btn_Click(int type, const QString& name)
{
    if (name == wizard::MoreTileName(type)) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMorePages[type])));
        return;
    }
    CustomSettings& s = CurrentCustomSettings();
    char* field = GalleryField(s, type);
    if (QLabel* old = FindFrame(type, QString::fromUtf8(field)))
        old->hide();
    SetText(field, 1024, name.toUtf8().constData());
    if (QLabel* f = FindFrame(type, name))
        f->show();
    RefreshPreview();
}

} // namespace rm::ui
