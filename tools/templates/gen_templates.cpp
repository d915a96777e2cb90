// Draws the template galleries' pictures from the template descriptions and makes the wizard's
// preview sample. Usage: rm_template_gen <template sources> <program folder>/templates
//
// Per folder: one thumbnail "<name>.bmp" per "<name>.tpl" at the gallery's tile size, showing
// what the template looks like, plus "None.bmp", "border.bmp" and the "More" picture; each also
// twice as large as "<name>@2x.png" for high-density screens.

#include "engines/player_maker/templates.h"
#include "engines/player_maker/text_raster.h"
#include "support/media_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

namespace fs = std::filesystem;
using rm::player_maker::TemplateValues;

namespace {

// A picture drawn in tile units: w x h units of k x k pixels each (k = 2 for the high-density
// companion of a gallery picture), so the drawing code is the same at every scale.
struct Canvas {
    int w, h;  // size in units
    int k;     // pixels per unit
    int pw, ph;  // size in pixels
    std::vector<uint32_t> px;  // 0xRRGGBB, pw x ph
    Canvas(int w_, int h_, uint32_t bg, int k_ = 1)
        : w(w_), h(h_), k(k_), pw(w_ * k_), ph(h_ * k_), px(size_t(pw) * ph, bg) {}

    // One pixel (pixel coordinates).
    void blend(int x, int y, uint32_t c, double a)
    {
        if (x < 0 || y < 0 || x >= pw || y >= ph || a <= 0)
            return;
        a = std::min(1.0, a);
        uint32_t& d = px[size_t(y) * pw + x];
        auto mix = [&](int sh) {
            double v = ((d >> sh) & 255) * (1 - a) + ((c >> sh) & 255) * a;
            return uint32_t(std::lround(v)) << sh;
        };
        d = mix(16) | mix(8) | mix(0);
    }
    void rect(double x, double y, double rw, double rh, uint32_t c, double a = 1)
    {
        for (int yy = int(std::floor(y * k)); yy < int(std::ceil((y + rh) * k)); ++yy)
            for (int xx = int(std::floor(x * k)); xx < int(std::ceil((x + rw) * k)); ++xx)
                blend(xx, yy, c, a);
    }
    void vgradient(int x, int y, int rw, int rh, uint32_t top, uint32_t bottom)
    {
        const int rows = rh * k;
        for (int yy = 0; yy < rows; ++yy) {
            double t = rows > 1 ? double(yy) / (rows - 1) : 0;
            uint32_t c = 0;
            for (int sh : {16, 8, 0}) {
                double v = ((top >> sh) & 255) * (1 - t) + ((bottom >> sh) & 255) * t;
                c |= uint32_t(std::lround(v)) << sh;
            }
            for (int xx = x * k; xx < (x + rw) * k; ++xx)
                blend(xx, y * k + yy, c, 1);
        }
    }
    // Anti-aliased by 4x4 supersampling of an inside test (in units).
    template <typename Inside>
    void fill(double x0, double y0, double x1, double y1, uint32_t c, Inside inside, double a = 1)
    {
        for (int yy = int(std::floor(y0 * k)); yy <= int(std::ceil(y1 * k)); ++yy)
            for (int xx = int(std::floor(x0 * k)); xx <= int(std::ceil(x1 * k)); ++xx) {
                int hit = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hit += inside((xx + (sx + 0.5) / 4) / k, (yy + (sy + 0.5) / 4) / k);
                blend(xx, yy, c, a * hit / 16.0);
            }
    }
    void circle(double cx, double cy, double r, uint32_t c, double a = 1)
    {
        fill(cx - r, cy - r, cx + r, cy + r, c,
             [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; }, a);
    }
    void ring(double cx, double cy, double r, double t, uint32_t c)
    {
        fill(cx - r, cy - r, cx + r, cy + r, c, [&](double x, double y) {
            double d = std::hypot(x - cx, y - cy);
            return d <= r && d >= r - t;
        });
    }
    void triangle(double ax, double ay, double bx, double by, double cx, double cy, uint32_t c)
    {
        auto side = [](double px, double py, double x1, double y1, double x2, double y2) {
            return (px - x2) * (y1 - y2) - (x1 - x2) * (py - y2);
        };
        fill(std::min({ax, bx, cx}), std::min({ay, by, cy}), std::max({ax, bx, cx}), std::max({ay, by, cy}), c,
             [&](double x, double y) {
                 double d1 = side(x, y, ax, ay, bx, by), d2 = side(x, y, bx, by, cx, cy), d3 = side(x, y, cx, cy, ax, ay);
                 bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
                 return !(neg && pos);
             });
    }
    // Text with its top-left at (x, y); centred on x when centre is set. The glyphs are rendered
    // at the pixel size, not enlarged.
    void text(const std::string& s, double x, double y, int size, uint32_t c, bool centre = false)
    {
        rm::player_maker::TextBitmap tb;
        if (!rm::player_maker::RenderText(s, rm::player_maker::FontFileForFace("DejaVu Sans"), size * k, c, 0, 0, tb))
            return;
        int ox = int(centre ? x * k - tb.width / 2.0 : x * k), oy = int(y * k);
        for (int yy = 0; yy < tb.height; ++yy)
            for (int xx = 0; xx < tb.width; ++xx)
                blend(ox + xx, oy + yy, c, tb.argb[(size_t(yy) * tb.width + xx) * 4] / 255.0);
    }

