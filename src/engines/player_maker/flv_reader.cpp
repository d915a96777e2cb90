#include "engines/player_maker/flv_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

namespace rm::player_maker::flv {

namespace {

uint32_t be24(const uint8_t* p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }

double be64double(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

// A number property of an AMF0 script body, found by its key (onMetaData is a flat map).
double amfNumber(const std::vector<uint8_t>& body, const char* key)
{
    std::size_t kl = std::strlen(key);
    for (std::size_t i = 0; i + 2 + kl + 9 <= body.size(); ++i) {
        if (body[i] == 0 && body[i + 1] == kl && std::memcmp(&body[i + 2], key, kl) == 0 &&
            body[i + 2 + kl] == 0x00)
            return be64double(&body[i + 3 + kl]);
    }
    return 0;
}

class BitReader {
public:
    BitReader(const uint8_t* p, std::size_t n) : m_p(p), m_n(n) {}
    uint32_t get(int bits)
    {
        uint32_t v = 0;
        for (int i = 0; i < bits; ++i) {
            std::size_t byte = m_pos >> 3;
            int bit = 7 - (m_pos & 7);
            v = (v << 1) | (byte < m_n ? ((m_p[byte] >> bit) & 1) : 0);
            ++m_pos;
        }
        return v;
    }
    bool ok() const { return (m_pos + 7) / 8 <= m_n; }

private:
    const uint8_t* m_p;
    std::size_t m_n;
    std::size_t m_pos = 0;
};

} // namespace

bool SorensonPictureSize(const uint8_t* p, std::size_t n, int& w, int& h)
{
    if (n < 6)
        return false;
    BitReader r(p, n);
    if (r.get(17) != 1)
        return false;
    r.get(5);  // version
    r.get(8);  // temporal reference
    uint32_t fmt = r.get(3);
    static const int sizes[][2] = {{0, 0}, {0, 0}, {352, 288}, {176, 144}, {128, 96}, {320, 240}, {160, 120}};
    if (fmt == 0) {
        w = r.get(8);
        h = r.get(8);
    } else if (fmt == 1) {
        w = r.get(16);
        h = r.get(16);
    } else if (fmt <= 6) {
        w = sizes[fmt][0];
        h = sizes[fmt][1];
    } else {
        return false;
    }
    return r.ok() && w > 0 && h > 0;
}

double FlvFile::frameRate() const
{
    if (metaFrameRate > 0 && metaFrameRate < 200)
        return metaFrameRate;
    if (video.size() >= 2 && video.back().timeMs > video.front().timeMs)
        return (video.size() - 1) * 1000.0 / (video.back().timeMs - video.front().timeMs);
    return 25;
}

double FlvFile::duration() const
{
    if (metaDuration > 0)
        return metaDuration;
    double d = 0;
    if (!video.empty())
        d = video.back().timeMs / 1000.0 + 1.0 / frameRate();
    if (!audio.empty())
        d = std::max(d, audio.back().timeMs / 1000.0);
    return d;
}

bool ReadFlv(const std::string& path, FlvFile& out, bool keepPayloads, std::string& error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot open " + path;
        return false;
    }
    f.seekg(0, std::ios::end);
    const uint64_t fileSize = static_cast<uint64_t>(f.tellg());
    f.seekg(0);
    uint8_t hdr[9];
    if (!f.read(reinterpret_cast<char*>(hdr), 9) || std::memcmp(hdr, "FLV", 3) != 0) {
        error = "not an FLV file: " + path;
        return false;
    }
    uint32_t dataOffset = (hdr[5] << 24) | (hdr[6] << 16) | (hdr[7] << 8) | hdr[8];
    f.seekg(dataOffset + 4);  // + PreviousTagSize0
    uint32_t lastVideoMs = 0;
    bool gotVideoTime = false;
    std::vector<uint8_t> body;
    for (;;) {
        uint8_t th[11];
        if (!f.read(reinterpret_cast<char*>(th), 11))
            break;
        uint8_t type = th[0] & 0x1f;
        uint32_t size = be24(th + 1);
        uint32_t ts = be24(th + 4) | (uint32_t(th[7]) << 24);
        const uint64_t bodyOffset = static_cast<uint64_t>(f.tellg());
        // Without payloads only the codec headers at the start of a body are needed.
        const bool whole = keepPayloads || type == 18;
        const uint32_t want = whole ? size : std::min<uint32_t>(size, 64);
        if (bodyOffset + size > fileSize)
            break;  // a cut file: keep what was complete
        body.resize(want);
        if (want && !f.read(reinterpret_cast<char*>(body.data()), want))
            break;
        f.seekg(bodyOffset + size + 4);  // past the body and the previous-tag-size field
        if (type == 18) {
            if (out.metaFrameRate == 0)
                out.metaFrameRate = amfNumber(body, "framerate");
            if (out.metaDuration == 0)
                out.metaDuration = amfNumber(body, "duration");
            if (out.width == 0)
                out.width = static_cast<int>(amfNumber(body, "width"));
            if (out.height == 0)
                out.height = static_cast<int>(amfNumber(body, "height"));
        } else if (type == 9 && size >= 1) {
            int frameType = body[0] >> 4;
            int codec = body[0] & 0x0f;
            if (frameType == 5)
                continue;  // video info / command frame
            out.videoCodec = codec;
            VideoTag v;
            v.timeMs = ts;
            v.key = frameType == 1;
            std::size_t skip = 1;
            if (codec == 4 || codec == 5)
                skip = 2;  // the FLV's size-adjustment byte is not part of the SWF packet
            if (v.key)
                out.keyframeTimes.push_back(ts / 1000.0);
            if (codec == 2 && out.video.empty()) {
                int w = 0, h = 0;
                if (SorensonPictureSize(body.data() + 1, body.size() - 1, w, h)) {
                    out.width = w;
                    out.height = h;
                }
            }
            v.offset = bodyOffset + skip;
            v.size = size > skip ? size - uint32_t(skip) : 0;
            if (keepPayloads && size > skip)
                v.data.assign(body.begin() + skip, body.end());
            out.video.push_back(std::move(v));
            lastVideoMs = ts;
            gotVideoTime = true;
        } else if (type == 8 && size >= 1) {
            int fmt = body[0] >> 4;
            static const int rates[] = {5512, 11025, 22050, 44100};
            out.audioCodec = fmt;
            out.audioRate = rates[(body[0] >> 2) & 3];
            out.audioStereo = body[0] & 1;
            AudioTag a;
            a.timeMs = ts;
            a.offset = bodyOffset + 1;
            a.size = size - 1;
            if (keepPayloads)
                a.data.assign(body.begin() + 1, body.end());
            out.audio.push_back(std::move(a));
        }
    }
    (void)lastVideoMs;
    (void)gotVideoTime;
    if (out.video.empty() && out.audio.empty()) {
        error = "no audio or video in " + path;
        return false;
    }
    return true;
}

} // namespace rm::player_maker::flv
