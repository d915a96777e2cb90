#include "engines/dvd/dvd_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#if RM_HAVE_DVDREAD
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#endif

namespace fs = std::filesystem;

namespace rm::dvd {

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// Where the disc's structure starts for a user's choice: the folder above VIDEO_TS for anything
// inside it, the folder itself otherwise, an image file as it is.
bool ResolveRoot(const std::string& chosen, std::string* root, std::string* videoTs)
{
    std::error_code ec;
    fs::path p(chosen);
    if (chosen.empty() || !fs::exists(p, ec))
        return false;
    if (fs::is_regular_file(p, ec)) {
        const std::string ext = Lower(p.extension().string());
        if (ext == ".ifo" || ext == ".bup" || ext == ".vob")
            p = p.parent_path();
        else {
            *root = p.string();  // a disc image
            videoTs->clear();
            return true;
        }
    }
    if (Lower(p.filename().string()) == "video_ts") {
        *videoTs = p.string();
        *root = p.parent_path().string();
        return true;
    }
    for (const char* name : {"VIDEO_TS", "video_ts"}) {
        if (fs::is_directory(p / name, ec)) {
            *videoTs = (p / name).string();
            *root = p.string();
            return true;
        }
    }
    // Files laid out straight in the folder (libdvdread reads that too).
    *videoTs = p.string();
    *root = p.string();
    return true;
}

#if RM_HAVE_DVDREAD

void QuietLog(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuiet = {&QuietLog};

struct ReaderCloser {
    void operator()(dvd_reader_t* r) const { DVDClose(r); }
};
struct IfoCloser {
    void operator()(ifo_handle_t* h) const { ifoClose(h); }
};
struct FileCloser {
    void operator()(dvd_file_t* f) const { DVDCloseFile(f); }
};
using Reader = std::unique_ptr<dvd_reader_t, ReaderCloser>;
using Ifo = std::unique_ptr<ifo_handle_t, IfoCloser>;
using VobFile = std::unique_ptr<dvd_file_t, FileCloser>;

Reader OpenReader(const std::string& root)
{
    // The library keeps a little memory for every path it cannot open: a disc that has gone is
    // answered here.
    std::error_code ec;
    if (root.empty() || !std::filesystem::exists(root, ec))
        return nullptr;
    return Reader(DVDOpen2(nullptr, &kQuiet, root.c_str()));
}

int Bcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0f); }

double Seconds(const dvd_time_t& t)
{
    const int rate = (t.frame_u & 0xc0) >> 6;
    const double fps = rate == 1 ? 25.0 : rate == 3 ? 30000.0 / 1001.0 : 0.0;
    double s = Bcd(t.hour) * 3600.0 + Bcd(t.minute) * 60.0 + Bcd(t.second);
    if (fps > 0)
        s += Bcd(t.frame_u & 0x3f) / fps;
    return s;
}

std::string LangCode(uint16_t code)
{
    const char a = char(code >> 8), b = char(code & 0xff);
    if (!std::isalpha(static_cast<unsigned char>(a)) || !std::isalpha(static_cast<unsigned char>(b)))
        return {};
    return Lower(std::string{a, b});
}

const char* AudioFormat(int f)
{
    switch (f) {
    case 0: return "AC3";
    case 2: return "MPEG-1";
    case 3: return "MPEG-2";
    case 4: return "LPCM";
    case 5: return "SDDS";
    case 6: return "DTS";
    default: return "Unknown";
    }
}

std::vector<std::string> VobFilesOf(const std::string& videoTs, int vts)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (int part = 1; part <= 9; ++part) {
        char upper[32];
        std::snprintf(upper, sizeof upper, "VTS_%02d_%d.VOB", vts, part);
        fs::path found;
        for (const std::string& name : {std::string(upper), Lower(upper)}) {
            if (fs::is_regular_file(fs::path(videoTs) / name, ec)) {
                found = fs::path(videoTs) / name;
                break;
            }
        }
        if (found.empty())
            break;
        out.push_back(found.string());
    }
    return out;
}

