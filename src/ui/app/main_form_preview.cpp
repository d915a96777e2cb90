// The main window's preview: the engine set up in MainPlayPanel, the play, stop, snapshot and
// open-folder buttons, the position track bar with its press/release handshake, the status
// callback shared by every preview window, and the preview volume the window restores on close.
#include "ui/app/main_form.h"

#include "engines/messages/window_messages.h"
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "ui/app/app_windows.h"
#include "ui/app/player_form.h"
#include "ui/app/preview_status.h"
#include "ui/app/task_list_view.h"
#include "ui/preview/preview_audio.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QUrl>

#include <array>
#include <cstring>
#include <mutex>

namespace rm::ui {

namespace pb = rm::playback;

namespace {

// Messages the status handler posts besides WM_MAIN_POSITION: control changes it may not make
// on the engine's thread.
constexpr uint32_t kPreviewStoppedMessage = 0x8000 + 2025;  // reset the buttons
constexpr uint32_t kTrackToZeroMessage = 0x8000 + 2026;     // no selection: bar to 0

// The settings-store stand-in for the system's sound volume, which outlives the program.
const QString kVolumeValue = QStringLiteral("PreviewVolume");

std::mutex g_handlersMu;
std::array<PreviewStatusHandler, 4> g_handlers;

void Post(QObject* to, uint32_t message, intptr_t wparam, intptr_t lparam)
{
    QCoreApplication::postEvent(to, new MainMessageEvent(message, wparam, lparam));
}

int32_t SecondsOfClock(int32_t h, int32_t m, int32_t s) { return h * 3600 + m * 60 + s; }

bool IsPlayingRole(const MediaItem* it) { return it->role == kRolePlain || it->role == kRoleSegment; }

} // namespace

// ---------------------------------------------------------------- status callback

bool TrackSeekHandshake::Wait(int timeoutMs)
{
    std::unique_lock lock(m_mu);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_raised; }))
        return false;
    m_raised = false;
    return true;
}

void TrackSeekHandshake::Raise()
{
    {
        std::lock_guard lock(m_mu);
        m_raised = true;
    }
    m_cv.notify_all();
}

QEvent::Type MainMessageEvent::EventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

int PreviewStatusCallback(pb::PlayerStatus* status)
{
    if (!status || status->minutes >= 60 || status->seconds >= 60)
        return 0;
    const uint8_t owner = frmMain ? frmMain->PreviewOwner.load() : uint8_t(0xFF);
    if (owner == 0) {
        if (frmMain)
            frmMain->MainPreviewStatus(*status);
        return 0;
    }
    if (owner > 3)
        return 0;
    PreviewStatusHandler handler;
    {
        std::lock_guard lock(g_handlersMu);
        handler = g_handlers[owner];
    }
    if (handler)
        handler(*status);
    return 0;
}

pb::PlayerCallback PreviewStatusHandle = &PreviewStatusCallback;

void SetPreviewStatusHandler(uint8_t owner, PreviewStatusHandler handler)
{
    if (owner == 0 || owner > 3)
        return;
    std::lock_guard lock(g_handlersMu);
    g_handlers[owner] = std::move(handler);
}

// Engine's thread: reads only the atomics the user-interface thread keeps up to date, calls the
// engine and posts the rest.
void TfrmMain::MainPreviewStatus(const pb::PlayerStatus& s)
{
    const int32_t p1 = SecondsOfClock(s.totalHours, s.totalMinutes, s.totalSeconds);
    int32_t p = s.end == 1 ? 0 : SecondsOfClock(s.hours, s.minutes, s.seconds);
    auto stopHere = [this] {
        m_stopped.store(true);
        pb::stopPlay(1);
        m_playing.store(false);
        Post(this, kPreviewStoppedMessage, 0, 0);
    };
    if (s.end == 1 && !m_stopped.load()) {
        stopHere();
    } else if (m_playing.load() && m_trackPosition.load() >= m_trackMaximum.load()) {
        // The row's own end (a trimmed range ends before the file does).
        stopHere();
        pb::stopPlay(1);
    }
    if (!m_hasSelection.load()) {
        Post(this, kTrackToZeroMessage, 0, 0);
        return;
    }
    p = std::max(0, p - m_positionOffset.load());
    Post(this, WM_MAIN_POSITION, p1, p);
}

