#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"

#include "convert/player_jobs.h"
#include "model/app_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace rm::ui {

using namespace wizard_ui;

void TfrmCustom::FillPlayerTabs()
{
    const CustomSettings& t = *m_task->settings;
    CustomSettings& c = CurrentCustomSettings();
    SetBoxColor(cmbBackground, ToQColor(t.BackgrounColor));
    skinHide->setChecked(t.IsSkinAutoHide);
    mouseHide->setChecked(t.IsMouseAutoHide);
    slideHide->setChecked(t.IsSliderAutoHide);
    autoPlay->setChecked(t.IsAutoPlay);
    {
        QSignalBlocker b(hideDealyValue);
        hideDealyValue->setValue(std::clamp(int(t.hideDelay), 1, 300));
    }
    const int32_t hides[9] = {t.IsHideAll, t.IsHideMuteBtn, t.IsHideFullscreenBtn, t.IsHidePreNextBtn,
                              t.IsHidePlaylistBtn, t.IsHidePlayingprocessBar, t.IsHideVolumeBar,
                              t.IsHidePlayingTime, t.IsHidePlayList};
    QCheckBox* boxes[9] = {hideAll, hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide};
    for (int i = 0; i < 9; ++i)
        boxes[i]->setChecked(hides[i] != 0);
    for (int i = 1; i < 9; ++i)
        boxes[i]->setEnabled(!hideAll->isChecked());

    auto fillCredit = [&](CreditTab& tab, bool on, const RgbColor& bg, int duration, const char* image,
                          const char* content, const char* face, int size, const RgbColor& color) {
        tab.addCredit->setChecked(on);
        ApplyCreditEnabling(tab);
        SetBoxColor(tab.bgcolor, ToQColor(bg));
        {
            QSignalBlocker b(tab.duration);
            tab.duration->setValue(std::clamp(duration, 1, 300));
        }
        tab.image->setText(QString::fromUtf8(image));
        {
            QSignalBlocker b(tab.memo);
            tab.memo->setPlainText(QString::fromUtf8(content));
        }
        QPalette mp = tab.memo->palette();
        mp.setColor(QPalette::Base, ToQColor(bg));
        mp.setColor(QPalette::Text, ToQColor(color));
        tab.memo->setPalette(mp);
        tab.dialogFont = FontChoice{QString::fromUtf8(face), size, ToQColor(color)};
    };
    fillCredit(head, t.IsCreditHead, t.Head_backgroundColor, t.Head_duration, t.Head_imagePath,
               t.Head_textContent, t.Head_fontType, t.Head_fontSize, t.Head_fontColor);
    fillCredit(tail, t.IsCreditTail, t.Tail_backgroundColor, t.Tail_duration, t.Tail_imagePath,
               t.Tail_textContent, t.Tail_fontType, t.Tail_fontSize, t.Tail_fontColor);
    std::memcpy(c.Head_fontType, t.Head_fontType, sizeof c.Head_fontType);
    c.Head_fontSize = t.Head_fontSize;
    c.Head_fontColor = t.Head_fontColor;
    c.Head_fontX = t.Head_fontX;
    c.Head_fontY = t.Head_fontY;
    std::memcpy(c.Tail_fontType, t.Tail_fontType, sizeof c.Tail_fontType);
    c.Tail_fontSize = t.Tail_fontSize;
    c.Tail_fontColor = t.Tail_fontColor;
    c.Tail_fontX = t.Tail_fontX;
    c.Tail_fontY = t.Tail_fontY;

    // Decoration: the boxes without their change handlers (they would move the overlay).
    addCredits->setChecked(t.IsDecorate);
    {
        QSignalBlocker b1(textValue), b2(urlValue);
        textValue->setText(QString::fromUtf8(t.Dec_textContent));
        urlValue->setText(t.Dec_URL[0] ? QString::fromUtf8(t.Dec_URL) : QStringLiteral("http://"));
    }
    imgValue->setText(QString::fromUtf8(t.Dec_imagePath));
    ClearRadios(text, img);
    if (t.FileType == 2)
        text->setChecked(true);
    else if (t.FileType == 1)
        img->setChecked(true);
    DecorationControlsStep();
    Dec_text->setText(QString::fromUtf8(t.Dec_textContent));
    if (!t.IsDecorate) {
        imgPanel->hide();
    } else {
        imgPanel->show();
        imgPanel->raise();
        if (!imgValue->text().isEmpty())
            Image->setPixmap(QPixmap(imgValue->text()));
        if (text->isChecked()) {
            Dec_text->show();
            Image->hide();
            PlaceOverlayOnVideo({t.Dec_text_X, t.Dec_text_Y, t.Dec_text_Width, t.Dec_text_Height});
        } else if (img->isChecked()) {
            Dec_text->hide();
            Image->show();
            PlaceOverlayOnVideo({t.Dec_img_X, t.Dec_img_Y, t.Dec_img_Width, t.Dec_img_Height});
            Image->setGeometry(0, 0, t.Dec_img_Width, std::max<int>(10, t.Dec_img_Height));
        } else {
            Dec_text->hide();
            Image->hide();
            PlaceOverlay({});
        }
    }
    std::memcpy(c.Dec_fontType, t.Dec_fontType, sizeof c.Dec_fontType);
    c.Dec_fontSize = t.Dec_fontSize;
    c.Dec_fontColor = t.Dec_fontColor;
    decoFontDialog = FontChoice{QString::fromUtf8(t.Dec_fontType), t.Dec_fontSize, ToQColor(t.Dec_fontColor)};
    QFont f(decoFontDialog.face);
    // In pixels, as the player draws it: the preview's text is the output's, scaled as the video.
    f.setPixelSize(std::max(1, decoFontDialog.size));
    Dec_text->setFont(f);
    Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(decoFontDialog.color.name()));
    Dec_text->adjustSize();
}