// A cell counts when it is not in an angle block or is the first angle of its block.
bool FirstAngle(const cell_playback_t& c)
{
    return c.block_mode == 0 || c.block_type != 1 || c.block_mode == 1;
}

void AddRange(std::vector<SectorRange>& v, uint32_t first, uint32_t last)
{
    if (last < first)
        return;
    if (!v.empty() && v.back().lastSector + 1 == first)
        v.back().lastSector = last;  // adjacent cells make one run
    else
        v.push_back({first, last});
}

bool ReadTitle(ifo_handle_t* vts, const title_info_t& ti, const std::string& videoTs, DvdTitle* t)
{
    if (!vts->vts_ptt_srpt || !vts->vts_pgcit || ti.vts_ttn < 1 || ti.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts)
        return false;
    const ttu_t& ttu = vts->vts_ptt_srpt->title[ti.vts_ttn - 1];
    const vtsi_mat_t* mat = vts->vtsi_mat;
    if (mat) {
        const video_attr_t& v = mat->vts_video_attr;
        const bool pal = v.video_format == 1;
        t->frameRate = pal ? 25.0 : 30000.0 / 1001.0;
        t->height = pal ? 576 : 480;
        static const int widths[4] = {720, 704, 352, 352};
        t->width = widths[v.picture_size & 3];
        if ((v.picture_size & 3) == 3)
            t->height /= 2;
        const pgc_t* firstPgc = nullptr;
        if (ttu.nr_of_ptts > 0 && ttu.ptt[0].pgcn >= 1 && ttu.ptt[0].pgcn <= vts->vts_pgcit->nr_of_pgci_srp)
            firstPgc = vts->vts_pgcit->pgci_srp[ttu.ptt[0].pgcn - 1].pgc;
        for (int i = 0; i < mat->nr_of_vts_audio_streams && i < 8; ++i) {
            // A stream the title's program chain does not enable is not offered.
            if (firstPgc && !(firstPgc->audio_control[i] & 0x8000))
                continue;
            const audio_attr_t& a = mat->vts_audio_attr[i];
            DvdAudioStream s;
            s.streamNumber = i;
            s.language = a.lang_type == 1 ? LangCode(a.lang_code) : std::string();
            s.format = AudioFormat(a.audio_format);
            s.channels = a.channels + 1;
            s.sampleRate = a.sample_frequency == 1 ? 96000 : 48000;
            t->audio.push_back(s);
        }
        for (int i = 0; i < mat->nr_of_vts_subp_streams && i < 32; ++i) {
            if (firstPgc && !(firstPgc->subp_control[i] & 0x80000000u))
                continue;
            const subp_attr_t& s = mat->vts_subp_attr[i];
            t->subtitles.push_back({i, s.type == 1 ? LangCode(s.lang_code) : std::string()});
        }
    }
    double at = 0;
    for (int c = 0; c < ttu.nr_of_ptts; ++c) {
        const ptt_info_t& ptt = ttu.ptt[c];
        if (ptt.pgcn < 1 || ptt.pgcn > vts->vts_pgcit->nr_of_pgci_srp)
            return false;
        const pgc_t* pgc = vts->vts_pgcit->pgci_srp[ptt.pgcn - 1].pgc;
        if (!pgc || !pgc->program_map || !pgc->cell_playback || ptt.pgn < 1 || ptt.pgn > pgc->nr_of_programs)
            return false;
        const int firstCell = pgc->program_map[ptt.pgn - 1];  // 1-based
        int lastCell = pgc->nr_of_cells;
        if (c + 1 < ttu.nr_of_ptts && ttu.ptt[c + 1].pgcn == ptt.pgcn) {
            const int nextPgn = ttu.ptt[c + 1].pgn;
            if (nextPgn >= 1 && nextPgn <= pgc->nr_of_programs)
                lastCell = pgc->program_map[nextPgn - 1] - 1;
        }
        DvdChapter ch;
        ch.number = c + 1;
        ch.startSeconds = at;
        for (int cell = firstCell; cell <= lastCell && cell <= pgc->nr_of_cells; ++cell) {
            const cell_playback_t& cp = pgc->cell_playback[cell - 1];
            if (!FirstAngle(cp))
                continue;
            ch.lengthSeconds += Seconds(cp.playback_time);
            AddRange(ch.sectors, cp.first_sector, cp.last_sector);
        }
        for (const SectorRange& r : ch.sectors)
            AddRange(t->sectors, r.firstSector, r.lastSector);
        at += ch.lengthSeconds;
        t->chapters.push_back(std::move(ch));
    }
    t->lengthSeconds = at;
    t->vobFiles = VobFilesOf(videoTs, ti.title_set_nr);
    return !t->sectors.empty();
}

