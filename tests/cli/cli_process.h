#pragma once
// reelmaker-cli run as a user runs it, in a home of its own (never the user's settings, kept
// task list or state), with its exit status and both of its outputs.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

struct CliRun {
    int exitCode = -1;  // -1: it crashed, or did not end within its time
    QString out;
    QString err;
};

// The environment of a user whose home is `home`.
inline QProcessEnvironment CliEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.state"));
    return env;
}

// Waits for a started run (killed after `timeoutMs`) and collects what it said.
inline CliRun FinishCli(QProcess& p, int timeoutMs)
{
    CliRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    } else {
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// `reelmaker-cli ARGS` for the user whose home is `home`.
inline CliRun RunCli(const QString& home, const QStringList& args, int timeoutMs)
{
    QProcess p;
    p.setProcessEnvironment(CliEnvironment(home));
    p.start(QStringLiteral(RM_APP_DIR "/reelmaker-cli"), args);
    return FinishCli(p, timeoutMs);
}
