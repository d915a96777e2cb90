#pragma once
// TfrmAbout: the about box (skinned shell; its texts come with the dialog).

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
};

} // namespace rm::ui
