#include "model/task_list_file.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstring>
#include <map>
#include <memory>

#include "engines/files/atomic_output.h"
#include "model/media_item.h"
#include "model/task_tree.h"

namespace rm {

namespace {

// A document that does not hold what it must: the reader stops with this text.
struct Damaged {
    QString what;
};

// ---------------------------------------------------------------- fields of the settings record

// Visits every field of the settings record with its name (the names of the settings store).
template <class S, class V> void VisitSettings(S& s, V&& v)
{
    v("dscale", s.dscale);
    v("ProfileName", s.ProfileName);
    v("FormatName", s.FormatName);
    v("FileExt", s.FileExt);
    v("CarriedNumber", s.CarriedNumber);
    v("FormatArg", s.FormatArg);
    v("VideoEncoder", s.VideoEncoder);
    v("VideoBitRate", s.VideoBitRate);
    v("FrameRate", s.FrameRate);
    v("AudioEncoder", s.AudioEncoder);
    v("AudioBitrate", s.AudioBitrate);
    v("Channel", s.Channel);
    v("SimpleRate", s.SimpleRate);
    v("Width", s.Width);
    v("Height", s.Height);
    v("IsCustom", s.IsCustom);
    v("IssettingCustom", s.IssettingCustom);
    v("IsGeneralFlv", s.IsGeneralFlv);
    v("IsGeneralSwf", s.IsGeneralSwf);
    v("SwfType", s.SwfType);
    v("IsGeneralHtml", s.IsGeneralHtml);
    v("IsGeneralThumbnail", s.IsGeneralThumbnail);
    v("PlayerSkinPath", s.PlayerSkinPath);
    v("EffectSkinPath", s.EffectSkinPath);
    v("PreloaderSkinPath", s.PreloaderSkinPath);
    v("BackgrounColor", s.BackgrounColor);
    v("IsMouseAutoHide", s.IsMouseAutoHide);
    v("IsSkinAutoHide", s.IsSkinAutoHide);
    v("hideDelay", s.hideDelay);
    v("IsSliderAutoHide", s.IsSliderAutoHide);
    v("IsAutoPlay", s.IsAutoPlay);
    v("IsHideAll", s.IsHideAll);
    v("IsHideMuteBtn", s.IsHideMuteBtn);
    v("IsHideFullscreenBtn", s.IsHideFullscreenBtn);
    v("IsHidePreNextBtn", s.IsHidePreNextBtn);
    v("IsHidePlaylistBtn", s.IsHidePlaylistBtn);
    v("IsHidePlayingprocessBar", s.IsHidePlayingprocessBar);
    v("IsHideVolumeBar", s.IsHideVolumeBar);
    v("IsHidePlayingTime", s.IsHidePlayingTime);
    v("IsHidePlayList", s.IsHidePlayList);
    v("IsCreditHead", s.IsCreditHead);
    v("Head_imagePath", s.Head_imagePath);
    v("Head_textContent", s.Head_textContent);
    v("Head_fontType", s.Head_fontType);
    v("Head_fontSize", s.Head_fontSize);
    v("Head_fontX", s.Head_fontX);
    v("Head_fontY", s.Head_fontY);
    v("Head_fontColor", s.Head_fontColor);
    v("Head_duration", s.Head_duration);
    v("Head_backgroundColor", s.Head_backgroundColor);
    v("IsCreditTail", s.IsCreditTail);
    v("Tail_imagePath", s.Tail_imagePath);
    v("Tail_textContent", s.Tail_textContent);
    v("Tail_fontType", s.Tail_fontType);
    v("Tail_fontSize", s.Tail_fontSize);
    v("Tail_fontX", s.Tail_fontX);
    v("Tail_fontY", s.Tail_fontY);
    v("Tail_fontColor", s.Tail_fontColor);
    v("Tail_duration", s.Tail_duration);
    v("Tail_backgroundColor", s.Tail_backgroundColor);
    v("IsDecorate", s.IsDecorate);
    v("FileType", s.FileType);
    v("Dec_imagePath", s.Dec_imagePath);
    v("Dec_textContent", s.Dec_textContent);
    v("Dec_fontType", s.Dec_fontType);
    v("Dec_fontSize", s.Dec_fontSize);
    v("Dec_fontColor", s.Dec_fontColor);
    v("Dec_URL", s.Dec_URL);
    v("Dec_X", s.Dec_X);
    v("Dec_Y", s.Dec_Y);
    v("Dec_Width", s.Dec_Width);
    v("Dec_Height", s.Dec_Height);
    v("dscale_X", s.dscale_X);
    v("dscale_Y", s.dscale_Y);
    v("Dec_text_X", s.Dec_text_X);
    v("Dec_text_Y", s.Dec_text_Y);
    v("Dec_text_Width", s.Dec_text_Width);
    v("Dec_text_Height", s.Dec_text_Height);
    v("Dec_img_X", s.Dec_img_X);
    v("Dec_img_Y", s.Dec_img_Y);
    v("Dec_img_Width", s.Dec_img_Width);
    v("Dec_img_Height", s.Dec_img_Height);
}

// The facts of a source the application and the converter read, by name.
template <class M, class V> void VisitMediaFacts(M& m, V&& v)
{
    v("duration", m.duration);
    v("durationSeconds", m.durationSeconds);
    v("width", m.width);
    v("height", m.height);
    v("videoBitrate", m.videoBitrate);
    v("frameRate", m.frameRate);
    v("audioBitrate", m.audioBitrate);
    v("channels", m.channels);
    v("sampleRate", m.sampleRate);
    v("probed", m.probed);
    v("videoStream", m.videoStream);
    v("audioStream", m.audioStream);
    v("rotation", m.rotation);
    v("sarNum", m.sarNum);
    v("sarDen", m.sarDen);
    v("startTimeUs", m.startTimeUs);
    v("formatName", m.formatName);
    v("videoCodec", m.videoCodec);
    v("audioCodec", m.audioCodec);
}

template <class C, class V> void VisitCrop(C& c, V&& v)
{
    v("top", c.top);
    v("bottom", c.bottom);
    v("left", c.left);
    v("right", c.right);
    v("zoom", c.zoom);
}

template <class E, class V> void VisitEffects(E& e, V&& v)
{
    v("brightness", e.brightness);
    v("contrast", e.contrast);
    v("saturation", e.saturation);
    v("verticalFlip", e.verticalFlip);
    v("horizontalFlip", e.horizontalFlip);
    v("colourEffect", e.colourEffect);
    v("volume", e.volume);
}

template <class R, class V> void VisitRow(R& r, V&& v)
{
    v("displayName", r.displayName);
    v("originalLength", r.originalLength);
    v("trimmedLength", r.trimmedLength);
    v("destination", r.destination);
    v("checkType", r.checkType);
    v("checkState", r.checkState);
}

// ---------------------------------------------------------------- writing

struct Writer {
    QJsonObject* o;
    template <size_t N> void operator()(const char* name, const char (&text)[N]) const
    {
        o->insert(QLatin1String(name), TextOf(text));
    }
    void operator()(const char* name, const RgbColor& c) const
    {
        o->insert(QLatin1String(name), QJsonArray{c.red, c.green, c.blue});
    }
    void operator()(const char* name, double v) const { o->insert(QLatin1String(name), v); }
    void operator()(const char* name, float v) const { o->insert(QLatin1String(name), double(v)); }
    void operator()(const char* name, int32_t v) const { o->insert(QLatin1String(name), v); }
    void operator()(const char* name, int64_t v) const { o->insert(QLatin1String(name), qint64(v)); }
    void operator()(const char* name, uint8_t v) const { o->insert(QLatin1String(name), int(v)); }
};

template <class T, class Visit> QJsonObject ToObject(const T& record, Visit visit)
{
    QJsonObject o;
    visit(record, Writer{&o});
    return o;
}

const char* StateName(TaskRunState s)
{
    switch (s) {
    case TaskRunState::Waiting: return "waiting";
    case TaskRunState::Running: return "running";
    case TaskRunState::Done: return "done";
    case TaskRunState::Failed: return "failed";
    case TaskRunState::Interrupted: return "interrupted";
    }
    return "waiting";
}

// Shared records get one entry each in their table, in the order first met.
template <class T> struct Table {
    std::map<const T*, int> index;
    QJsonArray entries;
    template <class ToJson> int Add(const std::shared_ptr<T>& p, ToJson toJson)
    {
        if (!p)
            return -1;
        auto [it, fresh] = index.emplace(p.get(), int(index.size()));
        if (fresh)
            entries.append(toJson(*p));
        return it->second;
    }
};

QJsonObject SourceToJson(const MediaInfo& m)
{
    QJsonObject o = ToObject(m, [](const MediaInfo& r, auto&& v) { VisitMediaFacts(r, v); });
    o.insert(QStringLiteral("path"), TextOf(m.path));
    // The converter's own bytes, only when it left any.
    const auto* engine = reinterpret_cast<const char*>(m.engine);
    bool any = false;
    for (size_t i = 0; i < sizeof m.engine && !any; ++i)
        any = engine[i] != 0;
    if (any)
        o.insert(QStringLiteral("engine"),
                 QString::fromLatin1(QByteArray(engine, int(sizeof m.engine)).toBase64()));
    return o;
}

struct ListWriter {
    Table<MediaInfo> sources;
    Table<CropSettings> crops;
    Table<EffectSettings> effects;

