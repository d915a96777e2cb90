#pragma once
// TfrmPro: the media properties dialog (skinned shell; its fields come with the dialog).

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmPro : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmPro(QWidget* parent = nullptr);

    SkinPanel* proPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* btnClose = nullptr;
    ImageButton* btnOK = nullptr;
};

} // namespace rm::ui
