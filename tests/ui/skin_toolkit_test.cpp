// The skinned toolkit: layout and picture passes, the disabled look, window shaping, dragging by
// the background with any mouse button, and the file-name key filter.
#include "model/skin_theme.h"
#include "ui/toolkit/app_style.h"
#include "ui/toolkit/image_button.h"
#include "ui/toolkit/key_filter.h"
#include "ui/toolkit/skin_ops.h"
#include "ui/toolkit/skin_panel.h"
#include "ui/toolkit/skinned_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

using namespace rm::ui;

namespace {

// A form over a small theme written by the test.
class TestForm : public SkinnedForm {
public:
    explicit TestForm(bool withButton = true)
        : SkinnedForm(QStringLiteral("test"), QStringLiteral("test/"), QStringLiteral("testFormCreate"))
    {
        panel = AddBackground(QStringLiteral("testPanel"));
        box = new QWidget(this);
        AddControl(box, QStringLiteral("box"));
        if (withButton) {
            button = new ImageButton(this, QStringLiteral("btnGo"));
            AddButton(button, QStringLiteral("btnGo"));
        }
        BuildSkin();
    }
    SkinPanel* panel = nullptr;
    QWidget* box = nullptr;
    ImageButton* button = nullptr;
};

QImage solid(QColor c)
{
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

bool sameImage(const QPixmap& a, const QImage& b)
{
    return a.toImage().convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

} // namespace

class SkinToolkitTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeTheme(const QString& name, int cornerX, int cornerY, bool boxVisible, bool withPictures = true)
    {
        const QString folder = m_dir.filePath(name);
        QDir().mkpath(folder + "/test");
        QFile f(m_dir.filePath(name + ".xml"));
        f.open(QIODevice::WriteOnly);
        f.write(QStringLiteral("<skin name='%1' images='%1'><section name='test'>"
                               "<element name='testFormCreate' x='%2' y='%3' width='300' height='200'/>"
                               "<element name='testPanel' x='0' y='0' width='300' height='200'/>"
                               "<element name='box' x='5' y='6' width='70' height='80' visible='%4'/>"
                               "<element name='btnGo' x='200' y='150' width='40' height='30' image='go'/>"
                               "</section></skin>")
                    .arg(name)
                    .arg(cornerX)
                    .arg(cornerY)
                    .arg(boxVisible ? 1 : 0)
                    .toUtf8());
        f.close();
        if (withPictures) {
            solid(Qt::white).save(folder + "/test/testPanel.bmp");
            solid(Qt::red).save(folder + "/test/go.bmp");
            solid(Qt::green).save(folder + "/test/go-move.bmp");
            solid(Qt::blue).save(folder + "/test/go-down.bmp");
            solid(Qt::gray).save(folder + "/test/go-dis.bmp");
        }
        return f.fileName();
    }

private slots:
    void hiddenElementHidesItsControlButStillPlacesIt()
    {
        QVERIFY(rm::SkinTheme::Current().Load(writeTheme("hidden", 0, 0, false)));
        TestForm form;
        QVERIFY(!form.box->isVisibleTo(&form));
        QCOMPARE(form.box->geometry(), QRect(5, 6, 70, 80));
        QCOMPARE(form.button->geometry(), QRect(200, 150, 40, 30));
        QCOMPARE(form.size(), QSize(300, 200));

        QVERIFY(rm::SkinTheme::Current().Load(writeTheme("shown", 0, 0, true)));
        form.ApplySkin();
        QVERIFY(form.box->isVisibleTo(&form));
    }

    void cornersComeFromTheWindowElement()
    {
        const struct {
            const char* theme;
            int x, y;
            bool cornerCut;
        } cases[] = {{"square", 0, 0, false}, {"round", 40, 24, true}};
        for (const auto& c : cases) {
            QVERIFY(rm::SkinTheme::Current().Load(writeTheme(c.theme, c.x, c.y, true)));
            TestForm form;
            QCOMPARE(form.CornerWidth(), c.x);
            QCOMPARE(form.CornerHeight(), c.y);
            QCOMPARE(form.pos(), QPoint(0, 0));
            const QRegion mask = form.mask();
            QVERIFY(mask.contains(QPoint(150, 100)));
            QCOMPARE(!mask.contains(QPoint(0, 0)), c.cornerCut);
            QCOMPARE(!mask.contains(QPoint(299, 199)), c.cornerCut);
            // The middle of each edge stays inside.
            QVERIFY(mask.contains(QPoint(150, 0)));
            QVERIFY(mask.contains(QPoint(0, 100)));
        }
    }

    void buttonShowsItsStatePictures()
    {
        QVERIFY(rm::SkinTheme::Current().Load(writeTheme("states", 10, 10, true)));
        TestForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ImageButton* b = form.button;
        QVERIFY(sameImage(b->NormalPicture(), solid(Qt::red)));
        QVERIFY(sameImage(b->HoverPicture(), solid(Qt::green)));
        QVERIFY(sameImage(b->PressedPicture(), solid(Qt::blue)));
        QCOMPARE(b->PaintedSlot(), 0);
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(205, 155));
        QApplication::sendEvent(b, &enter);
        QCOMPARE(b->PaintedSlot(), 1);
        b->setDown(true);
        QCOMPARE(b->PaintedSlot(), 2);
        b->setDown(false);

        // The disabled look swaps the normal slot, and back.
        form.SetButtonEnabled(b, false);
        QVERIFY(!b->isEnabled());
        QVERIFY(sameImage(b->NormalPicture(), solid(Qt::gray)));
        QCOMPARE(b->PaintedSlot(), 0);
        // A re-skin keeps a disabled button disabled-looking.
        form.ApplySkin();
        QVERIFY(sameImage(b->NormalPicture(), solid(Qt::gray)));
        form.SetButtonEnabled(b, true);
        QVERIFY(sameImage(b->NormalPicture(), solid(Qt::red)));
    }

