#pragma once
// TfrmEdit: the crop and effects dialog. The crop page holds the four margins and the zoom mode,
// the effect page brightness, contrast, saturation, the colour effect, the two flips and the
// volume. Every change shows at once in the two-pane preview (source, output); OK writes the
// row's CropSettings and EffectSettings, Cancel and close leave them as they were.
//
// The main window's edit command:
//   frmEdit->RunFor(*selectedNode->item());   // modal; true when OK stored the values

#include "engines/playback/playback_engine.h"
#include "model/media_item.h"
#include "ui/editors/editor_logic.h"
#include "ui/toolkit/skinned_form.h"

#include <atomic>

class QComboBox;
class QLabel;
class QSpinBox;

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;

class TfrmEdit : public SkinnedForm {
    Q_OBJECT
public:
    explicit TfrmEdit(QWidget* parent = nullptr);
    ~TfrmEdit() override;

    // The row the next show edits (kept by pointer: it must stay alive while the dialog is open).
    void SetItem(rm::MediaItem* item);
    // A theme change: the layout and pictures again, keeping the chosen tab, the flips' and the
    // play button's looks and the slider pictures.
    void ApplySkin() override;
    rm::MediaItem* Item() const { return m_item; }
    // SetItem, then the dialog modally. True when OK stored the values.
    bool RunFor(rm::MediaItem& item);

    bool Playing() const { return m_playing.load(); }
    bool Opened() const { return m_opened.load(); }
    bool Dragging() const { return m_dragging.load(); }
    bool VerticalFlip() const { return m_vertical; }
    bool HorizontalFlip() const { return m_horizontal; }
    SeekHandshake& Handshake() { return m_handshake; }

    // Controls (names of the form).
    SkinPanel* Background = nullptr;
    QLabel* mainLabel = nullptr;
    ImageButton* tabCrop = nullptr;
    ImageButton* tabEffect = nullptr;
    QWidget* tabCropPanel = nullptr;
    QWidget* tabEffectPanel = nullptr;
    QSpinBox* Crop_left = nullptr;
    QSpinBox* Crop_right = nullptr;
    QSpinBox* Crop_top = nullptr;
    QSpinBox* Crop_bottom = nullptr;
    QComboBox* Crop_zoom = nullptr;
    ImageButton* btnCropReset = nullptr;
    ImageButton* btnEffectReset = nullptr;
    SkinTrackBar* Effect_bright = nullptr;
    SkinTrackBar* Effect_contrast = nullptr;
    SkinTrackBar* Effect_saturation = nullptr;
    QComboBox* Effect_cmb = nullptr;
    ImageButton* btnLevel = nullptr;
    ImageButton* btnVertical = nullptr;
    SkinTrackBar* AdjustVolume = nullptr;
    QWidget* EditPlayPanel = nullptr;
    SkinTrackBar* TotalTrackBar = nullptr;
    ImageButton* btnPlay = nullptr;
    ImageButton* btnStop = nullptr;
    ImageButton* btnReplay = nullptr;
    ImageButton* btnOK = nullptr;
    ImageButton* btnCancel = nullptr;
    ImageButton* close = nullptr;

    // Handlers (user-interface thread).
    void tabCropClick();
    void tabEffectClick();
    void Crop_leftChange();
    void Crop_rightChange();
    void Crop_topChange();
    void Crop_bottomChange();
    void Crop_zoomChange();
    void btnCropResetClick();
    void Effect_brightChange();
    void Effect_contrastChange();
    void Effect_saturationChange();
    void Effect_cmbChange();
    void btnLevelClick();
    void btnVerticalClick();
    void btnEffectResetClick();
    void AdjustVolumeChange();
    void btnPlayClick();
    void btnStopClick();
    void btnReplayClick();
    void TotalTrackBarMouseDown();
    void TotalTrackBarMouseUp();
    // While the bar is dragged during playback the picture follows it (a keyframe near each place).
    void TotalTrackBarMouseMove(int position);
    void btnOKClick();
    void btnCancelClick();

    // The engine's callbacks, on its thread.
    static int EditStatus(rm::playback::PlayerStatus* status);
    static int EditCrop(rm::playback::CropReport* report);

    // The four skip-next-change flags, in the order left, right, top, bottom.
    enum Margin { MarginLeft = 0, MarginRight, MarginTop, MarginBottom };
    bool SkipFlag(Margin m) const { return m_skip[m]; }

public:
    // Every way out (OK, Cancel, close) ends here: the engine is closed.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* e) override;
    void customEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void LoadCrop();
    void LoadEffects();
    void OpenStretch();
    void PlayPictures();
    void SliderPictures();
    void ShowTab(bool crop);
    void ShowChosen(ImageButton* b, bool chosen);  // hover look while chosen or switched on
    void ShowFlips();
    void MarginChanged(Margin m);
    void SendEffect(int index);
    void SetMarginFromEngine(Margin m, int value);
    QSpinBox* Spin(Margin m) const;

    rm::MediaItem* m_item = nullptr;
    bool m_vertical = false, m_horizontal = false;
    std::atomic<bool> m_playing{false};
    std::atomic<bool> m_opened{false};   // cleared at creation, by Stop and at the end of playback
    std::atomic<bool> m_dragging{false}; // read by the status callback
    bool m_skip[4] = {true, true, true, true};
    bool m_open = false;                 // the engine is set up for this dialog
    bool m_cropTab = true;               // the crop page is the one shown
    SeekHandshake m_handshake;
    QLabel* m_paneCaptions[2] = {nullptr, nullptr};
};

} // namespace rm::ui
