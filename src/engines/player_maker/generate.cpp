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
#include <map>

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

private:
    int add(const char* kind, int w, int h, Bytes b)
    {
        JsonObject o;
        o.str("kind", kind).integer("off", static_cast<long long>(m_data.size()))
            .integer("len", static_cast<long long>(b.size())).integer("w", w).integer("h", h);
        if (!m_list.empty())
            m_list += ",";
        m_list += o.text();
        m_data.insert(m_data.end(), b.begin(), b.end());
        return m_count++;
    }
    std::string m_list;
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

// The embedded video: DefineVideoStream + a sprite with one video frame, its place and its
// sound block per frame. Returns false when the file cannot be embedded as it is.
bool buildTimelineVideo(const flv::FlvFile& f, int w, int h, Bytes& tags, uint16_t& frames,
                        double& fps, std::string& why)
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
    std::vector<mp3::Frame> mp3Frames;
    Bytes mp3Data;
    bool sound = false;
    int rate = 0, channels = 2;
    if (f.audioCodec >= 0 && !f.audio.empty()) {
        if (f.audioCodec != 2) {
            why = "sound format " + std::to_string(f.audioCodec) + " cannot be embedded";
            return false;
        }
        for (const auto& a : f.audio)
            mp3Data.insert(mp3Data.end(), a.data.begin(), a.data.end());
        mp3Frames = mp3::SplitFrames(mp3Data);
        if (!mp3Frames.empty()) {
            rate = mp3Frames.front().sampleRate;
            channels = mp3Frames.front().channels;
            if (rate != 11025 && rate != 22050 && rate != 44100) {
                why = "MP3 at " + std::to_string(rate) + " Hz cannot be embedded";
                return false;
            }
            sound = true;
        }
    }
    fps = f.frameRate();
    if (fps <= 0 || fps > 120)
        fps = 25;
    frames = static_cast<uint16_t>(f.video.size());

    swf::Writer out;
    {
        swf::Writer s;
        s.u16(kVideoStreamId);
        s.u16(frames);
        s.u16(static_cast<uint16_t>(w));
        s.u16(static_cast<uint16_t>(h));
        s.u8(0x01);  // smoothing on, deblocking as the stream says
        s.u8(static_cast<uint8_t>(f.videoCodec));
        out.tag(swf::DefineVideoStream, s.data());
    }

    swf::Writer sprite;
    sprite.u16(kVideoSpriteId);
    sprite.u16(frames);
    swf::Writer inner;
    if (sound) {
        static const std::map<int, int> rateCode = {{5512, 0}, {11025, 1}, {22050, 2}, {44100, 3}};
        int rc = rateCode.at(rate);
        swf::Writer h2;
        uint8_t fmt = static_cast<uint8_t>((rc << 2) | 0x02 | (channels == 2 ? 1 : 0));
        h2.u8(fmt);                                            // playback: rate, 16 bit, channels
        h2.u8(static_cast<uint8_t>((2 << 4) | fmt));           // stream: MP3 + the same
        h2.u16(static_cast<uint16_t>(std::lround(rate / fps)));
        h2.u16(0);                                             // latency seek
        inner.tag(swf::SoundStreamHead, h2.data());
    }
    std::size_t nextMp3 = 0;
    long long emitted = 0;
    for (uint16_t i = 0; i < frames; ++i) {
        {
            swf::Writer vf;
            vf.u16(kVideoStreamId);
            vf.u16(i);
            vf.bytes(f.video[i].data);
            inner.tag(swf::VideoFrame, vf.data());
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
            inner.tag(swf::PlaceObject2, po.data());
        }
        if (sound) {
            long long target = static_cast<long long>(std::floor((i + 1) * rate / fps));
            swf::Writer blk;
            int count = 0;
            Bytes payload;
            while (nextMp3 < mp3Frames.size() && emitted < target) {
                const auto& fr = mp3Frames[nextMp3++];
                payload.insert(payload.end(), mp3Data.begin() + fr.offset, mp3Data.begin() + fr.offset + fr.size);
                count += fr.samples;
                emitted += fr.samples;
            }
            if (count > 0) {
                blk.u16(static_cast<uint16_t>(count));
                blk.u16(0);
                blk.bytes(payload);
                inner.tag(swf::SoundStreamBlock, blk.data());
            }
        }
        inner.tag(swf::ShowFrame, {});
    }
    inner.tag(swf::End, {});
    sprite.bytes(inner.data());
    out.tag(swf::DefineSprite, sprite.data());
    tags = std::move(out.data());
    return true;
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

