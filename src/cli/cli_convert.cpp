// reelmaker-cli convert: the main window's add, group and convert without the windows. The task
// list is built with the same operations the main window uses, the same conversion worker runs
// it, and each result is printed as the progress window writes it.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_worker.h"
#include "convert/conver_thread.h"
#include "convert/job_folder_lock.h"
#include "engines/converter/converter.h"
#include "engines/converter/media_info.h"
#include "engines/messages/result_codes.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/profile_catalogue.h"
#include "model/task_tree.h"

namespace rmcli {
namespace {

const char kUsage[] =
    "  reelmaker-cli convert [options] FILE...\n"
    "      Converts the files as the main window would: one task per file (or one merge or\n"
    "      slide group of all of them), each in its own folder below the output folder.\n"
    "      --output DIR            output folder (default: the application's output folder)\n"
    "      --profile NAME          output profile by its display name\n"
    "      --merge | --slide       all FILEs form one merge group or one slide group\n"
    "      --trim START-END        used stretch of each file, in seconds\n"
    "      --crop T,B,L,R          pixels cut from the top, bottom, left and right\n"
    "      --zoom MODE             original | full | 16:9 | 4:3\n"
    "      --brightness N          -100..100\n"
    "      --contrast N            -100..100\n"
    "      --saturation N          -100..100\n"
    "      --effect NAME           none | gray | emboss | old-film\n"
    "      --flip h|v|hv           mirror horizontally, vertically or both\n"
    "      --volume N              0..510 (255 unchanged)\n"
    "      --size WxH              output frame size\n"
    "      --swf-type 1|2          1 video inside the SWF, 2 SWF playing the FLV beside it\n"
    "      --no-flv --no-swf --no-html --no-thumbnail   leave that output out\n"
    "      --autoplay              the player starts playing by itself\n"
    "      --web-ready             copy the players (Flash emulator, HTML5 player) into the output\n"
    "                              folder, so that it plays wherever it is served (as the option\n"
    "                              does, which is on unless turned off)\n"
    "      --no-web-ready          do not copy them, whatever the option says\n"
    "      --player-skin NAME      player skin template (or None)\n"
    "      --transition NAME       transition effect template (or None)\n"
    "      --preloader NAME        preloader template (or None)\n"
    "      Settings not given come from the saved customisation. Exit status: 0 every output\n"
    "      converted, 1 an output failed, 2 usage error or a file that cannot be added, 3 every\n"
    "      output written but a source was damaged (its line says where it shows a still picture).";

struct Options {
    QString output;
    std::optional<std::string> profile;
    int32_t group = -1;  // rm::kKindMerge or rm::kKindSlide
    std::optional<rm::TrimRange> trim;
    std::optional<rm::CropSettings> crop;  // margins only
    std::optional<std::string> zoom;
    std::optional<int> brightness, contrast, saturation, effect, volume;
    std::optional<std::pair<int, int>> flip;  // horizontal, vertical
    std::optional<std::pair<int, int>> size;
    std::optional<int> swfType;
    bool noFlv = false, noSwf = false, noHtml = false, noThumbnail = false, autoplay = false;
    int webReady = -1;  // -1: as the options say
    std::vector<std::string> rawFiles; // the names as given, byte for byte (files' order)
    std::optional<std::string> playerSkin, transition, preloader;
    QStringList files;
};

int Fail(const std::string& text)
{
    std::fprintf(stderr, "reelmaker-cli convert: %s\n", text.c_str());
    return kExitUsage;
}

Options Parse(const std::vector<std::string>& args)
{
    Options o;
    static const char* const kWithValue[] = {"--output", "--profile", "--trim", "--crop", "--zoom", "--brightness",
                                             "--contrast", "--saturation", "--effect", "--flip", "--volume", "--size",
                                             "--swf-type", "--player-skin", "--transition", "--preloader"};
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        if (filesOnly || a.empty() || a[0] != '-' || a == "-") {
            o.files << QString::fromLocal8Bit(a.c_str());
            o.rawFiles.push_back(a);
            continue;
        }
        if (a == "--") {
            filesOnly = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        if (const size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            value = a.substr(eq + 1);
            a = a.substr(0, eq);
            hasValue = true;
        }
        bool takesValue = false;
        for (const char* w : kWithValue)
            takesValue = takesValue || a == w;
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size())
                throw UsageError{a + " needs a value"};
            value = args[++i];
        } else if (!takesValue && hasValue) {
            throw UsageError{a + " takes no value"};
        }

