#include "ui/editors/clip_form.h"

#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/task_tree.h"
#include "ui/app/message_boxes.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/duration_edit.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QTime>
#include <QFontMetrics>
#include <QTreeWidget>

#include <cmath>

namespace pb = rm::playback;

namespace rm::ui {

namespace {
// The window the status callback reports to while the trim dialog owns the engine.
std::atomic<TfrmClip*> g_trimWindow{nullptr};
pb::PlayerCallback g_trimStatus = &TfrmClip::TrimStatus;

// The band between the start and the end bar: the chosen stretch, under both knobs.
class TrimLineFrame : public QFrame {
public:
    TrimLineFrame(QWidget* parent, SkinTrackBar* startBar, SkinTrackBar* endBar)
        : QFrame(parent), m_start(startBar), m_end(endBar)
    {
    }
    void SetEnd(SkinTrackBar* endBar) { m_end = endBar; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(QRect(0, 0, std::min(width(), m_start->TrackWidth()), height()), QColor(0, 0, 0, 30));
        const int a = m_start->KnobCentre(m_start->value());
        const int b = m_end ? m_end->KnobCentre(m_end->value()) : a;
        if (!m_end || b <= a)
            return;
        const QRect band(a, 0, b - a, height());
        if (!m_start->BarPicture().isNull())
            p.drawPixmap(band, m_start->BarPicture());
        else
            p.fillRect(band, palette().color(QPalette::Highlight));
    }

private:
    SkinTrackBar* m_start;
    SkinTrackBar* m_end;
};

} // namespace

TfrmClip::TfrmClip(QWidget* parent)
    : SkinnedForm(QStringLiteral("clip"), QStringLiteral("clip/"), QStringLiteral("clipFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmClip"));
    clipBackground = AddBackground(QStringLiteral("clipBackground"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Trim"));

    auto button = [this](ImageButton*& b, const char* name) {
        b = new ImageButton(this, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    auto bar = [this](SkinTrackBar*& b, const char* name) {
        b = new SkinTrackBar(this, QString::fromLatin1(name));
        b->setRange(0, 0);
        b->setPageStep(2);
        b->setSingleStep(1);
        AddControl(b, QString::fromLatin1(name));
    };
    auto label = [this](QLabel*& l, const char* name, const char* text) {
        l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        AddControl(l, QString::fromLatin1(name));
    };
    auto picker = [this](DurationEdit*& t, const char* name) {
        t = new DurationEdit(this);
        t->setObjectName(QString::fromLatin1(name));
        AddControl(t, QString::fromLatin1(name));
    };

    ClipPlayPanel = new QWidget(this);
    ClipPlayPanel->setObjectName(QStringLiteral("ClipPlayPanel"));
    ClipPlayPanel->setAttribute(Qt::WA_StyledBackground);
    ClipPlayPanel->setStyleSheet(QStringLiteral("background: black;"));
    AddControl(ClipPlayPanel, QStringLiteral("ClipPlayPanel"));
    label(start, "start", "Set Start Time :");
    picker(StartTime, "StartTime");
    button(start_trimtime_ok, "start_trimtime_ok");
    label(end, "end", "Set End Time :");
    picker(EndTime, "EndTime");
    button(end_trimtime_ok, "end_trimtime_ok");
    bar(TotalTrackBar, "TotalTrackBar");
    bar(StartTrackBar, "StartTrackBar");
    trimLine = new TrimLineFrame(this, StartTrackBar, nullptr);
    trimLine->setObjectName(QStringLiteral("trimLine"));
    trimLine->setFrameShape(QFrame::NoFrame);
    AddControl(trimLine, QStringLiteral("trimLine"));
    bar(EndTrackBar, "EndTrackBar");
    static_cast<TrimLineFrame*>(trimLine)->SetEnd(EndTrackBar);
    for (SkinTrackBar* b : {TotalTrackBar, StartTrackBar, EndTrackBar})
        b->SetTimeTextShown(true);
    button(btnPlay, "btnPlay");
    button(btnPlayTrim, "btnPlayTrim");
    button(btnStop, "btnStop");
    button(btnTrimStart, "btnTrimStart");
    button(btnTrimEnd, "btnTrimEnd");
    button(btnAdd, "btnAdd");
    button(btnDelete, "btnDelete");
    button(btnOK, "btnOK");
    button(btnCancel, "btnCancel");

    ClipNodeTree = new QTreeWidget(this);
    ClipNodeTree->setObjectName(QStringLiteral("ClipNodeTree"));
    ClipNodeTree->setColumnCount(4);
    ClipNodeTree->setHeaderLabels({QStringLiteral("Segment Title"), QStringLiteral("Start Time"),
                                   QStringLiteral("End Time"), QStringLiteral("Duration")});
    ClipNodeTree->setRootIsDecorated(false);
    ClipNodeTree->setUniformRowHeights(true);
    ClipNodeTree->setSelectionMode(QAbstractItemView::SingleSelection);
    ClipNodeTree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ClipNodeTree->header()->setStretchLastSection(false);
    FitListColumns();
    AddControl(ClipNodeTree, QStringLiteral("ClipNodeTree"));
    button(close, "close");

    connect(btnPlay, &QAbstractButton::clicked, this, &TfrmClip::btnPlayClick);
    connect(btnStop, &QAbstractButton::clicked, this, &TfrmClip::btnStopClick);
    for (SkinTrackBar* b : {TotalTrackBar, StartTrackBar, EndTrackBar}) {
        connect(b, &QSlider::sliderPressed, this, &TfrmClip::TotalTrackBarMouseDown);
        connect(b, &QSlider::sliderMoved, this, &TfrmClip::TrackBarMouseMove);
    }
    connect(TotalTrackBar, &QSlider::sliderReleased, this, &TfrmClip::TotalTrackBarMouseUp);
    connect(StartTrackBar, &QSlider::sliderReleased, this, &TfrmClip::StartTrackBarMouseUp);
    connect(EndTrackBar, &QSlider::sliderReleased, this, &TfrmClip::EndTrackBarMouseUp);
    connect(StartTrackBar, &QSlider::valueChanged, this, &TfrmClip::StartTrackBarChange);
    connect(EndTrackBar, &QSlider::valueChanged, this, &TfrmClip::EndTrackBarChange);
    connect(btnPlayTrim, &ImageButton::mouseDown, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton)
            btnPlayTrimMouseDown();
    });
    connect(btnPlayTrim, &ImageButton::mouseUp, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton)
            btnPlayTrimMouseUp();
    });
    connect(btnTrimStart, &QAbstractButton::clicked, this, &TfrmClip::btnTrimStartClick);
    connect(btnTrimEnd, &QAbstractButton::clicked, this, &TfrmClip::btnTrimEndClick);
    connect(start_trimtime_ok, &QAbstractButton::clicked, this, &TfrmClip::start_trimtime_okClick);
    connect(end_trimtime_ok, &QAbstractButton::clicked, this, &TfrmClip::end_trimtime_okClick);
    connect(ClipNodeTree, &QTreeWidget::currentItemChanged, this, &TfrmClip::ClipNodeTreeChange);
    connect(btnAdd, &QAbstractButton::clicked, this, &TfrmClip::btnAddClick);
    connect(btnDelete, &QAbstractButton::clicked, this, &TfrmClip::btnDeleteClick);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmClip::btnOKClick);
    connect(btnCancel, &QAbstractButton::clicked, this, &TfrmClip::btnCancelClick);
    connect(close, &QAbstractButton::clicked, this, &TfrmClip::btnCancelClick);
    for (SkinTrackBar* b : {StartTrackBar, EndTrackBar})
        connect(b, &QSlider::valueChanged, trimLine, qOverload<>(&QWidget::update));
    BuildSkin();
    // Narrow time columns leave the segment titles the rest of the list's width.
    QFont small = ClipNodeTree->font();
    small.setPixelSize(11);
    ClipNodeTree->setFont(small);
    ClipNodeTree->header()->setFont(small);
    ClipNodeTree->header()->setMinimumSectionSize(20);
    ClipNodeTree->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 5px 4px; }"));
    QFont bold = small;
    bold.setBold(true);
    const QFontMetrics fm(small), bfm(bold);
    for (int c = 1; c < 4; ++c) {
        const int w = std::max(bfm.horizontalAdvance(ClipNodeTree->headerItem()->text(c)) + 12,
                               fm.horizontalAdvance(QStringLiteral("00:00:00")) + 14);
        ClipNodeTree->header()->setSectionResizeMode(c, QHeaderView::Fixed);
        ClipNodeTree->header()->resizeSection(c, w);
    }
}

