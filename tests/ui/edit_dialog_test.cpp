// The crop-and-effects dialog on a real probed file and a real two-pane preview: what opening
// loads into the controls and the engine, the margins typed or dragged (engine and output pane
// only, "Crop error!" and its correction), zoom, flips, effects, the two resets, the volume,
// play/stop and the end of the stretch, and what OK and Cancel leave in the row.
#include "engines/playback/playback_engine.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"
#include "ui/app/message_boxes.h"
#include "ui/editors/edit_form.h"
#include "ui/preview/preview_audio.h"
#include "ui/preview/preview_surface.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstring>

using namespace rm::ui;
namespace pb = rm::playback;

namespace {

std::string Source(const std::string& name, double seconds)
{
    rmtest::FixtureSpec s;
    s.width = 160;
    s.height = 120;
    s.fpsNum = 10;
    s.seconds = seconds;
    s.audioCodec = "";
    return rmtest::Fixture(name, s);
}

// The user types into a spin edit: it gets the focus first (which clears its skip flag).
void Type(QSpinBox* spin, int value)
{
    QFocusEvent in(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(spin, &in);
    spin->setValue(value);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(spin, &out);
}

// Types a value into a spin edit as the user does: the spin edit has the focus and its text is
// replaced key by key.
void TypeKeys(QSpinBox* spin, int value)
{
    spin->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(spin->window()));
    spin->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(spin->hasFocus());
    spin->selectAll();
    QTest::keyClicks(spin, QString::number(value));
}

bool SameCrop(const rm::CropSettings& a, const rm::CropSettings& b)
{
    return a.top == b.top && a.bottom == b.bottom && a.left == b.left && a.right == b.right &&
           std::strcmp(a.zoom, b.zoom) == 0;
}

// Stored 160x120 and turned 90 degrees by its container, as a phone held upright writes it.
std::string TurnedPhoneClip()
{
    using rmtest::sources::Made;
    const std::string stored =
        Made("edit-turned-stored.mp4", "-f lavfi -i testsrc2=s=160x120:r=10:d=6 -c:v libx264 -pix_fmt yuv420p");
    return stored.empty() ? stored
                          : Made("edit-turned.mp4",
                                 "-i " + rmtest::sources::Quoted(stored) + " -c copy -metadata:s:v:0 rotate=90");
}

bool SameEffects(const rm::EffectSettings& a, const rm::EffectSettings& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class EditDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_boxes;
    bool m_showBoxes = false;  // answered boxes are shown first, as real ones
    std::unique_ptr<TfrmEdit> m_edit;
    std::unique_ptr<rm::TaskTree> m_tree;
    rm::MediaItem* m_item = nullptr;

    void Open()
    {
        m_edit->SetItem(m_item);
        m_edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_edit.get()));
        QTRY_VERIFY(pb::engineInfo().state == pb::PlayState::Playing);
    }

    // The output pane shows the engine's margins (the source pane never changes).
    void VerifyOutputPane(int left, int right, int top, int bottom)
    {
        PreviewSurface* s = PreviewSurface::Instance();
        QTRY_VERIFY(s->CurrentFrame() && s->CurrentFrame()->crop.left == left && s->CurrentFrame()->crop.right == right &&
                    s->CurrentFrame()->crop.top == top && s->CurrentFrame()->crop.bottom == bottom);
        QVERIFY(s->CurrentFrame()->twoPanes);
        QCOMPARE(s->CurrentFrame()->source->width, 160);
        QCOMPARE(s->CurrentFrame()->source->height, 120);
    }

