// generateFLVPlayer: the runtime SWF + this output's configuration, assets and (type 1) the
// video frames and their sound on a sprite's timeline.

#include "engines/player_maker/player_maker.h"

#include "engines/player_maker/flv_reader.h"
#include "engines/player_maker/json_text.h"
#include "engines/player_maker/mp3_frames.h"
#include "engines/player_maker/swf_writer.h"
#include "engines/player_maker/templates.h"
#include "engines/player_maker/text_raster.h"
#include "engines/player_maker/url_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>
#include <vector>

namespace rm::player_maker {

void setLastGenerateError(const std::string& text);

namespace {

namespace fs = std::filesystem;
using swf::Bytes;

// Character ids: 0 is the root's (its SymbolClass entry), so ours start at 1.
constexpr uint16_t kConfigId = 1;
constexpr uint16_t kVideoStreamId = 2;
constexpr uint16_t kVideoSpriteId = 3;

std::string text(const char* field, std::size_t cap)
{
    return std::string(field, strnlen(field, cap));
}
template <std::size_t N>
std::string text(const char (&field)[N]) { return text(field, N); }

uint32_t rgb(int r, int g, int b)
{
    auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); };
    return (c(r) << 16) | (c(g) << 8) | c(b);
}

bool isJpeg(const Bytes& b) { return b.size() > 3 && b[0] == 0xff && b[1] == 0xd8; }
bool isPng(const Bytes& b) { return b.size() > 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G'; }

std::string baseName(const std::string& p)
{
    auto s = p.find_last_of("/\\");
    return s == std::string::npos ? p : p.substr(s + 1);
}

// Collects the assets appended after the configuration's JSON.
class Assets {
public:
    int addPicture(const std::string& path)
    {
        Bytes b;
        if (path.empty() || !swf::ReadFile(path, b) || !(isJpeg(b) || isPng(b)))
            return -1;
        return add("jpeg", 0, 0, std::move(b));
    }
    int addText(const TextBitmap& t)
    {
        return add("argb", t.width, t.height, Bytes(t.argb.begin(), t.argb.end()));
    }
    std::string json() const { return "[" + m_list + "]"; }
    const Bytes& data() const { return m_data; }
    // Each asset's bytes in base64, as a JSON array (the HTML5 design file's "data").
    std::string base64Json() const
    {
        std::string out = "[";
        for (std::size_t i = 0; i < m_spans.size(); ++i) {
            if (i)
                out += ",";
            out += "\"" + Base64(m_data.data() + m_spans[i].first, m_spans[i].second) + "\"";
        }
        return out + "]";
    }

private:
    int add(const char* kind, int w, int h, Bytes b)
    {
        JsonObject o;
        o.str("kind", kind).integer("off", static_cast<long long>(m_data.size()))
            .integer("len", static_cast<long long>(b.size())).integer("w", w).integer("h", h);
        if (!m_list.empty())
            m_list += ",";
        m_list += o.text();
        m_spans.emplace_back(m_data.size(), b.size());
        m_data.insert(m_data.end(), b.begin(), b.end());
        return m_count++;
    }
    static std::string Base64(const uint8_t* p, std::size_t n)
    {
        static const char abc[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        out.reserve((n + 2) / 3 * 4);
        for (std::size_t i = 0; i < n; i += 3) {
            const uint32_t v = (uint32_t(p[i]) << 16) | (i + 1 < n ? uint32_t(p[i + 1]) << 8 : 0) |
                               (i + 2 < n ? uint32_t(p[i + 2]) : 0);
            out += abc[(v >> 18) & 63];
            out += abc[(v >> 12) & 63];
            out += i + 1 < n ? abc[(v >> 6) & 63] : '=';
            out += i + 2 < n ? abc[v & 63] : '=';
        }
        return out;
    }
    std::string m_list;
    std::vector<std::pair<std::size_t, std::size_t>> m_spans;
    Bytes m_data;
    int m_count = 0;
};

std::string keyframeJson(const std::vector<double>& times)
{
    // A long video's index is thinned to keep the configuration small; seeking still lands on
    // a real keyframe.
    std::size_t step = std::max<std::size_t>(1, times.size() / 2000 + 1);
    std::string out = "[";
    for (std::size_t i = 0; i < times.size(); i += step) {
        if (out.size() > 1)
            out += ",";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", times[i]);
        out += buf;
    }
    return out + "]";
}

// Where the embedded video's bytes go: counted (the sprite's length comes before its content)
// or written into the SWF being made.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool put(const uint8_t* p, std::size_t n) = 0;
    bool put(const Bytes& b) { return put(b.data(), b.size()); }
    bool tag(uint16_t code, const Bytes& body) { return put(swf::TagHeader(code, body.size())) && put(body); }
};

class CountingSink : public ByteSink {
public:
    bool put(const uint8_t*, std::size_t n) override
    {
        m_count += n;
        return true;
    }
    uint64_t count() const { return m_count; }

private:
    uint64_t m_count = 0;
};

class SwfSink : public ByteSink {
public:
    explicit SwfSink(swf::StreamedSwf& out) : m_out(out) {}
    bool put(const uint8_t* p, std::size_t n) override { return m_out.Write(p, n); }

private:
    swf::StreamedSwf& m_out;
};

// The MP3 frames of an FLV's sound tags, in order, read from the file a tag at a time. Bytes
// that are not a frame are skipped, as mp3::SplitFrames does on the whole stream.
class Mp3FrameReader {
public:
    Mp3FrameReader(const std::string& path, const std::vector<flv::AudioTag>& tags)
        : m_file(path, std::ios::binary), m_tags(tags) {}

    // The next whole frame's bytes and facts; false at the end of the sound (or a read error,
    // then failed() is true).
    bool next(Bytes& bytes, mp3::Frame& frame)
    {
        for (;;) {
            if (!available(4))
                return false;
            if (!mp3::ParseFrameHeader(&m_buffer[m_pos], frame)) {
                ++m_pos;
                continue;
            }
            if (frame.size < 4 || !available(frame.size))
                return false;
            bytes.assign(m_buffer.begin() + std::ptrdiff_t(m_pos), m_buffer.begin() + std::ptrdiff_t(m_pos + frame.size));
            m_pos += frame.size;
            return true;
        }
    }
    bool failed() const { return m_failed; }

private:
    bool available(std::size_t n)
    {
        while (m_buffer.size() - m_pos < n) {
            if (m_next >= m_tags.size() || m_failed)
                return false;
            if (m_pos > 0) {
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_pos));
                m_pos = 0;
            }
            const flv::AudioTag& t = m_tags[m_next++];
            const std::size_t at = m_buffer.size();
            m_buffer.resize(at + t.size);
            m_file.seekg(std::streamoff(t.offset));
            if (t.size && !m_file.read(reinterpret_cast<char*>(m_buffer.data() + at), t.size)) {
                m_failed = true;
                return false;
            }
        }
        return true;
    }

    std::ifstream m_file;
    const std::vector<flv::AudioTag>& m_tags;
    std::size_t m_next = 0;
    Bytes m_buffer;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