TfrmClip::~TfrmClip()
{
    TfrmClip* self = this;
    if (g_trimWindow.compare_exchange_strong(self, nullptr))
        pb::close_sdl();
}

// ---------------------------------------------------------------- opening

bool TfrmClip::SetTarget(rm::TaskTree* tree, rm::TaskNode* selected)
{
    if (!tree || !selected || !tree->contains(selected))
        return false;
    rm::TaskNode* task = tree->trimTarget(selected);
    if (!task || !task->item())
        return false;
    m_tree = tree;
    m_selected = selected;
    m_task = task;
    m_savedTask = nullptr;
    const rm::MediaItem& t = *task->item();
    m_duration = t.media ? t.media->durationSeconds : 0;
    m_realLength = t.media ? std::max(double(m_duration), t.media->duration) : 0.0;
    for (SkinTrackBar* b : {TotalTrackBar, StartTrackBar, EndTrackBar}) {
        const QSignalBlocker block(b);
        b->setRange(0, std::max(0, m_duration));
        b->SetShownLength(m_realLength);
    }
    m_segmentCounter = t.segmentCounter;
    ClipNodeTree->clear();
    m_rows = tree->trimListFor(task);
    if (task->childCount() == 0 && m_segmentCounter < 1)
        m_segmentCounter = 1; // the first row took number 1
    {
        const QSignalBlocker block(ClipNodeTree);
        for (const auto& r : m_rows)
            AddListRow(*r);
    }
    m_selectOnShow = selected != task ? selected->row() : 0;
    m_openedWith = RowsAsTheyStand();
    return true;
}

