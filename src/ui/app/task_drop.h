#pragma once
// Files and folders dropped on the main window, and the files of the command line: both become
// the paths Add Video would add. While something is dragged over the window, an indicator over
// the task list shows where the new rows will land (after the last row).

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

class QMimeData;

namespace rm::ui {

class TfrmMain;

// Whether a file name has a video file's extension.
bool IsVideoFileName(const QString& fileName);

// Whether a file name has a picture's extension (a still picture, or an animated GIF or PNG).
bool IsPictureFileName(const QString& fileName);

// Each path as Add Video takes it; a folder gives its video files, recursively, in name order
// (as a file manager lists them). Paths that do not exist stay (the probe refuses them).
QStringList ExpandDroppedPaths(const QStringList& paths);

// The files named on a command line (arguments without the program's name): plain paths made
// absolute, file: URLs turned into paths, options skipped ("--" ends them).
QStringList PathsFromArguments(const QStringList& arguments);

// The local files and folders a drag carries (none: the drag is not for the task list).
QStringList LocalPathsOf(const QMimeData* mime);

// What is drawn over the task list while a drag is over the window.
class DropIndicator : public QWidget {
    Q_OBJECT
public:
    explicit DropIndicator(QWidget* parent);
    // The list's place in the window, the y (window coordinates) where new rows will land and how
    // many paths the drag carries.
    void ShowFor(const QRect& listArea, int landingY, int count);
    int LandingY() const { return m_landingY; }
    QString Text() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int m_landingY = 0;
    int m_count = 0;
};

// Accepts drags of local files on the whole main window and adds what is dropped.
class TaskDropHandler : public QObject {
    Q_OBJECT
public:
    explicit TaskDropHandler(TfrmMain* window);
    DropIndicator* Indicator() const { return m_indicator; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where the rows land: under the last shown row, or at the list's top when it is empty.
    int LandingY() const;
    QRect ListArea() const;
    // How many files a drop of these paths would add (folders walked as the drop walks them);
    // worked out once per drag, not at every move.
    int CountFor(const QStringList& paths);
    TfrmMain* m_window;
    DropIndicator* m_indicator;
    QStringList m_countedPaths;
    int m_count = 0;
};

} // namespace rm::ui
