// The watch window plays what a run made, with no network: the page of a Flash-video output
// through the program's own emulator copy, and an MP4 output without a page through the
// browser's own player. Runs on a display (xvfb-run ... -platform xcb); outside requests are
// refused and counted, so a page that needs the internet fails here.
#include "convert/watch_targets.h"
#include "support/media_fixture.h"
#include "ui/convert/watch_window.h"
#include "ui/app/message_boxes.h"
#include "ui/custom/preview_server.h"
#include "ui/foreign_client.h"
#include "ui/picture_checks.h"
#include "ui/window_test_store.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

using namespace rm::ui;

namespace {

class OfflineInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    std::atomic<int> refused{0};
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        const QUrl u = info.requestUrl();
        if (u.scheme() == QLatin1String("data") || u.scheme() == QLatin1String("blob") ||
            u.host() == QLatin1String("127.0.0.1"))
            return;
        ++refused;
        info.block(true);
    }
};

} // namespace

class WatchWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    OfflineInterceptor m_offline;

    // Converts the source with reelmaker-cli; returns the files written below the output folder.
    QStringList Convert(const QStringList& options)
    {
        const QString out = m_dir.filePath(QStringLiteral("out%1").arg(++m_runs));
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        cli.setProcessEnvironment(env);
        // Long enough to be still playing when the picture has settled after loading.
        rmtest::FixtureSpec spec;
        spec.seconds = 15.0;
        const QString source = QString::fromStdString(rmtest::Fixture("watch_source_15s.mp4", spec));
        cli.start(QStringLiteral(RM_APP_DIR "/reelmaker-cli"),
                  QStringList{QStringLiteral("convert"), QStringLiteral("--output"), out} + options + QStringList{source});
        if (!cli.waitForFinished(120000) || cli.exitCode() != 0)
            qWarning() << cli.readAllStandardOutput() << cli.readAllStandardError();
        QStringList files;
        for (QDirIterator it(out, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << it.next();
        return files;
    }

    static QString Ending(const QStringList& files, const QString& suffix)
    {
        for (const QString& f : files)
            if (f.endsWith(suffix) && !f.contains(QLatin1String("/ruffle/")))
                return f;
        return {};
    }

    // Whether the window's picture changes within the limit (the emulator loads its parts first).
    static bool PictureMoves(QWidget* w, const QString& shot)
    {
        auto look = [&] {
            const QRect r(w->mapToGlobal(QPoint(0, 0)), w->size());
            return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
        };
        QElapsedTimer t;
        t.start();
        QImage before = look();
        int changes = 0;
        while (changes < 2 && t.elapsed() < 45000) {
            QTest::qWait(700);
            const QImage now = look();
            // Loading alone changes the picture (blank, the emulator's splash and spinner): count
            // only changes between pictures that show something.
            changes += now != before && t.elapsed() > 4000 && !rmtest::ShowsLoadingOnly(now)
                               && !rmtest::ShowsLoadingOnly(before) ? 1 : 0;
            before = now;
        }
        if (const QString out = qEnvironmentVariable("RM_WATCH_SCREENS"); !out.isEmpty())
            before.save(out + QLatin1Char('/') + shot);
        return changes >= 2;
    }

    int m_runs = 0;

    // Presses the button of that text on the message box once it is on screen (after a
    // screenshot when RM_WATCH_SCREENS names a folder).
    void pressWhenShown(const QString& button, QString& text)
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            QTimer::singleShot(50, this, [this, button, &text] { pressWhenShown(button, text); });
            return;
        }
        text = box->text();
        if (const QString out = qEnvironmentVariable("RM_WATCH_SCREENS"); !out.isEmpty()) {
            QTest::qWait(200);
            box->grab().save(out + QStringLiteral("/end_message.png"));
        }
        for (QAbstractButton* b : box->buttons())
            if (b->text().remove(u'&') == button)
                b->click();
    }

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QSKIP("the watch window's web view needs a display");
        QVERIFY(m_dir.isValid());
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath(QStringLiteral("out"))));
        // The browser engine starts with the profile: its flags first.
        PrepareWebEngineFlags();
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&m_offline);
    }

    void targetsFollowTheFiles()
    {
        const QString page = m_dir.filePath(QStringLiteral("t.html"));
        QFile f(page);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        rm::RecordWatchTarget("t", page);
        QCOMPARE(rm::WatchTargetOf("t"), page);
        QFile::remove(page);
        QVERIFY2(rm::WatchTargetOf("t").isEmpty(), "a removed output is not offered");
        rm::RecordWatchTarget("t", QString());
        QVERIFY(rm::WatchTargetOf("t").isEmpty());
        QVERIFY(!WatchWindow::Open(m_dir.filePath(QStringLiteral("missing.html"))));
    }

    // The end message offers "Watch" beside OK: only the Watch button says yes.
    void endMessageOffersWatch_data()
    {
        QTest::addColumn<QString>("press");
        QTest::addColumn<bool>("watch");
        QTest::newRow("Watch") << QStringLiteral("Watch") << true;
        QTest::newRow("OK") << QStringLiteral("OK") << false;
    }

    void endMessageOffersWatch()
    {
        QFETCH(QString, press);
        QFETCH(bool, watch);
        QString seen;
        QTimer::singleShot(0, this, [&] { pressWhenShown(press, seen); });
        QCOMPARE(ShowMessageOffering(nullptr, QStringLiteral("All conversion takes have been finished!"),
                                     QStringLiteral("Watch")),
                 watch);
        QCOMPARE(seen, QStringLiteral("All conversion takes have been finished!"));
    }

    void watchPlaysOutputsOffline_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("target");
        QTest::newRow("flash video page") << QStringList{QStringLiteral("--swf-type"), QStringLiteral("2"), QStringLiteral("--autoplay")}
                                          << QStringLiteral(".html");
        QTest::newRow("mp4 without page")
            << QStringList{QStringLiteral("--profile"), QStringLiteral("MPEG-4 Video(MP4, H.264/AAC)"), QStringLiteral("--no-swf"),
                           QStringLiteral("--no-html")}
            << QStringLiteral(".mp4");
    }

    void watchPlaysOutputsOffline()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, target);
        const QStringList files = Convert(options);
        const QString file = Ending(files, target);
        QVERIFY2(!file.isEmpty(), qPrintable(files.join(u' ')));
        QVERIFY2(!QFileInfo::exists(QFileInfo(file).dir().filePath(QStringLiteral("ruffle"))),
                 "the job folder has no emulator of its own: the window supplies it");
        m_offline.refused = 0;
        QPointer<WatchWindow> w = WatchWindow::Open(file);
        QVERIFY(w);
        QVERIFY(w->Address().startsWith(QLatin1String("http://127.0.0.1:")));
        // While it loads and plays, another user of the machine asks the window's server for
        // everything it can think of, the window's own address included, and stalls 32
        // connections.
        const QUrl address(w->Address());
        QVERIFY(address.path().startsWith(QLatin1String("/t/")));
        const QByteArray own = address.path(QUrl::FullyEncoded).toLatin1();
        const QByteArray base = own.left(own.lastIndexOf('/') + 1);
        rmtest::ForeignClient nobody;
        const bool probing = rmtest::ForeignClient::Available();
        QList<QByteArray> requests;
        for (const QByteArray& path : {own, base, base + "ruffle/ruffle.js", QByteArray("/"), QByteArray("/ruffle/ruffle.js"),
                                       QByteArray("/" + QUrl::toPercentEncoding(QFileInfo(file).fileName())),
                                       QByteArray("/reelmaker"), QByteArray("/profile/"), QByteArray("/templates/player.swf"),
                                       QFile::encodeName(file), base + "../" + QFile::encodeName(QFileInfo(file).fileName())})
            requests << "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(address.port()) + "\r\n\r\n";
        if (probing)
            QVERIFY(nobody.Start(quint16(address.port()), requests, 32));
        QVERIFY(QTest::qWaitForWindowExposed(w));
        if (probing)
            QVERIFY(QTest::qWaitFor([&] { nobody.Poll(); return nobody.Failed() || (nobody.AllAnswered() && nobody.Stalling()); }, 30000));
        const bool moves = PictureMoves(w, QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_') + ".png");
        w->close();
        QVERIFY2(moves, "the output did not play in the watch window");
        QCOMPARE(m_offline.refused.load(), 0);
        if (probing) {
            QVERIFY(!nobody.Failed());
            const QList<QByteArray> codes = nobody.Codes();
            QCOMPARE(codes.size(), requests.size());
            for (int i = 0; i < codes.size(); ++i)
                QVERIFY2(codes[i] == "404", (codes[i] + " for " + requests[i].left(requests[i].indexOf('\r'))).constData());
        }
    }
};

QTEST_MAIN(WatchWindowTest)
#include "watch_window_test.moc"
