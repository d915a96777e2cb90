// The end of a run with "Shutdown your PC" ticked while "Cancel Conversion?" is left open, with the
// real message boxes: the question closes first, the countdown comes only after a pause, with no
// button of it under the spot where "Yes" was and Cancel focused; cancelling it still shows the
// end-of-run message, and the tick is off for the next run.
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/convert/convert_form.h"
#include "ui/convert/power_off_countdown.h"
#include "ui/window_test_store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace rm::ui;

class PowerOffQuestionTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;
    int m_powerOffs = 0;

    static QRect GlobalRect(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

private slots:
    void initTestCase()
    {
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/"));
        rmtest::FixtureSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.seconds = 4.0;
        m_clip = QString::fromStdString(rmtest::Fixture("clip.mp4", spec));
        TfrmConvert::SetPowerOff([this] {
            ++m_powerOffs;
            return true;
        });
        SetBoxAnswerer({});  // the real boxes
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        TfrmConvert::SetPowerOff({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void theCountdownNeverTakesTheClickMeantForYes()
    {
        frmMain->AddFiles({m_clip});
        frmMain->CheckAllClick();
        frmConvert->ShutDown->setChecked(true);

        // What the user and the screen do, watched every 10 ms.
        QRect yes;                  // where "Yes" of "Cancel Conversion?" was
        bool asked = false;
        qint64 questionGone = -1;   // when the question left the screen
        qint64 countdownShown = -1;
        QRect now, cancel;
        bool cancelFocused = false;
        bool messageShown = false;
        QElapsedTimer clock;
        clock.start();
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            // The user presses Cancel once the run is under way, then leaves the question open.
            if (!asked && frmConvert->isVisible()) {
                asked = true;
                QTimer::singleShot(0, frmConvert, [] { frmConvert->btnCancelClick(); });
                return;
            }
            QMessageBox* question = nullptr;
            QMessageBox* finished = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box && box->isVisible() && box->text() == "Cancel Conversion?")
                    question = box;
                if (box && box->isVisible() && box->text() == "All conversion takes have been finished!")
                    finished = box;
                auto* countdown = qobject_cast<PowerOffCountdown*>(w);
                if (countdown && countdown->isVisible() && countdownShown < 0) {
                    countdownShown = clock.elapsed();
                    now = GlobalRect(countdown->PowerOffNowButton());
                    cancel = GlobalRect(countdown->CancelButton());
                    // The widget that takes the keys once the box is active (on a busy machine the
                    // box is often seen here before the window system has activated it).
                    cancelFocused = countdown->focusWidget() == countdown->CancelButton();
                    QTimer::singleShot(0, countdown->CancelButton(), &QAbstractButton::click);
                }
            }
            if (question)
                yes = GlobalRect(question->button(QMessageBox::Yes));
            else if (!yes.isEmpty() && questionGone < 0)
                questionGone = clock.elapsed();
            if (finished) {
                messageShown = true;
                finished->button(QMessageBox::Ok)->click();
            }
        });
        watch.start();
        frmMain->btnConvertClick();  // modal until the run has ended
        watch.stop();

        QVERIFY2(!yes.isEmpty(), "the question was on the screen");
        QVERIFY(questionGone >= 0);
        QVERIFY2(countdownShown >= 0, "the countdown came");
        // Only after the question had gone, and not at once.
        QVERIFY2(countdownShown - questionGone >= 500, qPrintable(QString::number(countdownShown - questionGone)));
        QVERIFY2(!now.intersects(yes) && !cancel.intersects(yes),
                 qPrintable(QStringLiteral("yes %1,%2 %3x%4; now %5,%6")
                                .arg(yes.x()).arg(yes.y()).arg(yes.width()).arg(yes.height()).arg(now.x()).arg(now.y())));
        QVERIFY(cancelFocused);
        // Cancelled: the computer stays on and the run ends with its message.
        QCOMPARE(m_powerOffs, 0);
        QVERIFY(messageShown);
        QCOMPARE(rm::TheConvertRun().cancel.load(), 0);  // the open question cancelled nothing
        // The tick was for that run only.
        QVERIFY(!frmConvert->ShutDown->isChecked());
        QVERIFY(!frmConvert->isVisible());
    }
};

QTEST_MAIN(PowerOffQuestionTest)
#include "power_off_question_test.moc"
