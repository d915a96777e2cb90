#include "ui/dialogs/option_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QCheckBox>
#include <QLabel>

namespace rm::ui {

TfrmOption::TfrmOption(QWidget* parent)
    : SkinnedForm(QStringLiteral("option"), QStringLiteral("option/"), QStringLiteral("optionFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmOption"));
    optionPanel = AddBackground(QStringLiteral("optionPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Option"));
    tabGeneral = new QWidget(this);
    tabGeneral->setObjectName(QStringLiteral("tabGeneral"));
    tabFormat = new QWidget(this);
    tabFormat->setObjectName(QStringLiteral("tabFormat"));
    isAutoUpdate = new QCheckBox(QStringLiteral("Auto Update"), tabGeneral);
    isAutoUpdate->setObjectName(QStringLiteral("isAutoUpdate"));
    isAutoUpdate->setGeometry(16, 60, 240, 24);

    auto button = [this](ImageButton*& b, const char* name, QWidget* parent) {
        b = new ImageButton(parent, QString::fromLatin1(name));
        AddButton(b, QString::fromLatin1(name));
    };
    button(btnGeneral, "btnGeneral", this);
    button(btnFormat, "btnFormat", this);
    AddControl(tabGeneral, QStringLiteral("tabGeneral"));
    AddControl(tabFormat, QStringLiteral("tabFormat"));
    button(btnSnappath, "btnSnappath", tabFormat);
    button(btnOpen, "btnOpen", tabFormat);
    button(btnOK, "btnOK", this);
    button(btnCancel, "btnCancel", this);
    button(btnClose, "btnClose", this);
    btnGeneral->setCheckable(true);
    btnFormat->setCheckable(true);
    connect(btnGeneral, &QAbstractButton::clicked, this, &TfrmOption::ShowGeneralPage);
    connect(btnFormat, &QAbstractButton::clicked, this, &TfrmOption::ShowFormatPage);
    connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(btnClose, &QAbstractButton::clicked, this, &QDialog::reject);
    BuildSkin();
    ShowGeneralPage();
}

void TfrmOption::ShowGeneralPage()
{
    tabGeneral->show();
    tabFormat->hide();
    btnGeneral->setChecked(true); // the active page's button shows its hover picture
    btnFormat->setChecked(false);
}

void TfrmOption::ShowFormatPage()
{
    tabFormat->show();
    tabGeneral->hide();
    btnFormat->setChecked(true);
    btnGeneral->setChecked(false);
}

void TfrmOption::ApplySkin()
{
    SkinnedForm::ApplySkin();
    ShowGeneralPage();
}

} // namespace rm::ui
