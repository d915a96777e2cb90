#include "convert/page_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "convert/file_copy.h"
#include "model/app_settings.h"

namespace rm {

namespace {

// The plug-in publisher's addresses the classic embedding markup points at. No browser installs
// the plug-in any more (AC_RunActiveContent.js falls back to Ruffle); they stay for the markup.
const char kActiveXCodebase[] = "https://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab";
const char kPluginsPage[] = "https://www.adobe.com/go/getflashplayer";
const char kXhtmlNamespace[] = "http://www.w3.org/1999/xhtml";

// An element id may not contain white space; the name keeps its other characters.
QString IdText(const QString& name)
{
    QString id = name;
    for (QChar& c : id)
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f')
            c = u'_';
    return id;
}

} // namespace

QString HtmlEscape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

QString JsStringEscape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '\'' || u == '"') {
            out += u'\\';
            out += c;
        } else if (u == '<' || u == '>' || u == '&' || u < 0x20 || u == 0x7f) {
            // Never let the value close the script element or start markup inside it.
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else if (u == 0x2028 || u == 0x2029) {
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

QString UrlPathEscape(const QString& text)
{
    // Unreserved characters and the harmless sub-delimiters stay; everything else, including
    // ':' (which would read as a scheme), '?', '#', '%', '/' and non-ASCII, is percent-encoded.
    static const QByteArray keep = "-._~!$&'()*+,;=@";
    const QByteArray utf8 = text.toUtf8();
    QString out;
    for (unsigned char b : utf8) {
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || keep.contains(char(b)))
            out += QChar(b);
        else
            out += QStringLiteral("%%1").arg(int(b), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString ColourText(int red, int green, int blue)
{
    auto c = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    return QString::asprintf("%02x%02x%02x", c(red), c(green), c(blue));
}

bool CreateHtmlPlayingSWF::SetTitle(const QString& title) { m_title = title; return true; }
bool CreateHtmlPlayingSWF::SetSwfName(const QString& swfName) { m_swfName = swfName; return true; }
bool CreateHtmlPlayingSWF::SetWidth(int32_t width) { m_width = width; return true; }
bool CreateHtmlPlayingSWF::SetHeight(int32_t height) { m_height = height; return true; }
bool CreateHtmlPlayingSWF::SetBackgroundColor(const QString& colour) { m_backgroundColor = colour; return true; }
void CreateHtmlPlayingSWF::SetBrowserVideo(const QString& videoFile) { m_videoFile = videoFile; }
void CreateHtmlPlayingSWF::SetAutoPlay(bool autoPlay) { m_autoPlay = autoPlay; }
void CreateHtmlPlayingSWF::SetDesignFile(const QString& designFile) { m_designFile = designFile; }

QStringList CreateHtmlPlayingSWF::PageLines() const
{
    const QString w = QString::number(m_width);
    const QString h = QString::number(m_height);
    const QString cab = QString::fromLatin1(kActiveXCodebase) + QLatin1String("#version=8,0,0,0");
    const QString plugins = QString::fromLatin1(kPluginsPage);
    // Each value in the form its place needs.
    const QString titleHtml = HtmlEscape(m_title);
    const QString colourHtml = HtmlEscape(m_backgroundColor);
    const QString colourJs = JsStringEscape(m_backgroundColor);
    const QString urlJs = JsStringEscape(UrlPathEscape(m_swfName));
    const QString urlHtml = HtmlEscape(UrlPathEscape(m_swfName));
    const QString idJs = JsStringEscape(IdText(m_swfName));
    const QString idHtml = HtmlEscape(IdText(m_swfName));
    const QString nameJs = JsStringEscape(m_swfName);
    const QString nameHtml = HtmlEscape(m_swfName);

    // The page's own pairs: the thumbnail, and for a video the emulator cannot decode, the file
    // the browser plays itself.
    QString videoPairs;
    if (!m_videoFile.isEmpty())
        videoPairs = QStringLiteral(", 'video', '") + JsStringEscape(UrlPathEscape(m_videoFile)) + QStringLiteral("'");
    if (m_autoPlay)
        videoPairs += QStringLiteral(", 'autoplay', 'true'");
    if (!m_designFile.isEmpty())
        videoPairs += QStringLiteral(", 'design', '") + JsStringEscape(UrlPathEscape(m_designFile)) + QStringLiteral("'");

    QStringList l;
    l << QStringLiteral("<html xmlns=\"%1\" xml:lang=\"zh_cn\" lang=\"zh_cn\">").arg(QLatin1String(kXhtmlNamespace))
      << QStringLiteral("<head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />")
      << QStringLiteral("<title>") + titleHtml + QStringLiteral("</title>")
      << QStringLiteral("<script language=\"javascript\">AC_FL_RunContent = 0;</script><script src=\"AC_RunActiveContent.js\" language=\"javascript\"></script>")
      << QStringLiteral("</head>")
      << QStringLiteral("<body bgcolor=\"#") + colourHtml + QStringLiteral("\"><center>")
      << QStringLiteral("<script language=\"javascript\">")
      << QStringLiteral(" if(AC_FL_RunContent == 0)")
      << QStringLiteral("{")
      << QStringLiteral(" alert(\"Can not find AC_RunActiveContent.js!\");")
      << QStringLiteral(" }")
      << QStringLiteral(" else ")
      << QStringLiteral("{")
      << QStringLiteral("AC_FL_RunContent('codebase', '") + JsStringEscape(cab) + QStringLiteral("',")
      << QStringLiteral(" 'width', '") + w + QStringLiteral("',")
      << QStringLiteral(" 'height', '") + h + QStringLiteral("',")
      << QStringLiteral(" 'src', '") + urlJs + QStringLiteral("',")
      << QStringLiteral(" 'quality', 'high',")
      << QStringLiteral(" 'pluginspage', '") + JsStringEscape(plugins) + QStringLiteral("',")
      << QStringLiteral(" 'align', 'middle',")
      << QStringLiteral(" 'play', 'false',")
      << QStringLiteral(" 'loop', 'true',")
      << QStringLiteral(" 'scale', 'showall',")
      << QStringLiteral(" 'wmode', 'window',")
      << QStringLiteral(" 'devicefont', 'false',")
      << QStringLiteral(" 'id', '") + idJs + QStringLiteral("',")
      << QStringLiteral(" 'bgcolor', '#") + colourJs + QStringLiteral("',")
      << QStringLiteral(" 'name', '") + nameJs + QStringLiteral("',")
      << QStringLiteral(" 'menu', 'true',")
      << QStringLiteral(" 'allowFullScreen', 'true',")
      << QStringLiteral(" 'allowScriptAccess','sameDomain',")
      << QStringLiteral(" 'movie', '") + urlJs + QStringLiteral("',")
      << QStringLiteral(" 'salign', '', 'poster', '") + JsStringEscape(UrlPathEscape(m_swfName + QStringLiteral(".jpg")))
             + QStringLiteral("'") + videoPairs + QStringLiteral("); //end AC code")
      << QStringLiteral("}</script>")
      << QStringLiteral("<noscript>")
      << QStringLiteral("<object classid=\"clsid:d27cdb6e-ae6d-11cf-96b8-444553540000\" codebase=\"") + HtmlEscape(cab)
             + QStringLiteral("\" width=\"") + w + QStringLiteral("\" height=\"") + h + QStringLiteral("\" id=\"") + idHtml
             + QStringLiteral("\" align=\"middle\"><param name=\"allowScriptAccess\" value=\"sameDomain\" /><param name=\"allowFullScreen\" value=\"true\" />")
      << QStringLiteral("<param name=\"movie\" value=\"") + urlHtml + QStringLiteral(".swf\" /><param name=\"quality\" value=\"high\" /><param name=\"bgcolor\" value=\"#")
             + colourHtml + QStringLiteral("\" /><embed src=\"") + urlHtml + QStringLiteral(".swf\" quality=\"high\" bgcolor=\"#") + colourHtml
             + QStringLiteral("\" width=\"") + w + QStringLiteral("\" height=\"") + h + QStringLiteral("\" name=\"") + nameHtml
             + QStringLiteral("\" align=\"middle\" allowScriptAccess=\"sameDomain\" allowFullScreen=\"true\" type=\"application/x-shockwave-flash\" pluginspage=\"")
             + HtmlEscape(plugins) + QStringLiteral("\" /></object></noscript>")
      << QStringLiteral("</center></body>")
      << QStringLiteral("</html>");
    return l;
}

int CreateHtmlPlayingSWF::WritePage(const QString& filePath) const
{
    const QStringList lines = PageLines();
    if (lines.isEmpty())
        return 0;
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    // Written whole or not at all: a page cut short would look complete to a browser.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return 0;
    }
    return file.commit() ? 1 : 0;
}

bool WritePlayerPage(const QString& jobFolder, const QString& name, int red, int green, int blue,
                     int32_t width, int32_t height, const QString& programFolder,
                     const QString& browserVideo, bool autoPlay, const QString& designFile)
{
    CreateHtmlPlayingSWF page;
    page.SetBrowserVideo(browserVideo);
    page.SetDesignFile(designFile);
    page.SetAutoPlay(autoPlay);
    page.SetTitle(name);
    page.SetSwfName(name);
    page.SetBackgroundColor(ColourText(red, green, blue));

    QString program = programFolder.isEmpty() ? ProgramFolder() : programFolder;
    if (!program.endsWith(u'/') && !program.endsWith(QDir::separator()))
        program += u'/';
    const QString script = program + QStringLiteral("templates/AC_RunActiveContent.js");
    const QString copy = jobFolder + QStringLiteral("AC_RunActiveContent.js");
    // A page whose script could not be copied (disk full, folder read-only) would not play:
    // it is not written either. A program folder without the script still gets its page.
    if (QFileInfo::exists(script) && !CopyFileAtomically(script, copy))
        return false;

    page.SetWidth(width);
    page.SetHeight(height);
    return page.WritePage(jobFolder + name + QStringLiteral(".html")) == 1;
}

} // namespace rm
