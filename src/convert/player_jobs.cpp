#include "convert/player_jobs.h"

#include "convert/file_copy.h"
#include "convert/job_records.h"
#include "model/custom_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace rm {

using namespace player_maker;

namespace {

std::string Std(const QString& s) { return s.toUtf8().toStdString(); }

template <std::size_t N>
std::string Text(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

QString ProgramFolder(const PlayerJobContext& ctx)
{
    QString f = ctx.programFolder;
    if (f.isEmpty())
        f = QCoreApplication::applicationDirPath();
    if (!f.endsWith('/') && !f.endsWith('\\'))
        f += '/';
    return f;
}

// The maker resolves template names against its prefix; the main window sets it at start-up,
// but a job run without it (tools, tests) must still find the templates.
void EnsurePrefix(const PlayerJobContext& ctx)
{
    if (filePrefixPath().empty())
        setFilePrefixPath(Std(ProgramFolder(ctx)).c_str());
}

bool IsNone(const char* name) { return std::strcmp(name, "None") == 0; }

// A value scaled to output pixels with its fraction dropped. Kept within +-1e9 so that neither
// the conversion nor a sum made from it can overflow, whatever the record holds.
int ScaledInt(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::trunc(std::clamp(v, -1e9, 1e9)));
}

void FillCredit(FPMUIInsertAdOption& c, const char* image, const char* textContent,
                const char* fontType, const RgbColor& fontColor, const RgbColor& bg, int duration,
                const CreditPlacement& place)
{
    copyFPMText(c.ImagePath, image);
    copyFPMText(c.TextContent, textContent);
    if (fontType[0])
        copyFPMText(c.FontFile, Std(FontFilePath(QString::fromUtf8(fontType))));
    c.FontSize = place.size;
    c.TextX = place.left;
    c.TextY = place.top;
    c.FontRed = fontColor.red;
    c.FontGreen = fontColor.green;
    c.FontBlue = fontColor.blue;
    c.BackgroundRed = bg.red;
    c.BackgroundGreen = bg.green;
    c.BackgroundBlue = bg.blue;
    c.Duration = duration;
}

void AddMedia(FPMUIGroupOption* group, int swfType, const QString& stem, const QString& name,
              const QString& videoExt, int width, int height, const QString& browserVideo = {})
{
    FPMUIMediaOption* m = nullptr;
    if (createFPMUIMediaOption(group, &m) != 0 || !m)
        return;
    // Type 1 reads the FLV while generating; type 2 loads it from beside the SWF. Either way it
    // is the file the run wrote, whatever the profile's extension.
    const QString base = swfType == 1 ? stem : name;
    copyFPMText(m->VideoFile, Std(base + QLatin1Char('.') + videoExt));
    copyFPMText(m->PictureFile, Std(base + ".jpg"));
    copyFPMText(m->Title, Std(name));
    copyFPMText(m->BrowserVideoFile, Std(browserVideo));
    m->Width = width;
    m->Height = height;
}

FPMUIGroupOption* StartGroup(const QString& swf)
{
    QFile::remove(swf);
    QFile::remove(QString::fromStdString(designFilePath(Std(swf))));
    FPMUIGroupOption* g = createFPMUIGroupOption();
    copyFPMText(g->SwfPath, Std(swf));
    return g;
}

} // namespace

CreditPlacement OutputCreditPlacement(int fontSize, int fontX, int fontY, double dscale,
                                      int wizardHeight)
{
    CreditPlacement p;
    p.size = ScaledInt(fontSize * dscale);
    p.left = fontX;
    // integer division rounds toward zero
    p.top = p.size == 0 ? 0 : static_cast<int>((int64_t(wizardHeight) - p.size) / 2);
    if (p.top < 0)
        p.top = fontY;
    return p;
}

