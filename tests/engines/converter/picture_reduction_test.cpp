// Large downscales: a box reduction runs ahead of the scaler where it is exact. Seen from outside:
// the sizes the scaler is given (its own log line), the reduced pixels, and an output that shows
// the same picture, colours and placement as the one-step scale of every picture at full size.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixfmt.h>
}

#include "engines/converter/converter.h"
#include "engines/converter/filter_graph.h"
#include "engines/converter/picture_reduction.h"
#include "support/colour_fixtures.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"

using namespace rm::converter;
using namespace rmtest::colour;

namespace {

// ------------------------------------------------------------------ the decision

struct FactorCase {
    const char* name;
    int width, height;
    int pixelFormat;
    int expected;
    void (*adjust)(PictureSettings&, PictureSource&);
};

void Plain(PictureSettings&, PictureSource&) {}

TEST(BoxReduction, FactorByKindOfPicture)
{
    const FactorCase cases[] = {
        {"4K to 480x360", 3840, 2160, AV_PIX_FMT_YUV420P, 4, Plain},
        {"1080p", 1920, 1080, AV_PIX_FMT_YUV420P, 2, Plain},
        {"ProRes 4:2:2 10-bit", 1920, 1080, AV_PIX_FMT_YUV422P10LE, 2, Plain},
        {"camera MJPEG, full range", 1920, 1080, AV_PIX_FMT_YUVJ420P, 2, Plain},
        {"phone held upright", 1080, 1920, AV_PIX_FMT_YUV420P10LE, 2,
         [](PictureSettings&, PictureSource& s) { s.Rotation = 90; }},
        {"mirrored front camera", 1920, 1080, AV_PIX_FMT_YUV420P, 2,
         [](PictureSettings&, PictureSource& s) { s.Mirror = true; }},
        // 4K cropped a little: no longer 4 x 2 x 480 wide, so blocks of 2.
        {"crop on block edges", 3840, 2160, AV_PIX_FMT_YUV420P, 2,
         [](PictureSettings& p, PictureSource&) { p.CropLeft = 16; p.CropTop = 4; p.CropRight = 8; }},
        {"grey and brightness work pixel by pixel", 1920, 1080, AV_PIX_FMT_YUV420P, 2,
         [](PictureSettings& p, PictureSource&) { p.Effect = kEffectGray; p.Brightness = 30; p.VerticalFlip = true; }},
        // Too small for a factor of 2 to leave the scaler twice its output.
        {"720p", 1280, 720, AV_PIX_FMT_YUV420P, 1, Plain},
        {"widescreen DV", 720, 576, AV_PIX_FMT_YUV420P, 1, Plain},
        // Exactness first: anything that would move a pixel keeps the one-step scale.
        {"interlaced 1080i", 1920, 1080, AV_PIX_FMT_YUV420P, 1,
         [](PictureSettings&, PictureSource& s) { s.Interlaced = true; }},
        {"HDR", 1920, 1080, AV_PIX_FMT_YUV420P10LE, 1,
         [](PictureSettings&, PictureSource& s) { s.Transfer = AVCOL_TRC_SMPTE2084; }},
        {"width not whole blocks", 1918, 1080, AV_PIX_FMT_YUV420P, 1, Plain},
        {"chroma not whole blocks", 1922, 1080, AV_PIX_FMT_YUV420P, 1, Plain},
        {"crop off block edges", 3840, 2160, AV_PIX_FMT_YUV420P, 1,
         [](PictureSettings& p, PictureSource&) { p.CropLeft = 6; }},
        {"emboss looks at neighbours", 1920, 1080, AV_PIX_FMT_YUV420P, 1,
         [](PictureSettings& p, PictureSource&) { p.Effect = kEffectEmboss; }},
        {"old film grain", 1920, 1080, AV_PIX_FMT_YUV420P, 1,
         [](PictureSettings& p, PictureSource&) { p.Effect = kEffectOldFilm; }},
        {"transparency", 1920, 1080, AV_PIX_FMT_YUVA420P, 1, Plain},
        {"RGB", 1920, 1080, AV_PIX_FMT_GBRP, 1, Plain},
        {"two-plane NV12", 1920, 1080, AV_PIX_FMT_NV12, 1, Plain},
        {"16-bit samples", 1920, 1080, AV_PIX_FMT_YUV420P16LE, 1, Plain},
    };
    for (const FactorCase& c : cases) {
        PictureSettings s;
        PictureSource src{c.width, c.height, 1, 1};
        c.adjust(s, src);
        PictureTarget target{480, 360, 25};
        EXPECT_EQ(ReductionFactor(s, src, target, c.pixelFormat), c.expected) << c.name;
    }
    // No frame size: the picture keeps its own, nothing is scaled down.
    EXPECT_EQ(ReductionFactor({}, PictureSource{3840, 2160, 1, 1}, PictureTarget{}, AV_PIX_FMT_YUV420P), 1);
    // Switched off, as the benches compare.
    setBoxReduction(false);
    EXPECT_EQ(ReductionFactor({}, PictureSource{3840, 2160, 1, 1}, PictureTarget{480, 360, 25}, AV_PIX_FMT_YUV420P), 1);
    setBoxReduction(true);
}

// An untagged picture's colours follow its size; the reduced picture must keep the whole one's.
TEST(BoxReduction, ReducedSourceKeepsTheWholePicturesColours)
{
    PictureSource hd{1920, 1080, 1, 1};
    hd.ColorSpace = AVCOL_SPC_UNSPECIFIED;
    const ColourDescription whole = ResolvedColour(hd);
    const ColourDescription reduced = ResolvedColour(ReducedSource(hd, 4));
    EXPECT_EQ(reduced.Matrix, whole.Matrix);
    EXPECT_EQ(reduced.FullRange, whole.FullRange);
    EXPECT_EQ(reduced.Primaries, whole.Primaries);
    EXPECT_EQ(reduced.Transfer, whole.Transfer);
}

// ------------------------------------------------------------------ the pixels

struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using Frame = std::unique_ptr<AVFrame, FrameDeleter>;

// A picture whose every sample is value(plane, x, y).
template <typename T, typename F>
Frame Pattern(int format, int w, int h, F value)
{
    Frame f(av_frame_alloc());
    f->format = format;
    f->width = w;
    f->height = h;
    if (av_frame_get_buffer(f.get(), 0) < 0)
        return nullptr;
    // 4:2:0 or 4:2:2: the colour planes are half as wide, and for 4:2:0 half as high.
    const int chromaHeight = format == AV_PIX_FMT_YUV420P ? h / 2 : h;
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < (p ? chromaHeight : h); ++y)
            for (int x = 0; x < (p ? w / 2 : w); ++x)
                reinterpret_cast<T*>(f->data[p] + y * f->linesize[p])[x] = T(value(p, x, y));
    return f;
}

