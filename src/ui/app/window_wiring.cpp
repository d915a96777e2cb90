#include "ui/app/window_wiring.h"

#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/button_names.h"
#include "ui/toolkit/tab_order.h"

namespace rm::ui {

void WireWindows()
{
    frmEdit->SetDialogKeys({frmEdit->btnOK}, frmEdit->btnCancel);
    frmClip->SetDialogKeys({frmClip->btnOK}, frmClip->btnCancel);
    frmCustom->SetDialogKeys({frmCustom->btnOK, frmCustom->btnNext}, frmCustom->close);
    // The progress window has no OK; Escape asks to cancel the run, as its Cancel does.
    frmConvert->SetDialogKeys({}, frmConvert->btnCancel);
    frmPro->SetDialogKeys({frmPro->btnOK}, frmPro->btnClose);
    frmAbout->SetDialogKeys({frmAbout->btnOK}, frmAbout->btnOK);
    frmOption->SetDialogKeys({frmOption->btnOK}, frmOption->btnCancel);
    frmDVD->SetDialogKeys({frmDVD->btnOK}, frmDVD->btnCancel);
    for (QWidget* w : std::initializer_list<QWidget*>{frmEdit, frmClip, frmCustom, frmConvert, frmPro, frmAbout,
                                                     frmOption, frmDVD}) {
        DescribeImageButtons(w);
        OrderTabsByLayout(w);
    }
    // A row's mark for crop and effects follows the dialog's OK at once.
    QObject::connect(frmEdit, &QDialog::finished, frmMain->TaskView->viewport(), qOverload<>(&QWidget::update));
}

} // namespace rm::ui