bool TfrmMain::event(QEvent* e)
{
    if (e->type() != MainMessageEvent::EventType())
        return SkinnedForm::event(e);
    const auto* m = static_cast<MainMessageEvent*>(e);
    switch (m->message) {
    case WM_MAIN_POSITION:
        if (MainSeek.pending.load() == 0) {
            // A group goes on playing while its bar is dragged: the knob stays with the mouse.
            if (!MainTrackBar->isSliderDown())
                SetTrackPosition(int32_t(m->lparam));
        } else {
            MainSeek.pending.fetch_sub(1);
            MainSeek.Raise();
        }
        break;
    case kPreviewStoppedMessage:
        ResetPreviewButtons();
        break;
    case kTrackToZeroMessage:
        SetTrackPosition(0);
        break;
    default:
        break;
    }
    return true;
}

// ---------------------------------------------------------------- set-up and tear-down

void TfrmMain::BuildPreview()
{
    MainTrackBar->setTickPosition(QSlider::NoTicks);
    connect(MainTrackBar, &QSlider::valueChanged, this, [this](int v) { m_trackPosition.store(v); });
    connect(MainTrackBar, &QSlider::rangeChanged, this, [this](int, int max) { m_trackMaximum.store(max); });
    connect(MainTrackBar, &QSlider::sliderPressed, this, &TfrmMain::MainTrackBarMouseDown);
    connect(MainTrackBar, &QSlider::sliderReleased, this, &TfrmMain::MainTrackBarMouseUp);
    connect(MainTrackBar, &QSlider::sliderMoved, this, &TfrmMain::MainTrackBarMouseMove);
    // The pause look follows the click, as the button's MouseUp follows its Click.
    connect(btnPlay, &QAbstractButton::clicked, this, [this] {
        btnPlayClick();
        btnPlayMouseUp();
    });
    connect(btnStop, &QAbstractButton::clicked, this, &TfrmMain::btnStopClick);
    connect(btnPhoto, &QAbstractButton::clicked, this, &TfrmMain::btnPhotoClick);
    connect(btnOpen, &QAbstractButton::clicked, this, &TfrmMain::btnOpenClick);
    auto syncSelection = [this] { m_hasSelection.store(TaskView->selectionModel()->hasSelection()); };
    connect(TaskView->selectionModel(), &QItemSelectionModel::selectionChanged, this, syncSelection);
    // A row that goes away while it is previewed takes its preview with it.
    connect(Tasks, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                rm::TaskNode* under = Tasks->nodeFromIndex(parent);
                for (int i = first; under && m_openRow && i <= last && i < under->childCount(); ++i)
                    for (const rm::TaskNode* n = m_openRow; n; n = n->parent())
                        if (n == under->child(i)) {
                            StopMainPreview();
                            m_openRow = nullptr;
                            return;
                        }
            });
    connect(Tasks, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (m_openRow) {
            StopMainPreview();
            m_openRow = nullptr;
        }
    });
    connect(Tasks, &QAbstractItemModel::rowsRemoved, this, syncSelection);
    connect(Tasks, &QAbstractItemModel::modelReset, this, syncSelection);
}

void TfrmMain::SetupMainPreview()
{
    // 1. One pane.
    pb::setEditWindow(0);
    // 2. The player host fills the play panel.
    if (Playerfrm)
        Playerfrm->PlaceIn(MainPlayPanel);
    // 3. Status reports.
    pb::setPlayerHandle(&PreviewStatusHandle);
    // 4. Idle and background pictures beside the executable, the panel's place and size.
    const QByteArray idle = QFile::encodeName(PreviewPicturePath(MainPlayPanel, QStringLiteral("Default.bmp")));
    const QByteArray back = QFile::encodeName(PreviewPicturePath(MainPlayPanel, QStringLiteral("bj.bmp")));
    const QSize pixels = PreviewPixelSize(MainPlayPanel, m_previewSize);
    pb::initPlayOption(idle.constData(), back.constData(), x() + MainPlayPanel->x(), y() + MainPlayPanel->y(),
                       pixels.width(), pixels.height());
    // 5. The picture goes into the host; both are shown.
    if (Playerfrm) {
        PreviewSurface::Attach(Playerfrm);
        Playerfrm->show();
    } else {
        PreviewSurface::Attach(MainPlayPanel);
    }
    // 6.
    PreviewOwner = 0;
}

void TfrmMain::CloseMainPreview()
{
    pb::stopPlay(1);
    pb::close_sdl();
    m_openRow = nullptr;
    ResetPreviewButtons();
    SetTrackPosition(0);
    MainPlayPanel->hide();
}

// Called by the task list: on a selection change, before a per-item dialog and before a run.
void TfrmMain::StopMainPreview()
{
    m_stopped.store(true);
    pb::stopPlay(1);
    ResetPreviewButtons();
}

void TfrmMain::ResetPreviewButtons()
{
    m_playing.store(false);
    LoadButtonPictures(btnPlay, QStringLiteral("btnPlay"));
    SetButtonEnabled(btnStop, false);
    SetButtonEnabled(btnPhoto, false);
}

