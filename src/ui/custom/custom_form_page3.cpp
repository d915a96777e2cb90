#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"

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

namespace rm::ui {

using namespace wizard_ui;

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

} // namespace rm::ui
