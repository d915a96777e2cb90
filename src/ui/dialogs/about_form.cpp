#include "ui/dialogs/about_form.h"

#include "ui/app/app_windows.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QLabel>
#include <QShowEvent>
#include <QUrl>

namespace rm::ui {

namespace {

// A link label shows its address as its own text; the link opens through the program's opener.
QString linkText(const char* address)
{
    const QString a = QString::fromLatin1(address).toHtmlEscaped();
    return QStringLiteral("<a href=\"%1\" style=\"color:#2f6fdb;\">%1</a>").arg(a);
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* parent)
    : SkinnedForm(QStringLiteral("about"), QStringLiteral("about/"), QStringLiteral("aboutFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    aboutPanel = AddBackground(QStringLiteral("aboutPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("About"));

    // The texts sit on the theme's card; themes without an "aboutInfo" element keep this place.
    aboutInfo = new QWidget(this);
    aboutInfo->setObjectName(QStringLiteral("aboutInfo"));
    aboutInfo->setGeometry(20, 52, 400, 200);
    AddPlacedControl(aboutInfo, QStringLiteral("aboutInfo"));

    auto label = [this](QLabel*& l, const char* name, const QRect& r) {
        l = new QLabel(aboutInfo);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(r);
    };
    label(Lab_name, "Lab_name", QRect(22, 14, 360, 32));
    QFont big = Lab_name->font();
    big.setBold(true);
    big.setPixelSize(20);
    Lab_name->setFont(big);
    label(Lab_product, "Lab_product", QRect(22, 14, 360, 32));
    Lab_product->hide();
    label(version, "version", QRect(22, 60, 96, 22));
    label(version_num, "version_num", QRect(122, 60, 90, 22));
    label(build_time, "build_time", QRect(214, 60, 150, 22));
    label(Lab_supprot, "Lab_supprot", QRect(22, 88, 96, 22));
    label(supportUrl, "supportUrl", QRect(122, 88, 260, 22));
    label(Lab_homepage, "Lab_homepage", QRect(22, 116, 96, 22));
    label(homeUrl, "homeUrl", QRect(122, 116, 260, 22));
    label(Label1, "Label1", QRect(22, 152, 360, 36));
    Label1->setWordWrap(true);
    Label1->setStyleSheet(QStringLiteral("color: #7a8290;"));
    for (QLabel* link : {supportUrl, homeUrl}) {
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setOpenExternalLinks(false);
        link->setCursor(Qt::PointingHandCursor);
        connect(link, &QLabel::linkActivated, this, [](const QString& address) { OpenUrl(QUrl(address)); });
    }

    btnOK = new ImageButton(this, QStringLiteral("btnOK"));
    AddButton(btnOK, QStringLiteral("btnOK"));
    connect(btnOK, &QAbstractButton::clicked, this, &TfrmAbout::btnOKClick);
    BuildSkin();
    FormShow();
}

void TfrmAbout::FormShow()
{
    Lab_name->setText(QStringLiteral("Orvane Reelmaker"));
    Lab_product->setText(QStringLiteral("Orvane Reelmaker Converter"));
    version->setText(QStringLiteral("Version :"));
    version_num->setText(QStringLiteral("1.0.1 Build"));
    build_time->setText(QStringLiteral("2010-02-10"));
    Lab_supprot->setText(QStringLiteral("Support :"));
    supportUrl->setText(linkText(kSupportPage));
    Lab_homepage->setText(QStringLiteral("HomePage :"));
    homeUrl->setText(linkText(kHomePage));
    Label1->setText(QStringLiteral("Copyright \u00a9 2010 Orvane. All rights reserved."));
}

void TfrmAbout::showEvent(QShowEvent* e)
{
    SkinnedForm::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

} // namespace rm::ui