// What the embedded video will be: checked before anything is written.
struct TimelinePlan {
    std::string path;        // the FLV
    uint16_t frames = 0;
    double fps = 25;
    int width = 0;
    int height = 0;
    bool sound = false;
    int rate = 0;
    int channels = 2;
};

// Whether the FLV can go onto the SWF's timeline as it is; false with the reason otherwise.
bool planTimelineVideo(const flv::FlvFile& f, const std::string& path, int w, int h, TimelinePlan& plan,
                       std::string& why)
{
    if (f.video.empty()) {
        why = "no video frames";
        return false;
    }
    if (f.videoCodec < 2 || f.videoCodec > 5) {
        why = "video codec " + std::to_string(f.videoCodec) + " cannot be embedded";
        return false;
    }
    if (f.video.size() > 65000) {
        why = "too many frames to embed";
        return false;
    }
    plan = TimelinePlan{};
    plan.path = path;
    plan.width = w;
    plan.height = h;
    if (f.audioCodec >= 0 && !f.audio.empty()) {
        if (f.audioCodec != 2) {
            why = "sound format " + std::to_string(f.audioCodec) + " cannot be embedded";
            return false;
        }
        Mp3FrameReader reader(path, f.audio);
        Bytes first;
        mp3::Frame frame;
        if (reader.next(first, frame)) {
            plan.rate = frame.sampleRate;
            plan.channels = frame.channels;
            if (plan.rate != 11025 && plan.rate != 22050 && plan.rate != 44100) {
                why = "MP3 at " + std::to_string(plan.rate) + " Hz cannot be embedded";
                return false;
            }
            plan.sound = true;
        } else if (reader.failed()) {
            why = "cannot read the sound of " + path;
            return false;
        }
    }
    plan.fps = f.frameRate();
    if (plan.fps <= 0 || plan.fps > 120)
        plan.fps = 25;
    plan.frames = static_cast<uint16_t>(f.video.size());
    return true;
}

