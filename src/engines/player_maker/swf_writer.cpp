#include "engines/player_maker/swf_writer.h"

#include <zlib.h>

#include <algorithm>

#include <fstream>

namespace rm::player_maker::swf {

void Writer::u16(uint16_t v)
{
    m_b.push_back(v & 0xff);
    m_b.push_back(v >> 8);
}

void Writer::u32(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_b.push_back((v >> (8 * i)) & 0xff);
}

void Writer::str(const std::string& s)
{
    m_b.insert(m_b.end(), s.begin(), s.end());
    m_b.push_back(0);
}

Bytes TagHeader(uint16_t code, std::size_t length)
{
    // The long form always for bodies of 63 bytes or more; some readers want it for
    // definition tags regardless, which costs nothing.
    Bytes h;
    if (length < 63 && code != DefineBinaryData && code != DefineSprite) {
        const uint16_t v = static_cast<uint16_t>((code << 6) | length);
        h = {static_cast<uint8_t>(v & 0xff), static_cast<uint8_t>(v >> 8)};
    } else {
        const uint16_t v = static_cast<uint16_t>((code << 6) | 0x3f);
        const uint32_t n = static_cast<uint32_t>(length);
        h = {static_cast<uint8_t>(v & 0xff), static_cast<uint8_t>(v >> 8),
             static_cast<uint8_t>(n & 0xff), static_cast<uint8_t>((n >> 8) & 0xff),
             static_cast<uint8_t>((n >> 16) & 0xff), static_cast<uint8_t>(n >> 24)};
    }
    return h;
}

void Writer::tag(uint16_t code, const Bytes& body)
{
    bytes(TagHeader(code, body.size()));
    bytes(body);
}

StreamedSwf::StreamedSwf(const std::string& path, uint8_t version, int level) : m_buffer(1 << 18)
{
    if (!m_out.Create(path)) {
        m_ok = false;
        return;
    }
    if (deflateInit(&m_z, level) != Z_OK) {
        m_ok = false;
        return;
    }
    m_zOpen = true;
    const uint8_t header[8] = {'C', 'W', 'S', version, 0, 0, 0, 0};  // the length is filled in last
    m_ok = m_out.Write(header, sizeof header);
}

StreamedSwf::~StreamedSwf()
{
    if (m_zOpen)
        deflateEnd(&m_z);
}

bool StreamedSwf::Deflate(int flush)
{
    do {
        m_z.next_out = m_buffer.data();
        m_z.avail_out = static_cast<uInt>(m_buffer.size());
        const int r = deflate(&m_z, flush);
        if (r == Z_STREAM_ERROR)
            return m_ok = false;
        const std::size_t produced = m_buffer.size() - m_z.avail_out;
        if (produced && !m_out.Write(m_buffer.data(), produced))
            return m_ok = false;
        if (flush == Z_FINISH && r == Z_STREAM_END)
            return true;
    } while (m_z.avail_out == 0 || (flush == Z_FINISH));
    return true;
}

bool StreamedSwf::Write(const uint8_t* data, std::size_t size)
{
    if (!m_ok)
        return false;
    m_bodySize += size;
    while (size > 0) {
        const std::size_t chunk = std::min<std::size_t>(size, 1u << 30);
        m_z.next_in = const_cast<uint8_t*>(data);
        m_z.avail_in = static_cast<uInt>(chunk);
        if (!Deflate(Z_NO_FLUSH))
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

bool StreamedSwf::Begin(int widthPx, int heightPx, double fps, uint16_t frameCount)
{
    Writer w;
    w.rect(0, widthPx * 20, 0, heightPx * 20);
    if (fps <= 0)
        fps = 25;
    w.u16(static_cast<uint16_t>(std::min(255.0, fps) * 256.0 + 0.5));  // 8.8 fixed point
    w.u16(frameCount);
    return Write(w.data());
}

bool StreamedSwf::Tag(uint16_t code, const Bytes& body) { return Write(TagHeader(code, body.size())) && Write(body); }

bool StreamedSwf::Finish()
{
    if (!m_ok || !Tag(End, {}))
        return false;
    m_z.next_in = nullptr;
    m_z.avail_in = 0;
    if (!Deflate(Z_FINISH))
        return false;
    const uint64_t total = m_bodySize + 8;
    if (total > 0xffffffffu)
        return m_ok = false;  // beyond what the header can say
    const uint8_t length[4] = {static_cast<uint8_t>(total & 0xff), static_cast<uint8_t>((total >> 8) & 0xff),
                               static_cast<uint8_t>((total >> 16) & 0xff), static_cast<uint8_t>(total >> 24)};
    m_ok = m_out.WriteAt(4, length, sizeof length) && m_out.Commit();
    return m_ok;
}

void Writer::rect(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax)
{
    auto bitsFor = [](int32_t v) {
        int n = 1;
        while (n < 31 && (v >= (1 << (n - 1)) || v < -(1 << (n - 1))))
            ++n;
        return n;
    };
    int nbits = std::max({bitsFor(xmin), bitsFor(xmax), bitsFor(ymin), bitsFor(ymax)});
    uint64_t acc = 0;
    int accBits = 0;
    auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = (acc << 1) | ((v >> i) & 1);
            if (++accBits == 8) {
                m_b.push_back(static_cast<uint8_t>(acc));
                acc = 0;
                accBits = 0;
            }
        }
    };
    put(nbits, 5);
    for (int32_t v : {xmin, xmax, ymin, ymax})
        put(static_cast<uint32_t>(v), nbits);
    if (accBits)
        m_b.push_back(static_cast<uint8_t>(acc << (8 - accBits)));
}

bool ReadSwf(const Bytes& file, uint8_t& version, std::vector<Tag>& tags, std::string& error)
{
    if (file.size() < 9 || file[1] != 'W' || file[2] != 'S' || (file[0] != 'F' && file[0] != 'C')) {
        error = "not an SWF file";
        return false;
    }
    version = file[3];
    uint32_t total = file[4] | (file[5] << 8) | (file[6] << 16) | (uint32_t(file[7]) << 24);
    Bytes body;
    if (file[0] == 'C') {
        if (total < 8 || total > (256u << 20)) {
            error = "bad SWF length";
            return false;
        }
        body.resize(total - 8);
        uLongf len = body.size();
        if (uncompress(body.data(), &len, file.data() + 8, file.size() - 8) != Z_OK) {
            error = "corrupt compressed SWF";
            return false;
        }
        body.resize(len);
    } else {
        body.assign(file.begin() + 8, file.end());
    }
    if (body.empty()) {
        error = "empty SWF";
        return false;
    }
    std::size_t nbits = body[0] >> 3;
    std::size_t p = (5 + 4 * nbits + 7) / 8 + 4;  // RECT + frame rate + frame count
    tags.clear();
    while (p + 2 <= body.size()) {
        uint16_t h = body[p] | (body[p + 1] << 8);
        p += 2;
        uint16_t code = h >> 6;
        std::size_t len = h & 0x3f;
        if (len == 0x3f) {
            if (p + 4 > body.size()) {
                error = "truncated tag";
                return false;
            }
            len = body[p] | (body[p + 1] << 8) | (body[p + 2] << 16) | (std::size_t(body[p + 3]) << 24);
            p += 4;
        }
        if (p + len > body.size()) {
            error = "truncated tag";
            return false;
        }
        Tag t;
        t.code = code;
        t.body.assign(body.begin() + p, body.begin() + p + len);
        p += len;
        if (code == End)
            return true;
        tags.push_back(std::move(t));
    }
    return true;  // a missing End tag is tolerated
}

std::vector<SymbolEntry> ParseSymbolClass(const Bytes& body)
{
    std::vector<SymbolEntry> out;
    if (body.size() < 2)
        return out;
    std::size_t n = body[0] | (body[1] << 8);
    std::size_t p = 2;
    for (std::size_t i = 0; i < n && p + 2 <= body.size(); ++i) {
        SymbolEntry e;
        e.id = body[p] | (body[p + 1] << 8);
        p += 2;
        while (p < body.size() && body[p])
            e.name.push_back(static_cast<char>(body[p++]));
        ++p;
        out.push_back(std::move(e));
    }
    return out;
}

Bytes MakeSymbolClass(const std::vector<SymbolEntry>& entries)
{
    Writer w;
    w.u16(static_cast<uint16_t>(entries.size()));
    for (const auto& e : entries) {
        w.u16(e.id);
        w.str(e.name);
    }
    return w.data();
}

bool ReadFile(const std::string& path, Bytes& out)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        return false;
    f.seekg(0, std::ios::end);
    auto n = f.tellg();
    if (n < 0)
        return false;
    f.seekg(0);
    out.resize(static_cast<std::size_t>(n));
    if (n > 0 && !f.read(reinterpret_cast<char*>(out.data()), n))
        return false;
    return true;
}

} // namespace rm::player_maker::swf
