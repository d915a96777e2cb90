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

#include "convert/file_copy.h"
#include "convert/job_records.h"
#include "model/app_settings.h"
#include "convert/page_writer.h"
#include "convert/watch_targets.h"
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

// The result a thumbnail adds to its video's line: none unless it was asked for and could not
// be written (a cancel is the cancel's, not the thumbnail's).
int32_t ThumbnailResult(const ThumbnailJob& t)
{
    if (!t.converted || t.result == messages::kResultOk || t.result == messages::kResultCancelled)
        return messages::kResultOk;
    return messages::kResultThumbnailWriteFailed;
}

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
    bool ruffleCopied = false;  // the output folder holds the emulator (web-ready runs)
    // What the next reported output can be watched with (its page or playable video), set when
    // it was written and recorded with its result line.
    QString pendingWatch;
    // The first result of the current task that was not a success (0 while all went well).
    int32_t taskResult = 0;
    bool taskCut = false;  // a cancel left members of the current task unconverted

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
        // Recorded before the line is posted, so that the window reading the line finds it.
        // A damaged source's output and one whose page lacks the program's player files are
        // kept and can be watched; the task counts as done with them.
        const bool outputKept = messages::OutputWritten(result) || result == messages::kResultPlayerFilesMissing;
        if (taskResult == messages::kResultOk && !outputKept)
            taskResult = result;
        RecordWatchTarget(name ? name : "", outputKept ? pendingWatch : QString());
        pendingWatch.clear();
        Post(WM_CONVERT_ONE_POS, barMax, 0);
        Post(WM_CONVERT_RESULT, result, reinterpret_cast<intptr_t>(RunResultName(name)));
        state.finishedSeconds.fetch_add(barMax);
    }

    bool FolderExists() const
    {
        return !folders.currentJobFolder.isEmpty() && QFileInfo(folders.currentJobFolder).isDir();
    }

    // What a task left for the clean-up step.
    struct TaskOutputs {
        QString playerName;     // the player written (name without folder and extension)
        bool playerFailed = false;
    };

    // The player and page of a finished output. Returns the result its line carries: success,
    // or the player or page that could not be written. No page is written for a player that is
    // not there.
    int32_t PlayerAndPage(const CustomSettings& s, const QString& stem, int32_t length, TaskOutputs& out)
    {
        if (!s.IsGeneralSwf)
            return messages::kResultOk;
        const QString name = FileNameOfStem(stem);
        // The file browsers play themselves comes first: the player's HTML5 design names it.
        QString browserVideo;
        const bool videoReady = !s.IsGeneralHtml || BrowserVideoFor(stem + QLatin1Char('.') + ExtensionOf(s), browserVideo);
        if (MakeOutputPlayer(s, stem, name, length, setup.player, s.IsGeneralHtml ? browserVideo : QString())
            != player_maker::FPM_OK) {
            out.playerFailed = true;
            return messages::kResultPlayerWriteFailed;
        }
        out.playerName = name;
        if (!videoReady)
            return messages::kResultPageWriteFailed;
        return PageStep(s, name, browserVideo);
    }

    // After the conversion of a file, segment or merge group: its thumbnail, player and page.
    // Returns the result of the task's line.
    int32_t AfterConversion(const ConvertJob& job, const CustomSettings& s, bool filled, int32_t result,
                            int32_t length, TaskOutputs& out)
    {
        if (!filled)
            return result;
        ThumbnailJob thumb = FillThumbnailJob(job, s);
        const int32_t thumbnail = ThumbnailResult(thumb);
        ReleaseThumbnail(thumb);
        // A failed or cancelled conversion wrote no video: no player or page that would look
        // like a finished output. The player and page take the name of the file actually
        // written (clip(1) when clip was taken), so they show this task's video, not another's.
        // A video written from a damaged source is kept: its line carries the warning unless
        // something else went wrong.
        if (!messages::OutputWritten(result))
            return result;
        const int32_t warning = result;
        result = PlayerAndPage(s, StemOf(job.OutputPath), length, out);
        if (result == messages::kResultOk || result == messages::kResultPlayerFilesMissing)
            pendingWatch = WatchTargetFor(s, out.playerName, QString::fromUtf8(job.OutputPath));
        if (result != messages::kResultOk)
            return result;
        return thumbnail != messages::kResultOk ? thumbnail : warning;
    }

    void Single(const MediaItem& t, const CustomSettings& s, TaskOutputs& out)
    {
        JobHolder job{converter::createGroupMediaUIOption(nullptr, s.FormatName, s.FormatArg)};
        ConvertInput* input = converter::createMediaUIOption(job.job, SourceOf(t));
        const bool filled = FillSingleJob(folders, t, s, job.job, input, true);
        const int32_t length = t.trim.Length();
        Post(WM_CONVERT_ONE_MAX, length, 0);
        const int32_t result = converter::converteToMedia(job.job, s.FormatName, job.job->FormatArgument);
        ReportOutput(AfterConversion(*job.job, s, filled, result, length, out), t.outputBaseName, length);
    }

    void Merge(const MediaItem& g, const std::vector<std::unique_ptr<MediaItem>>& members, const CustomSettings& s,
               TaskOutputs& out)
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
        ReportOutput(AfterConversion(*job.job, s, filled, result, length, out), g.outputBaseName, length);
    }

    void Slide(MediaItem& g, const std::vector<std::unique_ptr<MediaItem>>& members, const CustomSettings& s,
               TaskOutputs& out)
    {
        if (!MakeJobFolder(folders, QString::fromUtf8(g.outputBaseName))) {
            // The group cannot be converted. Each member still gets its line, so the user sees
            // why nothing came out, and the total bar stays right; the run goes on.
            for (const auto& m : members)
                ReportOutput(messages::kResultOutputCreateFailed, m->outputBaseName, m->trim.Length());
            return;
        }
        const QString wanted = folders.currentJobFolder + QString::fromUtf8(g.outputBaseName) + QStringLiteral(".swf");
        const QString swf = UniqueOutputPath(folders, g, wanted, QStringLiteral("swf"));
        const QString stem = StemOf(swf.toUtf8().constData());
        const QString name = FileNameOfStem(stem);
        SetText(g.outputBaseName, name.toUtf8().constData());

        player_maker::FPMUIGroupOption* group = nullptr;
        const bool pictureCopied = BeginSlidePlayer(s, stem, name, &group, setup.player);

        int32_t slideLength = 0;
        int converted = 0;
        for (const auto& m : members) {
            if (state.cancel.load() != 0) {
                taskCut = true;
                break;  // cancelled, or given up on a full disk: no further member
            }
            JobHolder job{converter::createGroupMediaUIOption(nullptr, s.FormatName, s.FormatArg)};
            ConvertInput* input = converter::createMediaUIOption(job.job, SourceOf(*m));
            FillSingleJob(folders, *m, s, job.job, input, false);
            const int32_t length = m->trim.Length();
            Post(WM_CONVERT_ONE_MAX, length, 0);
            const int32_t result = converter::converteToMedia(job.job, s.FormatName, job.job->FormatArgument);
            ThumbnailJob thumb = FillThumbnailJob(*job.job, s);
            const int32_t thumbnail = ThumbnailResult(thumb);
            ReleaseThumbnail(thumb);
            const bool written = messages::OutputWritten(result);
            if (written)
                pendingWatch = WatchTargetFor(s, QString(), QString::fromUtf8(job.job->OutputPath));
            ReportOutput(written && thumbnail != messages::kResultOk ? thumbnail : result, m->outputBaseName, length);
            // A member that failed wrote nothing (the engine leaves no partial file); listing
            // it would give the playlist an entry that cannot play.
            if (written && group) {
                const QString memberStem = StemOf(job.job->OutputPath);
                // The playlist's pages play the members in the browser where it can (an MP4
                // copy of an H.264 FLV member is made for that; without it the page falls back
                // on the emulator).
                QString browserVideo;
                if (s.IsGeneralSwf && s.IsGeneralHtml
                    && !BrowserVideoFor(QString::fromUtf8(job.job->OutputPath), browserVideo))
                    browserVideo.clear();
                AddSlideMedia(s, memberStem, FileNameOfStem(memberStem), group, browserVideo);
                slideLength += length;
                ++converted;
            }
        }
        if (!group)
            return;
        if (converted > 0 && s.IsGeneralSwf) {
            // The members have their lines; the group's player and page get one only when they
            // could not be written.
            int32_t result = messages::kResultOk;
            if (!pictureCopied || FinishSlidePlayer(s, group, slideLength) != player_maker::FPM_OK) {
                QFile::remove(swf);
                out.playerFailed = true;
                result = messages::kResultPlayerWriteFailed;
            } else {
                out.playerName = name;
                result = PageStep(s, name);
                if (result == messages::kResultOk || result == messages::kResultPlayerFilesMissing)
                    RecordWatchTarget(g.outputBaseName, WatchTargetFor(s, name, QString()));
            }
            if (result != messages::kResultOk)
                Post(WM_CONVERT_RESULT, result, reinterpret_cast<intptr_t>(RunResultName(g.outputBaseName)));
        }
        player_maker::freeFPMUIGroupOption(&group);
    }

    // The page written for an output, or else the video when a browser plays it by itself.
    QString WatchTargetFor(const CustomSettings& s, const QString& playerName, const QString& video) const
    {
        if (s.IsGeneralSwf && s.IsGeneralHtml && !playerName.isEmpty()) {
            const QString page = folders.currentJobFolder + playerName + QStringLiteral(".html");
            if (QFileInfo(page).isFile())
                return page;
        }
        return !video.isEmpty() && IsWatchableFile(video) && QFileInfo(video).isFile() ? video : QString();
    }

    // The page of a written player, when the settings ask for one. Returns the result of its
    // line: success, the page that could not be written, or (web-ready runs) the player files
    // missing from the program folder. browserVideo: the file beside the page that browsers play
    // themselves (empty for none, and for a slide group's playlist, whose design names them).
    int32_t PageStep(const CustomSettings& s, const QString& name, const QString& browserVideo = {})
    {
        if (!s.IsGeneralSwf || !s.IsGeneralHtml || name.isEmpty() || !FolderExists())
            return messages::kResultOk;
        const QString design = name + QStringLiteral(".html5.js");
        const bool hasDesign = QFileInfo(folders.currentJobFolder + design).isFile();
        if (!WritePlayerPage(folders.currentJobFolder, name, s.BackgrounColor.red, s.BackgrounColor.green,
                             s.BackgrounColor.blue, s.Width, s.Height, setup.player.programFolder, browserVideo,
                             s.IsAutoPlay != 0, hasDesign ? design : QString()))
            return messages::kResultPageWriteFailed;
        if (!setup.webReady || ruffleCopied)
            return messages::kResultOk;
        const QString program = setup.player.programFolder.isEmpty() ? ProgramFolder() : setup.player.programFolder;
        QString missing;
        ruffleCopied = CopyRuffleFolder(program, folders.outputFolder, &missing);
        if (ruffleCopied)
            return messages::kResultOk;
        if (missing.isEmpty())
            return messages::kResultPageWriteFailed;
        messages::setErrorDetail(messages::kResultPlayerFilesMissing,
            QStringLiteral("The video, player and page were made, but the player file %1 is missing from the "
                           "program folder, so the output folder is not web-ready: reinstall Reelmaker.")
                .arg(QDir::toNativeSeparators(missing)).toUtf8().constData());
        return messages::kResultPlayerFilesMissing;
    }

    // The emulator decodes H.264 badly or not at all (not from MP4; from FLV with frames lost),
    // so such a video is played by the browser itself: an MP4 as it is, an H.264 FLV from an MP4
    // copy of its streams beside it. False when that copy could not be written.
    static bool BrowserVideoFor(const QString& video, QString& browserVideo)
    {
        const QFileInfo info(video);
        const QString ext = info.suffix().toLower();
        if (ext == QLatin1String("mp4") || ext == QLatin1String("m4v")) {
            browserVideo = info.fileName();
            return true;
        }
        if (ext != QLatin1String("flv") || !info.isFile())
            return true;
        const QString mp4 = info.path() + u'/' + info.completeBaseName() + QStringLiteral(".mp4");
        const int32_t rc = converter::remuxH264ToMp4(video.toUtf8().constData(), mp4.toUtf8().constData());
        if (rc < 0)
            return false;
        if (rc == 1)
            browserVideo = QFileInfo(mp4).fileName();
        return true;
    }

    void CleanUpStep(const CustomSettings& s, const TaskOutputs& out)
    {
        if (s.IsGeneralFlv || !FolderExists())
            return;
        // The video stays when its player could not be written: it is all that came of the task.
        if (s.IsGeneralSwf && out.playerFailed)
            return;
        // A player that plays the FLV from beside itself (type 2, or type 1 when the video could
        // not be embedded) needs it: then the FLV is an output, not an intermediate file.
        if (s.IsGeneralSwf && !out.playerName.isEmpty()) {
            const QString player = folders.currentJobFolder + out.playerName + QStringLiteral(".swf");
            if (player_maker::playerLoadsVideoBesideIt(player.toUtf8().constData()))
                return;
        }
        QDir dir(folders.currentJobFolder);
        const QStringList flvs = dir.entryList({QStringLiteral("*.flv")}, QDir::Files | QDir::Hidden);
        for (const QString& f : flvs)
            dir.remove(f);
    }

    void TellState(uint64_t nodeId, TaskRunState state, const QString& folder = {}, const QString& message = {})
    {
        if (!setup.onTaskState || nodeId == 0)
            return;
        TaskRunRecord r;
        r.state = state;
        r.outputFolder = folder;
        r.message = message;
        setup.onTaskState(nodeId, r);
    }

    // How a finished task stands: done, failed with its first failure's text, or still to do
    // when the run was cancelled in its middle.
    void TellEnd(uint64_t nodeId)
    {
        const QString folder = FolderExists() ? folders.currentJobFolder : QString();
        if (taskResult == messages::kResultOk && !taskCut)
            TellState(nodeId, TaskRunState::Done, folder);
        else if (taskResult == messages::kResultCancelled || taskResult == messages::kResultOk)
            TellState(nodeId, TaskRunState::Waiting);
        else
            TellState(nodeId, TaskRunState::Failed, folder, QString::fromUtf8(messages::getErrorInfo(taskResult, 0, 1)));
    }

    // A job folder this run made and that holds nothing (every output failed or was
    // cancelled) goes again.
    void RemoveFolderIfEmpty()
    {
        if (!folders.currentMadeByRun || !FolderExists())
            return;
        QDir dir(folders.currentJobFolder);
        if (dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            QDir().rmdir(folders.currentJobFolder);
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
            folders.currentMadeByRun = false;
            taskResult = messages::kResultOk;
            taskCut = false;
            TellState(task.nodeId, TaskRunState::Running);
            TaskOutputs outputs;
            if (t.kind == kKindMerge)
                Merge(t, task.members, s, outputs);
            else if (t.kind == kKindSlide)
                Slide(t, task.members, s, outputs);
            else
                Single(t, s, outputs);
            CleanUpStep(s, outputs);
            // The task is over: its folder is no longer worked in.
            if (folders.currentLock)
                folders.currentLock->Release();
            folders.currentLock.reset();
            RemoveFolderIfEmpty();
            TellEnd(task.nodeId);
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