CreditPlacement PreviewCreditPlacement(int fontSize, int fontX, int fontY, int width, int height,
                                       int previewWidth, int previewHeight)
{
    if (previewWidth <= 0 || previewHeight <= 0) {
        previewWidth = 320;
        previewHeight = 240;
    }
    CreditPlacement p;
    p.size = ScaledInt(fontSize * (double(width) * height) / (double(previewWidth) * previewHeight));
    p.left = fontX;
    p.top = fontY;
    return p;
}

void FillCommonPlayerPart(const CustomSettings& s, FPMUIGroupOption* group, bool preview,
                          const PlayerJobContext& ctx)
{
    FPMUIGenerateOption* gen = createFPMUIGenerateOption();
    group->Generate = gen;
    gen->Group = group;
    gen->IsGeneralFlv = s.IsGeneralFlv;
    gen->IsGeneralSwf = s.IsGeneralSwf;
    gen->SwfType = s.SwfType;
    gen->GenerateMode = 1;
    gen->IsGeneralHtml = s.IsGeneralHtml;

    FPMUIPlayerOption* p = createFPMUIPlayerOption();
    group->Player = p;
    p->Group = group;
    p->Width = s.Width;
    p->Height = s.Height;
    p->FrameRate = s.FrameRate;
    copyFPMText(p->SkinFile, Text(s.PlayerSkinPath) + ".swf");
    p->IsSkinAutoHide = s.IsSkinAutoHide;
    p->IsMouseAutoHide = s.IsMouseAutoHide;
    p->IsSliderAutoHide = s.IsSliderAutoHide;
    p->HideDelay = s.hideDelay;
    p->BackgroundRed = s.BackgrounColor.red;
    p->BackgroundGreen = s.BackgrounColor.green;
    p->BackgroundBlue = s.BackgrounColor.blue;
    if (s.SwfType == 2)
        copyFPMText(p->PreloaderFile, IsNone(s.PreloaderSkinPath) ? std::string() : Text(s.PreloaderSkinPath) + ".swf");
    copyFPMText(p->EffectFile, IsNone(s.EffectSkinPath) ? std::string() : Text(s.EffectSkinPath) + ".swf");
    if (s.IsHideAll)
        p->IsHideAll = s.IsHideAll;
    if (IsNone(s.PlayerSkinPath))
        p->IsHideAll = 1;
    if (!s.IsHideAll) {
        p->IsHideMuteBtn = s.IsHideMuteBtn;
        p->IsHideFullscreenBtn = s.IsHideFullscreenBtn;
        p->IsHidePreNextBtn = s.IsHidePreNextBtn;
        p->IsHidePlaylistBtn = s.IsHidePlaylistBtn;
        p->IsHidePlayingprocessBar = s.IsHidePlayingprocessBar;
        p->IsHideVolumeBar = s.IsHideVolumeBar;
        p->IsHidePlayingTime = s.IsHidePlayingTime;
        p->IsHidePlayList = s.IsHidePlayList;
    }
    p->IsAutoPlay = s.IsAutoPlay;

    if (s.SwfType != 1)
        return;  // progressive players show the preloader instead of credits
    const int wizardHeight = ctx.wizardHeight > 0 ? ctx.wizardHeight : s.Height;
    auto place = [&](int size, int x, int y) {
        return preview ? PreviewCreditPlacement(size, x, y, s.Width, s.Height, ctx.previewWidth, ctx.previewHeight)
                       : OutputCreditPlacement(size, x, y, s.dscale, wizardHeight);
    };
    if (s.IsCreditHead) {
        auto* c = createFPMUIInsertAdOption();
        c->Group = group;
        FillCredit(*c, s.Head_imagePath, s.Head_textContent, s.Head_fontType, s.Head_fontColor,
                   s.Head_backgroundColor, s.Head_duration, place(s.Head_fontSize, s.Head_fontX, s.Head_fontY));
        group->HeadCredit = c;
    }
    if (s.IsCreditTail) {
        auto* c = createFPMUIInsertAdOption();
        c->Group = group;
        FillCredit(*c, s.Tail_imagePath, s.Tail_textContent, s.Tail_fontType, s.Tail_fontColor,
                   s.Tail_backgroundColor, s.Tail_duration, place(s.Tail_fontSize, s.Tail_fontX, s.Tail_fontY));
        group->TailCredit = c;
    }
}