bool TfrmClip::RunFor(rm::TaskTree& tree, rm::TaskNode* selected)
{
    if (!SetTarget(&tree, selected))
        return false;
    exec();
    return m_savedTask != nullptr;
}

void TfrmClip::FitListColumns()
{
    // Every header reads in full (their bold face included) at any scale and the four columns
    // stay in the list's width: a header wider than its column takes a second line; the times
    // take what "00:00:00" or their header's longest word needs, the title the rest.
    QFont bold = ClipNodeTree->header()->font();
    bold.setBold(true);
    const QFontMetrics hm(bold), fm(ClipNodeTree->font());
    const int pad = 2 * 8 + 4;  // the header's padding and border
    QHeaderView* h = ClipNodeTree->header();
    auto longestWord = [&](const QString& text) {
        int w = 0;
        for (const QString& word : text.split(QLatin1Char(' ')))
            w = std::max(w, hm.horizontalAdvance(word));
        return w;
    };
    int widths[4] = {};
    for (int c = 1; c < 4; ++c)
        widths[c] = std::max(fm.horizontalAdvance(QStringLiteral("00:00:00")), longestWord(ClipNodeTree->headerItem()->text(c))) + pad;
    widths[0] = std::max(longestWord(ClipNodeTree->headerItem()->text(0)) + pad,
                         ClipNodeTree->viewport()->width() - widths[1] - widths[2] - widths[3]);
    bool twoLines = false;
    for (int c = 0; c < 4; ++c)
        twoLines = twoLines || hm.horizontalAdvance(ClipNodeTree->headerItem()->text(c)) + pad > widths[c];
    h->setMinimumSectionSize(std::min({widths[0], widths[1], widths[2], widths[3]}));
    h->setDefaultAlignment(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter | int(Qt::TextWordWrap)));
    h->setFixedHeight((twoLines ? 2 : 1) * hm.lineSpacing() + 12);
    for (int c = 0; c < 4; ++c) {
        h->setSectionResizeMode(c, QHeaderView::Fixed);
        h->resizeSection(c, widths[c]);
    }
}

