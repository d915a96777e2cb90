// The preview shows what will be written: a capture of the output pane at second 5 equals the
// frame a converter job writes for second 5 with the same picture settings.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdlib>

#include "engines/converter/converter.h"
#include "engines/playback/playback_engine.h"
#include "engines/playback/playback_internal.h"
#include "engines/playback/playback_test_support.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

namespace pb = rm::playback;
namespace cv = rm::converter;

namespace {

// The first picture of a file as RGBA.
rm::playback::PicturePtr FirstPicture(const std::string& path)
{
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return nullptr;
    avformat_find_stream_info(fmt, nullptr);
    int idx = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = idx >= 0 ? avcodec_find_decoder(fmt->streams[idx]->codecpar->codec_id) : nullptr;
    AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
    std::shared_ptr<rm::playback::Picture> pic;
    if (dec && avcodec_parameters_to_context(dec, fmt->streams[idx]->codecpar) >= 0 &&
        avcodec_open2(dec, codec, nullptr) >= 0) {
        AVPacket* pkt = av_packet_alloc();
        AVFrame* f = av_frame_alloc();
        bool got = false;
        while (!got && av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == idx && avcodec_send_packet(dec, pkt) >= 0)
                got = avcodec_receive_frame(dec, f) >= 0;
            av_packet_unref(pkt);
        }
        if (!got && avcodec_send_packet(dec, nullptr) >= 0)
            got = avcodec_receive_frame(dec, f) >= 0;
        if (got) {
            pic = std::make_shared<rm::playback::Picture>();
            pic->width = f->width;
            pic->height = f->height;
            pic->rgba.resize(size_t(f->width) * f->height * 4);
            SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                             AV_PIX_FMT_RGBA, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                             nullptr, nullptr, nullptr);
            uint8_t* dst[4] = {pic->rgba.data(), nullptr, nullptr, nullptr};
            int stride[4] = {4 * f->width, 0, 0, 0};
            sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride);
            sws_freeContext(sws);
        }
        av_frame_free(&f);
        av_packet_free(&pkt);
    }
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return pic;
}

double MeanAbsDiff(const rm::playback::Picture& a, const rm::playback::Picture& b)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < a.rgba.size(); i++) {
        if (i % 4 == 3)
            continue;
        sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
        n++;
    }
    return sum / double(n);
}

// Converts second 5 of the source with the settings into a lossless file; returns its path.
std::string ConvertSecondFive(const std::string& source, const pb::PictureSettings& s, const std::string& name,
                              const char* frameSize = "160x120")
{
    cv::ConvertJob* job = cv::createGroupMediaUIOption(nullptr, "matroska", 0);
    std::free(job->VideoCodec);  // the job's default codec text is ours to replace
    job->VideoCodec = cv::CopyText("ffv1");
    job->FrameSize = cv::CopyText(frameSize);
    job->FrameRate = 25;
    std::string out = rmtest::FixtureDir() + "/" + name + ".mkv";
    std::remove(out.c_str());
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    cv::ConvertInput* in = cv::createMediaUIOption(job, source.c_str());
    in->Start = 5;
    in->Length = 1;
    in->CropTop = s.CropTop;
    in->CropBottom = s.CropBottom;
    in->CropLeft = s.CropLeft;
    in->CropRight = s.CropRight;
    in->Zoom = cv::CopyText(s.Zoom.c_str());
    in->Brightness = s.Brightness;
    in->Contrast = s.Contrast;
    in->Saturation = s.Saturation;
    in->VerticalFlip = s.VerticalFlip;
    in->HorizontalFlip = s.HorizontalFlip;
    in->ColorEffect = s.Effect;
    int32_t r = cv::converteToMedia(job, "matroska", 0);
    cv::releaseMediaUIOption(job);
    return r == 0 ? out : "";
}