// ------------------------------------------------------------------ player options

void TfrmCustom::WritePlayerChecks()
{
    CustomSettings& s = CurrentCustomSettings();
    s.IsSkinAutoHide = skinHide->isChecked();
    s.IsMouseAutoHide = mouseHide->isChecked();
    s.IsSliderAutoHide = slideHide->isChecked();
    s.IsAutoPlay = autoPlay->isChecked();
    s.IsHideAll = hideAll->isChecked();
    s.IsHideMuteBtn = hideMute->isChecked();
    s.IsHideFullscreenBtn = hideFullScreen->isChecked();
    s.IsHidePreNextBtn = hideBN->isChecked();
    s.IsHidePlaylistBtn = hidePlaylist->isChecked();
    s.IsHidePlayingprocessBar = hidePlaybar->isChecked();
    s.IsHideVolumeBar = hideVol->isChecked();
    s.IsHidePlayingTime = hideTime->isChecked();
    s.IsHidePlayList = hideSlide->isChecked();
    s.IsCreditHead = head.addCredit->isChecked();
    s.IsCreditTail = tail.addCredit->isChecked();
    RefreshPreview();
}

void TfrmCustom::hideAllClick()
{
    for (QCheckBox* b : {hideMute, hideFullScreen, hideBN, hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide})
        b->setEnabled(!hideAll->isChecked());
}

void TfrmCustom::EnableTimer()
{
    if (!sysTimer->isActive())
        sysTimer->start();
}
void TfrmCustom::DisableTimer() { sysTimer->stop(); }
void TfrmCustom::ToggleTimer()
{
    if (sysTimer->isActive())
        sysTimer->stop();
    else
        sysTimer->start();
}

void TfrmCustom::SpinChange(QSpinBox* box, int32_t& field)
{
    QSignalBlocker b(box);
    ToggleTimer();
    if (!box->cleanText().trimmed().isEmpty())
        field = box->value();
}

// ------------------------------------------------------------------ credits

void TfrmCustom::ApplyCreditEnabling(CreditTab& t)
{
    const bool on = t.addCredit->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(t.bgcolor), static_cast<QWidget*>(t.duration),
                       static_cast<QWidget*>(t.image), static_cast<QWidget*>(t.imgOpen),
                       static_cast<QWidget*>(t.font), static_cast<QWidget*>(t.memo)})
        w->setEnabled(on);
}

void TfrmCustom::headAddCreditClick() { ApplyCreditEnabling(head); }
void TfrmCustom::tailAddCreditClick() { ApplyCreditEnabling(tail); }