bool FillDecoration(const CustomSettings& s, FPMUIGroupOption* group, const QString& jobFolder,
                    int lengthSeconds)
{
    auto* d = createFPMUIOverlayADOption();
    d->Group = group;
    group->Overlay = d;
    // An unticked "Add Credits :" keeps its last FileType; the decoration must not show then.
    d->FileType = s.IsDecorate ? s.FileType : 0;
    const QString image = TextOf(s.Dec_imagePath);
    const QFileInfo imageInfo(image);
    if (s.SwfType == 1)
        copyFPMText(d->ImagePath, Std(image));
    else
        copyFPMText(d->ImagePath, Std(imageInfo.completeBaseName().isEmpty() && imageInfo.suffix().isEmpty()
                                          ? QString() : imageInfo.fileName()));
    copyFPMText(d->TextContent, s.Dec_textContent);
    if (s.SwfType == 1) {
        if (s.Dec_fontType[0])
            copyFPMText(d->FontName, Std(FontFilePath(TextOf(s.Dec_fontType))));
    } else {
        copyFPMText(d->FontName, s.Dec_fontType);
    }
    // The text grows with the video as its rectangle does (a length, not the area's ratio): the
    // wizard shows it in pixels of the preview, the output in pixels of the video.
    d->FontSize = ScaledInt(s.Dec_fontSize * s.dscale_Y);
    d->FontRed = s.Dec_fontColor.red;
    d->FontGreen = s.Dec_fontColor.green;
    d->FontBlue = s.Dec_fontColor.blue;
    copyFPMText(d->Name, "recorate");
    d->StartTime = 0;
    d->Length = lengthSeconds;
    copyFPMText(d->URL, s.Dec_URL);
    copyFPMText(d->Target, "_blank");
    d->X = ScaledInt(s.Dec_X * s.dscale_X);
    d->Y = ScaledInt(s.Dec_Y * s.dscale_Y);
    d->Width = ScaledInt(s.Dec_Width * s.dscale_X);
    d->Height = ScaledInt(s.Dec_Height * s.dscale_Y);

    // The picture goes beside the player only when the decoration shows it (not for a text).
    if (s.SwfType == 2 && d->FileType == 1 && !image.isEmpty() && imageInfo.isFile()) {
        QString folder = jobFolder;
        if (!folder.endsWith('/') && !folder.endsWith('\\'))
            folder += '/';
        const QString dest = folder + imageInfo.fileName();
        if (QFileInfo(dest).absoluteFilePath() != imageInfo.absoluteFilePath())
            return CopyFileAtomically(image, dest);
    }
    return true;
}

int MakeOutputPlayer(const CustomSettings& s, const QString& stem, const QString& name,
                     int lengthSeconds, const PlayerJobContext& ctx, const QString& browserVideo)
{
    EnsurePrefix(ctx);
    const QString swf = stem + ".swf";
    FPMUIGroupOption* g = StartGroup(swf);
    FillCommonPlayerPart(s, g, false, ctx);
    const bool pictureCopied = FillDecoration(s, g, QFileInfo(stem).path(), lengthSeconds);
    AddMedia(g, s.SwfType, stem, name, ExtensionOf(s), s.Width, s.Height, browserVideo);
    g->IsPreview = 0;
    // A player without the picture it shows is not the player asked for: none is made.
    int rc = FPM_ERR_WRITE;
    if (pictureCopied)
        rc = generateFLVPlayer(g);
    else
        QFile::remove(swf);
    freeFPMUIGroupOption(&g);
    return rc;
}

