#pragma once
// TfrmClip: the trim dialog (skinned shell; segments, track bars and preview come with the editor).
// It is not re-skinned by a theme change: it keeps the theme it was created with.

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmClip : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmClip(QWidget* parent = nullptr);

    SkinPanel* clipBackground = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;
};

} // namespace rm::ui
