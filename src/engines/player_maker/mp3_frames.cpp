#include "engines/player_maker/mp3_frames.h"

namespace rm::player_maker::mp3 {

bool ParseFrameHeader(const uint8_t* p, Frame& frame)
{
    static const int kbpsV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kbpsV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int rateV1[3] = {44100, 48000, 32000};
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return false;
    int ver = (p[1] >> 3) & 3;     // 3: MPEG1, 2: MPEG2, 0: MPEG2.5
    int layer = (p[1] >> 1) & 3;   // 1: layer III
    int br = p[2] >> 4;
    int sr = (p[2] >> 2) & 3;
    int pad = (p[2] >> 1) & 1;
    int mode = p[3] >> 6;
    if (ver == 1 || layer != 1 || br == 0 || br == 15 || sr == 3)
        return false;
    int rate = rateV1[sr] / (ver == 3 ? 1 : ver == 2 ? 2 : 4);
    int kbps = ver == 3 ? kbpsV1[br] : kbpsV2[br];
    int samples = ver == 3 ? 1152 : 576;
    frame.offset = 0;
    frame.size = static_cast<std::size_t>((samples / 8) * kbps * 1000 / rate + pad);
    frame.samples = samples;
    frame.sampleRate = rate;
    frame.channels = mode == 3 ? 1 : 2;
    return true;
}

std::vector<Frame> SplitFrames(const std::vector<uint8_t>& d)
{
    std::vector<Frame> out;
    std::size_t p = 0;
    while (p + 4 <= d.size()) {
        Frame f;
        if (!ParseFrameHeader(&d[p], f)) {
            ++p;
            continue;
        }
        if (f.size < 4 || p + f.size > d.size())
            break;
        f.offset = p;
        out.push_back(f);
        p += f.size;
    }
    return out;
}

} // namespace rm::player_maker::mp3