bool BeginSlidePlayer(const CustomSettings& s, const QString& folderStem, const QString& name,
                      FPMUIGroupOption** group, const PlayerJobContext& ctx)
{
    (void)name;
    EnsurePrefix(ctx);
    FPMUIGroupOption* g = StartGroup(folderStem + ".swf");
    FillCommonPlayerPart(s, g, false, ctx);
    const bool pictureCopied = FillDecoration(s, g, QFileInfo(folderStem).path(), 0);
    g->IsPreview = 0;
    if (group)
        *group = g;
    return pictureCopied;
}

void AddSlideMedia(const CustomSettings& s, const QString& memberStem, const QString& memberName,
                   FPMUIGroupOption* group, const QString& browserVideo)
{
    if (group)
        AddMedia(group, s.SwfType, memberStem, memberName, ExtensionOf(s), s.Width, s.Height, browserVideo);
}

int FinishSlidePlayer(const CustomSettings& s, FPMUIGroupOption* group, int totalLengthSeconds)
{
    if (!group)
        return FPM_ERR_ARGUMENT;
    if (group->Overlay)
        group->Overlay->Length = totalLengthSeconds;
    if (!s.IsGeneralSwf)
        return FPM_OK;
    return generateFLVPlayer(group);
}

QString MakePreviewPlayer(const CustomSettings& s, const PlayerJobContext& ctx)
{
    EnsurePrefix(ctx);
    const QString folder = ProgramFolder(ctx);
    QString out = ctx.previewFolder.isEmpty() ? folder + "temp/" : ctx.previewFolder;
    if (!out.endsWith('/'))
        out += '/';
    QDir().mkpath(out);
    const QString swf = out + "orvane.swf";
    FPMUIGroupOption* g = StartGroup(swf);
    FillCommonPlayerPart(s, g, true, ctx);
    FPMUIMediaOption* m = nullptr;
    createFPMUIMediaOption(g, &m);
    const QFileInfo own(ctx.previewVideo);
    if (!ctx.previewVideo.isEmpty() && own.isFile()) {
        // The task's own clip lies in the preview folder already: a progressive player names it
        // beside itself.
        const QString picture = ctx.previewPicture.isEmpty() || !QFileInfo(ctx.previewPicture).isFile()
                                    ? QString() : ctx.previewPicture;
        copyFPMText(m->Title, Std(own.completeBaseName()));
        m->Width = ctx.previewVideoWidth > 0 ? ctx.previewVideoWidth : s.Width;
        m->Height = ctx.previewVideoHeight > 0 ? ctx.previewVideoHeight : s.Height;
        if (s.SwfType == 1) {
            copyFPMText(m->VideoFile, Std(own.absoluteFilePath()));
            copyFPMText(m->PictureFile, Std(picture));
        } else {
            // A progressive player loads its video from beside itself.
            for (const QString& file : {own.absoluteFilePath(), picture}) {
                if (file.isEmpty() || QDir(QFileInfo(file).absolutePath()) == QDir(out))
                    continue;
                QFile::remove(out + QFileInfo(file).fileName());
                QFile::copy(file, out + QFileInfo(file).fileName());
            }
            copyFPMText(m->VideoFile, Std(own.fileName()));
            copyFPMText(m->PictureFile, Std(picture.isEmpty() ? QString() : QFileInfo(picture).fileName()));
        }
    } else {
        copyFPMText(m->Title, "orvanesample");
        m->Width = 320;
        m->Height = 240;
        if (s.SwfType == 1) {
            copyFPMText(m->VideoFile, Std(folder + "templates/orvanesample.flv"));
            copyFPMText(m->PictureFile, Std(folder + "templates/orvanesample.jpg"));
        } else {
            for (const char* ext : {".jpg", ".flv"}) {
                const QString dest = out + "orvanesample" + ext;
                if (!QFileInfo::exists(dest))
                    QFile::copy(folder + "templates/orvanesample" + ext, dest);
            }
            copyFPMText(m->VideoFile, "orvanesample.flv");
            copyFPMText(m->PictureFile, "orvanesample.jpg");
        }
    }
    g->IsPreview = 1;
    generateFLVPlayer(g);
    freeFPMUIGroupOption(&g);
    return swf;
}

} // namespace rm
