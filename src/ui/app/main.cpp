// Program entry: the application, the ten windows in their order, the message loop.
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/task_drop.h"
#include "ui/toolkit/app_style.h"
#include "engines/converter/converter.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <exception>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelmaker"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane Reelmaker"));
    // The installed desktop entry and icon (both named after the application's id).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.orvane.Reelmaker"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.orvane.Reelmaker")));
    rm::ui::ApplyAppStyle(app);
    // A file-size limit fails the write (reported as a result) instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // FFmpeg's own log lines are for developers: "--verbose" shows them on standard error.
    rm::converter::setLibraryLogging(QApplication::arguments().contains(QStringLiteral("--verbose")));

    int rc = 0;
    try {
        // A theme that cannot be used may be replaced by the default one at once.
        rm::ui::CreateAppWindowsOfferingDefaultTheme([](const QString& message) {
            return QMessageBox::warning(nullptr, QStringLiteral("Information"),
                                        message + QStringLiteral("\n\nGo back to the default theme?"),
                                        QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        });
        rm::ui::frmMain->show();
        // The list the last session left comes back before anything is added to it.
        QTimer::singleShot(0, rm::ui::frmMain, [] { rm::ui::frmMain->StartKeepingTaskList(); });
        // "reelmaker FILE...": the files (and task lists) are added once the window is up (a
        // file manager's "Open with").
        const QStringList files = rm::ui::PathsFromArguments(app.arguments().mid(1));
        if (!files.isEmpty())
            QTimer::singleShot(0, rm::ui::frmMain, [files] { rm::ui::frmMain->AddPaths(files); });
        rc = app.exec();
        rm::ui::frmMain->StopKeepingTaskList();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvane Reelmaker"), QString::fromUtf8(e.what()));
        rc = 1;
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Orvane Reelmaker"), QString());
        rc = 1;
    }
    rm::ui::DestroyAppWindows();
    return rc;
}
