// The local server behind the wizard's preview and the watch window: only its own view gets
// files, only the folders it was given are served, and misbehaving clients (of this user or
// another) neither reach files nor shut the view out.
#include "ui/custom/preview_server.h"
#include "ui/foreign_client.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

using namespace rm::ui;

namespace {

void Write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

quint16 PortOf(const PreviewServer& server) { return quint16(QUrl(server.BaseUrl()).port()); }

QByteArray HostLine(const PreviewServer& server) { return "Host: 127.0.0.1:" + QByteArray::number(PortOf(server)); }

// Sends a raw request and reads until the server closes (or the time is up).
QByteArray Exchange(const PreviewServer& server, const QByteArray& raw, int ms = 4000)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, PortOf(server));
    if (!s.waitForConnected(3000))
        return "no connection";
    s.write(raw);
    QByteArray reply;
    // The server answers from this thread's event loop and closes the connection.
    QElapsedTimer t;
    t.start();
    while (s.state() != QAbstractSocket::UnconnectedState && t.elapsed() < ms) {
        QTest::qWait(5);
        reply += s.readAll();
    }
    return reply + s.readAll();
}

// A GET of path with the server's own host name.
QByteArray Get(const PreviewServer& server, const QByteArray& path, int ms = 4000)
{
    return Exchange(server, "GET " + path + " HTTP/1.1\r\n" + HostLine(server) + "\r\n\r\n", ms);
}

QByteArray Body(const QByteArray& reply)
{
    const qsizetype end = reply.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : reply.mid(end + 4);
}

// The body of a 200 reply, or "404" for anything else.
QByteArray Served(const PreviewServer& server, const QByteArray& path)
{
    const QByteArray reply = Get(server, path);
    return reply.startsWith("HTTP/1.1 200") ? Body(reply) : QByteArray("404");
}

QByteArray Base(const PreviewServer& server) { return server.BasePath().toLatin1(); }

} // namespace

class PreviewServerTest : public QObject {
    Q_OBJECT

private slots:
    // Every address carries the instance's token: without it, with another instance's or with a
    // near miss, nothing is served.
    void onlyAddressesWithTheTokenAreServed()
    {
        QTemporaryDir d;
        Write(d.filePath("root/page.html"), "inside");
        PreviewServer server, other;
        QVERIFY(server.Start(d.filePath("root")));
        QVERIFY(other.Start(d.filePath("root")));
        const QUrl base(server.BaseUrl());
        QCOMPARE(base.host(), QStringLiteral("127.0.0.1"));
        QVERIFY(base.path().startsWith(QLatin1String("/t/")));
        QVERIFY2(server.BasePath().size() >= 40, qPrintable(server.BasePath()));  // 256 random bits
        QCOMPARE(base.path(), server.BasePath());
        QVERIFY(server.BasePath() != other.BasePath());

        const QByteArray token = Base(server).mid(3).chopped(1);
        QByteArray nearMiss = token;
        nearMiss[nearMiss.size() - 1] = nearMiss.back() == 'A' ? 'B' : 'A';
        const struct { QByteArray path, want; } cases[] = {
            {Base(server) + "page.html", "inside"},
            {Base(server) + "page.html?n=3", "inside"},
            {"/page.html", "404"},
            {"/t/page.html", "404"},
            {"/t//page.html", "404"},
            {"/t/" + nearMiss + "/page.html", "404"},
            {"/t/" + token + "page.html", "404"},
            {"/t/" + token.left(token.size() - 1) + "/page.html", "404"},
            {Base(other) + "page.html", "404"},
            {"/x" + Base(server) + "page.html", "404"},
            {"http://127.0.0.1:" + QByteArray::number(PortOf(server)) + "/page.html", "404"},
        };
        for (const auto& c : cases)
            QVERIFY2(Served(server, c.path) == c.want, c.path.constData());
        QCOMPARE(Served(other, Base(other) + "page.html"), QByteArray("inside"));
    }

