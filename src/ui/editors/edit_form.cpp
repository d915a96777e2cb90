#include "ui/editors/edit_form.h"

#include "engines/converter/filter_graph.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "ui/app/message_boxes.h"
#include "ui/preview/preview_audio.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QShowEvent>
#include <QSpinBox>

#include <cstring>

namespace pb = rm::playback;

namespace rm::ui {

namespace {
// The window the callbacks report to while the crop-and-effects dialog owns the engine.
std::atomic<TfrmEdit*> g_editWindow{nullptr};
pb::PlayerCallback g_editStatus = &TfrmEdit::EditStatus;
pb::CropCallback g_editCrop = &TfrmEdit::EditCrop;

const char* const kZoomItems[] = {"original", "full", "16:9", "4:3"};
const char* const kEffectItems[] = {"No effect", "Gray", "Emboss", "Old film"};
} // namespace

TfrmEdit::TfrmEdit(QWidget* parent)
    : SkinnedForm(QStringLiteral("edit"), QStringLiteral("edit/"), QStringLiteral("editFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmEdit"));
    Background = AddBackground(QStringLiteral("Background"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Crop and Effects"));

    auto button = [this](ImageButton*& b, QWidget* parent, const char* name, const char* element) {
        b = new ImageButton(parent, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(element));
    };
    auto label = [](QWidget* parent, const QString& text, QRect r) {
        auto* l = new QLabel(text, parent);
        l->setGeometry(r);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };

    EditPlayPanel = new QWidget(this);
    EditPlayPanel->setObjectName(QStringLiteral("EditPlayPanel"));
    EditPlayPanel->setAttribute(Qt::WA_StyledBackground);
    EditPlayPanel->setStyleSheet(QStringLiteral("background: black;"));
    AddControl(EditPlayPanel, QStringLiteral("EditPlayPanel"));
    // Captions of the two panes, over the top of each (kept above the preview surface).
    for (const char* caption : {"Original Preview", "Output Preview"}) {
        auto* l = new QLabel(QString::fromLatin1(caption), EditPlayPanel);
        l->setStyleSheet(QStringLiteral("color: rgb(230, 234, 240); background: rgba(0, 0, 0, 110);"
                                        " padding: 1px 6px; border-radius: 3px;"));
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        l->adjustSize();
        m_paneCaptions[m_paneCaptions[0] ? 1 : 0] = l;
    }
    TotalTrackBar = new SkinTrackBar(this, QStringLiteral("TotalTrackBar"));
    TotalTrackBar->setRange(0, 0);
    TotalTrackBar->SetTimeTextShown(true);
    AddControl(TotalTrackBar, QStringLiteral("TotalTrackBar"));
    button(btnPlay, this, "btnPlay", "btnPlay");
    button(btnStop, this, "btnStop", "btnStop");
    button(btnReplay, this, "btnReplay", "btnReplay");
    button(tabCrop, this, "tabCrop", "tabCrop");
    button(tabEffect, this, "tabEffect", "tabEffect");

    // Crop page.
    tabCropPanel = new QWidget(this);
    tabCropPanel->setObjectName(QStringLiteral("tabCropPanel"));
    AddPlacedControl(tabCropPanel, QStringLiteral("tabCropPanel"));
    auto spin = [this](QSpinBox*& s, const char* name, QRect r) {
        s = new QSpinBox(tabCropPanel);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(0, 10000);
        s->setSingleStep(1);
        s->setValue(0);
        s->setGeometry(r);
        s->installEventFilter(this);
    };
    label(tabCropPanel, QStringLiteral("Left:"), QRect(16, 14, 56, 26));
    spin(Crop_left, "Crop_left", QRect(76, 14, 96, 26));
    label(tabCropPanel, QStringLiteral("Right:"), QRect(200, 14, 56, 26));
    spin(Crop_right, "Crop_right", QRect(260, 14, 96, 26));
    label(tabCropPanel, QStringLiteral("Top:"), QRect(16, 50, 56, 26));
    spin(Crop_top, "Crop_top", QRect(76, 50, 96, 26));
    label(tabCropPanel, QStringLiteral("Bottom:"), QRect(200, 50, 56, 26));
    spin(Crop_bottom, "Crop_bottom", QRect(260, 50, 96, 26));
    label(tabCropPanel, QStringLiteral("Zoom:"), QRect(16, 88, 56, 26));
    Crop_zoom = new QComboBox(tabCropPanel);
    Crop_zoom->setObjectName(QStringLiteral("Crop_zoom"));
    Crop_zoom->setGeometry(76, 88, 140, 26);
    QLabel* hint = label(tabCropPanel,
                         QStringLiteral("Margins in source pixels. You can also drag the edges of the frame "
                                        "in the output picture."),
                         QRect(400, 12, 300, 44));
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: rgb(128, 138, 152);"));
    button(btnCropReset, tabCropPanel, "btnCropReset", "btnCropReset");

    // Effect page.
    tabEffectPanel = new QWidget(this);
    tabEffectPanel->setObjectName(QStringLiteral("tabEffectPanel"));
    AddPlacedControl(tabEffectPanel, QStringLiteral("tabEffectPanel"));
    auto effectBar = [this, &label](SkinTrackBar*& b, const char* name, const QString& caption, int y) {
        label(tabEffectPanel, caption, QRect(16, y, 84, 24));
        b = new SkinTrackBar(tabEffectPanel, QString::fromLatin1(name));
        b->setRange(0, 20);
        b->setValue(10);
        b->setPageStep(2);
        b->setGeometry(104, y + 2, 250, 20);
        QLabel* value = label(tabEffectPanel, QStringLiteral("0"), QRect(356, y, 30, 24));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(b, &QSlider::valueChanged, value, [value](int pos) { value->setNum(int(EffectValueOf(pos))); });
    };
    effectBar(Effect_bright, "Effect_bright", QStringLiteral("Brightness"), 12);
    effectBar(Effect_contrast, "Effect_contrast", QStringLiteral("Contrast"), 50);
    effectBar(Effect_saturation, "Effect_saturation", QStringLiteral("Saturation"), 88);
    label(tabEffectPanel, QStringLiteral("Effect:"), QRect(412, 12, 56, 26));
    Effect_cmb = new QComboBox(tabEffectPanel);
    Effect_cmb->setObjectName(QStringLiteral("Effect_cmb"));
    Effect_cmb->setGeometry(470, 12, 238, 26);
    label(tabEffectPanel, QStringLiteral("Volume:"), QRect(412, 48, 56, 24));
    AdjustVolume = new SkinTrackBar(tabEffectPanel, QStringLiteral("AdjustVolume"));
    AdjustVolume->setRange(0, 510);
    AdjustVolume->setValue(255);
    AdjustVolume->setPageStep(25);
    AddControl(AdjustVolume, QStringLiteral("AdjustVolume"));
    label(tabEffectPanel, QStringLiteral("Flip:"), QRect(412, 90, 56, 26));
    button(btnLevel, tabEffectPanel, "btnLevel", "btnLevel");
    button(btnVertical, tabEffectPanel, "btnVertical", "btnVertical");
    button(btnEffectReset, tabEffectPanel, "btnEffectReset", "btnCropReset");
    btnLevel->setToolTip(QStringLiteral("Flip horizontally"));
    btnVertical->setToolTip(QStringLiteral("Flip vertically"));

    button(btnOK, this, "btnOK", "btnOK");
    button(btnCancel, this, "btnCancel", "btnCancel");
    button(close, this, "close", "close");

    connect(tabCrop, &QAbstractButton::clicked, this, &TfrmEdit::tabCropClick);
    connect(tabEffect, &QAbstractButton::clicked, this, &TfrmEdit::tabEffectClick);
    connect(Crop_left, &QSpinBox::valueChanged, this, &TfrmEdit::Crop_leftChange);
    connect(Crop_right, &QSpinBox::valueChanged, this, &TfrmEdit::Crop_rightChange);
    connect(Crop_top, &QSpinBox::valueChanged, this, &TfrmEdit::Crop_topChange);
    connect(Crop_bottom, &QSpinBox::valueChanged, this, &TfrmEdit::Crop_bottomChange);
    connect(Crop_zoom, &QComboBox::activated, this, &TfrmEdit::Crop_zoomChange);
    connect(btnCropReset, &QAbstractButton::clicked, this, &TfrmEdit::btnCropResetClick);
    connect(Effect_bright, &QSlider::valueChanged, this, &TfrmEdit::Effect_brightChange);
    connect(Effect_contrast, &QSlider::valueChanged, this, &TfrmEdit::Effect_contrastChange);
    connect(Effect_saturation, &QSlider::valueChanged, this, &TfrmEdit::Effect_saturationChange);
    connect(Effect_cmb, &QComboBox::activated, this, &TfrmEdit::Effect_cmbChange);
    connect(btnLevel, &QAbstractButton::clicked, this, &TfrmEdit::btnLevelClick);
    connect(btnVertical, &QAbstractButton::clicked, this, &TfrmEdit::btnVerticalClick);
    connect(btnEffectReset, &QAbstractButton::clicked, this, &TfrmEdit::btnEffectResetClick);
    connect(AdjustVolume, &QSlider::valueChanged, this, &TfrmEdit::AdjustVolumeChange);
    connect(btnPlay, &QAbstractButton::clicked, this, &TfrmEdit::btnPlayClick);
    connect(btnStop, &QAbstractButton::clicked, this, &TfrmEdit::btnStopClick);
    connect(btnReplay, &QAbstractButton::clicked, this, &TfrmEdit::btnReplayClick);
    connect(TotalTrackBar, &QSlider::sliderPressed, this, &TfrmEdit::TotalTrackBarMouseDown);
    connect(TotalTrackBar, &QSlider::sliderReleased, this, &TfrmEdit::TotalTrackBarMouseUp);
    connect(TotalTrackBar, &QSlider::sliderMoved, this, &TfrmEdit::TotalTrackBarMouseMove);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmEdit::btnOKClick);
    connect(btnCancel, &QAbstractButton::clicked, this, &TfrmEdit::btnCancelClick);
    connect(close, &QAbstractButton::clicked, this, &TfrmEdit::btnCancelClick);
    BuildSkin();
    tabEffectPanel->hide();
}

TfrmEdit::~TfrmEdit()
{
    TfrmEdit* self = this;
    if (g_editWindow.compare_exchange_strong(self, nullptr))
        pb::close_sdl();
}

// ---------------------------------------------------------------- opening

void TfrmEdit::SetItem(rm::MediaItem* item) { m_item = item; }

bool TfrmEdit::RunFor(rm::MediaItem& item)
{
    SetItem(&item);
    return exec() == QDialog::Accepted;
}

void TfrmEdit::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmEdit::FormShow()
{
    if (!m_item)
        return;
    m_handshake.Reset();
    // 1. The engine in EditPlayPanel with two panes, reporting to this window.
    pb::close_sdl();
    pb::setEditWindow(1);
    g_editWindow = this;
    pb::setPlayerHandle(&g_editStatus);
    const QByteArray pic = PreviewPicturePath(EditPlayPanel, QStringLiteral("Editbj.bmp")).toUtf8();
    const QPoint at = EditPlayPanel->mapToGlobal(QPoint(0, 0));
    const QSize pixels = PreviewPixelSize(EditPlayPanel, EditPlayPanel->size());
    pb::initPlayOption(pic.constData(), pic.constData(), at.x(), at.y(), pixels.width(), pixels.height());
    PreviewSurface::Attach(EditPlayPanel);
    m_paneCaptions[0]->move(8, 6);
    m_paneCaptions[1]->move(EditPlayPanel->width() / 2 + 8, 6);
    for (QLabel* l : m_paneCaptions)
        l->raise();
    m_open = true;
    // 2. The crop page.
    tabCropClick();
    // 3. Both lists, on their first item.
    {
        const QSignalBlocker b1(Crop_zoom), b2(Effect_cmb);
        Crop_zoom->clear();
        for (const char* z : kZoomItems)
            Crop_zoom->addItem(QString::fromLatin1(z));
        Effect_cmb->clear();
        for (const char* e : kEffectItems)
            Effect_cmb->addItem(QString::fromLatin1(e));
        Crop_zoom->setCurrentIndex(0);
        Effect_cmb->setCurrentIndex(0);
    }
    // 4. The crop callback; changes made by the loading below are not sent twice.
    pb::setCropHandle(&g_editCrop);
    for (bool& s : m_skip)
        s = true;
    // 5, 6.
    LoadCrop();
    LoadEffects();
    // 7, 8. The row's trim stretch from its start.
    {
        const QSignalBlocker block(TotalTrackBar);
        TotalTrackBar->setValue(0);
    }
    OpenStretch();
    pb::startPlay(0);
    // The stretch is open now: the first pause must not open it again (back to its start).
    m_opened = true;
    // 9.
    m_playing = true;
    PlayPictures();
    SliderPictures();
    AdjustVolume->setToolTip(QString::number(AdjustVolume->value()));
}

void TfrmEdit::SliderPictures()
{
    try {
        LoadSliderPicture(TotalTrackBar, QStringLiteral("TotalTrackBar"), QStringLiteral("Edit/"));
        LoadSliderPicture(AdjustVolume, QStringLiteral("AdjustVolume"), QStringLiteral("Edit/"));
        // The effect bars have no element of their own: they look like the volume bar.
        for (SkinTrackBar* b : {Effect_bright, Effect_contrast, Effect_saturation})
            LoadSliderPicture(b, QStringLiteral("AdjustVolume"), QStringLiteral("Edit/"));
    } catch (const SkinPictureError&) {
        // a theme without them keeps the drawn knobs
    }
}

void TfrmEdit::ApplySkin()
{
    SkinnedForm::ApplySkin();
    ShowTab(m_cropTab);
    ShowFlips();
    PlayPictures();
    SliderPictures();
}

void TfrmEdit::LoadCrop()
{
    const rm::CropSettings crop = m_item->crop ? *m_item->crop : rm::CropSettings{};
    pb::cropFlim();
    {
        const QSignalBlocker b1(Crop_top), b2(Crop_bottom), b3(Crop_left), b4(Crop_right);
        Crop_top->setValue(crop.top);
        Crop_bottom->setValue(crop.bottom);
        Crop_left->setValue(crop.left);
        Crop_right->setValue(crop.right);
    }
    pb::leftCropFlim(crop.left);
    pb::rightCropFlim(crop.right);
    pb::upCropFlim(crop.top);
    pb::bottomCropFlim(crop.bottom);
    int zoom = 0;
    for (int i = 0; i < 4; ++i)
        if (std::strncmp(crop.zoom, kZoomItems[i], sizeof crop.zoom) == 0)
            zoom = i;
    const QSignalBlocker block(Crop_zoom);
    Crop_zoom->setCurrentIndex(zoom);
}

void TfrmEdit::LoadEffects()
{
    const rm::EffectSettings fx = m_item->effects ? *m_item->effects : rm::EffectSettings{};
    // The bars send their values through their change handlers; a bar already at its place
    // raises nothing, so the values are sent here as well (the engine starts from 0 after a close).
    Effect_bright->setValue(EffectPositionOf(fx.brightness));
    Effect_contrast->setValue(EffectPositionOf(fx.contrast));
    Effect_saturation->setValue(EffectPositionOf(fx.saturation));
    Effect_brightChange();
    Effect_contrastChange();
    Effect_saturationChange();

    m_vertical = fx.verticalFlip != 0;
    m_horizontal = fx.horizontalFlip != 0;
    if (m_vertical && m_horizontal) {
        pb::vertFlipFlim();
        pb::horiFlipFlim();
    } else if (m_vertical) {
        pb::vertFlipFlim();
    } else if (m_horizontal) {
        pb::horiFlipFlim();
    } else {
        pb::noFlipFlim();
    }
    ShowFlips();
    {
        const QSignalBlocker block(Effect_cmb);
        Effect_cmb->setCurrentIndex(std::clamp(fx.colourEffect, 0, 3));
    }
    SendEffect(Effect_cmb->currentIndex());
    {
        const QSignalBlocker block(AdjustVolume);
        AdjustVolume->setValue(std::clamp(fx.volume, 0, 510));
    }
    AdjustVolumeChange();
}

void TfrmEdit::OpenStretch()
{
    pb::MultiFileEntry entry{};
    const std::string path = m_item->SourcePath();
    std::strncpy(entry.path, path.c_str(), sizeof entry.path - 1);
    entry.start = m_item->trim.start;
    entry.end = m_item->trim.end;
    // Transparent pictures show the task's player background, as the output will.
    pb::setBackgroundColor(m_item->settings ? int32_t(m_item->settings->BackgrounColor.Value()) : 0);
    pb::openMultiFile(&entry, 1);
    TotalTrackBar->setMaximum(std::max(0, m_item->trim.end - m_item->trim.start));
}

// ---------------------------------------------------------------- closing

void TfrmEdit::done(int result)
{
    FormClose();
    SkinnedForm::done(result);
}

void TfrmEdit::FormClose()
{
    if (m_open) {
        pb::close_sdl();
        TfrmEdit* self = this;
        g_editWindow.compare_exchange_strong(self, nullptr);
        m_open = false;
    }
    QCoreApplication::removePostedEvents(this, WindowMessageEvent::EventType());
}

// ---------------------------------------------------------------- engine reports

int TfrmEdit::EditStatus(pb::PlayerStatus* status)
{
    if (!status || status->minutes >= 60 || status->seconds >= 60)
        return 0;
    TfrmEdit* w = g_editWindow.load();
    if (!w)
        return 0;
    int32_t p = status->hours * 3600 + status->minutes * 60 + status->seconds;
    intptr_t stopped = 0;
    if (status->end == 1) {
        p = 0;
        if (!w->m_dragging.load()) {
            // The end of the stretch stops playback as the stop button does; the window's
            // buttons follow when the message arrives.
            w->m_playing = false;
            w->m_opened = false;
            pb::stopPlay(1);
            stopped = 1;
        }
    }
    QCoreApplication::postEvent(w, new WindowMessageEvent(rm::WM_EDIT_POSITION, p, stopped));
    return 0;
}

int TfrmEdit::EditCrop(pb::CropReport* report)
{
    TfrmEdit* w = g_editWindow.load();
    if (!report || !w)
        return 0;
    QCoreApplication::postEvent(w, new WindowMessageEvent(rm::WM_EDIT_CROP_TOP_BOTTOM, report->top, report->bottom));
    QCoreApplication::postEvent(w, new WindowMessageEvent(rm::WM_EDIT_CROP_LEFT_RIGHT, report->left, report->right));
    return 0;
}

void TfrmEdit::customEvent(QEvent* e)
{
    if (e->type() != WindowMessageEvent::EventType()) {
        SkinnedForm::customEvent(e);
        return;
    }
    auto* m = static_cast<WindowMessageEvent*>(e);
    switch (m->message) {
    case rm::WM_EDIT_POSITION:
        // The callback already cleared the flags when it stopped at the end; the play button
        // follows them as they are now (a play pressed since then has set them again).
        if (m->lparam == 1)
            PlayPictures();
        if (m_handshake.pending.load() == 0) {
            TotalTrackBar->setValue(int(m->wparam));
        } else {
            m_handshake.pending.fetch_sub(1);
            m_handshake.Raise();
        }
        break;
    case rm::WM_EDIT_CROP_TOP_BOTTOM:
        SetMarginFromEngine(MarginTop, int(m->wparam));
        SetMarginFromEngine(MarginBottom, int(m->lparam));
        break;
    case rm::WM_EDIT_CROP_LEFT_RIGHT:
        SetMarginFromEngine(MarginLeft, int(m->wparam));
        SetMarginFromEngine(MarginRight, int(m->lparam));
        break;
    default:
        break;
    }
}

void TfrmEdit::SetMarginFromEngine(Margin m, int value)
{
    QSpinBox* s = Spin(m);
    value = std::clamp(value, 0, 10000);
    // The engine has these margins already. The skip flag is only set when the value changes: an
    // unchanged value raises no change, and a flag left set would swallow the user's next edit.
    if (s->value() == value)
        return;
    m_skip[m] = true;
    s->setValue(value);
}

// ---------------------------------------------------------------- crop page

QSpinBox* TfrmEdit::Spin(Margin m) const
{
    switch (m) {
    case MarginLeft: return Crop_left;
    case MarginRight: return Crop_right;
    case MarginTop: return Crop_top;
    default: return Crop_bottom;
    }
}

bool TfrmEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (int m = MarginLeft; m <= MarginBottom; ++m)
            if (watched == Spin(Margin(m)))
                m_skip[m] = event->type() == QEvent::FocusOut;
    }
    return SkinnedForm::eventFilter(watched, event);
}