    QJsonObject Node(const TaskNode& n)
    {
        const MediaItem& it = *n.item();
        QJsonObject o;
        o.insert(QStringLiteral("kind"), it.kind);
        o.insert(QStringLiteral("role"), it.role);
        o.insert(QStringLiteral("segmentCounter"), it.segmentCounter);
        o.insert(QStringLiteral("formerKind"), it.formerKind);
        o.insert(QStringLiteral("source"), sources.Add(it.media, SourceToJson));
        o.insert(QStringLiteral("outputBaseName"), TextOf(it.outputBaseName));
        o.insert(QStringLiteral("trim"), QJsonArray{it.trim.start, it.trim.end});
        o.insert(QStringLiteral("crop"), crops.Add(it.crop, [](const CropSettings& c) {
            return ToObject(c, [](const CropSettings& r, auto&& v) { VisitCrop(r, v); });
        }));
        o.insert(QStringLiteral("effects"), effects.Add(it.effects, [](const EffectSettings& e) {
            return ToObject(e, [](const EffectSettings& r, auto&& v) { VisitEffects(r, v); });
        }));
        if (it.settings)
            o.insert(QStringLiteral("settings"),
                     ToObject(*it.settings, [](const CustomSettings& r, auto&& v) { VisitSettings(r, v); }));
        o.insert(QStringLiteral("row"), ToObject(it.row, [](const ItemRow& r, auto&& v) { VisitRow(r, v); }));
        o.insert(QStringLiteral("checkType"), int(n.checkType));
        o.insert(QStringLiteral("checked"), int(n.checkState));
        o.insert(QStringLiteral("expanded"), n.expanded);
        QJsonObject run;
        run.insert(QStringLiteral("state"), QLatin1String(StateName(n.run.state)));
        if (!n.run.outputFolder.isEmpty())
            run.insert(QStringLiteral("outputFolder"), n.run.outputFolder);
        if (!n.run.message.isEmpty())
            run.insert(QStringLiteral("message"), n.run.message);
        o.insert(QStringLiteral("run"), run);
        QJsonArray children;
        for (int i = 0; i < n.childCount(); ++i)
            children.append(Node(*n.child(i)));
        if (!children.isEmpty())
            o.insert(QStringLiteral("children"), children);
        return o;
    }
};

// ---------------------------------------------------------------- reading

const QJsonValue& Need(const QJsonValue& v, const QString& where)
{
    if (v.isUndefined())
        throw Damaged{QStringLiteral("%1 is missing").arg(where)};
    return v;
}

double NumberOf(const QJsonObject& o, const char* name, const QString& where)
{
    const QJsonValue v = Need(o.value(QLatin1String(name)), where + u'.' + QLatin1String(name));
    if (!v.isDouble())
        throw Damaged{QStringLiteral("%1.%2 is not a number").arg(where, QLatin1String(name))};
    return v.toDouble();
}

int32_t IntOf(const QJsonObject& o, const char* name, const QString& where, double lo = -2147483648.0,
              double hi = 2147483647.0)
{
    const double d = NumberOf(o, name, where);
    if (d != double(int64_t(d)) || d < lo || d > hi)
        throw Damaged{QStringLiteral("%1.%2 is out of range").arg(where, QLatin1String(name))};
    return int32_t(d);
}

QString StringOf(const QJsonObject& o, const char* name, const QString& where)
{
    const QJsonValue v = Need(o.value(QLatin1String(name)), where + u'.' + QLatin1String(name));
    if (!v.isString())
        throw Damaged{QStringLiteral("%1.%2 is not a text").arg(where, QLatin1String(name))};
    return v.toString();
}

QJsonObject ObjectOf(const QJsonValue& v, const QString& where)
{
    if (!Need(v, where).isObject())
        throw Damaged{QStringLiteral("%1 is not an object").arg(where)};
    return v.toObject();
}

QJsonArray ArrayOf(const QJsonValue& v, const QString& where)
{
    if (!Need(v, where).isArray())
        throw Damaged{QStringLiteral("%1 is not a list").arg(where)};
    return v.toArray();
}

struct Reader {
    const QJsonObject& o;
    QString where;
    template <size_t N> void operator()(const char* name, char (&text)[N]) const
    {
        const QByteArray utf8 = StringOf(o, name, where).toUtf8();
        if (utf8.size() >= int(N))
            throw Damaged{QStringLiteral("%1.%2 is too long").arg(where, QLatin1String(name))};
        SetText(text, utf8.constData());
    }
    void operator()(const char* name, RgbColor& c) const
    {
        const QString at = where + u'.' + QLatin1String(name);
        const QJsonArray a = ArrayOf(o.value(QLatin1String(name)), at);
        if (a.size() != 3)
            throw Damaged{QStringLiteral("%1 is not a colour").arg(at)};
        int32_t parts[3];
        for (int i = 0; i < 3; ++i) {
            const double d = a.at(i).toDouble(-1);
            if (!a.at(i).isDouble() || d < 0 || d > 255 || d != double(int(d)))
                throw Damaged{QStringLiteral("%1 is not a colour").arg(at)};
            parts[i] = int32_t(d);
        }
        c = RgbColor{parts[0], parts[1], parts[2]};
    }
    void operator()(const char* name, double& v) const { v = NumberOf(o, name, where); }
    void operator()(const char* name, float& v) const { v = float(NumberOf(o, name, where)); }
    void operator()(const char* name, int32_t& v) const { v = IntOf(o, name, where); }
    void operator()(const char* name, int64_t& v) const
    {
        const double d = NumberOf(o, name, where);
        if (d != double(int64_t(d)) || d < -9.0e15 || d > 9.0e15)
            throw Damaged{QStringLiteral("%1.%2 is out of range").arg(where, QLatin1String(name))};
        v = int64_t(d);
    }
    void operator()(const char* name, uint8_t& v) const { v = uint8_t(IntOf(o, name, where, 0, 255)); }
};

TaskRunState StateFrom(const QString& name, const QString& where)
{
    static const std::pair<const char*, TaskRunState> kStates[] = {
        {"waiting", TaskRunState::Waiting}, {"running", TaskRunState::Running}, {"done", TaskRunState::Done},
        {"failed", TaskRunState::Failed},   {"interrupted", TaskRunState::Interrupted},
    };
    for (const auto& [n, s] : kStates)
        if (name == QLatin1String(n))
            return s;
    throw Damaged{QStringLiteral("%1 has an unknown state \"%2\"").arg(where, name)};
}

// One row read, before anything goes into the tree.
struct ReadNode {
    std::unique_ptr<MediaItem> item;
    Qt::CheckState checked = Qt::Unchecked;
    uint8_t checkType = 0;
    bool expanded = false;
    TaskRunRecord run;
    std::vector<ReadNode> children;
};

struct ListReader {
    std::vector<std::shared_ptr<MediaInfo>> sources;
    std::vector<std::shared_ptr<CropSettings>> crops;
    std::vector<std::shared_ptr<EffectSettings>> effects;