void TfrmCustom::CreditImageOpen(CreditTab& t, bool isHead)
{
    const QString saved = QDir::currentPath();
    const QString file = ChooseFile(this, QString::fromLatin1(kJpegFilter));
    if (!file.isEmpty()) {
        t.image->setText(file);
        CustomSettings& s = CurrentCustomSettings();
        SetText(isHead ? s.Head_imagePath : s.Tail_imagePath, CleanPath(file));
    }
    EnableTimer();
    QDir::setCurrent(saved);
}

void TfrmCustom::headimgOpenClick() { CreditImageOpen(head, true); }
void TfrmCustom::tailimgOpenClick() { CreditImageOpen(tail, false); }

int TfrmCustom::MeasureText8pt(const QString& s) const
{
    QFont f = font();
    f.setPointSize(8);
    return QFontMetrics(f).horizontalAdvance(s);
}

void TfrmCustom::CreditMemoChange(CreditTab& t, bool isHead)
{
    CustomSettings& s = CurrentCustomSettings();
    const QString content = t.memo->toPlainText();
    SetText(isHead ? s.Head_textContent : s.Tail_textContent, content);
    const int size = isHead ? s.Head_fontSize : s.Tail_fontSize;
    const wizard::CreditPos p = wizard::CreditTextPosition(size, MeasureText8pt(content), width->value(),
                                                           height->value(), webBrowser->width());
    (isHead ? s.Head_fontX : s.Tail_fontX) = p.x;
    (isHead ? s.Head_fontY : s.Tail_fontY) = p.y;
    ToggleTimer();
}

void TfrmCustom::headMemoChange() { CreditMemoChange(head, true); }
void TfrmCustom::tailMemoChange() { CreditMemoChange(tail, false); }

void TfrmCustom::CreditFontClick(CreditTab& t, bool isHead)
{
    FontChoice f = t.dialogFont;
    if (ChooseFont(this, f)) {
        t.dialogFont = f;
        CustomSettings& s = CurrentCustomSettings();
        (isHead ? s.Head_fontColor : s.Tail_fontColor) = FromQColor(f.color);
        (isHead ? s.Head_fontSize : s.Tail_fontSize) = f.size;
        SetText(isHead ? s.Head_fontType : s.Tail_fontType, f.face);
        QPalette mp = t.memo->palette();
        mp.setColor(QPalette::Text, f.color);
        t.memo->setPalette(mp);
        const wizard::CreditPos p = wizard::CreditTextPosition(f.size, MeasureText8pt(t.memo->toPlainText()),
                                                               width->value(), height->value(), webBrowser->width());
        (isHead ? s.Head_fontX : s.Tail_fontX) = p.x;
        (isHead ? s.Head_fontY : s.Tail_fontY) = p.y;
    }
    RefreshPreview();
}

void TfrmCustom::head_fontClick() { CreditFontClick(head, true); }
void TfrmCustom::tail_fontClick() { CreditFontClick(tail, false); }

// ------------------------------------------------------------------ decoration

void TfrmCustom::DecorationControlsStep()
{
    CustomSettings& s = CurrentCustomSettings();
    if (addCredits->isChecked()) {
        text->setEnabled(true);
        img->setEnabled(true);
        urlValue->setEnabled(true);
        const bool t = text->isChecked(), i = img->isChecked();
        textValue->setEnabled(t);
        decoFont->setEnabled(t);
        imgValue->setEnabled(i);
        decoOpen->setEnabled(i);
        if (t)
            s.FileType = 2;
        else if (i)
            s.FileType = 1;
    } else {
        for (QWidget* w : {static_cast<QWidget*>(text), static_cast<QWidget*>(img), static_cast<QWidget*>(textValue),
                           static_cast<QWidget*>(imgValue), static_cast<QWidget*>(urlValue),
                           static_cast<QWidget*>(decoOpen), static_cast<QWidget*>(decoFont)})
            w->setEnabled(false);
    }
    s.IsDecorate = addCredits->isChecked();
}

