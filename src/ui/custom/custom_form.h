#pragma once
// TfrmCustom: the output customisation wizard (skinned shell: three page backgrounds, Back, Next,
// OK and close; the pages' controls come with the wizard).

#include "ui/toolkit/skinned_form.h"

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;

class TfrmCustom : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmCustom(QWidget* parent = nullptr);

    // Shows page 1, 2 or 3 (its background; the page controls follow their background).
    void ShowPage(int page);
    int Page() const { return m_page; }

    SkinPanel* customize_BG1 = nullptr;
    SkinPanel* customize_BG2 = nullptr;
    SkinPanel* customize_BG3 = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* close = nullptr;
    ImageButton* btnBack = nullptr;
    ImageButton* btnNext = nullptr;
    ImageButton* btnOK = nullptr;

    void ApplySkin() override;

private:
    int m_page = 1;
};

} // namespace rm::ui