void TfrmClip::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    FitListColumns();
    if (!e->spontaneous())
        FormShow();
}

void TfrmClip::FormShow()
{
    if (!m_task)
        return;
    m_handshake.Reset();
    // The engine in ClipPlayPanel, one pane, reporting to this window.
    pb::close_sdl();
    pb::setEditWindow(0);
    g_trimWindow = this;
    pb::setPlayerHandle(&g_trimStatus);
    const QByteArray idle = PreviewPicturePath(ClipPlayPanel, QStringLiteral("Default.bmp")).toUtf8();
    const QByteArray back = PreviewPicturePath(ClipPlayPanel, QStringLiteral("bj.bmp")).toUtf8();
    const QPoint at = ClipPlayPanel->mapToGlobal(QPoint(0, 0));
    const QSize pixels = PreviewPixelSize(ClipPlayPanel, ClipPlayPanel->size());
    pb::initPlayOption(idle.constData(), back.constData(), at.x(), at.y(), pixels.width(), pixels.height());
    PreviewSurface::Attach(ClipPlayPanel);
    m_open = true;

    // Track-bar pictures from the current theme.
    LoadSliderPicture(TotalTrackBar, QStringLiteral("TotalTrackBar"));
    LoadSliderPicture(StartTrackBar, QStringLiteral("StartTrackBar"));
    LoadSliderPicture(EndTrackBar, QStringLiteral("EndTrackBar"));
    try {
        const QPixmap barPic = LoadSkinPicture(PicturePath(QStringLiteral("Barpic"), PictureNormal));
        StartTrackBar->SetBarPicture(barPic);
        EndTrackBar->SetBarPicture(barPic);
    } catch (const SkinPictureError&) {
        // a theme without the band picture paints the plain groove
    }

    m_currentStart = m_task->item()->trim.start;
    m_currentEnd = m_task->item()->trim.end;
    {
        const QSignalBlocker block(TotalTrackBar);
        TotalTrackBar->setValue(0);
    }
    if (QTreeWidgetItem* item = ClipNodeTree->topLevelItem(std::clamp(m_selectOnShow, 0, ClipNodeTree->topLevelItemCount() - 1))) {
        if (ClipNodeTree->currentItem() == item)
            ClipNodeTreeChange();
        else
            ClipNodeTree->setCurrentItem(item);
    }

    pb::openFile(m_task->item()->SourcePath().c_str());
    pb::startPlay(0);
    m_playing = true;
    PlayPictures();
}

// ---------------------------------------------------------------- closing

void TfrmClip::done(int result)
{
    FormClose();
    SkinnedForm::done(result);
}

void TfrmClip::FormClose()
{
    if (m_open) {
        pb::close_sdl();
        TfrmClip* self = this;
        g_trimWindow.compare_exchange_strong(self, nullptr);
        m_open = false;
    }
    // Reports posted before the close must not move the bars of the next opening.
    QCoreApplication::removePostedEvents(this, WindowMessageEvent::EventType());
    {
        const QSignalBlocker block(ClipNodeTree);
        ClipNodeTree->clear();
    }
    for (auto& r : m_rows)
        rm::ReleaseItem(*r);
    m_rows.clear();
}

// ---------------------------------------------------------------- engine reports

