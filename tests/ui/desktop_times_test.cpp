// Times shown where people look for them: position and length beside the trim dialog's bars and
// the crop dialog's bar on a real source, the progress window's elapsed and remaining times and
// speed during a real conversion, the arithmetic behind them, and the last chance before the
// computer is powered off at the end of a run (the power-off request itself is a fake here).
#include "convert/conver_thread.h"
#include "convert/run_clock.h"
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/window_test_store.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/convert/convert_form.h"
#include "ui/convert/power_off_countdown.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_track_bar.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <limits>

using namespace rm::ui;

class DesktopTimesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_four, m_long;
    QStringList m_boxes;
    int m_powerOffs = 0;

    rm::TaskTree* tasks() { return frmMain->Tasks; }

    // Answers the power-off countdown once it is up: Cancel or "Power off now". Returns the text
    // it showed through `shown`.
    void answerCountdown(bool powerOffNow, QString* shown)
    {
        auto* poll = new QTimer(this);
        poll->setInterval(20);
        connect(poll, &QTimer::timeout, this, [poll, powerOffNow, shown] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<PowerOffCountdown*>(w);
                if (!box || !box->isVisible())
                    continue;
                *shown = box->Text();
                (powerOffNow ? box->PowerOffNowButton() : box->CancelButton())->click();
                poll->deleteLater();
                poll->stop();
                return;
            }
        });
        poll->start();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/"));

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 4.0;
        m_four = QString::fromStdString(rmtest::Fixture("four.mp4", spec));
        // Long enough for the converter to report several times.
        spec.width = 640;
        spec.height = 480;
        spec.seconds = 12.0;
        m_long = QString::fromStdString(rmtest::Fixture("long.mp4", spec));

        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r.text;
            return false;
        });
        TfrmConvert::SetPowerOff([this] {
            ++m_powerOffs;
            return true;
        });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmConvert::SetPowerOff({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void init()
    {
        frmMain->ClearAllClick();
        m_boxes.clear();
        m_powerOffs = 0;
    }

    void theTrimDialogsBarsShowPositionAndLength()
    {
        frmMain->AddFiles({m_four});
        QVERIFY(frmClip->SetTarget(tasks(), tasks()->topLevel(0)));
        frmClip->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmClip));
        for (SkinTrackBar* b : {frmClip->TotalTrackBar, frmClip->StartTrackBar, frmClip->EndTrackBar})
            QVERIFY2(b->TimeTextShown(), qPrintable(b->objectName()));
        QVERIFY(frmClip->TotalTrackBar->TimeText().endsWith(QStringLiteral(" / 00:00:04")));
        QCOMPARE(frmClip->StartTrackBar->TimeText(), QStringLiteral("00:00:00 / 00:00:04"));
        QCOMPARE(frmClip->EndTrackBar->TimeText(), QStringLiteral("00:00:04 / 00:00:04"));
        // The dialog plays its source as it opens: the position counts with the real preview.
        QVERIFY(frmClip->Playing());
        QTRY_COMPARE_WITH_TIMEOUT(frmClip->TotalTrackBar->TimeText(), QStringLiteral("00:00:01 / 00:00:04"), 5000);
        QTest::mouseClick(frmClip->btnStop, Qt::LeftButton);
        // Moving the start bar shows the new start.
        frmClip->StartTrackBar->setValue(2);
        QCOMPARE(frmClip->StartTrackBar->TimeText(), QStringLiteral("00:00:02 / 00:00:04"));
        frmClip->done(QDialog::Rejected);
    }

    void theCropDialogsBarShowsPositionAndLength()
    {
        frmMain->AddFiles({m_four});
        frmEdit->SetItem(tasks()->topLevel(0)->item());
        frmEdit->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmEdit));
        QVERIFY(frmEdit->TotalTrackBar->TimeTextShown());
        QVERIFY(frmEdit->TotalTrackBar->TimeText().endsWith(QStringLiteral(" / 00:00:04")));
        // Playing from the start as it opens.
        QTRY_COMPARE_WITH_TIMEOUT(frmEdit->TotalTrackBar->TimeText(), QStringLiteral("00:00:01 / 00:00:04"), 5000);
        frmEdit->done(QDialog::Rejected);
    }

    void theClockEstimatesFromTheEnginesSpeed()
    {
        rm::RunClock c;
        QVERIFY(!c.Started());
        c.StartRun(100, 1000);
        c.StartOutput(40, 1000);
        QCOMPARE(c.OutputRemaining(), -1.0);  // no speed yet
        QCOMPARE(rm::RunClock::TimeText(c.RunRemaining()), std::string("--:--:--"));
        // 10 s of a 40 s output done at 2x: 15 s left of it; 30 s of the run's 100 done before it.
        c.Progress(10.0, 2.0, 40.0, 30);
        QCOMPARE(c.OutputRemaining(), 15.0);
        QCOMPARE(c.RunRemaining(), 30.0);
        QCOMPARE(c.OutputElapsedMs(6000), int64_t(5000));
        QCOMPARE(rm::RunClock::SpeedText(c.Speed()), std::string("2.0x real time"));
        QCOMPARE(rm::RunClock::SpeedText(3.16), std::string("3.2x real time"));
        QCOMPARE(rm::RunClock::TimeText(3723.2), std::string("01:02:04"));
        // Without the engine's length, the bar's maximum; nonsense from the engine counts as unknown.
        c.Progress(35.0, 0.5, 0.0, 30);
        QCOMPARE(c.OutputRemaining(), 10.0);
        // (the output's own estimate waits for a speed; the run's keeps the last one, 0.5x).
        c.Progress(36.0, std::numeric_limits<double>::quiet_NaN(), 40.0, 30);
        QCOMPARE(c.OutputRemaining(), -1.0);
        QCOMPARE(c.RunRemaining(), 68.0);
        // Past the end: nothing left, never negative.
        c.Progress(45.0, 1.0, 40.0, 70);
        QCOMPARE(c.OutputRemaining(), 0.0);
        QCOMPARE(c.RunRemaining(), 0.0);
        // A new output starts without a speed of its own and with its own elapsed time; the
        // run's estimate keeps the last speed meanwhile.
        c.Progress(40.0, 4.0, 40.0, 30);
        c.StartOutput(20, 9000);
        QCOMPARE(c.OutputRemaining(), -1.0);
        QCOMPARE(c.RunRemaining(), 17.5);  // 70 s not reported done yet, at the last 4x
        QCOMPARE(c.RunElapsedMs(9500), int64_t(8500));
        QCOMPARE(c.OutputElapsedMs(9500), int64_t(500));
        // At the end the times stop and nothing remains.
        c.Finish(10000);
        QCOMPARE(c.RunElapsedMs(20000), int64_t(9000));
        QCOMPARE(c.OutputRemaining(), 0.0);
        QCOMPARE(c.RunRemaining(), 0.0);
    }

    void aRealRunShowsElapsedRemainingAndSpeed()
    {
        frmMain->AddFiles({m_long, m_four});
        frmMain->CheckAllClick();
        struct Sample {
            double output, run;
            QString oneText, totalText;
            bool outputRunning;  // the current output's bar below its end
        };
        QList<Sample> samples;
        QTimer poll;
        poll.setInterval(25);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!frmConvert->isVisible())
                return;
            const rm::RunClock& c = frmConvert->Clock();
            if (c.RunRemaining() >= 0)
                samples << Sample{c.OutputRemaining(), c.RunRemaining(), frmConvert->OneProgress->text(),
                                  frmConvert->TotalProgress->text(),
                                  frmConvert->OneProgress->value() < frmConvert->OneProgress->maximum()};
        });
        poll.start();
        frmMain->btnConvertClick();  // modal until the run has ended
        poll.stop();
        QVERIFY2(samples.size() >= 3, qPrintable(QString::number(samples.size())));
        // The estimate is there and goes down as the run goes on.
        QVERIFY(samples.front().run > 0);
        QVERIFY2(samples.back().run < samples.front().run,
                 qPrintable(QStringLiteral("%1 -> %2").arg(samples.front().run).arg(samples.back().run)));
        int ups = 0;
        for (int i = 1; i < samples.size(); ++i)
            ups += samples[i].run > samples[i - 1].run + 0.5 ? 1 : 0;
        QVERIFY2(ups * 4 <= samples.size(), qPrintable(QString::number(ups)));
        // Both bars say it in words while an output is being written and its speed is known.
        // Once the current output's bar is full its time left is unknown until the next one
        // starts (a busy machine stays there longer), so the sample is taken from the middle of
        // the time a bar was running, not from the middle of the run.
        QList<Sample> running;
        for (const Sample& r : samples)
            if (r.outputRunning && r.output >= 0)
                running << r;
        QVERIFY2(!running.isEmpty(), "no sample while an output was being written");
        const Sample& s = running[running.size() / 2];
        for (const QString& t : {s.oneText, s.totalText}) {
            QVERIFY2(t.contains(QRegularExpression(QStringLiteral("elapsed \\d\\d:\\d\\d:\\d\\d"))), qPrintable(t));
            QVERIFY2(t.contains(QRegularExpression(QStringLiteral("left \\d\\d:\\d\\d:\\d\\d"))), qPrintable(t));
            QVERIFY2(t.contains(QRegularExpression(QStringLiteral("\\d+\\.\\dx real time"))), qPrintable(t));
        }
        QVERIFY(s.oneText.startsWith(QStringLiteral("Current")));
        QVERIFY(s.totalText.startsWith(QStringLiteral("Total")));
        QCOMPARE(m_boxes, QStringList({"All conversion takes have been finished!"}));
    }

    void theCountdownCountsAndEndsOnItsOwn()
    {
        PowerOffCountdown box(2);
        QCOMPARE(box.Text(), QStringLiteral("The computer will power off in 2 seconds."));
        QCOMPARE(box.SecondsLeft(), 2);
        // Enter keeps the computer on.
        QVERIFY(box.CancelButton()->isDefault());
        QString sawOne;
        QTimer::singleShot(1400, &box, [&] { sawOne = box.Text(); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(box.exec(), int(QDialog::Accepted));
        QVERIFY(t.elapsed() >= 1900);
        QCOMPARE(sawOne, QStringLiteral("The computer will power off in 1 second."));
        // Escape is Cancel.
        PowerOffCountdown other(60);
        QTimer::singleShot(50, &other, [&] { QTest::keyClick(&other, Qt::Key_Escape); });
        QCOMPARE(other.exec(), int(QDialog::Rejected));
    }

    void theEndOfARunGivesALastChanceBeforePowerOff()
    {
        struct Case {
            const char* what;
            bool powerOffNow;
            int powerOffs;
        };
        for (const Case& k : {Case{"cancel", false, 0}, Case{"power off now", true, 1}}) {
            init();
            frmConvert->ResetProgress();
            frmConvert->show();
            QVERIFY(QTest::qWaitForWindowExposed(frmConvert));
            rm::TheConvertRun().cancel.store(0);
            frmConvert->ShutDown->setChecked(true);
            QString shown;
            answerCountdown(k.powerOffNow, &shown);
            frmConvert->WMConvertDone();
            QCOMPARE(shown, QStringLiteral("The computer will power off in 60 seconds."));
            QVERIFY2(m_powerOffs == k.powerOffs, k.what);
            QVERIFY2(!frmConvert->isVisible(), k.what);
            // Powering off ends it there; a cancelled countdown ends the run as any other, with
            // its finish message.
            if (k.powerOffNow)
                QVERIFY2(m_boxes.isEmpty(), k.what);
            else
                QCOMPARE(m_boxes, QStringList{QStringLiteral("All conversion takes have been finished!")});
        }
        frmConvert->ShutDown->setChecked(false);
    }

    // A picture of the countdown box, for a person to look at.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        ApplyAppStyle(*qApp);
        PowerOffCountdown box(60);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::qWait(1100);
        QVERIFY(box.grab().save(dir + "/power_off_countdown.png"));
    }
};

QTEST_MAIN(DesktopTimesTest)
#include "desktop_times_test.moc"
