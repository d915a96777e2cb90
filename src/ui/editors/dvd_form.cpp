#include "ui/editors/dvd_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmDVD::TfrmDVD(QWidget* parent)
    : SkinnedForm(QStringLiteral("dvdloader"), QStringLiteral("dvd/"), QStringLiteral("dvdLoadFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmDVD"));
    dvdLoadPanel = AddBackground(QStringLiteral("dvdLoadPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("DVD Loader"));
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
