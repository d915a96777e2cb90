#pragma once
// Reading back what the player maker wrote: tags, the sprite's inner tags and the configuration.

#include "engines/player_maker/swf_writer.h"

#include <zlib.h>

#include <string>
#include <vector>

namespace rmtest {

struct WrittenSwf {
    bool ok = false;
    std::string error;
    std::vector<rm::player_maker::swf::Tag> tags;
    std::vector<rm::player_maker::swf::SymbolEntry> symbols;
    std::string configJson;
    std::vector<rm::player_maker::swf::Tag> spriteTags;  // inside the first DefineSprite
    int spriteFrames = 0;
    int width = 0, height = 0;  // pixels, from the header
    int count(uint16_t code) const
    {
        int n = 0;
        for (const auto& t : tags)
            n += t.code == code;
        return n;
    }
    int countInSprite(uint16_t code) const
    {
        int n = 0;
        for (const auto& t : spriteTags)
            n += t.code == code;
        return n;
    }
};



namespace detail {
inline std::vector<rm::player_maker::swf::Tag> innerTags(const rm::player_maker::swf::Bytes& body, std::size_t p)
{
    std::vector<rm::player_maker::swf::Tag> out;
    while (p + 2 <= body.size()) {
        uint16_t h = body[p] | (body[p + 1] << 8);
        p += 2;
        std::size_t len = h & 0x3f;
        if (len == 0x3f) {
            len = body[p] | (body[p + 1] << 8) | (body[p + 2] << 16) | (std::size_t(body[p + 3]) << 24);
            p += 4;
        }
        rm::player_maker::swf::Tag t;
        t.code = h >> 6;
        if (p + len > body.size())
            break;
        t.body.assign(body.begin() + p, body.begin() + p + len);
        p += len;
        if (t.code == rm::player_maker::swf::End)
            break;
        out.push_back(std::move(t));
    }
    return out;
}
} // namespace detail

inline WrittenSwf ReadWrittenSwf(const std::string& path)
{
    WrittenSwf w;
    rm::player_maker::swf::Bytes file;
    if (!rm::player_maker::swf::ReadFile(path, file)) {
        w.error = "cannot read " + path;
        return w;
    }
    uint8_t version = 0;
    if (!rm::player_maker::swf::ReadSwf(file, version, w.tags, w.error))
        return w;
    // header size from the RECT
    rm::player_maker::swf::Bytes body(file.size() > 8 ? (file[4] | (file[5] << 8) | (file[6] << 16) | (size_t(file[7]) << 24)) - 8 : 0);
    uLongf len = body.size();
    if (file[0] == 'C' && uncompress(body.data(), &len, file.data() + 8, file.size() - 8) == Z_OK) {
        int nbits = body[0] >> 3;
        auto bits = [&](int from, int n) {
            uint32_t v = 0;
            for (int i = 0; i < n; ++i) {
                int b = from + i;
                v = (v << 1) | ((body[b / 8] >> (7 - b % 8)) & 1);
            }
            return v;
        };
        w.width = int(bits(5 + nbits, nbits)) / 20;
        w.height = int(bits(5 + 3 * nbits, nbits)) / 20;
    }
    for (const auto& t : w.tags) {
        if (t.code == rm::player_maker::swf::SymbolClass)
            w.symbols = rm::player_maker::swf::ParseSymbolClass(t.body);
        if (t.code == rm::player_maker::swf::DefineBinaryData && t.body.size() >= 10) {
            const uint8_t* d = t.body.data() + 6;
            uint32_t n = (d[0] << 24) | (d[1] << 16) | (d[2] << 8) | d[3];
            if (10 + n <= t.body.size())
                w.configJson.assign(reinterpret_cast<const char*>(d + 4), n);
        }
        if (t.code == rm::player_maker::swf::DefineSprite && w.spriteTags.empty() && t.body.size() >= 4) {
            w.spriteFrames = t.body[2] | (t.body[3] << 8);
            w.spriteTags = detail::innerTags(t.body, 4);
        }
    }
    w.ok = true;
    return w;
}

} // namespace rmtest