// Each block of the reduced picture is the rounded mean of its k x k samples, in every plane, for
// rows wider than the vector step and for the remainder at a row's end.
TEST(BoxReduction, BlocksAreAveragedAndRounded)
{
    auto v8 = [](int p, int x, int y) { return (x * 37 + y * 11 + p * 53) % 256; };
    auto v10 = [](int p, int x, int y) { return (x * 97 + y * 29 + p * 131) % 1024; };
    struct Case {
        const char* name;
        int format;
        bool words;
        int k;
    };
    const Case cases[] = {
        {"8-bit 4:2:0 by 2", AV_PIX_FMT_YUV420P, false, 2},
        {"8-bit 4:2:0 by 4", AV_PIX_FMT_YUV420P, false, 4},
        {"10-bit 4:2:2 by 2", AV_PIX_FMT_YUV422P10LE, true, 2},
        {"10-bit 4:2:2 by 8", AV_PIX_FMT_YUV422P10LE, true, 8},
    };
    for (const Case& c : cases) {
        // 88 columns: 5 vector steps of 16 bytes and a remainder of 8 (chroma: 2 steps and 12).
        const int w = 88 * c.k / 2 - (88 * c.k / 2) % (2 * c.k), h = 4 * c.k;
        Frame in = c.words ? Pattern<uint16_t>(c.format, w, h, v10) : Pattern<uint8_t>(c.format, w, h, v8);
        ASSERT_TRUE(in) << c.name;
        in->color_range = AVCOL_RANGE_MPEG;
        in->colorspace = AVCOL_SPC_BT709;
        in->pts = 1234;
        Frame out(av_frame_alloc());
        ASSERT_TRUE(ReducePicture(in.get(), c.k, out.get())) << c.name;
        ASSERT_EQ(out->width, w / c.k) << c.name;
        ASSERT_EQ(out->height, h / c.k) << c.name;
        EXPECT_EQ(out->format, c.format) << c.name;
        EXPECT_EQ(out->pts, 1234) << c.name;
        EXPECT_EQ(out->colorspace, AVCOL_SPC_BT709) << c.name;
        int wrong = 0;
        for (int p = 0; p < 3; ++p) {
            const int pw = (p ? w / 2 : w) / c.k;
            const int ph = (p && c.format == AV_PIX_FMT_YUV420P ? h / 2 : h) / c.k;
            for (int y = 0; y < ph; ++y)
                for (int x = 0; x < pw; ++x) {
                    long sum = 0;
                    for (int dy = 0; dy < c.k; ++dy)
                        for (int dx = 0; dx < c.k; ++dx)
                            sum += c.words ? v10(p, x * c.k + dx, y * c.k + dy) : v8(p, x * c.k + dx, y * c.k + dy);
                    const long want = (sum + c.k * c.k / 2) / (c.k * c.k);
                    const long got = c.words ? reinterpret_cast<const uint16_t*>(out->data[p] + y * out->linesize[p])[x]
                                             : (out->data[p] + y * out->linesize[p])[x];
                    if (got != want && wrong++ < 3)
                        ADD_FAILURE() << c.name << ": plane " << p << " block " << x << "," << y << " is " << got
                                      << ", not " << want;
                }
        }
        EXPECT_EQ(wrong, 0) << c.name;
    }
}

