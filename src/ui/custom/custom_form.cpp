#include "ui/custom/custom_form.h"

#include "convert/player_jobs.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
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
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#if __has_include(<QWebEngineView>)
#include <QWebEngineSettings>
#include <QWebEngineView>
#define RM_HAVE_WEBVIEW 1
#endif

#include <unistd.h>

namespace rm::ui {

namespace {

TfrmCustom::FileChooser g_fileChooser;
TfrmCustom::FontChooser g_fontChooser;
TfrmCustom::MessageShower g_messageShower;
bool g_previewEnabled = true;

// Pages of more templates (the product's own site).
const char* const kMorePages[3] = {"https://www.orvane.example/templates/players.html",
                                   "https://www.orvane.example/templates/effects.html",
                                   "https://www.orvane.example/templates/preloaders.html"};

const char* const kJpegFilter = "JPEG Image File (*.jpg)|*.jpg";

QString ChooseFile(QWidget* parent, const QString& filter)
{
    if (g_fileChooser)
        return g_fileChooser(filter);
    // "Description|pattern" as the file dialog wants it: "Description (pattern)".
    const QString qtFilter = filter.section(QLatin1Char('|'), 0, 0);
    return QFileDialog::getOpenFileName(parent, QString(), QDir::currentPath(), qtFilter);
}

bool ChooseFont(QWidget* parent, TfrmCustom::FontChoice& f)
{
    if (g_fontChooser)
        return g_fontChooser(f);
    bool ok = false;
    QFont initial(f.face);
    initial.setPointSize(std::max(1, f.size));
    const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return false;
    const QColor c = QColorDialog::getColor(f.color, parent, QStringLiteral("Font colour"));
    f.face = chosen.family();
    f.size = chosen.pointSize() > 0 ? chosen.pointSize() : f.size;
    if (c.isValid())
        f.color = c;
    return true;
}

QColor ToQColor(const RgbColor& c) { return QColor(c.red & 255, c.green & 255, c.blue & 255); }
RgbColor FromQColor(const QColor& c) { return RgbColor{c.red(), c.green(), c.blue()}; }

// The colour boxes: the sixteen standard colours, any other colour shown, and "Custom ...".
void FillColorBox(QComboBox* box)
{
    static const std::pair<const char*, QRgb> colors[] = {
        {"Black", 0x000000}, {"Maroon", 0x800000}, {"Green", 0x008000}, {"Olive", 0x808000},
        {"Navy", 0x000080},  {"Purple", 0x800080}, {"Teal", 0x008080},  {"Gray", 0x808080},
        {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},   {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
        {"Blue", 0x0000FF},  {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF}, {"White", 0xFFFFFF}};
    for (const auto& [name, rgb] : colors) {
        QPixmap swatch(14, 14);
        swatch.fill(QColor(rgb));
        QPainter(&swatch).drawRect(0, 0, 13, 13);
        box->addItem(QIcon(swatch), QString::fromLatin1(name), QColor(rgb));
    }
    box->addItem(QStringLiteral("Custom ..."));
}

void SetBoxColor(QComboBox* box, const QColor& c)
{
    for (int i = 0; i < box->count(); ++i) {
        const QVariant v = box->itemData(i);
        if (v.isValid() && v.value<QColor>() == c) {
            box->setCurrentIndex(i);
            return;
        }
    }
    QPixmap swatch(14, 14);
    swatch.fill(c);
    QPainter(&swatch).drawRect(0, 0, 13, 13);
    box->insertItem(box->count() - 1, QIcon(swatch), c.name(), c);
    box->setCurrentIndex(box->count() - 2);
}

QColor BoxColor(const QComboBox* box)
{
    const QVariant v = box->currentData();
    return v.isValid() ? v.value<QColor>() : QColor(Qt::black);
}

void ClearRadios(QRadioButton* a, QRadioButton* b)
{
    a->setAutoExclusive(false);
    b->setAutoExclusive(false);
    a->setChecked(false);
    b->setChecked(false);
    a->setAutoExclusive(true);
    b->setAutoExclusive(true);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect r)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(r);
    return l;
}

QString CleanPath(QString p)
{
    p.remove(QLatin1Char('\r'));
    p.remove(QLatin1Char('\n'));
    return p.trimmed();
}

} // namespace

// The wizard's combo boxes as the profile catalogue's value lists.
class WizardLists : public ProfileValueLists {
public:
    QComboBox* boxes[8] = {};
    void clear(ProfileList l) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->clear();
    }
    void add(ProfileList l, const std::string& t) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->addItem(QString::fromStdString(t));
    }
    void select(ProfileList l, int i) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->setCurrentIndex(i);
    }
    int selected(ProfileList l) const override { return boxes[int(l)]->currentIndex(); }
};

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

TfrmCustom::~TfrmCustom() { delete m_lists; }

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

// ------------------------------------------------------------------ page 3

