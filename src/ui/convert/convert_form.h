#pragma once
// TfrmConvert: the progress window (skinned shell; bars, result lines and the worker come with the run).

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmConvert : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget* parent = nullptr);

    SkinPanel* convertPanel = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnMini = nullptr;
    ImageButton* btnCancel = nullptr;
};

} // namespace rm::ui
