#pragma once
// The borderless skinned window every form of the program is built on. A form names its theme
// section, its picture folder and its window element, registers its background panel(s), image
// buttons and other controls under their element names, and then:
//   - the layout pass sets each control's visibility, top, left, width and height from its element;
//   - the picture pass loads the background picture(s) and the buttons' normal, hover and pressed
//     pictures (a disabled button keeps its disabled picture in the normal slot);
//   - ApplySkin() takes the section again, repeats both passes and takes the theme's window size
//     and shape (a theme change);
//   - FormCreate() masks floating-point exceptions and shapes the window from the window element.
// Later windows add their own controls with AddControl/AddButton; nothing else needs to change.

#include "model/skin_theme.h"
#include "ui/toolkit/image_button.h"

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <QString>
#include <vector>

class QLabel;

namespace rm::ui {

class ImageButton;
class SkinPanel;
class SkinTrackBar;

class SkinnedForm : public QDialog {
    Q_OBJECT
public:
    SkinnedForm(const QString& sectionName, const QString& pictureFolder, const QString& windowElement,
                QWidget* parent = nullptr);

    // Takes the section again, lays out and repaints every registered control. Emits skinApplied.
    virtual void ApplySkin();

    QString SectionName() const { return m_sectionName; }
    QString PictureFolder() const { return m_pictureFolder; }
    SkinSection Section() const { return m_section; }
    int WindowWidth() const { return m_windowWidth; }
    int WindowHeight() const { return m_windowHeight; }
    int CornerWidth() const { return m_cornerWidth; }
    int CornerHeight() const { return m_cornerHeight; }

    // Full path of a picture of this window in the current theme.
    QString PicturePath(const QString& imageName, int state) const;
    // The element's values in the section this window holds now.
    SkinElementValues Element(const QString& elementName) const;

    // Loads the normal, hover and pressed pictures of an element into a button (for example the
    // "btnPause" look of a play button).
    void LoadButtonPictures(ImageButton* button, const QString& elementName);
    // The disabled look: disabling loads the "-dis" picture into the normal slot, enabling loads
    // the normal picture back.
    void SetButtonEnabled(ImageButton* button, bool enabled);
    // The slider picture of a track bar from an element's normal picture.
    void LoadSliderPicture(SkinTrackBar* bar, const QString& elementName,
                           const QString& pictureFolder = QString());

    // The window this one opens centred on (the main window for the dialogs); none: the screen.
    void SetCentreOn(QWidget* owner) { m_centreOn = owner; }

    // Keys of a dialog: Enter presses the first of `ok` that is shown and enabled, Escape presses
    // `cancel` (which runs the dialog's own Cancel or close). Without them Escape does nothing.
    void SetDialogKeys(std::vector<ImageButton*> ok, ImageButton* cancel);
    ImageButton* EnterButton() const;
    ImageButton* EscapeButton() const { return m_escapeButton; }

    // A resizable window can be resized by its edges and its corner grip and maximised (a double
    // click on the title area maximises and restores); the theme's window size is its default and
    // least size, and the rounded corners go while it is maximised.
    void SetResizable(bool on);
    bool Resizable() const { return m_resizable; }
    // Height of the title area at the top of the window (double-click there maximises).
    int TitleAreaHeight() const { return m_titleAreaHeight; }
    void ToggleMaximized();

signals:
    void skinApplied();

protected:
    // Registration, in the order the passes visit the controls.
    SkinPanel* AddBackground(const QString& elementName);
    void AddControl(QWidget* control, const QString& elementName);
    // Only position and size come from the element; visibility stays with the form.
    void AddPlacedControl(QWidget* control, const QString& elementName);
    void AddButton(ImageButton* button, const QString& elementName);
    // Keeps an element's width and height (a preview panel's size).
    void AddSizeElement(const QString& elementName, QSize* size);
    // The window's caption, bold, top left, level with the close button.
    QLabel* AddTitleLabel(const QString& name, const QString& text);

    void TakeSection();
    void LayoutPass();
    void PicturePass();
    // Construction: the section, both passes and FormCreate, once.
    void BuildSkin();
    void FormCreate();
    // A theme change: the window takes the new theme's size and corner rounding where it is.
    void ApplyWindowSize();

    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    // A resizable window moves and sizes its controls for its current size here; called after
    // every layout pass and resize (the layout pass has put every control at its theme place).
    virtual void ArrangeForSize() {}

private:
    struct Entry {
        QPointer<QWidget> control;
        QString element;
        enum Kind { Background, Button, Control, Placed } kind;
    };
    QString imageNameOf(const QString& elementName) const;

    QString m_sectionName, m_pictureFolder, m_windowElement;
    SkinSection m_section = 0;
    int m_windowWidth = 0, m_windowHeight = 0, m_cornerWidth = 0, m_cornerHeight = 0;
    std::vector<Entry> m_entries;
    std::vector<std::pair<QString, QSize*>> m_sizes;
    QPointer<QLabel> m_title;
    QPointer<QWidget> m_centreOn;
    void UpdateWindowMask();
    std::vector<QPointer<ImageButton>> m_enterButtons;
    QPointer<ImageButton> m_escapeButton;
    bool m_resizable = false;
    QSize m_themeSize;  // the size the window last took from its theme
    int m_titleAreaHeight = 40;
};

} // namespace rm::ui
