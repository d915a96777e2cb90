#include "engines/player_maker/mp3_frames.h"

namespace rm::player_maker::mp3 {

std::vector<Frame> SplitFrames(const std::vector<uint8_t>& d)
{
    static const int kbpsV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kbpsV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int rateV1[3] = {44100, 48000, 32000};
    std::vector<Frame> out;
    std::size_t p = 0;
    while (p + 4 <= d.size()) {
        if (d[p] != 0xff || (d[p + 1] & 0xe0) != 0xe0) {
            ++p;
            continue;
        }
        int ver = (d[p + 1] >> 3) & 3;     // 3: MPEG1, 2: MPEG2, 0: MPEG2.5
        int layer = (d[p + 1] >> 1) & 3;   // 1: layer III
        int br = d[p + 2] >> 4;
        int sr = (d[p + 2] >> 2) & 3;
        int pad = (d[p + 2] >> 1) & 1;
        int mode = d[p + 3] >> 6;
        if (ver == 1 || layer != 1 || br == 0 || br == 15 || sr == 3) {
            ++p;
            continue;
        }
        int rate = rateV1[sr] / (ver == 3 ? 1 : ver == 2 ? 2 : 4);
        int kbps = ver == 3 ? kbpsV1[br] : kbpsV2[br];
        int samples = ver == 3 ? 1152 : 576;
        std::size_t size = static_cast<std::size_t>((samples / 8) * kbps * 1000 / rate + pad);
        if (size < 4 || p + size > d.size())
            break;
        out.push_back({p, size, samples, rate, mode == 3 ? 1 : 2});
        p += size;
    }
    return out;
}

} // namespace rm::player_maker::mp3
