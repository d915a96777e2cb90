#include "convert/page_writer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>

namespace {

// The resources folder has the same templates/ layout as the program folder.
const QString kProgramFolder = QStringLiteral(RM_SOURCE_DIR "/resources/");

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The page's lines, split on CR LF; fails the test on a bare LF or CR or a missing last CR LF.
QStringList CrLfLines(const QByteArray& bytes)
{
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> parts = bytes.split('\n');
    EXPECT_TRUE(parts.last().isEmpty());
    parts.removeLast();
    QStringList lines;
    for (QByteArray p : parts) {
        EXPECT_TRUE(p.endsWith('\r')) << p.constData();
        p.chop(1);
        EXPECT_FALSE(p.contains('\r'));
        lines << QString::fromUtf8(p);
    }
    return lines;
}

struct PageFiles {
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QLatin1Char('/'); }
};

TEST(PageWriter, FillsTheTemplateInItsPlaces)
{
    PageFiles t;
    ASSERT_TRUE(t.dir.isValid());
    ASSERT_TRUE(rm::WritePlayerPage(t.folder(), QStringLiteral("clip"), 255, 128, 0, 320, 240, kProgramFolder));

    const QStringList l = CrLfLines(ReadAll(t.folder() + QStringLiteral("clip.html")));
    ASSERT_EQ(l.size(), 39);
    // Colour ff8000 in lines 6, 27 and 37.
    EXPECT_EQ(l[5], QStringLiteral("<body bgcolor=\"#ff8000\"><center>"));
    EXPECT_EQ(l[26], QStringLiteral(" 'bgcolor', '#ff8000',"));
    EXPECT_EQ(l[36].count(QStringLiteral("\"#ff8000\"")), 2);
    // Width and height in lines 15 and 16, the name in 17, 26, 28 and 32, clip.swf twice in 37.
    EXPECT_EQ(l[14], QStringLiteral(" 'width', '320',"));
    EXPECT_EQ(l[15], QStringLiteral(" 'height', '240',"));
    EXPECT_EQ(l[16], QStringLiteral(" 'src', 'clip',"));
    EXPECT_EQ(l[25], QStringLiteral(" 'id', 'clip',"));
    EXPECT_EQ(l[27], QStringLiteral(" 'name', 'clip',"));
    EXPECT_EQ(l[31], QStringLiteral(" 'movie', 'clip',"));
    EXPECT_EQ(l[36].count(QStringLiteral("clip.swf")), 2);
    EXPECT_TRUE(l[36].contains(QStringLiteral("width=\"320\" height=\"240\" name=\"clip\"")));
    EXPECT_TRUE(l[35].contains(QStringLiteral("width=\"320\" height=\"240\" id=\"clip\"")));
    // The fixed lines around them, indents included.
    EXPECT_EQ(l[0], QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh_cn\" lang=\"zh_cn\">"));
    EXPECT_EQ(l[1], QStringLiteral("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />"));
    EXPECT_EQ(l[2], QStringLiteral("<title>clip</title>"));
    EXPECT_EQ(l[9], QStringLiteral(" alert(\"Can not find AC_RunActiveContent.js!\");"));
    EXPECT_EQ(l[11], QStringLiteral(" else "));
    EXPECT_TRUE(l[13].startsWith(QStringLiteral("AC_FL_RunContent('codebase', '")));
    EXPECT_TRUE(l[13].endsWith(QStringLiteral("#version=8,0,0,0',")));
    // The page's own pairs ride on the last line: the thumbnail, and nothing for a browser
    // video unless one is named.
    EXPECT_EQ(l[32], QStringLiteral(" 'salign', '', 'poster', 'clip.jpg'); //end AC code"));
    EXPECT_EQ(l[33], QStringLiteral("}</script>"));
    EXPECT_EQ(l[38], QStringLiteral("</html>"));

    // The script beside it is the program's own.
    EXPECT_EQ(ReadAll(t.folder() + QStringLiteral("AC_RunActiveContent.js")),
              ReadAll(kProgramFolder + QStringLiteral("templates/AC_RunActiveContent.js")));
}