// ------------------------------------------------------------------ whole conversions

// The input sizes the library's scalers were configured with, for scalers that change the size
// (their "w:.. h:.. -> w:.. h:.." line), while a conversion runs.
class ScalerSizes {
public:
    ScalerSizes()
    {
        std::lock_guard lock(s_mutex);
        s_seen = &m_seen;
        m_level = av_log_get_level();
        av_log_set_level(AV_LOG_VERBOSE);
        av_log_set_callback(&ScalerSizes::Log);
    }
    ~ScalerSizes()
    {
        std::lock_guard lock(s_mutex);
        s_seen = nullptr;
        av_log_set_level(m_level);
        setLibraryLogging(false);
    }
    std::set<std::pair<int, int>> inputs() const
    {
        std::lock_guard lock(s_mutex);
        return m_seen;
    }

private:
    static void Log(void*, int level, const char* fmt, va_list args)
    {
        if (level > AV_LOG_VERBOSE)
            return;
        char line[512];
        va_list copy;
        va_copy(copy, args);
        std::vsnprintf(line, sizeof line, fmt, copy);
        va_end(copy);
        const char* arrow = std::strstr(line, " -> w:");
        int iw = 0, ih = 0, ow = 0, oh = 0;
        // The scale filter's line names the pixel formats; pad's and others' do not.
        if (!arrow || !std::strstr(line, " fmt:") || std::sscanf(line, "w:%d h:%d", &iw, &ih) != 2 || std::sscanf(arrow, " -> w:%d h:%d", &ow, &oh) != 2)
            return;
        std::lock_guard lock(s_mutex);
        if (s_seen && (iw != ow || ih != oh))
            s_seen->insert({iw, ih});
    }
    static inline std::mutex s_mutex;
    static inline std::set<std::pair<int, int>>* s_seen = nullptr;
    std::set<std::pair<int, int>> m_seen;
    int m_level = AV_LOG_INFO;
};

struct JobDeleter {
    void operator()(ConvertJob* j) const { releaseMediaUIOption(j); }
};