void TfrmCustom::BuildPage3()
{
    QWidget* p = customize_BG3;
    auto tabButton = [p](ImageButton*& b, const char* name) {
        b = new ImageButton(p, QString::fromLatin1(name));
        b->setObjectName(QString::fromLatin1(name));
    };
    tabButton(btnPlayer, "btnPlayer");
    tabButton(btnEffect, "btnEffect");
    tabButton(btnLoad, "btnLoad");
    tabButton(btnDecorate, "btnDecorate");
    tabButton(btnHead, "btnHead");
    tabButton(btnTail, "btnTail");
    tabButton(btnOption, "btnOption");
    auto panel = [this, p](QWidget*& w, const char* name) {
        w = new QWidget(p);
        w->setObjectName(QString::fromLatin1(name));
        AddPlacedControl(w, QString::fromLatin1(name));
    };
    panel(tabPlayerPanel, "tabPlayerPanel");
    panel(tabEffectPanel, "tabEffectPanel");
    panel(tabLoadPanel, "tabLoadPanel");
    panel(tabDecoratePanel, "tabDecoratePanel");
    panel(tabHeadPanel, "tabHeadPanel");
    panel(tabTailPanel, "tabTailPanel");
    panel(tabOptionPanel, "tabOptionPanel");
    panel(webPanel, "webPanel");
    webPanel->setAutoFillBackground(true);
    QPalette pal = webPanel->palette();
    pal.setColor(QPalette::Window, QColor(0x1f, 0x22, 0x2a));
    webPanel->setPalette(pal);
    webBrowser = new QWidget(webPanel);
    webBrowser->setObjectName(QStringLiteral("webBrowser"));
    webBrowser->setAutoFillBackground(true);
    QPalette bpal = webBrowser->palette();
    bpal.setColor(QPalette::Window, Qt::black);
    webBrowser->setPalette(bpal);
    auto* bl = new QVBoxLayout(webBrowser);
    bl->setContentsMargins(0, 0, 0, 0);

    // The decoration overlay above the browser control.
    imgPanel = new QWidget(webPanel);
    imgPanel->setObjectName(QStringLiteral("imgPanel"));
    imgPanel->setStyleSheet(QStringLiteral("#imgPanel { border: 1px dashed #ffcc00; }"));
    imgPanel->setAttribute(Qt::WA_StyledBackground, true);
    Image = new QLabel(imgPanel);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setScaledContents(true);
    Image->setMinimumHeight(10);
    Dec_text = new QLabel(imgPanel);
    Dec_text->setObjectName(QStringLiteral("Dec_text"));
    for (QWidget* w : {imgPanel, static_cast<QWidget*>(Image), static_cast<QWidget*>(Dec_text)}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    imgPanel->hide();
    imgPanel->raise();

    m_previewTitle = new QLabel(QStringLiteral("<b>Preview</b>"), p);
    m_previewTitle->setObjectName(QStringLiteral("previewTitle"));

    background = new QLabel(QStringLiteral("BackGround :"), p);
    background->setObjectName(QStringLiteral("background"));
    AddPlacedControl(background, QStringLiteral("background"));
    cmbBackground = new QComboBox(p);
    cmbBackground->setObjectName(QStringLiteral("cmbBackground"));
    FillColorBox(cmbBackground);
    AddPlacedControl(cmbBackground, QStringLiteral("cmbBackground"));
    connect(cmbBackground, &QComboBox::activated, this, [this](int i) {
        if (!cmbBackground->itemData(i).isValid()) {
            const QColor c = QColorDialog::getColor(ToQColor(CurrentCustomSettings().BackgrounColor), this);
            if (!c.isValid())
                return;
            SetBoxColor(cmbBackground, c);
        }
        CurrentCustomSettings().BackgrounColor = FromQColor(BoxColor(cmbBackground));
        RefreshPreview();
    });

    connect(btnPlayer, &QAbstractButton::clicked, this, [this] { if (SelectedSwfType()) OpenTab(0); });
    connect(btnEffect, &QAbstractButton::clicked, this, [this] {
        MarkSelection(wizard::kEffectGallery);
        if (SelectedSwfType())
            OpenTab(1);
    });
    connect(btnLoad, &QAbstractButton::clicked, this, [this] {
        MarkSelection(wizard::kLoadGallery);
        OpenTab(2);
    });
    connect(btnDecorate, &QAbstractButton::clicked, this, [this] { if (SelectedSwfType()) OpenTab(3); });
    connect(btnHead, &QAbstractButton::clicked, this, [this] { OpenTab(4); });
    connect(btnTail, &QAbstractButton::clicked, this, [this] { OpenTab(5); });
    connect(btnOption, &QAbstractButton::clicked, this, [this] { if (SelectedSwfType()) OpenTab(6); });

    BuildPlayerTab();
    BuildOptionTab();
    BuildCreditTab(head, tabHeadPanel, true);
    BuildCreditTab(tail, tabTailPanel, false);
    BuildDecorateTab();
}

static QScrollArea* MakeScrollBox(QWidget* panel, const char* name, TfrmCustom* filterOwner)
{
    auto* box = new QScrollArea(panel);
    box->setObjectName(QString::fromLatin1(name));
    box->setFrameShape(QFrame::NoFrame);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setWidgetResizable(false);
    auto* content = new QWidget;
    content->setObjectName(QString::fromLatin1(name) + QStringLiteral("Content"));
    box->setWidget(content);
    // The tiles sit on the tab panel's own card.
    box->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; } #%1 { background: transparent; }")
                           .arg(content->objectName()));
    box->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    box->viewport()->installEventFilter(filterOwner);
    return box;
}

void TfrmCustom::BuildPlayerTab()
{
    QWidget* p = tabPlayerPanel;
    PlayerScrollBox = MakeScrollBox(p, "PlayerScrollBox", this);
    PlayerScrollBox->setGeometry(0, 4, 322, 300);
    EffectScrollBox = MakeScrollBox(tabEffectPanel, "EffectScrollBox", this);
    LoadScrollBox = MakeScrollBox(tabLoadPanel, "LoadScrollBox", this);
    auto check = [this, p](QCheckBox*& c, const char* name, const char* caption, QRect r) {
        c = new QCheckBox(QString::fromLatin1(caption), p);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(r);
        c->installEventFilter(this); // mouse-up writes the tick
    };
    check(skinHide, "skinHide", "Skin auto hide", QRect(12, 318, 150, 24));
    check(mouseHide, "mouseHide", "Mouse auto hide", QRect(166, 318, 150, 24));
    MakeLabel(p, QStringLiteral("Hide Delay:"), QRect(12, 352, 80, 24));
    hideDealyValue = new QSpinBox(p);
    hideDealyValue->setObjectName(QStringLiteral("hideDealyValue"));
    hideDealyValue->setRange(1, 300);
    hideDealyValue->setGeometry(96, 350, 70, 28);
    hideDealyValue->installEventFilter(this);
    MakeLabel(p, QStringLiteral("Sec"), QRect(172, 352, 40, 24));
    check(slideHide, "slideHide", "Slide auto hide", QRect(12, 388, 150, 24));
    check(autoPlay, "autoPlay", "Auto play", QRect(166, 388, 150, 24));
    connect(hideDealyValue, &QSpinBox::valueChanged, this,
            [this](int) { SpinChange(hideDealyValue, CurrentCustomSettings().hideDelay); });
}

void TfrmCustom::BuildOptionTab()
{
    QWidget* p = tabOptionPanel;
    const std::pair<QCheckBox**, const char*> boxes[] = {
        {&hideAll, "Hide All"},
        {&hideMute, "Hide Mute Button"},
        {&hideFullScreen, "Hide full screen button"},
        {&hideBN, "Hide back and next button"},
        {&hidePlaylist, "Hide playlist button"},
        {&hidePlaybar, "Hide playing procress bar"},
        {&hideVol, "Hide Volume adjustment bar"},
        {&hideTime, "Hide playing time"},
        {&hideSlide, "Hide slide bar"}};
    const char* names[] = {"hideAll", "hideMute", "hideFullScreen", "hideBN", "hidePlaylist",
                           "hidePlaybar", "hideVol", "hideTime", "hideSlide"};
    int i = 0;
    for (const auto& [box, caption] : boxes) {
        *box = new QCheckBox(QString::fromLatin1(caption), p);
        (*box)->setObjectName(QString::fromLatin1(names[i]));
        (*box)->setGeometry(16, 16 + 34 * i + (i ? 10 : 0), 280, 24);
        (*box)->installEventFilter(this);
        ++i;
    }
    connect(hideAll, &QAbstractButton::clicked, this, &TfrmCustom::hideAllClick);
}