    void missingPictureEndsConstruction()
    {
        QVERIFY(rm::SkinTheme::Current().Load(writeTheme("nopics", 0, 0, true, false)));
        bool thrown = false;
        try {
            TestForm form;
        } catch (const SkinPictureError& e) {
            thrown = true;
            QVERIFY(e.path().endsWith("test/testPanel.bmp"));
        }
        QVERIFY(thrown);
    }

    void anyMouseButtonOnTheBackgroundMovesTheWindow()
    {
        QVERIFY(rm::SkinTheme::Current().Load(writeTheme("drag", 0, 0, true)));
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            TestForm form;
            form.move(100, 100);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            const QPoint start = form.pos();
            const QPoint local(20, 20);
            const QPoint global = form.panel->mapToGlobal(local);
            QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
            QApplication::sendEvent(form.panel, &press);
            QMouseEvent move(QEvent::MouseMove, local + QPoint(30, 15), global + QPoint(30, 15), Qt::NoButton,
                             button, Qt::NoModifier);
            QApplication::sendEvent(form.panel, &move);
            QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(30, 15), global + QPoint(30, 15), button,
                                Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(form.panel, &release);
            QCOMPARE(form.pos(), start + QPoint(30, 15));
            // After the release, moving does nothing.
            QMouseEvent later(QEvent::MouseMove, local, global + QPoint(80, 80), Qt::NoButton, Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(form.panel, &later);
            QCOMPARE(form.pos(), start + QPoint(30, 15));
        }
    }

    void disabledControlsLookDisabled()
    {
        // The application's look: every kind of control the windows disable draws differently
        // when disabled, with lighter text.
        ApplyAppStyle(*qApp);
        QWidget host;
        host.resize(400, 60);
        auto* edit = new QLineEdit(QStringLiteral("Some text"), &host);
        auto* memo = new QPlainTextEdit(QStringLiteral("Some text"), &host);
        auto* check = new QCheckBox(QStringLiteral("Some text"), &host);
        auto* radio = new QRadioButton(QStringLiteral("Some text"), &host);
        auto* spin = new QSpinBox(&host);
        spin->setValue(42);
        auto* combo = new QComboBox(&host);
        combo->addItem(QStringLiteral("Some text"));
        auto* button = new QPushButton(QStringLiteral("Some text"), &host);
        auto* label = new QLabel(QStringLiteral("Some text"), &host);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        auto darkest = [](const QImage& im) {
            int best = 255;
            for (int y = 0; y < im.height(); ++y)
                for (int x = 0; x < im.width(); ++x)
                    if (qAlpha(im.pixel(x, y)) > 200)  // a label's clear background is not text
                        best = std::min(best, qGray(im.pixel(x, y)));
            return best;
        };
        for (QWidget* w : std::initializer_list<QWidget*>{edit, memo, check, radio, spin, combo, button, label}) {
            w->setGeometry(0, 0, 160, 32);
            w->raise();
            w->setEnabled(true);
            const QImage on = w->grab().toImage();
            w->setEnabled(false);
            const QImage off = w->grab().toImage();
            const char* kind = w->metaObject()->className();
            QVERIFY2(on != off, kind);
            // The darkest pixel (the text) is clearly lighter when disabled.
            QVERIFY2(darkest(off) > darkest(on) + 40, qPrintable(QStringLiteral("%1: %2 vs %3")
                                                                  .arg(kind).arg(darkest(off)).arg(darkest(on))));
            w->hide();
        }
        qApp->setStyleSheet(QString());
    }

    void keyFilterSwallowsTheNineCharactersOnlyWhileActive()
    {
        QWidget window;
        auto* edit = new QLineEdit(&window);
        QLineEdit outside; // another window is never filtered
        FileNameKeyFilter filter(&window);
        qApp->installEventFilter(&filter);
        const QString typed = QStringLiteral("a\"b*c/d:e<f>g?h\\i|j.k");

        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);

        edit->clear();
        filter.SetActive(true);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), QStringLiteral("abcdefghij.k"));
        QTest::keyClicks(&outside, QStringLiteral("?/"));
        QCOMPARE(outside.text(), QStringLiteral("?/"));

        edit->clear();
        filter.SetActive(false);
        QTest::keyClicks(edit, QStringLiteral("?/"));
        QCOMPARE(edit->text(), QStringLiteral("?/"));
        qApp->removeEventFilter(&filter);

        for (QChar c : QStringLiteral("\"*/:<>?\\|"))
            QVERIFY(FileNameKeyFilter::IsForbidden(c));
        for (QChar c : QStringLiteral("aZ09 .-_()[]"))
            QVERIFY(!FileNameKeyFilter::IsForbidden(c));
    }
};

QTEST_MAIN(SkinToolkitTest)
#include "skin_toolkit_test.moc"
