#include "ui/editors/edit_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmEdit::TfrmEdit(QWidget* parent)
    : SkinnedForm(QStringLiteral("edit"), QStringLiteral("edit/"), QStringLiteral("editFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmEdit"));
    Background = AddBackground(QStringLiteral("Background"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Crop and Effects"));
    close = new ImageButton(this, QStringLiteral("close"));
    AddButton(close, QStringLiteral("close"));
    btnOK = new ImageButton(this, QStringLiteral("btnOK"));
    AddButton(btnOK, QStringLiteral("btnOK"));
    btnCancel = new ImageButton(this, QStringLiteral("btnCancel"));
    AddButton(btnCancel, QStringLiteral("btnCancel"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(btnOK, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    BuildSkin();
}

} // namespace rm::ui