// The sprite's timeline: one video frame, its place and its sound block per frame. With
// readVideo false the frames are only counted (their sizes are known from the index).
bool spriteTimeline(const flv::FlvFile& f, const TimelinePlan& plan, ByteSink& out, bool readVideo, std::string& why)
{
    if (plan.sound) {
        static const std::map<int, int> rateCode = {{5512, 0}, {11025, 1}, {22050, 2}, {44100, 3}};
        int rc = rateCode.at(plan.rate);
        swf::Writer h2;
        uint8_t fmt = static_cast<uint8_t>((rc << 2) | 0x02 | (plan.channels == 2 ? 1 : 0));
        h2.u8(fmt);                                            // playback: rate, 16 bit, channels
        h2.u8(static_cast<uint8_t>((2 << 4) | fmt));           // stream: MP3 + the same
        h2.u16(static_cast<uint16_t>(std::lround(plan.rate / plan.fps)));
        h2.u16(0);                                             // latency seek
        if (!out.tag(swf::SoundStreamHead, h2.data()))
            return false;
    }
    std::ifstream video;
    if (readVideo) {
        video.open(plan.path, std::ios::binary);
        if (!video) {
            why = "cannot open " + plan.path;
            return false;
        }
    }
    Mp3FrameReader sound(plan.path, f.audio);
    Bytes payload, mp3Frame, blockBody;
    long long emitted = 0;
    bool soundLeft = plan.sound;
    for (uint16_t i = 0; i < plan.frames; ++i) {
        const flv::VideoTag& v = f.video[i];
        {
            swf::Writer vf;
            vf.u16(kVideoStreamId);
            vf.u16(i);
            if (!out.put(swf::TagHeader(swf::VideoFrame, 4 + std::size_t(v.size))) || !out.put(vf.data()))
                return false;
            if (readVideo) {
                payload.resize(v.size);
                video.seekg(std::streamoff(v.offset));
                if (v.size && !video.read(reinterpret_cast<char*>(payload.data()), v.size)) {
                    why = "cannot read video frame " + std::to_string(i) + " of " + plan.path;
                    return false;
                }
                if (!out.put(payload))
                    return false;
            } else if (!out.put(nullptr, v.size)) {
                return false;
            }
        }
        {
            swf::Writer po;
            if (i == 0) {
                po.u8(0x16);  // character, matrix, ratio
                po.u16(1);
                po.u16(kVideoStreamId);
                po.u8(0x00);  // identity matrix
                po.u16(0);
            } else {
                po.u8(0x11);  // move, ratio: show frame i of the stream
                po.u16(1);
                po.u16(i);
            }
            if (!out.tag(swf::PlaceObject2, po.data()))
                return false;
        }
        if (soundLeft) {
            long long target = static_cast<long long>(std::floor((i + 1) * plan.rate / plan.fps));
            int count = 0;
            blockBody.assign(4, 0);
            mp3::Frame fr;
            while (emitted < target) {
                if (!sound.next(mp3Frame, fr)) {
                    soundLeft = false;
                    break;
                }
                blockBody.insert(blockBody.end(), mp3Frame.begin(), mp3Frame.end());
                count += fr.samples;
                emitted += fr.samples;
            }
            if (sound.failed()) {
                why = "cannot read the sound of " + plan.path;
                return false;
            }
            if (count > 0) {
                blockBody[0] = static_cast<uint8_t>(count & 0xff);
                blockBody[1] = static_cast<uint8_t>((count >> 8) & 0xff);
                if (!out.tag(swf::SoundStreamBlock, blockBody))
                    return false;
            }
        }
        if (!out.tag(swf::ShowFrame, {}))
            return false;
    }
    return out.tag(swf::End, {});
}

