#include "ui/convert/convert_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QLabel>

namespace rm::ui {

TfrmConvert::TfrmConvert(QWidget* parent)
    : SkinnedForm(QStringLiteral("convert"), QStringLiteral("convert/"), QStringLiteral("convertFormCreate"), parent)
{
    setObjectName(QStringLiteral("frmConvert"));
    convertPanel = AddBackground(QStringLiteral("convert_BG"));
    convertPanel->setObjectName(QStringLiteral("convertPanel"));
    mainLabel = AddTitleLabel(QStringLiteral("mainLabel"), QStringLiteral("Converting"));
    close = new ImageButton(this, QStringLiteral("close"));
    AddButton(close, QStringLiteral("close"));
    btnMini = new ImageButton(this, QStringLiteral("btnMini"));
    AddButton(btnMini, QStringLiteral("btnMini"));
    btnCancel = new ImageButton(this, QStringLiteral("btnCancel"));
    AddButton(btnCancel, QStringLiteral("btnCancel"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    // Minimises the application: every window on screen.
    connect(btnMini, &QAbstractButton::clicked, this, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                w->showMinimized();
    });
    connect(btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    BuildSkin();
}

} // namespace rm::ui