        if (a == "--output") {
            if (value.empty())
                throw UsageError{"--output needs a folder"};
            o.output = QString::fromLocal8Bit(value.c_str());
        } else if (a == "--profile") {
            o.profile = value;
        } else if (a == "--merge" || a == "--slide") {
            const int32_t kind = a == "--merge" ? rm::kKindMerge : rm::kKindSlide;
            if (o.group != -1 && o.group != kind)
                throw UsageError{"--merge and --slide cannot be used together"};
            o.group = kind;
        } else if (a == "--trim") {
            const std::vector<std::string> p = Split(value, '-');
            int start = 0, end = 0;
            if (p.size() != 2 || !ParseInt(p[0], start) || !ParseInt(p[1], end) || start < 0 || end <= start)
                throw UsageError{"--trim takes START-END in whole seconds, START before END"};
            o.trim = rm::TrimRange{start, end};
        } else if (a == "--crop") {
            const std::vector<std::string> p = Split(value, ',');
            int v[4] = {};
            bool ok = p.size() == 4;
            for (size_t k = 0; ok && k < 4; ++k)
                ok = ParseInt(p[k], v[k]) && v[k] >= 0;
            if (!ok)
                throw UsageError{"--crop takes T,B,L,R: four pixel counts of 0 or more"};
            rm::CropSettings c;
            c.top = v[0];
            c.bottom = v[1];
            c.left = v[2];
            c.right = v[3];
            o.crop = c;
        } else if (a == "--zoom") {
            o.zoom = ZoomOption(value);
        } else if (a == "--brightness") {
            o.brightness = IntIn(a, value, -100, 100);
        } else if (a == "--contrast") {
            o.contrast = IntIn(a, value, -100, 100);
        } else if (a == "--saturation") {
            o.saturation = IntIn(a, value, -100, 100);
        } else if (a == "--effect") {
            o.effect = EffectOption(value);
        } else if (a == "--flip") {
            const auto [h, v] = FlipOption(value);
            o.flip = std::make_pair(h ? 1 : 0, v ? 1 : 0);
        } else if (a == "--volume") {
            o.volume = IntIn(a, value, 0, 510);
        } else if (a == "--size") {
            const std::vector<std::string> p = Split(value, 'x');
            int w = 0, h = 0;
            if (p.size() != 2 || !ParseInt(p[0], w) || !ParseInt(p[1], h) || w < 16 || h < 16 || w > 4096 || h > 4096)
                throw UsageError{"--size takes WxH, each from 16 to 4096 pixels"};
            o.size = std::make_pair(w, h);
        } else if (a == "--swf-type") {
            if (value != "1" && value != "2")
                throw UsageError{"--swf-type takes 1 or 2"};
            o.swfType = value == "1" ? 1 : 2;
        } else if (a == "--no-flv") {
            o.noFlv = true;
        } else if (a == "--no-swf") {
            o.noSwf = true;
        } else if (a == "--no-html") {
            o.noHtml = true;
        } else if (a == "--no-thumbnail") {
            o.noThumbnail = true;
        } else if (a == "--autoplay") {
            o.autoplay = true;
        } else if (a == "--web-ready") {
            o.webReady = 1;
        } else if (a == "--no-web-ready") {
            o.webReady = 0;
        } else if (a == "--player-skin") {
            o.playerSkin = value;
        } else if (a == "--transition") {
            o.transition = value;
        } else if (a == "--preloader") {
            o.preloader = value;
        } else {
            throw UsageError{"unknown option " + a};
        }
    }
    if (o.files.isEmpty())
        throw UsageError{"no FILE given"};
    if (o.noFlv && o.noSwf && o.noHtml && o.noThumbnail)
        throw UsageError{"every output is turned off (--no-flv --no-swf --no-html --no-thumbnail): nothing would be written"};
    if (o.group == rm::kKindSlide && o.swfType == 1)
        throw UsageError{"a slide group's player always plays the FLV files beside it (--swf-type 2)"};
    return o;
}

// The template names of a gallery folder: "None" and every "*.bmp" or "*.swf" up to its first ".".
QStringList TemplateNames(const QString& folder)
{
    QStringList names{QStringLiteral("None")};
    static const QStringList skip = {QStringLiteral("None"), QStringLiteral("PlayerMore"), QStringLiteral("EffectMore"),
                                     QStringLiteral("LoaderMore"), QStringLiteral("border")};
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.bmp"), QStringLiteral("*.swf")}, QDir::Files,
                                                     QDir::Name);
    for (const QString& f : files) {
        const QString name = f.section(u'.', 0, 0);
        if (!name.isEmpty() && !skip.contains(name) && !names.contains(name))
            names << name;
    }
    return names;
}