void TfrmEdit::MarginChanged(Margin m)
{
    if (m_skip[m]) {
        m_skip[m] = false;
        return;
    }
    QSpinBox* s = Spin(m);
    if (s->text().trimmed().isEmpty())
        return;
    const bool horizontal = m == MarginLeft || m == MarginRight;
    const Margin opposite = m == MarginLeft ? MarginRight : m == MarginRight ? MarginLeft
                          : m == MarginTop ? MarginBottom : MarginTop;
    // The margins cut the picture as it is written: upright (a clip its container turns sideways
    // has its sides swapped).
    rm::converter::PictureSource upright;
    if (m_item && m_item->media) {
        upright.Width = m_item->media->width;
        upright.Height = m_item->media->height;
        upright.Rotation = m_item->media->rotation;
        upright = rm::converter::Upright(upright);
    }
    const int32_t size = horizontal ? upright.Width : upright.Height;
    if (size > 0) {  // a source without a known size has nothing to check against
        bool refused = false;
        const int32_t fixed = CheckCropMargin(s->value(), Spin(opposite)->value(), size, &refused);
        if (refused) {
            ShowMessage(this, QStringLiteral("Crop error!"));
            // The message box took the focus, so the box's leaving set its skip flag: the
            // corrected margin goes to the preview from here, not through a change it would skip.
            {
                const QSignalBlocker block(s);
                s->setValue(fixed);
            }
            m_skip[m] = false;
        }
    }
    switch (m) {
    case MarginLeft: pb::leftCropFlim(s->value()); break;
    case MarginRight: pb::rightCropFlim(s->value()); break;
    case MarginTop: pb::upCropFlim(s->value()); break;
    case MarginBottom: pb::bottomCropFlim(s->value()); break;
    }
}

