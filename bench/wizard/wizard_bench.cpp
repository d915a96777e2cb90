// wizard_bench: the wizard's preview of a task's own video, timed.
//
//   wizard_bench clip FILE REPS     makes the preview clip REPS times (the start-up profile's frame
//                                   size); clip_ms per run; then REPS clips stopped half-way: how
//                                   long the stop takes (what closing the wizard waits for)
//   wizard_bench open FILE          opens the wizard for a task of FILE and goes to the player page
//                                   as soon as the first page is on the screen (the clip is made
//                                   meanwhile); then closes it and does
//                                   the same again (the clip is kept, the browser is warm)
//   wizard_bench open-later FILE    opens the wizard, waits on page 1 until the clip is made and
//                                   the browser has loaded the player in advance (a user choosing
//                                   values), then goes to the player page
//   wizard_bench sample             the same as open for a task without a video (the sample)
//
// Times are milliseconds from the call that opens the wizard (open) or that shows the player page
// (open-later): loading_painted (the loading indication is first painted; -1: it never had to
// be), page_shown (the call that shows the player page has returned), clip_ready, navigated (the player
// with the clip is written and its page asked for, perhaps in advance) and loaded (the emulator has loaded the player playing the task's own
// clip; the readiness the wizard itself watches). Needs a display and the web view.
// Output: one "key value" per line.

#include "convert/preview_clip.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/skin_theme.h"
#include "ui/custom/custom_form.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <functional>
#include <vector>

using namespace rm;
using namespace rm::ui;

namespace {

// Notes when the loading indication is first painted.
class PaintWatch : public QObject {
public:
    const QElapsedTimer* clock = nullptr;
    qint64 painted = -1;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (painted < 0 && clock && e->type() == QEvent::Paint && o->objectName() == QLatin1String("previewLoading"))
            painted = clock->elapsed();
        return false;
    }
};

