#pragma once
// SWF building blocks: tag framing, the few records the player needs, reading the runtime SWF
// the Haxe compiler made, and writing the finished file (zlib-compressed, "CWS").

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "engines/files/atomic_output.h"

namespace rm::player_maker::swf {

using Bytes = std::vector<uint8_t>;

enum TagCode : uint16_t {
    End = 0,
    ShowFrame = 1,
    SetBackgroundColor = 9,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    PlaceObject2 = 26,
    DefineSprite = 39,
    DefineVideoStream = 60,
    VideoFrame = 61,
    FileAttributes = 69,
    SymbolClass = 76,
    Metadata = 77,
    DoABC = 82,
    DefineSceneAndFrameLabelData = 86,
    DefineBinaryData = 87,
};

struct Tag {
    uint16_t code = 0;
    Bytes body;
};

struct SymbolEntry {
    uint16_t id = 0;
    std::string name;
};

// Little-endian byte sink with the SWF's integer forms.
class Writer {
public:
    void u8(uint8_t v) { m_b.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void bytes(const uint8_t* p, std::size_t n) { m_b.insert(m_b.end(), p, p + n); }
    void bytes(const Bytes& b) { m_b.insert(m_b.end(), b.begin(), b.end()); }
    void str(const std::string& s);  // zero-terminated
    void tag(uint16_t code, const Bytes& body);
    void rect(int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax);
    Bytes& data() { return m_b; }

private:
    Bytes m_b;
};

// The header of a tag whose body has length bytes (the short form below 63 bytes, except for
// definition tags that some readers want in the long form).
Bytes TagHeader(uint16_t code, std::size_t length);

// An SWF file written while it is made, so its size costs no memory: the 8-byte header, then
// the body through zlib ("CWS") into a temporary file beside path. Finish adds the End tag,
// fills in the length and gives the file its name; a writer dropped before that leaves nothing.
class StreamedSwf {
public:
    // level: zlib level (9 for a small player, 1 when it is mostly video zlib barely shrinks).
    StreamedSwf(const std::string& path, uint8_t version, int level);
    ~StreamedSwf();
    StreamedSwf(const StreamedSwf&) = delete;
    StreamedSwf& operator=(const StreamedSwf&) = delete;

    // The frame rectangle, rate and count that open the body.
    bool Begin(int widthPx, int heightPx, double fps, uint16_t frameCount);
    bool Write(const uint8_t* data, std::size_t size);
    bool Write(const Bytes& b) { return Write(b.data(), b.size()); }
    bool Tag(uint16_t code, const Bytes& body);
    bool Finish();

    bool ok() const { return m_ok; }
    // errno of a failed write (0 when the failure was not the disk's).
    int Error() const { return m_out.Error(); }

private:
    bool Deflate(int flush);

    rm::files::AtomicOutput m_out;
    z_stream m_z{};
    bool m_zOpen = false;
    Bytes m_buffer;
    uint64_t m_bodySize = 0;
    bool m_ok = true;
};

// The tags of a SWF file (CWS or FWS), plus its version. Returns false on a malformed file.
bool ReadSwf(const Bytes& file, uint8_t& version, std::vector<Tag>& tags, std::string& error);
// Entries of a SymbolClass tag body.
std::vector<SymbolEntry> ParseSymbolClass(const Bytes& body);
Bytes MakeSymbolClass(const std::vector<SymbolEntry>& entries);

bool ReadFile(const std::string& path, Bytes& out);

} // namespace rm::player_maker::swf