void TfrmEdit::Crop_leftChange() { MarginChanged(MarginLeft); }
void TfrmEdit::Crop_rightChange() { MarginChanged(MarginRight); }
void TfrmEdit::Crop_topChange() { MarginChanged(MarginTop); }
void TfrmEdit::Crop_bottomChange() { MarginChanged(MarginBottom); }

void TfrmEdit::Crop_zoomChange() { pb::setPlayAspectRatio(Crop_zoom->currentText().toLatin1().constData()); }

void TfrmEdit::btnCropResetClick()
{
    {
        const QSignalBlocker block(Crop_zoom);
        Crop_zoom->setCurrentIndex(0);
    }
    // The margins go to the engine below, once each.
    for (int m = MarginLeft; m <= MarginBottom; ++m) {
        const QSignalBlocker block(Spin(Margin(m)));
        Spin(Margin(m))->setValue(0);
    }
    pb::upCropFlim(0);
    pb::bottomCropFlim(0);
    pb::leftCropFlim(0);
    pb::rightCropFlim(0);
}

void TfrmEdit::ShowChosen(ImageButton* b, bool chosen)
{
    const SkinElementValues e = Element(b->objectName());
    const QString image = e.found && !e.imageName.isEmpty() ? e.imageName : b->objectName();
    try {
        b->SetNormalPicture(LoadSkinPicture(PicturePath(image, chosen ? PictureHover : PictureNormal)));
    } catch (const SkinPictureError&) {
    }
    b->update();
}