// Runs the event loop until pred holds (checked every 5 ms) or timeoutMs pass; the elapsed time
// of `clock` when it held, or -1.
qint64 WaitFor(const QElapsedTimer& clock, const std::function<bool()>& pred, int timeoutMs = 60000)
{
    QElapsedTimer limit;
    limit.start();
    while (!pred()) {
        if (limit.elapsed() > timeoutMs)
            return -1;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return clock.elapsed();
}

bool Setup()
{
    const QString program = QStringLiteral(RM_APP_DIR "/");
    SetProgramFolder(program);
    if (ReadProfileCatalogueFrom((program + "profile").toStdString()) <= 0)
        return false;
    if (!SkinTheme::Current().Load(program + "Images/DefaultImage.xml"))
        return false;
    ApplyStartupProfile();
    return true;
}

std::unique_ptr<MediaItem> Task(const char* file)
{
    std::unique_ptr<MediaItem> t;
    if (file) {
        t = CreateFileItem(file, {}, CurrentCustomSettings(), ProfileDefaultSettings());
    } else {
        t = std::make_unique<MediaItem>();
        InitItem(*t);
        t->settings = std::make_unique<CustomSettings>();
        CopyCustomSettings(*t->settings, ProfileDefaultSettings());
    }
    if (t && t->settings) {
        t->settings->SwfType = 2;
        SetText(t->settings->PlayerSkinPath, "Classic_h32");
    }
    return t;
}

int Clip(const char* file, int reps)
{
    auto task = Task(file);
    if (!task || !task->media)
        return 1;
    std::printf("frame_size %dx%d\nseconds %d\n", task->settings->Width, task->settings->Height, kPreviewClipSeconds);
    QTemporaryDir dir;
    std::vector<qint64> ms;
    for (int i = 0; i < reps; ++i) {
        QElapsedTimer t;
        t.start();
        const PreviewClip c = MakePreviewClip(PreviewSourceOf(*task), *task->settings, dir.filePath(QString("c%1").arg(i)));
        ms.push_back(t.elapsed());
        if (c.video.isEmpty()) {
            std::printf("error %d\n", c.result);
            return 1;
        }
        std::printf("clip_ms %lld\n", static_cast<long long>(ms.back()));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("clip_median_ms %lld\n", static_cast<long long>(ms[ms.size() / 2]));
    // Closing the wizard while the clip is made: how long the close waits for the clip to stop
    // (asked to stop half-way).
    std::vector<qint64> stop;
    for (int i = 0; i < reps; ++i) {
        std::atomic<bool> cancel{false};
        std::thread t([&] { MakePreviewClip(PreviewSourceOf(*task), *task->settings, dir.filePath("cancelled"), &cancel); });
        std::this_thread::sleep_for(std::chrono::milliseconds(ms.front() / 2));
        QElapsedTimer w;
        w.start();
        cancel = true;
        t.join();
        stop.push_back(w.elapsed());
    }
    std::sort(stop.begin(), stop.end());
    std::printf("cancel_wait_median_ms %lld\ncancel_wait_max_ms %lld\n", static_cast<long long>(stop[stop.size() / 2]),
                static_cast<long long>(stop.back()));
    return 0;
}

// One opening; prints the times with the given prefix. later: wait on page 1 for the clip.
bool OpenOnce(TfrmCustom& form, MediaItem& task, bool later, const char* prefix, bool own)
{
    QElapsedTimer clock;
    PaintWatch paint;
    paint.clock = &clock;
    qApp->installEventFilter(&paint);
    form.SetTask(&task);
    clock.start();
    form.show();
    // The user sees the first page before pressing anything.
    if (WaitFor(clock, [&] { return form.windowHandle() && form.windowHandle()->isExposed(); }) < 0)
        return false;
    if (later) {
        if (WaitFor(clock, [&] { return !form.PreviewClipPending(); }) < 0)
            return false;
        std::printf("%sclip_ready_on_page1 %lld\n", prefix, static_cast<long long>(clock.elapsed()));
        // The browser loads the player in advance.
        if (WaitFor(clock, [&] { return form.PreviewPlayerLoaded() && !form.PreviewVideo().isEmpty(); }) < 0)
            return false;
        std::printf("%sprepared_on_page1 %lld\n", prefix, static_cast<long long>(clock.elapsed()));
        clock.restart();
        paint.painted = -1;
    }
    form.btnNextClick();
    form.btnNextClick();
    const qint64 pageShown = clock.elapsed();  // the player page is there (the browser started)
    const qint64 ready = later ? 0 : WaitFor(clock, [&] { return !form.PreviewClipPending(); });
    const qint64 navigated = WaitFor(clock, [&] { return !form.PreviewUrl().isEmpty() && (!own || !form.PreviewVideo().isEmpty()); });
    const qint64 loaded = WaitFor(clock, [&] { return form.PreviewPlayerLoaded() && (!own || !form.PreviewVideo().isEmpty()); });
    qApp->removeEventFilter(&paint);
    std::printf("%sloading_painted %lld\n%spage_shown %lld\n", prefix, static_cast<long long>(paint.painted), prefix,
                static_cast<long long>(pageShown));
    if (own && !later)
        std::printf("%sclip_ready %lld\n", prefix, static_cast<long long>(ready));
    std::printf("%snavigated %lld\n%sloaded %lld\n", prefix, static_cast<long long>(navigated), prefix,
                static_cast<long long>(loaded));
    std::fflush(stdout);
    form.closeClick();
    return loaded >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || !Setup()) {
        std::fprintf(stderr, "usage: wizard_bench clip FILE REPS | open FILE | open-later FILE | sample\n");
        return 2;
    }
    const QString mode = args[1];
    const QByteArray file = args.size() > 2 ? args[2].toLocal8Bit() : QByteArray();
    if (mode == QLatin1String("clip"))
        return Clip(file.constData(), args.size() > 3 ? args[3].toInt() : 3);
    const bool own = mode != QLatin1String("sample");
    auto task = Task(own ? file.constData() : nullptr);
    if (!task)
        return 1;
    TfrmCustom::SetPreviewEnabled(true);
    TfrmCustom form;
    form.FillTemplateGalleries(QStringLiteral(RM_APP_DIR "/"));
    const bool later = mode == QLatin1String("open-later");
    if (!OpenOnce(form, *task, later, "", own))
        return 1;
    // Again in the same session: the browser is up and the clip is kept.
    if (!OpenOnce(form, *task, false, "again_", own))
        return 1;
    return 0;
}
