// The wizard's preview shows the task's own video: the preview player it writes plays a short
// clip of the task's picture (a 16:9 source in a 4:3 output, with its bars), made once while the
// wizard is open; a task without a readable video gets the sample; closing the wizard while the
// clip is being made leaves nothing behind. Offscreen there is no web view: what is checked is
// the player written and the clip beside it.
#include "engines/player_maker/swf_test_util.h"
#include "model/app_settings.h"
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "support/source_fixtures.h"
#include "ui/custom/custom_form.h"
#include "ui/toolkit/image_button.h"
#include "ui/wizard_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

using namespace rm;
using namespace rm::ui;
namespace src = rmtest::sources;

namespace {

// 16:9 with sound, 12 s: red for 3 s, then blue.
std::string WideRedThenBlue()
{
    return src::Made("wizard-wide-red-blue.mp4",
                     "-f lavfi -i \"color=c=red:s=1280x720:r=25:d=12,"
                     "drawbox=x=0:y=0:w=iw:h=ih:c=blue:t=fill:enable='gte(t,3)'\" "
                     "-f lavfi -i sine=frequency=440:duration=12 -c:v libx264 -pix_fmt yuv420p -g 25 -c:a aac -shortest");
}

// A camera's 1080p clip: making its preview clip takes a while.
std::string FullHd()
{
    return src::Made("wizard-1080p.mp4", "-f lavfi -i testsrc2=s=1920x1080:r=25:d=20 -f lavfi -i sine=duration=20 "
                                         "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest");
}

// Red, green, blue of the middle pixel and of one near the top of the picture at second t.
struct Look {
    int middle[3] = {-1, -1, -1};
    int top[3] = {-1, -1, -1};
};

Look LookAt(const QString& file, double t, int w, int h)
{
    const std::string px = src::Capture("ffmpeg -nostdin -v error -ss " + std::to_string(t) + " -i " +
                                        src::Quoted(file.toStdString()) + " -frames:v 1 -pix_fmt rgb24 -f rawvideo -");
    Look l;
    if (px.size() != size_t(w) * h * 3)
        return l;
    for (int i = 0; i < 3; ++i) {
        l.middle[i] = uint8_t(px[(size_t(h / 2) * w + w / 2) * 3 + i]);
        l.top[i] = uint8_t(px[(size_t(6) * w + w / 2) * 3 + i]);
    }
    return l;
}

bool Near(const int (&c)[3], int r, int g, int b)
{
    return std::abs(c[0] - r) < 40 && std::abs(c[1] - g) < 40 && std::abs(c[2] - b) < 40;
}

// Every file below dir, relative to it.
QStringList FilesBelow(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

} // namespace

class WizardOwnVideoTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    std::unique_ptr<TfrmCustom> m_form;
    std::unique_ptr<MediaItem> m_task;
    QStringList m_messages;

    // A task as the task list makes it from a file (probed), 400 x 300, progressive player.
    void newTask(const std::string& path)
    {
        ResetProcessSettings();
        ApplyProfileDefaults(FindProfileByName("normal"));
        if (path.empty()) {
            m_task = std::make_unique<MediaItem>();
            InitItem(*m_task);
            m_task->settings = std::make_unique<CustomSettings>();
            CopyCustomSettings(*m_task->settings, ProfileDefaultSettings());
        } else {
            m_task = CreateFileItem(path, {}, CurrentCustomSettings(), ProfileDefaultSettings());
        }
        QVERIFY(m_task && m_task->settings);
        m_task->settings->Width = 400;
        m_task->settings->Height = 300;
        m_task->settings->SwfType = 2;
        SetText(m_task->settings->PlayerSkinPath, "Classic_h32");
    }