void TfrmCustom::BuildCreditTab(CreditTab& t, QWidget* p, bool isHead)
{
    const QString pre = isHead ? QStringLiteral("head") : QStringLiteral("tail");
    t.addCredit = new QCheckBox(QStringLiteral("Add Credits :"), p);
    t.addCredit->setObjectName(pre + QStringLiteral("AddCredit"));
    t.addCredit->setGeometry(12, 12, 200, 24);
    t.addCredit->installEventFilter(this);
    MakeLabel(p, QStringLiteral("Background Color :"), QRect(12, 50, 130, 24));
    t.bgcolor = new QComboBox(p);
    t.bgcolor->setObjectName(pre + QStringLiteral("_bgcolor"));
    FillColorBox(t.bgcolor);
    t.bgcolor->setGeometry(146, 48, 160, 28);
    MakeLabel(p, QStringLiteral("Duration :"), QRect(12, 88, 130, 24));
    t.duration = new QSpinBox(p);
    t.duration->setObjectName(pre + QStringLiteral("_duration"));
    t.duration->setRange(1, 300);
    t.duration->setGeometry(146, 86, 70, 28);
    t.duration->installEventFilter(this);
    MakeLabel(p, QStringLiteral("Sec( 1~300)"), QRect(222, 88, 90, 24));
    MakeLabel(p, QStringLiteral("Image :"), QRect(12, 126, 60, 24));
    t.image = new QLineEdit(p);
    t.image->setObjectName(pre + QStringLiteral("_image"));
    t.image->setGeometry(76, 124, 160, 28);
    t.imgOpen = new QPushButton(QStringLiteral("Open"), p);
    t.imgOpen->setObjectName(pre + QStringLiteral("imgOpen"));
    t.imgOpen->setGeometry(242, 124, 64, 28);
    t.font = new QPushButton(QStringLiteral("Font ..."), p);
    t.font->setObjectName(pre + QStringLiteral("_font"));
    t.font->setGeometry(12, 162, 100, 28);
    MakeLabel(p, QStringLiteral("Content :"), QRect(12, 200, 100, 24));
    t.memo = new QPlainTextEdit(p);
    t.memo->setObjectName(pre + QStringLiteral("Memo"));
    t.memo->setGeometry(12, 226, 294, 170);
    t.memo->installEventFilter(this);
    MakeLabel(p, QStringLiteral("(Maximum number of characters :250)"), QRect(12, 402, 294, 24));

    CreditTab* tp = &t;
    connect(t.addCredit, &QAbstractButton::clicked, this, [this, isHead] {
        if (isHead)
            headAddCreditClick();
        else
            tailAddCreditClick();
    });
    connect(t.bgcolor, &QComboBox::activated, this, [this, tp, isHead](int i) {
        CustomSettings& s = CurrentCustomSettings();
        RgbColor& field = isHead ? s.Head_backgroundColor : s.Tail_backgroundColor;
        if (!tp->bgcolor->itemData(i).isValid()) {
            const QColor c = QColorDialog::getColor(ToQColor(field), this);
            if (!c.isValid())
                return;
            SetBoxColor(tp->bgcolor, c);
        }
        field = FromQColor(BoxColor(tp->bgcolor));
        QPalette mp = tp->memo->palette();
        mp.setColor(QPalette::Base, ToQColor(field));
        mp.setColor(QPalette::Text, ToQColor(isHead ? s.Head_fontColor : s.Tail_fontColor));
        tp->memo->setPalette(mp);
        RefreshPreview();
    });
    connect(t.duration, &QSpinBox::valueChanged, this, [this, tp, isHead](int) {
        CustomSettings& s = CurrentCustomSettings();
        SpinChange(tp->duration, isHead ? s.Head_duration : s.Tail_duration);
    });
    connect(t.imgOpen, &QAbstractButton::clicked, this, [this, isHead] {
        if (isHead)
            headimgOpenClick();
        else
            tailimgOpenClick();
    });
    connect(t.font, &QAbstractButton::clicked, this, [this, isHead] {
        if (isHead)
            head_fontClick();
        else
            tail_fontClick();
    });
    connect(t.memo, &QPlainTextEdit::textChanged, this, [this, tp, isHead] {
        // At most 250 characters.
        const QString s = tp->memo->toPlainText();
        if (s.size() > 250) {
            QSignalBlocker b(tp->memo);
            tp->memo->setPlainText(s.left(250));
            tp->memo->moveCursor(QTextCursor::End);
        }
        if (isHead)
            headMemoChange();
        else
            tailMemoChange();
    });
}

void TfrmCustom::BuildDecorateTab()
{
    QWidget* p = tabDecoratePanel;
    addCredits = new QCheckBox(QStringLiteral("Add Credits :"), p);
    addCredits->setObjectName(QStringLiteral("addCredits"));
    AddPlacedControl(addCredits, QStringLiteral("addCredits"));
    text = new QRadioButton(QStringLiteral("Text:"), p);
    text->setObjectName(QStringLiteral("text"));
    AddPlacedControl(text, QStringLiteral("text"));
    textValue = new QLineEdit(p);
    textValue->setObjectName(QStringLiteral("textValue"));
    AddPlacedControl(textValue, QStringLiteral("textValue"));
    img = new QRadioButton(QStringLiteral("Image:"), p);
    img->setObjectName(QStringLiteral("img"));
    AddPlacedControl(img, QStringLiteral("img"));
    imgValue = new QLineEdit(p);
    imgValue->setObjectName(QStringLiteral("imgValue"));
    AddPlacedControl(imgValue, QStringLiteral("imgValue"));
    url = new QLabel(QStringLiteral("URL :"), p);
    url->setObjectName(QStringLiteral("url"));
    AddPlacedControl(url, QStringLiteral("url"));
    urlValue = new QLineEdit(QStringLiteral("http://"), p);
    urlValue->setObjectName(QStringLiteral("urlValue"));
    AddPlacedControl(urlValue, QStringLiteral("urlValue"));
    decoFont = new QPushButton(QStringLiteral("Font ..."), p);
    decoFont->setObjectName(QStringLiteral("decoFont"));
    decoOpen = new QPushButton(QStringLiteral("Open"), p);
    decoOpen->setObjectName(QStringLiteral("decoOpen"));
    m_decoHint = new QLabel(QStringLiteral("Drag the decoration on the preview to place it; drag the edges of a "
                                           "picture to size it."),
                            p);
    m_decoHint->setWordWrap(true);
    m_decoHint->setObjectName(QStringLiteral("decoHint"));
    m_decoHint->setStyleSheet(QStringLiteral("color: #6a7385;"));
    connect(addCredits, &QAbstractButton::clicked, this, &TfrmCustom::addCreditsClick);
    connect(text, &QAbstractButton::clicked, this, &TfrmCustom::textClick);
    connect(img, &QAbstractButton::clicked, this, &TfrmCustom::imgClick);
    connect(decoOpen, &QAbstractButton::clicked, this, &TfrmCustom::decoOpenClick);
    connect(decoFont, &QAbstractButton::clicked, this, &TfrmCustom::decoFontClick);
    connect(textValue, &QLineEdit::textChanged, this, [this] { textValueChange(); });
    connect(urlValue, &QLineEdit::textChanged, this, [this] { urlValueChange(); });
}