    void Tables(const QJsonObject& doc)
    {
        const QJsonArray s = ArrayOf(doc.value(QLatin1String("sources")), QStringLiteral("sources"));
        for (int i = 0; i < s.size(); ++i) {
            const QString where = QStringLiteral("sources[%1]").arg(i);
            const QJsonObject o = ObjectOf(s.at(i), where);
            auto m = NewMediaInfo();
            VisitMediaFacts(*m, Reader{o, where});
            const QByteArray path = StringOf(o, "path", where).toUtf8();
            if (path.size() >= int(sizeof m->path))
                throw Damaged{QStringLiteral("%1.path is too long").arg(where)};
            std::memcpy(m->path, path.constData(), size_t(path.size()));
            if (o.contains(QLatin1String("engine"))) {
                const QByteArray bytes = QByteArray::fromBase64(StringOf(o, "engine", where).toLatin1());
                if (bytes.size() != int(sizeof m->engine))
                    throw Damaged{QStringLiteral("%1.engine has the wrong size").arg(where)};
                std::memcpy(m->engine, bytes.constData(), sizeof m->engine);
            }
            sources.push_back(std::move(m));
        }
        const QJsonArray c = ArrayOf(doc.value(QLatin1String("crops")), QStringLiteral("crops"));
        for (int i = 0; i < c.size(); ++i) {
            const QString where = QStringLiteral("crops[%1]").arg(i);
            auto crop = std::make_shared<CropSettings>();
            VisitCrop(*crop, Reader{ObjectOf(c.at(i), where), where});
            crops.push_back(std::move(crop));
        }
        const QJsonArray e = ArrayOf(doc.value(QLatin1String("effects")), QStringLiteral("effects"));
        for (int i = 0; i < e.size(); ++i) {
            const QString where = QStringLiteral("effects[%1]").arg(i);
            auto fx = std::make_shared<EffectSettings>();
            VisitEffects(*fx, Reader{ObjectOf(e.at(i), where), where});
            effects.push_back(std::move(fx));
        }
    }

