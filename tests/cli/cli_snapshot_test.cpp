// reelmaker-cli snapshot: writes the output frame at a second with the picture options, refuses
// bad input with the usage status and fails plainly on files it cannot use.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/media_fixture.h"

namespace {

int RunCli(const std::string& args)
{
    std::string cmd = std::string(RM_APP_DIR "/reelmaker-cli snapshot ") + args + " >/dev/null 2>&1";
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct Rgb24 {
    int w = 0, h = 0;
    std::vector<uint8_t> px;
};

// Decodes a picture file to RGB (independently of the engine's own reader).
Rgb24 Read(const std::string& path)
{
    Rgb24 out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return out;
    avformat_find_stream_info(fmt, nullptr);
    const AVCodec* codec = avcodec_find_decoder(fmt->streams[0]->codecpar->codec_id);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, fmt->streams[0]->codecpar);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* f = av_frame_alloc();
    if (avcodec_open2(dec, codec, nullptr) >= 0 && av_read_frame(fmt, pkt) >= 0 &&
        avcodec_send_packet(dec, pkt) >= 0 && avcodec_receive_frame(dec, f) >= 0) {
        out.w = f->width;
        out.h = f->height;
        out.px.resize(size_t(out.w) * out.h * 3);
        SwsContext* sws = sws_getContext(f->width, f->height, AVPixelFormat(f->format), f->width, f->height,
                                         AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
        uint8_t* dst[4] = {out.px.data(), nullptr, nullptr, nullptr};
        int stride[4] = {3 * out.w, 0, 0, 0};
        sws_scale(sws, f->data, f->linesize, 0, f->height, dst, stride);
        sws_freeContext(sws);
    }
    av_frame_free(&f);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return out;
}

std::string Source()
{
    rmtest::FixtureSpec s;
    s.width = 160;
    s.height = 120;
    s.seconds = 3;
    s.audioCodec = "";
    return rmtest::Fixture("snap.mp4", s);
}

TEST(CliSnapshot, WritesTheFrameWithThePictureOptions)
{
    std::string dir = rmtest::FixtureDir();
    std::string plain = dir + "/plain.png", flipped = dir + "/flipped.png";
    ASSERT_EQ(RunCli(Source() + " --at 2 --out " + plain), 0);
    ASSERT_EQ(RunCli(Source() + " --at=2 --flip h --out " + flipped), 0);
    Rgb24 a = Read(plain), b = Read(flipped);
    ASSERT_EQ(a.w, 160);
    ASSERT_EQ(a.h, 120);
    ASSERT_EQ(b.w, 160);
    // The flipped picture is the plain one mirrored.
    double diff = 0, mirroredDiff = 0;
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++)
            for (int c = 0; c < 3; c++) {
                int pa = a.px[(size_t(y) * a.w + x) * 3 + c];
                diff += std::abs(pa - int(b.px[(size_t(y) * a.w + x) * 3 + c]));
                mirroredDiff += std::abs(pa - int(b.px[(size_t(y) * a.w + (a.w - 1 - x)) * 3 + c]));
            }
    double n = a.w * a.h * 3.0;
    EXPECT_LT(mirroredDiff / n, 1.0);
    EXPECT_GT(diff / n, 10.0);

    // Inside the last frame's time (2.96..3.0 s at 25 a second): that last frame, as the ffmpeg
    // tool picks it out by number (the fixture's frames differ: they carry a counter).
    const std::string last = dir + "/last.png", lastRef = dir + "/last_ref.png", before = dir + "/before_ref.png";
    EXPECT_EQ(RunCli(Source() + " --at 2.99 --out " + last), 0);
    for (auto [n, file] : {std::pair{74, lastRef}, {73, before}})
        ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + Source() + "' -vf 'select=eq(n\\," + std::to_string(n) +
                               ")' -frames:v 1 '" + file + "'").c_str()), 0);
    const Rgb24 got = Read(last), want = Read(lastRef), previous = Read(before);
    ASSERT_EQ(got.px.size(), want.px.size());
    ASSERT_EQ(previous.px.size(), want.px.size());
    auto meanDiff = [](const Rgb24& x, const Rgb24& y) {
        double d = 0;
        for (size_t i = 0; i < x.px.size(); ++i)
            d += std::abs(int(x.px[i]) - int(y.px[i]));
        return d / double(x.px.size());
    };
    // The two readers turn colour into RGB a little differently, so "the same" is "much nearer
    // the last frame than the one before it".
    const double toLast = meanDiff(got, want), toPrevious = meanDiff(got, previous);
    EXPECT_LT(toLast, 8.0);
    EXPECT_LT(toLast * 1.5, toPrevious) << toLast;

    // Gray, cropped and in the other formats; the size stays the source's.
    for (const char* name : {"g.jpg", "g.bmp"}) {
        std::string out = dir + "/" + name;
        ASSERT_EQ(RunCli(Source() + " --at 1.5 --effect gray --crop 10,10,20,20 --zoom full --brightness 10 "
                         "--contrast 10 --saturation -20 --out " + out), 0) << name;
        Rgb24 g = Read(out);
        ASSERT_EQ(g.w, 160) << name;
        ASSERT_EQ(g.h, 120) << name;
        double spread = 0;
        for (size_t i = 0; i < g.px.size(); i += 3)
            spread += std::abs(g.px[i] - g.px[i + 1]) + std::abs(g.px[i + 1] - g.px[i + 2]);
        EXPECT_LT(spread / (g.w * g.h), 6.0) << name << ": a gray picture has no colour";
    }
}

TEST(CliSnapshot, RefusesBadInput)
{
    std::string out = rmtest::FixtureDir() + "/x.png";
    struct Case { std::string args; int status; };
    Case cases[] = {
        {Source() + " --out " + out, 2},                      // no --at
        {Source() + " --at 1", 2},                            // no --out
        {"--at 1 --out " + out, 2},                           // no file
        {Source() + " --at 1 --out " + out + ".gif", 2},      // unknown format
        {Source() + " --at -1 --out " + out, 2},
        {Source() + " --at 1 --effect sepia --out " + out, 2},
        {Source() + " --at 1 --crop 1,2,3 --out " + out, 2},
        {Source() + " --at 1 --flip x --out " + out, 2},
        {Source() + " --at 1 --brightness 101 --out " + out, 2},
        {Source() + " --at 1 --bogus --out " + out, 2},
        {rmtest::FixtureDir() + "/missing.mp4 --at 1 --out " + out, 1},
        {Source() + " --at 30 --out " + out, 1},               // past the end
        {Source() + " --at 1 --out /no/such/dir/x.png", 1},
    };
    for (auto& c : cases)
        EXPECT_EQ(RunCli(c.args), c.status) << c.args;
}

} // namespace
