// The wizard's preview clip: which source a task's preview shows, and the clip made from it (its
// length, the stretch's start, the output's frame size with its bars, the task's picture
// settings), read back with the ffmpeg tool.

#include "convert/preview_clip.h"
#include "engines/converter/media_info.h"
#include "engines/messages/result_codes.h"
#include "model/custom_settings.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace rm;
namespace src = rmtest::sources;

namespace {

// 16:9, 12 s: red for the first 3 s, then blue, with sound.
std::string WideRedThenBlue()
{
    return src::Made("preview-wide-red-blue.mp4",
                     "-f lavfi -i \"color=c=red:s=1280x720:r=25:d=12,"
                     "drawbox=x=0:y=0:w=iw:h=ih:c=blue:t=fill:enable='gte(t,3)'\" "
                     "-f lavfi -i sine=frequency=440:duration=12 -c:v libx264 -pix_fmt yuv420p -g 25 -c:a aac -shortest");
}

std::unique_ptr<MediaItem> ItemOf(const std::string& path)
{
    auto item = std::make_unique<MediaItem>();
    InitItem(*item);
    item->media = NewMediaInfo();
    if (!path.empty()) {
        std::strncpy(item->media->path, path.c_str(), sizeof item->media->path - 1);
        converter::getFileInfo(item->media.get());
        item->trim.end = item->media->durationSeconds;
    }
    return item;
}

CustomSettings Output(int w, int h)
{
    CustomSettings s;
    ResetCustomSettings(s);
    s.Width = w;
    s.Height = h;
    s.FrameRate = 25;
    return s;
}

QString Folder()
{
    const QString d = QString::fromStdString(rmtest::FixtureDir()) + "/clip_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir(d).removeRecursively();
    QDir().mkpath(d);
    return d + "/";
}

double Seconds(const QString& file)
{
    return std::atof(src::Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                  src::Quoted(file.toStdString())).c_str());
}

struct Rgb {
    int r = -1, g = -1, b = -1;
};

// The pixel (x, y) of the picture at second t, as the ffmpeg tool decodes it.
Rgb PixelAt(const QString& file, double t, int x, int y, int w, int h)
{
    const std::string px = src::Capture("ffmpeg -nostdin -v error -ss " + std::to_string(t) + " -i " +
                                        src::Quoted(file.toStdString()) +
                                        " -frames:v 1 -pix_fmt rgb24 -f rawvideo -");
    if (px.size() != size_t(w) * h * 3)
        return {};
    const size_t at = (size_t(y) * w + x) * 3;
    return {uint8_t(px[at]), uint8_t(px[at + 1]), uint8_t(px[at + 2])};
}

bool Near(const Rgb& c, int r, int g, int b) { return std::abs(c.r - r) < 40 && std::abs(c.g - g) < 40 && std::abs(c.b - b) < 40; }

} // namespace

TEST(PreviewClipSource, TaskItselfOrTheGroupsFirstVideo)
{
    const std::string wide = WideRedThenBlue();
    ASSERT_FALSE(wide.empty());
    auto file = ItemOf(wide);
    file->trim = {4, 10};
    file->crop->left = 8;
    SetText(file->crop->zoom, "16:9");
    file->effects->colourEffect = 1;
    PreviewClipSource s = PreviewSourceOf(*file);
    EXPECT_EQ(s.path, wide);
    EXPECT_EQ(s.start, 4);
    EXPECT_EQ(s.length, 6);
    EXPECT_NEAR(s.available, 8.0, 0.1);
    EXPECT_EQ(s.crop.left, 8);
    EXPECT_STREQ(s.crop.zoom, "16:9");
    EXPECT_EQ(s.effects.colourEffect, 1);

    // A task without a video of its own shows the sample.
    EXPECT_TRUE(PreviewSourceOf(*ItemOf("")).path.empty());

    // A group: its first member that holds a video, with that member's stretch.
    auto node = ItemOf(wide);
    node->kind = kKindMerge;
    node->role = kRoleMergeNode;
    auto sound = ItemOf("");  // a member the probe found no picture in
    std::strcpy(sound->media->path, "/nowhere/tune.mp3");
    auto second = ItemOf(wide);
    second->trim = {3, 12};
    s = PreviewSourceOf(*node, {sound.get(), second.get()});
    EXPECT_EQ(s.path, wide);
    EXPECT_EQ(s.start, 3);
    // Without its members the node's own media (its first member's) is shown from the start.
    s = PreviewSourceOf(*node);
    EXPECT_EQ(s.path, wide);
    EXPECT_EQ(s.start, 0);
}

