#include "ui/dialogs/about_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmAbout::TfrmAbout(QWidget* parent)
    : SkinnedForm(QStringLiteral("about"), QStringLiteral("about/"), QStringLiteral("aboutFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    aboutPanel = AddBackground(QStringLiteral("aboutPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("About"));
    btnOK = new ImageButton(this, QStringLiteral("btnOK"));
    AddButton(btnOK, QStringLiteral("btnOK"));
    connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
    BuildSkin();
}

} // namespace rm::ui
