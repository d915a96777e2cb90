#include "engines/player_maker/text_raster.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <filesystem>
#include <mutex>

namespace rm::player_maker {

namespace {

std::mutex g_fcMutex;

// UTF-8 when the bytes are valid UTF-8, else Latin-1 (8-bit texts of older records).
std::u32string decode(const std::string& s)
{
    std::u32string out;
    bool valid = true;
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) {
            valid = false;
            break;
        }
        char32_t cp = n == 1 ? c : c & (0x7f >> n);
        for (int k = 1; k < n; ++k) {
            unsigned char cc = s[i + k];
            if ((cc & 0xc0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3f);
        }
        if (!valid)
            break;
        out.push_back(cp);
        i += n;
    }
    if (valid)
        return out;
    out.clear();
    for (unsigned char c : s)
        out.push_back(c);
    return out;
}

} // namespace

std::string FontFileForFace(const std::string& face)
{
    std::lock_guard lock(g_fcMutex);
    if (!FcInit())
        return {};
    std::string result;
    for (const std::string& name : {face, std::string("sans-serif")}) {
        if (name.empty())
            continue;
        FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
        if (!pat)
            continue;
        FcConfigSubstitute(nullptr, pat, FcMatchPattern);
        FcDefaultSubstitute(pat);
        FcResult res;
        FcPattern* match = FcFontMatch(nullptr, pat, &res);
        if (match) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
                result = reinterpret_cast<const char*>(file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pat);
        if (!result.empty())
            break;
    }
    return result;
}

bool RenderText(const std::string& text, const std::string& fontFile, int pixelSize, uint32_t rgb,
                int maxWidth, int maxHeight, TextBitmap& out)
{
    out = {};
    if (text.empty() || pixelSize <= 0)
        return false;
    pixelSize = std::min(pixelSize, 400);
    std::error_code ec;
    std::string file = fontFile;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec))
        file = FontFileForFace("");

    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib))
        return false;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, file.c_str(), 0, &face)) {
        std::string fallback = FontFileForFace("");
        if (fallback.empty() || FT_New_Face(lib, fallback.c_str(), 0, &face)) {
            FT_Done_FreeType(lib);
            return false;
        }
    }
    FT_Set_Pixel_Sizes(face, 0, pixelSize);
    const int ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    const int lineH = std::max<int>(pixelSize, static_cast<int>(face->size->metrics.height >> 6));

    auto advance = [&](char32_t c) -> int {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT))
            return 0;
        return static_cast<int>(face->glyph->advance.x >> 6);
    };

    // Break into lines: explicit newlines, then word wrap at maxWidth.
    std::u32string all = decode(text);
    std::vector<std::u32string> lines;
    std::u32string cur;
    int curW = 0;
    std::size_t lastSpace = std::u32string::npos;
    for (char32_t c : all) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
            curW = 0;
            lastSpace = std::u32string::npos;
            continue;
        }
        int a = advance(c);
        if (maxWidth > 0 && curW + a > maxWidth && !cur.empty()) {
            if (lastSpace != std::u32string::npos && c != ' ') {
                std::u32string rest = cur.substr(lastSpace + 1);
                cur.resize(lastSpace);
                lines.push_back(cur);
                cur = rest;
            } else {
                lines.push_back(cur);
                cur.clear();
            }
            curW = 0;
            for (char32_t r : cur)
                curW += advance(r);
            lastSpace = std::u32string::npos;
            if (c == ' ')
                continue;
        }
        if (c == ' ')
            lastSpace = cur.size();
        cur.push_back(c);
        curW += a;
    }
    if (!cur.empty())
        lines.push_back(cur);
    if (lines.empty()) {
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
        return false;
    }

    int width = 0;
    for (const auto& l : lines) {
        int w = 0;
        for (char32_t c : l)
            w += advance(c);
        width = std::max(width, w);
    }
    width += 2;
    if (maxWidth > 0)
        width = std::min(width, maxWidth);
    int height = lineH * static_cast<int>(lines.size()) + pixelSize / 4;
    if (maxHeight > 0)
        height = std::min(height, maxHeight);
    width = std::clamp(width, 1, 4096);
    height = std::clamp(height, 1, 4096);

    std::vector<uint8_t> alpha(static_cast<std::size_t>(width) * height, 0);
    int y0 = ascent;
    for (const auto& l : lines) {
        int pen = 0;
        for (char32_t c : l) {
            if (FT_Load_Char(face, c, FT_LOAD_RENDER))
                continue;
            FT_GlyphSlot g = face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            int gx = pen + g->bitmap_left;
            int gy = y0 - g->bitmap_top;
            for (unsigned r = 0; r < bm.rows; ++r) {
                int yy = gy + static_cast<int>(r);
                if (yy < 0 || yy >= height)
                    continue;
                for (unsigned col = 0; col < bm.width; ++col) {
                    int xx = gx + static_cast<int>(col);
                    if (xx < 0 || xx >= width)
                        continue;
                    uint8_t v = bm.pixel_mode == FT_PIXEL_MODE_MONO
                                    ? ((bm.buffer[r * bm.pitch + col / 8] >> (7 - col % 8)) & 1) * 255
                                    : bm.buffer[r * bm.pitch + col];
                    uint8_t& dst = alpha[static_cast<std::size_t>(yy) * width + xx];
                    dst = std::max(dst, v);
                }
            }
            pen += static_cast<int>(g->advance.x >> 6);
        }
        y0 += lineH;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    out.width = width;
    out.height = height;
    out.argb.resize(alpha.size() * 4);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        out.argb[i * 4] = alpha[i];
        out.argb[i * 4 + 1] = (rgb >> 16) & 0xff;
        out.argb[i * 4 + 2] = (rgb >> 8) & 0xff;
        out.argb[i * 4 + 3] = rgb & 0xff;
    }
    return true;
}

} // namespace rm::player_maker