// ------------------------------------------------------------------ galleries

void TfrmCustom::FillTemplateGalleries(const QString& programFolder)
{
    if (m_galleriesBuilt)
        return;
    m_galleriesBuilt = true;
    const QString folder = programFolder.isEmpty() ? ProgramFolder() : programFolder;
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    if (!programFolder.isEmpty())
        m_galleryFolder = base;
    BuildGallery(wizard::kPlayerGallery, base + QStringLiteral("templates/Players/"));
    BuildGallery(wizard::kEffectGallery, base + QStringLiteral("templates/Effect/"));
    BuildGallery(wizard::kLoadGallery, base + QStringLiteral("templates/Preloader/"));
}

void TfrmCustom::BuildGallery(int type, const QString& folder)
{
    Gallery& g = m_galleries[type];
    g.box = type == wizard::kPlayerGallery ? PlayerScrollBox
          : type == wizard::kEffectGallery ? EffectScrollBox
                                           : LoadScrollBox;
    g.content = g.box->widget();
    g.folder = folder;
    if (!QDir(folder).exists())
        return;
    int bottom = 0;
    auto addTile = [&](const QString& name, const QString& picture, int n, bool framed) {
        const wizard::TileGeometry geo = wizard::GalleryTile(type, n, name == QLatin1String("None"));
        if (framed) {
            auto* frame = new QLabel(g.content);
            frame->setObjectName(name + QStringLiteral("B"));
            frame->setPixmap(LoadSkinPicture(folder + QStringLiteral("border.bmp")));
            frame->setScaledContents(true);
            frame->setGeometry(geo.frame.x, geo.frame.y, geo.frame.w, geo.frame.h);
            frame->hide();
            g.frames[name] = frame;
        }
        auto* tile = new ImageButton(g.content, name);
        tile->setObjectName(name);
        tile->setProperty("galleryType", type);
        const QPixmap pic = LoadSkinPicture(folder + picture);
        tile->SetNormalPicture(pic);
        tile->SetHoverPicture(pic);
        tile->SetPressedPicture(pic);
        tile->setGeometry(geo.tile.x, geo.tile.y, geo.tile.w, geo.tile.h);
        if (!framed)
            tile->setCursor(Qt::PointingHandCursor);
        tile->setToolTip(name);
        g.tiles[name] = tile;
        connect(tile, &QAbstractButton::clicked, this, [this, type, name] { btn_Click(type, name); });
        bottom = std::max(bottom, geo.frame.y + geo.frame.h);
    };
    addTile(QStringLiteral("None"), QStringLiteral("None.bmp"), 0, true);
    int n = 1;
    for (const QString& name : wizard::GalleryTemplates(folder)) {
        // The thumbnail's own file (a name may carry more dots than the template name).
        const QStringList files = QDir(folder).entryList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
        QString file = name + QStringLiteral(".bmp");
        for (const QString& f : files)
            if (f.endsWith(QLatin1String(".bmp")) && f.section(QLatin1Char('.'), 0, 0) == name) {
                file = f;
                break;
            }
        if (g.tiles.count(name))
            continue; // names are unique within a gallery
        addTile(name, file, n++, true);
    }
    const QString more = wizard::MoreTileName(type);
    addTile(more, more + QStringLiteral(".bmp"), n, false);
    g.content->resize(type == wizard::kPlayerGallery ? 296 : 312, bottom + 4);
}

ImageButton* TfrmCustom::FindTile(int type, const QString& name) const
{
    const auto& t = m_galleries[type].tiles;
    auto it = t.find(name);
    return it == t.end() ? nullptr : it->second;
}

QLabel* TfrmCustom::FindFrame(int type, const QString& name) const
{
    const auto& f = m_galleries[type].frames;
    auto it = f.find(name);
    return it == f.end() ? nullptr : it->second;
}

static char* GalleryField(CustomSettings& s, int type)
{
    return type == wizard::kPlayerGallery ? s.PlayerSkinPath
         : type == wizard::kEffectGallery ? s.EffectSkinPath
                                          : s.PreloaderSkinPath;
}

void TfrmCustom::MarkSelection(int type)
{
    Gallery& g = m_galleries[type];
    for (auto& [name, frame] : g.frames)
        frame->hide();
    if (QLabel* f = FindFrame(type, QString::fromUtf8(GalleryField(CurrentCustomSettings(), type))))
        f->show();
}

void TfrmCustom::btn_Click(int type, const QString& name)
{
    if (name == wizard::MoreTileName(type)) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMorePages[type])));
        return;
    }
    CustomSettings& s = CurrentCustomSettings();
    char* field = GalleryField(s, type);
    if (QLabel* old = FindFrame(type, QString::fromUtf8(field)))
        old->hide();
    SetText(field, 1024, name.toUtf8().constData());
    if (QLabel* f = FindFrame(type, name))
        f->show();
    RefreshPreview();
}

// ------------------------------------------------------------------ binding and showing

void TfrmCustom::SetTask(MediaItem* task)
{
    m_task = task;
    if (task && task->settings)
        wizard::CopyTaskToCurrent(*task->settings, CurrentCustomSettings());
}

void TfrmCustom::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    FormShow();
}