void TfrmCustom::ShowOverlay()
{
    CustomSettings& s = CurrentCustomSettings();
    QFont f(QString::fromUtf8(s.Dec_fontType));
    f.setPixelSize(std::max(1, int(s.Dec_fontSize)));
    decoFontDialog = FontChoice{QString::fromUtf8(s.Dec_fontType), s.Dec_fontSize, ToQColor(s.Dec_fontColor)};
    Dec_text->setFont(f);
    Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(ToQColor(s.Dec_fontColor).name()));
    head.dialogFont = FontChoice{QString::fromUtf8(s.Head_fontType), s.Head_fontSize, ToQColor(s.Head_fontColor)};
    tail.dialogFont = FontChoice{QString::fromUtf8(s.Tail_fontType), s.Tail_fontSize, ToQColor(s.Tail_fontColor)};
    if (!addCredits->isChecked()) {
        imgPanel->hide();
        return;
    }
    imgPanel->show();
    imgPanel->raise();
    if (text->isChecked()) {
        Dec_text->show();
        Image->hide();
        PlaceOverlayOnVideo({s.Dec_text_X, s.Dec_text_Y, s.Dec_text_Width, s.Dec_text_Height});
    } else if (img->isChecked()) {
        Image->setGeometry(0, 0, s.Dec_img_Width, std::max<int>(10, s.Dec_img_Height));
        Image->show();
        Dec_text->hide();
        PlaceOverlayOnVideo({s.Dec_img_X, s.Dec_img_Y, s.Dec_img_Width, s.Dec_img_Height});
    } else {
        Dec_text->hide();
        Image->hide();
        PlaceOverlay({});
    }
}

void TfrmCustom::KeepPlaceOfShownKind()
{
    // The radio buttons have already changed: the overlay still shows the kind left.
    if (!imgPanel->isVisibleTo(this))
        return;
    CustomSettings& s = CurrentCustomSettings();
    const wizard::Rect o = OverlayOnVideo();
    if (Dec_text->isVisibleTo(imgPanel)) {
        s.Dec_text_X = o.x;
        s.Dec_text_Y = o.y;
    } else if (Image->isVisibleTo(imgPanel)) {
        StoreOverlayAsImageRect();
    }
}

void TfrmCustom::addCreditsClick()
{
    DecorationControlsStep();
    ShowOverlay();
}

void TfrmCustom::textClick()
{
    KeepPlaceOfShownKind();
    DecorationControlsStep();
    ShowOverlay();
    const QString t = QString::fromUtf8(CurrentCustomSettings().Dec_textContent);
    if (!t.isEmpty()) {
        Dec_text->setText(t);
        Dec_text->adjustSize();
    }
}

void TfrmCustom::imgClick()
{
    KeepPlaceOfShownKind();
    DecorationControlsStep();
    ShowOverlay();
    const QString path = QString::fromUtf8(CurrentCustomSettings().Dec_imagePath);
    if (!path.isEmpty() && QFileInfo(path).isFile())
        Image->setPixmap(QPixmap(path));
}

void TfrmCustom::textValueChange()
{
    CustomSettings& s = CurrentCustomSettings();
    const QString t = textValue->text();
    SetText(s.Dec_textContent, t);
    Dec_text->setText(t);
    Dec_text->adjustSize();
    if (t.isEmpty()) {
        const wizard::Rect b = BrowserRect();
        PlaceOverlay({b.x + 1, b.y + 1, 0, 0});
        Dec_text->resize(0, 0);
    } else {
        imgPanel->resize(Dec_text->size());
    }
    s.Dec_text_Width = Dec_text->width();
    s.Dec_text_Height = Dec_text->height();
}

void TfrmCustom::decoFontClick()
{
    FontChoice f = decoFontDialog;
    if (ChooseFont(this, f)) {
        decoFontDialog = f;
        CustomSettings& s = CurrentCustomSettings();
        s.Dec_fontColor = FromQColor(f.color);
        s.Dec_fontSize = f.size;
        SetText(s.Dec_fontType, f.face);
        QFont font(f.face);
        font.setPixelSize(std::max(1, f.size));
        Dec_text->setFont(font);
        Dec_text->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(f.color.name()));
        Dec_text->adjustSize();
        imgPanel->resize(Dec_text->size());
    }
    RefreshPreview();
}