int TfrmClip::TrimStatus(pb::PlayerStatus* status)
{
    if (!status || status->minutes >= 60 || status->seconds >= 60)
        return 0;
    TfrmClip* w = g_trimWindow.load();
    if (!w)
        return 0;
    int32_t p = status->hours * 3600 + status->minutes * 60 + status->seconds;
    if (status->end == 1) {
        p = 0;
        if (!w->m_hold.load())
            pb::startPlay(0); // plays the source again from its beginning
    }
    QCoreApplication::postEvent(w, new WindowMessageEvent(rm::WM_TRIM_POSITION, p, 0));
    return 0;
}

void TfrmClip::customEvent(QEvent* e)
{
    if (e->type() == WindowMessageEvent::EventType()) {
        auto* m = static_cast<WindowMessageEvent*>(e);
        if (m->message == rm::WM_TRIM_POSITION)
            WmTrimPosition(m->wparam);
        return;
    }
    SkinnedForm::customEvent(e);
}

void TfrmClip::WmTrimPosition(intptr_t position)
{
    if (m_handshake.pending.load() == 0) {
        TotalTrackBar->setValue(int(position));
    } else {
        m_handshake.pending.fetch_sub(1);
        m_handshake.Raise();
    }
}

// ---------------------------------------------------------------- play controls

void TfrmClip::PlayPictures()
{
    LoadButtonPictures(btnPlay, m_playing ? QStringLiteral("btnPause") : QStringLiteral("btnPlay"));
    btnPlay->update();
}

void TfrmClip::btnPlayClick()
{
    if (m_playing)
        pb::pausePlay();
    else
        pb::startPlay(0);
    m_playing = !m_playing;
    PlayPictures();
}

void TfrmClip::btnStopClick()
{
    m_hold = true;
    pb::stopPlay(1);
    m_playing = false;
    PlayPictures();
}

void TfrmClip::TotalTrackBarMouseDown()
{
    m_handshake.Wait();
    pb::stopPlay(0);
    m_handshake.pending.fetch_add(1);
    m_hold = true;
    m_scrubbing = true;
}

void TfrmClip::TrackBarMouseMove(int position)
{
    if (m_scrubbing)
        pb::scrubTo(double(position));
}

void TfrmClip::SeekRelease(int target)
{
    m_scrubbing = false;
    m_handshake.seekTarget = target;
    m_handshake.Wait();
    const int32_t t = m_handshake.seekTarget.exchange(-1);
    if (t != -1) {
        pb::startPlay(t);
        // The engine plays from here: the play button follows, so that a press pauses it.
        m_playing = true;
        PlayPictures();
    }
    m_handshake.Raise();
    m_hold = false;
}

void TfrmClip::TotalTrackBarMouseUp() { SeekRelease(TotalTrackBar->value()); }
void TfrmClip::StartTrackBarMouseUp() { SeekRelease(StartTrackBar->value()); }
void TfrmClip::EndTrackBarMouseUp() { SeekRelease(EndTrackBar->value()); }

void TfrmClip::btnPlayTrimMouseDown()
{
    m_handshake.Wait();
    m_handshake.pending.fetch_add(1);
    m_hold = true;
}

void TfrmClip::btnPlayTrimMouseUp() { SeekRelease(StartTrackBar->value()); }

// ---------------------------------------------------------------- start and end

int32_t TfrmClip::ShownSeconds(int32_t t) const
{
    // The source's whole-second length stands for its real end: 9 of a 9.984 s source reads 10.
    if (t == m_duration && m_realLength > double(m_duration))
        return int32_t(std::ceil(m_realLength));
    return t;
}

int32_t TfrmClip::TypedSeconds(int32_t t) const
{
    // What ShownSeconds shows for the end is read back as the end.
    if (t > m_duration && t <= int32_t(std::ceil(m_realLength)))
        return m_duration;
    return t;
}

int TfrmClip::SelectedRow() const
{
    QTreeWidgetItem* cur = ClipNodeTree->currentItem();
    return cur ? ClipNodeTree->indexOfTopLevelItem(cur) : -1;
}