// A browser video (H.264 the emulator cannot decode), the autoplay switch and the player's HTML5
// design file reach the script as pairs, escaped like every other value; the 39 lines stay.
TEST(PageWriter, NamesTheBrowserVideoAutoPlayAndDesign)
{
    struct Case { const char* video; bool autoPlay; const char* design; const char* tail; };
    for (const Case& c : {Case{"clip.mp4", true, "", ", 'video', 'clip.mp4', 'autoplay', 'true'); //end AC code"},
                          Case{"clip.mp4", false, "", ", 'video', 'clip.mp4'); //end AC code"},
                          Case{"", true, "", "'clip.jpg', 'autoplay', 'true'); //end AC code"},
                          Case{"it's a #1.mp4", false, "", ", 'video', 'it\\'s%20a%20%231.mp4'); //end AC code"},
                          Case{"clip.mp4", true, "clip.html5.js",
                               ", 'video', 'clip.mp4', 'autoplay', 'true', 'design', 'clip.html5.js'); //end AC code"},
                          Case{"", false, "it's #2.html5.js", "'clip.jpg', 'design', 'it\\'s%20%232.html5.js'); //end AC code"}}) {
        SCOPED_TRACE(c.video);
        PageFiles t;
        ASSERT_TRUE(t.dir.isValid());
        ASSERT_TRUE(rm::WritePlayerPage(t.folder(), QStringLiteral("clip"), 0, 0, 0, 320, 240, kProgramFolder,
                                        QString::fromUtf8(c.video), c.autoPlay, QString::fromUtf8(c.design)));
        const QStringList l = CrLfLines(ReadAll(t.folder() + QStringLiteral("clip.html")));
        ASSERT_EQ(l.size(), 39);
        EXPECT_TRUE(l[32].startsWith(QStringLiteral(" 'salign', '', 'poster', 'clip.jpg'"))) << l[32].toStdString();
        EXPECT_TRUE(l[32].endsWith(QString::fromUtf8(c.tail))) << l[32].toStdString();
    }
}

