#include "ui/editors/dvd_form.h"

#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/task_tree.h"
#include "ui/app/message_boxes.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QShowEvent>
#include <QStandardPaths>
#include <QStyle>
#include <QThread>
#include <QTreeWidget>

#include <cmath>
#include <thread>

namespace pb = rm::playback;

namespace rm::ui {

namespace {
// The window the status callback reports to while the DVD loader owns the engine.
std::atomic<TfrmDVD*> g_dvdWindow{nullptr};
pb::PlayerCallback g_dvdStatus = &TfrmDVD::DvdStatus;

constexpr int kRowIndexRole = Qt::UserRole + 1;
// Copies at least this big show a progress box (a whole title; a chapter of a few seconds does not).
int64_t g_progressFrom = 48ll << 20;

QString TitleBase(int title) { return QStringLiteral("title_%1").arg(title, 2, 10, QLatin1Char('0')); }

std::unique_ptr<rm::MediaItem> RowItem(const QString& name, double seconds, const QString& destination,
                                       uint8_t checkType, uint8_t checkState)
{
    auto item = std::make_unique<rm::MediaItem>();
    rm::InitItem(*item);
    item->kind = rm::kKindFile;
    item->role = rm::kRolePlain;
    rm::FillRow(item->row, name.toUtf8().constData(), seconds, destination.toUtf8().constData(), checkType,
                checkState);
    return item;
}

QString StreamText(const rm::dvd::DvdAudioStream& a)
{
    return QStringLiteral("%1: %2 %3 %4ch")
        .arg(a.streamNumber + 1)
        .arg(QString::fromStdString(rm::dvd::languageName(a.language)), QString::fromStdString(a.format))
        .arg(a.channels);
}
} // namespace

TfrmDVD::TfrmDVD(QWidget* parent)
    : SkinnedForm(QStringLiteral("dvdloader"), QStringLiteral("dvd/"), QStringLiteral("dvdLoadFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmDVD"));
    dvdLoadPanel = AddBackground(QStringLiteral("dvdLoadPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("DVD Loader"));

    auto button = [this](ImageButton*& b, const char* name) {
        b = new ImageButton(this, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    auto label = [this](QLabel*& l, const char* name, const char* text) {
        l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        AddControl(l, QString::fromLatin1(name));
    };
    auto combo = [this](QComboBox*& c, const char* name) {
        c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setEnabled(false);
        AddControl(c, QString::fromLatin1(name));
    };

    NodeTree = new QTreeWidget(this);
    NodeTree->setObjectName(QStringLiteral("NodeTree"));
    NodeTree->setColumnCount(4);
    NodeTree->setHeaderLabels({QStringLiteral("Source"), QStringLiteral("Original Length"),
                               QStringLiteral("Trimmed Length"), QStringLiteral("Distination File")});
    NodeTree->setSelectionMode(QAbstractItemView::SingleSelection);
    NodeTree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    NodeTree->setUniformRowHeights(true);
    NodeTree->header()->setStretchLastSection(false);
    NodeTree->header()->setMinimumSectionSize(10);
    NodeTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    NodeTree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    NodeTree->header()->setSectionResizeMode(2, QHeaderView::Fixed);
    NodeTree->header()->setSectionResizeMode(3, QHeaderView::Fixed);
    NodeTree->setColumnWidth(2, 10);
    NodeTree->setColumnWidth(3, 10);
    NodeTree->setContextMenuPolicy(Qt::CustomContextMenu);
    AddControl(NodeTree, QStringLiteral("NodeTree"));

    DVD_Menu = new QMenu(this);
    DVD_Menu->setObjectName(QStringLiteral("DVD_Menu"));
    DVD_Menu->addAction(QStringLiteral("CheckAll    "), this, &TfrmDVD::CheckAllClick);
    DVD_Menu->addAction(QStringLiteral("UncheckAll"), this, &TfrmDVD::UncheckAllClick);
    DVD_Menu->addSeparator();
    DVD_Menu->addAction(QStringLiteral("Show Chapter"), this, &TfrmDVD::showChapterClick);
    DVD_Menu->addAction(QStringLiteral("Hide Chapter"), this, &TfrmDVD::hideChapterClick);
    connect(NodeTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { DVD_Menu->popup(NodeTree->viewport()->mapToGlobal(at)); });

    label(labAudio, "labAudio", "Audio Track :");
    combo(audioCmb, "audioCmb");
    label(labSubtitle, "labSubtitle", "Subtitle :");
    combo(sutitleCmb, "sutitleCmb");

    DVDPlayPanel = new QWidget(this);
    DVDPlayPanel->setObjectName(QStringLiteral("DVDPlayPanel"));
    DVDPlayPanel->setAttribute(Qt::WA_StyledBackground);
    DVDPlayPanel->setStyleSheet(QStringLiteral("background: black;"));
    AddControl(DVDPlayPanel, QStringLiteral("DVDPlayPanel"));
    DVDTrackBar = new SkinTrackBar(this, QStringLiteral("DVDTrackBar"));
    DVDTrackBar->setRange(0, 0);
    DVDTrackBar->setSingleStep(1);
    DVDTrackBar->setPageStep(2);
    AddControl(DVDTrackBar, QStringLiteral("DVDTrackBar"));
    button(btnPre, "btnPre");
    button(btnPlay, "btnPlay");
    button(btnStop, "btnStop");
    button(btnNext, "btnNext");
    button(close, "close");
    button(btnOK, "btnOK");
    button(btnCancel, "btnCancel");

    connect(NodeTree, &QTreeWidget::currentItemChanged, this, &TfrmDVD::NodeTreeChange);
    connect(NodeTree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row, int column) {
        if (column == 0)
            NodeTreeChecked(row);
    });
    connect(audioCmb, &QComboBox::currentIndexChanged, this, &TfrmDVD::audioCmbChange);
    connect(sutitleCmb, &QComboBox::currentIndexChanged, this, &TfrmDVD::sutitleCmbChange);
    connect(btnPlay, &QAbstractButton::clicked, this, &TfrmDVD::btnPlayClick);
    connect(btnPlay, &ImageButton::mouseUp, this, [this](Qt::MouseButton) { btnPlayMouseUp(); });
    connect(btnStop, &QAbstractButton::clicked, this, &TfrmDVD::btnStopClick);
    connect(btnPre, &QAbstractButton::clicked, this, &TfrmDVD::btnPreClick);
    connect(btnNext, &QAbstractButton::clicked, this, &TfrmDVD::btnNextClick);
    connect(DVDTrackBar, &QSlider::sliderPressed, this, &TfrmDVD::DVDTrackBarMouseDown);
    connect(DVDTrackBar, &QSlider::sliderReleased, this, &TfrmDVD::DVDTrackBarMouseUp);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmDVD::btnOKClick);
    connect(btnCancel, &QAbstractButton::clicked, this, &TfrmDVD::btnCancelClick);
    connect(close, &QAbstractButton::clicked, this, &TfrmDVD::btnCancelClick);
    BuildSkin();
    DVDPlayPanel->hide();
    SetButtons(nullptr);
}

TfrmDVD::~TfrmDVD()
{
    TfrmDVD* self = this;
    if (g_dvdWindow.compare_exchange_strong(self, nullptr))
        pb::close_sdl();
}

void TfrmDVD::ApplySkin()
{
    SkinnedForm::ApplySkin();
    // The layout pass gave every button its normal look again; the current row decides.
    SetButtons(NodeTree->currentItem());
    SetButtonEnabled(btnStop, btnStop->isEnabled());
    PlayPictures();
}

// ---------------------------------------------------------------- the disc

QTreeWidgetItem* TfrmDVD::AddRow(QTreeWidgetItem* parent, std::unique_ptr<rm::MediaItem> item, int title, int chapter)
{
    auto* row = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(NodeTree);
    const rm::MediaItem& m = *item;
    row->setText(0, QString::fromUtf8(m.row.displayName));
    row->setText(1, QString::fromUtf8(m.row.originalLength));
    row->setText(2, QString::fromUtf8(m.row.trimmedLength));
    row->setText(3, QString::fromUtf8(m.row.destination));
    row->setTextAlignment(1, Qt::AlignCenter);
    // Row pictures by level: the disc, a title, a chapter.
    const QStyle::StandardPixmap icon = !parent ? QStyle::SP_DriveDVDIcon
                                        : chapter < 0 ? QStyle::SP_MediaPlay
                                                      : QStyle::SP_FileIcon;
    row->setIcon(0, style()->standardIcon(icon));
    if (m.row.checkType != rm::kCheckTypeNone) {
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, m.row.checkState == rm::kCheckStateChecked ? Qt::Checked : Qt::Unchecked);
    }
    row->setData(0, kRowIndexRole, int(m_rows.size()));
    m_rows.push_back({std::move(item), title, chapter});
    return row;
}

void TfrmDVD::ClearTitles()
{
    StopPlayback();
    {
        const QSignalBlocker block(NodeTree);
        NodeTree->clear();
    }
    for (auto& r : m_rows)
        rm::ReleaseItem(*r.item);
    m_rows.clear();
    m_disc = {};
    audioCmb->clear();
    sutitleCmb->clear();
    audioCmb->setEnabled(false);
    sutitleCmb->setEnabled(false);
    SetButtons(nullptr);
}

int32_t TfrmDVD::LoadDisc(const QString& dvdPathOrIfo)
{
    ClearTitles();
    m_okDone = false;  // a newly read disc has made no tasks yet
    rm::dvd::DvdDisc disc;
    const int32_t rc = rm::dvd::openDisc(dvdPathOrIfo.toStdString(), &disc);
    if (rc != rm::dvd::kDvdOk)
        return rc;
    m_disc = std::move(disc);
    const QSignalBlocker block(NodeTree);
    QTreeWidgetItem* root =
        AddRow(nullptr, RowItem(QString::fromStdString(m_disc.volumeName), 0, QString(), rm::kCheckTypePlain,
                                rm::kCheckStateChecked),
               -1, -1);
    double total = 0;
    for (size_t t = 0; t < m_disc.titles.size(); ++t) {
        const rm::dvd::DvdTitle& title = m_disc.titles[t];
        total += title.lengthSeconds;
        const QString base = TitleBase(title.number);
        // Titles start checked (each becomes one task); chapters are picked by hand.
        QTreeWidgetItem* titleRow =
            AddRow(root, RowItem(QStringLiteral("Title %1").arg(title.number), title.lengthSeconds,
                                 base + QStringLiteral(".vob"), rm::kCheckTypePlain, rm::kCheckStateChecked),
                   int(t), -1);
        for (size_t c = 0; c < title.chapters.size(); ++c) {
            const rm::dvd::DvdChapter& ch = title.chapters[c];
            AddRow(titleRow,
                   RowItem(QStringLiteral("Chapter %1").arg(ch.number), ch.lengthSeconds,
                           base + QStringLiteral("_chapter_%1.vob").arg(ch.number, 2, 10, QLatin1Char('0')),
                           rm::kCheckTypePlain, rm::kCheckStateUnchecked),
                   int(t), int(c));
        }
    }
    // The disc row shows the sum of its titles.
    rm::MediaItem& rootItem = *m_rows.front().item;
    rm::SetText(rootItem.row.originalLength, rm::DurationToText(float(total)).c_str());
    rm::SetText(rootItem.row.trimmedLength, rootItem.row.originalLength);
    root->setText(1, QString::fromUtf8(rootItem.row.originalLength));
    root->setText(2, QString::fromUtf8(rootItem.row.trimmedLength));
    root->setExpanded(true);
    NodeTree->setCurrentItem(root);
    return rm::dvd::kDvdOk;
}

bool TfrmDVD::RunFor(const QString& dvdPathOrIfo, rm::TaskTree& tree)
{
    const int32_t rc = LoadDisc(dvdPathOrIfo);
    if (rc != rm::dvd::kDvdOk) {
        ShowMessage(parentWidget(), QString::fromUtf8(rm::dvd::dvdErrorText(rc)));
        return false;
    }
    m_tree = &tree;
    m_okDone = false;
    exec();
    return m_okDone;
}

QTreeWidgetItem* TfrmDVD::RootRow() const { return NodeTree->topLevelItem(0); }

rm::MediaItem* TfrmDVD::ItemOf(QTreeWidgetItem* row) const
{
    if (!row)
        return nullptr;
    bool ok = false;
    const int i = row->data(0, kRowIndexRole).toInt(&ok);
    return ok && i >= 0 && i < int(m_rows.size()) ? m_rows[size_t(i)].item.get() : nullptr;
}

QString TfrmDVD::ExtractFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/reelmaker");
    return base + QStringLiteral("/dvd");
}