    void openWizard()
    {
        if (m_form->isVisible())
            m_form->hide();
        m_form->SetTask(m_task.get());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void toPlayerPage()
    {
        m_form->btnNextClick();
        m_form->btnNextClick();
        QCOMPARE(m_form->Page(), 3);
    }

    // The video the written preview player plays, as it names it.
    QString playedVideo()
    {
        const auto w = rmtest::ReadWrittenSwf((m_form->PreviewFolder() + "orvane.swf").toStdString());
        if (!w.ok)
            return QStringLiteral("<no player>");
        const std::string key = "\"url\":\"";
        const size_t at = w.configJson.find(key);
        if (at == std::string::npos)
            return QStringLiteral("<no url>");
        const size_t end = w.configJson.find('"', at + key.size());
        return QString::fromStdString(w.configJson.substr(at + key.size(), end - at - key.size()));
    }

    QStringList clipFiles() { return QDir(m_form->PreviewFolder()).entryList({"clip-*"}, QDir::Files); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = rmtest::wizard::MakeProgramFolder(m_dir.path());
        QVERIFY(!m_program.isEmpty());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
        TfrmCustom::SetMessageShower([this](const QString& m) { m_messages << m; });
        TfrmCustom::SetPreviewEnabled(true);
        // A working folder of our own, to see that nothing is written there.
        QVERIFY(QDir().mkpath(m_dir.filePath("work")));
        QVERIFY(QDir::setCurrent(m_dir.filePath("work")));
        m_form = std::make_unique<TfrmCustom>();
        m_form->FillTemplateGalleries(m_program);
    }

    void cleanupTestCase()
    {
        m_form.reset();
        TfrmCustom::SetPreviewEnabled(false);
        TfrmCustom::SetMessageShower({});
        SetProgramFolder({});
        RegistryKey::SetStoreFile({});
    }

    void init() { m_messages.clear(); }

    // The player page plays the first seconds of the stretch at the output's size: red from the
    // start, blue from second 4; the 16:9 picture sits between black bars in the 4:3 frame. The
    // clip is made once: the player written again for another skin plays the same file.
    void playerPlaysTheTasksOwnClip_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("blue");
        QTest::newRow("from the start") << 0 << 255 << 0;
        QTest::newRow("trimmed to 4 s") << 4 << 0 << 255;
    }
    void playerPlaysTheTasksOwnClip()
    {
        QFETCH(int, start);
        QFETCH(int, red);
        QFETCH(int, blue);
        const std::string wide = WideRedThenBlue();
        QVERIFY(!wide.empty());
        newTask(wide);
        m_task->trim.start = start;
        openWizard();
        toPlayerPage();  // at once, while the clip may still be made
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->PreviewVideo().isEmpty(), 60000);
        QVERIFY(!m_form->PreviewClipPending());
        const QString clip = m_form->PreviewVideo();
        QCOMPARE(QFileInfo(clip).absolutePath() + "/", m_form->PreviewFolder());
        QVERIFY(QFileInfo(clip).fileName().startsWith("clip-"));
        QCOMPARE(playedVideo(), QFileInfo(clip).fileName());
        QVERIFY(QFileInfo(QFileInfo(clip).path() + "/" + QFileInfo(clip).completeBaseName() + ".jpg").size() > 0);
        const double secs = std::atof(src::Capture("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                                   src::Quoted(clip.toStdString())).c_str());
        QVERIFY2(secs > 4 && secs < 5.6, qPrintable(QString::number(secs)));
        int w = 0, h = 0;
        src::SizeOf(clip.toStdString(), w, h);
        QCOMPARE(w, 400);
        QCOMPARE(h, 300);
        const Look look = LookAt(clip, 1.0, w, h);
        QVERIFY2(Near(look.middle, red, 0, blue), qPrintable(QString("%1 %2 %3").arg(look.middle[0]).arg(look.middle[1]).arg(look.middle[2])));
        QVERIFY(Near(look.top, 0, 0, 0));
        QVERIFY(m_messages.isEmpty());

        // Another skin: the player is written again around the same clip.
        const int refreshes = m_form->RefreshCount();
        m_form->btn_Click(wizard::kPlayerGallery, QStringLiteral("Midnight_h30"));
        QVERIFY(m_form->RefreshCount() > refreshes);
        QCOMPARE(m_form->PreviewVideo(), clip);
        QCOMPARE(playedVideo(), QFileInfo(clip).fileName());
        QCOMPARE(clipFiles().size(), 2);  // the clip and its picture, nothing more
        m_form->closeClick();
    }

    // No video of its own, or one the converter cannot read: the sample, and no message.
    void withoutAReadableVideoTheSampleShows_data()
    {
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("no video") << false;
        QTest::newRow("unreadable source") << true;
    }
    void withoutAReadableVideoTheSampleShows()
    {
        QFETCH(bool, unreadable);
        newTask({});
        if (unreadable) {
            // Probed fine once, damaged since.
            const QString broken = m_dir.filePath("broken.mp4");
            QFile f(broken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(200000, '\x17'));
            f.close();
            m_task->media = NewMediaInfo();
            std::strcpy(m_task->media->path, broken.toUtf8().constData());
            m_task->media->width = 1280;
            m_task->media->height = 720;
            m_task->media->duration = 12;
            m_task->trim.end = 12;
        }
        openWizard();
        toPlayerPage();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->PreviewClipPending(), 30000);
        QTRY_COMPARE(playedVideo(), QStringLiteral("orvanesample.flv"));
        QVERIFY(m_form->PreviewVideo().isEmpty());
        QVERIFY(clipFiles().isEmpty());
        QVERIFY(m_messages.isEmpty());
        m_form->closeClick();
    }

