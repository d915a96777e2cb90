#include "ui/convert/convert_form.h"

#include "convert/watch_targets.h"
#include "engines/converter/converter.h"
#include "engines/messages/result_codes.h"
#include "model/app_settings.h"
#include "model/skin_theme.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/convert/power_off_countdown.h"
#include "ui/convert/watch_window.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>
#include <cstring>

#ifdef RM_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#endif

namespace rm::ui {

namespace {

const QEvent::Type kConvertMessageEvent = QEvent::Type(QEvent::registerEventType());

// One posted message. The engine's progress record is copied when it is posted, so the address
// the handler reads stays valid however late the message is handled.
class ConvertMessageEvent : public QEvent {
public:
    ConvertMessageEvent(int run, uint32_t message, intptr_t w, intptr_t l)
        : QEvent(kConvertMessageEvent), run(run), message(message), wparam(w), lparam(l)
    {
    }
    int run;
    uint32_t message;
    intptr_t wparam;
    intptr_t lparam;
    rm::converter::ConvertProgress progress{};
};

TfrmConvert::PowerOff g_powerOff;

} // namespace

// Carries the worker's and the engine's messages to the window as posted events (any thread).
class TfrmConvert::Sink : public rm::MessageSink {
public:
    Sink(TfrmConvert* window, int run) : m_window(window), m_run(run) {}
    void post(uint32_t message, intptr_t w, intptr_t l) override
    {
        auto* e = new ConvertMessageEvent(m_run, message, w, l);
        if ((message == rm::WM_CONVERT_PROGRESS || message == rm::WM_CONVERT_PROGRESS2) && w)
            std::memcpy(&e->progress, reinterpret_cast<const void*>(w), sizeof e->progress);
        QCoreApplication::postEvent(m_window, e);
    }

private:
    TfrmConvert* m_window;
    int m_run;
};

// The picture being converted, as the converter hands it over, over the idle picture.
class ConvertPreview : public QWidget {
public:
    explicit ConvertPreview(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("ConvertPreview"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        // The sharper companion on a high-density screen; it is painted scaled to the panel.
        m_idle = QImage(rm::PictureForPixelRatio(rm::ProgramFolder() + QStringLiteral("Default.bmp"),
                                                 qApp->devicePixelRatio()));
    }

    // Converting thread.
    static void Deliver(void* context, const rm::converter::PreviewPicture* p)
    {
        auto* self = static_cast<ConvertPreview*>(context);
        if (!p || !p->Rgb || p->Width <= 0 || p->Height <= 0)
            return;
        QImage img(p->Rgb, p->Width, p->Height, p->Width * 3, QImage::Format_RGB888);
        {
            std::lock_guard<std::mutex> lock(self->m_mu);
            self->m_picture = img.copy();
        }
        QMetaObject::invokeMethod(self, [self] { self->update(); }, Qt::QueuedConnection);
    }

    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mu);
        m_picture = QImage();
        update();
    }

    bool HasPicture() const
    {
        std::lock_guard<std::mutex> lock(m_mu);
        return !m_picture.isNull();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x1d, 0x20, 0x28));
        QImage img;
        {
            std::lock_guard<std::mutex> lock(m_mu);
            img = m_picture;
        }
        if (img.isNull())
            img = m_idle;
        if (img.isNull())
            return;
        const QSize s = img.size().scaled(size(), Qt::KeepAspectRatio);
        const QRect r(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(r, img);
    }

private:
    mutable std::mutex m_mu;
    QImage m_picture;  // written on the converting thread
    QImage m_idle;
};