// The first seconds of the stretch, at the output's 4:3 frame size with black bars above and
// below the 16:9 picture, in the colours of the stretch.
TEST(PreviewClip, FirstSecondsOfTheStretchAsTheOutputShowsThem)
{
    const std::string wide = WideRedThenBlue();
    ASSERT_FALSE(wide.empty());
    const QString dir = Folder();
    struct Case {
        int start;
        int r, g, b;
    };
    for (const Case& c : {Case{0, 255, 0, 0}, Case{4, 0, 0, 255}}) {
        SCOPED_TRACE(c.start);
        auto item = ItemOf(wide);
        item->trim.start = c.start;
        const QString stem = dir + QString("clip-%1").arg(c.start);
        const PreviewClip clip = MakePreviewClip(PreviewSourceOf(*item), Output(400, 300), stem);
        ASSERT_EQ(clip.result, messages::kResultOk);
        EXPECT_EQ(clip.video, stem + ".flv");
        EXPECT_EQ(clip.picture, stem + ".jpg");
        EXPECT_TRUE(QFileInfo(clip.picture).size() > 0);
        const double secs = Seconds(clip.video);
        EXPECT_GT(secs, kPreviewClipSeconds - 0.5);
        EXPECT_LT(secs, kPreviewClipSeconds + 0.5);
        int w = 0, h = 0;
        src::SizeOf(clip.video.toStdString(), w, h);
        EXPECT_EQ(w, 400);
        EXPECT_EQ(h, 300);
        const double t = c.start == 0 ? 1.0 : 0.5;  // before the colour changes at 3 s
        EXPECT_TRUE(Near(PixelAt(clip.video, t, 200, 150, 400, 300), c.r, c.g, c.b));
        // 400 wide at 16:9 is 224 high: black bars of 38 lines above and below.
        for (int y : {10, 34, 265, 290})
            EXPECT_TRUE(Near(PixelAt(clip.video, t, 200, y, 400, 300), 0, 0, 0)) << y;
        for (int y : {42, 257})
            EXPECT_TRUE(Near(PixelAt(clip.video, t, 200, y, 400, 300), c.r, c.g, c.b)) << y;
    }
    // The picture settings of the task: grey.
    auto item = ItemOf(wide);
    item->effects->colourEffect = 1;
    const PreviewClip grey = MakePreviewClip(PreviewSourceOf(*item), Output(320, 240), dir + "grey");
    ASSERT_EQ(grey.result, messages::kResultOk);
    const Rgb g = PixelAt(grey.video, 1.0, 160, 120, 320, 240);
    EXPECT_LT(std::abs(g.r - g.b), 20);
    EXPECT_LT(std::abs(g.r - g.g), 20);
}

// A stretch shorter than the clip gives what it has; a source that cannot be read, or a clip
// cancelled before it starts, leaves no file and no clip.
TEST(PreviewClip, ShortStretchUnreadableSourceAndCancel)
{
    const std::string wide = WideRedThenBlue();
    ASSERT_FALSE(wide.empty());
    const QString dir = Folder();
    auto item = ItemOf(wide);
    item->trim = {9, 11};
    PreviewClip clip = MakePreviewClip(PreviewSourceOf(*item), Output(320, 240), dir + "short");
    ASSERT_EQ(clip.result, messages::kResultOk);
    EXPECT_NEAR(Seconds(clip.video), 2.0, 0.3);

    const QString junk = dir + "junk.mp4";
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(100000, 'x'));
    f.close();
    PreviewClipSource bad;
    bad.path = junk.toStdString();
    clip = MakePreviewClip(bad, Output(320, 240), dir + "bad");
    EXPECT_NE(clip.result, messages::kResultOk);
    EXPECT_TRUE(clip.video.isEmpty());

    std::atomic<bool> cancel{true};
    clip = MakePreviewClip(PreviewSourceOf(*item), Output(320, 240), dir + "cancelled", &cancel);
    EXPECT_EQ(clip.result, messages::kResultCancelled);
    EXPECT_TRUE(clip.video.isEmpty());
    const QStringList left = QDir(dir).entryList(QDir::Files);
    EXPECT_EQ(left, QStringList({"junk.mp4", "short.flv", "short.jpg"}));
}