void TfrmCustom::hideEvent(QHideEvent* e)
{
    SkinnedForm::hideEvent(e);
#ifdef RM_HAVE_WEBVIEW
    // A hidden wizard must not go on playing the preview's sound.
    if (m_webView)
        static_cast<QWebEngineView*>(m_webView)->setUrl(QUrl(QStringLiteral("about:blank")));
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
    if (index >= 0) {
        m_profileIndex = index;
        m_lists->select(ProfileList::Profile, index);
        ShowProfileChoices(index, *m_lists);
        if (found >= 0)
            ShowTaskValues(t, *m_lists);
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
    // 7. The third page.
    FillPlayerTabs();
}

void TfrmCustom::FillPlayerTabs()
{
    const CustomSettings& t = *m_task->settings;
    CustomSettings& c = CurrentCustomSettings();
    SetBoxColor(cmbBackground, ToQColor(t.BackgrounColor));
    skinHide->setChecked(t.IsSkinAutoHide);
    mouseHide->setChecked(t.IsMouseAutoHide);
    slideHide->setChecked(t.IsSliderAutoHide);
    autoPlay->setChecked(t.IsAutoPlay);
    {
        QSignalBlocker b(hideDealyValue);
        hideDealyValue->setValue(std::clamp(int(t.hideDelay), 1, 300));
    }
    const int32_t hides[9] = {t.IsHideAll, t.IsHideMuteBtn, t.IsHideFullscreenBtn, t.IsHidePreNextBtn,
                              t.IsHidePlaylistBtn, t.IsHidePlayingprocessBar, t.IsHideVolumeBar,
                              t.IsHidePlayingTime, t.IsHidePlayList};
    QCheckBox* boxes[9] = {hideAll, hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide};
    for (int i = 0; i < 9; ++i)
        boxes[i]->setChecked(hides[i] != 0);
    for (int i = 1; i < 9; ++i)
        boxes[i]->setEnabled(!hideAll->isChecked());

    auto fillCredit = [&](CreditTab& tab, bool on, const RgbColor& bg, int duration, const char* image,
                          const char* content, const char* face, int size, const RgbColor& color) {
        tab.addCredit->setChecked(on);
        ApplyCreditEnabling(tab);
        SetBoxColor(tab.bgcolor, ToQColor(bg));
        {
            QSignalBlocker b(tab.duration);
            tab.duration->setValue(std::clamp(duration, 1, 300));
        }
        tab.image->setText(QString::fromUtf8(image));
        {
            QSignalBlocker b(tab.memo);
            tab.memo->setPlainText(QString::fromUtf8(content));
        }
        QPalette mp = tab.memo->palette();
        mp.setColor(QPalette::Base, ToQColor(bg));
        mp.setColor(QPalette::Text, ToQColor(color));
        tab.memo->setPalette(mp);
        tab.dialogFont = FontChoice{QString::fromUtf8(face), size, ToQColor(color)};
    };
    fillCredit(head, t.IsCreditHead, t.Head_backgroundColor, t.Head_duration, t.Head_imagePath,
               t.Head_textContent, t.Head_fontType, t.Head_fontSize, t.Head_fontColor);
    fillCredit(tail, t.IsCreditTail, t.Tail_backgroundColor, t.Tail_duration, t.Tail_imagePath,
               t.Tail_textContent, t.Tail_fontType, t.Tail_fontSize, t.Tail_fontColor);
    std::memcpy(c.Head_fontType, t.Head_fontType, sizeof c.Head_fontType);
    c.Head_fontSize = t.Head_fontSize;
    c.Head_fontColor = t.Head_fontColor;
    c.Head_fontX = t.Head_fontX;
    c.Head_fontY = t.Head_fontY;
    std::memcpy(c.Tail_fontType, t.Tail_fontType, sizeof c.Tail_fontType);
    c.Tail_fontSize = t.Tail_fontSize;
    c.Tail_fontColor = t.Tail_fontColor;
    c.Tail_fontX = t.Tail_fontX;
    c.Tail_fontY = t.Tail_fontY;

    // Decoration: the boxes without their change handlers (they would move the overlay).
    addCredits->setChecked(t.IsDecorate);
    {
        QSignalBlocker b1(textValue), b2(urlValue);
        textValue->setText(QString::fromUtf8(t.Dec_textContent));
        urlValue->setText(t.Dec_URL[0] ? QString::fromUtf8(t.Dec_URL) : QStringLiteral("http://"));
    }
    imgValue->setText(QString::fromUtf8(t.Dec_imagePath));
    ClearRadios(text, img);
    if (t.FileType == 2)
        text->setChecked(true);
    else if (t.FileType == 1)
        img->setChecked(true);
    DecorationControlsStep();
    Dec_text->setText(QString::fromUtf8(t.Dec_textContent));
    if (!t.IsDecorate) {
        imgPanel->hide();
    } else {
        imgPanel->show();
        imgPanel->raise();
        if (!imgValue->text().isEmpty())
            Image->setPixmap(QPixmap(imgValue->text()));
        if (text->isChecked()) {
            Dec_text->show();
            Image->hide();
            PlaceOverlay({t.Dec_text_X, t.Dec_text_Y, t.Dec_text_Width, t.Dec_text_Height});
        } else if (img->isChecked()) {
            Dec_text->hide();
            Image->show();
            PlaceOverlay({t.Dec_img_X, t.Dec_img_Y, t.Dec_img_Width, t.Dec_img_Height});
            Image->setGeometry(0, 0, t.Dec_img_Width, std::max<int>(10, t.Dec_img_Height));
        } else {
            Dec_text->hide();
            Image->hide();
            PlaceOverlay({});
        }
    }
    std::memcpy(c.Dec_fontType, t.Dec_fontType, sizeof c.Dec_fontType);
    c.Dec_fontSize = t.Dec_fontSize;
    c.Dec_fontColor = t.Dec_fontColor;
    decoFontDialog = FontChoice{QString::fromUtf8(t.Dec_fontType), t.Dec_fontSize, ToQColor(t.Dec_fontColor)};
    QFont f(decoFontDialog.face);
    f.setPointSize(std::max(1, decoFontDialog.size));
    Dec_text->setFont(f);
    Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(decoFontDialog.color.name()));
    Dec_text->adjustSize();
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
    const wizard::Rect r = wizard::FitPreview(width->value(), height->value(), webPanel->width(), webPanel->height());
    webBrowser->setGeometry(r.x, r.y, r.w, r.h);
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

// ------------------------------------------------------------------ preview

void TfrmCustom::EnsureWebView()
{
#ifdef RM_HAVE_WEBVIEW
    if (m_webView)
        return;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")
        || qEnvironmentVariableIsSet("RM_NO_WEBVIEW"))
        return;
    // Chromium refuses to run its sandbox as root (containers, CI); the preview only shows local
    // files of the program folder.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    if (!m_server)
        m_server = new PreviewServer(this);
    if (!m_server->Start(ProgramFolderPath()))
        return;
    auto* view = new QWebEngineView(webBrowser);
    view->setObjectName(QStringLiteral("webView"));
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    view->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
    view->page()->setBackgroundColor(Qt::black);
    webBrowser->layout()->addWidget(view);
    m_webView = view;
    imgPanel->raise();
#endif
}

