#pragma once
// The disc reader: the structure of a DVD-Video folder (titles, chapters, lengths, audio and
// subtitle streams, where each title's and chapter's pictures lie in the VOB files) and the
// copying of one title or chapter into a plain MPEG program stream file that the converter and
// the preview engine can open like any other source. Built on libdvdread; no Qt.
//
//   rm::dvd::DvdDisc disc;
//   if (rm::dvd::openDisc("/media/DISC", &disc) == rm::dvd::kDvdOk) {
//       for (const auto& t : disc.titles) ...            // t.chapters, t.audio, t.subtitles
//       rm::dvd::extractToFile(disc, 0, -1, "/tmp/t1.vob");   // title 1, all chapters
//       rm::dvd::extractToFile(disc, 0, 1, "/tmp/t1c2.vob");  // title 1, chapter 2
//   }

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rm::dvd {

// One run of sectors (2048 bytes each) in a title set's VOB files, counted from the first byte
// of VTS_nn_1.VOB as if the files were one.
struct SectorRange {
    uint32_t firstSector = 0;
    uint32_t lastSector = 0;  // inclusive
};

struct DvdAudioStream {
    int streamNumber = 0;        // 0-based logical audio stream of the title set
    std::string language;        // ISO 639 two-letter code, or "" when not given
    std::string format;          // "AC3", "MPEG-1", "MPEG-2", "LPCM", "DTS", "SDDS"
    int channels = 0;
    int sampleRate = 0;          // 48000 or 96000
};

struct DvdSubtitleStream {
    int streamNumber = 0;        // 0-based logical sub-picture stream
    std::string language;
};

struct DvdChapter {
    int number = 0;              // 1-based within the title
    double startSeconds = 0;     // from the title's beginning
    double lengthSeconds = 0;
    std::vector<SectorRange> sectors;
};

struct DvdTitle {
    int number = 0;              // 1-based title number of the disc
    int titleSet = 0;            // VTS number (1..99)
    int titleInSet = 0;          // 1-based title number within the title set
    int angles = 1;
    double lengthSeconds = 0;    // sum of the chapters (the program chain's playing time)
    int width = 0;               // picture size from the title set's video attributes
    int height = 0;
    double frameRate = 0;        // 25 or 29.97
    std::vector<DvdChapter> chapters;
    std::vector<DvdAudioStream> audio;
    std::vector<DvdSubtitleStream> subtitles;
    std::vector<std::string> vobFiles;  // the title set's VOB files, in order (full paths)
    std::vector<SectorRange> sectors;   // all of the title's cells (first angle), in play order
};

struct DvdDisc {
    std::string rootPath;        // the folder that holds VIDEO_TS (or the image file)
    std::string videoTsPath;     // the VIDEO_TS folder ("" for an image)
    std::string volumeName;      // the disc's volume label, or the root folder's name
    std::vector<DvdTitle> titles;
};

// Result codes.
inline constexpr int32_t kDvdOk = 0;
inline constexpr int32_t kDvdNoPath = 1;       // empty path or nothing there
inline constexpr int32_t kDvdNotVideoDvd = 2;  // no readable VIDEO_TS.IFO
inline constexpr int32_t kDvdNoTitles = 3;     // the disc lists no playable title
inline constexpr int32_t kDvdReadError = 4;    // a title set or its sectors could not be read
inline constexpr int32_t kDvdBadIndex = 5;     // no such title or chapter
inline constexpr int32_t kDvdWriteError = 6;   // the output file could not be written
inline constexpr int32_t kDvdUnsupported = 7;  // built without libdvdread
inline constexpr int32_t kDvdCancelled = 8;    // the progress hook asked to stop

// Opens a DVD-Video structure from a folder that holds VIDEO_TS, the VIDEO_TS folder itself, any
// .IFO/.BUP/.VOB file inside it, or a disc image, and lists its titles. Titles that cannot be
// read (a damaged title set) are left out; the call fails only when none is left.
int32_t openDisc(const std::string& pathOrIfo, DvdDisc* out);

// Bytes that extractToFile writes for a title (chapter < 0) or one chapter.
int64_t extractSize(const DvdDisc& disc, int titleIndex, int chapterIndex);

// Copies the sectors of a title (chapterIndex < 0: all of them) or of one chapter, in play order,
// into outPath: an MPEG-2 program stream. When the file already exists with exactly the expected
// size it is kept (a second preview or task of the same chapter costs nothing). A failed copy
// removes the partial file. `progress`, when given, is called (on the calling thread) after every
// chunk with the bytes written so far and the total; returning false stops the copy
// (kDvdCancelled, nothing left behind).
using ExtractProgress = std::function<bool(int64_t bytesDone, int64_t bytesTotal)>;
int32_t extractToFile(const DvdDisc& disc, int titleIndex, int chapterIndex, const std::string& outPath,
                      const ExtractProgress& progress = {});

// A readable message for a result code.
const char* dvdErrorText(int32_t code);

// "%s" of the language code, or "Unknown" when none.
std::string languageName(const std::string& code);

} // namespace rm::dvd