QString TfrmDVD::StreamPathOf(QTreeWidgetItem* row) const
{
    const rm::MediaItem* item = ItemOf(row);
    if (!item || !row->parent())
        return {};
    // One folder per disc, so that title_01 of two discs never meet.
    const QByteArray key = QCryptographicHash::hash(QByteArray::fromStdString(m_disc.rootPath),
                                                    QCryptographicHash::Sha1).toHex().left(12);
    const QString dest = QString::fromUtf8(item->row.destination);
    return ExtractFolder() + QLatin1Char('/') + QString::fromLatin1(key) + QLatin1Char('/') + dest;
}

QString TfrmDVD::ExtractRow(QTreeWidgetItem* row)
{
    const QString path = StreamPathOf(row);
    if (path.isEmpty())
        return {};
    const RowInfo& info = m_rows[size_t(row->data(0, kRowIndexRole).toInt())];
    QDir().mkpath(QFileInfo(path).absolutePath());
    const std::string out = path.toStdString();
    const int64_t size = rm::dvd::extractSize(m_disc, info.title, info.chapter);
    QFileInfo existing(path);
    if (size < g_progressFrom || (existing.isFile() && existing.size() == size)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const int32_t rc = rm::dvd::extractToFile(m_disc, info.title, info.chapter, out);
        QApplication::restoreOverrideCursor();
        return rc == rm::dvd::kDvdOk ? path : QString();
    }
    // A long copy (a whole title from a drive) runs beside a progress box that can stop it; the
    // box is modal for this window, so nothing here is pressed meanwhile.
    QProgressDialog box(QStringLiteral("Reading %1 from the DVD...").arg(QString::fromUtf8(ItemOf(row)->row.displayName)),
                        QStringLiteral("Cancel"), 0, 1000, this);
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(0);
    box.setAutoClose(false);
    box.setAutoReset(false);
    box.show();
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false}, finished{false};
    int32_t rc = rm::dvd::kDvdReadError;
    const rm::dvd::DvdDisc disc = m_disc;  // the worker's own copy, whatever happens to the window
    const int title = info.title, chapter = info.chapter;
    std::thread worker([&, disc, title, chapter] {
        rc = rm::dvd::extractToFile(disc, title, chapter, out, [&](int64_t done, int64_t total) {
            permille = total > 0 ? int(done * 1000 / total) : 0;
            return !cancel.load();
        });
        finished = true;
    });
    while (!finished.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 30);
        box.setValue(permille.load());
        if (box.wasCanceled())
            cancel = true;
        QThread::msleep(10);
    }
    worker.join();
    return rc == rm::dvd::kDvdOk ? path : QString();
}