TfrmConvert::TfrmConvert(QWidget* parent)
    : SkinnedForm(QStringLiteral("convert"), QStringLiteral("convert/"), QStringLiteral("convertFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(QStringLiteral("Converting"));
    convertPanel = AddBackground(QStringLiteral("convert_BG"));
    convertPanel->setObjectName(QStringLiteral("convertPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Converting"));

    ConvertPlayPanel = new QWidget(this);
    ConvertPlayPanel->setObjectName(QStringLiteral("ConvertPlayPanel"));
    m_preview = new ConvertPreview(ConvertPlayPanel);
    AddControl(ConvertPlayPanel, QStringLiteral("ConvertPlayPanel"));
    AddSizeElement(QStringLiteral("ConvertPlayPanel"), &m_previewSize);

    Preview = new QCheckBox(QStringLiteral("Show Preview"), this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setChecked(true);
    ShowResult = new QPlainTextEdit(this);
    ShowResult->setObjectName(QStringLiteral("ShowResult"));
    ShowResult->setReadOnly(true);
    ShowResult->setLineWrapMode(QPlainTextEdit::NoWrap);
    ShowResult->viewport()->setMouseTracking(true);
    ShowResult->viewport()->installEventFilter(this);
    ShowResult->setStyleSheet(QStringLiteral("QPlainTextEdit { border: none; background: transparent; }"));
    OneProgress = new QProgressBar(this);
    OneProgress->setObjectName(QStringLiteral("OneProgress"));
    OneProgress->setTextVisible(true);
    OneProgress->setFormat(QStringLiteral("Current  %p%"));
    TotalProgress = new QProgressBar(this);
    TotalProgress->setObjectName(QStringLiteral("TotalProgress"));
    TotalProgress->setTextVisible(true);
    TotalProgress->setFormat(QStringLiteral("Total  %p%"));
    ShowPath = new QCheckBox(QStringLiteral("Open output folder when conversion finished"), this);
    ShowPath->setObjectName(QStringLiteral("ShowPath"));
    ShutDown = new QCheckBox(QStringLiteral("Shutdown your PC  when conversion finished"), this);
    ShutDown->setObjectName(QStringLiteral("ShutDown"));
    // A theme may place these itself; otherwise they follow the preview panel and Cancel.
    for (QWidget* w : std::initializer_list<QWidget*>{Preview, ShowResult, OneProgress, TotalProgress, ShowPath, ShutDown})
        AddPlacedControl(w, w->objectName());

    close = new ImageButton(this, QStringLiteral("close"));
    AddButton(close, QStringLiteral("close"));
    btnMini = new ImageButton(this, QStringLiteral("btnMini"));
    AddButton(btnMini, QStringLiteral("btnMini"));
    btnCancel = new ImageButton(this, QStringLiteral("btnCancel"));
    AddButton(btnCancel, QStringLiteral("btnCancel"));
    close->setToolTip(QStringLiteral("Cancel"));
    btnMini->setToolTip(QStringLiteral("Minimize"));
    connect(close, &QAbstractButton::clicked, this, &TfrmConvert::btnCancelClick);
    connect(btnCancel, &QAbstractButton::clicked, this, &TfrmConvert::btnCancelClick);
    connect(btnMini, &QAbstractButton::clicked, this, &TfrmConvert::btnMiniClick);
    connect(Preview, &QCheckBox::clicked, this, &TfrmConvert::PreviewClick);
    // A size that fits the times into the bars.
    for (QProgressBar* b : {OneProgress, TotalProgress}) {
        QFont f = b->font();
        f.setPixelSize(11);
        b->setFont(f);
    }
    // The elapsed times count on between the engine's reports.
    m_timesTimer = new QTimer(this);
    m_timesTimer->setInterval(500);
    connect(m_timesTimer, &QTimer::timeout, this, &TfrmConvert::ShowTimes);
    BuildSkin();
    LayoutControls();
    ResetProgress();
}

TfrmConvert::~TfrmConvert()
{
    // The worker may outlive the window's part in a run (after result 10053): it is told to stop
    // and waited for before the sink and the preview it posts to go away.
    rm::TheConvertRun().cancel.store(1);
    rm::converter::setPreviewHandler(nullptr, nullptr, 0, 0);
    m_worker.reset();
}

void TfrmConvert::ApplySkin()
{
    SkinnedForm::ApplySkin();
    LayoutControls();
}

void TfrmConvert::LayoutControls()
{
    m_preview->setGeometry(0, 0, ConvertPlayPanel->width(), ConvertPlayPanel->height());
    const QRect panel = ConvertPlayPanel->geometry();
    const QRect cancel = btnCancel->geometry();
    const int left = panel.left(), width = panel.width();
    auto place = [this](QWidget* w, const QRect& r) {
        if (!Element(w->objectName()).found)
            w->setGeometry(r);
    };
    // Under the preview: its check box; then the result lines and the two bars in the boxes the
    // background draws for them; the end-of-run options beside Cancel.
    place(Preview, QRect(left + 2, panel.bottom() + 9, 200, 22));
    const int resultsTop = panel.bottom() + 39;
    place(ShowResult, QRect(left + 4, resultsTop + 4, width - 8, 92));
    const int barsTop = resultsTop + 110;
    place(OneProgress, QRect(left + 8, barsTop + 5, width - 16, 18));
    place(TotalProgress, QRect(left + 8, barsTop + 27, width - 16, 18));
    const int optionsWidth = std::max(120, cancel.left() - left - 8);
    place(ShowPath, QRect(left + 2, cancel.top() - 4, optionsWidth, 19));
    place(ShutDown, QRect(left + 2, cancel.top() + 17, optionsWidth, 19));
    for (QWidget* w : std::initializer_list<QWidget*>{Preview, ShowResult, OneProgress, TotalProgress, ShowPath, ShutDown})
        w->raise();
}

void TfrmConvert::ResetProgress()
{
    for (QProgressBar* b : {OneProgress, TotalProgress}) {
        b->setRange(0, 0);
        b->setValue(0);
    }
    ShowResult->clear();
    m_watchLines.clear();
    m_gaveUp = false;
    m_clock = rm::RunClock();
    ShowTimes();
}

void TfrmConvert::ShowTimes()
{
    if (!m_clock.Started()) {
        OneProgress->setFormat(QStringLiteral("Current  %p%"));
        TotalProgress->setFormat(QStringLiteral("Total  %p%"));
        return;
    }
    const int64_t now = m_wall.elapsed();
    const QString speed = QString::fromStdString(rm::RunClock::SpeedText(m_clock.Speed()));
    auto times = [&speed](const QString& head, int64_t elapsedMs, double remaining) {
        return head + QStringLiteral(" \u00b7 elapsed %1 \u00b7 left %2 \u00b7 %3")
                          .arg(QString::fromStdString(rm::RunClock::TimeText(double(elapsedMs / 1000))),
                               QString::fromStdString(rm::RunClock::TimeText(remaining)), speed);
    };
    OneProgress->setFormat(times(QStringLiteral("Current %p%"), m_clock.OutputElapsedMs(now), m_clock.OutputRemaining()));
    TotalProgress->setFormat(times(QStringLiteral("Total %p%"), m_clock.RunElapsedMs(now), m_clock.RunRemaining()));
}

void TfrmConvert::PrepareRun(rm::RunSetup setup) { m_pending = std::make_unique<rm::RunSetup>(std::move(setup)); }

bool TfrmConvert::Running() const { return m_worker && m_worker->isRunning(); }

void TfrmConvert::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmConvert::FormShow()
{
    // 1. The picture being converted goes to the play panel.
    m_preview->Clear();
    rm::converter::setPreviewHandler(&ConvertPreview::Deliver, m_preview, m_previewSize.width(),
                                     m_previewSize.height());
    // 2.
    rm::converter::setUsingPreview(Preview->isChecked() ? 1 : 0);
    // 3. The previous worker ends first (this waits), then the new run starts at once.
    if (!m_pending)
        return;
    m_closing = false;
    m_worker.reset();
    ++m_run;
    m_sink = std::make_unique<Sink>(this, m_run);
    rm::RunSetup setup = std::move(*m_pending);
    m_pending.reset();
    setup.sink = m_sink.get();
    m_wall.start();
    m_clock.StartRun(TotalProgress->maximum(), 0);
    m_timesTimer->start();
    ShowTimes();
    rm::StartConverThread(m_worker, std::move(setup));
}

void TfrmConvert::FormClose()
{
    rm::converter::setUsingPreview(0);
    rm::converter::setPreviewHandler(nullptr, nullptr, 0, 0);
}

void TfrmConvert::CloseWindow()
{
    m_timesTimer->stop();
    if (!isVisible())
        return;
    m_closing = true;
    FormClose();
    done(QDialog::Accepted);
}

void TfrmConvert::closeEvent(QCloseEvent* e)
{
    // The window closes itself at the end of the run; the window system's close only asks to
    // cancel, as the close button does.
    if (!m_closing && Running()) {
        e->ignore();
        btnCancelClick();
        return;
    }
    FormClose();
    SkinnedForm::closeEvent(e);
}

void TfrmConvert::PreviewClick()
{
    rm::converter::setUsingPreview(Preview->isChecked() ? 1 : 0);
    // Without the preview the panel shows its idle picture rather than a frozen frame.
    if (!Preview->isChecked())
        m_preview->Clear();
}

void TfrmConvert::btnCancelClick()
{
    if (AskInformation(this, QStringLiteral("Cancel Conversion?")))
        rm::TheConvertRun().cancel.store(1);
}

void TfrmConvert::btnMiniClick()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            w->showMinimized();
}

void TfrmConvert::customEvent(QEvent* e)
{
    if (e->type() != kConvertMessageEvent) {
        SkinnedForm::customEvent(e);
        return;
    }
    auto* m = static_cast<ConvertMessageEvent*>(e);
    // A run that was followed by another one has nothing more to say in this window.
    if (m->run != m_run)
        return;
    switch (m->message) {
    case rm::WM_CONVERT_RESULT:
        WMConvertResult(int32_t(m->wparam), reinterpret_cast<const char*>(m->lparam));
        break;
    case rm::WM_CONVERT_DONE:
        WMConvertDone();
        break;
    case rm::WM_CONVERT_PROGRESS:
    case rm::WM_CONVERT_PROGRESS2:
        WMConvertProgress(m->wparam ? &m->progress : nullptr);
        break;
    case rm::WM_CONVERT_ONE_MAX:
        WMConvertOneMax(int32_t(m->wparam));
        break;
    case rm::WM_CONVERT_ONE_POS:
        WMConvertOnePos(int32_t(m->wparam));
        break;
    default:
        break;
    }
}

void TfrmConvert::WMConvertResult(int32_t code, const char* name)
{
    // After the disk-full box the window's part in the run is over: nothing more is written.
    if (m_gaveUp)
        return;
    const QString output = QString::fromUtf8(name ? name : "");
    if (rm::messages::OutputWritten(code)) {
        // Success, or a warning about an output that was written (it can be watched all the same).
        const QString text = code == rm::messages::kResultOk
                                 ? QStringLiteral("Convert Successful!")
                                 : QString::fromUtf8(rm::messages::getErrorInfo(code, 0, 1));
        ShowResult->appendPlainText(output + QStringLiteral(" --> ") + text);
        const QString target = rm::WatchTargetOf(name ? name : "");
        if (!target.isEmpty())
            m_watchLines[ShowResult->document()->blockCount() - 1] = target;
        return;
    }
    const QString text = QString::fromUtf8(rm::messages::getErrorInfo(code, 0, 1));
    if (code == rm::messages::kResultDiskFull) {
        m_gaveUp = true;
        rm::TheConvertRun().cancel.store(2);
        // A "Cancel Conversion?" still open has nothing left to cancel.
        DismissQuestions(this);
        ShowMessage(this, text);
        CloseWindow();
        return;
    }
    ShowResult->appendPlainText(output + QStringLiteral(" --> ") + text);
}

QString TfrmConvert::WatchTargetOfLine(int block) const
{
    const auto it = m_watchLines.find(block);
    return it == m_watchLines.end() ? QString() : it->second;
}

bool TfrmConvert::WatchLine(int block)
{
    const QString target = WatchTargetOfLine(block);
    return !target.isEmpty() && WatchWindow::Open(target, this);
}

// A double-click on a successful result line plays that output.
bool TfrmConvert::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ShowResult->viewport()) {
        if (e->type() == QEvent::MouseButtonDblClick) {
            const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
            if (WatchLine(ShowResult->cursorForPosition(at).blockNumber()))
                return true;
        } else if (e->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
            const bool watchable = !WatchTargetOfLine(ShowResult->cursorForPosition(at).blockNumber()).isEmpty();
            ShowResult->viewport()->setCursor(watchable ? Qt::PointingHandCursor : Qt::IBeamCursor);
            ShowResult->viewport()->setToolTip(watchable ? QStringLiteral("Double-click to watch") : QString());
        }
    }
    return SkinnedForm::eventFilter(watched, e);
}

