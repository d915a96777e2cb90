#pragma once
// TfrmEdit: the crop and effects dialog (skinned shell; its pages, preview and handlers come with the editor).

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmEdit : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmEdit(QWidget* parent = nullptr);

    SkinPanel* Background = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;
};

} // namespace rm::ui
