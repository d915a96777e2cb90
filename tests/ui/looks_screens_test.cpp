// Looking at the windows as they are drawn: the main window with tasks, the trim dialog, the
// power-off countdown and the watch window, in one theme at the display's scale, saved as PNGs.
// Only on request, on a display:
//   RM_LOOKS_SCREENS=<folder> RM_LOOKS_THEME=Sunset.xml QT_SCALE_FACTOR=1.5 \
//     xvfb-run -a -s "-screen 0 2560x1600x24" qtest_looks_screens_test -platform xcb
#include "model/app_settings.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/convert/power_off_countdown.h"
#include "ui/convert/watch_window.h"
#include "ui/custom/custom_form.h"
#include "ui/editors/clip_form.h"
#include "ui/toolkit/app_style.h"
#include "ui/window_test_store.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace rm::ui;

class LooksScreensTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out, m_tag;

    // The window as the screen shows it (a browser view's picture included).
    void shoot(QWidget* w, const QString& name, int settleMs = 400)
    {
        QTest::qWait(settleMs);  // the picture settles (fonts, a browser view's next paint)
        const QRect r(w->frameGeometry());
        const QPixmap shot = w->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
        QVERIFY(shot.save(m_out + QLatin1Char('/') + name + QLatin1Char('_') + m_tag + QStringLiteral(".png")));
    }

private slots:
    void initTestCase()
    {
        m_out = qEnvironmentVariable("RM_LOOKS_SCREENS");
        if (m_out.isEmpty() || QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("set RM_LOOKS_SCREENS and run on a display to take the screenshots");
        QDir().mkpath(m_out);
        const QString theme = qEnvironmentVariable("RM_LOOKS_THEME", QStringLiteral("DefaultImage.xml"));
        m_tag = QFileInfo(theme).completeBaseName() + QStringLiteral("_") +
                QString::number(QGuiApplication::primaryScreen()->devicePixelRatio()) + QStringLiteral("x");
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/",
                                           {{QStringLiteral("Skin"), QStringLiteral(RM_APP_DIR "/Images/") + theme}}));
        ApplyAppStyle(*qApp);
        SetBoxAnswerer([](const BoxRequest&) { return false; });
        TfrmMain::SetModalRunner([](QDialog*) { return int(QDialog::Rejected); });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetModalRunner({});
    }

    void windows()
    {
        rmtest::FixtureSpec spec;
        spec.width = 320;
        spec.height = 180;
        spec.seconds = 4.05;
        const QString a = QString::fromStdString(rmtest::Fixture("looks-wide.mp4", spec));
        spec.audioCodec.clear();
        const QString b = QString::fromStdString(rmtest::Fixture("looks-silent-with-a-long-name-of-its-own.mp4", spec));
        frmMain->AddFiles({a, b});
        frmMain->SelectOnly(frmMain->Tasks->topLevel(0));
        shoot(frmMain, QStringLiteral("main"));

        // The trim dialog with two segments.
        QVERIFY(frmClip->SetTarget(frmMain->Tasks, frmMain->Tasks->topLevel(0)));
        frmClip->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmClip));
        frmClip->btnAddClick();
        shoot(frmClip, QStringLiteral("trim"));
        frmClip->done(QDialog::Rejected);

        // The progress window's bars in the theme's colour.
        frmConvert->OneProgress->setRange(0, 100);
        frmConvert->OneProgress->setValue(60);
        frmConvert->TotalProgress->setRange(0, 100);
        frmConvert->TotalProgress->setValue(30);
        frmConvert->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmConvert));
        shoot(frmConvert, QStringLiteral("progress"));
        frmConvert->hide();

        PowerOffCountdown countdown(60, frmMain);
        countdown.show();
        QVERIFY(QTest::qWaitForWindowExposed(&countdown));
        shoot(&countdown, QStringLiteral("countdown"));
        countdown.reject();

        // The watch window with a page whose player is smaller than the window would be.
        const QString page = m_dir.filePath("watch.html");
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<!doctype html><html><head></head><body bgcolor=\"#000000\"><center>"
                "<embed src=\"none.swf\" width=\"400\" height=\"300\" style=\"background:#4a7\"></center></body></html>");
        f.close();
        QPointer<WatchWindow> w = WatchWindow::Open(page);
        if (w) {
            QSignalSpy fitted(w.data(), &WatchWindow::playerFitted);
            QVERIFY(fitted.wait(60000));
            shoot(w, QStringLiteral("watch"), 2500);
            w->resize(w->width() + 300, w->height() + 200);
            shoot(w, QStringLiteral("watch_larger"), 2500);
            w->close();
        }

        // The wizard's second page.
        frmCustom->SetTask(frmMain->Tasks->topLevel(0)->item());
        TfrmCustom::SetPreviewEnabled(false);
        frmCustom->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmCustom));
        frmCustom->btnNextClick();
        shoot(frmCustom, QStringLiteral("wizard_page2"));
        frmCustom->closeClick();
    }
};

QTEST_MAIN(LooksScreensTest)
#include "looks_screens_test.moc"