void TfrmConvert::WMConvertProgress(const void* record)
{
    if (!record || m_gaveUp)
        return;
    double position = 0;
    std::memcpy(&position, static_cast<const char*>(record) + 32, sizeof position);
    // Anything from five hours on (or not a number) is not a position the bars can show.
    if (!(position < 18000.0))
        return;
    const int s = int(position);  // toward zero
    auto set = [](QProgressBar* b, int v) { b->setValue(std::clamp(v, b->minimum(), b->maximum())); };
    set(OneProgress, s);
    set(TotalProgress, s + rm::TheConvertRun().finishedSeconds.load());
    // The engine's expected length and speed give the remaining times.
    double duration = 0, speed = 0;
    std::memcpy(&duration, static_cast<const char*>(record) + 0, sizeof duration);
    std::memcpy(&speed, static_cast<const char*>(record) + 8, sizeof speed);
    m_clock.Progress(position, speed, duration, rm::TheConvertRun().finishedSeconds.load());
    ShowTimes();
}

void TfrmConvert::WMConvertOneMax(int32_t seconds)
{
    OneProgress->setRange(0, std::max(0, seconds));
    OneProgress->setValue(0);
    if (m_clock.Started())
        m_clock.StartOutput(seconds, m_wall.elapsed());
    ShowTimes();
}