void TfrmEdit::ShowFlips()
{
    ShowChosen(btnLevel, m_horizontal);
    ShowChosen(btnVertical, m_vertical);
}

void TfrmEdit::ShowTab(bool crop)
{
    m_cropTab = crop;
    tabCropPanel->setVisible(crop);
    tabEffectPanel->setVisible(!crop);
    // The chosen tab keeps its hover look.
    ShowChosen(tabCrop, crop);
    ShowChosen(tabEffect, !crop);
}

void TfrmEdit::tabCropClick() { ShowTab(true); }
void TfrmEdit::tabEffectClick() { ShowTab(false); }

// ---------------------------------------------------------------- effect page

void TfrmEdit::Effect_brightChange() { pb::setBrightness(EffectValueOf(Effect_bright->value())); }
void TfrmEdit::Effect_contrastChange() { pb::setContrast(EffectValueOf(Effect_contrast->value())); }
// Our engine previews saturation with its own operation.
void TfrmEdit::Effect_saturationChange() { pb::setSaturation(EffectValueOf(Effect_saturation->value())); }

void TfrmEdit::SendEffect(int index)
{
    switch (index) {
    case 1: pb::grayFlim(); break;
    case 2: pb::embossFlim(); break;
    case 3: pb::oldFlim(); break;
    default: pb::noEffectFlim(); break;
    }
}