// DefineVideoStream and the sprite holding the timeline, written as they are read.
bool writeTimelineVideo(const flv::FlvFile& f, const TimelinePlan& plan, ByteSink& out, std::string& why)
{
    CountingSink counted;
    if (!spriteTimeline(f, plan, counted, false, why))
        return false;
    swf::Writer s;
    s.u16(kVideoStreamId);
    s.u16(plan.frames);
    s.u16(static_cast<uint16_t>(plan.width));
    s.u16(static_cast<uint16_t>(plan.height));
    s.u8(0x01);  // smoothing on, deblocking as the stream says
    s.u8(static_cast<uint8_t>(f.videoCodec));
    if (!out.tag(swf::DefineVideoStream, s.data()))
        return false;
    const uint64_t spriteLength = 4 + counted.count();
    if (spriteLength > 0xffffffffu) {
        why = "the video is too large to embed";
        return false;
    }
    swf::Writer head;
    head.u16(kVideoSpriteId);
    head.u16(plan.frames);
    return out.put(swf::TagHeader(swf::DefineSprite, std::size_t(spriteLength))) && out.put(head.data()) &&
           spriteTimeline(f, plan, out, true, why);
}

std::string hideJson(const FPMUIPlayerOption& p)
{
    JsonObject o;
    o.integer("mute", p.IsHideMuteBtn).integer("full", p.IsHideFullscreenBtn)
        .integer("prenext", p.IsHidePreNextBtn).integer("plBtn", p.IsHidePlaylistBtn)
        .integer("progress", p.IsHidePlayingprocessBar).integer("volume", p.IsHideVolumeBar)
        .integer("time", p.IsHidePlayingTime).integer("playlist", p.IsHidePlayList);
    return o.text();
}

std::string creditJson(const FPMUIInsertAdOption& c, int W, int H, Assets& assets)
{
    JsonObject o;
    o.integer("bg", rgb(c.BackgroundRed, c.BackgroundGreen, c.BackgroundBlue))
        .num("duration", std::max(0, c.Duration));
    o.integer("image", assets.addPicture(text(c.ImagePath)));
    int textAsset = -1;
    TextBitmap tb;
    int left = std::max(0, c.TextX);
    if (RenderText(text(c.TextContent), text(c.FontFile), c.FontSize,
                   rgb(c.FontRed, c.FontGreen, c.FontBlue), std::max(8, W - left), 0, tb))
        textAsset = assets.addText(tb);
    o.integer("text", textAsset).integer("tx", left).integer("ty", c.TextY);
    (void)H;
    return o.text();
}

std::string decorationJson(const FPMUIOverlayADOption& d, const std::string& swfDir, bool embedded,
                           int W, int H, Assets& assets)
{
    if (d.FileType != 1 && d.FileType != 2)
        return {};
    JsonObject o;
    // Anything beyond a frame's size either side of the frame is out of sight anyway.
    int x = std::clamp(d.X, -W, W), y = std::clamp(d.Y, -H, H);
    int w = d.Width > 0 ? std::min(d.Width, 2 * W) : std::max(1, W - x);
    int h = d.Height > 0 ? std::min(d.Height, 2 * H) : std::max(1, H - y);
    o.integer("x", x).integer("y", y).integer("w", w).integer("h", h)
        .integer("start", d.StartTime).integer("len", d.Length)
        .str("url", text(d.URL)).str("target", text(d.Target).empty() ? "_blank" : text(d.Target));
    int asset = -1;
    if (d.FileType == 1) {
        std::string img = text(d.ImagePath);
        std::string path = img;
        if (!embedded && !img.empty() && !fs::path(img).is_absolute())
            path = (fs::path(swfDir) / img).string();
        asset = assets.addPicture(path);
        if (asset < 0 && !img.empty())
            o.str("src", FileNameUrl(baseName(img)));
    } else {
        std::string font = text(d.FontName);
        std::error_code ec;
        if (!font.empty() && !fs::is_regular_file(font, ec))
            font = FontFileForFace(font);
        TextBitmap tb;
        if (RenderText(text(d.TextContent), font, d.FontSize, rgb(d.FontRed, d.FontGreen, d.FontBlue),
                       w, h, tb))
            asset = assets.addText(tb);
    }
    o.integer("asset", asset);
    return o.text();
}