    // Closing the wizard, or its going, while the clip is made: the clip is given up, nothing is
    // left outside the preview folder (nor a clip in it), and the wizard works as before.
    void closingWhileTheClipIsMadeLeavesNothing()
    {
        // The source in a folder of its own, to see that nothing is added beside it.
        const QString sourceFolder = m_dir.filePath("sources");
        QVERIFY(QDir().mkpath(sourceFolder));
        const QString hdCopy = sourceFolder + "/camera.mp4";
        QVERIFY(QFile::exists(hdCopy) || QFile::copy(QString::fromStdString(FullHd()), hdCopy));
        const std::string hd = hdCopy.toStdString();
        const QStringList sourcesBefore = FilesBelow(sourceFolder);
        const QStringList programBefore = FilesBelow(m_program);
        const QStringList workingBefore = FilesBelow(QDir::currentPath());
        newTask(hd);
        if (m_form->isVisible())
            m_form->hide();
        m_form->SetTask(m_task.get());
        m_form->show();  // the clip is asked for as the wizard shows
        QVERIFY(m_form->PreviewClipPending());
        m_form->closeClick();
        QVERIFY(!m_form->PreviewClipPending());
        QCoreApplication::processEvents();
        QTest::qWait(0);
        QVERIFY(clipFiles().isEmpty());
        QVERIFY(m_form->PreviewVideo().isEmpty());

        {
            TfrmCustom other;
            other.FillTemplateGalleries(m_program);
            other.SetTask(m_task.get());
            other.show();
            QVERIFY(other.PreviewClipPending());
        }  // gone while making it

        QCOMPARE(FilesBelow(sourceFolder), sourcesBefore);
        QCOMPARE(FilesBelow(m_program), programBefore);
        QCOMPARE(FilesBelow(QDir::currentPath()), workingBefore);

        // Opened again: the clip is made and shown.
        openWizard();
        toPlayerPage();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->PreviewVideo().isEmpty(), 60000);
        QCOMPARE(playedVideo(), QFileInfo(m_form->PreviewVideo()).fileName());
        m_form->closeClick();
    }

    // On a display with the real browser (xvfb-run ... -platform xcb): the player page says at
    // once that the preview is coming, then shows the task's own 16:9 picture between black bars
    // in the 4:3 player. With RM_WIZARD_SCREENS=<folder> both looks are saved.
    void loadingAtOnceThenTheOwnPictureOnDisplay()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen") || qEnvironmentVariableIsSet("RM_NO_WEBVIEW"))
            QSKIP("the preview's web view needs a display");
        const std::string wide = WideRedThenBlue();
        QVERIFY(!wide.empty());
        newTask(wide);
        m_task->settings->Width = 480;
        m_task->settings->Height = 360;
        m_task->settings->IsAutoPlay = 0;  // the clip's first picture stays
        m_task->settings->IsDecorate = 1;
        m_task->settings->FileType = 2;
        SetText(m_task->settings->Dec_textContent, "Over the real picture");
        SetText(m_task->settings->Dec_fontType, "DejaVu Sans");
        m_task->settings->Dec_fontSize = 12;
        m_task->settings->Dec_fontColor = RgbColor{255, 255, 255};
        m_task->settings->Dec_text_X = 30;
        m_task->settings->Dec_text_Y = 70;
        m_task->settings->Dec_text_Width = 180;
        m_task->settings->Dec_text_Height = 22;
        const QString out = qEnvironmentVariable("RM_WIZARD_SCREENS");
        auto shot = [&](const QString& name) {
            if (!out.isEmpty())
                QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                             out + "/wizard_own_video_" + name + ".png"});
        };
        openWizard();
        toPlayerPage();  // at once: the clip is still being made
        QVERIFY(m_form->PreviewLoadingShown());
        shot("loading");
        QTRY_VERIFY_WITH_TIMEOUT(m_form->PreviewPlayerLoaded() && !m_form->PreviewVideo().isEmpty(), 60000);
        QVERIFY(!m_form->PreviewLoadingShown());
        const QRect r(m_form->webBrowser->mapToGlobal(QPoint(0, 0)), m_form->webBrowser->size());
        auto look = [&] {
            return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
        };
        // The emulator draws the player a moment after it has loaded it.
        auto isRed = [](const QColor& c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; };
        QTRY_VERIFY_WITH_TIMEOUT(isRed(look().pixelColor(r.width() / 4, r.height() / 2)), 30000);
        const QImage picture = look();
        // 16:9 in 4:3: a quarter of the height is bars, an eighth above the picture (the skin's
        // top strip lies over part of it, its play button over the middle).
        const int w = picture.width(), h = picture.height();
        for (int y : {h * 3 / 10, h / 2, h * 7 / 10})
            QVERIFY2(isRed(picture.pixelColor(w / 4, y)), qPrintable(QString::number(y)));
        const QColor bar = picture.pixelColor(w / 2, h * 11 / 100);
        QVERIFY2(bar.red() < 40 && bar.green() < 40 && bar.blue() < 40, qPrintable(bar.name()));
        shot("shown");
        m_form->closeClick();
    }
};

QTEST_MAIN(WizardOwnVideoTest)
#include "wizard_own_video_test.moc"