void TfrmConvert::WMConvertOnePos(int32_t seconds)
{
    OneProgress->setValue(std::clamp(seconds, OneProgress->minimum(), OneProgress->maximum()));
}

void TfrmConvert::WMConvertDone()
{
    auto full = [](QProgressBar* b) {
        // A bar whose maximum is 0 would show as busy; a finished bar is full.
        if (b->maximum() <= 0)
            b->setRange(0, 1);
        b->setValue(b->maximum());
    };
    if (m_clock.Started()) {
        m_clock.Finish(m_wall.elapsed());
        ShowTimes();
    }
    // The run has ended by itself: a "Cancel Conversion?" left open has nothing to cancel any
    // more; it closes before the finish is reported.
    const bool questionWasOpen = AnyQuestionOpen();
    DismissQuestions(this);
    // "Shutdown your PC" is for this run only, however it ends.
    const bool shutDown = ShutDown->isChecked();
    ShutDown->setChecked(false);
    const int32_t cancel = rm::TheConvertRun().cancel.load();
    if (m_gaveUp || cancel == 2) {
        // Given up after the disk-full box, which was the run's last word to the user.
        CloseWindow();
        emit runFinished();
        return;
    }
    if (cancel == 1) {
        full(OneProgress);
        full(TotalProgress);
        CloseWindow();
        emit runFinished();
        return;
    }
    if (shutDown) {
        if (ShutdownComputer(questionWasOpen)) {
            CloseWindow();
            emit runFinished();
            return;
        }
        // The computer stays on: the run ends as any other, with its message.
    }
    if (isMinimized() || (frmMain && frmMain->isMinimized())) {
        // Back on screen where the user sees the end; the windows keep their designed size.
        if (frmMain) {
            frmMain->showNormal();
            frmMain->move(200, 150);
        }
        if (isVisible()) {
            showNormal();
            move(frmMain ? frmMain->x() + 210 : 210, frmMain ? frmMain->y() + 10 : 10);
        }
    }
    full(OneProgress);
    full(TotalProgress);
    const QString finished = QStringLiteral("All conversion takes have been finished!");
    // The run's last watchable output: the line furthest down that has one.
    const QString lastWatch = m_watchLines.empty() ? QString() : m_watchLines.rbegin()->second;
    bool watch = false;
    if (lastWatch.isEmpty() || !QFileInfo(lastWatch).isFile())
        ShowMessage(this, finished);
    else
        watch = ShowMessageOffering(this, finished, QStringLiteral("Watch"));
    if (ShowPath->isChecked() && frmMain) {
        const QString path = frmMain->OutputPath->text().trimmed();
        if (!path.isEmpty())
            OpenUrl(QUrl::fromLocalFile(path));
    }
    CloseWindow();
    if (watch)
        WatchWindow::Open(lastWatch, frmMain);
    emit runFinished();
}