void TfrmEdit::Effect_cmbChange() { SendEffect(Effect_cmb->currentIndex()); }

void TfrmEdit::btnLevelClick()
{
    m_horizontal = !m_horizontal;
    pb::horiFlipFlim();
    ShowFlips();
}

void TfrmEdit::btnVerticalClick()
{
    m_vertical = !m_vertical;
    pb::vertFlipFlim();
    ShowFlips();
}

void TfrmEdit::btnEffectResetClick()
{
    {
        const QSignalBlocker block(Effect_cmb);
        Effect_cmb->setCurrentIndex(0);
    }
    m_vertical = m_horizontal = false;
    ShowFlips();
    Effect_bright->setValue(10);
    Effect_contrast->setValue(10);
    Effect_saturation->setValue(10);
    pb::noFlipFlim();
    pb::noEffectFlim();
    AdjustVolume->setValue(255);
}

void TfrmEdit::AdjustVolumeChange()
{
    PreviewAudio::Instance()->SetVolume(AdjustVolume->value());
    AdjustVolume->setToolTip(QString::number(AdjustVolume->value()));
}

// ---------------------------------------------------------------- playback

void TfrmEdit::PlayPictures()
{
    LoadButtonPictures(btnPlay, m_playing ? QStringLiteral("btnPause") : QStringLiteral("btnPlay"));
    btnPlay->update();
}

