#include "ui/toolkit/skinned_form.h"

#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSizeGrip>

namespace rm::ui {

SkinnedForm::SkinnedForm(const QString& sectionName, const QString& pictureFolder, const QString& windowElement,
                         QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_sectionName(sectionName),
      m_pictureFolder(pictureFolder), m_windowElement(windowElement)
{
    setModal(false);
}

QString SkinnedForm::PicturePath(const QString& imageName, int state) const
{
    return SkinTheme::Current().PicturePath(m_pictureFolder, imageName, state);
}

SkinElementValues SkinnedForm::Element(const QString& elementName) const
{
    return SkinTheme::Current().Element(m_section, elementName);
}

QString SkinnedForm::imageNameOf(const QString& elementName) const
{
    const SkinElementValues e = Element(elementName);
    return e.found && !e.imageName.isEmpty() ? e.imageName : elementName;
}

void SkinnedForm::LoadButtonPictures(ImageButton* button, const QString& elementName)
{
    const QString image = imageNameOf(elementName);
    button->SetNormalPicture(LoadSkinPicture(PicturePath(image, button->isEnabled() ? PictureNormal : PictureDisabled)));
    button->SetHoverPicture(LoadSkinPicture(PicturePath(image, PictureHover)));
    button->SetPressedPicture(LoadSkinPicture(PicturePath(image, PicturePressed)));
}

void SkinnedForm::SetButtonEnabled(ImageButton* button, bool enabled)
{
    QString element = button->property("skinElement").toString();
    if (element.isEmpty())
        element = button->objectName();
    button->setEnabled(enabled);
    button->SetNormalPicture(LoadSkinPicture(PicturePath(imageNameOf(element), enabled ? PictureNormal : PictureDisabled)));
}

void SkinnedForm::LoadSliderPicture(SkinTrackBar* bar, const QString& elementName, const QString& pictureFolder)
{
    const QString folder = pictureFolder.isEmpty() ? m_pictureFolder : pictureFolder;
    bar->SetSliderPicture(LoadSkinPicture(SkinTheme::Current().PicturePath(folder, imageNameOf(elementName), PictureNormal)));
}

SkinPanel* SkinnedForm::AddBackground(const QString& elementName)
{
    auto* panel = new SkinPanel(this, elementName);
    panel->lower();
    m_entries.push_back({panel, elementName, Entry::Background});
    return panel;
}

void SkinnedForm::AddControl(QWidget* control, const QString& elementName)
{
    m_entries.push_back({control, elementName, Entry::Control});
}

void SkinnedForm::AddPlacedControl(QWidget* control, const QString& elementName)
{
    m_entries.push_back({control, elementName, Entry::Placed});
}

void SkinnedForm::AddButton(ImageButton* button, const QString& elementName)
{
    button->setProperty("skinElement", elementName);
    m_entries.push_back({button, elementName, Entry::Button});
}

void SkinnedForm::AddSizeElement(const QString& elementName, QSize* size)
{
    m_sizes.emplace_back(elementName, size);
}

QLabel* SkinnedForm::AddTitleLabel(const QString& name, const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    QFont f = label->font();
    f.setBold(true);
    f.setPixelSize(14);
    label->setFont(f);
    // Dark grey (90, 90, 90); a style sheet of its own so the application's label colour stays out.
    label->setStyleSheet(QStringLiteral("color: rgb(90, 90, 90); background: transparent;"));
    label->setAttribute(Qt::WA_TransparentForMouseEvents); // presses reach the background: drag
    if (windowTitle().isEmpty() && !text.isEmpty())
        setWindowTitle(text);
    m_title = label;
    return label;
}

void SkinnedForm::TakeSection()
{
    m_section = SkinTheme::Current().Section(m_sectionName);
}

void SkinnedForm::LayoutPass()
{
    const SkinElementValues win = Element(m_windowElement);
    if (win.found) {
        m_windowWidth = win.width;
        m_windowHeight = win.height;
        m_cornerWidth = win.x;
        m_cornerHeight = win.y;
    }
    int closeCentre = -1;
    for (const Entry& entry : m_entries) {
        if (!entry.control)
            continue;
        const SkinElementValues e = Element(entry.element);
        if (!e.found)
            continue;
        if (entry.kind != Entry::Placed)
            entry.control->setVisible(e.visible);
        entry.control->move(e.x, e.y);
        entry.control->resize(e.width, e.height);
        if (entry.kind == Entry::Background)
            entry.control->lower();
        if (entry.kind == Entry::Button && e.width <= 20 && e.height <= 20 && closeCentre < 0)
            closeCentre = e.y + e.height / 2;
    }
    for (auto& [element, size] : m_sizes) {
        const SkinElementValues e = Element(element);
        if (e.found)
            *size = QSize(e.width, e.height);
    }
    m_titleAreaHeight = (closeCentre >= 0 ? closeCentre : 20) * 2 + 4;
    if (m_title) {
        const int centre = closeCentre >= 0 ? closeCentre : 20;
        m_title->setGeometry(22, centre - 12, std::max(200, m_windowWidth / 2), 24);
        m_title->raise();
    }
    if (m_resizable)
        ArrangeForSize();
}

void SkinnedForm::PicturePass()
{
    for (const Entry& entry : m_entries) {
        if (!entry.control)
            continue;
        if (entry.kind == Entry::Background) {
            static_cast<SkinPanel*>(entry.control.data())
                ->SetPicture(LoadSkinPicture(PicturePath(imageNameOf(entry.element), PictureNormal)));
        } else if (entry.kind == Entry::Button) {
            LoadButtonPictures(static_cast<ImageButton*>(entry.control.data()), entry.element);
        }
        entry.control->update();
    }
}

void SkinnedForm::BuildSkin()
{
    TakeSection();
    LayoutPass();
    PicturePass();
    FormCreate();
}

void SkinnedForm::FormCreate()
{
    MaskFloatingPointExceptions();
    if (m_windowWidth > 0 && m_windowHeight > 0)
        ShapeWindow(this, m_windowWidth, m_windowHeight, m_cornerHeight, m_cornerWidth);
    if (m_resizable)
        SetResizable(true);
}

void SkinnedForm::ApplyWindowSize()
{
    if (m_windowWidth <= 0 || m_windowHeight <= 0)
        return;
    if (m_resizable) {
        // The new theme's size is the least and the default: a window at the last theme's size
        // takes the new one; one the user made bigger, or maximised, keeps its size.
        const QSize themeSize(m_windowWidth, m_windowHeight);
        setMinimumSize(themeSize);
        if (!isMaximized() && !isFullScreen()) {
            if (size() == m_themeSize)
                resize(themeSize);
            else
                resize(size().expandedTo(themeSize));
        }
        m_themeSize = themeSize;
        UpdateWindowMask();
        ArrangeForSize();
        return;
    }
    // ShapeWindow moves to (0, 0) for the first show's centring; a window on screen stays put.
    const QPoint at = pos();
    ShapeWindow(this, m_windowWidth, m_windowHeight, m_cornerHeight, m_cornerWidth);
    move(at);
}

void SkinnedForm::ApplySkin()
{
    TakeSection();
    LayoutPass();
    ApplyWindowSize();
    PicturePass();
    emit skinApplied();
}

void SkinnedForm::SetDialogKeys(std::vector<ImageButton*> ok, ImageButton* cancel)
{
    m_enterButtons.assign(ok.begin(), ok.end());
    m_escapeButton = cancel;
}

ImageButton* SkinnedForm::EnterButton() const
{
    for (const QPointer<ImageButton>& b : m_enterButtons)
        if (b && b->isVisibleTo(this) && b->isEnabled())
            return b;
    return nullptr;
}

void SkinnedForm::keyPressEvent(QKeyEvent* e)
{
    // Skinned windows close through their own buttons: Escape is the dialog's Cancel (or close)
    // button and Enter its OK, so the dialog's own handlers run (questions, saving).
    if (e->key() == Qt::Key_Escape) {
        if (m_escapeButton && m_escapeButton->isVisibleTo(this) && m_escapeButton->isEnabled())
            m_escapeButton->click();
        e->accept();
        return;
    }
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier)) {
        if (ImageButton* ok = EnterButton())
            ok->click();
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void SkinnedForm::SetResizable(bool on)
{
    m_resizable = on;
    if (!on)
        return;
    if (m_windowWidth > 0 && m_windowHeight > 0) {
        m_themeSize = QSize(m_windowWidth, m_windowHeight);
        setMinimumSize(m_themeSize);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    // The corner grip (the dialog's own) for window systems without edge resizing.
    setSizeGripEnabled(true);
    UpdateWindowMask();
    ArrangeForSize();
}

void SkinnedForm::ToggleMaximized()
{
    if (!m_resizable)
        return;
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void SkinnedForm::UpdateWindowMask()
{
    if (!m_resizable || m_windowWidth <= 0)
        return;
    if (isMaximized() || isFullScreen())
        clearMask();  // a maximised window fills its screen edge to edge
    else
        setMask(RoundedWindowRegion(width(), height(), m_cornerHeight, m_cornerWidth));
    if (auto* grip = findChild<QSizeGrip*>(QString(), Qt::FindDirectChildrenOnly))
        grip->raise();
}

void SkinnedForm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    if (!m_resizable)
        return;
    UpdateWindowMask();
    ArrangeForSize();
}

void SkinnedForm::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange)
        UpdateWindowMask();
}

} // namespace rm::ui

namespace rm::ui {

void SkinnedForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return; // restored from minimised: stay where the user left it
    if (m_centreOn && m_centreOn->isVisible()) {
        move(m_centreOn->geometry().center() - QPoint(width() / 2, height() / 2));
    }
}

} // namespace rm::ui