    template <class T> std::shared_ptr<T> Ref(const std::vector<std::shared_ptr<T>>& table, const QJsonObject& o,
                                              const char* name, const QString& where)
    {
        const int32_t i = IntOf(o, name, where, -1, double(table.size()) - 1);
        return i < 0 ? nullptr : table[size_t(i)];
    }

    ReadNode Node(const QJsonObject& o, const QString& where, int depth)
    {
        if (depth > 2)
            throw Damaged{QStringLiteral("%1 is nested too deeply").arg(where)};
        ReadNode r;
        r.item = std::make_unique<MediaItem>();
        MediaItem& it = *r.item;
        it.kind = IntOf(o, "kind", where);
        if (it.kind != kKindFile && it.kind != kKindMerge && it.kind != kKindSlide && it.kind != kKindSegment)
            throw Damaged{QStringLiteral("%1 has an unknown kind").arg(where)};
        it.role = IntOf(o, "role", where, kRolePlain, kRoleSlideNode);
        it.segmentCounter = IntOf(o, "segmentCounter", where);
        it.formerKind = IntOf(o, "formerKind", where);
        it.media = Ref(sources, o, "source", where);
        Reader{o, where}("outputBaseName", it.outputBaseName);
        const QJsonArray trim = ArrayOf(o.value(QLatin1String("trim")), where + QStringLiteral(".trim"));
        if (trim.size() != 2 || !trim.at(0).isDouble() || !trim.at(1).isDouble())
            throw Damaged{QStringLiteral("%1.trim is not a start and an end").arg(where)};
        it.trim.start = trim.at(0).toInt();
        it.trim.end = trim.at(1).toInt();
        if (it.trim.start < 0 || it.trim.end < it.trim.start)
            throw Damaged{QStringLiteral("%1.trim is not a stretch").arg(where)};
        it.crop = Ref(crops, o, "crop", where);
        it.effects = Ref(effects, o, "effects", where);
        if (o.contains(QLatin1String("settings"))) {
            const QString at = where + QStringLiteral(".settings");
            it.settings = std::make_unique<CustomSettings>();
            ResetCustomSettings(*it.settings);
            VisitSettings(*it.settings, Reader{ObjectOf(o.value(QLatin1String("settings")), at), at});
        }
        const QString rowAt = where + QStringLiteral(".row");
        VisitRow(it.row, Reader{ObjectOf(o.value(QLatin1String("row")), rowAt), rowAt});
        r.checkType = uint8_t(IntOf(o, "checkType", where, kCheckTypeNone, kCheckTypePlain));
        r.checked = Qt::CheckState(IntOf(o, "checked", where, Qt::Unchecked, Qt::Checked));
        r.expanded = o.value(QLatin1String("expanded")).toBool();
        const QString runAt = where + QStringLiteral(".run");
        const QJsonObject run = ObjectOf(o.value(QLatin1String("run")), runAt);
        r.run.state = StateFrom(StringOf(run, "state", runAt), runAt);
        r.run.outputFolder = run.value(QLatin1String("outputFolder")).toString();
        r.run.message = run.value(QLatin1String("message")).toString();
        // A list read back is not being converted: what was running was interrupted.
        if (r.run.state == TaskRunState::Running)
            r.run.state = TaskRunState::Interrupted;
        if (o.contains(QLatin1String("children"))) {
            const QJsonArray children = ArrayOf(o.value(QLatin1String("children")), where + QStringLiteral(".children"));
            for (int i = 0; i < children.size(); ++i) {
                const QString at = where + QStringLiteral(".children[%1]").arg(i);
                r.children.push_back(Node(ObjectOf(children.at(i), at), at, depth + 1));
            }
        }
        if (!it.media)
            throw Damaged{QStringLiteral("%1 has no source").arg(where)};
        if (it.IsGroupNode() && r.children.empty())
            throw Damaged{QStringLiteral("%1 is a group without members").arg(where)};
        return r;
    }
};

void Insert(TaskTree& tree, TaskNode* parent, ReadNode& r, std::vector<TaskNode*>* topLevel)
{
    const std::string source = r.item->SourcePath();
    TaskNode* n = parent ? tree.appendChild(parent, std::move(r.item)) : tree.appendTopLevel(std::move(r.item));
    n->checkType = r.checkType;
    n->checkState = r.checked;
    n->expanded = r.expanded;
    n->run = r.run;
    n->sourceMissing = !source.empty() && !QFileInfo::exists(QString::fromUtf8(source.c_str()));
    if (topLevel)
        topLevel->push_back(n);
    for (ReadNode& c : r.children)
        Insert(tree, n, c, nullptr);
}

QString Named(const QString& name) { return name.isEmpty() ? QStringLiteral("The task list") : name; }

} // namespace

int TaskCountOf(const TaskTree& tree) { return tree.topLevelCount(); }

QByteArray TaskListToJson(const TaskTree& tree, bool closedNormally)
{
    ListWriter w;
    QJsonArray tasks;
    for (int i = 0; i < tree.topLevelCount(); ++i)
        tasks.append(w.Node(*tree.topLevel(i)));
    QJsonObject doc;
    doc.insert(QStringLiteral("format"), QLatin1String(kTaskListFormat));
    doc.insert(QStringLiteral("version"), kTaskListVersion);
    doc.insert(QStringLiteral("closedNormally"), closedNormally);
    doc.insert(QStringLiteral("mergeCounter"), tree.mergeCounter());
    doc.insert(QStringLiteral("slideCounter"), tree.slideCounter());
    doc.insert(QStringLiteral("sources"), w.sources.entries);
    doc.insert(QStringLiteral("crops"), w.crops.entries);
    doc.insert(QStringLiteral("effects"), w.effects.entries);
    doc.insert(QStringLiteral("tasks"), tasks);
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

TaskListRead AddTaskListFromJson(TaskTree& tree, const QByteArray& json, const QString& name)
{
    TaskListRead out;
    QJsonParseError pe{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        out.error = QStringLiteral("%1 is damaged and was not opened (%2 at byte %3).")
                        .arg(Named(name), pe.error != QJsonParseError::NoError ? pe.errorString()
                                                                               : QStringLiteral("not a task list"))
                        .arg(pe.offset);
        return out;
    }
    const QJsonObject o = doc.object();
    if (o.value(QLatin1String("format")).toString() != QLatin1String(kTaskListFormat)) {
        out.error = QStringLiteral("%1 is not a Reelmaker task list.").arg(Named(name));
        return out;
    }
    const QJsonValue version = o.value(QLatin1String("version"));
    if (!version.isDouble() || version.toDouble() < 1 || version.toDouble() != double(version.toInt())) {
        out.error = QStringLiteral("%1 is damaged and was not opened (its version is not a number).").arg(Named(name));
        return out;
    }
    if (version.toInt() > kTaskListVersion) {
        out.error = QStringLiteral("%1 was saved by a newer version of Reelmaker (task list format %2); this version "
                                   "reads format %3 and older. Update Reelmaker to open it.")
                        .arg(Named(name))
                        .arg(version.toInt())
                        .arg(kTaskListVersion);
        return out;
    }
    ListReader reader;
    std::vector<ReadNode> nodes;
    int32_t merges = 0, slides = 0;
    try {
        reader.Tables(o);
        const QJsonArray tasks = ArrayOf(o.value(QLatin1String("tasks")), QStringLiteral("tasks"));
        for (int i = 0; i < tasks.size(); ++i) {
            const QString where = QStringLiteral("tasks[%1]").arg(i);
            nodes.push_back(reader.Node(ObjectOf(tasks.at(i), where), where, 0));
        }
        merges = IntOf(o, "mergeCounter", QStringLiteral("list"), 0);
        slides = IntOf(o, "slideCounter", QStringLiteral("list"), 0);
    } catch (const Damaged& d) {
        out.error = QStringLiteral("%1 is damaged and was not opened (%2).").arg(Named(name), d.what);
        return out;
    }
    for (ReadNode& r : nodes)
        Insert(tree, nullptr, r, &out.added);
    tree.raiseGroupCounters(merges, slides);
    out.ok = true;
    out.closedNormally = o.value(QLatin1String("closedNormally")).toBool();
    out.taskCount = int(out.added.size());
    return out;
}

TaskListRead OpenTaskListFile(TaskTree& tree, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        TaskListRead out;
        out.error = QStringLiteral("The task list %1 could not be opened: %2").arg(path, f.errorString());
        return out;
    }
    // A task list is small; anything huge is not one.
    constexpr qint64 kLargest = 256 * 1024 * 1024;
    if (f.size() > kLargest) {
        TaskListRead out;
        out.error = QStringLiteral("The task list %1 is damaged and was not opened (too large).").arg(path);
        return out;
    }
    return AddTaskListFromJson(tree, f.readAll(), QStringLiteral("The task list %1").arg(path));
}

QString WriteFileAtomically(const QString& path, const QByteArray& data)
{
    files::AtomicOutput out;
    const std::string target = QFileInfo(path).absoluteFilePath().toStdString();
    if (!out.Create(target) || !out.Write(data.constData(), size_t(data.size())) || !out.Commit())
        return QStringLiteral("%1 could not be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(out.Error())));
    return {};
}

QString SaveTaskListFile(const TaskTree& tree, const QString& path, bool closedNormally)
{
    return WriteFileAtomically(path, TaskListToJson(tree, closedNormally));
}

} // namespace rm