void TfrmCustom::decoOpenClick()
{
    const QString saved = QDir::currentPath();
    const QString file = ChooseFile(this, QString::fromLatin1(kJpegFilter));
    if (!file.isEmpty()) {
        CustomSettings& s = CurrentCustomSettings();
        const QString path = CleanPath(file);
        imgValue->setText(path);
        SetText(s.Dec_imagePath, path);
        const CustomSettings* t = m_task && m_task->settings ? m_task->settings.get() : nullptr;
        // The box a new picture fits in: 100 x 100, or as large as the task's last decoration.
        const int side = t && t->Dec_Width && t->Dec_Height ? std::max<int>(t->Dec_Width, t->Dec_Height) : 100;
        int w = side, h = side;
        const wizard::Rect b = BrowserRect();
        const QPixmap pic(path);
        if (pic.isNull())
            ShowError(QStringLiteral("Cannot open the picture %1.").arg(path));
        else {
            // The picture keeps its own shape: its size scaled to fit that box (and the video).
            const wizard::Rect fit = wizard::FitPictureRect(pic.width(), pic.height(), std::min(w, b.w), std::min(h, b.h));
            w = fit.w;
            h = fit.h;
        }
        PlaceOverlay({b.x, b.y, w, h});
        Image->setGeometry(0, 0, w, h);
        Image->setPixmap(pic);
        StoreOverlayAsImageRect();
    }
    QDir::setCurrent(saved);
}

void TfrmCustom::urlValueChange()
{
    SetText(CurrentCustomSettings().Dec_URL, urlValue->text().trimmed());
}