void TfrmDVD::SetProgressFrom(int64_t bytes) { g_progressFrom = bytes; }

// ---------------------------------------------------------------- showing and closing

void TfrmDVD::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmDVD::FormShow()
{
    m_handshake.Reset();
    m_playing = m_opened = false;
    m_dragging = false;
    // The engine in DVDPlayPanel, one pane, reporting to this window.
    pb::close_sdl();
    pb::setEditWindow(0);
    g_dvdWindow = this;
    pb::setPlayerHandle(&g_dvdStatus);
    const QByteArray idle = PreviewPicturePath(DVDPlayPanel, QStringLiteral("Default.bmp")).toUtf8();
    const QByteArray back = PreviewPicturePath(DVDPlayPanel, QStringLiteral("bj.bmp")).toUtf8();
    const SkinElementValues panel = Element(QStringLiteral("DVDPlayPanel"));
    const QPoint at = DVDPlayPanel->mapToGlobal(QPoint(0, 0));
    const QSize pixels = PreviewPixelSize(DVDPlayPanel, QSize(panel.width, panel.height));
    pb::initPlayOption(idle.constData(), back.constData(), at.x(), at.y(), pixels.width(), pixels.height());
    PreviewSurface::Attach(DVDPlayPanel);
    m_engine = true;

    SetButtonEnabled(btnStop, false);
    LoadSliderPicture(DVDTrackBar, QStringLiteral("DVDTrackBar"));
    PlayPictures();
    if (QTreeWidgetItem* root = RootRow())
        NodeTree->scrollToItem(root);
    SetButtons(NodeTree->currentItem());
}