// Converts `source` to lossless 480x360 (exact pixels to compare), with or without the reduction;
// returns the output path ("" on failure) and the scalers' input sizes.
std::string ConvertSmall(const std::string& source, const std::string& name, bool reduce,
                         std::set<std::pair<int, int>>& scalerInputs)
{
    const std::string out = rmtest::FixtureDir() + "/" + name + (reduce ? "-reduced" : "-whole") + ".mkv";
    std::unique_ptr<ConvertJob, JobDeleter> job(createGroupMediaUIOption(nullptr, "matroska", 0));
    auto set = [](char*& f, const char* v) {
        std::free(f);
        f = CopyText(v);
    };
    set(job->VideoCodec, "ffv1");
    set(job->FrameSize, "480x360");
    job->FrameRate = 25;
    job->Filled = 1;
    std::snprintf(job->OutputPath, sizeof job->OutputPath, "%s", out.c_str());
    createMediaUIOption(job.get(), source.c_str());
    setBoxReduction(reduce);
    int32_t rc;
    {
        ScalerSizes sizes;
        rc = converteToMedia(job.get(), "matroska", 0);
        scalerInputs = sizes.inputs();
    }
    setBoxReduction(true);
    return rc == 0 ? out : "";
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

// Sources as cameras, phones and editors make them, each converted to the player's 480x360 with
// and without the reduction: the scaler is given the reduced picture exactly where it should be,
// and both outputs show the card's patches where and as the source shows them.
TEST(BoxReduction, OutputsShowTheSamePictureAsTheOneStepScale)
{
    using rmtest::sources::Made;
    struct Case {
        const char* name;
        std::string source;
        std::pair<int, int> whole, reduced;  // the scaler's input without and with the reduction
        int top, height;                     // where the picture sits in the 480x360 frame
    };
    const std::string tags709 = " -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv";
    const Case cases[] = {
        // An untagged HD clip is BT.709 by its size: still so when it is reduced below 720 lines.
        {"hd-untagged-1080p", Card("card-1080-untagged.mp4", 1920, 1080, "bt709", "tv", "yuv420p", "-c:v libx264 -crf 4"),
         {1920, 1080}, {960, 540}, 44, 270},
        {"4k-camera", Card("card-2160.mp4", 3840, 2160, "bt709", "tv", "yuv420p", "-c:v libx264 -crf 8" + tags709),
         {3840, 2160}, {960, 540}, 44, 270},
        {"prores-422-10bit",
         Card("card-1080-prores.mov", 1920, 1080, "bt709", "tv", "yuv422p10le", "-c:v prores_ks -profile:v 3" + tags709),
         {1920, 1080}, {960, 540}, 44, 270},
        {"mjpeg-full-range", Card("card-1440-mjpeg.avi", 1920, 1440, "bt601", "pc", "yuvj420p", "-c:v mjpeg -q:v 2"),
         {1920, 1440}, {960, 720}, 0, 360},
        // Woven fields must be taken apart at full size: no reduction.
        {"interlaced-1080i",
         Made("card-1080i.mkv", CardInput(1920, 1080) +
                                    " -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p,setfield=tff"
                                    " -flags +ilme+ildct -c:v mpeg2video -q:v 2 -an"),
         {1920, 1080}, {1920, 1080}, 44, 270},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.source.empty()) << c.name;
        std::set<std::pair<int, int>> wholeSizes, reducedSizes;
        const std::string whole = ConvertSmall(c.source, c.name, false, wholeSizes);
        const std::string reduced = ConvertSmall(c.source, c.name, true, reducedSizes);
        ASSERT_FALSE(whole.empty()) << c.name;
        ASSERT_FALSE(reduced.empty()) << c.name;
        using Sizes = std::set<std::pair<int, int>>;
        EXPECT_EQ(wholeSizes, Sizes{c.whole}) << c.name;
        EXPECT_EQ(reducedSizes, Sizes{c.reduced}) << c.name;

        // At least as close as the one-step scale to the tool's high-quality scale of the source.
        char reference[256];
        std::snprintf(reference, sizeof reference,
                      "bwdif=mode=send_frame:deint=interlaced,scale=480:%d:flags=lanczos+accurate_rnd+full_chroma_int,"
                      "pad=480:360:0:%d",
                      c.height, c.top);
        const std::vector<uint8_t> ideal = Rgb(c.source, 480, 360, reference);
        const std::vector<uint8_t> a = Rgb(whole, 480, 360), b = Rgb(reduced, 480, 360);
        ASSERT_FALSE(ideal.empty() || a.empty() || b.empty()) << c.name;
        EXPECT_LE(MeanDifference(b, ideal), MeanDifference(a, ideal) + 0.1) << c.name;
        for (int i = 0; i < 6; ++i) {
            int x, y;
            PatchCentre(i, 480, c.height, x, y);
            y += c.top;
            const Colour got = Around(b, 480, x, y);
            EXPECT_LT(Off(got, kPatches[i].r, kPatches[i].g, kPatches[i].b), 7)
                << c.name << ": " << kPatches[i].name << " came out " << got.r << "," << got.g << "," << got.b;
        }
    }
}

} // namespace
