#include "engines/profiles/profiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace rm::profiles {

namespace {

template <size_t N>
void Put(char (&dst)[N], const char* src)
{
    // Cut at the capacity, never inside a UTF-8 sequence.
    size_t n = std::strlen(src ? src : "");
    if (n > N - 1) {
        n = N - 1;
        while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

int32_t KindOf(const char* kind)
{
    std::string k = kind ? kind : "";
    if (k == "integer" || k == "1")
        return kKindInteger;
    if (k == "real" || k == "3")
        return kKindReal;
    return kKindText;
}

struct ParsedParam {
    ProfileParam head;
    std::vector<ProfileValue> values;
};

struct ParsedProfile {
    Profile head;
    std::string display;
    std::vector<ParsedParam> params;
};

bool ParseProfile(const pugi::xml_node& node, ParsedProfile& out)
{
    const char* name = node.attribute("name").value();
    const char* format = node.attribute("format").value();
    if (!*name || !*format)
        return false;
    Put(out.head.Name, name);
    out.display = node.attribute("display").empty() ? name : node.attribute("display").value();
    Put(out.head.FormatName, format);
    Put(out.head.Extension, node.attribute("extension").empty() ? format : node.attribute("extension").value());
    out.head.FormatArgument = node.attribute("argument").as_int(0);
    for (pugi::xml_node p : node.children("param")) {
        ParsedParam pp;
        Put(pp.head.Key, p.attribute("key").value());
        if (!pp.head.Key[0])
            continue;
        pp.head.Kind = KindOf(p.attribute("kind").value());
        int def = -1;
        for (pugi::xml_node v : p.children("value")) {
            ProfileValue value;
            Put(value.Text, v.child_value());
            if (def < 0 && v.attribute("default").as_bool(false))
                def = int(pp.values.size());
            pp.values.push_back(value);
        }
        if (pp.values.empty())
            continue;
        pp.head.DefaultIndex = def < 0 ? 0 : def;
        out.params.push_back(std::move(pp));
    }
    return true;
}

} // namespace

void ReleaseCatalogue(ProfileCatalogue* catalogue)
{
    if (!catalogue || !catalogue->Profiles) {
        if (catalogue)
            catalogue->Count = 0;
        return;
    }
    for (int32_t i = 0; i < catalogue->Count; ++i) {
        Profile& p = catalogue->Profiles[i];
        for (int32_t j = 0; j < p.ParamCount; ++j)
            delete[] p.Params[j].Values;
        delete[] p.Params;
        std::free(p.DisplayName);
    }
    delete[] catalogue->Profiles;
    catalogue->Profiles = nullptr;
    catalogue->Count = 0;
}

int32_t praseXMLFolder(const char* folder, ProfileCatalogue* catalogue)
{
    if (!catalogue)
        return 0;
    ReleaseCatalogue(catalogue);
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code ec;
    if (folder && *folder) {
        for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_regular_file(ec))
                continue;
            std::string ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            if (ext == ".xml")
                files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());

    std::vector<ParsedProfile> parsed;
    for (const fs::path& f : files) {
        pugi::xml_document doc;
        if (!doc.load_file(f.c_str()))
            continue;
        pugi::xml_node root = doc.document_element();
        std::vector<pugi::xml_node> nodes;
        if (std::strcmp(root.name(), "profile") == 0)
            nodes.push_back(root);
        else
            for (pugi::xml_node n : root.children("profile"))
                nodes.push_back(n);
        for (const pugi::xml_node& n : nodes) {
            ParsedProfile p;
            if (ParseProfile(n, p))
                parsed.push_back(std::move(p));
        }
    }
    if (parsed.empty())
        return 0;

    catalogue->Profiles = new Profile[parsed.size()];
    for (size_t i = 0; i < parsed.size(); ++i) {
        Profile& dst = catalogue->Profiles[i];
        dst = parsed[i].head;
        dst.DisplayName = strdup(parsed[i].display.c_str());
        dst.ParamCount = int32_t(parsed[i].params.size());
        dst.Params = dst.ParamCount ? new ProfileParam[size_t(dst.ParamCount)] : nullptr;
        for (int32_t j = 0; j < dst.ParamCount; ++j) {
            ParsedParam& pp = parsed[i].params[size_t(j)];
            ProfileParam& param = dst.Params[j];
            param = pp.head;
            param.ValueCount = int32_t(pp.values.size());
            param.Values = new ProfileValue[pp.values.size()];
            std::copy(pp.values.begin(), pp.values.end(), param.Values);
        }
    }
    catalogue->Count = int32_t(parsed.size());
    return catalogue->Count;
}

const ProfileParam* FindParam(const Profile& profile, const char* key)
{
    if (!key)
        return nullptr;
    for (int32_t i = 0; i < profile.ParamCount; ++i)
        if (std::strcmp(profile.Params[i].Key, key) == 0)
            return &profile.Params[i];
    return nullptr;
}

} // namespace rm::profiles