void TfrmDVD::done(int result)
{
    FormClose();
    SkinnedForm::done(result);
}

void TfrmDVD::FormClose()
{
    if (m_engine) {
        pb::close_sdl();
        TfrmDVD* self = this;
        g_dvdWindow.compare_exchange_strong(self, nullptr);
        m_engine = false;
    }
    m_playing = m_opened = false;
    StopPlayback();
    // Reports posted before the close must not move the bar of the next showing.
    QCoreApplication::removePostedEvents(this, WindowMessageEvent::EventType());
    DVDPlayPanel->hide();
}

// ---------------------------------------------------------------- engine reports

int TfrmDVD::DvdStatus(pb::PlayerStatus* status)
{
    if (!status || status->minutes >= 60 || status->seconds >= 60)
        return 0;
    TfrmDVD* w = g_dvdWindow.load();
    if (!w)
        return 0;
    const bool end = status->end == 1;
    const int32_t p = end ? 0 : status->hours * 3600 + status->minutes * 60 + status->seconds;
    QCoreApplication::postEvent(w, new WindowMessageEvent(rm::WM_DVD_POSITION, p, end ? 1 : 0));
    return 0;
}

void TfrmDVD::customEvent(QEvent* e)
{
    if (e->type() == WindowMessageEvent::EventType()) {
        auto* m = static_cast<WindowMessageEvent*>(e);
        if (m->message == rm::WM_DVD_POSITION)
            WmDvdPosition(m->wparam, m->lparam);
        return;
    }
    SkinnedForm::customEvent(e);
}

