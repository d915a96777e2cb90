#include "engines/skin/skin_engine.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rm::skin {

namespace {

struct ElementData {
    std::string name;
    std::string image;
    SkinElement record{};
};

struct SectionData {
    std::string name;
    // Stable addresses: records are handed out by pointer.
    std::vector<std::unique_ptr<ElementData>> elements;
};

// What a theme file looked like when it was read: a file rewritten since is read again.
struct FileStamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& file)
{
    std::error_code ec;
    FileStamp st;
    st.size = std::filesystem::file_size(file, ec);
    st.time = std::filesystem::last_write_time(file, ec);
    return st;
}

struct ThemeData {
    std::string file;
    FileStamp stamp;
    std::string name;
    std::string imageFolder;
    std::vector<SectionData> sections;
    SkinInfo info{};
};

// Themes are kept for the whole run so that handles and records taken from them stay valid.
struct State {
    std::vector<std::unique_ptr<ThemeData>> themes; // handle = index + 1
    int32_t current = 0;
};

State& state()
{
    static State s;
    return s;
}

// Section handle: theme handle in the upper 16 bits, section index + 1 in the lower 16 bits.
SkinSection makeSection(int32_t theme, size_t index)
{
    return static_cast<SkinSection>((theme << 16) | static_cast<int32_t>(index + 1));
}

int32_t toInt(const pugi::xml_node& n, const char* attr, int32_t fallback)
{
    const pugi::xml_attribute a = n.attribute(attr);
    if (!a)
        return fallback;
    char* end = nullptr;
    const long v = std::strtol(a.value(), &end, 10);
    return end == a.value() ? fallback : static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

// No screen lays out a control beyond these, and a window adds positions and sizes together: a
// theme holding a value outside them is refused like a file that is no theme.
constexpr int32_t kMaxLayoutPosition = 10000;
constexpr int32_t kMaxLayoutSize = 10000;

bool layoutInRange(const SkinElement& r)
{
    auto position = [](int32_t v) { return v >= -kMaxLayoutPosition && v <= kMaxLayoutPosition; };
    auto size = [](int32_t v) { return v >= 0 && v <= kMaxLayoutSize; };
    return position(r.x) && position(r.y) && size(r.width) && size(r.height);
}

bool isAbsolute(const std::string& p)
{
    if (!p.empty() && (p[0] == '/' || p[0] == '\\'))
        return true;
    return p.size() >= 2 && p[1] == ':'; // drive letter
}

std::unique_ptr<ThemeData> parseTheme(const std::string& file)
{
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str()))
        return nullptr;
    const pugi::xml_node root = doc.child("skin");
    if (!root)
        return nullptr;
    auto theme = std::make_unique<ThemeData>();
    theme->file = file;
    theme->stamp = stampOf(file);
    theme->name = root.attribute("name").as_string();
    if (theme->name.empty()) {
        const size_t slash = file.find_last_of("/\\");
        theme->name = file.substr(slash == std::string::npos ? 0 : slash + 1);
    }
    const std::string images = root.attribute("images").as_string();
    const size_t slash = file.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
    // Reported as written (relative names resolved against the theme's folder); the caller trims.
    theme->imageFolder = isAbsolute(images) ? images : dir + images;

    for (pugi::xml_node s : root.children("section")) {
        SectionData section;
        section.name = s.attribute("name").as_string();
        for (pugi::xml_node e : s.children("element")) {
            auto el = std::make_unique<ElementData>();
            el->name = e.attribute("name").as_string();
            el->image = e.attribute("image") ? e.attribute("image").as_string() : el->name;
            el->record.visible = toInt(e, "visible", 1) != 0 ? 1 : 0;
            el->record.x = toInt(e, "x", 0);
            el->record.y = toInt(e, "y", 0);
            el->record.width = toInt(e, "width", 0);
            el->record.height = toInt(e, "height", 0);
            if (!layoutInRange(el->record))
                return nullptr;
            section.elements.push_back(std::move(el));
        }
        theme->sections.push_back(std::move(section));
    }
    // Pointers into the theme's own strings are set once everything is in place.
    for (auto& section : theme->sections)
        for (auto& el : section.elements)
            el->record.imageName = el->image.c_str();
    theme->info.name = theme->name.c_str();
    theme->info.themeFile = theme->file.c_str();
    return theme;
}

ThemeData* themeOf(int32_t handle)
{
    State& s = state();
    if (handle <= 0 || static_cast<size_t>(handle) > s.themes.size())
        return nullptr;
    return s.themes[static_cast<size_t>(handle - 1)].get();
}

} // namespace

int32_t LoadTheme(const char* themeFile)
{
    if (!themeFile)
        return 0;
    State& s = state();
    const std::string file(themeFile);
    // A theme read before is made current again rather than read twice (unless the file changed
    // since); its records stay put either way.
    for (size_t i = 0; i < s.themes.size(); ++i) {
        if (s.themes[i]->file == file && s.themes[i]->stamp == stampOf(file)) {
            s.current = static_cast<int32_t>(i + 1);
            return s.current;
        }
    }
    auto theme = parseTheme(file);
    if (!theme)
        return 0;
    s.themes.push_back(std::move(theme));
    s.current = static_cast<int32_t>(s.themes.size());
    return s.current;
}

SkinSection GetSection(const char* name)
{
    State& s = state();
    ThemeData* theme = themeOf(s.current);
    if (!theme || !name)
        return 0;
    for (size_t i = 0; i < theme->sections.size(); ++i)
        if (theme->sections[i].name == name)
            return makeSection(s.current, i);
    return 0;
}

const SkinElement* GetElement(SkinSection section, const char* name)
{
    if (section <= 0 || !name)
        return nullptr;
    ThemeData* theme = themeOf(section >> 16);
    const int32_t index = (section & 0xFFFF) - 1;
    if (!theme || index < 0 || static_cast<size_t>(index) >= theme->sections.size())
        return nullptr;
    for (const auto& el : theme->sections[static_cast<size_t>(index)].elements)
        if (el->name == name)
            return &el->record;
    return nullptr;
}

void GetImageFolder(std::string* folder)
{
    if (!folder)
        return;
    ThemeData* theme = themeOf(state().current);
    *folder = theme ? theme->imageFolder : std::string();
}

const SkinInfo* GetThemeInfo()
{
    ThemeData* theme = themeOf(state().current);
    return theme ? &theme->info : nullptr;
}

} // namespace rm::skin