    bool saveBmp(const fs::path& path) const
    {
        const int row = (pw * 3 + 3) & ~3;
        const uint32_t dataSize = uint32_t(row) * ph;
        std::vector<uint8_t> f(54 + dataSize, 0);
        auto put32 = [&](size_t o, uint32_t v) { for (int i = 0; i < 4; ++i) f[o + i] = (v >> (8 * i)) & 255; };
        auto put16 = [&](size_t o, uint16_t v) { f[o] = v & 255; f[o + 1] = v >> 8; };
        f[0] = 'B';
        f[1] = 'M';
        put32(2, uint32_t(f.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, uint32_t(pw));
        put32(22, uint32_t(ph));
        put16(26, 1);
        put16(28, 24);
        put32(34, dataSize);
        put32(38, 2835);
        put32(42, 2835);
        for (int y = 0; y < ph; ++y) {
            size_t o = 54 + size_t(ph - 1 - y) * row;  // bottom-up rows
            for (int x = 0; x < pw; ++x) {
                uint32_t c = px[size_t(y) * pw + x];
                f[o + x * 3] = c & 255;
                f[o + x * 3 + 1] = (c >> 8) & 255;
                f[o + x * 3 + 2] = (c >> 16) & 255;
            }
        }
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
        return bool(out);
    }

    // 8-bit RGB PNG (the high-density companions; small on disk).
    bool savePng(const fs::path& path) const
    {
        std::vector<uint8_t> raw;
        raw.reserve(size_t(ph) * (1 + 3 * size_t(pw)));
        for (int y = 0; y < ph; ++y) {
            raw.push_back(0);  // filter: none
            for (int x = 0; x < pw; ++x) {
                uint32_t c = px[size_t(y) * pw + x];
                raw.push_back((c >> 16) & 255);
                raw.push_back((c >> 8) & 255);
                raw.push_back(c & 255);
            }
        }
        uLongf zlen = compressBound(uLong(raw.size()));
        std::vector<uint8_t> z(zlen);
        if (compress2(z.data(), &zlen, raw.data(), uLong(raw.size()), 9) != Z_OK)
            return false;
        z.resize(zlen);
        std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        auto be32 = [](std::vector<uint8_t>& v, uint32_t x) {
            for (int i = 3; i >= 0; --i)
                v.push_back((x >> (8 * i)) & 255);
        };
        auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
            be32(f, uint32_t(data.size()));
            std::vector<uint8_t> body(type, type + 4);
            body.insert(body.end(), data.begin(), data.end());
            f.insert(f.end(), body.begin(), body.end());
            be32(f, uint32_t(crc32(0, body.data(), uInt(body.size()))));
        };
        std::vector<uint8_t> ihdr;
        be32(ihdr, uint32_t(pw));
        be32(ihdr, uint32_t(ph));
        ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
        chunk("IHDR", ihdr);
        chunk("IDAT", z);
        chunk("IEND", {});
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
        return bool(out);
    }