// The HTML5 design file (see designFilePath): written whole under a temporary name and renamed.
// No browser video: no design file, and one left from an earlier player of that name goes.
bool writeDesignFile(const FPMUIGroupOption& group, const std::string& configJson, const Assets& assets)
{
    const std::string path = designFilePath(text(group.SwfPath));
    std::string videos = "[";
    bool any = false;
    for (const FPMUIMediaOption* m = group.MediaList; m; m = m->Next) {
        const std::string v = text(m->BrowserVideoFile);
        any = any || !v.empty();
        if (videos.size() > 1)
            videos += ",";
        videos += JsonString(v.empty() ? std::string() : FileNameUrl(baseName(v)));
    }
    videos += "]";
    std::error_code ec;
    if (!any || group.IsPreview) {
        fs::remove(path, ec);
        return true;
    }
    JsonObject d;
    d.raw("player", configJson).raw("videos", videos).raw("data", assets.base64Json());
    const std::string body = "// The design of the player " + JsonString(baseName(text(group.SwfPath))) +
                             " for pages shown without Flash.\nRmTwinDesign(" + d.text() + ");\n";
    const std::string part = path + ".part";
    {
        std::ofstream f(part, std::ios::binary | std::ios::trunc);
        if (!f || !f.write(body.data(), std::streamsize(body.size())) || !f.flush()) {
            f.close();
            fs::remove(part, ec);
            return false;
        }
    }
    fs::rename(part, path, ec);
    if (ec) {
        fs::remove(part, ec);
        return false;
    }
    return true;
}

// The SWF is written under a temporary name that goes with a failed writer, so a failure
// leaves no file to remove.
int fail(int code, const std::string& why)
{
    setLastGenerateError(why);
    return code;
}

} // namespace