#endif

} // namespace

int32_t openDisc(const std::string& pathOrIfo, DvdDisc* out)
{
    if (!out)
        return kDvdNoPath;
    *out = DvdDisc{};
    std::string root, videoTs;
    if (!ResolveRoot(pathOrIfo, &root, &videoTs))
        return kDvdNoPath;
#if RM_HAVE_DVDREAD
    Reader reader = OpenReader(root);
    if (!reader)
        return kDvdNotVideoDvd;
    Ifo vmg(ifoOpen(reader.get(), 0));
    if (!vmg || !vmg->tt_srpt)
        return kDvdNotVideoDvd;
    out->rootPath = root;
    out->videoTsPath = videoTs;
    char label[33] = {};
    if (videoTs.empty() && DVDUDFVolumeInfo(reader.get(), label, sizeof label, nullptr, 0) == 0 && label[0])
        out->volumeName = label;
    else
        out->volumeName = fs::path(root).filename().string();
    if (out->volumeName.empty())
        out->volumeName = "DVD";

    std::vector<Ifo> sets(100);
    const tt_srpt_t* tt = vmg->tt_srpt;
    for (int i = 0; i < tt->nr_of_srpts; ++i) {
        const title_info_t& ti = tt->title[i];
        const int vtsn = ti.title_set_nr;
        if (vtsn < 1 || vtsn > 99)
            continue;
        if (!sets[vtsn])
            sets[vtsn].reset(ifoOpen(reader.get(), vtsn));
        if (!sets[vtsn])
            continue;  // a damaged title set: its titles are left out
        DvdTitle t;
        t.number = i + 1;
        t.titleSet = vtsn;
        t.titleInSet = ti.vts_ttn;
        t.angles = std::max<int>(1, ti.nr_of_angles);
        if (ReadTitle(sets[vtsn].get(), ti, videoTs, &t))
            out->titles.push_back(std::move(t));
    }
    return out->titles.empty() ? kDvdNoTitles : kDvdOk;
#else
    return kDvdUnsupported;
#endif
}

namespace {
const std::vector<SectorRange>* RangesOf(const DvdDisc& disc, int titleIndex, int chapterIndex)
{
    if (titleIndex < 0 || titleIndex >= int(disc.titles.size()))
        return nullptr;
    const DvdTitle& t = disc.titles[size_t(titleIndex)];
    if (chapterIndex < 0)
        return &t.sectors;
    if (chapterIndex >= int(t.chapters.size()))
        return nullptr;
    return &t.chapters[size_t(chapterIndex)].sectors;
}
} // namespace

int64_t extractSize(const DvdDisc& disc, int titleIndex, int chapterIndex)
{
    const std::vector<SectorRange>* ranges = RangesOf(disc, titleIndex, chapterIndex);
    if (!ranges)
        return -1;
    int64_t sectors = 0;
    for (const SectorRange& r : *ranges)
        sectors += int64_t(r.lastSector) - r.firstSector + 1;
    return sectors * 2048;
}