void TfrmEdit::btnPlayClick()
{
    if (!m_opened && m_item)
        OpenStretch();
    if (m_playing)
        pb::pausePlay();
    else
        pb::startPlay(0);
    m_opened = true;
    m_playing = !m_playing;
    PlayPictures();
}

void TfrmEdit::btnStopClick()
{
    m_dragging = false;
    m_playing = false;
    m_opened = false;
    pb::stopPlay(1);
    PlayPictures();
}

void TfrmEdit::btnReplayClick()
{
    pb::stopPlay(1);
    pb::startPlay(0);
    m_playing = true;
    PlayPictures();
}

void TfrmEdit::TotalTrackBarMouseDown()
{
    m_handshake.Wait();
    m_handshake.pending.fetch_add(1);
    m_dragging = true;
}

void TfrmEdit::TotalTrackBarMouseMove(int position)
{
    // Without playback the release puts the bar back to 0 and seeks nothing: nothing to show.
    if (m_dragging && m_playing)
        pb::scrubTo(double(position));
}

void TfrmEdit::TotalTrackBarMouseUp()
{
    if (!m_playing) {
        TotalTrackBar->setValue(0);
    } else {
        m_handshake.seekTarget = TotalTrackBar->value();
        m_handshake.Wait();
        const int32_t t = m_handshake.seekTarget.exchange(-1);
        if (t != -1)
            pb::findTimePlay(double(t));
        m_handshake.Raise();
    }
    m_dragging = false;
}

// ---------------------------------------------------------------- OK and Cancel

void TfrmEdit::btnOKClick()
{
    if (m_item) {
        if (!m_item->crop)
            m_item->crop = std::make_shared<rm::CropSettings>();
        if (!m_item->effects)
            m_item->effects = std::make_shared<rm::EffectSettings>();
        rm::CropSettings& c = *m_item->crop;
        c.left = Crop_left->value();
        c.right = Crop_right->value();
        c.top = Crop_top->value();
        c.bottom = Crop_bottom->value();
        rm::SetText(c.zoom, Crop_zoom->currentText().toLatin1().constData());
        rm::EffectSettings& f = *m_item->effects;
        f.verticalFlip = m_vertical ? 1 : 0;
        f.horizontalFlip = m_horizontal ? 1 : 0;
        f.brightness = EffectValueOf(Effect_bright->value());
        f.contrast = EffectValueOf(Effect_contrast->value());
        f.saturation = EffectValueOf(Effect_saturation->value());
        f.colourEffect = Effect_cmb->currentIndex();
        f.volume = AdjustVolume->value();
    }
    accept();
}

void TfrmEdit::btnCancelClick() { reject(); }

} // namespace rm::ui
