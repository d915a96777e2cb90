// Writes the players the end-to-end tests play: test videos made with FFmpeg's libraries, then
// the player jobs as a conversion run calls them. Usage: rm_e2e_make_players <out folder>
// [program folder] [--gallery]. Each scenario gets its own folder; manifest.json describes them.

#include "convert/player_jobs.h"
#include "model/custom_settings.h"
#include "support/media_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <string>

namespace {

rmtest::FixtureSpec FlvSpec(double seconds, const std::string& source = {})
{
    rmtest::FixtureSpec f = rmtest::FlvFixtureSpec(320, 240, seconds);
    f.gop = 25;
    f.videoBitrate = 400000;
    if (!source.empty())
        f.videoSource = source;
    return f;
}

rmtest::FixtureSpec JpegSpec(int w, int h, const std::string& source)
{
    rmtest::FixtureSpec f;
    f.container = "mjpeg";
    f.videoCodec = "mjpeg";
    f.audioCodec = "";
    f.width = w;
    f.height = h;
    f.seconds = 0.04;
    f.videoSource = source;
    return f;
}

bool Make(const QString& path, const rmtest::FixtureSpec& spec)
{
    std::string err = rmtest::MakeMediaFixture(path.toStdString(), spec);
    if (!err.empty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), err.c_str());
        return false;
    }
    return true;
}

rm::CustomSettings Base()
{
    rm::CustomSettings s;
    rm::ResetCustomSettings(s);
    s.Width = 320;
    s.Height = 240;
    s.FrameRate = 25;
    s.IsAutoPlay = 1;
    rm::SetText(s.PlayerSkinPath, "Christmas_h40");
    return s;
}