TEST(PreviewEqualsOutput, CaptureAtSecondFiveMatchesTheConvertedFrame)
{
    rmtest::FixtureSpec spec;
    spec.width = 160;
    spec.height = 120;
    spec.seconds = 6.5;
    spec.audioCodec = "";
    spec.gop = 100;  // H.264 with B-frames and a long GOP: the seek decodes its way to second 5
    spec.videoCodec = "libx264";
    spec.bFrames = 2;
    std::string source = rmtest::Fixture("six.mp4", spec);

    rmtest::RecordingSurface surface;
    pb::setVideoSurface(&surface);
    pb::setEditWindow(1);
    ASSERT_EQ(pb::openFile(source.c_str()), 0);

    struct Case { const char* name; pb::PictureSettings s; };
    auto settings = [](auto f) { pb::PictureSettings s; f(s); return s; };
    Case cases[] = {
        {"crop-eq-hflip-wide", settings([](pb::PictureSettings& s) {
             s.CropTop = 10; s.CropBottom = 6; s.CropLeft = 20; s.CropRight = 12;
             s.Zoom = "16:9"; s.Brightness = 20; s.Contrast = -30; s.Saturation = 40; s.HorizontalFlip = true; })},
        {"gray-vflip-full", settings([](pb::PictureSettings& s) {
             s.CropLeft = 30; s.Zoom = "full"; s.Effect = 1; s.VerticalFlip = true; })},
        {"emboss-original", settings([](pb::PictureSettings& s) { s.CropBottom = 40; s.Effect = 2; })},
    };
    rm::playback::PicturePtr plainCapture;
    for (auto& c : cases) {
        std::string converted = ConvertSecondFive(source, c.s, c.name);
        ASSERT_FALSE(converted.empty()) << c.name;
        auto written = FirstPicture(converted);
        ASSERT_TRUE(written) << c.name;

        pb::setPictureSettings(c.s);
        ASSERT_EQ(pb::showFrameAt(5.0, 5000), 0) << c.name;
        std::string png = rmtest::FixtureDir() + "/" + c.name + ".png";
        ASSERT_EQ(pb::vezCapture(png.c_str()), 0) << c.name;
        auto shown = rm::playback::detail::LoadPicture(png);
        ASSERT_TRUE(shown) << c.name;
        ASSERT_EQ(shown->width, written->width) << c.name;
        ASSERT_EQ(shown->height, written->height) << c.name;
        EXPECT_LT(MeanAbsDiff(*shown, *written), 1.5) << c.name;

        // The measure tells pictures apart: without the settings, or a frame later, it differs.
        pb::setPictureSettings({});
        ASSERT_EQ(pb::vezCapture(png.c_str()), 0);
        auto plain = rm::playback::detail::LoadPicture(png);
        EXPECT_GT(MeanAbsDiff(*plain, *written), 8) << c.name;
        pb::setPictureSettings(c.s);
        ASSERT_EQ(pb::showFrameAt(5.04, 5000), 0);
        ASSERT_EQ(pb::vezCapture(png.c_str()), 0);
        auto next = rm::playback::detail::LoadPicture(png);
        EXPECT_GT(MeanAbsDiff(*next, *written), 2) << c.name << ": the next frame must not match";
    }
    pb::close_sdl();
    rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
    pb::setVideoSurface(nullptr);
}

// The ffmpeg tool's picture for second 5 of a file, through its own filters, as RGBA.
rm::playback::PicturePtr ToolPicture(const std::string& source, const std::string& filters, int w, int h)
{
    const std::string cmd = "ffmpeg -v error -ss 5 -i '" + source + "' -frames:v 1 -vf '" + filters +
                            "' -f rawvideo -pix_fmt rgba -";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    if (out.size() != size_t(w) * h * 4)
        return nullptr;
    auto pic = std::make_shared<rm::playback::Picture>();
    pic->width = w;
    pic->height = h;
    pic->rgba.assign(out.begin(), out.end());
    return pic;
}