    // "<base>.bmp" at 1x, "<base>@2x.png" at 2x: the names the skin loader looks for.
    bool save(const fs::path& folder, const std::string& base) const
    {
        return k == 1 ? saveBmp(folder / (base + ".bmp")) : savePng(folder / (base + "@" + std::to_string(k) + "x.png"));
    }
};

uint32_t color(const TemplateValues& v, const char* key, uint32_t d)
{
    auto it = v.find(key);
    if (it == v.end())
        return d;
    return uint32_t(std::strtoul(it->second.c_str(), nullptr, 0));
}

std::string value(const TemplateValues& v, const char* key, const std::string& d)
{
    auto it = v.find(key);
    return it == v.end() ? d : it->second;
}

// ---- player skins: the control bar itself, at the tile's height ----
Canvas drawSkin(const std::string& name, const TemplateValues& v, int k)
{
    const int W = 276, H = 44;
    Canvas c(W, H, 0, k);
    c.vgradient(0, 0, W, H, color(v, "barTop", 0x555555), color(v, "barBottom", 0x222222));
    const uint32_t edge = color(v, "edge", 0xFFFFFFFF);
    if (edge != 0xFFFFFFFF)
        c.rect(0, 0, W, 2, edge);
    const std::string decor = value(v, "decor", "none");
    const uint32_t dc = color(v, "decorColor", 0xFFFFFF);
    unsigned seed = 7;
    auto rnd = [&] { seed = seed * 1103515245u + 12345u; return ((seed >> 8) % 10000) / 10000.0; };
    if (decor == "snow") {
        for (int i = 0; i < 40; ++i)
            c.circle(rnd() * W, rnd() * H, 0.7 + rnd() * 1.3, dc, 0.85);
        for (int k = 0; k < W; k += 46) {
            c.fill(k, -2, k + 9, 3, 0x1E7B34, [&](double x, double y) {
                double dx = (x - k - 4.5) / 4.5, dy = (y - 0.5) / 2.5;
                return dx * dx + dy * dy <= 1;
            });
            c.circle(k + 10, 1, 2.2, 0xE0262B);
        }
    } else if (decor == "stars") {
        for (int i = 0; i < 8; ++i)
            c.circle(rnd() * W, rnd() * H, 1.0 + rnd(), dc);
    } else if (decor == "stripes") {
        for (int k = -H; k < W; k += 16)
            c.fill(k, 0, k + H + 6, H, dc, [&](double x, double y) {
                double u = x - k - (H - y);
                return u >= 0 && u <= 6;
            }, 0.12);
    } else if (decor == "gloss") {
        c.rect(0, 0, W, H * 0.45, 0xFFFFFF, 0.18);
    }
    const uint32_t btn = color(v, "button", 0xFFFFFF);
    const uint32_t face = color(v, "buttonFace", 0xFFFFFFFF);
    const std::string shape = value(v, "shape", "round");
    const double bs = 30, cy = H / 2.0;
    auto button = [&](double x) {
        if (face == 0xFFFFFFFF)
            return;
        if (shape == "round")
            c.circle(x + bs / 2, cy, bs / 2, face);
        else
            c.rect(x, cy - bs / 2, bs, bs, face);
    };
    // play
    button(6);
    c.triangle(6 + bs * 0.35, cy - bs * 0.27, 6 + bs * 0.35, cy + bs * 0.27, 6 + bs * 0.77, cy, btn);
    // progress track with a played part
    const uint32_t track = color(v, "track", 0x333333), accent = color(v, "accent", 0x3399FF);
    c.rect(44, cy + 2, 120, 5, track);
    c.rect(44, cy + 2, 48, 5, accent);
    c.circle(92, cy + 4.5, 4.5, btn);
    c.text(name, 44, cy - 14, 10, color(v, "text", 0xFFFFFF));
    // speaker, volume, full screen
    const double sx = 176;
    c.rect(sx, cy - 4, 6, 8, btn);
    c.triangle(sx + 4, cy, sx + 12, cy - 9, sx + 12, cy + 9, btn);
    c.rect(sx + 18, cy - 3, 40, 6, track);
    c.rect(sx + 18, cy - 3, 30, 6, accent);
    const double fx = W - 30;
    for (int i = 0; i < 4; ++i) {
        double ox = (i % 2) ? 14 : 0, oy = (i / 2) ? 14 : 0;
        c.rect(fx + ox, cy - 9 + oy + ((i / 2) ? 2 : 0), 6, 2, btn);
        c.rect(fx + ox + ((i % 2) ? 4 : 0), cy - 9 + oy, 2, 6, btn);
    }
    return c;
}

// A small scene the effect and preloader thumbnails are drawn on.
void scene(Canvas& c)
{
    c.vgradient(0, 0, c.w, c.h, 0x4FA3E0, 0xCDE9FA);
    c.circle(c.w * 0.75, c.h * 0.3, 8, 0xFFD23F);
    c.fill(0, c.h * 0.5, c.w, c.h, 0x3E8E41, [&](double x, double y) {
        return y > c.h * 0.62 + std::sin(x / 9.0) * 4;
    });
}

Canvas drawEffect(const std::string& name, const TemplateValues& v, int k)
{
    const int W = 90, H = 62;
    Canvas c(W, H, 0, k);
    scene(c);
    const std::string kind = value(v, "kind", "fade");
    const uint32_t col = color(v, "color", 0);
    const double p = 0.45, q = 1 - p;
    if (kind == "wipe") {
        c.rect(W * p, 0, W * q, H, col);
    } else if (kind == "blinds") {
        for (int i = 0; i < 6; ++i)
            c.rect(0, i * H / 6.0, W, H / 6.0 * q, col);
    } else if (kind == "iris") {
        double r = p * std::hypot(W, H) / 2;
        c.fill(0, 0, W, H, col, [&](double x, double y) { return std::hypot(x - W / 2.0, y - H / 2.0) > r; });
    } else if (kind == "zoom") {
        Canvas big(W, H, 0, k);
        scene(big);
        c = Canvas(W, H, col, k);
        const double s = 0.55;
        const int PW = c.pw, PH = c.ph;
        for (int y = 0; y < PH * s; ++y)
            for (int x = 0; x < PW * s; ++x)
                c.px[size_t(y + PH * (1 - s) / 2) * PW + size_t(x + PW * (1 - s) / 2)] = big.px[size_t(y / s) * PW + size_t(x / s)];
    } else if (kind == "curtain") {
        c.rect(0, 0, W / 2.0 * q, H, col);
        c.rect(W - W / 2.0 * q, 0, W / 2.0 * q, H, col);
        for (int k = 4; k < W / 2.0 * q; k += 6)
            c.rect(k, 0, 1, H, 0x000000, 0.25);
    } else if (kind == "checker") {
        double cw = W / 6.0, ch = H / 4.0;
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 4; ++j) {
                double qq = ((i + j) % 2) ? 0.35 : 0.8;
                c.rect(i * cw + cw * (1 - qq) / 2, j * ch + ch * (1 - qq) / 2, cw * qq, ch * qq, col);
            }
    } else {
        c.rect(0, 0, W, H, col, 0.55);
    }
    c.rect(0, H - 14, W, 14, 0x000000, 0.6);
    c.text(name, W / 2.0, H - 14, 10, 0xFFFFFF, true);
    return c;
}