void CheckTemplate(const std::optional<std::string>& value, const char* option, const QString& folder)
{
    if (!value)
        return;
    const QStringList names = TemplateNames(folder);
    if (!names.contains(QString::fromStdString(*value)))
        throw UsageError{std::string(option) + ": no template named \"" + *value + "\" (have: " +
                         names.join(QStringLiteral(", ")).toStdString() + ")"};
}

// The options that belong to a task's own customisation record.
void ApplySettings(const Options& o, int profileIndex, rm::CustomSettings& s, bool slideGroup)
{
    // The size the saved record was laid out for, before a profile brings its own.
    const int savedWidth = s.Width, savedHeight = s.Height;
    if (profileIndex >= 0)
        rm::ApplyProfileTo(profileIndex, s);
    if (o.size) {
        // Keep the decoration's place in the player: the scales follow the new size against the
        // same preview the saved record was laid out in.
        if (savedWidth > 0 && s.dscale_X > 0 && savedHeight > 0 && s.dscale_Y > 0) {
            const double previewW = savedWidth / s.dscale_X;
            const double previewH = savedHeight / s.dscale_Y;
            s.dscale_X = o.size->first / previewW;
            s.dscale_Y = o.size->second / previewH;
            s.dscale = (double(o.size->first) * o.size->second) / (previewW * previewH);
        }
        s.Width = o.size->first;
        s.Height = o.size->second;
    }
    if (o.swfType && !slideGroup)
        s.SwfType = *o.swfType;
    if (slideGroup)
        s.SwfType = 2;
    if (o.noFlv)
        s.IsGeneralFlv = 0;
    if (o.noSwf)
        s.IsGeneralSwf = 0;
    if (o.noHtml)
        s.IsGeneralHtml = 0;
    if (o.noThumbnail)
        s.IsGeneralThumbnail = 0;
    if (o.autoplay)
        s.IsAutoPlay = 1;
    if (o.playerSkin)
        rm::SetText(s.PlayerSkinPath, o.playerSkin->c_str());
    if (o.transition)
        rm::SetText(s.EffectSkinPath, o.transition->c_str());
    if (o.preloader)
        rm::SetText(s.PreloaderSkinPath, o.preloader->c_str());
}

// The options of the crop-and-effects and trim dialogs, on a file item before it joins a group.
void ApplyEdits(const Options& o, rm::MediaItem& item)
{
    if (o.trim) {
        item.trim = *o.trim;
        const int32_t duration = item.media ? item.media->durationSeconds : 0;
        if (item.trim.end > duration)
            item.trim.end = duration;
        if (item.trim.start >= item.trim.end)
            throw UsageError{"--trim " + std::to_string(o.trim->start) + "-" + std::to_string(o.trim->end) +
                             " lies outside " + item.SourcePath() + " (" + std::to_string(duration) + " s)"};
        const std::string text = rm::DurationToText(float(item.trim.Length()));
        rm::SetText(item.row.trimmedLength, text.c_str());
    }
    if (o.crop) {
        const int w = item.media ? item.media->width : 0;
        const int h = item.media ? item.media->height : 0;
        if ((w > 0 && o.crop->left + o.crop->right >= w) || (h > 0 && o.crop->top + o.crop->bottom >= h))
            throw UsageError{"--crop leaves no picture of " + item.SourcePath()};
        item.crop->top = o.crop->top;
        item.crop->bottom = o.crop->bottom;
        item.crop->left = o.crop->left;
        item.crop->right = o.crop->right;
    }
    if (o.zoom)
        rm::SetText(item.crop->zoom, o.zoom->c_str());
    if (o.brightness)
        item.effects->brightness = *o.brightness;
    if (o.contrast)
        item.effects->contrast = *o.contrast;
    if (o.saturation)
        item.effects->saturation = *o.saturation;
    if (o.effect)
        item.effects->colourEffect = *o.effect;
    if (o.flip) {
        item.effects->horizontalFlip = o.flip->first;
        item.effects->verticalFlip = o.flip->second;
    }
    if (o.volume)
        item.effects->volume = *o.volume;
}

bool IsUtf8(const std::string& bytes)
{
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decode.hasError();
}