// Base settings with a decoration picture in the rectangle x, y, w, h (a picture file, so the
// player loads it from beside itself) and, when given, a link.
rm::CustomSettings Decorated(const QString& picture, int x, int y, int w, int h, const char* url = nullptr)
{
    rm::CustomSettings s = Base();
    s.IsDecorate = 1;
    s.FileType = 1;
    rm::SetText(s.Dec_imagePath, picture);
    s.Dec_X = x;
    s.Dec_Y = y;
    s.Dec_Width = w;
    s.Dec_Height = h;
    if (url)
        rm::SetText(s.Dec_URL, url);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeAll("--gallery");
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rm_e2e_make_players <out folder> [program folder]\n");
        return 2;
    }
    const QString out = QDir(args[1]).absolutePath() + "/";
    rm::PlayerJobContext ctx;
    ctx.programFolder = args.size() > 2 ? args[2] : QStringLiteral(RM_APP_DIR);
    QDir().mkpath(out);

    // Media shared by the scenarios.
    const QString red = out + "red.jpg";
    if (!Make(red, JpegSpec(80, 60, "color=c=red:s={w}x{h}:r={r}:d={d}")))
        return 1;

    QJsonArray manifest;
    // A scenario's video (and its thumbnail) shows source: a test pattern unless given.
    auto output = [&](const QString& name, const rm::CustomSettings& s, QJsonObject meta,
                      double seconds = 3.0, const std::string& source = {}) -> bool {
        const QString dir = out + name + "/";
        QDir().mkpath(dir);
        const QString stem = dir + name;
        if (!Make(stem + ".flv", FlvSpec(seconds, source)))
            return false;
        if (!Make(stem + ".jpg", JpegSpec(320, 240, source.empty() ? "testsrc2=s={w}x{h}:r={r}:d={d}" : source)))
            return false;
        rm::MakeOutputPlayer(s, stem, name, int(seconds), ctx);
        if (!QFile::exists(stem + ".swf")) {
            std::fprintf(stderr, "%s: no SWF written\n", qPrintable(name));
            return false;
        }
        meta["name"] = name;
        meta["swf"] = name + "/" + name + ".swf";
        meta["seconds"] = seconds;
        meta["width"] = s.Width;
        meta["height"] = s.Height;
        manifest.append(meta);
        return true;
    };

    bool ok = true;
    {
        rm::CustomSettings s = Base();
        rm::SetText(s.PreloaderSkinPath, "Spinner");
        ok &= output("t2_default", s, {{"type", 2}, {"controls", true}, {"autoPlay", true}});
    }
    {
        rm::CustomSettings s = Base();
        s.IsHideAll = 1;
        ok &= output("t2_hideall", s, {{"type", 2}, {"controls", false}, {"autoPlay", true}});
    }
    {
        rm::CustomSettings s = Base();
        s.IsAutoPlay = 0;
        s.hideDelay = 1;
        ok &= output("t2_click", s, {{"type", 2}, {"controls", true}, {"autoPlay", false}, {"hideDelay", 1}});
    }
    {
        rm::CustomSettings s = Base();
        s.SwfType = 1;
        s.IsCreditHead = 1;
        rm::SetText(s.Head_textContent, "HELLO WORLD");
        rm::SetText(s.Head_fontType, "DejaVu Sans");
        s.Head_fontSize = 40;
        s.Head_fontX = 20;
        s.Head_fontColor = {255, 255, 0};
        s.Head_backgroundColor = {0, 0, 160};
        s.Head_duration = 3;
        ctx.wizardHeight = 240;
        ok &= output("t1_credit", s,
                     {{"type", 1}, {"controls", true}, {"autoPlay", true}, {"creditSeconds", 3},
                      {"creditBg", QJsonArray{0, 0, 160}}, {"creditText", QJsonArray{255, 255, 0}},
                      {"creditBox", QJsonArray{20, 100, 280, 40}}});
        ctx.wizardHeight = 0;
    }
    {
        // A closing credit after a short clip.
        rm::CustomSettings s = Base();
        s.SwfType = 1;
        s.IsCreditTail = 1;
        rm::SetText(s.Tail_textContent, "THE END");
        rm::SetText(s.Tail_fontType, "DejaVu Sans");
        s.Tail_fontSize = 40;
        s.Tail_fontX = 40;
        s.Tail_fontColor = {255, 200, 0};
        s.Tail_backgroundColor = {96, 0, 128};
        s.Tail_duration = 4;
        ctx.wizardHeight = 240;
        ok &= output("t1_tail", s,
                     {{"type", 1}, {"controls", true}, {"autoPlay", true}, {"tailSeconds", 4},
                      {"tailBg", QJsonArray{96, 0, 128}}, {"tailText", QJsonArray{255, 200, 0}},
                      {"tailBox", QJsonArray{40, 100, 240, 40}}},
                     2.0);
        ctx.wizardHeight = 0;
    }
    // Decorations as the wizard stores them, for a 640 x 480 output: the wizard fits that into
    // its 440 x 380 preview area as a 440 x 330 preview and keeps the rectangles in preview
    // pixels, with the output's size over the preview's as the scales. The video under them is
    // plain grey, and no controls are drawn, so that only the decoration has colour.
    {
        const int previewW = 440, previewH = 330;
        const std::string grey = "color=c=0x404040:s={w}x{h}:r={r}:d={d}";
        auto placed = [&](int fileType, int x, int y, int w, int h) {
            rm::CustomSettings s = Base();
            s.Width = 640;
            s.Height = 480;
            s.IsHideAll = 1;
            s.IsDecorate = 1;
            s.FileType = fileType;
            s.dscale = double(s.Width) * s.Height / (double(previewW) * previewH);
            s.dscale_X = double(s.Width) / previewW;
            s.dscale_Y = double(s.Height) / previewH;
            s.Dec_X = x;
            s.Dec_Y = y;
            s.Dec_Width = w;
            s.Dec_Height = h;
            if (fileType == 1) {
                s.Dec_img_X = x;
                s.Dec_img_Y = y;
                s.Dec_img_Width = w;
                s.Dec_img_Height = h;
            } else {
                s.Dec_text_X = x;
                s.Dec_text_Y = y;
                s.Dec_text_Width = w;
                s.Dec_text_Height = h;
            }
            return s;
        };
        const QJsonArray preview{previewW, previewH};
        // A 160 x 80 logo, its left half red and its right half blue: the wizard fits it to
        // 100 x 50, and the user drags it to 40, 30. Embedded (type 1) and loaded from beside
        // the player (type 2).
        const QString logo = out + "logo.jpg";
        ok &= Make(logo, JpegSpec(160, 80, "color=c=red:s={w}x{h}:r={r}:d={d},"
                                           "drawbox=x=iw/2:y=0:w=iw/2:h=ih:color=blue:t=fill"));
        for (int type : {1, 2}) {
            rm::CustomSettings s = placed(1, 40, 30, 100, 50);
            s.SwfType = type;
            rm::SetText(s.Dec_imagePath, logo);
            ok &= output(QString("placed_logo_t%1").arg(type), s,
                         {{"type", type}, {"controls", false}, {"autoPlay", true},
                          {"placed", QJsonObject{{"kind", "logo"}, {"preview", preview},
                                                 {"rect", QJsonArray{40, 30, 100, 50}},
                                                 {"left", QJsonArray{255, 0, 0}},
                                                 {"right", QJsonArray{0, 0, 255}}}}},
                         20.0, grey);
        }
        // A text at 60, 200 of the preview in DejaVu Sans of 16 pixels: the wizard's label for
        // it is 49 x 19.
        rm::CustomSettings s = placed(2, 60, 200, 49, 19);
        s.SwfType = 1;
        rm::SetText(s.Dec_textContent, "HHHH");
        rm::SetText(s.Dec_fontType, "DejaVu Sans");
        s.Dec_fontSize = 16;
        s.Dec_fontColor = {255, 230, 0};
        ok &= output("placed_text_t1", s,
                     {{"type", 1}, {"controls", false}, {"autoPlay", true},
                      {"placed", QJsonObject{{"kind", "text"}, {"preview", preview},
                                             {"rect", QJsonArray{60, 200, 49, 19}}, {"text", "HHHH"},
                                             {"fontPx", 16}, {"colour", QJsonArray{255, 230, 0}}}}},
                     20.0, grey);
    }
    {
        rm::CustomSettings s = Decorated(red, 16, 16, 80, 60, "landing.html");
        s.SwfType = 1;
        s.IsAutoPlay = 0;
        rm::SetText(s.PlayerSkinPath, "Classic_h32");
        ok &= output("t1_deco", s,
                     {{"type", 1}, {"controls", true}, {"autoPlay", false},
                      {"deco", QJsonArray{16, 16, 80, 60}}, {"decoUrl", "landing.html"}});
    }
    {
        // A 4:3 picture in a wide rectangle: it is stretched to the rectangle, as the wizard
        // shows it, not letterboxed inside it.
        rm::CustomSettings s = Decorated(red, 60, 100, 200, 40);
        s.SwfType = 1;
        s.IsAutoPlay = 0;
        rm::SetText(s.PlayerSkinPath, "Classic_h32");
        ok &= output("t1_deco_wide", s,
                     {{"type", 1}, {"controls", true}, {"autoPlay", false},
                      {"decoWide", QJsonArray{60, 100, 200, 40}}});
    }
    {
        // A slide group: two members played by one playlist player.
        rm::CustomSettings s = Base();
        s.SwfType = 2;
        rm::SetText(s.PlayerSkinPath, "Midnight_h30");
        rm::SetText(s.EffectSkinPath, "Fade");
        const QString dir = out + "slide/";
        QDir().mkpath(dir);
        rm::player_maker::FPMUIGroupOption* group = nullptr;
        rm::BeginSlidePlayer(s, dir + "Slide1", "Slide1", &group, ctx);
        int total = 0;
        for (const char* member : {"first", "second"}) {
            const QString stem = dir + member;
            ok &= Make(stem + ".flv", FlvSpec(3.0));
            ok &= Make(stem + ".jpg", JpegSpec(320, 240, "testsrc2=s={w}x{h}:r={r}:d={d}"));
            rm::AddSlideMedia(s, stem, member, group);
            total += 3;
        }
        ok &= rm::FinishSlidePlayer(s, group, total) == 0;
        rm::player_maker::freeFPMUIGroupOption(&group);
        manifest.append(QJsonObject{{"name", "slide"}, {"swf", "slide/Slide1.swf"}, {"type", 2},
                                    {"controls", true}, {"autoPlay", true}, {"width", 320},
                                    {"height", 240}, {"playlist", 2}});
    }
    {
        // A decoration picture the player loads from beside itself by its (awkward) name.
        rmtest::FixtureSpec gif = JpegSpec(80, 60, "color=c=red:s={w}x{h}:r={r}:d={d}");
        gif.container = "gif";
        gif.videoCodec = "gif";
        const QString logo = out + "logo #1 100%.gif";
        ok &= Make(logo, gif);
        rm::CustomSettings s = Decorated(logo, 16, 16, 80, 60);
        s.IsAutoPlay = 0;
        ok &= output("t2_deco_gif", s, {{"type", 2}, {"controls", true}, {"autoPlay", false},
                                        {"deco", QJsonArray{16, 16, 80, 60}}});
    }
    // Decoration links: small players side by side whose links must open nothing, and two whose
    // links, blanks and controls around them, open their page (one relative, one on this
    // machine's discard port, whose request is enough).
    {
        const char* const links[] = {
            "java\tscript:alert(1)", "java\nscript:alert(1)", "\x01javascript:alert(1)",
            "  JavaScript:alert(1)", "\xc2\xa0javascript:alert(1)", "vbscript:msgbox(1)",
            "data:text/html,<b>x</b>", "file:///etc/passwd", "\t landing.html \r\n",
            "\x01 HTTP://127.0.0.1:9/landing.html\t"};
        int n = 0;
        for (const char* link : links) {
            rm::CustomSettings s = Decorated(red, 10, 10, 80, 60, link);
            s.Width = 160;
            s.Height = 120;
            s.IsHideAll = 1;
            const bool opens = std::string(link).find("landing") != std::string::npos;
            ok &= output(QString("link_%1").arg(n++), s,
                         {{"type", 2}, {"controls", false}, {"autoPlay", true}, {"link", link},
                          {"linkOpens", opens}, {"deco", QJsonArray{10, 10, 80, 60}}},
                         15.0);
        }
    }
    // With --gallery: each skin with its controls and with "Hide All", for looking at.
    if (QCoreApplication::arguments().contains("--gallery")) {
        for (const char* skin : {"Christmas_h40", "Ocean_h36", "Classic_h32", "Midnight_h30", "Silver_h28", "Sunset_h34"}) {
            for (int hide : {0, 1}) {
                rm::CustomSettings s = Base();
                rm::SetText(s.PlayerSkinPath, skin);
                s.IsHideAll = hide;
                s.IsHidePreNextBtn = 0;
                const QString name = QString("gallery_%1_%2").arg(skin, hide ? "hidden" : "controls");
                ok &= output(name, s, {{"type", 2}, {"controls", !hide}, {"autoPlay", true}, {"gallery", true}});
            }
        }
    }
    if (QCoreApplication::arguments().contains("--gallery")) {
        // closing credit and a transition, for looking at
        rm::CustomSettings s = Base();
        s.SwfType = 1;
        s.IsCreditTail = 1;
        rm::SetText(s.Tail_textContent, "The End");
        rm::SetText(s.Tail_fontType, "DejaVu Serif");
        s.Tail_fontSize = 36;
        s.Tail_fontX = 90;
        s.Tail_backgroundColor = {40, 0, 60};
        s.Tail_duration = 3;
        rm::SetText(s.EffectSkinPath, "Iris");
        rm::SetText(s.PlayerSkinPath, "Sunset_h34");
        ctx.wizardHeight = 240;
        ok &= output("gallery_tail_iris", s, {{"type", 1}, {"autoPlay", true}, {"gallery", true}}, 1.0);
    }
    QFile m(out + "manifest.json");
    if (!m.open(QIODevice::WriteOnly))
        return 1;
    m.write(QJsonDocument(manifest).toJson());
    return ok ? 0 : 1;
}