int fail(int code, const std::string& why, const std::string& swfPath)
{
    setLastGenerateError(why);
    std::error_code ec;
    if (!swfPath.empty())
        fs::remove(swfPath + ".part", ec);
    return code;
}

} // namespace

int generateFLVPlayer(FPMUIGroupOption* group)
{
    if (!group || !group->Player)
        return fail(FPM_ERR_ARGUMENT, "no group or player option", {});
    const std::string swfPath = text(group->SwfPath);
    if (swfPath.empty())
        return fail(FPM_ERR_ARGUMENT, "no SWF path", {});
    if (!group->MediaList)
        return fail(FPM_ERR_ARGUMENT, "no video in the group", swfPath);
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
        return fail(FPM_ERR_RUNTIME, "cannot read the player runtime " + runtimePath + " " + err, swfPath);

    const FPMUIMediaOption& first = *group->MediaList;
    int W = p.Width > 0 ? p.Width : (first.Width > 0 ? first.Width : 320);
    int H = p.Height > 0 ? p.Height : (first.Height > 0 ? first.Height : 240);
    W = std::clamp(W, 16, 4000);
    H = std::clamp(H, 16, 4000);

    Assets assets;
    Bytes videoTags;
    bool embedded = false;
    double fps = (p.FrameRate >= 10 && p.FrameRate <= 60) ? p.FrameRate : 25;
    uint16_t videoFrames = 0;
    flv::FlvFile movie;
    if (type == 1) {
        std::string why;
        if (flv::ReadFlv(text(first.VideoFile), movie, true, why)) {
            int vw = first.Width > 0 ? first.Width : movie.width;
            int vh = first.Height > 0 ? first.Height : movie.height;
            if (movie.width > 0 && movie.height > 0) {
                vw = movie.width;
                vh = movie.height;
            }
            embedded = buildTimelineVideo(movie, vw, vh, videoTags, videoFrames, fps, why);
        } else if (!fs::exists(text(first.VideoFile))) {
            return fail(FPM_ERR_MEDIA, why, swfPath);
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

    // Assemble: the runtime's tags with our definitions before its code and one SymbolClass.
    swf::Writer tags;
    std::vector<swf::SymbolEntry> symbols;
    {
        swf::Writer fa;
        fa.u32(0x08);  // ActionScript 3
        tags.tag(swf::FileAttributes, fa.data());
        swf::Writer bg;
        uint32_t c = rgb(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue);
        bg.u8(c >> 16);
        bg.u8((c >> 8) & 0xff);
        bg.u8(c & 0xff);
        tags.tag(swf::SetBackgroundColor, bg.data());
    }
    bool definitionsDone = false;
    auto addDefinitions = [&] {
        if (definitionsDone)
            return;
        definitionsDone = true;
        swf::Writer bd;
        bd.u16(kConfigId);
        bd.u32(0);
        bd.bytes(blob);
        tags.tag(swf::DefineBinaryData, bd.data());
        symbols.push_back({kConfigId, "RmConfig"});
        if (embedded) {
            tags.bytes(videoTags);
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
            tags.tag(t.code, t.body);
            break;
        default:
            tags.tag(t.code, t.body);
        }
    }
    addDefinitions();
    tags.tag(swf::SymbolClass, swf::MakeSymbolClass(symbols));
    tags.tag(swf::ShowFrame, {});

    Bytes file = swf::BuildSwf(std::max<uint8_t>(version, 10), W, H, fps, 1, tags.data(), true);
    if (file.empty())
        return fail(FPM_ERR_WRITE, "compression failed", swfPath);
    if (!swf::WriteFileAtomic(swfPath, file))
        return fail(FPM_ERR_WRITE, "cannot write " + swfPath, swfPath);
    setLastGenerateError({});
    return FPM_OK;
}

} // namespace rm::player_maker

namespace rm::player_maker {

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