// The preview and the converter share their filter code, so a fault there shows on both sides
// alike. The output pane is therefore also held against the ffmpeg tool applying the settings'
// plain meaning: cut 30 columns at the left, fill the frame, mirror top to bottom, brightness 40
// (a fifth of the full range up).
TEST(PreviewEqualsOutput, OutputPaneMatchesTheToolsOwnFilters)
{
    rmtest::FixtureSpec spec;
    spec.width = 160;
    spec.height = 120;
    spec.seconds = 6.5;
    spec.audioCodec = "";
    std::string source = rmtest::Fixture("six_plain.mp4", spec);

    rmtest::RecordingSurface surface;
    pb::setVideoSurface(&surface);
    pb::setEditWindow(1);
    ASSERT_EQ(pb::openFile(source.c_str()), 0);
    pb::PictureSettings s;
    s.CropLeft = 30;
    s.Zoom = "full";
    s.VerticalFlip = true;
    s.Brightness = 40;
    pb::setPictureSettings(s);
    ASSERT_EQ(pb::showFrameAt(5.0, 5000), 0);
    const std::string png = rmtest::FixtureDir() + "/tool_reference.png";
    ASSERT_EQ(pb::vezCapture(png.c_str()), 0);
    auto shown = rm::playback::detail::LoadPicture(png);
    pb::close_sdl();
    rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
    pb::setVideoSurface(nullptr);
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->width, 160);
    ASSERT_EQ(shown->height, 120);

    auto reference = ToolPicture(source, "crop=130:120:30:0,vflip,eq=brightness=0.2,scale=160:120", 160, 120);
    auto darker = ToolPicture(source, "crop=130:120:30:0,vflip,eq=brightness=-0.2,scale=160:120", 160, 120);
    auto upright = ToolPicture(source, "crop=130:120:30:0,eq=brightness=0.2,scale=160:120", 160, 120);
    ASSERT_TRUE(reference && darker && upright);
    const double d = MeanAbsDiff(*shown, *reference);
    EXPECT_LT(d, 4.0);
    // The measure tells the wrong direction of either setting apart.
    EXPECT_GT(MeanAbsDiff(*shown, *darker), d + 20);
    EXPECT_GT(MeanAbsDiff(*shown, *upright), d + 10);
}

// A phone clip held upright (stored 160x120, turned 90 degrees by its container): both panes show
// it upright, the output pane in a frame of its upright size, and that is what a job of that size
// writes (the converter scales such a picture before it turns it, which moves fewer pixels).
TEST(PreviewEqualsOutput, SidewaysPhoneClipMatchesTheConvertedFrame)
{
    using rmtest::sources::Made;
    struct Case {
        const char* name;
        const char* picture;  // 8-bit and 10-bit samples are turned by different code
        double within;        // mean difference allowed
    };
    const Case cases[] = {
        {"sideways-h264", "testsrc2=s=160x120:r=25:d=6.5 -c:v libx264 -g 100 -bf 2 -pix_fmt yuv420p", 1.5},
        {"sideways-hevc10",
         "testsrc2=s=160x120:r=25:d=6.5 -c:v libx265 -x265-params log-level=error -g 100 -pix_fmt yuv420p10le "
         "-tag:v hvc1",
         1.5},
        // A camcorder's interlaced fields (50 moving fields a second): woven back into pictures
        // before the turn, or the preview would show them sideways and combed. The converter's
        // deinterlacer also looks a picture ahead, which the pane's single picture cannot.
        {"sideways-interlaced",
         "testsrc2=s=160x120:r=50:d=6.5,interlace=scan=tff -c:v mpeg2video -flags +ilme+ildct -top 1 -q:v 2", 3.0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::string name = k.name;
        const std::string stored = Made(name + "-stored.mp4", std::string("-f lavfi -i ") + k.picture);
        ASSERT_FALSE(stored.empty());
        // The turn is written when the stream is copied (an encoder does not take it).
        const std::string sideways =
            Made(name + ".mp4", "-i " + rmtest::sources::Quoted(stored) + " -c copy -metadata:s:v:0 rotate=90");
        ASSERT_FALSE(sideways.empty());

        rmtest::RecordingSurface surface;
        pb::setVideoSurface(&surface);
        pb::setEditWindow(1);
        ASSERT_EQ(pb::openFile(sideways.c_str()), 0);
        const pb::PictureSettings plain;  // nothing but the turn and the fit into the frame
        const std::string converted = ConvertSecondFive(sideways, plain, name, "120x160");
        ASSERT_FALSE(converted.empty());
        auto written = FirstPicture(converted);
        ASSERT_TRUE(written);
        ASSERT_EQ(written->width, 120);
        ASSERT_EQ(written->height, 160);

        pb::setPictureSettings(plain);
        const std::string png = rmtest::FixtureDir() + "/" + name + ".png";
        auto capture = [&](double second) -> rm::playback::PicturePtr {
            if (pb::showFrameAt(second, 5000) != 0 || pb::vezCapture(png.c_str()) != 0)
                return nullptr;
            return rm::playback::detail::LoadPicture(png);
        };
        auto shown = capture(5.0);
        auto later = capture(5.2);
        // Inside the last frame's time nothing follows the place: the last picture decoded
        // before it stands, upright too.
        auto last = capture(6.499);
        pb::close_sdl();
        rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
        pb::setVideoSurface(nullptr);
        ASSERT_TRUE(shown && later && last);
        EXPECT_EQ(last->width, written->width);
        EXPECT_EQ(last->height, written->height);
        ASSERT_EQ(shown->width, written->width);
        ASSERT_EQ(shown->height, written->height);
        const double d = MeanAbsDiff(*shown, *written);
        EXPECT_LT(d, k.within);
        EXPECT_GT(MeanAbsDiff(*later, *written), d + 1.0);
    }
}

} // namespace