    // Files of the served folder only, for its own host name only; a host named twice is refused
    // whichever comes first.
    void servesItsFolderForItsOwnHostOnly()
    {
        QTemporaryDir d;
        Write(d.filePath("root/temp/page.html"), "inside");
        Write(d.filePath("secret.txt"), "secret");
        PreviewServer server;
        QVERIFY(server.Start(d.filePath("root")));
        const QByteArray own = HostLine(server);
        const QByteArray ok = Get(server, Base(server) + "temp/page.html?n=3");
        QVERIFY2(ok.startsWith("HTTP/1.1 200") && ok.endsWith("inside"), ok.constData());
        QVERIFY(ok.contains("text/html"));
        for (const QByteArray& path : {QByteArray("/../secret.txt"), QByteArray("/temp/%2e%2e/%2e%2e/secret.txt"),
                                       QByteArray("/temp/missing.swf")})
            QVERIFY2(Get(server, Base(server) + path).startsWith("HTTP/1.1 404"), path.constData());
        const QByteArray line = "GET " + Base(server) + "temp/page.html HTTP/1.1\r\n";
        QVERIFY(Exchange(server, line + "Host: evil.example:80\r\n\r\n").startsWith("HTTP/1.1 404"));
        const struct { const char* name; QByteArray head; } twice[] = {
            {"own then other", own + "\r\nHost: evil.example\r\n"},
            {"other then own", "Host: evil.example\r\n" + own + "\r\n"},
            {"own twice", own + "\r\n" + own + "\r\n"},
            {"own, then other in capitals", own + "\r\nHOST:evil.example\r\n"},
        };
        for (const auto& c : twice) {
            const QByteArray reply = Exchange(server, line + c.head + "\r\n");
            QVERIFY2(reply.startsWith("HTTP/1.1 400"), c.name);
            QVERIFY2(!reply.contains("inside"), c.name);
        }
    }

    // The "inside the folder" decision itself: a sibling whose name starts with the folder's name
    // is outside, however it is reached.
    void siblingWithTheSameNamePrefixIsOutside()
    {
        QTemporaryDir d;
        Write(d.filePath("root/page.html"), "inside");
        Write(d.filePath("root2/secret.txt"), "secret");
        Write(d.filePath("rootfile.txt"), "secret");
        QVERIFY(QFile::link(d.filePath("root2/secret.txt"), d.filePath("root/link.txt")));
        QVERIFY(QFile::link(d.filePath("root2"), d.filePath("root/dir")));
        const QString root = QFileInfo(d.filePath("root")).canonicalFilePath();
        const struct { QString path; bool inside; } decisions[] = {
            {"/page.html", true},
            {"/../root2/secret.txt", false},
            {"/../rootfile.txt", false},
            {"/link.txt", false},
            {"/dir/secret.txt", false},
            {"/../root/page.html", true},
        };
        for (const auto& c : decisions)
            QVERIFY2(PreviewServer::FileInside(root, c.path).isEmpty() != c.inside, qPrintable(c.path));

        PreviewServer server;
        QVERIFY(server.Start(d.filePath("root")));
        server.AddFallback(QStringLiteral("ruffle"), d.filePath("root"));
        for (const QByteArray& path : {QByteArray("../root2/secret.txt"), QByteArray("%2e%2e/root2/secret.txt"),
                                       QByteArray("%2E%2E%2Froot2%2Fsecret.txt"), QByteArray("../rootfile.txt"),
                                       QByteArray("link.txt"), QByteArray("dir/secret.txt"),
                                       QByteArray("ruffle/../root2/secret.txt")})
            QCOMPARE(Served(server, Base(server) + path), QByteArray("404"));
        QCOMPARE(Served(server, Base(server) + "page.html"), QByteArray("inside"));
    }

