// The wizard's decoration (a text or a picture over the video, with a link) offscreen: what the
// user places and where, what the task keeps, and what the output player is given.
#include "convert/player_jobs.h"
#include "engines/player_maker/player_maker.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "ui/custom/custom_form.h"
#include "ui/custom/custom_form_internal.h"
#include "ui/custom/wizard_logic.h"
#include "engines/player_maker/text_raster.h"
#include "ui/wizard_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <memory>

using namespace rm;
using namespace rm::ui;

class WizardDecorationTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    std::unique_ptr<TfrmCustom> m_form;
    std::unique_ptr<MediaItem> m_task;
    QStringList m_messages;

    // A task as the task list makes it: the profile-default settings of "normal".
    void newTask()
    {
        m_task = std::make_unique<MediaItem>();
        InitItem(*m_task);
        m_task->kind = kKindFile;
        m_task->role = kRolePlain;
        m_task->settings = std::make_unique<CustomSettings>();
        ResetProcessSettings();
        ApplyProfileDefaults(FindProfileByName("normal"));
        CopyCustomSettings(*m_task->settings, ProfileDefaultSettings());
        m_task->settings->IsCustom = 0;
        m_task->settings->Width = 400;
        m_task->settings->Height = 300;
    }

    void openWizard()
    {
        if (m_form->isVisible())
            m_form->hide();
        m_form->SetTask(m_task.get());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QString makeJpeg(const QString& name, int w = 64, int h = 48)
    {
        QImage im(w, h, QImage::Format_RGB32);
        im.fill(Qt::red);
        const QString path = m_dir.filePath(name);
        im.save(path, "JPG");
        return path;
    }

    // A press at `from` on w, one move to `to` with the button held, and the release there.
    static void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mousePress(w, Qt::LeftButton, mods, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), w->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, mods);
        QApplication::sendEvent(w, &move);
        QTest::mouseRelease(w, Qt::LeftButton, mods, to);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = rmtest::wizard::MakeProgramFolder(m_dir.path());
        QVERIFY(!m_program.isEmpty());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
        TfrmCustom::SetPreviewEnabled(false);
        TfrmCustom::SetMessageShower([this](const QString& m) { m_messages << m; });
        m_form = std::make_unique<TfrmCustom>();
        m_form->FillTemplateGalleries(m_program);
    }

    void cleanupTestCase()
    {
        m_form.reset();
        TfrmCustom::SetFileChooser({});
        TfrmCustom::SetMessageShower({});
        SetProgramFolder({});
        RegistryKey::SetStoreFile({});
    }

    void init()
    {
        m_messages.clear();
        QFile::remove(m_dir.filePath("store.conf"));
        newTask();
    }

    void decorationPictureAndText()
    {
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        QVERIFY(!m_form->imgPanel->isVisibleTo(m_form.get()));
        m_form->addCredits->click();
        QCOMPARE(CurrentCustomSettings().IsDecorate, uint8_t(1));
        m_form->img->click();
        QCOMPARE(CurrentCustomSettings().FileType, 1);
        QVERIFY(m_form->decoOpen->isEnabled());
        QVERIFY(!m_form->textValue->isEnabled());
        const QString pic = makeJpeg("deco.jpg");
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        // No stored size: the picture's shape (64 x 48) fitted to 100 x 100, at the browser's
        // top-left corner.
        const QRect b = m_form->webBrowser->geometry();
        QCOMPARE(m_form->imgPanel->geometry(), QRect(b.topLeft(), QSize(100, 75)));
        const CustomSettings& c = CurrentCustomSettings();
        QCOMPARE(c.Dec_img_X, 0);  // held relative to the video
        QCOMPARE(c.Dec_img_Width, 100);
        QCOMPARE(c.Dec_img_Height, 75);
        // Drag it 30 right and 20 down by its body.
        QTest::mousePress(m_form->imgPanel, Qt::LeftButton, {}, QPoint(50, 50));
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 70), m_form->imgPanel->mapToGlobal(QPointF(80, 70)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_form->imgPanel, &move);
        QTest::mouseRelease(m_form->imgPanel, Qt::LeftButton, {}, QPoint(50, 50));
        QCOMPARE(c.Dec_img_X, 30);
        QCOMPARE(c.Dec_img_Y, 20);
        m_form->urlValue->setText("  www.example.com ");
        // Unticking hides the overlay and clears IsDecorate, FileType stays.
        m_form->addCredits->click();
        QVERIFY(!m_form->imgPanel->isVisibleTo(m_form.get()));
        QCOMPARE(c.IsDecorate, uint8_t(0));
        QCOMPARE(c.FileType, 1);
        m_form->addCredits->click();
        m_form->btnOKClick();
        const CustomSettings& t = *m_task->settings;
        QCOMPARE(QString(t.Dec_imagePath), pic);
        QCOMPARE(t.IsDecorate, uint8_t(1));
        QCOMPARE(t.Dec_X, 30);
        QCOMPARE(t.Dec_Width, 100);
        QCOMPARE(t.Dec_img_Y, 20);
        QCOMPARE(QString(t.Dec_URL), QStringLiteral("http://www.example.com"));

        // Text: the overlay takes the label's size.
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->text->click();
        QCOMPARE(CurrentCustomSettings().FileType, 2);
        m_form->textValue->setText("Hello");
        QCOMPARE(QString(c.Dec_textContent), QStringLiteral("Hello"));
        QCOMPARE(c.Dec_text_Width, m_form->Dec_text->width());
        QCOMPARE(m_form->imgPanel->size(), m_form->Dec_text->size());
        m_form->urlValue->setText("http://");
        m_form->btnOKClick();
        QCOMPARE(t.FileType, 2);
        QCOMPARE(QString(t.Dec_textContent), QStringLiteral("Hello"));
        QCOMPARE(t.Dec_text_Width, m_form->Dec_text->width());
        QCOMPARE(QString(t.Dec_URL), QString());
        TfrmCustom::SetFileChooser({});
    }

    void decorationLandsInTheOutputWhereItWasDropped()
    {
        m_task->settings->Width = 480;
        m_task->settings->Height = 360;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->addCredits->click();
        m_form->img->click();
        const QString pic = makeJpeg("drop.jpg", 80, 40);
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        TfrmCustom::SetFileChooser({});
        const QRect b = m_form->webBrowser->geometry();
        QVERIFY(b.x() > 0 || b.y() > 0);  // the video does not start at the panel's corner
        // The user drags the picture (100 x 50, its own shape) 40 pixels right and 98 down from
        // the video's corner.
        QCOMPARE(m_form->imgPanel->size(), QSize(100, 50));
        drag(m_form->imgPanel, QPoint(50, 25), QPoint(90, 123));
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b.topLeft(), QPoint(40, 98));
        m_form->btnOKClick();

        // The output player's decoration: the same place, scaled from the preview to the output.
        player_maker::FPMUIGroupOption* group = player_maker::createFPMUIGroupOption();
        FillDecoration(*m_task->settings, group, m_dir.filePath("job"), 10);
        const player_maker::FPMUIOverlayADOption& d = *group->Overlay;
        QCOMPARE(d.FileType, 1);
        QCOMPARE(d.X, int(40.0 * 480 / b.width()));
        QCOMPARE(d.Y, int(98.0 * 360 / b.height()));
        QCOMPARE(d.Width, int(100.0 * 480 / b.width()));
        QCOMPARE(d.Height, int(50.0 * 360 / b.height()));
        player_maker::freeFPMUIGroupOption(&group);

        // Shown again for another output size: the picture stays at its place on the video.
        m_task->settings->Width = 320;
        m_task->settings->Height = 240;
        openWizard();
        const QRect b2 = m_form->webBrowser->geometry();
        QVERIFY(b2 != b);
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b2.topLeft(), QPoint(40, 98));
        m_form->closeClick();
    }

    void missingDecorationPictureIsDroppedOnOpen()
    {
        const QString kept = makeJpeg("kept.jpg");
        struct Case {
            QString path;
            bool dropped;
        } cases[] = {{m_dir.filePath("gone.jpg"), true}, {kept, false}};
        for (const Case& c : cases) {
            newTask();
            SetText(m_task->settings->Dec_imagePath, c.path);
            m_task->settings->FileType = 1;
            m_task->settings->IsDecorate = 1;
            m_task->settings->Dec_img_X = 30;
            m_task->settings->Dec_img_Y = 40;
            m_task->settings->Dec_img_Width = 50;
            m_task->settings->Dec_img_Height = 60;
            openWizard();
            const CustomSettings& t = *m_task->settings;
            QCOMPARE(QString(t.Dec_imagePath), c.dropped ? QString() : c.path);
            QCOMPARE(t.Dec_img_Width, c.dropped ? 0 : 50);
            QCOMPARE(t.Dec_img_X, c.dropped ? 0 : 30);
            QCOMPARE(m_form->imgValue->text(), c.dropped ? QString() : c.path);
            if (!c.dropped)  // on the video, wherever the preview puts it
                QCOMPARE(m_form->imgPanel->geometry(),
                         QRect(m_form->webBrowser->geometry().topLeft() + QPoint(30, 40), QSize(50, 60)));
            m_form->closeClick();
        }
    }


    // A new picture gets a rectangle of its own shape, and the output shows it so: a 160 x 80
    // logo is 100 x 50 in the wizard and twice as wide as high in the player's record.
    void aPictureKeepsItsShape()
    {
        m_task->settings->Width = 480;
        m_task->settings->Height = 360;
        m_task->settings->SwfType = 1;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->addCredits->click();
        m_form->img->click();
        const QString logo = makeJpeg("logo.jpg", 160, 80);
        TfrmCustom::SetFileChooser([logo](const QString&) { return logo; });
        m_form->decoOpenClick();
        TfrmCustom::SetFileChooser({});
        QCOMPARE(m_form->imgPanel->size(), QSize(100, 50));
        QCOMPARE(m_form->Image->size(), QSize(100, 50));
        // A corner drag keeps the shape; with Shift held it does not.
        drag(m_form->imgPanel, QPoint(99, 49), QPoint(140, 60));
        QCOMPARE(m_form->imgPanel->size(), QSize(140, 70));
        QCOMPARE(CurrentCustomSettings().Dec_img_Height, 70);
        drag(m_form->imgPanel, QPoint(139, 69), QPoint(150, 100), Qt::ShiftModifier);
        QCOMPARE(m_form->imgPanel->size(), QSize(150, 100));
        drag(m_form->imgPanel, QPoint(149, 99), QPoint(140, 70), Qt::ShiftModifier);
        QCOMPARE(m_form->imgPanel->size(), QSize(140, 70));
        m_form->btnOKClick();
        player_maker::FPMUIGroupOption* group = player_maker::createFPMUIGroupOption();
        FillDecoration(*m_task->settings, group, m_dir.filePath("job"), 10);
        const player_maker::FPMUIOverlayADOption& d = *group->Overlay;
        QVERIFY2(std::abs(d.Width - 2 * d.Height) <= 2, qPrintable(QStringLiteral("%1 x %2").arg(d.Width).arg(d.Height)));
        player_maker::freeFPMUIGroupOption(&group);
    }

    // A text dragged to its place keeps it: at once in the settings, after a look at a picture,
    // and in the task after OK.
    void aTextKeepsItsPlace()
    {
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->addCredits->click();
        m_form->img->click();
        const QString pic = makeJpeg("beside.jpg", 60, 60);
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        TfrmCustom::SetFileChooser({});
        m_form->text->click();
        m_form->textValue->setText("Hello");
        const QRect b = m_form->webBrowser->geometry();
        QCOMPARE(m_form->imgPanel->geometry().topLeft(), b.topLeft());
        drag(m_form->Dec_text, QPoint(5, 5), QPoint(35, 25));
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b.topLeft(), QPoint(30, 20));
        QCOMPARE(CurrentCustomSettings().Dec_text_X, 30);
        QCOMPARE(CurrentCustomSettings().Dec_text_Y, 20);
        // A look at the picture (at its own place) and back.
        m_form->img->click();
        QCOMPARE(m_form->imgPanel->geometry().topLeft(), b.topLeft());
        m_form->text->click();
        QCOMPARE(m_form->imgPanel->geometry().topLeft() - b.topLeft(), QPoint(30, 20));
        m_form->btnOKClick();
        QCOMPARE(m_task->settings->Dec_text_X, 30);
        QCOMPARE(m_task->settings->Dec_text_Y, 20);
        QCOMPARE(m_task->settings->Dec_img_X, 0);
        QCOMPARE(m_task->settings->Dec_X, 30);
    }

    // The text's size relative to the video is the same in the output as in the wizard: the
    // height of the letters the wizard shows, scaled to the output, against the height of the
    // letters the player is given (drawn by the player maker's own rasteriser).
    void aTextHasTheSameSizeInTheOutput_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("size");
        QTest::newRow("output as large as the preview") << 320 << 240 << 24;
        QTest::newRow("output larger than the preview") << 640 << 480 << 20;
    }
    void aTextHasTheSameSizeInTheOutput()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, size);
        m_task->settings->Width = width;
        m_task->settings->Height = height;
        m_task->settings->SwfType = 1;
        m_task->settings->IsDecorate = 1;
        m_task->settings->FileType = 2;
        SetText(m_task->settings->Dec_textContent, "Hxg");
        SetText(m_task->settings->Dec_fontType, "DejaVu Sans");
        m_task->settings->Dec_fontSize = size;
        m_task->settings->Dec_fontColor = RgbColor{255, 0, 0};
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->textValue->setText("Hxg");
        const QRect b = m_form->webBrowser->geometry();
        // Letter rows in the wizard: rows of the label holding its red.
        const QImage shown = m_form->Dec_text->grab().toImage();
        auto inkedRows = [](const QImage& im, auto inked) {
            int first = -1, last = -1;
            for (int y = 0; y < im.height(); ++y)
                for (int x = 0; x < im.width(); ++x)
                    if (inked(im.pixel(x, y))) {
                        first = first < 0 ? y : first;
                        last = y;
                        break;
                    }
            return first < 0 ? 0 : last - first + 1;
        };
        const double dpr = m_form->Dec_text->devicePixelRatioF();
        const double wizardRows = inkedRows(shown, [](QRgb p) { return qRed(p) > 160 && qGreen(p) < 90 && qBlue(p) < 90; }) / dpr;
        QVERIFY(wizardRows > 0);
        m_form->btnOKClick();
        player_maker::FPMUIGroupOption* group = player_maker::createFPMUIGroupOption();
        FillDecoration(*m_task->settings, group, m_dir.filePath("job"), 10);
        const player_maker::FPMUIOverlayADOption& d = *group->Overlay;
        player_maker::TextBitmap tb;
        QVERIFY(player_maker::RenderText("Hxg", player_maker::FontFileForFace("DejaVu Sans"), d.FontSize, 0xff0000,
                                         std::max(d.Width, 400), std::max(d.Height, 400), tb));
        QImage drawn(tb.width, tb.height, QImage::Format_ARGB32);
        for (int y = 0; y < tb.height; ++y)
            for (int x = 0; x < tb.width; ++x) {
                const uint8_t* px = &tb.argb[size_t(y * tb.width + x) * 4];
                drawn.setPixel(x, y, qRgba(px[1], px[2], px[3], px[0]));
            }
        const int outputRows = inkedRows(drawn, [](QRgb p) { return qAlpha(p) > 128; });
        player_maker::freeFPMUIGroupOption(&group);
        const double scale = double(height) / b.height();
        QVERIFY2(std::abs(wizardRows * scale - outputRows) <= 3 * scale,
                 qPrintable(QStringLiteral("wizard %1 rows x %2, output %3 rows").arg(wizardRows).arg(scale).arg(outputRows)));
    }

    // Only a picture the decoration shows goes beside the player: a text's leftover picture path
    // copies nothing.
    void aPictureIsCopiedOnlyWhenShown()
    {
        const QString pic = makeJpeg("spare.jpg", 40, 40);
        for (int fileType : {2, 1}) {
            CustomSettings s;
            ResetCustomSettings(s);
            s.SwfType = 2;
            s.IsDecorate = 1;
            s.FileType = fileType;
            SetText(s.Dec_imagePath, pic);
            SetText(s.Dec_textContent, "words");
            const QString job = m_dir.filePath(QStringLiteral("job-%1").arg(fileType));
            QDir().mkpath(job);
            player_maker::FPMUIGroupOption* group = player_maker::createFPMUIGroupOption();
            QVERIFY(FillDecoration(s, group, job, 10));
            player_maker::freeFPMUIGroupOption(&group);
            QCOMPARE(QFileInfo::exists(job + "/spare.jpg"), fileType == 1);
        }
    }

    // Resizing a picture by its left or top edge, past the video's edge, never stores a place
    // outside the video.
    void resizingStopsAtTheVideosEdge()
    {
        m_task->settings->Width = 320;
        m_task->settings->Height = 240;
        openWizard();
        m_form->btnNextClick();
        m_form->btnNextClick();
        m_form->OpenTab(3);
        m_form->addCredits->click();
        m_form->img->click();
        const QString pic = makeJpeg("square.jpg", 80, 80);
        TfrmCustom::SetFileChooser([pic](const QString&) { return pic; });
        m_form->decoOpenClick();
        TfrmCustom::SetFileChooser({});
        drag(m_form->imgPanel, QPoint(50, 50), QPoint(70, 70));  // 20 in from the corner
        QCOMPARE(CurrentCustomSettings().Dec_img_X, 20);
        const QRect b = m_form->webBrowser->geometry();
        QVERIFY(b.x() > 0 || b.y() > 0);
        drag(m_form->imgPanel, QPoint(1, 50), QPoint(-60, 50));   // the left edge, far out
        drag(m_form->imgPanel, QPoint(50, 1), QPoint(50, -60));   // the top edge, far out
        const CustomSettings& c = CurrentCustomSettings();
        QCOMPARE(c.Dec_img_X, 0);
        QCOMPARE(c.Dec_img_Y, 0);
        QCOMPARE(c.Dec_img_Width, 120);
        QCOMPARE(c.Dec_img_Height, 120);
        QCOMPARE(m_form->imgPanel->geometry().topLeft(), b.topLeft());
        m_form->closeClick();
    }

};

QTEST_MAIN(WizardDecorationTest)
#include "wizard_decoration_test.moc"
