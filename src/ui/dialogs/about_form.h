#pragma once
// TfrmAbout: the about box. Product name, version and build date, the support and home pages (as
// links that open in the browser) and a notice line. The texts are set at every show.
//
// The main window's about command shows it with exec().

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmAbout : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    SkinPanel* aboutPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* btnOK = nullptr;
    QWidget* aboutInfo = nullptr;     // holds the texts
    QLabel* Lab_name = nullptr;       // the product's name as the windows show it
    QLabel* Lab_product = nullptr;    // the full product name (kept hidden)
    QLabel* version = nullptr;
    QLabel* version_num = nullptr;
    QLabel* build_time = nullptr;
    QLabel* Lab_supprot = nullptr;
    QLabel* supportUrl = nullptr;     // link to the support page
    QLabel* Lab_homepage = nullptr;
    QLabel* homeUrl = nullptr;        // link to the home page
    QLabel* Label1 = nullptr;         // notice line

    void FormShow();
    void btnOKClick() { accept(); }

protected:
    void showEvent(QShowEvent* e) override;
};

} // namespace rm::ui