    // A result's job folder served with the program's Ruffle copy beside it: the folder's own
    // "ruffle" wins when it has one, and no path leaves either folder. The wizard's preview is
    // served the same way: its own folder and the emulator, nothing else of the program folder.
    void fallbackFolder()
    {
        QTemporaryDir d;
        Write(d.filePath("job/clip.html"), "page");
        Write(d.filePath("program/ruffle/ruffle.js"), "program ruffle");
        Write(d.filePath("program/profile/flv.xml"), "profile");
        Write(d.filePath("program/templates/orvanesample.flv"), "sample");
        Write(d.filePath("program/temp/orvane.html"), "shared preview");
        Write(d.filePath("preview/orvane.html"), "own preview");
        Write(d.filePath("own/ruffle/ruffle.js"), "own ruffle");
        Write(d.filePath("secret.txt"), "secret");
        QVERIFY(QFile::link(d.filePath("secret.txt"), d.filePath("program/ruffle/out.js")));

        PreviewServer job, own, wizard;
        QVERIFY(job.Start(d.filePath("job")));
        job.AddFallback(QStringLiteral("ruffle"), d.filePath("program/ruffle"));
        QVERIFY(own.Start(d.filePath("own")));
        own.AddFallback(QStringLiteral("ruffle"), d.filePath("program/ruffle"));
        QVERIFY(wizard.Start(d.filePath("preview")));
        wizard.AddFallback(QStringLiteral("ruffle"), d.filePath("program/ruffle"));

        const QByteArray secretAbs = QFile::encodeName(d.filePath("secret.txt"));
        const struct { PreviewServer* server; QByteArray path, want; } cases[] = {
            {&job, "clip.html", "page"},
            {&job, "ruffle/ruffle.js", "program ruffle"},
            {&own, "ruffle/ruffle.js", "own ruffle"},
            {&job, "ruffle/../secret.txt", "404"},
            {&job, "ruffle/../../secret.txt", "404"},
            {&job, "ruffle/%2e%2e/%2e%2e/secret.txt", "404"},
            {&job, "ruffle/%2E%2E%2F%2E%2E%2Fsecret.txt", "404"},
            {&job, "ruffle/" + secretAbs, "404"},
            {&job, secretAbs, "404"},
            {&job, "ruffle/out.js", "404"},
            {&job, "ruffle/", "404"},
            {&job, "ruffle/../clip.html", "404"},
            {&wizard, "orvane.html", "own preview"},
            {&wizard, "ruffle/ruffle.js", "program ruffle"},
            {&wizard, "ruffle/../profile/flv.xml", "404"},
            {&wizard, "ruffle/../templates/orvanesample.flv", "404"},
            {&wizard, "ruffle/../temp/orvane.html", "404"},
            {&wizard, "temp/orvane.html", "404"},
            {&wizard, "profile/flv.xml", "404"},
        };
        for (const auto& c : cases)
            QVERIFY2(Served(*c.server, Base(*c.server) + c.path) == c.want, c.path.constData());
        // The browser may keep the program's emulator (and its compiled code) but never a
        // preview's own file, which changes with every preview; a folder of the same name of
        // its own is its own.
        const struct { PreviewServer* server; QByteArray path, cache; } caching[] = {
            {&wizard, "ruffle/ruffle.js", "Cache-Control: private, max-age=86400\r\n"},
            {&wizard, "orvane.html", "Cache-Control: no-store\r\n"},
            {&own, "ruffle/ruffle.js", "Cache-Control: no-store\r\n"},
        };
        for (const auto& c : caching) {
            const QByteArray reply = Get(*c.server, Base(*c.server) + c.path);
            QVERIFY2(reply.left(reply.indexOf("\r\n\r\n") + 2).contains(c.cache), reply.constData());
        }
    }