void TfrmClip::FillRowTexts(int row)
{
    QTreeWidgetItem* it = ClipNodeTree->topLevelItem(row);
    if (!it || row < 0 || row >= int(m_rows.size()))
        return;
    const rm::MediaItem& m = *m_rows[size_t(row)];
    it->setText(0, QString::fromUtf8(m.row.displayName));
    it->setText(1, QString::fromStdString(rm::DurationToText(float(m.trim.start))));
    it->setText(2, QString::fromStdString(rm::DurationToText(float(rm::RangeEndSeconds(m.trim, m.media.get())))));
    it->setText(3, QString::fromUtf8(m.row.trimmedLength));
}

QTreeWidgetItem* TfrmClip::AddListRow(const rm::MediaItem&)
{
    auto* it = new QTreeWidgetItem(ClipNodeTree);
    FillRowTexts(ClipNodeTree->indexOfTopLevelItem(it));
    return it;
}

void TfrmClip::ApplyStart()
{
    trimLine->update();
    StartTime->SetSeconds(ShownSeconds(m_currentStart));
    const int row = SelectedRow();
    if (row >= 0 && row < int(m_rows.size())) {
        rm::MediaItem& m = *m_rows[size_t(row)];
        m.trim.start = m_currentStart;
        rm::SetText(m.row.trimmedLength, rm::DurationToText(float(rm::RangeSeconds(m.trim, m.media.get()))).c_str());
        FillRowTexts(row);
    }
}

void TfrmClip::ApplyEnd()
{
    trimLine->update();
    EndTime->SetSeconds(ShownSeconds(m_currentEnd));
    const int row = SelectedRow();
    if (row >= 0 && row < int(m_rows.size())) {
        rm::MediaItem& m = *m_rows[size_t(row)];
        m.trim.end = m_currentEnd;
        rm::SetText(m.row.trimmedLength, rm::DurationToText(float(rm::RangeSeconds(m.trim, m.media.get()))).c_str());
        FillRowTexts(row);
    }
}

void TfrmClip::btnTrimStartClick()
{
    m_currentStart = TotalTrackBar->value();
    if (StartTrackBar->value() == m_currentStart)
        StartTrackBarChange();
    else
        StartTrackBar->setValue(m_currentStart);
}

void TfrmClip::btnTrimEndClick()
{
    m_currentEnd = TotalTrackBar->value();
    if (EndTrackBar->value() == m_currentEnd)
        EndTrackBarChange();
    else
        EndTrackBar->setValue(m_currentEnd);
}

void TfrmClip::StartTrackBarChange()
{
    m_currentStart = StartTrackBar->value();
    if (m_currentStart < m_currentEnd)
        ApplyStart();
    else if (StartTrackBar->minimum() <= m_currentEnd - 1)
        StartTrackBar->setValue(m_currentEnd - 1);
    else {
        // Nothing below the end: the start stays at the bar's lowest point.
        m_currentStart = StartTrackBar->minimum();
        const QSignalBlocker block(StartTrackBar);
        StartTrackBar->setValue(m_currentStart);
        ApplyStart();
    }
}

void TfrmClip::EndTrackBarChange()
{
    m_currentEnd = EndTrackBar->value();
    if (m_currentEnd > m_currentStart)
        ApplyEnd();
    else if (EndTrackBar->maximum() >= m_currentStart + 1)
        EndTrackBar->setValue(m_currentStart + 1);
    else {
        m_currentEnd = EndTrackBar->maximum();
        const QSignalBlocker block(EndTrackBar);
        EndTrackBar->setValue(m_currentEnd);
        ApplyEnd();
    }
}

void TfrmClip::start_trimtime_okClick()
{
    const int32_t s = TypedSeconds(StartTime->Seconds());
    if (s < m_currentEnd) {
        m_currentStart = s;
        {
            const QSignalBlocker block(StartTrackBar);
            StartTrackBar->setValue(s);
        }
        ApplyStart();
    } else {
        m_currentStart = StartTrackBar->value();
        ApplyStart();
        ShowMessage(this, QStringLiteral("Start time error"));
    }
}