void TfrmMain::SetTrackPosition(int32_t position)
{
    MainTrackBar->setValue(position);
    m_trackPosition.store(MainTrackBar->value());
}

void TfrmMain::FitTrackBar(rm::TaskNode* row)
{
    const MediaItem* it = row ? row->item() : nullptr;
    if (!it || it->kind == kKindMerge || it->kind == kKindSlide)
        return;
    int32_t max = 0;
    double shown = -1.0;
    if (it->kind == kKindSegment) {
        max = it->trim.Length();
        shown = rm::RangeSeconds(it->trim, it->media.get());
    } else if (it->media) {
        max = it->media->durationSeconds;
        shown = it->media->duration;
    }
    SetTrackPosition(0);
    MainTrackBar->setMaximum(std::max(0, max));
    MainTrackBar->SetShownLength(shown);
    m_trackMaximum.store(MainTrackBar->maximum());
}

void TfrmMain::EmptyTrackBar()
{
    SetTrackPosition(0);
    MainTrackBar->setMaximum(0);
    MainTrackBar->SetShownLength(-1.0);
    m_trackMaximum.store(0);
}

// ---------------------------------------------------------------- play, pause, stop

namespace {
// Transparent pictures show the background colour of the player that will show the task: the
// settings of the row, else of the group it belongs to.
int32_t PlayerBackgroundOf(rm::TaskNode* row)
{
    for (rm::TaskNode* n = row; n; n = n->parent())
        if (n->item() && n->item()->settings)
            return int32_t(n->item()->settings->BackgrounColor.Value());
    return 0;
}
} // namespace

void TfrmMain::PlaySingleSource(rm::TaskNode* row)
{
    const MediaItem* it = row->item();
    // Reports count from the start of the range the row covers: a segment's or a member's trim
    // start is the bar's 0, as the bar's maximum is the range's length.
    const bool ranged = it->IsSegment() || (it->IsGroupMember() && !row->isTopLevel());
    m_positionOffset.store(ranged ? it->trim.start : 0);
    MainPlayPanel->show();
    // The bar shows where this play starts (a bar left at its end would stop it at once).
    SetTrackPosition(ranged ? 0 : it->trim.start);
    const std::string path = it->SourcePath();
    pb::setBackgroundColor(PlayerBackgroundOf(row));
    if (pb::openFile(path.c_str()) != 0) {
        m_openRow = nullptr;
        return;
    }
    m_openRow = row;
    pb::startPlay(it->trim.start);
    m_playing.store(true);
}

void TfrmMain::PlayGroup(rm::TaskNode* group)
{
    std::vector<pb::MultiFileEntry> entries;
    int64_t total = 0;
    for (int i = 0; i < group->childCount(); ++i) {
        const MediaItem* m = group->child(i)->item();
        if (!m)
            continue;
        pb::MultiFileEntry e{};
        const std::string path = m->SourcePath();
        std::strncpy(e.path, path.c_str(), sizeof e.path - 1);
        e.start = m->trim.start;
        e.end = m->trim.end;
        entries.push_back(e);
        total += m->trim.Length();
    }
    m_positionOffset.store(0);
    SetTrackPosition(0);
    MainTrackBar->setMaximum(int(std::clamp<int64_t>(total, 0, INT32_MAX)));
    m_trackMaximum.store(MainTrackBar->maximum());
    MainPlayPanel->show();
    pb::setBackgroundColor(PlayerBackgroundOf(group));
    if (entries.empty() || pb::openMultiFile(entries.data(), int32_t(entries.size())) != 0) {
        m_openRow = nullptr;
        return;
    }
    m_openRow = group;
    pb::startPlay(0);
    m_playing.store(true);
}

void TfrmMain::btnPlayClick()
{
    const std::vector<rm::TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item())
        return;
    rm::TaskNode* row = sel.front();
    const MediaItem* it = row->item();
    // Play after a pause on the same row goes on where the picture stopped.
    const bool resume = m_openRow == row && pb::engineInfo().state == pb::PlayState::Paused;
    if (m_playing.load()) {
        pb::pausePlay();
        m_playing.store(false);
    } else if (resume) {
        pb::startPlay(0);
        m_playing.store(true);
    } else if ((it->kind == kKindMerge || it->kind == kKindSlide) && it->role != kRolePlain) {
        PlayGroup(row);
    } else {
        if (it->kind == kKindMerge || it->kind == kKindSlide) {
            SetTrackPosition(0);
            MainTrackBar->setMaximum(std::max(0, it->trim.Length()));
            m_trackMaximum.store(MainTrackBar->maximum());
        }
        PlaySingleSource(row);
    }
    m_stopped.store(false);
    if (m_playing.load()) {
        SetButtonEnabled(btnStop, true);
        SetButtonEnabled(btnPhoto, true);
    }
}