void TfrmDVD::WmDvdPosition(intptr_t position, intptr_t end)
{
    if (end && !m_dragging.load()) {
        m_playing = m_opened = false;
        PlayPictures();
    }
    if (m_handshake.pending.load() == 0) {
        DVDTrackBar->setValue(int(position));
    } else {
        m_handshake.pending.fetch_sub(1);
        m_handshake.Raise();
    }
}

// ---------------------------------------------------------------- the tree

void TfrmDVD::FillStreams(QTreeWidgetItem* row)
{
    const QSignalBlocker b1(audioCmb), b2(sutitleCmb);
    audioCmb->clear();
    sutitleCmb->clear();
    if (!row || !ItemOf(row))
        return;
    const int title = m_rows[size_t(row->data(0, kRowIndexRole).toInt())].title;
    if (title < 0 || title >= int(m_disc.titles.size()))
        return;
    const rm::dvd::DvdTitle& t = m_disc.titles[size_t(title)];
    for (const auto& a : t.audio)
        audioCmb->addItem(StreamText(a));
    sutitleCmb->addItem(QStringLiteral("None"));
    for (const auto& s : t.subtitles)
        sutitleCmb->addItem(QStringLiteral("%1: %2").arg(s.streamNumber + 1).arg(
            QString::fromStdString(rm::dvd::languageName(s.language))));
    audioCmb->setCurrentIndex(audioCmb->count() ? 0 : -1);
    sutitleCmb->setCurrentIndex(0);
}

void TfrmDVD::NodeTreeChange()
{
    QTreeWidgetItem* row = NodeTree->currentItem();
    const bool disc = !row || row == RootRow();
    FillStreams(disc ? nullptr : row);
    audioCmb->setEnabled(!disc);
    sutitleCmb->setEnabled(!disc);
    if (row) {
        StopPlayback();
        const rm::MediaItem* item = ItemOf(row);
        const int info = row->data(0, kRowIndexRole).toInt();
        double seconds = 0;
        if (item && !disc) {
            const RowInfo& r = m_rows[size_t(info)];
            const auto& t = m_disc.titles[size_t(r.title)];
            seconds = r.chapter < 0 ? t.lengthSeconds : t.chapters[size_t(r.chapter)].lengthSeconds;
        }
        const QSignalBlocker block(DVDTrackBar);
        DVDTrackBar->setRange(0, int(std::ceil(seconds)));
        DVDTrackBar->setValue(0);
    }
    SetButtons(row);
}

void TfrmDVD::SetButtons(QTreeWidgetItem* row)
{
    if (!row || !row->parent()) {
        SetButtonEnabled(btnPlay, false);
        SetButtonEnabled(btnPre, false);
        SetButtonEnabled(btnNext, false);
        return;
    }
    QTreeWidgetItem* parent = row->parent();
    const int index = parent->indexOfChild(row);
    const bool title = parent == RootRow();
    const bool hasNext = index + 1 < parent->childCount();
    SetButtonEnabled(btnPlay, true);
    if (title && index == 0) {
        SetButtonEnabled(btnPre, false);
        SetButtonEnabled(btnNext, true);
    } else if (hasNext) {
        SetButtonEnabled(btnPre, true);
        SetButtonEnabled(btnNext, true);
    } else if (title && row->childCount() > 0) {
        SetButtonEnabled(btnNext, true);
    } else if (!title && parent->parent() && parent->parent()->indexOfChild(parent) + 1 < parent->parent()->childCount()) {
        // a last chapter whose title has a next sibling: both stay as they are
    } else {
        SetButtonEnabled(btnPre, true);
        SetButtonEnabled(btnNext, false);
    }
}

