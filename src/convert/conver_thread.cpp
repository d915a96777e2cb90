#include "convert/conver_thread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cfenv>
#include <mutex>
#include <set>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "convert/job_records.h"
#include "convert/page_writer.h"
#include "engines/converter/converter.h"
#include "engines/messages/result_codes.h"

namespace rm {

namespace {

using converter::ConvertInput;
using converter::ConvertJob;

// At most one run at a time, whoever starts it.
std::mutex g_runMutex;

int32_t QueryCancel() { return TheConvertRun().cancel.load(); }

// The output path of a job without its extension (everything from the file name's last ".").
QString StemOf(const char* outputPath)
{
    const QString path = QString::fromUtf8(outputPath);
    const int slash = int(path.lastIndexOf(u'/'));
    const int dot = int(path.lastIndexOf(u'.'));
    return dot > slash ? path.left(dot) : path;
}

QString FileNameOfStem(const QString& stem) { return stem.mid(stem.lastIndexOf(u'/') + 1); }

QString WithSeparator(QString folder)
{
    folder = QDir::fromNativeSeparators(folder);
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

// Engine records are the engine's; giving them back keeps a long run's memory flat.
struct JobHolder {
    ConvertJob* job = nullptr;
    ~JobHolder()
    {
        if (job)
            converter::releaseMediaUIOption(job);
    }
};

void ReleaseThumbnail(ThumbnailJob& t)
{
    if (t.job)
        converter::releaseMediaUIOption(t.job);
    t.job = nullptr;
}

// The converter reads the source path at offset 0 of whatever it is given.
const void* SourceOf(const MediaItem& item)
{
    static const MediaInfo kNoSource{};
    return item.media ? static_cast<const void*>(item.media.get()) : static_cast<const void*>(&kNoSource);
}

} // namespace

ConvertRunState& TheConvertRun()
{
    static ConvertRunState state;
    return state;
}

const char* RunResultName(const char* name)
{
    static std::mutex m;
    static std::set<std::string> names;  // node-based: element addresses never move
    std::lock_guard<std::mutex> lock(m);
    return names.insert(name ? name : "").first->c_str();
}

void MaskFloatingPointExceptions()
{
#if defined(__x86_64__) || defined(__i386__)
    // x87 control word: the six exception mask bits (mask 63).
    unsigned short cw = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(cw));
    cw |= 0x3f;
    __asm__ __volatile__("fldcw %0" : : "m"(cw));
    // SSE: the six mask bits of MXCSR.
    _mm_setcsr(_mm_getcsr() | 0x1f80);
#else
    std::fenv_t env;
    std::feholdexcept(&env);
#endif
}

struct ConverThread::Impl {
    RunSetup setup;
    ConvertRunState& state;
    JobFolders folders;

    Impl(RunSetup s, ConvertRunState& st) : setup(std::move(s)), state(st) {}

    void Post(uint32_t message, intptr_t w, intptr_t l)
    {
        if (setup.sink)
            setup.sink->post(message, w, l);
    }

    // After each output: bar to its maximum, the result line, the finished seconds.
    void ReportOutput(int32_t result, const char* name, int32_t barMax)
    {
        // A full disk ends the run here and now: waiting for the window to say so (it sets the
        // same flag when the result reaches it) would let the next output start meanwhile. A
        // cancel already asked for stays a cancel.
        if (result == messages::kResultDiskFull) {
            int32_t running = 0;
            state.cancel.compare_exchange_strong(running, 2);
        }
        Post(WM_CONVERT_ONE_POS, barMax, 0);
        Post(WM_CONVERT_RESULT, result, reinterpret_cast<intptr_t>(RunResultName(name)));
        state.finishedSeconds.fetch_add(barMax);
    }

    bool FolderExists() const
    {
        return !folders.currentJobFolder.isEmpty() && QFileInfo(folders.currentJobFolder).isDir();
    }