int32_t extractToFile(const DvdDisc& disc, int titleIndex, int chapterIndex, const std::string& outPath,
                      const ExtractProgress& progress)
{
    const std::vector<SectorRange>* ranges = RangesOf(disc, titleIndex, chapterIndex);
    if (!ranges)
        return kDvdBadIndex;
    if (outPath.empty())
        return kDvdWriteError;
    const int64_t expected = extractSize(disc, titleIndex, chapterIndex);
    std::error_code ec;
    if (fs::is_regular_file(outPath, ec) && int64_t(fs::file_size(outPath, ec)) == expected && !ec)
        return kDvdOk;
#if RM_HAVE_DVDREAD
    Reader reader = OpenReader(disc.rootPath);
    if (!reader)
        return kDvdReadError;
    VobFile vob(DVDOpenFile(reader.get(), disc.titles[size_t(titleIndex)].titleSet, DVD_READ_TITLE_VOBS));
    if (!vob)
        return kDvdReadError;
    // Written under another name first, so that a broken copy never looks like a finished one.
    const std::string part = outPath + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f)
        return kDvdWriteError;
    constexpr int kChunk = 256;  // sectors a read (512 KiB)
    std::vector<unsigned char> buf(size_t(kChunk) * 2048);
    int32_t result = kDvdOk;
    int64_t done = 0;
    for (const SectorRange& r : *ranges) {
        for (uint32_t s = r.firstSector; s <= r.lastSector && result == kDvdOk;) {
            const size_t n = std::min<uint32_t>(kChunk, r.lastSector - s + 1);
            const ssize_t got = DVDReadBlocks(vob.get(), int(s), n, buf.data());
            if (got != ssize_t(n))
                result = kDvdReadError;
            else if (std::fwrite(buf.data(), 2048, n, f) != n)
                result = kDvdWriteError;
            s += uint32_t(n);
            done += int64_t(n) * 2048;
            if (result == kDvdOk && progress && !progress(done, expected))
                result = kDvdCancelled;
        }
        if (result != kDvdOk)
            break;
    }
    if (std::fclose(f) != 0 && result == kDvdOk)
        result = kDvdWriteError;
    if (result == kDvdOk) {
        fs::rename(part, outPath, ec);
        if (ec)
            result = kDvdWriteError;
    }
    if (result != kDvdOk)
        fs::remove(part, ec);
    return result;
#else
    return kDvdUnsupported;
#endif
}

const char* dvdErrorText(int32_t code)
{
    switch (code) {
    case kDvdOk: return "OK";
    case kDvdNoPath: return "The DVD folder or file does not exist.";
    case kDvdNotVideoDvd: return "This is not a DVD-Video folder (no readable VIDEO_TS.IFO).";
    case kDvdNoTitles: return "The DVD has no playable title.";
    case kDvdReadError: return "The DVD could not be read.";
    case kDvdBadIndex: return "No such title or chapter on the DVD.";
    case kDvdWriteError: return "The title could not be written to disk.";
    case kDvdUnsupported: return "DVD reading is not available in this build.";
    case kDvdCancelled: return "Reading the DVD was cancelled.";
    default: return "Unknown DVD error.";
    }
}

std::string languageName(const std::string& code)
{
    static const struct { const char* code; const char* name; } kNames[] = {
        {"en", "English"}, {"fr", "French"}, {"de", "German"}, {"es", "Spanish"}, {"it", "Italian"},
        {"ja", "Japanese"}, {"zh", "Chinese"}, {"ko", "Korean"}, {"ru", "Russian"}, {"pt", "Portuguese"},
        {"nl", "Dutch"}, {"sv", "Swedish"}, {"da", "Danish"}, {"no", "Norwegian"}, {"fi", "Finnish"},
        {"pl", "Polish"}, {"cs", "Czech"}, {"hu", "Hungarian"}, {"el", "Greek"}, {"tr", "Turkish"},
        {"he", "Hebrew"}, {"ar", "Arabic"}, {"hi", "Hindi"}, {"th", "Thai"},
    };
    if (code.empty())
        return "Unknown";
    for (const auto& n : kNames)
        if (code == n.code)
            return n.name;
    return code;
}

} // namespace rm::dvd