void TfrmDVD::NodeTreeChecked(QTreeWidgetItem* row)
{
    rm::MediaItem* item = ItemOf(row);
    if (!item)
        return;
    item->row.checkState = row->checkState(0) == Qt::Checked ? rm::kCheckStateChecked : rm::kCheckStateUnchecked;
}

void TfrmDVD::SetAllChecked(bool checked)
{
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* row) {
        if (row->flags() & Qt::ItemIsUserCheckable)
            row->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);  // NodeTreeChecked follows
        for (int i = 0; i < row->childCount(); ++i)
            walk(row->child(i));
    };
    for (int i = 0; i < NodeTree->topLevelItemCount(); ++i)
        walk(NodeTree->topLevelItem(i));
}

void TfrmDVD::CheckAllClick() { SetAllChecked(true); }
void TfrmDVD::UncheckAllClick() { SetAllChecked(false); }

void TfrmDVD::showChapterClick()
{
    QTreeWidgetItem* root = RootRow();
    if (!root)
        return;
    root->setExpanded(true);
    for (int i = 0; i < root->childCount(); ++i)
        root->child(i)->setExpanded(true);
}

void TfrmDVD::hideChapterClick()
{
    QTreeWidgetItem* root = RootRow();
    if (!root)
        return;
    root->setExpanded(true);
    for (int i = 0; i < root->childCount(); ++i)
        root->child(i)->setExpanded(false);
}

// ---------------------------------------------------------------- preview

void TfrmDVD::PlayPictures()
{
    LoadButtonPictures(btnPlay, m_playing ? QStringLiteral("btnPause") : QStringLiteral("btnPlay"));
    if (!btnPlay->isEnabled())
        SetButtonEnabled(btnPlay, false);
    btnPlay->update();
}

bool TfrmDVD::OpenRow(QTreeWidgetItem* row)
{
    if (!row || !row->parent())
        return false;
    const QString path = ExtractRow(row);
    if (path.isEmpty())
        return false;
    DVDPlayPanel->show();
    // The second to play from goes with the startPlay that follows.
    return pb::openFile(path.toUtf8().constData()) == 0;
}

void TfrmDVD::btnPlayClick()
{
    QTreeWidgetItem* row = NodeTree->currentItem();
    if (!row)
        return;
    if (!m_opened && !OpenRow(row))
        return;
    if (m_playing) {
        pb::pausePlay();
        m_playing = false;
    } else {
        pb::startPlay(0);
        m_playing = true;
    }
    m_opened = true;
    btnPlayMouseUp();
}

void TfrmDVD::btnPlayMouseUp()
{
    if (m_playing) {
        LoadButtonPictures(btnPlay, QStringLiteral("btnPause"));
        SetButtonEnabled(btnStop, true);
    } else {
        LoadButtonPictures(btnPlay, QStringLiteral("btnPlay"));
    }
    btnPlay->update();
}

void TfrmDVD::StopPlayback()
{
    {
        const QSignalBlocker block(DVDTrackBar);
        DVDTrackBar->setValue(0);
    }
    m_playing = m_opened = false;
    PlayPictures();
    if (m_engine)
        pb::stopPlay(1);
    SetButtonEnabled(btnStop, false);
}

void TfrmDVD::btnStopClick()
{
    if (!NodeTree->currentItem())
        return;
    StopPlayback();
}

void TfrmDVD::StartSelected()
{
    QThread::msleep(100);
    QTreeWidgetItem* row = NodeTree->currentItem();
    if (!OpenRow(row))
        return;
    m_playing = m_opened = true;
    pb::startPlay(0);
    btnPlayMouseUp();
}

void TfrmDVD::StepTo(QTreeWidgetItem* row)
{
    if (row && row != NodeTree->currentItem())
        NodeTree->setCurrentItem(row);
    NodeTree->setFocus();
    if (row)
        NodeTree->scrollToItem(row);
}