wizard::Rect TfrmCustom::OverlayRect() const
{
    const QRect g = imgPanel->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

wizard::Rect TfrmCustom::BrowserRect() const
{
    const QRect g = webBrowser->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

void TfrmCustom::PlaceOverlay(const wizard::Rect& r)
{
    imgPanel->setGeometry(r.x, r.y, r.w, r.h);
}

wizard::Rect TfrmCustom::OverlayOnVideo() const
{
    const wizard::Rect o = OverlayRect(), b = BrowserRect();
    return {o.x - b.x, o.y - b.y, o.w, o.h};
}

void TfrmCustom::PlaceOverlayOnVideo(const wizard::Rect& r)
{
    const wizard::Rect b = BrowserRect();
    PlaceOverlay({r.x + b.x, r.y + b.y, r.w, r.h});
}

void TfrmCustom::StoreOverlayRect()
{
    // The place belongs to what is shown: a text keeps its own, a picture its own.
    if (!imgPanel->isVisibleTo(this))
        return;
    if (text->isChecked()) {
        CustomSettings& s = CurrentCustomSettings();
        const wizard::Rect o = OverlayOnVideo();
        s.Dec_text_X = o.x;
        s.Dec_text_Y = o.y;
        s.Dec_text_Width = o.w;
        s.Dec_text_Height = o.h;
    } else if (img->isChecked()) {
        StoreOverlayAsImageRect();
    }
}

void TfrmCustom::StoreOverlayAsImageRect()
{
    CustomSettings& s = CurrentCustomSettings();
    const wizard::Rect o = OverlayOnVideo();
    s.Dec_img_X = o.x;
    s.Dec_img_Y = o.y;
    s.Dec_img_Width = o.w;
    s.Dec_img_Height = o.h;
}

// ------------------------------------------------------------------ events

bool TfrmCustom::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Page 1: pressing on a size box takes the reference sizes.
    if (type == QEvent::MouseButtonPress
        && (watched == width || watched == height || watched->parent() == width || watched->parent() == height)) {
        m_refWidth = width->value();
        m_refHeight = height->value();
        return false;
    }
    // Page 3's background: the default cursor.
    if (watched == customize_BG3 && type == QEvent::MouseMove) {
        customize_BG3->unsetCursor();
        return false;
    }
    // Gallery scroll boxes: 5 pixels per wheel event, whatever the distance.
    for (QScrollArea* box : {PlayerScrollBox, EffectScrollBox, LoadScrollBox}) {
        if (box && watched == box->viewport() && type == QEvent::Wheel) {
            auto* we = static_cast<QWheelEvent*>(event);
            QScrollBar* bar = box->verticalScrollBar();
            bar->setValue(bar->value() + (we->angleDelta().y() < 0 ? 5 : -5));
            return true;
        }
    }
    // Check boxes written on mouse release.
    if (type == QEvent::MouseButtonRelease) {
        for (QCheckBox* b : {skinHide, mouseHide, slideHide, autoPlay, hideAll, hideMute, hideFullScreen, hideBN,
                             hidePlaylist, hidePlaybar, hideVol, hideTime, hideSlide, head.addCredit, tail.addCredit}) {
            if (watched == b) {
                // The click that toggles the box comes with this release; write after it.
                QTimer::singleShot(0, this, [this] { WritePlayerChecks(); });
                return false;
            }
        }
    }
    // Typed input: a key down stops the timer, a key up starts it.
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        QObject* w = watched;
        const bool typed = w == hideDealyValue || w == head.duration || w == tail.duration || w == head.memo
                        || w == tail.memo || (w && (w->parent() == hideDealyValue || w->parent() == head.duration
                                                   || w->parent() == tail.duration));
        if (typed) {
            if (static_cast<QKeyEvent*>(event)->isAutoRepeat())
                return false;
            if (type == QEvent::KeyPress)
                DisableTimer();
            else
                EnableTimer();
        }
        return false;
    }
    // The decoration overlay.
    if (watched == imgPanel || watched == Image || watched == Dec_text) {
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
            return false;
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        const int X = pos.x(), Y = pos.y();
        wizard::Rect o = OverlayRect();
        const bool onLabel = watched == Dec_text;
        if (type == QEvent::MouseButtonPress) {
            if (onLabel) {
                m_labelMove = true;
                m_press = pos;
                return true;
            }
            if (wizard::OverlayEdge(X, Y, o.w, o.h) != 0) {
                m_edge = wizard::OverlayEdge(X, Y, o.w, o.h);
                m_resize = true;
            } else {
                m_move = true;
                m_press = pos;
                StoreOverlayRect();
            }
            return true;
        }
        if (type == QEvent::MouseMove) {
            if ((m_move || m_labelMove) && !m_resize) {
                o = wizard::MoveOverlay(o, X - m_press.x(), Y - m_press.y(), BrowserRect());
                PlaceOverlay(o);
                return true;
            }
            if (m_resize) {
                // A picture's corner keeps its shape unless Shift is held.
                double aspect = 0;
                if (img->isChecked() && !(me->modifiers() & Qt::ShiftModifier)) {
                    const QPixmap pic = Image->pixmap();
                    if (!pic.isNull() && pic.height() > 0)
                        aspect = double(pic.width()) / pic.height();
                    else if (o.h > 0)
                        aspect = double(o.w) / o.h;
                }
                o = wizard::ResizeOverlay(o, m_edge, X, Y, BrowserRect(), aspect);
                PlaceOverlay(o);
                if (img->isChecked())
                    Image->setGeometry(0, 0, o.w, std::max(10, o.h));
                return true;
            }
            if (!onLabel) {
                const int edge = wizard::OverlayEdge(X, Y, o.w, o.h);
                if (edge == 3 || edge == 4)
                    imgPanel->setCursor(Qt::SizeHorCursor);
                else if (edge == 1 || edge == 2)
                    imgPanel->setCursor(Qt::SizeVerCursor);
                else if (edge == wizard::kCornerTopLeft || edge == wizard::kCornerBottomRight)
                    imgPanel->setCursor(Qt::SizeFDiagCursor);
                else if (edge == wizard::kCornerTopRight || edge == wizard::kCornerBottomLeft)
                    imgPanel->setCursor(Qt::SizeBDiagCursor);
                else
                    imgPanel->unsetCursor();
                if (edge)
                    m_edge = edge;
                if (watched == Image)
                    Image->setCursor(imgPanel->cursor());
            }
            return false;
        }
        // Release: the place is kept at once (switching to a picture and back keeps the text's).
        if (onLabel) {
            m_labelMove = false;
            StoreOverlayRect();
            return true;
        }
        m_move = m_resize = false;
        m_edge = 0;
        StoreOverlayRect();
        return true;
    }
    return SkinnedForm::eventFilter(watched, event);
}

} // namespace rm::ui