void TfrmConvert::SetPowerOff(PowerOff powerOff) { g_powerOff = std::move(powerOff); }

bool TfrmConvert::RequestPowerOff()
{
    if (g_powerOff)
        return g_powerOff();
#ifdef RM_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface logind(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                          QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!logind.isValid())
        return false;
    // Not forced: logind keeps to the inhibitors of running programs; no interactive prompt.
    const QDBusMessage reply = logind.call(QStringLiteral("PowerOff"), false);
    return reply.type() == QDBusMessage::ReplyMessage;
#else
    return false;
#endif
}

bool TfrmConvert::ShutdownComputer(bool afterQuestion)
{
    // No countdown while a question is open, and none at once after one closed: a click meant
    // for the question must never land on "Power off now".
    constexpr qint64 kQuietMs = 800;
    if (afterQuestion || AnyQuestionOpen()) {
        QElapsedTimer quiet;
        quiet.start();
        QEventLoop wait;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, &wait, [&] {
            if (AnyQuestionOpen())
                quiet.restart();
            else if (quiet.elapsed() >= kQuietMs)
                wait.quit();
        });
        poll.start();
        wait.exec();
    }
    // A last chance first: other programs may hold unsaved work.
    PowerOffCountdown countdown(60);
    // Away from where the question was, and from this window if it can be.
    PlaceAwayFrom(countdown, afterQuestion ? WithdrawnQuestionArea() : QRect(), isVisible() ? frameGeometry() : QRect());
    countdown.CancelButton()->setFocus();
    if (countdown.exec() != QDialog::Accepted)
        return false;
    if (!RequestPowerOff()) {
        ShowError(nullptr, QStringLiteral("Shutdown Computer"), QStringLiteral("Fail to shutdown computer!"));
        return false;
    }
    return true;
}

