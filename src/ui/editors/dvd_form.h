#pragma once
// TfrmDVD: the DVD loader (skinned shell; the title tree and preview come with the DVD module).

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmDVD : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmDVD(QWidget* parent = nullptr);

    SkinPanel* dvdLoadPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;
};

} // namespace rm::ui