namespace {

// `p` scaled to w x h with a high-quality filter, as RGBA.
rm::playback::PicturePtr Scaled(const rm::playback::Picture& p, int w, int h)
{
    auto out = std::make_shared<rm::playback::Picture>();
    out->width = w;
    out->height = h;
    out->rgba.resize(size_t(w) * h * 4);
    SwsContext* sws = sws_getContext(p.width, p.height, AV_PIX_FMT_RGBA, w, h, AV_PIX_FMT_RGBA,
                                     SWS_LANCZOS | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    const uint8_t* src[4] = {p.rgba.data(), nullptr, nullptr, nullptr};
    int srcStride[4] = {4 * p.width, 0, 0, 0};
    uint8_t* dst[4] = {out->rgba.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {4 * w, 0, 0, 0};
    sws_scale(sws, src, srcStride, 0, p.height, dst, dstStride);
    sws_freeContext(sws);
    return out;
}

// Rows [top, top + h) of `p`.
rm::playback::PicturePtr Rows(const rm::playback::Picture& p, int top, int h)
{
    auto out = std::make_shared<rm::playback::Picture>();
    out->width = p.width;
    out->height = h;
    const size_t row = size_t(p.width) * 4;
    out->rgba.assign(p.rgba.begin() + std::ptrdiff_t(top * row), p.rgba.begin() + std::ptrdiff_t((top + h) * row));
    return out;
}

} // namespace

// A 1080p clip written at the player's 480x360 takes the converter's two-step downscale (a box
// reduction, then the scaler); the output pane shows the picture at its own size. Brought to the
// output's size, the pane's picture is the written one.
TEST(PreviewEqualsOutput, PlayerSizedOutputOfAnHdClipShowsWhatTheOutputPaneShows)
{
    const std::string source = rmtest::sources::Made(
        "hd-1080.mp4", "-f lavfi -i testsrc2=s=1920x1080:r=10:d=6.5 -c:v libx264 -crf 12 -g 20 -pix_fmt yuv420p -an");
    ASSERT_FALSE(source.empty());
    const std::string converted = ConvertSecondFive(source, {}, "hd-1080-player", "480x360");
    ASSERT_FALSE(converted.empty());
    auto written = FirstPicture(converted);
    ASSERT_TRUE(written);
    ASSERT_EQ(written->width, 480);
    ASSERT_EQ(written->height, 360);
    // 16:9 in 4:3: 480x270 between bars of 44 and 46 rows.
    auto picture = Rows(*written, 44, 270);

    rmtest::RecordingSurface surface;
    pb::setVideoSurface(&surface);
    pb::setEditWindow(1);
    ASSERT_EQ(pb::openFile(source.c_str()), 0);
    pb::setPictureSettings({});
    const std::string png = rmtest::FixtureDir() + "/hd-1080-pane.png";
    auto capture = [&](double second) -> rm::playback::PicturePtr {
        if (pb::showFrameAt(second, 8000) != 0 || pb::vezCapture(png.c_str()) != 0)
            return nullptr;
        return rm::playback::detail::LoadPicture(png);
    };
    auto shown = capture(5.0);
    auto later = capture(5.3);
    pb::close_sdl();
    rmtest::WaitUntil([] { return pb::engineInfo().state == pb::PlayState::Closed; }, 3000);
    pb::setVideoSurface(nullptr);
    ASSERT_TRUE(shown && later);
    ASSERT_EQ(shown->width, 1920);
    ASSERT_EQ(shown->height, 1080);
    const double d = MeanAbsDiff(*Scaled(*shown, 480, 270), *picture);
    EXPECT_LT(d, 2.5);
    EXPECT_GT(MeanAbsDiff(*Scaled(*later, 480, 270), *picture), d + 2.0);
}
