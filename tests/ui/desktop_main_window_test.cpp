// The main window as people use desktop programs today: files and folders dropped on it (with the
// indicator while dragging) and named on the command line, the note about skipped files, the task
// list's keys, Enter and Escape in the dialogs, names and tool tips of every picture button (read
// through the accessibility interface), the Tab order, the preview's time text on a real source,
// the mark of edited rows, and a window that grows, maximises and comes back where it was left.
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "support/source_fixtures.h"
#include "ui/window_test_store.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_drop.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/option_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/duration_edit.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skin_track_bar.h"
#include "ui/toolkit/transient_note.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <unistd.h>

using namespace rm::ui;
using rm::TaskNode;

class DesktopMainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_a, m_b;  // 3 s and 1 s videos
    QStringList m_chosen;
    QStringList m_boxes;
    QList<QDialog*> m_modals;

    rm::TaskTree* tasks() { return frmMain->Tasks; }
    TaskListView* view() { return frmMain->TaskView; }
    QString nameOf(int row) { return tasks()->index(row, 0).data().toString(); }
    QStringList names()
    {
        QStringList out;
        for (int r = 0; r < tasks()->topLevelCount(); ++r)
            out << nameOf(r);
        return out;
    }

    QString writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    QString copyOf(const QString& source, const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile::remove(path);
        QFile::copy(source, path);
        return path;
    }

    // A drag of local files over the window: enter at a point, then the drop there.
    static QMimeData* mimeOf(const QStringList& paths)
    {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime->setUrls(urls);
        return mime;
    }
    static bool dragEnter(QWidget* target, const QPoint& at, QMimeData* mime)
    {
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        return enter.isAccepted();
    }
    static void drop(QWidget* target, const QPoint& at, QMimeData* mime)
    {
        QDropEvent dropEvent(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
    }

    // Every control of the window lies inside it.
    static QStringList outside(QWidget* window)
    {
        QStringList out;
        for (QObject* o : window->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w->isWindow() || w->isHidden())
                continue;
            if (!window->rect().contains(w->geometry()))
                out << w->objectName() + QStringLiteral("(%1,%2 %3x%4 in %5x%6)")
                                            .arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height())
                                            .arg(window->width()).arg(window->height());
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/"));

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 3.0;
        m_a = QString::fromStdString(rmtest::Fixture("alpha.mp4", spec));
        spec.seconds = 1.0;
        m_b = QString::fromStdString(rmtest::Fixture("bravo.mp4", spec));

        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r.text;
            return true;
        });
        TfrmMain::SetFilesChooser([this](QWidget*) { return m_chosen; });
        TfrmMain::SetModalRunner([this](QDialog* d) {
            m_modals << d;
            return int(QDialog::Accepted);
        });
        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetFilesChooser({});
        TfrmMain::SetModalRunner({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    void init()
    {
        frmMain->ClearAllClick();
        frmMain->SkippedNote->hide();
        m_boxes.clear();
        m_modals.clear();
    }

    void droppedFilesAndAFolderAreAddedInNameOrderWithAnIndicatorWhileDragging()
    {
        // A folder as a camera or a download leaves it: videos in sub-folders, other files, a
        // file with a video's name that is no video.
        const QString folder = m_dir.filePath("holiday");
        copyOf(m_b, folder + "/b-beach.mp4");
        copyOf(m_b, folder + "/A-arrival.mp4");
        copyOf(m_a, folder + "/day2/c-castle.avi.mp4");
        writeFile(folder + "/notes.txt", "remember the tickets");
        writeFile(folder + "/day2/broken.mkv", "not a video at all");
        const QString single = copyOf(m_a, m_dir.filePath("single.mp4"));

        QMimeData* mime = mimeOf({single, folder});
        const QPoint over = frmMain->NodeTree->geometry().center();
        QVERIFY(dragEnter(frmMain, over, mime));
        // While dragging, the indicator covers the (still hidden) list and marks its top.
        DropIndicator* indicator = frmMain->DropHandler()->Indicator();
        QVERIFY(indicator->isVisible());
        QCOMPARE(indicator->geometry(), frmMain->NodeTree->geometry());
        QVERIFY(indicator->LandingY() <= frmMain->NodeTree->geometry().top() + 40);
        // It counts what the drop adds: the folder's three videos and the single one, not the
        // two things dropped nor the file that only has a video's name.
        QCOMPARE(indicator->Text(), QStringLiteral("Drop to add 4 items to the task list"));
        drop(frmMain, over, mime);
        QVERIFY(!indicator->isVisible());
        QTRY_COMPARE(tasks()->topLevelCount(), 4);
        QCOMPARE(names(), QStringList({"single.mp4", "A-arrival.mp4", "b-beach.mp4", "c-castle.avi.mp4"}));
        QVERIFY(frmMain->NodeTree->isVisible());
        // The broken file was probed and skipped, the text file never offered.
        QVERIFY(frmMain->SkippedNote->isVisible());
        QCOMPARE(frmMain->SkippedNote->text(), QStringLiteral("1 file skipped: not a video"));

        // With rows in the list, the indicator marks the place under the last row.
        QMimeData* more = mimeOf({m_b});
        QVERIFY(dragEnter(frmMain, over, more));
        const QRect lastRow = view()->visualRect(tasks()->index(3, 0));
        const int underLast = view()->viewport()->mapTo(frmMain, lastRow.bottomLeft()).y();
        QVERIFY2(std::abs(indicator->LandingY() - underLast) <= 2, qPrintable(QString::number(indicator->LandingY())));
        QCOMPARE(indicator->Text(), QStringLiteral("Drop to add it to the task list"));
        QDragLeaveEvent leave;
        QApplication::sendEvent(frmMain, &leave);
        QVERIFY(!indicator->isVisible());
        delete more;
        delete mime;

        // A drag of plain text is not taken.
        QMimeData text;
        text.setText(QStringLiteral("hello"));
        QVERIFY(!dragEnter(frmMain, over, &text));
        QVERIFY(!indicator->isVisible());
    }

    void stillPicturesAreRefusedByNameDroppedAloneOrInAFolder()
    {
        const QString photo = QString::fromStdString(
            rmtest::sources::Made("drop-photo.jpg", "-f lavfi -i testsrc2=s=160x120:r=10:d=1 -frames:v 1"));
        const QString gif =
            QString::fromStdString(rmtest::sources::Made("drop-moving.gif", "-f lavfi -i testsrc2=s=160x120:r=10:d=1"));
        QVERIFY(!photo.isEmpty() && !gif.isEmpty());
        const QPoint over = frmMain->NodeTree->geometry().center();

        // Dropped by itself: no row, and the note names it.
        QMimeData* alone = mimeOf({photo});
        QVERIFY(dragEnter(frmMain, over, alone));
        drop(frmMain, over, alone);
        QTRY_VERIFY(frmMain->SkippedNote->isVisible());
        QCOMPARE(frmMain->SkippedNote->text(), QStringLiteral("drop-photo.jpg is a still picture, not a video"));
        QCOMPARE(tasks()->topLevelCount(), 0);
        delete alone;

        // Inside a dropped folder, the same rule: the still is named, the animated GIF is a video.
        frmMain->SkippedNote->hide();
        const QString folder = m_dir.filePath("camera-roll");
        copyOf(m_a, folder + "/clip.mp4");
        copyOf(photo, folder + "/IMG_0001.jpg");
        copyOf(photo, folder + "/more/IMG_0002.jpg");
        copyOf(gif, folder + "/moving.gif");
        writeFile(folder + "/broken.mkv", "not a video at all");
        QMimeData* mime = mimeOf({folder});
        QVERIFY(dragEnter(frmMain, over, mime));
        drop(frmMain, over, mime);
        QTRY_COMPARE(tasks()->topLevelCount(), 2);
        QCOMPARE(names(), QStringList({"clip.mp4", "moving.gif"}));
        QCOMPARE(frmMain->SkippedNote->text(),
                 QStringLiteral("IMG_0001.jpg and 1 more are still pictures, not videos\n1 file skipped: not a video"));
        delete mime;
    }

    void aDroppedTooLongPathStopsLikeAddVideo()
    {
        QString deep = m_dir.path();
        while (deep.size() < 230)
            deep += QStringLiteral("/folder_of_videos");
        const QString longPath = copyOf(m_b, deep + "/clip.mp4");
        QMimeData* mime = mimeOf({m_a, longPath, m_b});
        // A drop always follows the drag's entry (the application sends it to where that went).
        QVERIFY(dragEnter(frmMain, frmMain->rect().center(), mime));
        drop(frmMain, frmMain->rect().center(), mime);
        QTRY_COMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes.front(), QStringLiteral("Can't load the file,Its name is too lang!") + longPath);
        QCOMPARE(tasks()->topLevelCount(), 1);
        delete mime;
    }

    void commandLineFilesAreAddedAtStart()
    {
        // What main() hands over: relative paths, file: URLs and options as a launcher gives them.
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(QFileInfo(m_a).path());
        const QStringList given = PathsFromArguments(
            {QStringLiteral("-style"), QFileInfo(m_a).fileName(), QUrl::fromLocalFile(m_b).toString(),
             QStringLiteral("--"), QStringLiteral("-dash.mp4")});
        QDir::setCurrent(cwd);
        QCOMPARE(given, QStringList({QDir::toNativeSeparators(m_a), QDir::toNativeSeparators(m_b),
                                     QDir::toNativeSeparators(QFileInfo(m_a).path() + "/-dash.mp4")}));
        frmMain->AddPaths(given);
        QCOMPARE(names(), QStringList({"alpha.mp4", "bravo.mp4"}));
        QCOMPARE(frmMain->SkippedNote->text(), QStringLiteral("1 file skipped: not a video"));
    }

    void theSkippedNoteGoesAwayByItselfAndAddVideoOffersAllFiles()
    {
        const QString t1 = writeFile(m_dir.filePath("one.mp4"), "text");
        const QString t2 = writeFile(m_dir.filePath("two.avi"), "more text");
        m_chosen = {t1, m_a, t2};
        frmMain->addFileClick();
        QCOMPARE(tasks()->topLevelCount(), 1);
        QVERIFY(m_boxes.isEmpty());  // no message box for skipped files
        TransientNote* note = frmMain->SkippedNote;
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QStringLiteral("2 files skipped: not a video"));
        QVERIFY(frmMain->rect().contains(note->geometry()));
        QTRY_VERIFY_WITH_TIMEOUT(!note->isVisible(), 8000);
        // Nothing skipped: no note.
        m_chosen = {m_b};
        frmMain->addFileClick();
        QVERIFY(!note->isVisible());
    }

    void theTaskListKeys()
    {
        frmMain->AddFiles({m_a, m_b, m_a});
        view()->setFocus();
        frmMain->SelectOnly(tasks()->topLevel(1));
        // Space toggles the focused row's check box.
        const QModelIndex check = tasks()->index(1, 0);
        const int before = check.data(Qt::CheckStateRole).toInt();
        QTest::keyClick(view(), Qt::Key_Space);
        QVERIFY(check.data(Qt::CheckStateRole).toInt() != before);
        QTest::keyClick(view(), Qt::Key_Space);
        QCOMPARE(check.data(Qt::CheckStateRole).toInt(), before);
        // F2 edits the destination; the editor shows the bare name and keeps out '?'.
        QTest::keyClick(view(), Qt::Key_F2);
        QVERIFY(frmMain->KeyPreview());
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : view()->findChildren<QLineEdit*>(QStringLiteral("DestinationEditor")))
            if (e->isVisible())
                editor = e;
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("bravo"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("bea?ch"));
        QCOMPARE(editor->text(), QStringLiteral("beach"));
        QTest::keyClick(editor, Qt::Key_Return);  // the editor commits on the next turn of the loop
        QTRY_COMPARE(tasks()->index(1, 3).data().toString(), QStringLiteral("beach.flv"));
        QVERIFY(!frmMain->KeyPreview());
        // Enter plays the selected row's preview (and again pauses it).
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Return);
        QVERIFY(frmMain->PreviewPlaying());
        QTest::keyClick(view(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!frmMain->PreviewPlaying());
        // Ctrl+A selects every row; Delete removes the selection as the menu does.
        QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(frmMain->SelectedNodes().size(), size_t(3));
        frmMain->SelectOnly(tasks()->topLevel(0));
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(names(), QStringList({"bravo.mp4", "alpha.mp4"}));
        QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(tasks()->topLevelCount(), 0);
    }

    // Delete leaves the row after the deleted ones selected (the one before at the end), so it
    // can be pressed again; the emptied list's preview reads nothing. Shift+F10 and the Menu key
    // open the context menu.
    void deletingFromTheKeyboardAndTheMenuKeys()
    {
        frmMain->AddFiles({m_a, m_b, m_a, m_b});
        QCOMPARE(tasks()->topLevelCount(), 4);
        frmMain->activateWindow();
        view()->setFocus();
        for (const auto& [key, mods] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
            frmMain->SelectOnly(tasks()->topLevel(2));
            QTest::keyClick(view(), key, mods);
            QTRY_VERIFY(frmMain->Edit_Menu->isVisible());
            // At the focused row.
            const QRect row = view()->visualRect(tasks()->index(2, 0));
            const QPoint at = view()->viewport()->mapFromGlobal(frmMain->Edit_Menu->pos());
            QVERIFY2(std::abs(at.y() - row.center().y()) <= row.height(), qPrintable(QString::number(at.y())));
            frmMain->Edit_Menu->hide();
        }
        const QString third = QString::fromUtf8(tasks()->topLevel(2)->item()->outputBaseName);
        frmMain->SelectOnly(tasks()->topLevel(1));
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(tasks()->topLevelCount(), 3);
        QCOMPARE(frmMain->SelectedNodes().size(), size_t(1));
        QCOMPARE(QString::fromUtf8(frmMain->SelectedNodes().front()->item()->outputBaseName), third);
        QVERIFY(frmMain->btnPlay->isEnabled());  // the buttons follow the new selection
        // The last row: the one before it takes the selection.
        frmMain->SelectOnly(tasks()->topLevel(2));
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(tasks()->topLevelCount(), 2);
        QCOMPARE(QString::fromUtf8(frmMain->SelectedNodes().front()->item()->outputBaseName), third);
        QTest::keyClick(view(), Qt::Key_Delete);
        QTest::keyClick(view(), Qt::Key_Delete);
        QCOMPARE(tasks()->topLevelCount(), 0);
        QCOMPARE(frmMain->MainTrackBar->TimeText(), QStringLiteral("00:00:00 / 00:00:00"));
        // ClearAll does the same.
        frmMain->AddFiles({m_a});
        QCOMPARE(frmMain->MainTrackBar->TimeText(), QStringLiteral("00:00:00 / 00:00:03"));
        frmMain->ClearAllClick();
        QCOMPARE(frmMain->MainTrackBar->TimeText(), QStringLiteral("00:00:00 / 00:00:00"));
    }

    // A file that is there but cannot be read says why, in the note about skipped files.
    void anUnreadableFileSaysWhy()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser reads every file");
        const QString locked = copyOf(m_b, m_dir.filePath("locked.mp4"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
        frmMain->AddFiles({locked, m_a});
        QCOMPARE(names(), QStringList({"alpha.mp4"}));
        QCOMPARE(frmMain->SkippedNote->text(), QStringLiteral("1 file skipped: cannot be read: permission denied"));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void dialogsTakeEnterAsOkAndEscapeAsCancel()
    {
        struct Case {
            const char* what;
            SkinnedForm* dialog;
            int key;
            int result;
        };
        const Case cases[] = {
            {"about, Enter", frmAbout, Qt::Key_Return, QDialog::Accepted},
            {"about, Escape", frmAbout, Qt::Key_Escape, QDialog::Accepted},  // its only button
            {"options, Escape", frmOption, Qt::Key_Escape, QDialog::Rejected},
            {"options, Enter", frmOption, Qt::Key_Return, QDialog::Accepted},
            {"properties, Escape", frmPro, Qt::Key_Escape, QDialog::Accepted},  // OK and close alike
            {"properties, Enter", frmPro, Qt::Key_Enter, QDialog::Accepted},
        };
        for (const Case& k : cases) {
            k.dialog->setResult(-1);
            k.dialog->show();
            QVERIFY2(QTest::qWaitForWindowExposed(k.dialog), k.what);
            k.dialog->activateWindow();
            QTest::keyClick(k.dialog, Qt::Key(k.key));
            QVERIFY2(!k.dialog->isVisible(), k.what);
            QVERIFY2(k.dialog->result() == k.result, k.what);
        }
        // The main window is no dialog: Escape leaves it open.
        QTest::keyClick(frmMain, Qt::Key_Escape);
        QVERIFY(frmMain->isVisible());
        // The progress window's Escape is its Cancel: it asks.
        frmConvert->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmConvert));
        TfrmConvert::SetPowerOff([] { return true; });
        QTest::keyClick(frmConvert, Qt::Key_Escape);
        QCOMPARE(m_boxes, QStringList({"Cancel Conversion?"}));
        frmConvert->hide();
        TfrmConvert::SetPowerOff({});
    }

    void everyPictureButtonHasAToolTipAndAnAccessibleName()
    {
        QStringList missing;
        int seen = 0;
        for (QWidget* window : std::initializer_list<QWidget*>{frmMain, frmEdit, frmClip, frmCustom, frmConvert, frmPro,
                                                              frmAbout, frmOption, frmDVD}) {
            for (ImageButton* b : window->findChildren<ImageButton*>()) {
                ++seen;
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
                const QString name = a ? a->text(QAccessible::Name) : QString();
                if (name.trimmed().isEmpty() || b->toolTip().trimmed().isEmpty())
                    missing << window->objectName() + "." + b->objectName();
                if (a)
                    QVERIFY(a->role() == QAccessible::Button || a->role() == QAccessible::CheckBox);
            }
        }
        QVERIFY(seen > 60);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
        // What they say: the caption where there is one, otherwise what the button does.
        auto nameOf = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
        QCOMPARE(nameOf(frmMain->btnPhoto), QStringLiteral("Snapshot"));
        QCOMPARE(nameOf(frmMain->addFile), QStringLiteral("Add Video"));
        QCOMPARE(nameOf(frmMain->close), QStringLiteral("Close"));
        QCOMPARE(frmMain->btnConvert->toolTip(), QStringLiteral("Convert"));
        QCOMPARE(nameOf(frmClip->btnTrimStart), QStringLiteral("Start the segment here"));
    }

    void tabFollowsTheLayoutAndFocusIsVisible()
    {
        frmMain->AddFiles({m_a});
        frmMain->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frmMain));
        frmMain->addFile->setFocus(Qt::TabFocusReason);
        QWidget* expected[] = {frmMain->addDVD, frmMain->addDVDList, frmMain->customize, frmMain->option,
                               frmMain->btnHelp, view(), frmMain->edit, frmMain->clip, frmMain->merge, frmMain->slide,
                               frmMain->MainTrackBar, frmMain->btnPlay};
        for (QWidget* w : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(QApplication::focusWidget() == w, qPrintable(QApplication::focusWidget()
                                                                     ? QApplication::focusWidget()->objectName()
                                                                     : QStringLiteral("none")));
        }
        // A focused picture button shows a ring in the highlight colour.
        ImageButton* play = frmMain->btnPlay;
        const QImage look = play->grab().toImage();
        play->clearFocus();
        const QImage plain = play->grab().toImage();
        QVERIFY(look != plain);
        // Space and Enter press a focused button.
        play->setFocus(Qt::TabFocusReason);
        QTest::keyClick(play, Qt::Key_Return);
        QVERIFY(frmMain->PreviewPlaying());
        QTest::keyClick(play, Qt::Key_Space);
        QVERIFY(!frmMain->PreviewPlaying());
        frmMain->btnStopClick();
    }

    void thePreviewBarShowsPositionAndLength()
    {
        frmMain->AddFiles({m_a});
        SkinTrackBar* bar = frmMain->MainTrackBar;
        QVERIFY(bar->TimeTextShown());
        QCOMPARE(bar->TimeText(), QStringLiteral("00:00:00 / 00:00:03"));
        // The groove leaves the text its room: the knob at the end stays left of it.
        QVERIFY(bar->KnobCentre(bar->maximum()) < bar->TrackWidth());
        frmMain->btnPlay->click();
        QTRY_COMPARE_WITH_TIMEOUT(bar->TimeText(), QStringLiteral("00:00:01 / 00:00:03"), 5000);
        frmMain->btnStop->click();
    }

    // One rule for every display of a length: a source that starts late and ends at a fraction
    // of a second reads the same in the list, the preview's bar and the trim dialog, and a
    // segment to its end reads it too.
    void everyLengthDisplayAgrees_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("ffmpeg");
        QTest::addColumn<QString>("length");
        // A transport stream (as cameras write them) whose first picture comes late.
        QTest::newRow("9.984 s from 1.93 s") << "late-9984.ts"
                                             << "-f lavfi -i testsrc2=s=160x120:r=125:d=9.984 -c:v mpeg4 -output_ts_offset 0.53"
                                             << "00:00:10";
        QTest::newRow("4.05 s") << "short-405.mp4" << "-f lavfi -i testsrc2=s=160x120:r=20:d=4.05 -c:v mpeg4" << "00:00:05";
    }
    void everyLengthDisplayAgrees()
    {
        QFETCH(QString, file);
        QFETCH(QString, ffmpeg);
        QFETCH(QString, length);
        const QString path = QString::fromStdString(rmtest::sources::Made(file.toStdString(), ffmpeg.toStdString()));
        QVERIFY(!path.isEmpty());
        frmMain->AddFiles({path});
        QCOMPARE(tasks()->topLevelCount(), 1);
        TaskNode* node = tasks()->topLevel(0);
        const double real = node->item()->media->duration;
        QVERIFY2(real > node->item()->media->durationSeconds, qPrintable(QString::number(real)));  // a fraction

        // The list.
        QCOMPARE(tasks()->index(0, rm::TaskTree::ColOriginalLength).data().toString(), length);
        QCOMPARE(tasks()->index(0, rm::TaskTree::ColTrimmedLength).data().toString(), length);
        // The preview's bar, at its start and at its end.
        SkinTrackBar* bar = frmMain->MainTrackBar;
        QCOMPARE(bar->TimeText(), QStringLiteral("00:00:00 / ") + length);
        bar->setValue(bar->maximum());
        QCOMPARE(bar->TimeText(), length + QStringLiteral(" / ") + length);
        bar->setValue(0);

        // The trim dialog: its bars, its list and its end picker.
        QVERIFY(frmClip->SetTarget(tasks(), node));
        frmClip->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmClip));
        QVERIFY(frmClip->TotalTrackBar->TimeText().endsWith(QStringLiteral(" / ") + length));
        QCOMPARE(frmClip->EndTrackBar->TimeText(), length + QStringLiteral(" / ") + length);
        QCOMPARE(frmClip->ClipNodeTree->topLevelItem(0)->text(2), length);  // "End Time"
        QCOMPARE(frmClip->ClipNodeTree->topLevelItem(0)->text(3), length);  // "Duration"
        QCOMPARE(frmClip->EndTime->text(), length);
        // Nothing changed: Escape closes without a question.
        frmClip->activateWindow();
        QTest::keyClick(frmClip, Qt::Key_Escape);
        QTRY_VERIFY(!frmClip->isVisible());
        QVERIFY(m_boxes.isEmpty());

        // A segment to the end, saved: the list's segment row and the bar for it agree.
        QVERIFY(frmClip->SetTarget(tasks(), node));
        frmClip->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmClip));
        frmClip->StartTrackBar->setValue(1);  // a change: Escape now asks (and Yes saves)
        frmClip->activateWindow();
        QTest::keyClick(frmClip, Qt::Key_Escape);
        QTRY_VERIFY(!frmClip->isVisible());
        QCOMPARE(m_boxes, QStringList{QStringLiteral("Do you want to save changes?")});
        QCOMPARE(node->childCount(), 1);
        const QModelIndex segment = tasks()->indexOf(node->child(0), rm::TaskTree::ColTrimmedLength);
        const int whole = node->item()->media->durationSeconds;
        QCOMPARE(segment.data().toString(),
                 QString::fromStdString(rm::DurationToText(float(real - 1.0))));  // from 1 s to the real end
        frmMain->SelectOnly(node->child(0));
        QCOMPARE(bar->maximum(), whole - 1);
        QCOMPARE(bar->TimeText(), QStringLiteral("00:00:00 / ") + segment.data().toString());
    }

    void editedRowsCarryAMarkAndCutOffNamesShowTheirPath()
    {
        const QString longName =
            copyOf(m_b, m_dir.filePath("a_rather_long_name_for_a_holiday_video_of_the_beach.mp4"));
        frmMain->AddFiles({m_a, longName});
        auto* delegate = static_cast<TaskListDelegate*>(view()->itemDelegate());
        const QModelIndex first = tasks()->index(0, 0), second = tasks()->index(1, 0);
        QStyleOptionViewItem option;
        option.initFrom(view()->viewport());
        option.widget = view();
        option.rect = view()->visualRect(first);
        QVERIFY(!TaskListDelegate::HasMark(first));
        QCOMPARE(delegate->ToolTipFor(option, first), QString());
        // Crop and effects set on the first task.
        rm::MediaItem* item = tasks()->topLevel(0)->item();
        item->crop->top = 8;
        item->crop->bottom = 8;
        item->effects->brightness = 20;
        item->effects->colourEffect = 1;
        QVERIFY(TaskListDelegate::HasMark(first));
        const QStringList edits({"Crop: top 8, bottom 8, left 0, right 0", "Brightness: 20", "Effect: Gray"});
        view()->header()->resizeSection(0, 300);
        option.rect = view()->visualRect(first);
        QCOMPARE(delegate->ToolTipFor(option, first).split(QLatin1Char(10)), edits);
        // A column too narrow for the name and the mark: the path comes first.
        view()->header()->resizeSection(0, 100);
        option.rect = view()->visualRect(first);
        QCOMPARE(delegate->ToolTipFor(option, first).split(QLatin1Char(10)),
                 QStringList({QDir::toNativeSeparators(m_a)}) + edits);
        view()->header()->resizeSection(0, 300);
        option.rect = view()->visualRect(first);
        // The mark is painted at the right of the name.
        const QImage row = view()->viewport()->grab(view()->visualRect(first)).toImage();
        const QRect mark = TaskListDelegate::MarkRect(QRect(QPoint(0, 0), view()->visualRect(first).size()));
        QCOMPARE(row.pixelColor(mark.center()).red() > 150 || row.pixelColor(mark.left() + 2, mark.center().y()).red() > 150,
                 true);
        // A name cut off by the row or the column shows the full path.
        option.rect = view()->visualRect(second);
        QCOMPARE(delegate->ToolTipFor(option, second), QDir::toNativeSeparators(longName));
    }

    void theWindowGrowsMaximisesAndKeepsItsControlsInside()
    {
        frmMain->AddFiles({m_a, m_b});
        const QSize designed(frmMain->WindowWidth(), frmMain->WindowHeight());
        QCOMPARE(frmMain->size(), designed);           // the theme's size is the default
        QCOMPARE(frmMain->minimumSize(), designed);    // and the least
        const QRect list0 = frmMain->NodeTree->geometry(), preview0 = frmMain->MainPlayPanel->geometry();
        const QRect convert0 = frmMain->btnConvert->geometry(), close0 = frmMain->close->geometry();
        const QRect add0 = frmMain->addFile->geometry(), edit0 = frmMain->edit->geometry();
        const int columns0 = view()->header()->length();

        frmMain->resize(designed + QSize(400, 250));
        QCOMPARE(frmMain->size(), designed + QSize(400, 250));
        QVERIFY2(outside(frmMain).isEmpty(), qPrintable(outside(frmMain).join(", ")));
        // The list and the preview grow, in proportion to their widths, and both take the height.
        const QRect list1 = frmMain->NodeTree->geometry(), preview1 = frmMain->MainPlayPanel->geometry();
        QCOMPARE(list1.width() - list0.width() + preview1.width() - preview0.width(), 400);
        QVERIFY(list1.width() > list0.width() + 200 && preview1.width() > preview0.width() + 100);
        QCOMPARE(list1.height(), list0.height() + 250);
        QCOMPARE(preview1.height(), preview0.height() + 250);
        QCOMPARE(frmMain->PreviewSize(), preview1.size());
        // The buttons keep their places along the edges.
        QCOMPARE(frmMain->addFile->geometry(), add0);
        QCOMPARE(frmMain->close->geometry(), close0.translated(400, 0));
        QCOMPARE(frmMain->btnConvert->geometry(), convert0.translated(400, 250));
        QCOMPARE(frmMain->edit->geometry(), edit0.translated(0, 250));
        QVERIFY(frmMain->MainTrackBar->geometry().top() > preview1.bottom());
        QCOMPARE(frmMain->MainTrackBar->width(), preview1.width());
        // The columns fill the list's width: the source's name takes what the others leave.
        QTRY_COMPARE(view()->header()->length(), view()->viewport()->width());
        QVERIFY(view()->header()->length() > columns0);
        QCOMPARE(view()->header()->sectionSize(1), 110);
        QCOMPARE(view()->header()->sectionSize(2), 120);
        QCOMPARE(view()->header()->sectionSize(3), 120);
        // The background grows without blurring: the corner of the list's box is where the list is.
        const QImage bg = frmMain->MainPanel->grab().toImage();
        QVERIFY(bg.pixelColor(list1.right() + 8, list1.center().y()) != bg.pixelColor(list1.right() - 30, list1.center().y()));

        // Maximised: edge to edge on the screen, square corners, the same rules.
        frmMain->showMaximized();
        QTRY_VERIFY(frmMain->isMaximized());
        QTRY_COMPARE(frmMain->size(), frmMain->screen()->availableGeometry().size());
        QVERIFY(frmMain->mask().isEmpty());
        QVERIFY2(outside(frmMain).isEmpty(), qPrintable(outside(frmMain).join(", ")));
        QCOMPARE(frmMain->btnConvert->geometry().bottomRight(),
                 convert0.bottomRight() + QPoint(frmMain->width() - designed.width(), frmMain->height() - designed.height()));

        // A double click on the title area restores, another one maximises again.
        const QPoint title(frmMain->width() / 2, 10);
        QTest::mouseDClick(frmMain->MainPanel, Qt::LeftButton, {}, title);
        QTRY_VERIFY(!frmMain->isMaximized());
        QTRY_COMPARE(frmMain->size(), designed + QSize(400, 250));
        QVERIFY(!frmMain->mask().isEmpty());
        QTest::mouseDClick(frmMain->MainPanel, Qt::LeftButton, {}, title);
        QTRY_VERIFY(frmMain->isMaximized());
        // Not below the title area.
        frmMain->showNormal();
        QTRY_VERIFY(!frmMain->isMaximized());
        QTest::mouseDClick(frmMain->MainPanel, Qt::LeftButton, {}, QPoint(10, frmMain->height() / 2));
        QTest::qWait(50);
        QVERIFY(!frmMain->isMaximized());

        // Back to the theme's size, everything is at its theme place again.
        frmMain->resize(designed);
        QCOMPARE(frmMain->NodeTree->geometry(), list0);
        QCOMPARE(frmMain->btnConvert->geometry(), convert0);
    }

    void theWindowComesBackWhereItWasLeft()
    {
        const QSize designed(frmMain->WindowWidth(), frmMain->WindowHeight());
        frmMain->resize(designed + QSize(120, 80));
        frmMain->move(37, 29);
        frmMain->SaveWindowPlace();
        QVERIFY(!rm::LoadWindowPlace().isEmpty());
        frmMain->resize(designed);
        frmMain->move(300, 200);
        QVERIFY(frmMain->RestoreWindowPlace());
        QCOMPARE(frmMain->size(), designed + QSize(120, 80));
        QCOMPARE(frmMain->pos(), QPoint(37, 29));
        // A stored value that is no place at all is ignored.
        rm::RegistryKey key;
        QVERIFY(key.OpenKey(rm::RegistryKey::kSettingKey, true));
        key.WriteString(QStringLiteral("WindowPlace"), QStringLiteral("not a place!"));
        key.CloseKey();
        QVERIFY(rm::LoadWindowPlace().isEmpty());
        QVERIFY(!frmMain->RestoreWindowPlace());
        frmMain->resize(designed);
    }

    // Pictures of the drop indicator and of an edited row's mark, for a person to look at.
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("RM_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("RM_SCREENSHOT_DIR not set");
        QDir().mkpath(dir);
        ApplyAppStyle(*qApp);
        frmMain->AddFiles({m_a, m_b});
        tasks()->topLevel(0)->item()->crop->left = 16;
        tasks()->topLevel(0)->item()->effects->colourEffect = 2;
        view()->viewport()->update();
        QMimeData* mime = mimeOf({m_a, m_b, m_dir.path()});
        QVERIFY(dragEnter(frmMain, frmMain->NodeTree->geometry().center(), mime));
        QTest::qWait(100);
        QVERIFY(frmMain->grab().save(dir + "/drop_indicator.png"));
        QDragLeaveEvent leave;
        QApplication::sendEvent(frmMain, &leave);
        delete mime;
        frmMain->ShowSkippedNote(2);
        QTest::qWait(100);
        QVERIFY(frmMain->grab().save(dir + "/edited_mark_and_note.png"));
    }
};

QTEST_MAIN(DesktopMainWindowTest)
#include "desktop_main_window_test.moc"
