// The main window's task list driven as a user drives it: adding files through the (replaced)
// file dialog, the buttons following the selection, groups, in-place renaming through the key
// filter, deleting, checking, moving, the output folder and the preconditions of Convert.
#include "model/app_settings.h"
#include "model/registry_key.h"
#include "model/task_tree.h"
#include "support/media_fixture.h"
#include "support/test_env.h"
#include "ui/window_test_store.h"
#include "engines/dvd/dvd_fixture.h"
#include "ui/app/app_windows.h"
#include "ui/app/main_form.h"
#include "ui/app/message_boxes.h"
#include "ui/app/task_list_view.h"
#include "ui/convert/convert_form.h"
#include "ui/editors/dvd_form.h"
#include "ui/editors/edit_form.h"
#include "ui/custom/custom_form.h"
#include "ui/dialogs/pro_form.h"
#include "ui/editors/clip_form.h"
#include "ui/editors/edit_form.h"
#include "ui/toolkit/image_button.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QContextMenuEvent>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

using namespace rm::ui;
using rm::TaskNode;

class TaskListTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_a, m_b, m_c;  // fixture videos
    QStringList m_chosen;   // what the file dialog returns
    QList<BoxRequest> m_boxes;
    bool m_answer = true;
    int m_modalRuns = 0;
    int m_totalMaxSeen = -1;
    QDialog* m_lastModal = nullptr;
    QList<QUrl> m_opened;

    rm::TaskTree* tasks() { return frmMain->Tasks; }
    TaskListView* view() { return frmMain->TaskView; }

    QStringList messages() const
    {
        QStringList out;
        for (const BoxRequest& b : m_boxes)
            out << b.text;
        return out;
    }

    QString displayName(const TaskNode* n) const { return rm::TextOf(n->item()->row.displayName); }
    QString destination(const TaskNode* n) const { return rm::TextOf(n->item()->row.destination); }

    // A click on a cell (column c) of a row, with modifiers, as the mouse does it.
    void clickCell(const TaskNode* n, int column, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        const QModelIndex i = tasks()->indexOf(n, column);
        view()->scrollTo(i);
        const QRect r = view()->visualRect(i);
        QTest::mouseClick(view()->viewport(), button, mods, r.center() + QPoint(column == 0 ? 20 : 0, 0));
    }

    void addFiles(const QStringList& files)
    {
        m_chosen = files;
        frmMain->addFileClick();
    }

    void resetList()
    {
        frmMain->ClearAllClick();
        m_boxes.clear();
    }

    bool enabled(ImageButton* b) { return b->isEnabled(); }

    // The destination editor on screen (closed editors are hidden until they are deleted).
    QLineEdit* openEditor() const
    {
        for (QLineEdit* e : frmMain->TaskView->findChildren<QLineEdit*>(QStringLiteral("DestinationEditor")))
            if (e->isVisible())
                return e;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(rmtest::UseWindowTestStore(m_dir, m_dir.filePath("out") + "/"));

        rmtest::FixtureSpec spec;
        spec.width = 160;
        spec.height = 120;
        spec.seconds = 2.0;
        m_a = QString::fromStdString(rmtest::Fixture("alpha.mp4", spec));
        spec.seconds = 1.0;
        m_b = QString::fromStdString(rmtest::Fixture("bravo.mp4", spec));
        spec.container = "avi";
        m_c = QString::fromStdString(rmtest::Fixture("charlie.avi", spec));

        SetBoxAnswerer([this](const BoxRequest& r) {
            m_boxes << r;
            return m_answer;
        });
        TfrmMain::SetFilesChooser([this](QWidget*) { return m_chosen; });
        TfrmMain::SetModalRunner([this](QDialog* d) {
            ++m_modalRuns;
            m_lastModal = d;
            if (d == frmConvert)
                m_totalMaxSeen = frmConvert->TotalProgress->maximum();
            return int(QDialog::Accepted);
        });
        SetUrlOpener([this](const QUrl& u) { m_opened << u; });
        TfrmConvert::SetPowerOff([] { return true; });

        CreateAppWindows();
        frmMain->show();
        QVERIFY(QTest::qWaitForWindowExposed(frmMain));
        // Outputs go below this test's own folder.
        QVERIFY(frmMain->OutputPath->text().startsWith(m_dir.path()));
    }

    void cleanupTestCase()
    {
        DestroyAppWindows();
        SetBoxAnswerer({});
        TfrmMain::SetFilesChooser({});
        TfrmMain::SetModalRunner({});
        SetUrlOpener({});
        TfrmConvert::SetPowerOff({});
        rm::SetProgramFolder({});
        rm::RegistryKey::SetStoreFile({});
    }

    // Every case starts from an empty list.
    void init() { resetList(); }

    void theListIsHiddenUntilTheFirstFileAndShowsItsColumns()
    {
        QVERIFY(!frmMain->NodeTree->isVisible());
        addFiles({m_a, m_b});
        QVERIFY(frmMain->NodeTree->isVisible());
        QCOMPARE(tasks()->topLevelCount(), 2);
        QStringList headers;
        for (int c = 0; c < 4; ++c)
            headers << tasks()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, QStringList({"Source", "Original Length", "Trimmed Length", "Distination File"}));
        // Default widths 177, 110, 120, 120; "Source" takes the spare width of a wider list, and
        // a narrower one takes the difference from the other columns first (down to what their
        // headers need), so that the source's name stays readable and the Destination in view.
        const int room = view()->viewport()->width();
        QHeaderView* h = view()->header();
        if (room >= 527) {
            QCOMPARE(h->sectionSize(0), room - 350);
            QCOMPARE(h->sectionSize(1), 110);
            QCOMPARE(h->sectionSize(2), 120);
            QCOMPARE(h->sectionSize(3), 120);
        } else {
            QVERIFY(h->sectionSize(0) >= std::min(177, room - 350));
            for (int c = 1; c < 4; ++c)
                QVERIFY(h->sectionSize(c) >= h->fontMetrics().horizontalAdvance(tasks()->headerData(c, Qt::Horizontal).toString()));
        }
        QVERIFY(view()->header()->minimumSectionSize() == 100);
        // The last added row is the one selected; its text, lengths and destination show.
        const std::vector<TaskNode*> sel = frmMain->SelectedNodes();
        QCOMPARE(sel.size(), size_t(1));
        QCOMPARE(sel.front(), tasks()->topLevel(1));
        QCOMPARE(displayName(sel.front()), QStringLiteral("bravo.mp4"));
        QCOMPARE(tasks()->index(1, 1).data().toString(), QStringLiteral("00:00:01"));
        QCOMPARE(destination(sel.front()), QStringLiteral("bravo.flv"));
        // Each row shows the image of its role.
        QCOMPARE(tasks()->index(0, 0).data(rm::TaskTree::ImageIndexRole).toInt(), 0);
        QCOMPARE(ImageList().size(), size_t(4));
        resetList();
    }

    void refusedFilesAreSkippedAndALongPathStopsTheAdding()
    {
        addFiles({m_a});
        // The first row stays selected while the adding stops.
        frmMain->SelectOnly(tasks()->topLevel(0));
        // A file the converter does not take, then a real video behind a 250-character path.
        const QString text = m_dir.filePath("notes.mp4");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a video");
        f.close();
        QString deep = m_dir.path();
        while (deep.size() < 230)
            deep += QStringLiteral("/folder_of_videos");
        QVERIFY(QDir().mkpath(deep));
        QString longPath = deep + "/";
        longPath += QString(250 - longPath.size() - 4, QLatin1Char('v')) + ".mp4";
        QCOMPARE(longPath.size(), 250);
        QVERIFY(QFile::copy(m_b, longPath));

        addFiles({m_c, text, longPath, m_b});
        QCOMPARE(tasks()->topLevelCount(), 2);  // alpha and charlie only
        QCOMPARE(displayName(tasks()->topLevel(1)), QStringLiteral("charlie.avi"));
        QCOMPARE(messages(), QStringList({"Can't load the file,Its name is too lang!" + longPath}));
        const std::vector<TaskNode*> sel = frmMain->SelectedNodes();
        QCOMPARE(sel.size(), size_t(1));
        QCOMPARE(sel.front(), tasks()->topLevel(0));
        resetList();
    }

    void buttonsFollowTheSelection()
    {
        addFiles({m_a, m_b, m_c});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);
        TaskNode* c = tasks()->topLevel(2);
        frmMain->SelectOnly(a);
        clickCell(b, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        TaskNode* group = tasks()->topLevel(3);
        TaskNode* member = group->child(0);

        struct Case {
            const char* what;
            TaskNode* row;
            bool editClip, groupButtons, moves;
        };
        const Case cases[] = {
            {"file row", c, true, true, false},
            {"group node", group, false, true, false},
            {"group member", member, false, false, true},
        };
        for (const Case& k : cases) {
            clickCell(k.row, 1);
            QVERIFY2(enabled(frmMain->edit) == k.editClip && enabled(frmMain->clip) == k.editClip, k.what);
            QVERIFY2(enabled(frmMain->merge) == k.groupButtons && enabled(frmMain->slide) == k.groupButtons &&
                         enabled(frmMain->customize) == k.groupButtons,
                     k.what);
            QVERIFY2(enabled(frmMain->btnConvert) && enabled(frmMain->btnPlay), k.what);
            QVERIFY2(frmMain->menuUP->isEnabled() == k.moves && frmMain->menuDown->isEnabled() == k.moves, k.what);
        }

        // Two file rows: no per-item buttons, grouping possible.
        clickCell(a, 1);
        clickCell(c, 1, Qt::ControlModifier);
        QCOMPARE(frmMain->SelectedNodes().size(), size_t(2));
        QVERIFY(!enabled(frmMain->edit) && !enabled(frmMain->clip) && !enabled(frmMain->customize));
        QVERIFY(enabled(frmMain->merge) && enabled(frmMain->slide));
        // A group member among them: all nine off, Convert too.
        clickCell(member, 1, Qt::ControlModifier);
        for (ImageButton* btn : {frmMain->edit, frmMain->clip, frmMain->merge, frmMain->slide, frmMain->customize,
                                 frmMain->btnConvert, frmMain->btnPlay, frmMain->btnStop, frmMain->btnPhoto})
            QVERIFY2(!enabled(btn), qPrintable(btn->objectName()));
        // The disabled look is the theme's "-dis" picture.
        QCOMPARE(frmMain->merge->NormalPicture().toImage(),
                 QPixmap(frmMain->PicturePath(QStringLiteral("merge"), rm::PictureDisabled)).toImage());
        // Nothing selected (a click below the rows): only Convert stays usable.
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, QPoint(20, view()->viewport()->height() - 5));
        QVERIFY(frmMain->SelectedNodes().empty());
        QVERIFY(enabled(frmMain->btnConvert));
        QVERIFY(!enabled(frmMain->edit) && !enabled(frmMain->merge) && !enabled(frmMain->btnPlay));

        // A right click selects the row under the mouse; the context menu is Edit_Menu.
        clickCell(a, 1, {}, Qt::RightButton);
        QCOMPARE(frmMain->SelectedNodes(), std::vector<TaskNode*>({a}));
        const QPoint at = view()->visualRect(tasks()->indexOf(a, 1)).center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, view()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view()->viewport(), &menuEvent);
        QTRY_VERIFY(frmMain->Edit_Menu->isVisible());
        frmMain->Edit_Menu->hide();
        resetList();
    }

    void buttonsFollowKeyboardSelectionAndGroupsTakeEachSourceOnce()
    {
        addFiles({m_a, m_b, m_c});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);
        TaskNode* c = tasks()->topLevel(2);
        frmMain->SelectOnly(a);
        clickCell(b, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        frmMain->SelectOnly(b);
        clickCell(c, 0, Qt::ControlModifier);
        frmMain->slideClick();
        QCOMPARE(tasks()->topLevelCount(), 5);
        auto perItemOff = [this] {
            return !enabled(frmMain->edit) && !enabled(frmMain->clip) && !enabled(frmMain->customize);
        };

        // A click on a file row, then Shift+Down: two file rows, as a Ctrl+click would give.
        clickCell(a, 1);
        QVERIFY(enabled(frmMain->edit) && enabled(frmMain->clip));
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(frmMain->SelectedNodes().size(), size_t(2));
        QVERIFY(perItemOff());
        QVERIFY(enabled(frmMain->merge) && enabled(frmMain->slide) && enabled(frmMain->btnConvert));
        // A plain Down: one row again, the single-row rule.
        QTest::keyClick(view(), Qt::Key_Down);
        QCOMPARE(frmMain->SelectedNodes(), std::vector<TaskNode*>({c}));
        QVERIFY(enabled(frmMain->edit) && enabled(frmMain->clip) && enabled(frmMain->customize));

        // Ctrl+A takes group members too: all nine buttons off, as after a click among them.
        QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
        int rows = 0;
        tasks()->forEachNode([&](TaskNode*) { ++rows; });
        QCOMPARE(int(frmMain->SelectedNodes().size()), rows);
        for (ImageButton* btn : {frmMain->edit, frmMain->clip, frmMain->merge, frmMain->slide, frmMain->customize,
                                 frmMain->btnConvert, frmMain->btnPlay, frmMain->btnStop, frmMain->btnPhoto})
            QVERIFY2(!enabled(btn), qPrintable(btn->objectName()));

        // "Merge" from the menu with everything selected: each video once, the group as long as
        // the three together.
        frmMain->menuMerge->trigger();
        TaskNode* all = tasks()->topLevel(tasks()->topLevelCount() - 1);
        QStringList members;
        for (int i = 0; i < all->childCount(); ++i)
            members << displayName(all->child(i));
        QCOMPARE(members, QStringList({"alpha.mp4", "bravo.mp4", "charlie.avi"}));
        const int64_t sum = a->item()->trim.Length() + b->item()->trim.Length() + c->item()->trim.Length();
        QCOMPARE(tasks()->indexOf(all, 2).data().toString(),
                 QString::fromStdString(rm::DurationToText(float(sum))));
        // The new group is selected alone and the buttons say so.
        QCOMPARE(frmMain->SelectedNodes(), std::vector<TaskNode*>({all}));
        QVERIFY(enabled(frmMain->merge) && enabled(frmMain->btnConvert) && !enabled(frmMain->edit));
        resetList();
    }

    void groupsKeepTheirSourcesAndCountOn()
    {
        addFiles({m_a, m_b, m_c});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);
        TaskNode* c = tasks()->topLevel(2);

        // One row is not enough.
        frmMain->SelectOnly(a);
        frmMain->mergeClick();
        QCOMPARE(messages(), QStringList({"Need more than two files are selected!"}));
        QCOMPARE(tasks()->topLevelCount(), 3);

        clickCell(b, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        const int merges = tasks()->mergeCounter();
        TaskNode* merge1 = tasks()->topLevel(3);
        QCOMPARE(displayName(merge1), QStringLiteral("Merge%1").arg(merges));
        QCOMPARE(frmMain->SelectedNodes(), std::vector<TaskNode*>({merge1}));
        QVERIFY(view()->isExpanded(tasks()->indexOf(merge1)));
        QCOMPARE(a->checkState, Qt::Unchecked);
        QCOMPARE(b->checkState, Qt::Unchecked);
        QCOMPARE(merge1->childCount(), 2);
        QCOMPARE(tasks()->index(3, 1).data().toString(), QStringLiteral("00:00:03"));

        // A merge node and a file give a slide of the node's members and the file.
        clickCell(c, 0, Qt::ControlModifier);
        frmMain->slideClick();
        TaskNode* slide = tasks()->topLevel(4);
        QCOMPARE(displayName(slide).left(5), QStringLiteral("Slide"));
        QCOMPARE(slide->childCount(), 3);
        QCOMPARE(displayName(slide->child(2)), QStringLiteral("charlie.avi"));

        // The counter only grows: after deleting the first merge group the next one is one more.
        frmMain->SelectOnly(merge1);
        frmMain->deletenodeClick();
        frmMain->SelectOnly(a);
        clickCell(c, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        QCOMPARE(displayName(tasks()->topLevel(tasks()->topLevelCount() - 1)), QStringLiteral("Merge%1").arg(merges + 1));
        resetList();
    }

    void destinationsAreRenamedInPlaceThroughTheKeyFilter()
    {
        addFiles({m_a, m_b});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);

        // A click on the Destination cell opens the editor with the bare name; ? and / never
        // reach it.
        frmMain->SelectOnly(a);
        clickCell(a, 3);
        QVERIFY(frmMain->KeyPreview());
        QTRY_VERIFY(openEditor());
        auto* editor = openEditor();
        QCOMPARE(editor->text(), QStringLiteral("alpha"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("cl?i/p"));
        QCOMPARE(editor->text(), QStringLiteral("clip"));
        QTest::keyClick(editor, Qt::Key_Return);  // the editor commits on the next turn of the loop
        QTRY_COMPARE(destination(a), QStringLiteral("clip.flv"));
        QVERIFY(!frmMain->KeyPreview());

        // An empty name keeps the old one.
        clickCell(a, 3);
        QTRY_VERIFY(openEditor());
        editor = openEditor();
        editor->clear();
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!view()->Editing());
        QCOMPARE(destination(a), QStringLiteral("clip.flv"));

        // Another column: no editing, no filtering.
        clickCell(a, 1);
        QVERIFY(!frmMain->KeyPreview());
        QVERIFY(!view()->Editing());

        // Merge members are not renamed; slide members are.
        frmMain->SelectOnly(a);
        clickCell(b, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        TaskNode* mergeMember = tasks()->topLevel(2)->child(0);
        clickCell(mergeMember, 3);
        QVERIFY(!frmMain->KeyPreview());
        QVERIFY(!view()->Editing());

        frmMain->SelectOnly(a);
        clickCell(b, 0, Qt::ControlModifier);
        frmMain->slideClick();
        TaskNode* slideMember = tasks()->topLevel(3)->child(1);
        clickCell(slideMember, 3);
        QVERIFY(frmMain->KeyPreview());
        QTRY_VERIFY(openEditor());
        editor = openEditor();
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("second"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(destination(slideMember), QStringLiteral("second.flv"));
        resetList();
    }

    void deletingCheckingMovingAndClearing()
    {
        addFiles({m_a, m_b, m_c});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);
        TaskNode* c = tasks()->topLevel(2);
        frmMain->SelectOnly(a);
        clickCell(b, 0, Qt::ControlModifier);
        clickCell(c, 0, Qt::ControlModifier);
        frmMain->mergeClick();
        TaskNode* group = tasks()->topLevel(3);

        // Move Up / Move Down reorder members; at the ends nothing happens.
        frmMain->SelectOnly(group->child(0));
        frmMain->menuUP->trigger();
        QCOMPARE(displayName(group->child(0)), QStringLiteral("alpha.mp4"));
        frmMain->menuDown->trigger();
        QCOMPARE(displayName(group->child(1)), QStringLiteral("alpha.mp4"));
        frmMain->SelectOnly(group->child(2));
        frmMain->menuDown->trigger();
        QCOMPARE(displayName(group->child(2)), QStringLiteral("charlie.avi"));

        // CheckAll / UncheckAll reach every row with a check box, members included.
        frmMain->menuCheckAll->trigger();
        int checked = 0, rows = 0;
        tasks()->forEachNode([&](TaskNode* n) {
            ++rows;
            checked += n->checkState == Qt::Checked;
        });
        QCOMPARE(checked, rows);
        frmMain->menuUncheckAll->trigger();
        checked = 0;
        tasks()->forEachNode([&](TaskNode* n) { checked += n->checkState == Qt::Checked; });
        QCOMPARE(checked, 0);
        // A click on a row's box checks it.
        const QModelIndex ai = tasks()->indexOf(a, 0);
        QVERIFY(view()->model()->setData(ai, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(a->checkState, Qt::Checked);

        // Deleting the file that two members were made from takes them out; deleting the last
        // member of the group deletes the group.
        frmMain->SelectOnly(a);
        frmMain->deletenodeClick();
        QCOMPARE(tasks()->topLevelCount(), 3);
        QCOMPARE(group->childCount(), 2);
        QCOMPARE(tasks()->index(2, 2).data().toString(), QStringLiteral("00:00:02"));
        frmMain->SelectOnly(group->child(0));
        frmMain->deletenodeClick();
        frmMain->SelectOnly(group->child(0));
        frmMain->deletenodeClick();
        QCOMPARE(tasks()->topLevelCount(), 2);

        // ClearAll empties and hides the list and turns the nine buttons off.
        frmMain->menuClearAll->trigger();
        QVERIFY(tasks()->isEmpty());
        QVERIFY(!frmMain->NodeTree->isVisible());
        for (ImageButton* btn : {frmMain->edit, frmMain->clip, frmMain->merge, frmMain->slide, frmMain->customize,
                                 frmMain->btnConvert, frmMain->btnPlay, frmMain->btnStop, frmMain->btnPhoto})
            QVERIFY2(!enabled(btn), qPrintable(btn->objectName()));
        // Delete with nothing selected and ClearAll on an empty list do nothing.
        frmMain->deletenodeClick();
        frmMain->ClearAllClick();
        QVERIFY(m_boxes.isEmpty());
    }

    void convertChecksTheListAndSumsTheCheckedLengths()
    {
        addFiles({m_a, m_b});
        TaskNode* a = tasks()->topLevel(0);
        TaskNode* b = tasks()->topLevel(1);
        frmMain->UncheckAllClick();
        m_modalRuns = 0;
        frmMain->btnConvertClick();
        QCOMPARE(messages(), QStringList({"No one is checked!"}));
        QCOMPARE(m_modalRuns, 0);

        // Two checked rows of 60 s and 30 s: the total bar's maximum is 90. The window is
        // prepared: bars at 0, result lines gone.
        a->item()->trim = {0, 60};
        b->item()->trim = {10, 40};
        tasks()->setChecked(a, true);
        tasks()->setChecked(b, true);
        frmConvert->ShowResult->setPlainText(QStringLiteral("old line"));
        frmConvert->OneProgress->setRange(0, 10);
        frmConvert->OneProgress->setValue(7);
        m_boxes.clear();
        frmMain->btnConvertClick();
        QCOMPARE(m_modalRuns, 1);
        QCOMPARE(m_totalMaxSeen, 90);
        QCOMPARE(frmConvert->ShowResult->toPlainText(), QString());
        QCOMPARE(frmConvert->OneProgress->maximum(), 0);
        QCOMPARE(frmConvert->OneProgress->value(), 0);
        QCOMPARE(rm::TheConvertRun().cancel.load(), 0);
        QVERIFY(m_boxes.isEmpty());
        // The output folder ends with a separator and exists now.
        QVERIFY(rm::TheAppSettings().outputFolder.endsWith(QDir::separator()));
        QVERIFY(QFileInfo(rm::TheAppSettings().outputFolder).isDir());

        // A folder two levels below anything that exists: no run, no message.
        const QString saved = rm::TheAppSettings().outputFolder;
        rm::TheAppSettings().outputFolder = m_dir.filePath("missing/deeper");
        frmMain->btnConvertClick();
        QCOMPARE(m_modalRuns, 1);
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(!QFileInfo::exists(m_dir.filePath("missing")));
        rm::TheAppSettings().outputFolder = saved;
        resetList();
    }

    void perItemDialogsOpenForTheFirstSelectedRow()
    {
        addFiles({m_a, m_b});
        TaskNode* a = tasks()->topLevel(0);
        frmMain->SelectOnly(a);
        clickCell(tasks()->topLevel(1), 0, Qt::ControlModifier);
        frmMain->mergeClick();
        TaskNode* group = tasks()->topLevel(2);
        struct Case {
            const char* what;
            TaskNode* row;  // nullptr: nothing selected
            void (TfrmMain::*handler)();
            QDialog* opens;
        };
        const Case cases[] = {
            {"edit on a file", a, &TfrmMain::editClick, frmEdit},
            {"trim on a file", a, &TfrmMain::clipClick, frmClip},
            {"trim on a group", group, &TfrmMain::clipClick, nullptr},
            {"trim on a member", group->child(0), &TfrmMain::clipClick, nullptr},
            {"customise a group", group, &TfrmMain::customizeClick, frmCustom},
            {"properties", a, &TfrmMain::PropertiesClick, frmPro},
            {"edit without a row", nullptr, &TfrmMain::editClick, nullptr},
        };
        for (const Case& k : cases) {
            if (k.row)
                frmMain->SelectOnly(k.row);
            else
                view()->clearSelection();
            m_lastModal = nullptr;
            (frmMain->*k.handler)();
            QVERIFY2(m_lastModal == k.opens, k.what);
        }
    }

    void effectEditsTheSelectedRowsItem()
    {
        addFiles({m_a, m_b});
        TaskNode* b = tasks()->topLevel(1);
        frmMain->SelectOnly(b);
        frmMain->editClick();
        QCOMPARE(frmEdit->Item(), b->item());
        resetList();
    }

    void aChosenDvdReachesTheLoaderAndItsOkFillsTheList()
    {
        if (!rmtest::HaveDvdAuthor())
            {
            if (rmtest::UnderCTest())
                QFAIL("dvdauthor is not installed: apt-get install dvdauthor (scripts/setup.sh installs it)");
            QSKIP("dvdauthor is not installed: apt-get install dvdauthor (scripts/setup.sh installs it)");
        }
        std::string error;
        const QString disc = QString::fromStdString(rmtest::AuthoredDvd(&error));
        QVERIFY2(!disc.isEmpty(), error.c_str());
        const int savedRuns = m_modalRuns;
        bool pressOk = true;
        TfrmMain::SetModalRunner([&](QDialog* d) {
            m_lastModal = d;
            if (d == frmDVD && pressOk)
                frmDVD->btnOKClick();
            return int(QDialog::Accepted);
        });
        TfrmMain::SetFolderChooser([&](QWidget*, const QString&) { return disc; });

        // An empty list: the loader reads the chosen disc and its OK makes the tasks.
        m_lastModal = nullptr;
        frmMain->downlist_folderClick();
        QCOMPARE(m_lastModal, static_cast<QDialog*>(frmDVD));
        QVERIFY(tasks()->topLevelCount() > 0);
        QCOMPARE(frmMain->SelectedNodes().size(), size_t(1));
        QCOMPARE(frmMain->SelectedNodes().front(), tasks()->topLevel(0));
        const int made = tasks()->topLevelCount();

        // DVD tasks carry check boxes like file tasks: UncheckAll leaves nothing to convert,
        // ticking one box makes exactly that task the run.
        for (int i = 0; i < made; ++i) {
            const QModelIndex cell = tasks()->indexOf(tasks()->topLevel(i), 0);
            QVERIFY(tasks()->flags(cell) & Qt::ItemIsUserCheckable);
            QVERIFY(cell.data(Qt::CheckStateRole).isValid());
        }
        frmMain->menuUncheckAll->trigger();
        m_boxes.clear();
        frmMain->btnConvertClick();
        QCOMPARE(messages(), QStringList({"No one is checked!"}));
        QVERIFY(view()->model()->setData(tasks()->indexOf(tasks()->topLevel(made - 1), 0), Qt::Checked,
                                         Qt::CheckStateRole));
        QCOMPARE(tasks()->topLevel(made - 1)->checkState, Qt::Checked);
        m_boxes.clear();
        m_lastModal = nullptr;
        frmMain->btnConvertClick();
        QCOMPARE(m_lastModal, static_cast<QDialog*>(frmConvert));
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(frmConvert->TotalProgress->maximum(), int(tasks()->topLevel(made - 1)->item()->trim.Length()));
        frmMain->menuCheckAll->trigger();

        // The same disc again, answered No: nothing is shown and the list stays.
        m_answer = false;
        m_lastModal = nullptr;
        frmMain->downlist_folderClick();
        QVERIFY(m_lastModal == nullptr);
        QCOMPARE(tasks()->topLevelCount(), made);
        QVERIFY(messages().contains(
            QStringLiteral("Load a new DVD will clear the last one, do you want to load a new one?")));

        // Answered Yes: the loader is shown again; closing it without OK keeps the list.
        m_answer = true;
        pressOk = false;
        frmMain->downlist_folderClick();
        QCOMPARE(m_lastModal, static_cast<QDialog*>(frmDVD));
        QCOMPARE(tasks()->topLevelCount(), made);

        // A folder without a DVD, chosen on an empty list, is reported and shows nothing.
        resetList();
        TfrmMain::SetFolderChooser([&](QWidget*, const QString&) { return m_dir.path(); });
        m_lastModal = nullptr;
        frmMain->downlist_folderClick();
        QVERIFY(m_lastModal == nullptr);
        QCOMPARE(m_boxes.size(), 1);

        TfrmMain::SetFolderChooser({});
        TfrmMain::SetModalRunner([this](QDialog* d) {
            ++m_modalRuns;
            m_lastModal = d;
            if (d == frmConvert)
                m_totalMaxSeen = frmConvert->TotalProgress->maximum();
            return int(QDialog::Accepted);
        });
        m_modalRuns = savedRuns;
        resetList();
    }

    void browseSetsTheOutputFolderAndFindTargetOpensIt()
    {
        QString askedTitle;
        const QString chosen = m_dir.filePath("chosen");
        QDir().mkpath(chosen);
        TfrmMain::SetFolderChooser([&](QWidget*, const QString& title) {
            askedTitle = title;
            return chosen;
        });
        frmMain->Open_imgClick();
        TfrmMain::SetFolderChooser({});
        QCOMPARE(askedTitle, QStringLiteral("Please Select Output folder."));
        QCOMPARE(frmMain->OutputPath->text(), chosen);
        QCOMPARE(rm::TheAppSettings().outputFolder, chosen);
        m_opened.clear();
        frmMain->btnOpenpathClick();
        QCOMPARE(m_opened, QList<QUrl>({QUrl::fromLocalFile(chosen)}));
        // Nothing to open without a folder.
        frmMain->OutputPath->clear();
        frmMain->btnOpenpathClick();
        QCOMPARE(m_opened.size(), 1);
    }
};

QTEST_MAIN(TaskListTest)
#include "task_list_test.moc"