    // Returns the name the page step uses (the name of the player actually written), or empty
    // when the task's folder could not be made.
    QString Single(const MediaItem& t, const CustomSettings& s)
    {
        JobHolder job{converter::createGroupMediaUIOption(nullptr, s.FormatName, s.FormatArg)};
        ConvertInput* input = converter::createMediaUIOption(job.job, SourceOf(t));
        const bool filled = FillSingleJob(folders, t, s, job.job, input, true);
        const int32_t length = t.trim.Length();
        Post(WM_CONVERT_ONE_MAX, length, 0);
        const int32_t result = converter::converteToMedia(job.job, s.FormatName, job.job->FormatArgument);
        QString name;
        if (filled) {
            ThumbnailJob thumb = FillThumbnailJob(*job.job, s);
            ReleaseThumbnail(thumb);
        }
        // A failed or cancelled conversion wrote no video: no player or page that would look
        // like a finished output. The player and page take the name of the file actually
        // written (clip(1) when clip was taken), so they show this task's video, not another's.
        if (filled && result == messages::kResultOk) {
            const QString stem = StemOf(job.job->OutputPath);
            name = FileNameOfStem(stem);
            if (s.IsGeneralSwf)
                MakeOutputPlayer(s, stem, name, length, setup.player);
        }
        ReportOutput(result, t.outputBaseName, length);
        return name;
    }

    QString Merge(const MediaItem& g, const std::vector<std::unique_ptr<MediaItem>>& members,
                  const CustomSettings& s)
    {
        JobHolder job{converter::createGroupMediaUIOption(nullptr, s.FormatName, s.FormatArg)};
        const bool filled = FillMergeJob(folders, g, s, job.job);
        int32_t length = 0;
        for (const auto& m : members) {
            ConvertInput* input = converter::createMediaUIOption(job.job, SourceOf(*m));
            FillInputFromItem(*m, input);
            length += m->trim.Length();
        }
        Post(WM_CONVERT_ONE_MAX, length, 0);
        const int32_t result = converter::converteToMedia(job.job, s.FormatName, job.job->FormatArgument);
        QString name;
        if (filled) {
            ThumbnailJob thumb = FillThumbnailJob(*job.job, s);
            ReleaseThumbnail(thumb);
        }
        if (filled && result == messages::kResultOk) {
            const QString stem = StemOf(job.job->OutputPath);
            name = FileNameOfStem(stem);
            if (s.IsGeneralSwf)
                MakeOutputPlayer(s, stem, name, length, setup.player);
        }
        ReportOutput(result, g.outputBaseName, length);
        return name;
    }

    QString Slide(MediaItem& g, const std::vector<std::unique_ptr<MediaItem>>& members, const CustomSettings& s)
    {
        if (!MakeJobFolder(folders, QString::fromUtf8(g.outputBaseName))) {
            // The group cannot be converted. Each member still gets its line, so the user sees
            // why nothing came out, and the total bar stays right; the run goes on.
            for (const auto& m : members)
                ReportOutput(messages::kResultOutputCreateFailed, m->outputBaseName, m->trim.Length());
            return {};
        }
        const QString wanted = folders.currentJobFolder + QString::fromUtf8(g.outputBaseName) + QStringLiteral(".swf");
        const QString swf = UniqueOutputPath(folders, g, wanted, QStringLiteral("swf"));
        const QString stem = StemOf(swf.toUtf8().constData());
        const QString name = FileNameOfStem(stem);
        SetText(g.outputBaseName, name.toUtf8().constData());

        player_maker::FPMUIGroupOption* group = nullptr;
        BeginSlidePlayer(s, stem, name, &group, setup.player);

        int32_t slideLength = 0;
        int converted = 0;
        for (const auto& m : members) {
            if (state.cancel.load() != 0)
                break;  // cancelled, or given up on a full disk: no further member
            JobHolder job{converter::createGroupMediaUIOption(nullptr, s.FormatName, s.FormatArg)};
            ConvertInput* input = converter::createMediaUIOption(job.job, SourceOf(*m));
            FillSingleJob(folders, *m, s, job.job, input, false);
            const int32_t length = m->trim.Length();
            Post(WM_CONVERT_ONE_MAX, length, 0);
            const int32_t result = converter::converteToMedia(job.job, s.FormatName, job.job->FormatArgument);
            ThumbnailJob thumb = FillThumbnailJob(*job.job, s);
            ReleaseThumbnail(thumb);
            ReportOutput(result, m->outputBaseName, length);
            // A member that failed wrote nothing (the engine leaves no partial file); listing
            // it would give the playlist an entry that cannot play.
            if (result == messages::kResultOk && group) {
                const QString memberStem = StemOf(job.job->OutputPath);
                AddSlideMedia(s, memberStem, FileNameOfStem(memberStem), group);
                slideLength += length;
                ++converted;
            }
        }
        if (group) {
            if (converted > 0)
                FinishSlidePlayer(s, group, slideLength);
            player_maker::freeFPMUIGroupOption(&group);
        }
        return converted > 0 ? name : QString();
    }