QTreeWidgetItem* TfrmDVD::PreviousRow(QTreeWidgetItem* row) const
{
    if (!row || !row->parent())
        return row;
    QTreeWidgetItem* parent = row->parent();
    const int index = parent->indexOfChild(row);
    if (parent == RootRow() && index == 0)
        return row;  // the first title: the selection stays
    if (index > 0) {
        QTreeWidgetItem* before = parent->child(index - 1);
        if (before->isExpanded() && before->childCount() > 0)
            return before->child(before->childCount() - 1);
        return before;
    }
    return NodeTree->itemAbove(row) ? NodeTree->itemAbove(row) : row;
}

QTreeWidgetItem* TfrmDVD::NextRow(QTreeWidgetItem* row) const
{
    if (!row)
        return row;
    if (row->isExpanded() && row->childCount() > 0)
        return row->child(0);
    for (QTreeWidgetItem* at = row; at && at->parent(); at = at->parent()) {
        QTreeWidgetItem* parent = at->parent();
        const int index = parent->indexOfChild(at);
        if (index + 1 < parent->childCount())
            return parent->child(index + 1);
        if (at != row)
            break;  // the parent's next sibling was the last chance
    }
    return row;
}

void TfrmDVD::btnPreClick()
{
    QTreeWidgetItem* row = NodeTree->currentItem();
    if (!row)
        return;
    StepTo(PreviousRow(row));
    StartSelected();
}

void TfrmDVD::btnNextClick()
{
    QTreeWidgetItem* row = NodeTree->currentItem();
    if (!row)
        return;
    StepTo(NextRow(row));
    StartSelected();
}

void TfrmDVD::DVDTrackBarMouseDown()
{
    if (!m_playing)
        return;
    m_handshake.Wait();
    pb::stopPlay(0);
    m_handshake.pending.fetch_add(1);
    m_dragging = true;
}

void TfrmDVD::DVDTrackBarMouseUp()
{
    if (!m_playing) {
        DVDTrackBar->setValue(0);
        m_dragging = false;
        return;
    }
    if (DVDTrackBar->value() >= DVDTrackBar->maximum()) {
        btnStopClick();
        pb::updatePlayer();
        m_dragging = false;
        return;
    }
    m_handshake.seekTarget = DVDTrackBar->value();
    m_handshake.Wait();
    const int32_t target = m_handshake.seekTarget.exchange(-1);
    if (target != -1 && OpenRow(NodeTree->currentItem())) {
        pb::startPlay(target);
    }
    m_handshake.Raise();
    m_dragging = false;
}

// ---------------------------------------------------------------- OK and Cancel

void TfrmDVD::btnOKClick()
{
    if (!m_tree) {
        reject();
        return;
    }
    // Stop the preview first: its source may be one of the files the tasks take.
    StopPlayback();
    m_tree->clearAll();
    rm::LoadCustomSettings();
    QStringList failed;
    QTreeWidgetItemIterator it(NodeTree);
    for (; *it; ++it) {
        QTreeWidgetItem* row = *it;
        const rm::MediaItem* rowItem = ItemOf(row);
        if (!row->parent() || !rowItem || rowItem->row.checkState != rm::kCheckStateChecked)
            continue;
        std::string base = rowItem->row.destination;
        if (const size_t dot = base.find('.'); dot != std::string::npos)
            base.resize(dot);
        const std::string destination = base + ".flv";
        const QString source = ExtractRow(row);
        if (source.isEmpty() || rm::converter::isSupportFormat(source.toUtf8().constData()) != 0) {
            failed << QString::fromUtf8(rowItem->row.displayName);
            continue;
        }
        std::vector<const rm::MediaItem*> top;
        for (int i = 0; i < m_tree->topLevelCount(); ++i)
            top.push_back(m_tree->topLevel(i)->item());
        auto task = rm::CreateFileItem(source.toStdString(), top, rm::CurrentCustomSettings(),
                                       rm::ProfileDefaultSettings());
        task->kind = rowItem->kind;
        task->row.checkState = rm::kCheckStateChecked;
        task->row.checkType = rm::kCheckTypePlain;  // checked and unchecked like a file task
        rm::SetText(task->row.destination, destination.c_str());
        m_tree->appendTopLevel(std::move(task));
    }
    m_okDone = true;
    if (!failed.isEmpty())
        ShowMessage(this, QStringLiteral("These titles could not be read from the DVD: %1").arg(failed.join(QStringLiteral(", "))));
    accept();
}

void TfrmDVD::btnCancelClick() { reject(); }

} // namespace rm::ui
