#pragma once
// Pieces shared by the wizard's source files: the replaceable dialogs, colour boxes and the
// value lists seen by the profile catalogue. Not part of the wizard's interface.

#include "ui/custom/custom_form.h"
#include "model/custom_settings.h"
#include "model/profile_catalogue.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QColor>
#include <QLabel>
#include <QRadioButton>
#include <QRect>
#include <QSignalBlocker>
#include <QString>

namespace rm::ui {

namespace wizard_ui {

extern TfrmCustom::FileChooser g_fileChooser;
extern TfrmCustom::FontChooser g_fontChooser;
extern TfrmCustom::MessageShower g_messageShower;
extern bool g_previewEnabled;

// Pages of more templates (the product's own site).
extern const char* const kMorePages[3];
extern const char* const kJpegFilter;

// The caption of the colour dialog that a credit's or the decoration's font asks for.
inline constexpr const char* kCreditColorCaption = "Credit text colour";

// The font of a credit or of the decoration: the face, size and colour that are stored.
class CreditFontDialog : public QDialog {
public:
    CreditFontDialog(const TfrmCustom::FontChoice& initial, QWidget* parent = nullptr);
    TfrmCustom::FontChoice Choice() const;
    QComboBox* face = nullptr;
    QSpinBox* size = nullptr;
    QPushButton* color = nullptr;  // opens the colour dialog

private:
    void ShowColor();
    QColor m_color;
};

QString ChooseFile(QWidget* parent, const QString& filter);
bool ChooseFont(QWidget* parent, TfrmCustom::FontChoice& f);
QColor ToQColor(const RgbColor& c);
RgbColor FromQColor(const QColor& c);
// The colour boxes: the sixteen standard colours, any other colour shown, and "Custom ...".
void FillColorBox(QComboBox* box);
void SetBoxColor(QComboBox* box, const QColor& c);
QColor BoxColor(const QComboBox* box);
void ClearRadios(QRadioButton* a, QRadioButton* b);
QLabel* MakeLabel(QWidget* parent, const QString& text, QRect r);
QString CleanPath(QString p);

} // namespace wizard_ui

// The wizard's combo boxes as the profile catalogue's value lists.
class WizardLists : public ProfileValueLists {
public:
    QComboBox* boxes[8] = {};
    void clear(ProfileList l) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->clear();
    }
    void add(ProfileList l, const std::string& t) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->addItem(QString::fromStdString(t));
    }
    void select(ProfileList l, int i) override
    {
        QSignalBlocker b(boxes[int(l)]);
        boxes[int(l)]->setCurrentIndex(i);
    }
    int selected(ProfileList l) const override { return boxes[int(l)]->currentIndex(); }
};

} // namespace rm::ui
