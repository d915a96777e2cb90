// The browser views. The keyboard never stays trapped in one: in the wizard's live preview (the Flash
// emulator takes every key its focused player is given) Tab and Shift+Tab leave the view and go
// on to the wizard's buttons, and Escape closes the wizard; the watch window closes with Escape,
// takes its player's size and keeps the player in its middle when it is made larger. The
// wizard's preview says that it is loading until its player stands.
// Runs on a display (xvfb-run ... -platform xcb): the views are real browser views.
#include "model/custom_settings.h"
#include "model/media_item.h"
#include "model/profile_catalogue.h"
#include "model/registry_key.h"
#include "model/skin_theme.h"
#include "ui/convert/watch_window.h"
#include "ui/custom/custom_form.h"
#include "ui/custom/preview_server.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/web_view_keys.h"
#include "ui/wizard_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <cmath>
#include <memory>

using namespace rm;
using namespace rm::ui;

class BrowserViewsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_program;

    static bool Inside(const QWidget* view, const QWidget* w) { return w && (w == view || view->isAncestorOf(w)); }

    // Puts the focus into the view's page, as a click on the player does.
    static void FocusThePage(QWidget* view)
    {
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view->window()));
        QWidget* target = view->focusProxy() ? view->focusProxy() : view;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
        view->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(Inside(view, QApplication::focusWidget()));
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("the browser views need a display");
        QVERIFY(m_dir.isValid());
        RegistryKey::SetStoreFile(m_dir.filePath("store.conf"));
        m_program = rmtest::wizard::MakeProgramFolder(m_dir.path());
        QVERIFY(!m_program.isEmpty());
        QVERIFY(SkinTheme::Current().Load(m_program + "Images/DefaultImage.xml"));
    }

    void cleanupTestCase()
    {
        SetProgramFolder({});
        RegistryKey::SetStoreFile({});
    }

    void tabAndEscapeLeaveTheWizardsPreview()
    {
        auto task = std::make_unique<MediaItem>();
        InitItem(*task);
        task->kind = kKindFile;
        task->settings = std::make_unique<CustomSettings>();
        ResetProcessSettings();
        ApplyProfileDefaults(FindProfileByName("normal"));
        CopyCustomSettings(*task->settings, ProfileDefaultSettings());
        task->settings->Width = 320;
        task->settings->Height = 240;
        task->settings->SwfType = 2;
        SetText(task->settings->PlayerSkinPath, "Classic_h32");
        TfrmCustom form;
        form.FillTemplateGalleries(m_program);
        form.SetDialogKeys({form.btnOK, form.btnNext}, form.close);
        TfrmCustom::SetPreviewEnabled(true);
        form.SetTask(task.get());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.btnNextClick();
        form.btnNextClick();
        QWidget* view = form.findChild<QWidget*>(QStringLiteral("webView"));
        QVERIFY(view);
        // At once a sign that the preview is coming, gone once the player stands.
        QVERIFY(form.PreviewLoadingShown());
        QTRY_VERIFY_WITH_TIMEOUT(!form.PreviewLoadingShown(), 60000);
        FocusThePage(view);
        if (QTest::currentTestFailed())
            return;

        // Tab leaves the view at once and, pressed on, reaches OK.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(!Inside(view, QApplication::focusWidget()), "Tab stayed in the preview");
        bool reachedOk = false;
        for (int i = 0; i < 80 && !reachedOk; ++i) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY2(focus, qPrintable(QStringLiteral("no focus after %1 presses").arg(i + 1)));
            QTest::keyClick(focus, Qt::Key_Tab);
            reachedOk = QApplication::focusWidget() == form.btnOK;
        }
        QVERIFY2(reachedOk, "Tab never reached OK");
        // Shift+Tab and Ctrl+Tab leave it as well.
        for (const auto& [key, mods] : {std::pair{Qt::Key_Backtab, Qt::ShiftModifier}, std::pair{Qt::Key_Tab, Qt::ControlModifier}}) {
            view->setFocus(Qt::MouseFocusReason);
            QTRY_VERIFY(Inside(view, QApplication::focusWidget()));
            QTest::keyClick(QApplication::focusWidget(), key, mods);
            QVERIFY2(!Inside(view, QApplication::focusWidget()), "the key stayed in the preview");
            QVERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == &form);
        }
        // The place Tab goes from the view is a control of the wizard's own.
        QWidget* after = WebViewKeys::NextOutside(view, true);
        QVERIFY(after && !Inside(view, after) && after->window() == &form);

        // Escape in the view closes the wizard, as its close button does.
        view->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(Inside(view, QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!form.isVisible());
        TfrmCustom::SetPreviewEnabled(false);
    }

    void escapeClosesTheWatchWindow()
    {
        const QString page = m_dir.filePath("page.html");
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<!doctype html><html><body><button>one</button><a href=\"#\">two</a></body></html>");
        f.close();
        QPointer<WatchWindow> w = WatchWindow::Open(page);
        QVERIFY(w);
        QSignalSpy loaded(w->View(), SIGNAL(loadFinished(bool)));
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(loaded.count() > 0 || loaded.wait(60000));
        FocusThePage(w->View());
        if (QTest::currentTestFailed())
            return;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!w);  // closed, and gone
    }

    void theWatchWindowFitsItsPlayer()
    {
        const QString page = m_dir.filePath("player.html");
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<!doctype html><html><head></head><body bgcolor=\"#000000\"><center>"
                "<embed src=\"none.swf\" width=\"400\" height=\"300\" style=\"background:#fff\"></center></body></html>");
        f.close();
        QPointer<WatchWindow> w = WatchWindow::Open(page);
        QVERIFY(w);
        QSignalSpy fitted(w.data(), &WatchWindow::playerFitted);
        QVERIFY(fitted.wait(60000));
        QCOMPARE(w->PlayerSize(), QSize(400, 300));
        QTRY_COMPARE(w->size(), QSize(400, 300));
        // Larger than its player: the player stands in the middle.
        w->resize(800, 600);
        auto* view = static_cast<QWebEngineView*>(w->View());
        QTRY_COMPARE(view->size(), QSize(800, 600));
        auto centred = [&] {
            // The answer comes later; it may come after this look has given up.
            auto answer = std::make_shared<std::pair<bool, QVariantList>>();
            view->page()->runJavaScript(
                QStringLiteral("(function(){var r=document.querySelector('embed').getBoundingClientRect();"
                               "return [r.left,r.top,r.width,r.height,innerWidth,innerHeight];})()"),
                [answer](const QVariant& v) {
                    answer->second = v.toList();
                    answer->first = true;
                });
            QElapsedTimer t;
            t.start();
            while (!answer->first && t.elapsed() < 5000)
                QTest::qWait(20);
            const QVariantList r = answer->second;
            return r.size() == 6 && r[4].toInt() == 800 && std::abs(r[0].toDouble() + r[2].toDouble() / 2 - 400) <= 2 &&
                   std::abs(r[1].toDouble() + r[3].toDouble() / 2 - 300) <= 2;
        };
        QTRY_VERIFY_WITH_TIMEOUT(centred(), 10000);
        w->close();
    }
};

QTEST_MAIN(BrowserViewsTest)
#include "browser_views_test.moc"
