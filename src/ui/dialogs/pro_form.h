#pragma once
// TfrmPro: the properties window. Shows the media facts of one task-list row in read-only fields:
// output base name, length, resolution, video bit rate, frame rate, and the audio sample rate,
// channels and bit rate. Changes nothing.
//
// The main window's properties command: frmPro->SetItem(item), then shows it modally (or
// ShowProperties(item) does both).

#include "engines/converter/media_info.h"
#include "ui/toolkit/skinned_form.h"

#include <QStringList>

class QLabel;
class QLineEdit;

namespace rm {
struct MediaItem;
}

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
    QWidget* proInfo = nullptr; // holds the labels and fields
    QLabel* Label1 = nullptr;   // heading of the video facts
    QLabel* Label2 = nullptr;   // heading of the audio facts
    QLineEdit* Text_N = nullptr;
    QLineEdit* Text_L = nullptr;
    QLineEdit* Text_R = nullptr;
    QLineEdit* Text_vb = nullptr;
    QLineEdit* Text_F = nullptr;
    QLineEdit* Text_S = nullptr;
    QLineEdit* Text_C = nullptr;
    QLineEdit* Text_AB = nullptr;

    // The row whose facts the next show presents. The values are copied here, so the row may
    // change or go away afterwards; a row without media shows zeros.
    void SetItem(const rm::MediaItem& item);
    // SetItem, then exec(). Returns exec()'s result.
    int ShowProperties(const rm::MediaItem& item);

    // The "Resolution" text: stored size, and the displayed size beside it when it differs.
    static QString ResolutionText(const rm::converter::MediaInfo& media);
    // The eight texts for a row, in field order N, L, R, vb, F, S, C, AB (also what FormShow shows).
    static QStringList PropertyTexts(const QString& name, const QString& lengthText,
                                     const rm::converter::MediaInfo& media);

    void FormShow();
    void btnOKClick() { accept(); }

protected:
    void showEvent(QShowEvent* e) override;

private:
    QString m_name;
    QString m_length;
    rm::converter::MediaInfo m_media{};
};

} // namespace rm::ui