TEST(PageWriter, ReplacesAnExistingScriptAndPage)
{
    PageFiles t;
    ASSERT_TRUE(t.dir.isValid());
    for (const char* name : {"AC_RunActiveContent.js", "clip.html"}) {
        QFile f(t.folder() + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("stale content that is much longer than nothing at all\n");
    }
    ASSERT_TRUE(rm::WritePlayerPage(t.folder(), QStringLiteral("clip"), 0, 0, 0, 320, 240, kProgramFolder));
    EXPECT_EQ(ReadAll(t.folder() + QStringLiteral("AC_RunActiveContent.js")),
              ReadAll(kProgramFolder + QStringLiteral("templates/AC_RunActiveContent.js")));
    EXPECT_TRUE(ReadAll(t.folder() + QStringLiteral("clip.html")).startsWith("<html xmlns="));
}

TEST(PageWriter, MissingTemplateStillWritesThePage)
{
    PageFiles t;
    QTemporaryDir emptyProgram;
    ASSERT_TRUE(t.dir.isValid() && emptyProgram.isValid());
    EXPECT_TRUE(rm::WritePlayerPage(t.folder(), QStringLiteral("clip"), 1, 2, 3, 10, 20,
                                    emptyProgram.path() + QLatin1Char('/')));
    EXPECT_TRUE(QFile::exists(t.folder() + QStringLiteral("clip.html")));
    EXPECT_FALSE(QFile::exists(t.folder() + QStringLiteral("AC_RunActiveContent.js")));
}

TEST(PageWriter, UnwritableFolderReportsZero)
{
    rm::CreateHtmlPlayingSWF page;
    page.SetSwfName(QStringLiteral("clip"));
    EXPECT_EQ(page.WritePage(QStringLiteral("/nonexistent-folder-for-page/clip.html")), 0);
}

TEST(PageWriter, ColourTextIsSixLowerCaseHexDigits)
{
    struct Case { int r, g, b; const char* text; };
    for (const Case& c : {Case{255, 128, 0, "ff8000"}, Case{0, 0, 0, "000000"}, Case{10, 171, 205, "0aabcd"},
                          Case{300, -5, 255, "ff00ff"}})
        EXPECT_EQ(rm::ColourText(c.r, c.g, c.b), QLatin1String(c.text));
}

// A hostile output name gives a well-formed UTF-8 page whose values read back exactly: the page
// happens to be well-formed XML, so an XML reader checks the escaping of every HTML place.
TEST(PageWriter, EscapesWhatItInserts)
{
    for (const QString& name : {QStringLiteral("it's <mine> & \"yours\""),
                                QStringLiteral("clip é 日本 <script>alert(1)<\\script>"),
                                QStringLiteral("a#b?c%d:e\\f")}) {
        SCOPED_TRACE(name.toStdString());
        PageFiles t;
        ASSERT_TRUE(t.dir.isValid());
        ASSERT_TRUE(rm::WritePlayerPage(t.folder(), name, 1, 2, 3, 320, 240, kProgramFolder));
        const QByteArray bytes = ReadAll(t.folder() + name + QStringLiteral(".html"));
        ASSERT_FALSE(bytes.isEmpty());
        const QStringList lines = CrLfLines(bytes);
        ASSERT_EQ(lines.size(), 39);
        // UTF-8 as the meta line says.
        EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes);

        QXmlStreamReader xml(bytes);
        QString title, embedName, embedSrc, paramMovie, objectId, script;
        int scripts = 0;
        while (!xml.atEnd()) {
            if (!xml.readNext() || xml.tokenType() != QXmlStreamReader::StartElement)
                continue;
            const auto a = xml.attributes();
            if (xml.name() == u"title") {
                title = xml.readElementText();
            } else if (xml.name() == u"embed") {
                embedName = a.value(QLatin1String("name")).toString();
                embedSrc = a.value(QLatin1String("src")).toString();
            } else if (xml.name() == u"object") {
                objectId = a.value(QLatin1String("id")).toString();
            } else if (xml.name() == u"param" && a.value(QLatin1String("name")) == u"movie") {
                paramMovie = a.value(QLatin1String("value")).toString();
            } else if (xml.name() == u"script") {
                ++scripts;
                script += xml.readElementText();
            }
        }
        ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
        EXPECT_EQ(scripts, 3);  // nothing in the name opened or closed a script element
        EXPECT_EQ(title, name);
        EXPECT_EQ(embedName, name);
        EXPECT_FALSE(objectId.contains(u' '));
        // The movie's address is the name as one relative path segment.
        for (const QString& src : {embedSrc, paramMovie}) {
            const QUrl url = QUrl(QStringLiteral("http://127.0.0.1/job/")).resolved(QUrl(src, QUrl::StrictMode));
            EXPECT_EQ(url.path(QUrl::FullyDecoded), QStringLiteral("/job/") + name + QStringLiteral(".swf"));
            EXPECT_FALSE(url.hasQuery());
            EXPECT_FALSE(url.hasFragment());
        }
        // Inside the script the values are JavaScript strings: no raw quote, markup or line end.
        for (int i : {16, 25, 27, 31}) {
            const QString& l = lines[i];
            const qsizetype open = l.indexOf(u'\'', l.indexOf(u',')) + 1;
            const QString value = l.mid(open, l.lastIndexOf(u'\'') - open);
            for (qsizetype k = 0; k < value.size(); ++k) {
                if (value[k] == u'\\') { ++k; continue; }
                EXPECT_NE(value[k], u'\'') << l.toStdString();
                EXPECT_NE(value[k], u'<') << l.toStdString();
                EXPECT_NE(value[k], u'&') << l.toStdString();
            }
        }
    }
}

TEST(PageWriter, EscapesForEachContext)
{
    EXPECT_EQ(rm::HtmlEscape(QStringLiteral("it's <mine> & \"yours\"")),
              QStringLiteral("it&#39;s &lt;mine&gt; &amp; &quot;yours&quot;"));
    EXPECT_EQ(rm::JsStringEscape(QStringLiteral("a'b\"c\\d</script>\n\u2028")),
              QStringLiteral("a\\'b\\\"c\\\\d\\x3c/script\\x3e\\x0a\\u2028"));
    EXPECT_EQ(rm::UrlPathEscape(QStringLiteral("mobile(1) a#b?c%:é")),
              QStringLiteral("mobile(1)%20a%23b%3Fc%25%3A%C3%A9"));
}

} // namespace