void TfrmCustom::NavigatePreview()
{
#ifdef RM_HAVE_WEBVIEW
    EnsureWebView();
    if (!m_webView || !m_server)
        return;
    const QString folder = ProgramFolderPath();
    QDir().mkpath(folder + QStringLiteral("temp"));
    // The page that hosts Ruffle; the counter keeps the browser from showing a cached player.
    const QString html = QStringLiteral(
        "<!doctype html><html><head><meta charset=\"utf-8\">"
        "<style>html,body{margin:0;padding:0;overflow:hidden;background:#000}"
        "#player{width:100vw;height:100vh;display:block}</style>"
        "<script>window.RufflePlayer=window.RufflePlayer||{};window.RufflePlayer.config={autoplay:\"on\","
        "unmuteOverlay:\"hidden\",splashScreen:false,logLevel:\"warn\",letterbox:\"off\",allowFullscreen:true,"
        "contextMenu:\"off\",publicPath:\"/ruffle/\"};</script>"
        "<script src=\"/ruffle/ruffle.js\"></script></head><body><script>"
        "const p=window.RufflePlayer.newest().createPlayer();p.id=\"player\";document.body.appendChild(p);"
        "const q=new URLSearchParams(location.search);"
        "p.ruffle().load({url:\"orvane.swf?n=\"+(q.get(\"n\")||0)});"
        // Software rendering makes Ruffle offer a hint about hardware acceleration; it would
        // cover the player.
        "setInterval(()=>{const m=p.shadowRoot&&p.shadowRoot.getElementById(\"hardware-acceleration-modal\");"
        "if(m)m.remove();},200);"
        "</script></body></html>");
    QFile f(folder + QStringLiteral("temp/orvane.html"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(html.toUtf8());
    f.close();
    m_previewUrl = m_server->BaseUrl() + QStringLiteral("temp/orvane.html?n=%1").arg(m_refreshCount);
    static_cast<QWebEngineView*>(m_webView)->setUrl(QUrl(m_previewUrl));
#endif
}

void TfrmCustom::RefreshPreview()
{
    ++m_refreshCount;
    if (!g_previewEnabled)
        return;
    PlayerJobContext ctx;
    ctx.programFolder = ProgramFolderPath();
    ctx.wizardHeight = height->value();
    ctx.previewWidth = webBrowser->width();
    ctx.previewHeight = webBrowser->height();
    MakePreviewPlayer(CurrentCustomSettings(), ctx);
    NavigatePreview();
}

// ------------------------------------------------------------------ OK and close

void TfrmCustom::btnOKClick()
{
    CustomSettings& cur = CurrentCustomSettings();
    // 1. The overlay's rectangle.
    const wizard::Rect o = OverlayRect();
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
    ch.profileIndex = m_profileIndex;
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
    if (ch.saveAsDefault)
        SaveCustomSettings();
    // 5.
    accept();
}

void TfrmCustom::closeClick()
{
    if (!m_previewUrl.isEmpty())
        NavigatePreview();
    reject();
}

// ------------------------------------------------------------------ player options

void TfrmCustom::WritePlayerChecks()
{
    CustomSettings& s = CurrentCustomSettings();
    s.IsSkinAutoHide = skinHide->isChecked();
    s.IsMouseAutoHide = mouseHide->isChecked();
    s.IsSliderAutoHide = slideHide->isChecked();
    s.IsAutoPlay = autoPlay->isChecked();
    s.IsHideAll = hideAll->isChecked();
    s.IsHideMuteBtn = hideMute->isChecked();
    s.IsHideFullscreenBtn = hideFullScreen->isChecked();
    s.IsHidePreNextBtn = hideBN->isChecked();
    s.IsHidePlaylistBtn = hidePlaylist->isChecked();
    s.IsHidePlayingprocessBar = hidePlaybar->isChecked();
    s.IsHideVolumeBar = hideVol->isChecked();
    s.IsHidePlayingTime = hideTime->isChecked();
    s.IsHidePlayList = hideSlide->isChecked();
    s.IsCreditHead = head.addCredit->isChecked();
    s.IsCreditTail = tail.addCredit->isChecked();
    RefreshPreview();
}

void TfrmCustom::hideAllClick()
{
    for (QCheckBox* b : {hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide})
        b->setEnabled(!hideAll->isChecked());
}

void TfrmCustom::EnableTimer()
{
    if (!sysTimer->isActive())
        sysTimer->start();
}
void TfrmCustom::DisableTimer() { sysTimer->stop(); }
void TfrmCustom::ToggleTimer()
{
    if (sysTimer->isActive())
        sysTimer->stop();
    else
        sysTimer->start();
}

void TfrmCustom::SpinChange(QSpinBox* box, int32_t& field)
{
    QSignalBlocker b(box);
    ToggleTimer();
    if (!box->cleanText().trimmed().isEmpty())
        field = box->value();
}

// ------------------------------------------------------------------ credits

void TfrmCustom::ApplyCreditEnabling(CreditTab& t)
{
    const bool on = t.addCredit->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(t.bgcolor), static_cast<QWidget*>(t.duration),
                       static_cast<QWidget*>(t.image), static_cast<QWidget*>(t.imgOpen),
                       static_cast<QWidget*>(t.font), static_cast<QWidget*>(t.memo)})
        w->setEnabled(on);
}

void TfrmCustom::headAddCreditClick() { ApplyCreditEnabling(head); }
void TfrmCustom::tailAddCreditClick() { ApplyCreditEnabling(tail); }

void TfrmCustom::CreditImageOpen(CreditTab& t, bool isHead)
{
    const QString saved = QDir::currentPath();
    const QString file = ChooseFile(this, QString::fromLatin1(kJpegFilter));
    if (!file.isEmpty()) {
        t.image->setText(file);
        CustomSettings& s = CurrentCustomSettings();
        SetText(isHead ? s.Head_imagePath : s.Tail_imagePath, CleanPath(file));
    }
    EnableTimer();
    QDir::setCurrent(saved);
}