private slots:
    void initTestCase()
    {
        rm::RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        rm::SetProgramFolder(QStringLiteral(RM_APP_DIR "/"));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r.text;
            if (m_showBoxes) {
                // Shown as the real one is: a modal box that takes the focus until it is answered.
                QMessageBox box(QMessageBox::NoIcon, QString(), r.text, QMessageBox::Ok, r.owner);
                QTimer answer;
                QObject::connect(&answer, &QTimer::timeout, &box, [&box] {
                    if (box.isVisible() && QApplication::activeModalWidget() == &box)
                        box.accept();
                });
                answer.start(20);
                box.exec();
            }
            return false;
        });
        m_edit = std::make_unique<TfrmEdit>();
    }

    void cleanupTestCase()
    {
        m_edit.reset();
        SetBoxAnswerer({});
        pb::close_sdl();
    }

    void init()
    {
        m_boxes.clear();
        m_tree = std::make_unique<rm::TaskTree>();
        const rm::AddFilesResult r = m_tree->addFiles({QString::fromStdString(Source("edit.mp4", 4))}, false);
        QCOMPARE(int(r.added.size()), 1);
        m_item = r.added.front()->item();
        QCOMPARE(m_item->media->width, 160);
    }

    void cleanup()
    {
        if (m_edit->isVisible())
            m_edit->done(QDialog::Rejected);
        m_tree.reset();
        m_item = nullptr;
    }

    void opensWithTheRowsValuesAndOKStoresThemUnchanged()
    {
        *m_item->crop = {10, 12, 20, 30, "16:9"};
        *m_item->effects = {30, -20, 50, 1, 1, 2, 300};
        const rm::CropSettings crop = *m_item->crop;
        const rm::EffectSettings fx = *m_item->effects;
        Open();

        QCOMPARE(m_edit->Crop_top->value(), 10);
        QCOMPARE(m_edit->Crop_bottom->value(), 12);
        QCOMPARE(m_edit->Crop_left->value(), 20);
        QCOMPARE(m_edit->Crop_right->value(), 30);
        QCOMPARE(m_edit->Crop_zoom->currentText(), QStringLiteral("16:9"));
        QCOMPARE(m_edit->Crop_zoom->count(), 4);
        QCOMPARE(m_edit->Effect_bright->value(), 13);
        QCOMPARE(m_edit->Effect_contrast->value(), 8);
        QCOMPARE(m_edit->Effect_saturation->value(), 15);
        QCOMPARE(m_edit->Effect_cmb->currentText(), QStringLiteral("Emboss"));
        QCOMPARE(m_edit->AdjustVolume->value(), 300);
        QCOMPARE(m_edit->AdjustVolume->toolTip(), QStringLiteral("300"));
        QCOMPARE(PreviewAudio::Instance()->Volume(), 300);
        QVERIFY(m_edit->tabCropPanel->isVisible());
        QVERIFY(!m_edit->tabEffectPanel->isVisible());
        QCOMPARE(m_edit->TotalTrackBar->maximum(), 4);

        // The engine shows all of it, except the zoom: only the user's pick sets that.
        const pb::PictureSettings p = pb::pictureSettings();
        QCOMPARE(p.CropTop, 10);
        QCOMPARE(p.CropBottom, 12);
        QCOMPARE(p.CropLeft, 20);
        QCOMPARE(p.CropRight, 30);
        QCOMPARE(p.Zoom, std::string("original"));
        QCOMPARE(p.Brightness, 30);
        QCOMPARE(p.Contrast, -20);
        QCOMPARE(p.Saturation, 50);
        QVERIFY(p.VerticalFlip && p.HorizontalFlip);
        QCOMPARE(p.Effect, int(rm::converter::kEffectEmboss));
        VerifyOutputPane(20, 30, 10, 12);
        QTRY_VERIFY_WITH_TIMEOUT(m_edit->TotalTrackBar->value() >= 1, 5000);
        // Pause keeps the picture where it is; play goes on from there.
        QVERIFY(m_edit->Opened());
        QTest::mouseClick(m_edit->btnPlay, Qt::LeftButton);
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Paused);
        QVERIFY(pb::engineInfo().position >= 0.9);
        QTest::mouseClick(m_edit->btnPlay, Qt::LeftButton);
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        QVERIFY(pb::engineInfo().position >= 0.9);

        // The horizontal flip button clears the horizontal flag, in the engine too.
        QTest::mouseClick(m_edit->tabEffect, Qt::LeftButton);
        QVERIFY(m_edit->tabEffectPanel->isVisible());
        QTest::mouseClick(m_edit->btnLevel, Qt::LeftButton);
        QVERIFY(!m_edit->HorizontalFlip());
        QVERIFY(!pb::pictureSettings().HorizontalFlip);
        QVERIFY(pb::pictureSettings().VerticalFlip);
        QTest::mouseClick(m_edit->btnLevel, Qt::LeftButton);
        QVERIFY(m_edit->HorizontalFlip());

        QTest::mouseClick(m_edit->btnOK, Qt::LeftButton);
        QVERIFY(!m_edit->isVisible());
        QVERIFY(SameCrop(*m_item->crop, crop));
        QVERIFY(SameEffects(*m_item->effects, fx));
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Closed);
    }

    void typedMarginsReachTheEngineAndTheOutputPaneOnly()
    {
        const rm::CropSettings crop = *m_item->crop;
        Open();
        Type(m_edit->Crop_left, 16);
        Type(m_edit->Crop_top, 8);
        Type(m_edit->Crop_bottom, 6);
        Type(m_edit->Crop_right, 4);
        QCOMPARE(pb::pictureSettings().CropLeft, 16);
        QCOMPARE(pb::pictureSettings().CropTop, 8);
        QCOMPARE(pb::pictureSettings().CropBottom, 6);
        QCOMPARE(pb::pictureSettings().CropRight, 4);
        VerifyOutputPane(16, 4, 8, 6);
        QVERIFY(SameCrop(*m_item->crop, crop));  // the row waits for OK
        QVERIFY(m_boxes.isEmpty());

        // A change made while the spin edit is not being edited (skip flag set) is not sent.
        m_edit->Crop_left->setValue(40);
        QCOMPARE(pb::pictureSettings().CropLeft, 16);
        QVERIFY(!m_edit->SkipFlag(TfrmEdit::MarginLeft));

        // Cancel after changes: the row is as it was.
        QTest::mouseClick(m_edit->btnCancel, Qt::LeftButton);
        QVERIFY(!m_edit->isVisible());
        QVERIFY(SameCrop(*m_item->crop, crop));
    }

    void cropErrors_data()
    {
        QTest::addColumn<int>("margin");    // TfrmEdit::Margin typed
        QTest::addColumn<int>("opposite");  // value already in the opposite spin edit
        QTest::addColumn<int>("typed");
        QTest::addColumn<int>("kept");
        QTest::addColumn<bool>("error");
        // 160 x 120 source.
        QTest::newRow("left over the width") << int(TfrmEdit::MarginLeft) << 25 << 150 << 125 << true;
        QTest::newRow("left and right equal the width") << int(TfrmEdit::MarginLeft) << 80 << 80 << 80 << false;
        QTest::newRow("right over, clamped at 0") << int(TfrmEdit::MarginRight) << 155 << 6 << 0 << true;
        QTest::newRow("bottom over the height") << int(TfrmEdit::MarginBottom) << 20 << 101 << 90 << true;
        QTest::newRow("top and bottom equal the height") << int(TfrmEdit::MarginTop) << 60 << 60 << 60 << false;
    }

    void cropErrors()
    {
        QFETCH(int, margin);
        QFETCH(int, opposite);
        QFETCH(int, typed);
        QFETCH(int, kept);
        QFETCH(bool, error);
        Open();
        QSpinBox* spins[] = {m_edit->Crop_left, m_edit->Crop_right, m_edit->Crop_top, m_edit->Crop_bottom};
        const int opp = margin ^ 1;
        // Typed from the keyboard into the focused spin edit, and the message box shown: it takes
        // the focus from the spin edit while the margin is being corrected.
        m_showBoxes = true;
        TypeKeys(spins[opp], opposite);
        TypeKeys(spins[margin], typed);
        m_showBoxes = false;
        QCOMPARE(m_boxes, error ? QStringList{QStringLiteral("Crop error!")} : QStringList{});
        QCOMPARE(spins[margin]->value(), kept);
        const pb::PictureSettings p = pb::pictureSettings();
        const int engine[] = {p.CropLeft, p.CropRight, p.CropTop, p.CropBottom};
        QCOMPARE(engine[margin], kept);
        QCOMPARE(engine[opp], opposite);
        // And the output pane shows the corrected margin, not the last one accepted before.
        auto shown = [](const PreviewSurface* s, int m) {
            const auto& c = s->CurrentFrame()->crop;
            const int v[] = {c.left, c.right, c.top, c.bottom};
            return v[m];
        };
        QTRY_VERIFY(PreviewSurface::Instance()->CurrentFrame() &&
                    shown(PreviewSurface::Instance(), margin) == kept && shown(PreviewSurface::Instance(), opp) == opposite);
        QVERIFY(m_edit->isVisible());
    }

    void draggedFrameFillsTheSpinEdits()
    {
        Open();
        QTRY_VERIFY(PreviewSurface::Instance()->CurrentFrame() &&
                    PreviewSurface::Instance()->CurrentFrame()->cropFrame);
        // The user drags the frame in the output pane: the engine reports through the crop callback.
        pb::dragCropFrame({14, 10, 24, 18}, true);
        QTRY_COMPARE(m_edit->Crop_left->value(), 24);
        QTRY_COMPARE(m_edit->Crop_bottom->value(), 10);
        QCOMPARE(m_edit->Crop_top->value(), 14);
        QCOMPARE(m_edit->Crop_right->value(), 18);
        for (int m = TfrmEdit::MarginLeft; m <= TfrmEdit::MarginBottom; ++m)
            QVERIFY(!m_edit->SkipFlag(TfrmEdit::Margin(m)));  // each taken by its change
        VerifyOutputPane(24, 18, 14, 10);
        // The user then types into one: it reaches the engine.
        Type(m_edit->Crop_left, 30);
        QCOMPARE(pb::pictureSettings().CropLeft, 30);
        QTest::mouseClick(m_edit->btnOK, Qt::LeftButton);
        QCOMPARE(m_item->crop->left, 30);
        QCOMPARE(m_item->crop->top, 14);
        QCOMPARE(m_item->crop->bottom, 10);
        QCOMPARE(m_item->crop->right, 18);
        QVERIFY(m_boxes.isEmpty());
    }

    void zoomEffectsAndResets()
    {
        *m_item->crop = {4, 6, 8, 10, "full"};
        Open();
        // A zoom picked by the user goes to the engine.
        m_edit->Crop_zoom->setCurrentIndex(3);
        emit m_edit->Crop_zoom->activated(3);
        QCOMPARE(pb::pictureSettings().Zoom, std::string("4:3"));

        QTest::mouseClick(m_edit->tabEffect, Qt::LeftButton);
        m_edit->Effect_bright->setValue(16);
        m_edit->Effect_contrast->setValue(4);
        m_edit->Effect_saturation->setValue(0);
        m_edit->Effect_cmb->setCurrentIndex(1);
        emit m_edit->Effect_cmb->activated(1);
        QTest::mouseClick(m_edit->btnVertical, Qt::LeftButton);
        m_edit->AdjustVolume->setValue(510);
        pb::PictureSettings p = pb::pictureSettings();
        QCOMPARE(p.Brightness, 60);
        QCOMPARE(p.Contrast, -60);
        QCOMPARE(p.Saturation, -100);
        QCOMPARE(p.Effect, int(rm::converter::kEffectGray));
        QVERIFY(p.VerticalFlip && !p.HorizontalFlip);
        QCOMPARE(PreviewAudio::Instance()->Volume(), 510);
        QCOMPARE(m_edit->AdjustVolume->toolTip(), QStringLiteral("510"));

        // The effect reset leaves the crop page alone.
        QTest::mouseClick(m_edit->btnEffectReset, Qt::LeftButton);
        p = pb::pictureSettings();
        QCOMPARE(p.Brightness, 0);
        QCOMPARE(p.Contrast, 0);
        QCOMPARE(p.Saturation, 0);
        QCOMPARE(p.Effect, int(rm::converter::kEffectNone));
        QVERIFY(!p.VerticalFlip && !p.HorizontalFlip);
        QCOMPARE(m_edit->AdjustVolume->value(), 255);
        QCOMPARE(m_edit->Effect_cmb->currentIndex(), 0);
        QCOMPARE(m_edit->Crop_left->value(), 8);
        QCOMPARE(m_edit->Crop_zoom->currentText(), QStringLiteral("4:3"));
        QCOMPARE(p.CropLeft, 8);

        // The crop reset leaves the effect page alone, and does not send the zoom.
        m_edit->Effect_bright->setValue(5);
        QTest::mouseClick(m_edit->tabCrop, Qt::LeftButton);
        QTest::mouseClick(m_edit->btnCropReset, Qt::LeftButton);
        p = pb::pictureSettings();
        QCOMPARE(p.CropLeft + p.CropRight + p.CropTop + p.CropBottom, 0);
        QCOMPARE(m_edit->Crop_top->value() + m_edit->Crop_bottom->value() + m_edit->Crop_left->value() +
                     m_edit->Crop_right->value(),
                 0);
        QCOMPARE(m_edit->Crop_zoom->currentIndex(), 0);
        QCOMPARE(p.Zoom, std::string("4:3"));
        QCOMPARE(p.Brightness, -50);

        QTest::mouseClick(m_edit->btnOK, Qt::LeftButton);
        QCOMPARE(std::string(m_item->crop->zoom), std::string("original"));
        QCOMPARE(m_item->crop->left, 0);
        QCOMPARE(m_item->effects->brightness, -50);
        QCOMPARE(m_item->effects->colourEffect, 0);
        QCOMPARE(m_item->effects->volume, 255);
    }

    void cancelKeepsBothRecords()
    {
        *m_item->crop = {2, 4, 6, 8, "16:9"};
        *m_item->effects = {10, 20, 30, 0, 1, 3, 100};
        const rm::CropSettings crop = *m_item->crop;
        const rm::EffectSettings fx = *m_item->effects;
        Open();
        Type(m_edit->Crop_right, 50);
        m_edit->Crop_zoom->setCurrentIndex(1);
        emit m_edit->Crop_zoom->activated(1);
        m_edit->Effect_saturation->setValue(2);
        QTest::mouseClick(m_edit->btnVertical, Qt::LeftButton);
        QTest::mouseClick(m_edit->btnEffectReset, Qt::LeftButton);
        QTest::mouseClick(m_edit->close, Qt::LeftButton);
        QVERIFY(!m_edit->isVisible());
        QVERIFY(SameCrop(*m_item->crop, crop));
        QVERIFY(SameEffects(*m_item->effects, fx));
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Closed);

        // Opening again shows the row, not what was left on the controls; the picture settings
        // start from the row too (the closed engine forgot them).
        Open();
        QCOMPARE(m_edit->Crop_right->value(), 8);
        QCOMPARE(m_edit->Effect_saturation->value(), 13);
        QCOMPARE(pb::pictureSettings().Saturation, 30);
        QCOMPARE(pb::pictureSettings().Effect, int(rm::converter::kEffectOldFilm));
        QVERIFY(pb::pictureSettings().HorizontalFlip && !pb::pictureSettings().VerticalFlip);
    }

    void playStopAndTheEndOfTheStretch()
    {
        m_item->trim = {1, 2};
        Open();
        QCOMPARE(m_edit->TotalTrackBar->maximum(), 1);
        QVERIFY(m_edit->Playing());
        // The stretch ends after a second: playback stops by itself, the buttons follow.
        QTRY_VERIFY_WITH_TIMEOUT(!m_edit->Playing(), 5000);
        QVERIFY(!m_edit->Opened());
        QTRY_VERIFY(pb::engineInfo().state != pb::PlayState::Playing);
        const QImage playLook = LoadSkinPicture(m_edit->PicturePath("btnPlay", rm::PictureNormal)).toImage();
        QTRY_VERIFY(m_edit->btnPlay->NormalPicture().toImage() == playLook);
        QCOMPARE(m_edit->TotalTrackBar->value(), 0);

        // Play opens the stretch again and plays it.
        QTest::mouseClick(m_edit->btnPlay, Qt::LeftButton);
        QVERIFY(m_edit->Playing() && m_edit->Opened());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Playing);
        QTest::mouseClick(m_edit->btnPlay, Qt::LeftButton);  // pause within the stretch's second
        QVERIFY(!m_edit->Playing());
        QTRY_COMPARE(pb::engineInfo().state, pb::PlayState::Paused);
        QCOMPARE(int(pb::engineInfo().length), 1);
        // Pressing and releasing the bar while paused only puts it back to 0.
        m_edit->TotalTrackBar->setValue(1);
        emit m_edit->TotalTrackBar->sliderPressed();
        QVERIFY(m_edit->Dragging());
        emit m_edit->TotalTrackBar->sliderReleased();
        QVERIFY(!m_edit->Dragging());
        QCOMPARE(m_edit->TotalTrackBar->value(), 0);
        QCOMPARE(pb::engineInfo().state, pb::PlayState::Paused);
        QTest::mouseClick(m_edit->btnStop, Qt::LeftButton);
        QVERIFY(!m_edit->Playing() && !m_edit->Opened());
        QTRY_VERIFY(pb::engineInfo().state != pb::PlayState::Playing);
        QTest::mouseClick(m_edit->btnReplay, Qt::LeftButton);
        QVERIFY(m_edit->Playing());
    }

    void seekWhilePlaying()
    {
        Open();
        emit m_edit->TotalTrackBar->sliderPressed();
        QCOMPARE(m_edit->Handshake().pending.load(), 1);
        // A report sent before the seek is swallowed, not shown.
        QVERIFY(m_edit->Dragging());
        QCoreApplication::postEvent(m_edit.get(), new WindowMessageEvent(rm::WM_EDIT_POSITION, 0, 0));
        QCoreApplication::sendPostedEvents(m_edit.get());
        QCOMPARE(m_edit->Handshake().pending.load(), 0);
        QVERIFY(m_edit->Handshake().IsRaised());
        m_edit->TotalTrackBar->setValue(3);
        emit m_edit->TotalTrackBar->sliderReleased();
        QVERIFY(!m_edit->Dragging());
        QCOMPARE(m_edit->Handshake().seekTarget.load(), -1);
        QTRY_VERIFY(pb::engineInfo().position >= 2.99);
        QTRY_COMPARE(m_edit->TotalTrackBar->value(), 3);
    }

    void draggingWhilePlayingShowsPicturesNearEachPlace()
    {
        // A stretch from second 1: the bar and the pictures of a drag count from there.
        m_item->trim = {1, 4};
        Open();
        emit m_edit->TotalTrackBar->sliderPressed();
        m_edit->TotalTrackBar->setSliderPosition(2);
        emit m_edit->TotalTrackBar->sliderMoved(2);
        // Paused on a picture at most a GOP (1.2 s here) before second 2 of the stretch.
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Paused, 3000);
        auto shown = [] {
            const pb::SurfaceFramePtr f = PreviewSurface::Instance()->CurrentFrame();
            return f && !f->idle ? f->position : -1.0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(shown() > 0.79 && shown() <= 2.0, 3000);
        m_edit->TotalTrackBar->setValue(2);
        emit m_edit->TotalTrackBar->sliderReleased();
        QTRY_VERIFY_WITH_TIMEOUT(pb::engineInfo().state == pb::PlayState::Playing && shown() >= 1.99, 5000);
    }

    void aThemeChangeKeepsTheChosenLooks()
    {
        Open();
        QTest::mouseClick(m_edit->tabEffect, Qt::LeftButton);
        QTest::mouseClick(m_edit->btnVertical, Qt::LeftButton);
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/Sunset.xml")));
        m_edit->ApplySkin();
        auto picture = [this](const char* image, int state) {
            return LoadSkinPicture(m_edit->PicturePath(QString::fromLatin1(image), state)).toImage();
        };
        QVERIFY(m_edit->tabEffectPanel->isVisible());
        QVERIFY(m_edit->tabEffect->NormalPicture().toImage() == picture("tabEffect", rm::PictureHover));
        QVERIFY(m_edit->tabCrop->NormalPicture().toImage() == picture("tabCrop", rm::PictureNormal));
        QVERIFY(m_edit->btnVertical->NormalPicture().toImage() == picture("btnVertical", rm::PictureHover));
        QVERIFY(m_edit->btnPlay->NormalPicture().toImage() == picture("btnPause", rm::PictureNormal));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        m_edit->ApplySkin();
    }

    // Both panes show the picture the way it is written: upright, in the sizes the crop limits
    // are counted in.
    void aTurnedPhoneClipStandsUprightInBothPanes()
    {
        const std::string clip = TurnedPhoneClip();
        QVERIFY(!clip.empty());
        const rm::AddFilesResult r = m_tree->addFiles({QString::fromStdString(clip)}, false);
        QCOMPARE(int(r.added.size()), 1);
        m_item = r.added.front()->item();
        Open();
        PreviewSurface* s = PreviewSurface::Instance();
        QTRY_VERIFY(s->CurrentFrame() && s->CurrentFrame()->source && s->CurrentFrame()->output);
        const auto f = s->CurrentFrame();
        QVERIFY(f->twoPanes);
        QCOMPARE(f->sourceWidth, 120);
        QCOMPARE(f->sourceHeight, 160);
        QVERIFY2(f->source->height > f->source->width, "the source pane shows the clip upright");
        QVERIFY2(f->output->height > f->output->width, "the output pane shows the clip upright");
        // The margins are checked against the upright width, 120: 25 + 100 leaves too little.
        Type(m_edit->Crop_right, 25);
        Type(m_edit->Crop_left, 100);
        QCOMPARE(m_boxes, QStringList{QStringLiteral("Crop error!")});
        QCOMPARE(m_edit->Crop_left->value(), 85);
    }

    // Not a check: with RM_SCREENSHOT_DIR set, shows the dialog on a real video and writes
    // edit_*.png there.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        ApplyAppStyle(*qApp);
        rmtest::FixtureSpec s;
        s.width = 320;
        s.height = 240;
        s.seconds = 10;
        const rm::AddFilesResult r = m_tree->addFiles({QString::fromStdString(rmtest::Fixture("holiday.mp4", s))}, false);
        m_item = r.added.front()->item();
        *m_item->crop = {20, 20, 30, 30, "original"};
        *m_item->effects = {20, 10, 0, 0, 0, 0, 255};
        Open();
        QTest::qWait(1500);
        QVERIFY(m_edit->grab().save(dir + "/edit_crop.png"));
        QTest::mouseClick(m_edit->tabEffect, Qt::LeftButton);
        m_edit->Effect_cmb->setCurrentIndex(3);
        emit m_edit->Effect_cmb->activated(3);
        QTest::mouseClick(m_edit->btnLevel, Qt::LeftButton);
        QTest::qWait(1000);
        QVERIFY(m_edit->grab().save(dir + "/edit_effect.png"));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/Sunset.xml")));
        m_edit->ApplySkin();
        QTest::qWait(300);
        QVERIFY(m_edit->grab().save(dir + "/edit_sunset.png"));
        QVERIFY(rm::SkinTheme::Current().Load(QStringLiteral(RM_APP_DIR "/Images/DefaultImage.xml")));
        m_edit->ApplySkin();
        m_edit->done(QDialog::Rejected);
        // A phone clip held upright, with a crop.
        const rm::AddFilesResult turned = m_tree->addFiles({QString::fromStdString(TurnedPhoneClip())}, false);
        QVERIFY(!turned.added.empty());
        m_item = turned.added.front()->item();
        *m_item->crop = {10, 30, 10, 10, "original"};
        Open();
        QTest::qWait(1500);
        QVERIFY(m_edit->grab().save(dir + "/edit_turned.png"));
    }
};

QTEST_MAIN(EditDialogTest)
#include "edit_dialog_test.moc"
