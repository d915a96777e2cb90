// The wizard's template galleries when the program folder lacks a picture: the missing file is
// reported once, the galleries keep everything else, and the wizard opens and works (at start-up
// and at the wizard's own first show alike).
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "ui/custom/custom_form.h"
#include "ui/custom/wizard_logic.h"
#include "ui/toolkit/image_button.h"
#include "ui/wizard_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace rm;
using namespace rm::ui;
namespace wz = rm::wizard;

class WizardGalleriesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;
    QStringList m_messages;

    // A copy of the built templates (a link could not lose a file of its own).
    static bool CopyTree(const QString& from, const QString& to)
    {
        QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            const QString dest = to + f.mid(from.size());
            QDir().mkpath(QFileInfo(dest).path());
            if (!QFile::copy(f, dest))
                return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = rmtest::wizard::MakeProgramFolder(m_dir.path());
        QVERIFY(!m_program.isEmpty());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
        QVERIFY(QFile::remove(m_program + "templates"));  // the link to the built ones
        QVERIFY(CopyTree(QStringLiteral(RM_APP_DIR "/templates"), m_program + "templates"));
        QVERIFY(QFile::remove(m_program + "templates/Effect/None.bmp"));
        TfrmCustom::SetPreviewEnabled(false);
        TfrmCustom::SetMessageShower([this](const QString& m) { m_messages << m; });
    }

    void cleanupTestCase()
    {
        TfrmCustom::SetMessageShower({});
        SetProgramFolder({});
        RegistryKey::SetStoreFile({});
    }

    void aMissingPictureIsReportedAndTheWizardCarriesOn_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::newRow("built at start-up") << true;
        QTest::newRow("built by the wizard's first show") << false;
    }
    void aMissingPictureIsReportedAndTheWizardCarriesOn()
    {
        QFETCH(bool, atStartUp);
        m_messages.clear();
        auto form = std::make_unique<TfrmCustom>();
        if (atStartUp)
            form->FillTemplateGalleries(m_program);  // must not throw
        auto task = std::make_unique<MediaItem>();
        InitItem(*task);
        task->kind = kKindFile;
        task->settings = std::make_unique<CustomSettings>();
        ResetProcessSettings();
        ApplyProfileDefaults(FindProfileByName("normal"));
        CopyCustomSettings(*task->settings, ProfileDefaultSettings());
        form->SetTask(task.get());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.front().contains(QStringLiteral("Effect/None.bmp")), qPrintable(m_messages.front()));
        // The rest of every gallery is there, and a choice still works.
        QVERIFY(form->FindTile(wz::kEffectGallery, "None"));
        QVERIFY(form->FindTile(wz::kEffectGallery, "Fade"));
        QVERIFY(form->FindTile(wz::kPlayerGallery, "None"));
        form->FindTile(wz::kEffectGallery, "Fade")->click();
        form->btnOKClick();
        QCOMPARE(QString(task->settings->EffectSkinPath), QStringLiteral("Fade"));
    }
};

QTEST_MAIN(WizardGalleriesTest)
#include "wizard_galleries_test.moc"