void TfrmMain::btnPlayMouseUp()
{
    LoadButtonPictures(btnPlay, m_playing.load() ? QStringLiteral("btnPause") : QStringLiteral("btnPlay"));
}

void TfrmMain::btnStopClick()
{
    if (SelectedNodes().empty())
        return;
    StopMainPreview();
}

// ---------------------------------------------------------------- track bar

void TfrmMain::MainTrackBarMouseDown()
{
    const std::vector<rm::TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item() || !m_playing.load())
        return;
    MainSeek.Wait();
    if (IsPlayingRole(sel.front()->item())) {
        pb::stopPlay(0);
        m_stopped.store(true);
    }
    MainSeek.pending.fetch_add(1);
    m_scrubbing = true;
}

void TfrmMain::MainTrackBarMouseMove(int position)
{
    if (!m_scrubbing)
        return;
    const std::vector<rm::TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item())
        return;
    // The same place the release will seek to: segments count from their trim start.
    pb::scrubTo(double(position + (IsPlayingRole(sel.front()->item()) ? m_positionOffset.load() : 0)));
}

void TfrmMain::MainTrackBarMouseUp()
{
    m_scrubbing = false;
    const std::vector<rm::TaskNode*> sel = SelectedNodes();
    if (sel.empty() || !sel.front()->item() || !m_playing.load()) {
        SetTrackPosition(0);
        return;
    }
    const MediaItem* it = sel.front()->item();
    if (MainTrackBar->value() == MainTrackBar->maximum())
        SetTrackPosition(0);
    MainSeek.seekTarget.store(MainTrackBar->value());
    MainSeek.Wait();
    const int32_t target = MainSeek.seekTarget.load();
    if (target != -1) {
        if (IsPlayingRole(it))
            pb::startPlay(target + m_positionOffset.load());
        else
            pb::findTimePlay(double(target));
        MainSeek.seekTarget.store(-1);
    }
    MainSeek.Raise();
    m_stopped.store(false);
}

// ---------------------------------------------------------------- snapshots

void TfrmMain::btnPhotoClick()
{
    if (!m_playing.load())
        return;
    AppSettings& settings = TheAppSettings();
    // 1. The folder, created one level when missing; no snapshot (and no message) otherwise.
    const QString folder = settings.snapshotFolder;
    if (folder.trimmed().isEmpty())
        return;
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder))
        return;
    // 2.
    if (settings.snapshotFormat.isEmpty())
        settings.snapshotFormat = QStringLiteral(".jpg");
    QString prefix = folder;
    if (!prefix.endsWith(QLatin1Char('/')) && !prefix.endsWith(QDir::separator()))
        prefix += QLatin1Char('/');
    // 3., 4. Numbers restart with the program; a name an earlier run used is passed over rather
    // than overwritten.
    QString path;
    for (;;) {
        path = prefix + QString::asprintf("%05d", m_snapshotCounter) + settings.snapshotFormat;
        if (!QFileInfo::exists(path) || m_snapshotCounter == INT32_MAX)
            break;
        ++m_snapshotCounter;
    }
    // 5.
    pb::vezCapture(QFile::encodeName(path).constData());
    if (m_snapshotCounter < INT32_MAX)
        ++m_snapshotCounter;
}

void TfrmMain::btnOpenClick()
{
    const QString folder = TheAppSettings().snapshotFolder.trimmed();
    if (folder.isEmpty())
        return;
    OpenUrl(QUrl::fromLocalFile(folder));
}

// ---------------------------------------------------------------- volume

uint32_t TfrmMain::ReadPreviewVolume() const
{
    PreviewAudio* audio = PreviewAudio::Instance();
    rm::RegistryKey key;
    if (key.OpenKey(rm::RegistryKey::kSettingKey, false)) {
        bool ok = false;
        const int v = key.ReadString(kVolumeValue).toInt(&ok);
        if (ok && v >= 0 && v <= 510)
            audio->SetVolume(v);
    }
    return uint32_t(audio->Volume());
}

void TfrmMain::WritePreviewVolume(uint32_t volume)
{
    const int v = int(std::min<uint32_t>(volume, 510));
    PreviewAudio::Instance()->SetVolume(v);
    rm::RegistryKey key;
    if (key.OpenKey(rm::RegistryKey::kSettingKey, true))
        key.WriteString(kVolumeValue, QString::number(v));
}

} // namespace rm::ui
