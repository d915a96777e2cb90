#include "ui/dialogs/pro_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmPro::TfrmPro(QWidget* parent)
    : SkinnedForm(QStringLiteral("properties"), QStringLiteral("pro/"), QStringLiteral("proFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmPro"));
    proPanel = AddBackground(QStringLiteral("proPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Properties"));
    btnClose = new ImageButton(this, QStringLiteral("btnClose"));
    AddButton(btnClose, QStringLiteral("btnClose"));
    btnOK = new ImageButton(this, QStringLiteral("btnOK"));
    AddButton(btnOK, QStringLiteral("btnOK"));
    connect(btnClose, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
    BuildSkin();
}

} // namespace rm::ui