// "permission denied" and the like: the system's text, as a sentence's continuation.
std::string ReadableError(int err)
{
    std::string text = std::strerror(err);
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string ProbeText(int32_t code)
{
    switch (code) {
    case rm::converter::kProbeNoPath: return "no such file";
    case rm::converter::kProbeCannotOpen: return "not a video file the converter can read";
    case rm::converter::kProbeNoStreams: return "its streams cannot be read";
    case rm::converter::kProbeNoVideo: return "it holds no video";
    case rm::converter::kProbeNoDecoder: return "its video cannot be decoded";
    case rm::converter::kProbeStillPicture: return "it is a still picture, not a video";
    default: return "the converter does not take it";
    }
}

// Prints result lines as the progress window writes them, and a progress bar on a terminal.
class ConsoleSink : public rm::MessageSink {
public:
    ConsoleSink(int64_t totalSeconds, bool bar) : m_total(totalSeconds), m_bar(bar) {}

    void post(uint32_t message, intptr_t w, intptr_t l) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        switch (message) {
        case rm::WM_CONVERT_RESULT: {
            const int32_t code = int32_t(w);
            const char* name = reinterpret_cast<const char*>(l);
            ClearBar();
            if (code == 0) {
                std::printf("%s --> Convert Successful!\n", name);
            } else if (rm::messages::OutputWritten(code)) {
                std::printf("%s --> %s\n", name, rm::messages::getErrorInfo(code, 0, 1));
                m_warned = true;
            } else {
                std::printf("%s --> %s\n", name, rm::messages::getErrorInfo(code, 0, 1));
                m_failed = true;
            }
            std::fflush(stdout);
            break;
        }
        case rm::WM_CONVERT_PROGRESS:
        case rm::WM_CONVERT_PROGRESS2: {
            const auto* p = reinterpret_cast<const rm::converter::ConvertProgress*>(w);
            if (p && p->Position >= 0 && p->Position < 18000.0) {
                m_position = int64_t(p->Position);
                DrawBar();
            }
            break;
        }
        case rm::WM_CONVERT_ONE_MAX:
            m_position = 0;
            DrawBar();
            break;
        case rm::WM_CONVERT_DONE:
            ClearBar();
            m_done = true;
            break;
        default:
            break;
        }
    }

    bool failed() const { return m_failed; }
    bool warned() const { return m_warned; }
    bool done() const { return m_done; }

private:
    void DrawBar()
    {
        if (!m_bar || m_total <= 0)
            return;
        int64_t reached = m_position + rm::TheConvertRun().finishedSeconds.load();
        if (reached > m_total)
            reached = m_total;
        const int width = 40;
        const int filled = int(reached * width / m_total);
        std::string line = "\r[" + std::string(size_t(filled), '#') + std::string(size_t(width - filled), ' ') + "] " +
                           rm::DurationToText(float(reached)) + " / " + rm::DurationToText(float(m_total));
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        m_barShown = true;
    }
    void ClearBar()
    {
        if (!m_barShown)
            return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_barShown = false;
    }

    std::mutex m_mutex;
    int64_t m_total = 0;
    int64_t m_position = 0;
    bool m_bar = false;
    bool m_barShown = false;
    bool m_failed = false;
    bool m_warned = false;
    bool m_done = false;
};

