#include "ui/editors/clip_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmClip::TfrmClip(QWidget* parent)
    : SkinnedForm(QStringLiteral("clip"), QStringLiteral("clip/"), QStringLiteral("clipFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmClip"));
    clipBackground = AddBackground(QStringLiteral("clipBackground"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Trim"));
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
