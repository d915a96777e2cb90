// reelmaker-cli snapshot: one output frame of a file as a picture. The file is opened in the
// preview engine with the given picture settings, the engine shows the frame at the second asked
// for, and the output pane is captured as the preview's snapshot button would.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "engines/playback/playback_engine.h"

namespace rmcli {
namespace {

const char kUsage[] =
    "  reelmaker-cli snapshot FILE --at SECONDS --out PATH [options]\n"
    "      Writes the output picture at that second of FILE as the preview shows it, at the\n"
    "      source's size. PATH ends in .jpg, .bmp or .png (that sets the format).\n"
    "      --crop T,B,L,R          pixels cut from the top, bottom, left and right\n"
    "      --zoom MODE             original | full | 16:9 | 4:3\n"
    "      --brightness N          -100..100\n"
    "      --contrast N            -100..100\n"
    "      --saturation N          -100..100\n"
    "      --effect NAME           none | gray | emboss | old-film\n"
    "      --flip h|v|hv           mirror horizontally, vertically or both\n"
    "      Exit status: 0 written, 1 the file or the picture failed, 2 usage error.";

struct Options {
    std::string file;
    double at = -1;
    std::string out;
    rm::playback::PictureSettings picture;
};

std::string LowerExtension(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return {};
    std::string e = path.substr(dot);
    for (auto& c : e)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

Options Parse(const std::vector<std::string>& args)
{
    Options o;
    static const char* const kWithValue[] = {"--at", "--out", "--crop", "--zoom", "--brightness",
                                             "--contrast", "--saturation", "--effect", "--flip"};
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (filesOnly || a.empty() || a[0] != '-' || a == "-") {
            if (!o.file.empty())
                throw UsageError{"one FILE only"};
            o.file = a;
            continue;
        }
        if (a == "--") {
            filesOnly = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        bool takesValue = false;
        for (const char* w : kWithValue)
            takesValue = takesValue || a == w;
        if (!takesValue)
            throw UsageError{"unknown option " + a};
        if (!hasValue) {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            value = args[++i];
        }

        auto& p = o.picture;
        if (a == "--at") {
            char* end = nullptr;
            errno = 0;
            double v = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || errno != 0 || !std::isfinite(v) || v < 0)
                throw UsageError{"--at takes a number of seconds, 0 or more"};
            o.at = v;
        } else if (a == "--out") {
            std::string e = LowerExtension(value);
            if (e != ".jpg" && e != ".jpeg" && e != ".bmp" && e != ".png")
                throw UsageError{"--out must end in .jpg, .bmp or .png"};
            o.out = value;
        } else if (a == "--crop") {
            const std::vector<std::string> parts = Split(value, ',');
            int v[4] = {};
            bool ok = parts.size() == 4;
            for (size_t k = 0; ok && k < 4; ++k)
                ok = ParseInt(parts[k], v[k]) && v[k] >= 0 && v[k] <= 10000;
            if (!ok)
                throw UsageError{"--crop takes T,B,L,R: four pixel counts from 0 to 10000"};
            p.CropTop = v[0];
            p.CropBottom = v[1];
            p.CropLeft = v[2];
            p.CropRight = v[3];
        } else if (a == "--zoom") {
            p.Zoom = ZoomOption(value);
        } else if (a == "--brightness") {
            p.Brightness = IntIn(a, value, -100, 100);
        } else if (a == "--contrast") {
            p.Contrast = IntIn(a, value, -100, 100);
        } else if (a == "--saturation") {
            p.Saturation = IntIn(a, value, -100, 100);
        } else if (a == "--effect") {
            p.Effect = EffectOption(value);
        } else if (a == "--flip") {
            const auto [h, v] = FlipOption(value);
            p.HorizontalFlip = h;
            p.VerticalFlip = v;
        }
    }
    if (o.file.empty())
        throw UsageError{"FILE is missing"};
    if (o.at < 0)
        throw UsageError{"--at is missing"};
    if (o.out.empty())
        throw UsageError{"--out is missing"};
    return o;
}

int Fail(const std::string& text, int code)
{
    std::fprintf(stderr, "reelmaker-cli snapshot: %s\n", text.c_str());
    if (code == kExitUsage)
        PrintUsage("snapshot");
    return code;
}

int Run(const std::vector<std::string>& args)
{
    Options o;
    try {
        o = Parse(args);
    } catch (const UsageError& e) {
        return Fail(e.text, kExitUsage);
    }
    struct stat st {};
    if (stat(o.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail("no such file: " + o.file, kExitFailed);

    namespace pb = rm::playback;
    pb::setPictureSettings(o.picture);
    int result = kExitOk;
    if (pb::openFile(o.file.c_str()) != 0) {
        result = Fail("cannot play " + o.file, kExitFailed);
    } else {
        double length = pb::engineInfo().length;
        // The engine learns the length as it opens; ask it only after the open went through.
        for (int i = 0; i < 100 && length <= 0; i++) {
            struct timespec ts{0, 10 * 1000 * 1000};
            nanosleep(&ts, nullptr);
            length = pb::engineInfo().length;
        }
        if (length > 0 && o.at >= length) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.3f", length);
            result = Fail("--at is past the end of the file (" + std::string(buf) + " s)", kExitFailed);
        } else if (pb::showFrameAt(o.at, 20000) != 0) {
            result = Fail("no picture at that second", kExitFailed);
        } else if (pb::vezCapture(o.out.c_str()) != 0) {
            result = Fail("cannot write " + o.out, kExitFailed);
        }
    }
    pb::close_sdl();
    return result;
}

CliCommandRegistrar registrar{CliCommand{"snapshot", kUsage, &Run}};

} // namespace
} // namespace rmcli