void TfrmCustom::headimgOpenClick() { CreditImageOpen(head, true); }
void TfrmCustom::tailimgOpenClick() { CreditImageOpen(tail, false); }

int TfrmCustom::MeasureText8pt(const QString& s) const
{
    QFont f = font();
    f.setPointSize(8);
    return QFontMetrics(f).horizontalAdvance(s);
}

void TfrmCustom::CreditMemoChange(CreditTab& t, bool isHead)
{
    CustomSettings& s = CurrentCustomSettings();
    const QString content = t.memo->toPlainText();
    SetText(isHead ? s.Head_textContent : s.Tail_textContent, content);
    const int size = isHead ? s.Head_fontSize : s.Tail_fontSize;
    const wizard::CreditPos p = wizard::CreditTextPosition(size, MeasureText8pt(content), width->value(),
                                                           height->value(), webBrowser->width());
    (isHead ? s.Head_fontX : s.Tail_fontX) = p.x;
    (isHead ? s.Head_fontY : s.Tail_fontY) = p.y;
    ToggleTimer();
}

void TfrmCustom::headMemoChange() { CreditMemoChange(head, true); }
void TfrmCustom::tailMemoChange() { CreditMemoChange(tail, false); }

void TfrmCustom::CreditFontClick(CreditTab& t, bool isHead)
{
    FontChoice f = t.dialogFont;
    if (ChooseFont(this, f)) {
        t.dialogFont = f;
        CustomSettings& s = CurrentCustomSettings();
        (isHead ? s.Head_fontColor : s.Tail_fontColor) = FromQColor(f.color);
        (isHead ? s.Head_fontSize : s.Tail_fontSize) = f.size;
        SetText(isHead ? s.Head_fontType : s.Tail_fontType, f.face);
        QPalette mp = t.memo->palette();
        mp.setColor(QPalette::Text, f.color);
        t.memo->setPalette(mp);
        const wizard::CreditPos p = wizard::CreditTextPosition(f.size, MeasureText8pt(t.memo->toPlainText()),
                                                               width->value(), height->value(), webBrowser->width());
        (isHead ? s.Head_fontX : s.Tail_fontX) = p.x;
        (isHead ? s.Head_fontY : s.Tail_fontY) = p.y;
    }
    RefreshPreview();
}

void TfrmCustom::head_fontClick() { CreditFontClick(head, true); }
void TfrmCustom::tail_fontClick() { CreditFontClick(tail, false); }

// ------------------------------------------------------------------ decoration

void TfrmCustom::DecorationControlsStep()
{
    CustomSettings& s = CurrentCustomSettings();
    if (addCredits->isChecked()) {
        text->setEnabled(true);
        img->setEnabled(true);
        urlValue->setEnabled(true);
        const bool t = text->isChecked(), i = img->isChecked();
        textValue->setEnabled(t);
        decoFont->setEnabled(t);
        imgValue->setEnabled(i);
        decoOpen->setEnabled(i);
        if (t)
            s.FileType = 2;
        else if (i)
            s.FileType = 1;
    } else {
        for (QWidget* w : {static_cast<QWidget*>(text), static_cast<QWidget*>(img), static_cast<QWidget*>(textValue),
                           static_cast<QWidget*>(imgValue), static_cast<QWidget*>(urlValue),
                           static_cast<QWidget*>(decoOpen), static_cast<QWidget*>(decoFont)})
            w->setEnabled(false);
    }
    s.IsDecorate = addCredits->isChecked();
}

void TfrmCustom::ShowOverlay()
{
    CustomSettings& s = CurrentCustomSettings();
    QFont f(QString::fromUtf8(s.Dec_fontType));
    f.setPointSize(std::max(1, int(s.Dec_fontSize)));
    decoFontDialog = FontChoice{QString::fromUtf8(s.Dec_fontType), s.Dec_fontSize, ToQColor(s.Dec_fontColor)};
    Dec_text->setFont(f);
    Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(ToQColor(s.Dec_fontColor).name()));
    head.dialogFont = FontChoice{QString::fromUtf8(s.Head_fontType), s.Head_fontSize, ToQColor(s.Head_fontColor)};
    tail.dialogFont = FontChoice{QString::fromUtf8(s.Tail_fontType), s.Tail_fontSize, ToQColor(s.Tail_fontColor)};
    if (!addCredits->isChecked()) {
        imgPanel->hide();
        return;
    }
    imgPanel->show();
    imgPanel->raise();
    if (text->isChecked()) {
        Dec_text->show();
        Image->hide();
        PlaceOverlay({s.Dec_text_X, s.Dec_text_Y, s.Dec_text_Width, s.Dec_text_Height});
    } else if (img->isChecked()) {
        Image->setGeometry(0, 0, s.Dec_img_Width, std::max<int>(10, s.Dec_img_Height));
        Image->show();
        Dec_text->hide();
        PlaceOverlay({s.Dec_img_X, s.Dec_img_Y, s.Dec_img_Width, s.Dec_img_Height});
    } else {
        Dec_text->hide();
        Image->hide();
        PlaceOverlay({});
    }
}

void TfrmCustom::addCreditsClick()
{
    DecorationControlsStep();
    ShowOverlay();
}

void TfrmCustom::textClick()
{
    DecorationControlsStep();
    ShowOverlay();
    const QString t = QString::fromUtf8(CurrentCustomSettings().Dec_textContent);
    if (!t.isEmpty()) {
        Dec_text->setText(t);
        Dec_text->adjustSize();
    }
}

void TfrmCustom::imgClick()
{
    DecorationControlsStep();
    ShowOverlay();
    const QString path = QString::fromUtf8(CurrentCustomSettings().Dec_imagePath);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        Image->setPixmap(QPixmap(path));
}

void TfrmCustom::textValueChange()
{
    CustomSettings& s = CurrentCustomSettings();
    const QString t = textValue->text();
    SetText(s.Dec_textContent, t);
    Dec_text->setText(t);
    Dec_text->adjustSize();
    if (t.isEmpty()) {
        const wizard::Rect b = BrowserRect();
        PlaceOverlay({b.x + 1, b.y + 1, 0, 0});
        Dec_text->resize(0, 0);
    } else {
        imgPanel->resize(Dec_text->size());
    }
    s.Dec_text_Width = Dec_text->width();
    s.Dec_text_Height = Dec_text->height();
}