Canvas drawPreloader(const std::string& name, const TemplateValues& v, int k)
{
    const int W = 90, H = 62;
    Canvas c(W, H, 0x1A1A1A, k);
    const std::string kind = value(v, "kind", "spinner");
    const uint32_t c1 = color(v, "color", 0xFFFFFF), c2 = color(v, "color2", 0x666666);
    const double cx = W / 2.0, cy = 24, s = 13;
    if (kind == "bar") {
        c.rect(cx - 30, cy - 4, 60, 8, c2);
        c.rect(cx - 30, cy - 4, 38, 8, c1);
    } else if (kind == "dots") {
        for (int i = 0; i < 3; ++i)
            c.circle(cx + (i - 1) * 12, cy - (i == 1 ? 5 : 0), 4, i == 1 ? c1 : c2);
    } else if (kind == "ring") {
        c.ring(cx, cy, s, 3.5, c2);
        c.fill(cx - s, cy - s, cx + s, cy + s, c1, [&](double x, double y) {
            double d = std::hypot(x - cx, y - cy), a = std::atan2(y - cy, x - cx);
            return d <= s && d >= s - 3.5 && a > -0.3 && a < 1.6;
        });
    } else if (kind == "pulse") {
        c.circle(cx, cy, s, c1, 0.45);
        c.circle(cx, cy, s * 0.4, c2);
    } else {
        for (int i = 0; i < 12; ++i) {
            double a = i * M_PI / 6, fade = 1 - i / 14.0;
            double x0 = cx + std::cos(a) * s * 0.5, y0 = cy + std::sin(a) * s * 0.5;
            double x1 = cx + std::cos(a) * s, y1 = cy + std::sin(a) * s;
            for (double t = 0; t <= 1; t += 0.05)
                c.circle(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, 1.3, i == 0 ? c1 : c2, fade);
        }
    }
    std::string label = value(v, "text", "");
    if (!label.empty())
        c.text(label, cx, cy + s + 2, 8, c1, true);
    c.rect(0, H - 14, W, 14, 0x000000, 0.6);
    c.text(name, W / 2.0, H - 14, 10, 0xFFFFFF, true);
    return c;
}