int generateFLVPlayer(FPMUIGroupOption* group)
{
    if (!group || !group->Player)
        return fail(FPM_ERR_ARGUMENT, "no group or player option");
    const std::string swfPath = text(group->SwfPath);
    if (swfPath.empty())
        return fail(FPM_ERR_ARGUMENT, "no SWF path");
    if (!group->MediaList)
        return fail(FPM_ERR_ARGUMENT, "no video in the group");
    const FPMUIPlayerOption& p = *group->Player;
    const int type = group->Generate && group->Generate->SwfType == 1 ? 1 : 2;
    const std::string prefix = filePrefixPath();
    const std::string swfDir = fs::path(swfPath).parent_path().string();

    Bytes runtimeFile;
    std::vector<swf::Tag> runtime;
    uint8_t version = 10;
    std::string err;
    const std::string runtimePath = prefix + "templates/player.swf";
    if (!swf::ReadFile(runtimePath, runtimeFile) || !swf::ReadSwf(runtimeFile, version, runtime, err))
        return fail(FPM_ERR_RUNTIME, "cannot read the player runtime " + runtimePath + " " + err);

    const FPMUIMediaOption& first = *group->MediaList;
    int W = p.Width > 0 ? p.Width : (first.Width > 0 ? first.Width : 320);
    int H = p.Height > 0 ? p.Height : (first.Height > 0 ? first.Height : 240);
    W = std::clamp(W, 16, 4000);
    H = std::clamp(H, 16, 4000);

    Assets assets;
    TimelinePlan timeline;
    bool embedded = false;
    double fps = (p.FrameRate >= 10 && p.FrameRate <= 60) ? p.FrameRate : 25;
    uint16_t videoFrames = 0;
    flv::FlvFile movie;
    if (type == 1) {
        std::string why;
        // Only the index: the frames are copied from the file while the SWF is written.
        if (flv::ReadFlv(text(first.VideoFile), movie, false, why)) {
            int vw = first.Width > 0 ? first.Width : movie.width;
            int vh = first.Height > 0 ? first.Height : movie.height;
            if (movie.width > 0 && movie.height > 0) {
                vw = movie.width;
                vh = movie.height;
            }
            embedded = planTimelineVideo(movie, text(first.VideoFile), vw, vh, timeline, why);
            if (embedded) {
                videoFrames = timeline.frames;
                fps = timeline.fps;
            }
        } else if (!fs::exists(text(first.VideoFile))) {
            return fail(FPM_ERR_MEDIA, why);
        }
        // A file that cannot be embedded is played from beside the SWF instead.
    }

    // media list
    std::string mediaJson = "[";
    for (const FPMUIMediaOption* m = group->MediaList; m; m = m->Next) {
        JsonObject o;
        std::string video = text(m->VideoFile);
        std::string pic = text(m->PictureFile);
        o.str("title", text(m->Title));
        int mw = m->Width, mh = m->Height;
        if (type == 1) {
            o.str("url", FileNameUrl(baseName(video)));
            o.integer("thumbAsset", assets.addPicture(pic));
            if (m == group->MediaList && !movie.video.empty()) {
                o.num("duration", embedded ? videoFrames / fps : movie.duration());
                if (movie.width > 0) {
                    mw = movie.width;
                    mh = movie.height;
                }
                if (!embedded)
                    o.raw("keyframes", keyframeJson(movie.keyframeTimes));
            }
        } else {
            o.str("url", FileNameUrl(video)).str("thumb", FileNameUrl(pic));
            flv::FlvFile facts;
            std::string why;
            fs::path local = fs::path(video).is_absolute() ? fs::path(video) : fs::path(swfDir) / video;
            if (flv::ReadFlv(local.string(), facts, false, why)) {
                o.num("duration", facts.duration()).raw("keyframes", keyframeJson(facts.keyframeTimes));
                if (facts.width > 0) {
                    mw = facts.width;
                    mh = facts.height;
                }
            }
        }
        o.integer("w", mw).integer("h", mh);
        if (mediaJson.size() > 1)
            mediaJson += ",";
        mediaJson += o.text();
    }
    mediaJson += "]";

    JsonObject cfg;
    cfg.integer("w", W).integer("h", H).integer("type", type).integer("embedded", embedded ? 1 : 0)
        .num("fps", fps).integer("bg", rgb(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue))
        .integer("autoPlay", p.IsAutoPlay).integer("preview", group->IsPreview)
        .integer("skinAutoHide", p.IsSkinAutoHide).integer("mouseAutoHide", p.IsMouseAutoHide)
        .integer("sliderAutoHide", p.IsSliderAutoHide)
        .num("hideDelay", std::clamp(p.HideDelay <= 0 ? 5 : p.HideDelay, 1, 300));

    const std::string skinName = TemplateBaseName(text(p.SkinFile));
    const bool noSkin = skinName == "None" || skinName.empty();
    cfg.integer("hideAll", (p.IsHideAll || noSkin) ? 1 : 0).raw("hide", hideJson(p));
    if (!noSkin) {
        TemplateValues skin;
        if (!ReadTemplate(prefix + "templates/Players/" + skinName + ".tpl", skin))
            skin = DefaultSkin();
        cfg.raw("skin", TemplateJson(skin));
    }
    const std::string effectName = TemplateBaseName(text(p.EffectFile));
    if (!effectName.empty() && effectName != "None") {
        TemplateValues v;
        if (ReadTemplate(prefix + "templates/Effect/" + effectName + ".tpl", v))
            cfg.raw("effect", TemplateJson(v));
    }
    const std::string preName = TemplateBaseName(text(p.PreloaderFile));
    if (!preName.empty() && preName != "None" && !embedded) {
        TemplateValues v;
        if (ReadTemplate(prefix + "templates/Preloader/" + preName + ".tpl", v))
            cfg.raw("preloader", TemplateJson(v));
    }
    cfg.raw("media", mediaJson);
    if (group->HeadCredit)
        cfg.raw("head", creditJson(*group->HeadCredit, W, H, assets));
    if (group->TailCredit)
        cfg.raw("tail", creditJson(*group->TailCredit, W, H, assets));
    if (group->Overlay) {
        std::string d = decorationJson(*group->Overlay, swfDir, type == 1, W, H, assets);
        if (!d.empty())
            cfg.raw("deco", d);
    }
    cfg.raw("assets", assets.json());

    // configuration blob: [u32 big-endian JSON length][JSON][assets]
    const std::string json = cfg.text();
    Bytes blob;
    uint32_t n = static_cast<uint32_t>(json.size());
    blob.push_back(n >> 24);
    blob.push_back((n >> 16) & 0xff);
    blob.push_back((n >> 8) & 0xff);
    blob.push_back(n & 0xff);
    blob.insert(blob.end(), json.begin(), json.end());
    blob.insert(blob.end(), assets.data().begin(), assets.data().end());

    // Assemble, straight into the file: the runtime's tags with our definitions before its code
    // and one SymbolClass. A small player is squeezed hard; one with its video is mostly frames
    // zlib barely shrinks, where the fastest level costs under 1% in size and saves most of the time.
    const bool large = embedded || runtimeFile.size() + blob.size() >= (1u << 20);
    swf::StreamedSwf out(swfPath, std::max<uint8_t>(version, 10), large ? 1 : 9);
    std::vector<swf::SymbolEntry> symbols;
    out.Begin(W, H, fps, 1);
    {
        swf::Writer fa;
        fa.u32(0x08);  // ActionScript 3
        out.Tag(swf::FileAttributes, fa.data());
        swf::Writer bg;
        uint32_t c = rgb(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue);
        bg.u8(c >> 16);
        bg.u8((c >> 8) & 0xff);
        bg.u8(c & 0xff);
        out.Tag(swf::SetBackgroundColor, bg.data());
    }
    bool definitionsDone = false;
    std::string videoError;
    auto addDefinitions = [&] {
        if (definitionsDone)
            return;
        definitionsDone = true;
        swf::Writer bd;
        bd.u16(kConfigId);
        bd.u32(0);
        bd.bytes(blob);
        out.Tag(swf::DefineBinaryData, bd.data());
        symbols.push_back({kConfigId, "RmConfig"});
        if (embedded) {
            SwfSink sink(out);
            if (!writeTimelineVideo(movie, timeline, sink, videoError) && videoError.empty())
                videoError = "cannot write " + swfPath;
            symbols.push_back({kVideoSpriteId, "RmVideoClip"});
        }
    };
    for (const auto& t : runtime) {
        switch (t.code) {
        case swf::FileAttributes:
        case swf::SetBackgroundColor:
        case swf::Metadata:
        case swf::ShowFrame:
            break;
        case swf::SymbolClass:
            for (auto& e : swf::ParseSymbolClass(t.body))
                symbols.push_back(e);
            break;
        case swf::DoABC:
            addDefinitions();
            out.Tag(t.code, t.body);
            break;
        default:
            out.Tag(t.code, t.body);
        }
    }
    addDefinitions();
    out.Tag(swf::SymbolClass, swf::MakeSymbolClass(symbols));
    out.Tag(swf::ShowFrame, {});
    if (!videoError.empty() && out.ok())
        return fail(FPM_ERR_MEDIA, videoError);  // the FLV changed or went while being read
    if (!out.Finish()) {
        const int err = out.Error();
        return fail(FPM_ERR_WRITE, "cannot write " + swfPath + (err ? std::string(": ") + std::strerror(err) : ""));
    }
    if (!writeDesignFile(*group, json, assets)) {
        std::error_code ec;
        fs::remove(swfPath, ec);
        return fail(FPM_ERR_WRITE, "cannot write " + designFilePath(swfPath));
    }
    setLastGenerateError({});
    return FPM_OK;
}

} // namespace rm::player_maker

namespace rm::player_maker {

std::string designFilePath(const std::string& swfPath)
{
    std::string stem = swfPath;
    if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".swf") == 0)
        stem.resize(stem.size() - 4);
    return stem + ".html5.js";
}

bool playerLoadsVideoBesideIt(const char* swfPath)
{
    if (!swfPath)
        return false;
    swf::Bytes file;
    std::vector<swf::Tag> tags;
    uint8_t version = 0;
    std::string err;
    if (!swf::ReadFile(swfPath, file) || !swf::ReadSwf(file, version, tags, err))
        return false;
    for (const auto& t : tags) {
        if (t.code != swf::DefineBinaryData || t.body.size() < 10 || (t.body[0] | (t.body[1] << 8)) != kConfigId)
            continue;
        const uint8_t* d = t.body.data() + 6;
        const uint32_t n = (uint32_t(d[0]) << 24) | (d[1] << 16) | (d[2] << 8) | d[3];
        if (10 + std::size_t(n) > t.body.size())
            return false;
        const std::string json(reinterpret_cast<const char*>(d + 4), n);
        return json.find("\"embedded\":0") != std::string::npos;
    }
    return false;
}

} // namespace rm::player_maker