    // Another user's processes get 404 for every path, the right address included, though they
    // cannot read the (0700) folder themselves; their 32 stalled connections do not keep this
    // user's view waiting.
    void anotherUserGetsNothing()
    {
        if (!rmtest::ForeignClient::Available())
            QSKIP("changing to the user nobody needs root");
        QTemporaryDir d;  // 0700
        Write(d.filePath("root/page.html"), "inside");
        Write(d.filePath("root/big.flv"), QByteArray(4 << 20, 'x'));
        Write(d.filePath("program/ruffle/ruffle.js"), "ruffle");
        PreviewServer server;
        QVERIFY(server.Start(d.filePath("root")));
        server.AddFallback(QStringLiteral("ruffle"), d.filePath("program/ruffle"));
        const QByteArray host = HostLine(server);
        QList<QByteArray> requests;
        for (const QByteArray& path :
             {Base(server) + "page.html", Base(server) + "big.flv", Base(server) + "ruffle/ruffle.js", Base(server),
              QByteArray("/page.html"), QByteArray("/"), QByteArray("/t/"), QByteArray("/ruffle/ruffle.js"),
              QByteArray("/temp/orvane.html"), QByteArray("/profile/"), QByteArray("/templates/player.swf"),
              QFile::encodeName(d.filePath("root/page.html")), Base(server) + "../../../etc/passwd"})
            for (const QByteArray& method : {QByteArray("GET"), QByteArray("HEAD")})
                requests << method + ' ' + path + " HTTP/1.1\r\n" + host + "\r\n\r\n";
        rmtest::ForeignClient nobody;
        QVERIFY(nobody.Start(PortOf(server), requests, 32));
        // Meanwhile this user's view keeps getting its files.
        int ownServed = 0;
        QElapsedTimer t;
        t.start();
        while (!(nobody.AllAnswered() && nobody.Stalling()) && !nobody.Failed() && t.elapsed() < 60000) {
            ownServed += Served(server, Base(server) + "page.html") == "inside";
            nobody.Poll();
        }
        QVERIFY(!nobody.Failed());
        QVERIFY2(nobody.Stalling(), "the other user's client did not finish");
        QVERIFY(ownServed > 0);
        const QList<QByteArray> codes = nobody.Codes();
        QCOMPARE(codes.size(), requests.size());
        for (int i = 0; i < codes.size(); ++i)
            QVERIFY2(codes[i] == "404", (codes[i] + " for " + requests[i].left(requests[i].indexOf('\r'))).constData());
        // Its connections stall now: this user's requests are answered at once, not after the
        // server's idle time freed a place.
        QVERIFY(server.OpenConnections() <= PreviewServer::kMaxPerOtherUser);
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer answered;
            answered.start();
            QCOMPARE(Served(server, Base(server) + "page.html"), QByteArray("inside"));
            QVERIFY2(answered.elapsed() < PreviewServer::kIdleMilliseconds - 1000, qPrintable(QString::number(answered.elapsed())));
        }
        // And so are as many connections of its own as the server keeps waiting at once.
        std::vector<std::unique_ptr<QTcpSocket>> mine;
        for (int i = 0; i < PreviewServer::kMaxConnections - PreviewServer::kMaxPerOtherUser; ++i) {
            mine.push_back(std::make_unique<QTcpSocket>());
            mine.back()->connectToHost(QHostAddress::LocalHost, PortOf(server));
            QVERIFY(mine.back()->waitForConnected(3000));
        }
        QTest::qWait(100);
        for (auto& s : mine)
            s->write("GET " + Base(server) + "page.html HTTP/1.1\r\n" + host + "\r\n\r\n");
        for (auto& s : mine) {
            QByteArray reply;
            QVERIFY(QTest::qWaitFor([&] { reply += s->readAll(); return reply.endsWith("inside"); }, 4000));
        }
        nobody.Finish();
    }

    // The same server against clients of this user that misbehave: idle and trickling
    // connections, more of them than it keeps, bare LF requests, HEAD, a large file that is read
    // slowly or not at all, and a link that leads out of the folder.
    void underAbuse()
    {
        QTemporaryDir d;
        Write(d.filePath("root/page.html"), "inside");
        Write(d.filePath("secret.txt"), "secret");
        QVERIFY(QFile::link(d.filePath("secret.txt"), d.filePath("root/link.txt")));
        QByteArray big(24 << 20, 'x');
        for (int i = 0; i < big.size(); i += 4096)
            big[i] = char('a' + (i / 4096) % 26);
        Write(d.filePath("root/big.flv"), big);

        PreviewServer server;
        QVERIFY(server.Start(d.filePath("root")));
        const quint16 port = PortOf(server);
        const QByteArray host = HostLine(server);
        const QByteArray base = Base(server);
        auto connectOne = [port](QTcpSocket& s) {
            s.connectToHost(QHostAddress::LocalHost, port);
            const bool ok = s.waitForConnected(3000);
            QCoreApplication::processEvents();  // the server takes it (its queue is not endless)
            return ok;
        };

        // Bare LF line ends are a request like any other.
        QCOMPARE(Body(Exchange(server, "GET " + base + "page.html HTTP/1.1\n" + host + "\n\n")), QByteArray("inside"));
        // A link inside the folder that points out of it is not served.
        QVERIFY(Get(server, base + "link.txt").startsWith("HTTP/1.1 404"));
        // HEAD: the real length, no body.
        const QByteArray head = Exchange(server, "HEAD " + base + "big.flv HTTP/1.1\r\n" + host + "\r\n\r\n");
        QVERIFY2(head.contains("Content-Length: " + QByteArray::number(big.size())), head.constData());
        QVERIFY(Body(head).isEmpty());
        // A large file arrives whole and unchanged.
        QVERIFY(Body(Get(server, base + "big.flv", 20000)) == big);

        // More idle connections than the server keeps, one trickling its request byte by byte,
        // and readers that ask for the large file and never read: a real request is still
        // answered at once, and the server closes all of them within a few seconds.
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < PreviewServer::kMaxConnections + 8; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            QVERIFY(connectOne(*idle.back()));
        }
        // The last idle connection's clock at the server starts about now; the rest of the set-up
        // may take long on a busy machine.
        QElapsedTimer sinceIdle;
        sinceIdle.start();
        QTcpSocket trickle;
        QVERIFY(connectOne(trickle));
        std::vector<std::unique_ptr<QTcpSocket>> stalled;
        for (int i = 0; i < PreviewServer::kMaxConnections; ++i) {
            stalled.push_back(std::make_unique<QTcpSocket>());
            stalled.back()->setReadBufferSize(1024);
            QVERIFY(connectOne(*stalled.back()));
            stalled.back()->write("GET " + base + "big.flv HTTP/1.1\r\n" + host + "\r\n\r\n");
        }
        QElapsedTimer answered;
        answered.start();
        QCOMPARE(Body(Get(server, base + "page.html")), QByteArray("inside"));
        QVERIFY(answered.elapsed() < PreviewServer::kIdleMilliseconds - 1000);  // not after an idle one gave way
        QElapsedTimer t;
        t.start();
        const QByteArray request = "GET " + base + "page.html HTTP/1.1\r\n" + host + "\r\n\r\n";
        int sent = 0;
        auto allClosed = [&] {
            for (const auto& s : idle)
                if (s->state() != QAbstractSocket::UnconnectedState)
                    return false;
            return trickle.state() == QAbstractSocket::UnconnectedState;
        };
        while (!allClosed() && t.elapsed() < PreviewServer::kIdleMilliseconds + 4000) {
            if (trickle.state() == QAbstractSocket::ConnectedState && sent < request.size()) {
                trickle.write(request.mid(sent++, 1));  // one byte every 200 ms
            }
            QTest::qWait(200);
        }
        QVERIFY2(allClosed(), "connections left open");
        QVERIFY(sinceIdle.elapsed() >= PreviewServer::kIdleMilliseconds - 1500);  // closed by time, not at once
        QVERIFY(!trickle.readAll().startsWith("HTTP/1.1 200"));
        // The readers that stopped are dropped once they have taken nothing for the idle time.
        // Their clocks started when the socket buffers filled, which a busy machine makes later
        // than the idle connections' start: the server is watched until it holds no connection.
        QVERIFY(QTest::qWaitFor([&] { return server.OpenConnections() == 0; },
                                PreviewServer::kIdleMilliseconds + 4000));
        // Reading now ends well short of the file.
        QTcpSocket& first = *stalled.front();
        qint64 got = 0;
        first.setReadBufferSize(0);
        t.restart();
        while (first.state() != QAbstractSocket::UnconnectedState && t.elapsed() < 5000) {
            QTest::qWait(5);
            got += first.readAll().size();
        }
        got += first.readAll().size();
        QCOMPARE(first.state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(got < big.size(), qPrintable(QString::number(got)));
    }
};

QTEST_MAIN(PreviewServerTest)
#include "preview_server_test.moc"