    void PageStep(const CustomSettings& s, const QString& name)
    {
        if (!s.IsGeneralSwf || !s.IsGeneralHtml || name.isEmpty() || !FolderExists())
            return;
        WritePlayerPage(folders.currentJobFolder, name, s.BackgrounColor.red, s.BackgrounColor.green,
                        s.BackgrounColor.blue, s.Width, s.Height, setup.player.programFolder);
    }

    void CleanUpStep(const CustomSettings& s, const QString& playerName)
    {
        if (s.IsGeneralFlv || !FolderExists())
            return;
        // A player that plays the FLV from beside itself (type 2, or type 1 when the video could
        // not be embedded) needs it: then the FLV is an output, not an intermediate file.
        if (s.IsGeneralSwf && !playerName.isEmpty()) {
            const QString player = folders.currentJobFolder + playerName + QStringLiteral(".swf");
            if (player_maker::playerLoadsVideoBesideIt(player.toUtf8().constData()))
                return;
        }
        QDir dir(folders.currentJobFolder);
        const QStringList flvs = dir.entryList({QStringLiteral("*.flv")}, QDir::Files | QDir::Hidden);
        for (const QString& f : flvs)
            dir.remove(f);
    }

    void Execute()
    {
        std::lock_guard<std::mutex> one(g_runMutex);
        MaskFloatingPointExceptions();

        converter::ProgressHandle hook;
        hook.CancelQuery = &QueryCancel;
        hook.Window = setup.sink;
        converter::setProgressHandle(&hook);
        state.finishedSeconds.store(0);
        folders.outputFolder = WithSeparator(setup.outputFolder);

        CustomSettings fallback;
        ResetCustomSettings(fallback);
        for (RunTask& task : setup.snapshot.tasks) {
            // Cancelled, or given up after a full disk: no further task is started.
            if (state.cancel.load() != 0)
                break;
            if (!task.item)
                continue;
            MediaItem& t = *task.item;
            const CustomSettings& s = t.settings ? *t.settings : fallback;
            folders.currentJobFolder.clear();
            QString pageName;
            if (t.kind == kKindMerge)
                pageName = Merge(t, task.members, s);
            else if (t.kind == kKindSlide)
                pageName = Slide(t, task.members, s);
            else
                pageName = Single(t, s);
            PageStep(s, pageName);
            CleanUpStep(s, pageName);
        }

        converter::setProgressHandle(nullptr);
        Post(WM_CONVERT_DONE, 0, 0);
    }
};

ConverThread::ConverThread(RunSetup setup, ConvertRunState& state)
    : m_impl(std::make_unique<Impl>(std::move(setup), state))
{
}

ConverThread::~ConverThread()
{
    wait();
}

void ConverThread::Execute() { m_impl->Execute(); }

void ConverThread::run() { Execute(); }

ConverThread* StartConverThread(std::unique_ptr<ConverThread>& worker, RunSetup setup, ConvertRunState& state)
{
    worker.reset();  // waits for the previous run's thread to end
    worker = std::make_unique<ConverThread>(std::move(setup), state);
    worker->start();
    return worker.get();
}

} // namespace rm