void TfrmClip::end_trimtime_okClick()
{
    const int32_t s = TypedSeconds(EndTime->Seconds());
    if (s > m_currentStart && s <= EndTrackBar->maximum()) {
        m_currentEnd = s;
        {
            const QSignalBlocker block(EndTrackBar);
            EndTrackBar->setValue(s);
        }
        ApplyEnd();
    } else {
        m_currentEnd = EndTrackBar->value();
        ApplyEnd();
        ShowMessage(this, QStringLiteral("End time error"));
    }
}

void TfrmClip::ClipNodeTreeChange()
{
    const int row = SelectedRow();
    if (row < 0 || row >= int(m_rows.size()))
        return;
    const rm::MediaItem& m = *m_rows[size_t(row)];
    m_currentStart = m.trim.start;
    m_currentEnd = m.trim.end;
    ApplyStart();
    ApplyEnd();
    {
        // The row's own range is taken as it is; the bars only show it.
        const QSignalBlocker b1(StartTrackBar), b2(EndTrackBar);
        StartTrackBar->setValue(m_currentStart);
        EndTrackBar->setValue(m_currentEnd);
    }
    StartTrackBar->update();
    EndTrackBar->update();
}

// ---------------------------------------------------------------- the segment list

void TfrmClip::btnAddClick()
{
    const int row = SelectedRow();
    const rm::MediaItem* source = nullptr;
    if (row >= 0 && row < int(m_rows.size()))
        source = m_rows[size_t(row)].get();
    else if (m_selected && m_tree && m_tree->contains(m_selected))
        source = m_selected->item();
    if (!source || !m_task)
        return;
    ++m_segmentCounter;
    m_rows.push_back(rm::MakeSegmentItem(*source, *m_task->item(), m_segmentCounter));
    QTreeWidgetItem* it = AddListRow(*m_rows.back());
    ClipNodeTree->setCurrentItem(it);
}

void TfrmClip::btnDeleteClick()
{
    const int row = SelectedRow();
    if (row < 0 || row >= int(m_rows.size()))
        return;
    if (m_tree)
        m_tree->markMembersOf(m_rows[size_t(row)]->outputBaseName);
    {
        const QSignalBlocker block(ClipNodeTree);
        delete ClipNodeTree->takeTopLevelItem(row);
        ClipNodeTree->setCurrentItem(nullptr);
    }
    rm::ReleaseItem(*m_rows[size_t(row)]);
    m_rows.erase(m_rows.begin() + row);
    if (row > 0)
        ClipNodeTree->setCurrentItem(ClipNodeTree->topLevelItem(row - 1));
    else
        ClipNodeTree->clearSelection();
}

// ---------------------------------------------------------------- OK and Cancel

void TfrmClip::btnOKClick()
{
    if (!m_tree || !m_task || !m_tree->contains(m_task)) {
        reject();
        return;
    }
    std::vector<const rm::MediaItem*> segments;
    for (const auto& r : m_rows)
        segments.push_back(r.get());
    m_savedTask = m_tree->saveTrim(m_task, segments, m_segmentCounter);
    m_tree->removeMarkedMembers();
    accept();
}

std::vector<std::tuple<std::string, int32_t, int32_t>> TfrmClip::RowsAsTheyStand() const
{
    std::vector<std::tuple<std::string, int32_t, int32_t>> out;
    for (const auto& r : m_rows)
        out.emplace_back(std::string(r->outputBaseName), r->trim.start, r->trim.end);
    return out;
}

bool TfrmClip::Changed() const { return RowsAsTheyStand() != m_openedWith; }

void TfrmClip::btnCancelClick()
{
    // Nothing to save: close without a question.
    if (Changed() && AskInformation(this, QStringLiteral("Do you want to save changes?"))) {
        btnOKClick();
        return;
    }
    if (m_tree)
        m_tree->clearRemovalMarks();
    m_savedTask = nullptr;
    reject();
}

} // namespace rm::ui
