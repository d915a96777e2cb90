// Font faces and files through fontconfig: the family list the wizard offers, and the font file
// behind a face name for the player maker.

#include "model/custom_settings.h"

#include <fontconfig/fontconfig.h>

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <algorithm>

namespace rm {

namespace {

QMutex g_fcMutex;  // fontconfig's current config is shared; keep our queries one at a time

FcConfig* config()
{
    // FcInitLoadConfigAndFonts once; FcConfigGetCurrent then returns it (and rescans if asked).
    static FcConfig* cfg = [] {
        FcInit();
        return FcConfigGetCurrent();
    }();
    return cfg;
}

QString fcString(FcPattern* p, const char* object, int n)
{
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, object, n, &s) != FcResultMatch || !s)
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(s));
}

QStringList fcStrings(FcPattern* p, const char* object)
{
    QStringList out;
    for (int n = 0;; ++n) {
        FcChar8* s = nullptr;
        if (FcPatternGetString(p, object, n, &s) != FcResultMatch || !s)
            break;
        out << QString::fromUtf8(reinterpret_cast<const char*>(s));
    }
    return out;
}

// The root folders fontconfig is configured with (and, failing those, every scanned folder).
QStringList fontRoots()
{
    QStringList roots;
    for (auto getter : {FcConfigGetConfigDirs, FcConfigGetFontDirs}) {
        FcStrList* list = getter(config());
        if (!list)
            continue;
        while (FcChar8* d = FcStrListNext(list))
            roots << QDir::cleanPath(QString::fromUtf8(reinterpret_cast<const char*>(d)));
        FcStrListDone(list);
    }
    return roots;
}

struct FaceFile {
    QString folder;    // with a trailing separator
    QString relative;  // below folder
};

// Splits a font file into the fonts folder holding its tree and the rest of the path.
FaceFile splitFontPath(const QString& file)
{
    const QString clean = QDir::cleanPath(file);
    QString best;
    for (const QString& root : fontRoots()) {
        const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        if (clean.startsWith(prefix) && (best.isEmpty() || prefix.size() < best.size()))
            best = prefix;  // the outermost folder of the tree
    }
    if (best.isEmpty()) {
        const QFileInfo fi(clean);
        best = fi.absolutePath();
        if (!best.endsWith(QLatin1Char('/')))
            best += QLatin1Char('/');
    }
    return FaceFile{best, clean.mid(best.size())};
}

// Every font fontconfig knows, best-suited for `face` first (regular styles before others).
FcFontSet* sortedFonts(const QString& face)
{
    FcPattern* pat = FcPatternCreate();
    const QByteArray f = face.toUtf8();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(f.constData()));
    FcConfigSubstitute(config(), pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcFontSet* set = FcFontSort(config(), pat, FcFalse, nullptr, &result);
    FcPatternDestroy(pat);
    return set;
}

// The file of a font whose family or full name is exactly `face` (case-sensitive).
QString exactFaceFile(const QString& face)
{
    FcFontSet* set = sortedFonts(face);
    if (!set)
        return {};
    QString found;
    for (const char* object : {FC_FAMILY, FC_FULLNAME}) {
        for (int i = 0; i < set->nfont && found.isEmpty(); ++i) {
            if (fcStrings(set->fonts[i], object).contains(face))
                found = fcString(set->fonts[i], FC_FILE, 0);
        }
        if (!found.isEmpty())
            break;
    }
    FcFontSetDestroy(set);
    return found;
}

QString faceFile(const QString& face)
{
    if (face.isEmpty())
        return {};
    const QStringList& fonts = FontList();  // before taking the lock: filling it takes it too
    QMutexLocker lock(&g_fcMutex);
    QString file = exactFaceFile(face);
    if (file.isEmpty()) {
        // The first listed face that contains the name stands in for it.
        for (const QString& entry : fonts) {
            if (entry.contains(face, Qt::CaseSensitive)) {
                file = exactFaceFile(entry);
                break;
            }
        }
    }
    return file;
}

} // namespace

void LoadFontList(QStringList& list)
{
    QMutexLocker lock(&g_fcMutex);
    FcConfig* cfg = config();
    if (!cfg)
        return;
    FcPattern* pat = FcPatternCreate();
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(cfg, pat, os);
    FcObjectSetDestroy(os);
    FcPatternDestroy(pat);
    if (!set)
        return;
    QStringList names;
    for (int i = 0; i < set->nfont; ++i)
        names << fcStrings(set->fonts[i], FC_FAMILY);
    FcFontSetDestroy(set);
    names.removeDuplicates();
    // The order of localeAwareCompare, with a collator of our own: Qt's shared one is never freed.
    const QCollator collator;
    std::sort(names.begin(), names.end(),
              [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    list << names;
}

const QStringList& FontList()
{
    static const QStringList list = [] {
        QStringList l;
        LoadFontList(l);
        return l;
    }();
    return list;
}

QString FindFontFile(const QString& face)
{
    const QString file = faceFile(face);
    if (file.isEmpty())
        return {};
    QMutexLocker lock(&g_fcMutex);
    return splitFontPath(file).relative;
}

QString FontFilePath(const QString& face)
{
    const QString file = faceFile(face);
    QMutexLocker lock(&g_fcMutex);
    if (!file.isEmpty()) {
        const FaceFile ff = splitFontPath(file);
        return ff.folder + ff.relative;
    }
    // No such face: the fonts folder alone, as the caller would get with an empty file name.
    for (const QString& root : fontRoots()) {
        if (QFileInfo(root).isDir())
            return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    }
    return {};
}

QString MatchFontFile(const QString& face)
{
    QMutexLocker lock(&g_fcMutex);
    FcPattern* pat = FcPatternCreate();
    const QByteArray f = face.toUtf8();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(f.constData()));
    FcConfigSubstitute(config(), pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(config(), pat, &result);
    FcPatternDestroy(pat);
    if (!match)
        return {};
    QString file = fcString(match, FC_FILE, 0);
    FcPatternDestroy(match);
    return file;
}

} // namespace rm