void TfrmConvert::PlaceAwayFrom(QWidget& box, const QRect& question, const QRect& window)
{
    box.adjustSize();
    const QSize size = box.frameGeometry().size().expandedTo(box.sizeHint());
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QRect avoid = question.united(window);
    if (avoid.isEmpty()) {
        box.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        return;
    }
    constexpr int kGap = 24;
    auto besides = [&](const QRect& r) {
        const int cx = r.center().x() - size.width() / 2;
        const int cy = r.center().y() - size.height() / 2;
        return std::array<QPoint, 4>{QPoint(cx, r.bottom() + kGap), QPoint(cx, r.top() - kGap - size.height()),
                                     QPoint(r.right() + kGap, cy), QPoint(r.left() - kGap - size.width(), cy)};
    };
    std::vector<QPoint> candidates;
    for (const QPoint& p : besides(avoid))
        candidates.push_back(p);
    if (!question.isEmpty())
        for (const QPoint& p : besides(question))
            candidates.push_back(p);
    for (const QPoint& p : {area.topLeft(), QPoint(area.right() - size.width(), area.top()),
                            QPoint(area.left(), area.bottom() - size.height()),
                            QPoint(area.right() - size.width(), area.bottom() - size.height())})
        candidates.push_back(p);
    auto overlap = [](const QRect& a, const QRect& b) {
        const QRect o = a.intersected(b);
        return o.isEmpty() ? 0LL : qint64(o.width()) * o.height();
    };
    // Never over the question if any place allows it; over this window as little as can be.
    QPoint best = candidates.front();
    qint64 bestScore = LLONG_MAX;
    for (const QPoint& at : candidates) {
        QRect r(at, size);
        r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - size.width())));
        r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - size.height())));
        const qint64 score = overlap(r, question) * 1000000LL + overlap(r, window);
        if (score < bestScore) {
            bestScore = score;
            best = r.topLeft();
        }
    }
    box.move(best);
}

} // namespace rm::ui
