#pragma once
// The HTML page written beside a generated player: a fixed 39-line template (CR LF line ends)
// that embeds the SWF through AC_RunActiveContent.js, plus a copy of that script.
//
// Every inserted value is escaped for the place it lands in (HTML text, attribute value,
// JavaScript string, URL path), and the page is UTF-8 as its meta line says, so any output name
// gives a well-formed page that still finds its player.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace rm {

class CreateHtmlPlayingSWF {
public:
    bool SetTitle(const QString& title);
    bool SetSwfName(const QString& swfName);  // player file name without folder and extension
    bool SetWidth(int32_t width);
    bool SetHeight(int32_t height);
    bool SetBackgroundColor(const QString& colour);  // six lower-case hex digits, e.g. "ff8000"
    // A video file beside the page that browsers without Flash play with their own <video>
    // element (H.264 the emulator cannot decode); empty: the SWF plays everywhere.
    void SetBrowserVideo(const QString& videoFile);
    void SetAutoPlay(bool autoPlay);  // the <video> starts by itself, as the player would
    // The player's HTML5 design file beside the page (name.html5.js): browsers without Flash
    // then show the same player (skin, credits, decoration, playlist) around the browser video.
    void SetDesignFile(const QString& designFile);

    // Fills the template and writes the page (UTF-8, CR LF after every line). Returns 1, or 0
    // when the page could not be made or written.
    int WritePage(const QString& filePath) const;

    // The 39 filled lines, without line ends (what WritePage writes).
    QStringList PageLines() const;

private:
    QString m_title;
    QString m_swfName;
    int32_t m_width = 0;
    int32_t m_height = 0;
    QString m_backgroundColor;
    QString m_videoFile;
    bool m_autoPlay = false;
    QString m_designFile;
};

// "%02x%02x%02x" of the three components (each clamped to 0..255).
QString ColourText(int red, int green, int blue);

// The worker's page step: copies programFolder + "templates/AC_RunActiveContent.js" into
// jobFolder (replacing a file of that name) and writes jobFolder + name + ".html" for the player
// name.swf. jobFolder ends with a separator; an empty programFolder means ProgramFolder().
// Both files are written under temporary names and renamed when complete. Returns whether the
// page was written: false also when the script could not be copied (no page is written then); a
// program folder without the script is not an error (the page then says so in the browser).
// browserVideo, autoPlay and designFile: see SetBrowserVideo, SetAutoPlay and SetDesignFile.
bool WritePlayerPage(const QString& jobFolder, const QString& name, int red, int green, int blue,
                     int32_t width, int32_t height, const QString& programFolder = {},
                     const QString& browserVideo = {}, bool autoPlay = false,
                     const QString& designFile = {});

// The escapes the page uses, exposed for tests.
QString HtmlEscape(const QString& text);         // text and attribute values (& < > " ')
QString JsStringEscape(const QString& text);     // inside '...' within a <script> element
QString UrlPathEscape(const QString& text);      // one relative URL path segment

} // namespace rm
