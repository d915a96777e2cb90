#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"

#include "convert/player_jobs.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "ui/app/message_boxes.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#if __has_include(<QWebEngineView>)
#include <QWebEngineSettings>
#include <QWebEngineView>
#define RM_HAVE_WEBVIEW 1
#endif

namespace rm::ui {

using namespace wizard_ui;

void TfrmCustom::SetFileChooser(FileChooser f) { g_fileChooser = std::move(f); }
void TfrmCustom::SetFontChooser(FontChooser f) { g_fontChooser = std::move(f); }
void TfrmCustom::SetMessageShower(MessageShower f) { g_messageShower = std::move(f); }
void TfrmCustom::SetPreviewEnabled(bool on) { g_previewEnabled = on; }

TfrmCustom::TfrmCustom(QWidget* parent)
    : SkinnedForm(QStringLiteral("customize"), QStringLiteral("customize/"), QStringLiteral("cusFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmCustom"));
    customize_BG1 = AddBackground(QStringLiteral("customize_BG1"));
    customize_BG2 = AddBackground(QStringLiteral("customize_BG2"));
    customize_BG3 = AddBackground(QStringLiteral("customize_BG3"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Customize"));
    auto button = [this](ImageButton*& b, const char* name) {
        b = new ImageButton(this, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    button(btnBack, "btnBack");
    button(btnNext, "btnNext");
    button(btnOK, "btnOK");
    button(close, "close");
    custom_default = new QCheckBox(QStringLiteral("Save as default"), this);
    custom_default->setObjectName(QStringLiteral("custom_default"));
    AddPlacedControl(custom_default, QStringLiteral("custom_default"));

    m_lists = new WizardLists;
    sysTimer = new QTimer(this);
    sysTimer->setObjectName(QStringLiteral("sysTimer"));
    sysTimer->setInterval(500);
    connect(sysTimer, &QTimer::timeout, this, [this] {
        sysTimer->stop();
        RefreshPreview();
    });

    BuildPage1();
    BuildPage2();
    BuildPage3();

    connect(close, &QAbstractButton::clicked, this, &TfrmCustom::closeClick);
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmCustom::btnOKClick);
    connect(btnNext, &QAbstractButton::clicked, this, &TfrmCustom::btnNextClick);
    connect(btnBack, &QAbstractButton::clicked, this, &TfrmCustom::btnBackClick);
    for (SkinPanel* bg : {customize_BG1, customize_BG2, customize_BG3})
        bg->setMouseTracking(true);
    customize_BG3->installEventFilter(this);
    BuildSkin();
    LayOutExtras();
    ShowPage(1);
}

// Controls placed relative to themed ones (the theme has no elements of their own).
void TfrmCustom::LayOutExtras()
{
    const SkinElementValues web = Element(QStringLiteral("webPanel"));
    // "Preview" sits at the right end of the tab bar's row, over the preview's right edge.
    m_previewTitle->setGeometry(web.x + web.width - 120, web.y - 30, 120, 22);
    m_previewTitle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The effect and preloader boxes fill their panels; the skins leave room for the options.
    EffectScrollBox->setGeometry(0, 0, tabEffectPanel->width(), tabEffectPanel->height());
    LoadScrollBox->setGeometry(0, 0, tabLoadPanel->width(), tabLoadPanel->height());
    PlayerScrollBox->setGeometry(0, 4, tabPlayerPanel->width(), 300);
    // The decoration's two buttons sit under the URL row, in the text boxes' column.
    const QRect u = urlValue->geometry();
    decoFont->setGeometry(u.x(), u.bottom() + 12, 90, 28);
    decoOpen->setGeometry(u.x() + 98, u.bottom() + 12, 90, 28);
    m_decoHint->setGeometry(12, decoFont->geometry().bottom() + 16, tabDecoratePanel->width() - 24, 48);
}

TfrmCustom::~TfrmCustom()
{
    m_clipMaker.reset();  // its thread ends before the preview folder goes
    delete m_lists;       // m_previewDir goes with its files
}

QString TfrmCustom::ProgramFolderPath() const
{
    return m_galleryFolder.isEmpty() ? ProgramFolder() : m_galleryFolder;
}

void TfrmCustom::ShowError(const QString& text)
{
    if (g_messageShower)
        g_messageShower(text);
    else
        QMessageBox::critical(this, QStringLiteral("Error"), text);
}

// ------------------------------------------------------------------ page 1

void TfrmCustom::BuildPage1()
{
    QWidget* p = customize_BG1;
    auto combo = [p](QComboBox*& c, const char* name, QRect r) {
        c = new QComboBox(p);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(r);
    };
    MakeLabel(p, QStringLiteral("Profile :"), QRect(44, 78, 90, 24));
    combo(comProfile, "comProfile", QRect(140, 76, 420, 28));
    MakeLabel(p, QStringLiteral("<b>Video Settings</b>"), QRect(40, 160, 300, 24));
    MakeLabel(p, QStringLiteral("Encoder :"), QRect(44, 202, 100, 24));
    combo(cmbVideoEncoder, "cmbVideoEncoder", QRect(150, 200, 220, 28));
    MakeLabel(p, QStringLiteral("Bitrate :"), QRect(44, 242, 100, 24));
    combo(cmbVideoBitrate, "cmbVideoBitrate", QRect(150, 240, 220, 28));
    MakeLabel(p, QStringLiteral("Frame Rate :"), QRect(44, 282, 100, 24));
    combo(cmbFrameRate, "cmbFrameRate", QRect(150, 280, 220, 28));
    auto spin = [p](QSpinBox*& s, const char* name, QRect r) {
        s = new QSpinBox(p);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(1, 10000);
        s->setSingleStep(1);
        s->setGeometry(r);
    };
    MakeLabel(p, QStringLiteral("Width :"), QRect(44, 322, 100, 24));
    spin(width, "width", QRect(150, 320, 120, 28));
    MakeLabel(p, QStringLiteral("Height :"), QRect(44, 362, 100, 24));
    spin(height, "height", QRect(150, 360, 120, 28));
    proportional = new QCheckBox(QStringLiteral("Proportional"), p);
    proportional->setObjectName(QStringLiteral("proportional"));
    proportional->setGeometry(150, 402, 200, 24);
    MakeLabel(p, QStringLiteral("<b>Audio Setting</b>"), QRect(438, 160, 300, 24));
    MakeLabel(p, QStringLiteral("Sample Rate :"), QRect(442, 202, 110, 24));
    combo(cmbSampleRate, "cmbSampleRate", QRect(560, 200, 210, 28));
    MakeLabel(p, QStringLiteral("Channel :"), QRect(442, 242, 110, 24));
    combo(cmbAudioChannel, "cmbAudioChannel", QRect(560, 240, 210, 28));
    MakeLabel(p, QStringLiteral("Encoder :"), QRect(442, 282, 110, 24));
    combo(cmbAudioEncoder, "cmbAudioEncoder", QRect(560, 280, 210, 28));
    MakeLabel(p, QStringLiteral("Bitrate :"), QRect(442, 322, 110, 24));
    combo(cmbAudioBitrate, "cmbAudioBitrate", QRect(560, 320, 210, 28));

    m_lists->boxes[int(ProfileList::Profile)] = comProfile;
    m_lists->boxes[int(ProfileList::SampleRate)] = cmbSampleRate;
    m_lists->boxes[int(ProfileList::AudioChannel)] = cmbAudioChannel;
    m_lists->boxes[int(ProfileList::AudioEncoder)] = cmbAudioEncoder;
    m_lists->boxes[int(ProfileList::AudioBitrate)] = cmbAudioBitrate;
    m_lists->boxes[int(ProfileList::VideoEncoder)] = cmbVideoEncoder;
    m_lists->boxes[int(ProfileList::VideoBitrate)] = cmbVideoBitrate;
    m_lists->boxes[int(ProfileList::FrameRate)] = cmbFrameRate;

    connect(comProfile, &QComboBox::activated, this, [this](int) { comProfileChange(); });
    for (QComboBox* c : {cmbSampleRate, cmbAudioChannel, cmbAudioEncoder, cmbAudioBitrate, cmbVideoEncoder,
                         cmbVideoBitrate, cmbFrameRate})
        connect(c, &QComboBox::activated, this, [this](int) { valueListChange(); });
    connect(width, &QSpinBox::valueChanged, this, [this](int) { widthChange(); });
    connect(height, &QSpinBox::valueChanged, this, [this](int) { heightChange(); });
    // Emptying a box changes no value (the box reports nothing for a text that is not a
    // number), yet it makes the other box 1: its editor's text is followed as well.
    connect(width->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, [this] { widthChange(); });
    connect(height->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, [this] { heightChange(); });
    // Pressing the mouse on either box takes the current sizes as the reference.
    width->installEventFilter(this);
    height->installEventFilter(this);
    for (QObject* o : width->children())
        o->installEventFilter(this);
    for (QObject* o : height->children())
        o->installEventFilter(this);
}

void TfrmCustom::comProfileChange()
{
    const int sel = comProfile->currentIndex();
    const int count = Catalogue().Count;
    // "Custom" has no lists of its own: it keeps those of the profile shown.
    if (sel >= 0 && sel < count) {
        m_profileIndex = sel;
        m_keepTaskProfile = false;
        ShowProfileChoices(m_profileIndex, *m_lists);
    }
    if (m_task && m_task->settings)
        m_task->settings->IsCustom = 0;
}

void TfrmCustom::valueListChange()
{
    const int sel = comProfile->currentIndex();
    if (sel >= 0 && sel < Catalogue().Count)
        m_profileIndex = sel;
    m_keepTaskProfile = false;
    CurrentCustomSettings().IssettingCustom = 1;
    QSignalBlocker b(comProfile);
    comProfile->setCurrentIndex(comProfile->count() - 1);
}

void TfrmCustom::widthChange()
{
    if (m_coupling || !proportional->isChecked())
        return;
    m_coupling = true;
    height->setValue(wizard::ProportionalValue(width->cleanText(), m_refWidth, m_refHeight));
    m_coupling = false;
}

void TfrmCustom::heightChange()
{
    if (m_coupling || !proportional->isChecked())
        return;
    m_coupling = true;
    width->setValue(wizard::ProportionalValue(height->cleanText(), m_refHeight, m_refWidth));
    m_coupling = false;
}

// ------------------------------------------------------------------ page 2

void TfrmCustom::BuildPage2()
{
    QWidget* p = customize_BG2;
    auto check = [this, p](QCheckBox*& c, const char* name, const char* caption) {
        c = new QCheckBox(QString::fromLatin1(caption), p);
        c->setObjectName(QString::fromLatin1(name));
        AddPlacedControl(c, QString::fromLatin1(name));
    };
    check(cus_flv, "cus_flv", "Generate FLV");
    check(cus_swf, "cus_swf", "Generate SWF");
    swfType_1 = new QRadioButton(QStringLiteral("Embed the video in SWF and play in timeline"), p);
    swfType_1->setObjectName(QStringLiteral("swfType_1"));
    AddPlacedControl(swfType_1, QStringLiteral("swfType_1"));
    swfType_2 = new QRadioButton(QStringLiteral("Play the created external FLV file progressively"), p);
    swfType_2->setObjectName(QStringLiteral("swfType_2"));
    AddPlacedControl(swfType_2, QStringLiteral("swfType_2"));
    check(cus_html, "cus_html", "Generate HTML");
    check(cus_thumb, "cus_thumb", "Generate Thumbnail");
    connect(cus_flv, &QAbstractButton::clicked, this, &TfrmCustom::cus_flvClick);
    connect(cus_swf, &QAbstractButton::clicked, this, &TfrmCustom::cus_swfClick);
    connect(cus_thumb, &QAbstractButton::clicked, this, &TfrmCustom::cus_thumbClick);
}

bool TfrmCustom::IsSlideTask() const { return m_task && m_task->kind == kKindSlide; }

void TfrmCustom::cus_swfClick()
{
    if (!cus_flv->isChecked()) {
        cus_swf->setChecked(true);
        return;
    }
    if (cus_swf->isChecked()) {
        swfType_1->setEnabled(!IsSlideTask());
        swfType_2->setEnabled(true);
        cus_html->setEnabled(true);
        cus_html->setChecked(m_rememberedHtml);
        SetButtonEnabled(btnNext, true);
    } else {
        m_rememberedHtml = cus_html->isChecked();
        swfType_1->setEnabled(false);
        swfType_2->setEnabled(false);
        cus_html->setChecked(false);
        cus_html->setEnabled(false);
        SetButtonEnabled(btnNext, false);
    }
}

void TfrmCustom::cus_flvClick()
{
    if (cus_swf->isChecked() && !IsSlideTask()) {
        if (cus_flv->isChecked()) {
            swfType_2->setEnabled(true);
        } else {
            swfType_2->setEnabled(false);
            swfType_1->setChecked(true);
        }
    } else {
        cus_flv->setChecked(true);
    }
}

void TfrmCustom::cus_thumbClick()
{
    if (IsSlideTask())
        cus_thumb->setChecked(true);
}

int TfrmCustom::SelectedSwfType() const
{
    if (swfType_1->isChecked())
        return 1;
    if (swfType_2->isChecked())
        return 2;
    return 0;
}


// ------------------------------------------------------------------ binding and showing

void TfrmCustom::SetTask(MediaItem* task)
{
    m_task = task;
    m_clipSource = task ? PreviewSourceOf(*task) : PreviewClipSource{};
    if (task && task->settings)
        wizard::CopyTaskToCurrent(*task->settings, CurrentCustomSettings());
}

void TfrmCustom::SetPreviewMembers(const std::vector<const MediaItem*>& members)
{
    if (m_task)
        m_clipSource = PreviewSourceOf(*m_task, members);
}

void TfrmCustom::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    FormShow();
}

void TfrmCustom::hideEvent(QHideEvent* e)
{
    SkinnedForm::hideEvent(e);
    // A clip still being made is of no use any more; one made is kept for the next showing.
    if (m_clipMaker)
        m_clipMaker->Cancel();
#ifdef RM_HAVE_WEBVIEW
    // A hidden wizard must not go on playing the preview's sound.
    if (m_webView)
        static_cast<QWebEngineView*>(m_webView)->setUrl(QUrl(QStringLiteral("about:blank")));
    m_preparedPlayer.clear();
    m_previewLoaded = false;
#endif
}

void TfrmCustom::FormShow()
{
    if (!m_galleriesBuilt) {
        // Normally built at start-up; built here when nobody did, and a missing picture is
        // reported instead of ending the program from inside a show.
        try {
            FillTemplateGalleries();
        } catch (const SkinPictureError& e) {
            ShowError(QStringLiteral("Cannot open the picture %1.").arg(e.path()));
        }
    }
    m_pageThreeEntered = false;
    ShowPage(1);
    if (!m_task || !m_task->settings)
        return;
    CustomSettings& t = *m_task->settings;
    if (wizard::DropMissingDecorationPicture(t)) {
        CustomSettings& c = CurrentCustomSettings();
        c.Dec_imagePath[0] = 0;
        c.Dec_img_X = c.Dec_img_Y = c.Dec_img_Width = c.Dec_img_Height = 0;
    }
    FillFromTask();
    MarkSelection(wizard::kPlayerGallery);
    m_refWidth = width->value();
    m_refHeight = height->value();
    cus_flv->hide();
    // The task's own video is made ready for the preview while the user is on the first pages,
    // and the browser starts once the first page is on the screen.
    if (g_previewEnabled) {
        RequestOwnClip();
        QTimer::singleShot(100, this, &TfrmCustom::PreparePreview);
    }
}

void TfrmCustom::FillFromTask()
{
    CustomSettings& t = *m_task->settings;
    // 1. "Save as default".
    custom_default->setChecked(t.IsCustom != 0);
    // 2. - 3. Profile, value lists, "Custom".
    if (comProfile->count() != int(Catalogue().Count) + 1) {
        m_lists->clear(ProfileList::Profile);
        for (const std::string& e : ProfileListEntries())
            m_lists->add(ProfileList::Profile, e);
    }
    const int found = FindProfileByName(std::string(t.ProfileName));
    int index = found >= 0 ? found : m_profileIndex;
    if (index < 0 || index >= Catalogue().Count)
        index = std::min(std::max(comProfile->currentIndex(), 0), int(Catalogue().Count) - 1);
    // A name the catalogue does not know, an empty one included: the task keeps its own values.
    m_keepTaskProfile = found < 0;
    if (index >= 0) {
        m_profileIndex = index;
        m_lists->select(ProfileList::Profile, index);
        ShowProfileChoices(index, *m_lists);
        if (found >= 0)
            ShowTaskValues(t, *m_lists);
        else if (m_keepTaskProfile)
            ShowStoredValuesOfUnknownProfile(t);
    }
    if (t.IsCustom || t.IssettingCustom)
        m_lists->select(ProfileList::Profile, comProfile->count() - 1);
    // 4. Size, without the coupling.
    m_coupling = true;
    width->setValue(std::clamp(int(t.Width), 1, 10000));
    height->setValue(std::clamp(int(t.Height), 1, 10000));
    m_coupling = false;
    // 5. - 6. Output kinds.
    cus_flv->setChecked(t.IsGeneralFlv != 0);
    cus_swf->setChecked(t.IsGeneralSwf != 0);
    cus_html->setChecked(t.IsGeneralHtml != 0);
    cus_thumb->setChecked(t.IsGeneralThumbnail != 0);
    m_rememberedHtml = t.IsGeneralHtml != 0;
    ClearRadios(swfType_1, swfType_2);
    if (t.SwfType == 1)
        swfType_1->setChecked(true);
    else if (t.SwfType == 2)
        swfType_2->setChecked(true);
    if (IsSlideTask()) {
        swfType_1->setChecked(false);
        swfType_1->setEnabled(false);
        swfType_2->setChecked(true);
        t.SwfType = 2;
        CurrentCustomSettings().SwfType = 2;
    } else {
        swfType_1->setEnabled(true);
    }
    // The page-2 rules for the shown ticks.
    const bool swf = cus_swf->isChecked();
    swfType_2->setEnabled(swf && (cus_flv->isChecked() || IsSlideTask()));
    if (!swf)
        swfType_1->setEnabled(false);
    cus_html->setEnabled(swf);
    // 7. The third page; the preview is laid out for this task's size first, since the
    // decoration is placed on it.
    FitPreview();
    FillPlayerTabs();
}

void TfrmCustom::ShowStoredValuesOfUnknownProfile(const CustomSettings& t)
{
    // Each list shows the task's value: the equal entry of the profile shown, or the value
    // itself added to the list.
    auto show = [](QComboBox* box, const QString& value, const std::function<bool(const QString&)>& equal) {
        QSignalBlocker b(box);
        for (int i = 0; i < box->count(); ++i)
            if (equal(box->itemText(i))) {
                box->setCurrentIndex(i);
                return;
            }
        box->addItem(value);
        box->setCurrentIndex(box->count() - 1);
    };
    auto sameInt = [](int v) { return [v](const QString& s) { return s.trimmed().toInt() == v; }; };
    auto sameText = [](const QString& v) { return [v](const QString& s) { return s == v; }; };
    show(cmbSampleRate, QString::number(t.SimpleRate), sameInt(t.SimpleRate));
    show(cmbAudioChannel, QString::number(t.Channel), sameInt(t.Channel));
    show(cmbAudioBitrate, QString::number(t.AudioBitrate), sameInt(t.AudioBitrate));
    show(cmbVideoBitrate, QString::number(t.VideoBitRate), sameInt(t.VideoBitRate));
    show(cmbAudioEncoder, QString::fromUtf8(t.AudioEncoder), sameText(QString::fromUtf8(t.AudioEncoder)));
    show(cmbVideoEncoder, QString::fromUtf8(t.VideoEncoder), sameText(QString::fromUtf8(t.VideoEncoder)));
    const int fps = int(t.FrameRate);
    show(cmbFrameRate, QString::number(double(t.FrameRate)), [fps](const QString& s) { return int(s.toDouble()) == fps; });
}

// ------------------------------------------------------------------ pages

void TfrmCustom::ShowPage(int page)
{
    m_page = page;
    customize_BG1->setVisible(page == 1);
    customize_BG2->setVisible(page == 2);
    customize_BG3->setVisible(page == 3);
    SetButtonEnabled(btnBack, page != 1);
    SetButtonEnabled(btnNext, page == 1 || (page == 2 && cus_swf->isChecked()));
    if (page == 3) {
        m_pageThreeEntered = true;
        FitPreview();
        EnterPlayerPage();
        RefreshPreview();
    }
}

void TfrmCustom::btnNextClick()
{
    if (m_page < 3 && btnNext->isEnabled())
        ShowPage(m_page + 1);
}

void TfrmCustom::btnBackClick()
{
    if (m_page > 1)
        ShowPage(m_page - 1);
}

void TfrmCustom::ApplySkin()
{
    SkinnedForm::ApplySkin();
    LayOutExtras();
    ShowPage(m_page); // the layout pass shows every background; keep the page
}

void TfrmCustom::FitPreview()
{
    const wizard::Rect onVideo = OverlayOnVideo();
    const wizard::Rect r = wizard::FitPreview(width->value(), height->value(), webPanel->width(), webPanel->height());
    webBrowser->setGeometry(r.x, r.y, r.w, r.h);
    // The decoration stays where it was put on the video.
    PlaceOverlayOnVideo(onVideo);
    imgPanel->raise();
}

void TfrmCustom::EnterPlayerPage()
{
    CustomSettings& s = CurrentCustomSettings();
    s.IsGeneralFlv = cus_flv->isChecked();
    s.IsGeneralSwf = cus_swf->isChecked();
    if (const int type = SelectedSwfType())
        s.SwfType = type;
    s.IsGeneralHtml = cus_html->isChecked();
    s.IsGeneralThumbnail = cus_thumb->isChecked();
    LayOutTabButtons();
    OpenTab(0);
}

void TfrmCustom::LayOutTabButtons()
{
    const bool embedded = SelectedSwfType() == 1;
    auto place = [this](ImageButton* b, const QString& element) {
        const SkinElementValues e = Element(element);
        b->setGeometry(e.x, e.y, e.width, e.height);
        LoadButtonPictures(b, element);
        b->setProperty("tabElement", element);
    };
    place(btnPlayer, QStringLiteral("btnPlayer"));
    place(btnEffect, QStringLiteral("btnEffect"));
    place(btnLoad, QStringLiteral("btnLoad"));
    place(btnDecorate, embedded ? QStringLiteral("btnDecorate2") : QStringLiteral("btnDecorate"));
    place(btnHead, QStringLiteral("btnHead"));
    place(btnTail, QStringLiteral("btnTail"));
    place(btnOption, QStringLiteral("btnOption"));
    if (!embedded) {
        // One "btnOption" element serves both sets; the progressive set has no Head and Tail
        // tabs, so its Option tab follows Decorate at the bar's own spacing.
        const int step = btnDecorate->x() - btnLoad->x();
        if (step > 0)
            btnOption->move(btnDecorate->x() + step, btnOption->y());
    }
    btnHead->setVisible(embedded);
    btnTail->setVisible(embedded);
    btnLoad->setVisible(!embedded);
}

void TfrmCustom::OpenTab(int tab)
{
    m_openedTab = tab;
    ImageButton* buttons[7] = {btnPlayer, btnEffect, btnLoad, btnDecorate, btnHead, btnTail, btnOption};
    QWidget* panels[7] = {tabPlayerPanel, tabEffectPanel, tabLoadPanel, tabDecoratePanel, tabHeadPanel, tabTailPanel, tabOptionPanel};
    for (int i = 0; i < 7; ++i) {
        ImageButton* b = buttons[i];
        const QString element = b->property("tabElement").toString();
        if (!element.isEmpty()) {
            const QPixmap normal = LoadSkinPicture(PicturePath(Element(element).imageName, 0));
            const QPixmap hover = LoadSkinPicture(PicturePath(Element(element).imageName, 1));
            b->SetNormalPicture(i == tab ? hover : normal);
        }
        panels[i]->setVisible(i == tab);
    }
}

// ------------------------------------------------------------------ OK and close

void TfrmCustom::btnOKClick()
{
    CustomSettings& cur = CurrentCustomSettings();
    // 1. The overlay's rectangle, on the video.
    const wizard::Rect o = OverlayOnVideo();
    if (text->isChecked()) {
        cur.Dec_text_X = o.x;
        cur.Dec_text_Y = o.y;
        cur.Dec_text_Width = o.w;
        cur.Dec_text_Height = o.h;
    }
    if (text->isChecked() || img->isChecked()) {
        cur.Dec_X = o.x;
        cur.Dec_Y = o.y;
        cur.Dec_Width = o.w;
        cur.Dec_Height = o.h;
    }
    // 2. CheckResolution.
    if (!wizard::ResolutionAccepted(cur, width->value(), height->value())) {
        const QString msg = QString::fromLatin1(wizard::kResolutionMessage);
        if (g_messageShower)
            g_messageShower(msg);
        else
            QMessageBox::information(this, QStringLiteral("Information"), msg, QMessageBox::Ok);
        ShowPage(1);
        return;
    }
    if (!m_task || !m_task->settings) {
        accept();
        return;
    }
    // 3. ApplyToTask.
    wizard::WizardChoices ch;
    ch.saveAsDefault = custom_default->isChecked();
    // An unknown profile whose values nobody changed: the task keeps its own.
    ch.profileIndex = m_keepTaskProfile ? -1 : m_profileIndex;
    ch.lists = m_lists;
    ch.width = width->value();
    ch.height = height->value();
    ch.browserWidth = webBrowser->width();
    ch.browserHeight = webBrowser->height();
    if (!m_pageThreeEntered) {
        // Page 3 never visited: the preview would be laid out like this.
        const wizard::Rect r = wizard::FitPreview(ch.width, ch.height, webPanel->width(), webPanel->height());
        ch.browserWidth = r.w;
        ch.browserHeight = r.h;
    }
    ch.flv = cus_flv->isChecked();
    ch.swf = cus_swf->isChecked();
    ch.html = cus_html->isChecked();
    ch.thumb = cus_thumb->isChecked();
    ch.swfType = SelectedSwfType();
    ch.skinHide = skinHide->isChecked();
    ch.mouseHide = mouseHide->isChecked();
    ch.slideHide = slideHide->isChecked();
    ch.autoPlay = autoPlay->isChecked();
    ch.hideDelay = hideDealyValue->value();
    QCheckBox* boxes[9] = {hideAll, hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide};
    for (int i = 0; i < 9; ++i)
        ch.hide[i] = boxes[i]->isChecked();
    ch.headCredit = head.addCredit->isChecked();
    ch.headDuration = head.duration->value();
    ch.tailCredit = tail.addCredit->isChecked();
    ch.tailDuration = tail.duration->value();
    ch.decorate = addCredits->isChecked();
    ch.urlBox = urlValue->text();
    wizard::ApplyToTask(ch, cur, *m_task->settings);
    if (IsSlideTask())
        m_task->settings->SwfType = 2;
    // 4. Saved defaults.
    if (ch.saveAsDefault && !SaveCustomSettings())
        ShowMessage(this, QStringLiteral("The default settings could not be saved: %1 cannot be written.\n"
                                         "The defaults saved before are kept; this task has its new settings.")
                              .arg(QDir::toNativeSeparators(RegistryKey::StoreFile())));
    // 5.
    accept();
}

void TfrmCustom::closeClick()
{
    if (!m_previewUrl.isEmpty())
        NavigatePreview();
    reject();
}

} // namespace rm::ui