Canvas labelTile(int w, int h, const std::string& text, uint32_t bg, uint32_t fg, bool plus, int k)
{
    Canvas c(w, h, bg, k);
    c.rect(0, 0, w, 1, 0x777777);
    c.rect(0, h - 1, w, 1, 0x777777);
    c.rect(0, 0, 1, h, 0x777777);
    c.rect(w - 1, 0, 1, h, 0x777777);
    int size = h < 50 ? 14 : 13;
    if (plus) {
        c.circle(w / 2.0, h / 2.0 - (h < 50 ? 0 : 8), 9, 0xF5A623);
        c.rect(w / 2.0 - 5, h / 2.0 - (h < 50 ? 0 : 8) - 1, 10, 2, 0xFFFFFF);
        c.rect(w / 2.0 - 1, h / 2.0 - (h < 50 ? 0 : 8) - 5, 2, 10, 0xFFFFFF);
        if (h < 50)
            c.text(text, w / 2.0 + 16, h / 2.0 - 9, size, fg);
        else
            c.text(text, w / 2.0, h / 2.0 + 4, size, fg, true);
    } else {
        c.text(text, w / 2.0, h / 2.0 - size * 0.7, size, fg, true);
    }
    return c;
}

Canvas border(int w, int h, int k)
{
    Canvas c(w, h, 0xFFC04D, k);
    c.rect(0, 0, w, 2, 0xE07B00);
    c.rect(0, h - 2, w, 2, 0xE07B00);
    c.rect(0, 0, 2, h, 0xE07B00);
    c.rect(w - 2, 0, 2, h, 0xE07B00);
    return c;
}

} // namespace

// Every gallery picture at 1x and at 2x (for high-density screens).
const int kScales[] = {1, 2};

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: rm_template_gen <template sources> <program folder>/templates\n");
        return 2;
    }
    const fs::path src = argv[1], out = argv[2];
    struct Gallery {
        const char* folder;
        const char* more;
        int tw, th, fw, fh;
    };
    const Gallery galleries[] = {{"Players", "PlayerMore.bmp", 276, 44, 288, 54},
                                 {"Effect", "EffectMore.bmp", 90, 62, 100, 72},
                                 {"Preloader", "LoaderMore.bmp", 90, 62, 100, 72}};
    bool ok = true;
    for (const auto& g : galleries) {
        fs::create_directories(out / g.folder);
        std::vector<fs::path> tpls;
        for (const auto& e : fs::directory_iterator(src / g.folder))
            if (e.is_regular_file() && e.path().extension() == ".tpl")
                tpls.push_back(e.path());
        std::sort(tpls.begin(), tpls.end());
        for (const auto& t : tpls) {
            TemplateValues v;
            if (!rm::player_maker::ReadTemplate(t.string(), v)) {
                std::fprintf(stderr, "cannot read %s\n", t.c_str());
                ok = false;
                continue;
            }
            const std::string name = t.stem().string();
            for (int k : kScales) {
                Canvas c = std::string(g.folder) == "Players" ? drawSkin(name, v, k)
                           : std::string(g.folder) == "Effect" ? drawEffect(name, v, k)
                                                               : drawPreloader(name, v, k);
                ok &= c.save(out / g.folder, name);
            }
        }
        const std::string more = fs::path(g.more).stem().string();
        for (int k : kScales) {
            ok &= labelTile(g.tw, g.th, "None", 0x2B2B2B, 0xDDDDDD, false, k).save(out / g.folder, "None");
            ok &= labelTile(g.tw, g.th, "More...", 0x2B2B2B, 0xFFFFFF, true, k).save(out / g.folder, more);
            ok &= border(g.fw, g.fh, k).save(out / g.folder, "border");
        }
    }

    // The wizard's preview sample: a short FLV (Sorenson + MP3, so both player types can use it)
    // and its picture.
    rmtest::FixtureSpec flv;
    flv.container = "flv";
    flv.videoCodec = "flv";
    flv.audioCodec = "libmp3lame";
    flv.sampleRate = 22050;
    flv.channels = 2;
    flv.width = 320;
    flv.height = 240;
    flv.seconds = 6;
    flv.gop = 25;
    flv.videoBitrate = 500000;
    std::string err = rmtest::MakeMediaFixture((out / "orvanesample.flv").string(), flv);
    if (!err.empty()) {
        std::fprintf(stderr, "orvanesample.flv: %s\n", err.c_str());
        ok = false;
    }
    rmtest::FixtureSpec jpg;
    jpg.container = "mjpeg";
    jpg.videoCodec = "mjpeg";
    jpg.audioCodec = "";
    jpg.seconds = 0.04;
    err = rmtest::MakeMediaFixture((out / "orvanesample.jpg").string(), jpg);
    if (!err.empty()) {
        std::fprintf(stderr, "orvanesample.jpg: %s\n", err.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
