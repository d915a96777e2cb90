#include "engines/player_maker/templates.h"

#include "engines/player_maker/json_text.h"

#include <fstream>

namespace rm::player_maker {

namespace {
std::string trim(const std::string& s)
{
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}
} // namespace

std::string TemplateBaseName(const std::string& fileName)
{
    std::string s = fileName;
    auto slash = s.find_last_of("/\\");
    if (slash != std::string::npos)
        s = s.substr(slash + 1);
    if (s.size() >= 4) {
        std::string ext = s.substr(s.size() - 4);
        for (auto& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".swf")
            s.resize(s.size() - 4);
    }
    return s;
}

bool ReadTemplate(const std::string& path, TemplateValues& out)
{
    std::ifstream f(path);
    if (!f)
        return false;
    out.clear();
    std::string line;
    while (std::getline(f, line)) {
        if (trim(line).rfind('#', 0) == 0)
            continue;  // comment line
        auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string k = trim(line.substr(0, eq));
        if (!k.empty())
            out[k] = trim(line.substr(eq + 1));
    }
    return true;
}

std::string TemplateJson(const TemplateValues& values)
{
    std::string out = "{";
    bool first = true;
    for (const auto& [k, v] : values) {
        if (!first)
            out += ",";
        first = false;
        out += JsonString(k) + ":" + JsonScalar(v);
    }
    return out + "}";
}

TemplateValues DefaultSkin()
{
    return {{"barHeight", "32"}, {"barTop", "0x4A4A4A"}, {"barBottom", "0x1C1C1C"},
            {"button", "0xFFFFFF"}, {"buttonHover", "0x66CCFF"}, {"accent", "0x3399FF"},
            {"track", "0x000000"}, {"text", "0xFFFFFF"}, {"shape", "square"}, {"decor", "gloss"}};
}

} // namespace rm::player_maker
