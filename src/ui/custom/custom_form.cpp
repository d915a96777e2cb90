#include "ui/custom/custom_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QLabel>

namespace rm::ui {

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
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(btnNext, &QAbstractButton::clicked, this, [this] { ShowPage(std::min(3, m_page + 1)); });
    connect(btnBack, &QAbstractButton::clicked, this, [this] { ShowPage(std::max(1, m_page - 1)); });
    BuildSkin();
    ShowPage(1);
}

void TfrmCustom::ShowPage(int page)
{
    m_page = page;
    customize_BG1->setVisible(page == 1);
    customize_BG2->setVisible(page == 2);
    customize_BG3->setVisible(page == 3);
}

void TfrmCustom::ApplySkin()
{
    SkinnedForm::ApplySkin();
    ShowPage(m_page); // the layout pass shows every background; keep the page
}

} // namespace rm::ui