void TfrmCustom::decoFontClick()
{
    FontChoice f = decoFontDialog;
    if (ChooseFont(this, f)) {
        decoFontDialog = f;
        CustomSettings& s = CurrentCustomSettings();
        s.Dec_fontColor = FromQColor(f.color);
        s.Dec_fontSize = f.size;
        SetText(s.Dec_fontType, f.face);
        QFont font(f.face);
        font.setPointSize(std::max(1, f.size));
        Dec_text->setFont(font);
        Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(f.color.name()));
        Dec_text->adjustSize();
        imgPanel->resize(Dec_text->size());
    }
    RefreshPreview();
}

void TfrmCustom::decoOpenClick()
{
    const QString saved = QDir::currentPath();
    const QString file = ChooseFile(this, QString::fromLatin1(kJpegFilter));
    if (!file.isEmpty()) {
        CustomSettings& s = CurrentCustomSettings();
        const QString path = CleanPath(file);
        imgValue->setText(path);
        SetText(s.Dec_imagePath, path);
        const CustomSettings* t = m_task && m_task->settings ? m_task->settings.get() : nullptr;
        const int w = t && t->Dec_Width && t->Dec_Height ? t->Dec_Width : 100;
        const int h = t && t->Dec_Width && t->Dec_Height ? t->Dec_Height : 100;
        const wizard::Rect b = BrowserRect();
        PlaceOverlay({b.x, b.y, w, h});
        Image->setGeometry(0, 0, w, h);
        const QPixmap pic(path);
        if (pic.isNull())
            ShowError(QStringLiteral("Cannot open the picture %1.").arg(path));
        Image->setPixmap(pic);
        StoreOverlayAsImageRect();
    }
    QDir::setCurrent(saved);
}

void TfrmCustom::urlValueChange()
{
    SetText(CurrentCustomSettings().Dec_URL, urlValue->text().trimmed());
}

wizard::Rect TfrmCustom::OverlayRect() const
{
    const QRect g = imgPanel->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

wizard::Rect TfrmCustom::BrowserRect() const
{
    const QRect g = webBrowser->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

void TfrmCustom::PlaceOverlay(const wizard::Rect& r)
{
    imgPanel->setGeometry(r.x, r.y, r.w, r.h);
}

void TfrmCustom::StoreOverlayAsImageRect()
{
    CustomSettings& s = CurrentCustomSettings();
    const wizard::Rect o = OverlayRect();
    s.Dec_img_X = o.x;
    s.Dec_img_Y = o.y;
    s.Dec_img_Width = o.w;
    s.Dec_img_Height = o.h;
}

// ------------------------------------------------------------------ events

bool TfrmCustom::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Page 1: pressing on a size box takes the reference sizes.
    if (type == QEvent::MouseButtonPress
        && (watched == width || watched == height || watched->parent() == width || watched->parent() == height)) {
        m_refWidth = width->value();
        m_refHeight = height->value();
        return false;
    }
    // Page 3's background: the default cursor.
    if (watched == customize_BG3 && type == QEvent::MouseMove) {
        customize_BG3->unsetCursor();
        return false;
    }
    // Gallery scroll boxes: 5 pixels per wheel event, whatever the distance.
    for (QScrollArea* box : {PlayerScrollBox, EffectScrollBox, LoadScrollBox}) {
        if (box && watched == box->viewport() && type == QEvent::Wheel) {
            auto* we = static_cast<QWheelEvent*>(event);
            QScrollBar* bar = box->verticalScrollBar();
            bar->setValue(bar->value() + (we->angleDelta().y() < 0 ? 5 : -5));
            return true;
        }
    }
    // Check boxes written on mouse release.
    if (type == QEvent::MouseButtonRelease) {
        for (QCheckBox* b : {skinHide, mouseHide, slideHide, autoPlay, hideAll, hideMute, hideFullScreen, hideBN,
                             hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide, head.addCredit, tail.addCredit}) {
            if (watched == b) {
                // The click that toggles the box comes with this release; write after it.
                QTimer::singleShot(0, this, [this] { WritePlayerChecks(); });
                return false;
            }
        }
    }
    // Typed input: a key down stops the timer, a key up starts it.
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        QObject* w = watched;
        const bool typed = w == hideDealyValue || w == head.duration || w == tail.duration || w == head.memo
                        || w == tail.memo || (w && (w->parent() == hideDealyValue || w->parent() == head.duration
                                                   || w->parent() == tail.duration));
        if (typed) {
            if (static_cast<QKeyEvent*>(event)->isAutoRepeat())
                return false;
            if (type == QEvent::KeyPress)
                DisableTimer();
            else
                EnableTimer();
        }
        return false;
    }
    // The decoration overlay.
    if (watched == imgPanel || watched == Image || watched == Dec_text) {
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
            return false;
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        const int X = pos.x(), Y = pos.y();
        wizard::Rect o = OverlayRect();
        const bool onLabel = watched == Dec_text;
        if (type == QEvent::MouseButtonPress) {
            if (onLabel) {
                m_labelMove = true;
                m_press = pos;
                return true;
            }
            if (wizard::OverlayEdge(X, Y, o.w, o.h) != 0) {
                m_edge = wizard::OverlayEdge(X, Y, o.w, o.h);
                m_resize = true;
            } else {
                m_move = true;
                m_press = pos;
                StoreOverlayAsImageRect();
            }
            return true;
        }
        if (type == QEvent::MouseMove) {
            if ((m_move || m_labelMove) && !m_resize) {
                o = wizard::MoveOverlay(o, X - m_press.x(), Y - m_press.y(), BrowserRect());
                PlaceOverlay(o);
                return true;
            }
            if (m_resize) {
                o = wizard::ResizeOverlay(o, m_edge, X, Y, BrowserRect());
                PlaceOverlay(o);
                if (img->isChecked())
                    Image->setGeometry(0, 0, o.w, std::max(10, o.h));
                return true;
            }
            if (!onLabel) {
                const int edge = wizard::OverlayEdge(X, Y, o.w, o.h);
                if (edge == 3 || edge == 4)
                    imgPanel->setCursor(Qt::SizeHorCursor);
                else if (edge == 1 || edge == 2)
                    imgPanel->setCursor(Qt::SizeVerCursor);
                else
                    imgPanel->unsetCursor();
                if (edge)
                    m_edge = edge;
                if (watched == Image)
                    Image->setCursor(imgPanel->cursor());
            }
            return false;
        }
        // Release.
        if (onLabel) {
            m_labelMove = false;
            return true;
        }
        m_move = m_resize = false;
        m_edge = 0;
        StoreOverlayAsImageRect();
        return true;
    }
    return SkinnedForm::eventFilter(watched, event);
}

} // namespace rm::ui