int RunConvert(const std::vector<std::string>& args)
{
    Options o;
    try {
        o = Parse(args);
    } catch (const UsageError& e) {
        Fail(e.text);
        PrintUsage("convert");
        return kExitUsage;
    }

    // What the main window does when it starts: program folder, settings, profiles.
    const QString program = rm::ProgramFolder();
    rm::AppSettings& app = rm::TheAppSettings();
    app = rm::LoadAppSettings(program);
    rm::ReadProfileCatalogue(QDir(program).absolutePath().toStdString());
    rm::ApplyStartupProfile();

    int profileIndex = -1;
    if (o.profile) {
        profileIndex = rm::FindProfileByDisplay(*o.profile);
        if (profileIndex < 0) {
            std::string list;
            for (const std::string& e : rm::ProfileListEntries())
                if (e != rm::kCustomProfileEntry)
                    list += "\n  " + e;
            return Fail("no profile named \"" + *o.profile + "\"; the profiles are:" + list);
        }
    }
    try {
        CheckTemplate(o.playerSkin, "--player-skin", program + QStringLiteral("templates/Players/"));
        CheckTemplate(o.transition, "--transition", program + QStringLiteral("templates/Effect/"));
        CheckTemplate(o.preloader, "--preloader", program + QStringLiteral("templates/Preloader/"));
    } catch (const UsageError& e) {
        return Fail(e.text);
    }
    if (o.group != -1 && o.files.size() < 2)
        return Fail(rm::TaskTree::kNeedTwoMessage);

    // A name that is not valid UTF-8 does not survive a text round trip: the file is reached
    // through a link of a readable name in a folder of this run.
    QTemporaryDir links(QDir::tempPath() + QStringLiteral("/reelmaker-cli-XXXXXX"));
    for (size_t i = 0; i < o.rawFiles.size() && i < size_t(o.files.size()); ++i) {
        if (IsUtf8(o.rawFiles[i]))
            continue;
        if (!links.isValid())
            return Fail("cannot add " + o.rawFiles[i] + ": no temporary folder for its name");
        char real[PATH_MAX];
        if (!::realpath(o.rawFiles[i].c_str(), real))
            return Fail("cannot add " + o.rawFiles[i] + ": " + ReadableError(errno));
        const QString link = links.filePath(QString::number(i) + QLatin1Char('/') + QFileInfo(o.files[int(i)]).fileName());
        QDir().mkpath(QFileInfo(link).absolutePath());
        if (::symlink(real, QFile::encodeName(link).constData()) != 0)
            return Fail("cannot add " + o.rawFiles[i] + ": " + ReadableError(errno));
        o.files[int(i)] = link;
    }

    // Adding: every file must be taken, or nothing is converted.
    for (const QString& f : o.files) {
        const QString path = QFileInfo(f).absoluteFilePath();
        const QByteArray utf8 = path.toUtf8();
        if (utf8.size() > rm::converter::kMaxSourcePath)
            return Fail(std::string(rm::TaskTree::kTooLongMessage) + utf8.constData());
        // A file that is there but cannot be read says why.
        if (QFileInfo::exists(path) && ::access(utf8.constData(), R_OK) != 0)
            return Fail("cannot add " + std::string(f.toLocal8Bit().constData()) + ": cannot be read: " + ReadableError(errno));
        const int32_t probe = rm::converter::isSupportFormat(utf8.constData());
        if (probe == rm::converter::kProbeStillPicture)
            return Fail(std::string(f.toLocal8Bit().constData()) + " is a still picture, not a video");
        if (probe != rm::converter::kProbeOk)
            return Fail("cannot add " + std::string(f.toLocal8Bit().constData()) + ": " + ProbeText(probe));
    }
    QStringList absolute;
    for (const QString& f : o.files)
        absolute << QFileInfo(f).absoluteFilePath();

    rm::TaskTree tree;
    rm::AddFilesResult added = tree.addFiles(absolute, true);
    if (added.stopped || added.added.size() != size_t(absolute.size()))
        return Fail(added.message.isEmpty() ? std::string("a file could not be added") : added.message.toStdString());
    try {
        for (rm::TaskNode* n : added.added) {
            ApplyEdits(o, *n->item());
            ApplySettings(o, profileIndex, *n->item()->settings, false);
        }
    } catch (const UsageError& e) {
        return Fail(e.text);
    }
    if (o.group != -1) {
        rm::GroupResult g = tree.formGroup(o.group, added.added, true);
        if (!g.node)
            return Fail(g.message.toStdString());
        ApplySettings(o, profileIndex, *g.node->item()->settings, o.group == rm::kKindSlide);
        // A merged output takes its volume from the group's own effects.
        if (o.volume && g.node->item()->effects)
            g.node->item()->effects->volume = *o.volume;
        tree.setChecked(g.node, true);
    }
    if (!tree.anyChecked())
        return Fail(rm::TaskTree::kNoneCheckedMessage);

    // The output folder, as the convert button prepares it.
    QString output = o.output.isEmpty() ? app.outputFolder : QFileInfo(o.output).absoluteFilePath();
    if (output.isEmpty())
        output = rm::DefaultOutputFolder();
    if (!output.endsWith(u'/'))
        output += u'/';
    if (!QFileInfo(output).isDir() && !QDir().mkdir(output)) {
        std::fprintf(stderr, "reelmaker-cli convert: cannot create the output folder %s\n", output.toLocal8Bit().constData());
        return kExitFailed;
    }
    // What a killed run left there goes first (never what a running one is writing).
    rm::ClearLeftovers(output);

    rm::RunSetup setup;
    setup.outputFolder = output;
    setup.snapshot = tree.takeRunSnapshot();
    const int64_t total = setup.snapshot.totalSeconds;
    ConsoleSink sink(total, ::isatty(STDERR_FILENO) == 1);
    setup.sink = &sink;
    setup.player.programFolder = program;
    setup.webReady = o.webReady >= 0 ? o.webReady == 1 : app.webReady;

    if (RunCancellingOnSignals(std::move(setup))) {
        std::fprintf(stderr, "reelmaker-cli convert: cancelled\n");
        return kExitFailed;
    }
    return sink.failed() ? kExitFailed : sink.warned() ? kExitDamaged : kExitOk;
}

CliCommandRegistrar g_convert({"convert", kUsage, RunConvert});

} // namespace
} // namespace rmcli
