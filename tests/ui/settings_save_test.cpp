// The options dialog's OK when the settings cannot be written (a full disk, or a folder that
// takes no new file): the user is told what failed, the dialog stays open, and the settings file
// keeps what it held.
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/dialogs/option_form.h"
#include "ui/toolkit/image_button.h"
#include "ui/window_test_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace rm::ui;

class SettingsSaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_folder;
    bool m_mounted = false;
    QList<BoxRequest> m_boxes;

private slots:
    void initTestCase()
    {
        m_folder = m_dir.filePath("conf");
        QDir().mkpath(m_folder);
        if (::geteuid() == 0) {
            m_mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_folder}) == 0;
            if (!m_mounted)
                QSKIP("a small disk cannot be mounted here");
        }
        QTemporaryDir& dir = m_dir;
        QVERIFY(rmtest::UseWindowTestStore(dir, m_dir.filePath("out") + "/"));
        // The store on the disk that will fill up.
        QVERIFY(QFile::copy(m_dir.filePath("store.conf"), m_folder + "/store.conf"));
        rm::RegistryKey::SetStoreFile(m_folder + "/store.conf");
        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r;
            return false;
        });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        if (m_mounted)
            QProcess::execute("umount", {m_folder});
        ::chmod(QFile::encodeName(m_folder).constData(), 0700);
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void okOnAStoreThatCannotBeWrittenSaysSoAndStaysOpen()
    {
        const QString store = m_folder + "/store.conf";
        QFile before(store);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray held = before.readAll();
        before.close();

        frmOption->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmOption));
        frmOption->isWebReady->setChecked(!frmOption->isWebReady->isChecked());
        if (m_mounted) {
            QFile filler(m_folder + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray block(1024, 'x');
            while (filler.write(block) == block.size() && filler.flush()) {
            }
        } else {
            ::chmod(QFile::encodeName(m_folder).constData(), 0500);
        }
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);

        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].text.startsWith("The settings could not be saved: " + store + " cannot be written."),
                 qPrintable(m_boxes[0].text));
        QVERIFY(m_boxes[0].text.contains("The settings saved before are kept."));
        QVERIFY(frmOption->isVisible());
        QFile after(store);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), held);

        // Room again: the same OK saves and closes.
        if (m_mounted)
            QFile::remove(m_folder + "/filler");
        else
            ::chmod(QFile::encodeName(m_folder).constData(), 0700);
        m_boxes.clear();
        QVERIFY(frmOption->isRestoreList->isChecked());  // on unless turned off
        frmOption->isRestoreList->setChecked(false);
        QTest::mouseClick(frmOption->btnOK, Qt::LeftButton);
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(!frmOption->isVisible());
        QVERIFY(!rm::TheAppSettings().restoreTaskList);
        rm::RegistryKey key;
        QVERIFY(key.OpenKey(rm::RegistryKey::kSettingKey, false));
        QCOMPARE(key.ReadString("RestoreTaskList"), QStringLiteral("0"));
        QCOMPARE(rm::LoadAppSettings(rm::ProgramFolder()).restoreTaskList, false);
    }
};

QTEST_MAIN(SettingsSaveTest)
#include "settings_save_test.moc"
