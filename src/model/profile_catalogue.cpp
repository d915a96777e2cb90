#include "model/profile_catalogue.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace rm {

using profiles::Profile;
using profiles::ProfileCatalogue;
using profiles::ProfileParam;

namespace {

ProfileCatalogue g_catalogue;
bool g_read = false;

struct KeyInfo {
    const char* key;
    int32_t kind;       // expected value kind (0: any)
    ProfileList list;   // wizard list (Profile: none)
};

constexpr KeyInfo kKeys[] = {
    {"ar", profiles::kKindInteger, ProfileList::SampleRate},
    {"ac", profiles::kKindInteger, ProfileList::AudioChannel},
    {"acodec", profiles::kKindText, ProfileList::AudioEncoder},
    {"ab", profiles::kKindInteger, ProfileList::AudioBitrate},
    {"vcodec", profiles::kKindText, ProfileList::VideoEncoder},
    {"b", profiles::kKindInteger, ProfileList::VideoBitrate},
    {"r", profiles::kKindReal, ProfileList::FrameRate},
    {"s", 0, ProfileList::Profile},
};

const KeyInfo* KeyOf(const char* key)
{
    for (const KeyInfo& k : kKeys)
        if (std::strcmp(k.key, key) == 0)
            return &k;
    return nullptr;
}

bool ValidIndex(int index) { return index >= 0 && index < g_catalogue.Count; }

// A value text into its field of the settings (a text that is not a number gives 0).
void StoreValue(const char* key, const char* text, CustomSettings& s)
{
    std::string k = key;
    if (k == "ar")
        s.SimpleRate = std::atoi(text);
    else if (k == "ac")
        s.Channel = std::atoi(text);
    else if (k == "acodec")
        SetText(s.AudioEncoder, text);
    else if (k == "ab")
        s.AudioBitrate = std::atoi(text);
    else if (k == "vcodec")
        SetText(s.VideoEncoder, text);
    else if (k == "b")
        s.VideoBitRate = std::atoi(text);
    else if (k == "r")
        s.FrameRate = float(std::atof(text));
    else if (k == "s")
        ParseFrameSize(text, s.Width, s.Height);
}

void CopyProfileIdentity(const Profile& p, CustomSettings& s)
{
    SetText(s.ProfileName, p.Name);
    SetText(s.FormatName, p.FormatName);
    SetText(s.FileExt, p.Extension);
    s.FormatArg = p.FormatArgument;
}

// Whether a listed value equals the stored field, by the key's rule.
bool Matches(const char* key, const char* text, const CustomSettings& s)
{
    std::string k = key;
    if (k == "ar")
        return std::atoi(text) == s.SimpleRate;
    if (k == "ac")
        return std::atoi(text) == s.Channel;
    if (k == "ab")
        return std::atoi(text) == s.AudioBitrate;
    if (k == "b")
        return std::atoi(text) == s.VideoBitRate;
    if (k == "acodec")
        return std::strcmp(text, s.AudioEncoder) == 0;
    if (k == "vcodec")
        return std::strcmp(text, s.VideoEncoder) == 0;
    if (k == "r")  // compared as whole frames per second: 29.97 matches 29.97 and 29
        return int(std::atof(text)) == int(s.FrameRate);
    return false;
}

} // namespace

const ProfileCatalogue& Catalogue() { return g_catalogue; }

int ReadProfileCatalogueFrom(const std::string& folder)
{
    g_read = true;
    return profiles::praseXMLFolder(folder.c_str(), &g_catalogue);
}

int ReadProfileCatalogue(const std::string& appDir)
{
    if (g_read)
        return g_catalogue.Count;
    return ReadProfileCatalogueFrom((std::filesystem::path(appDir) / "profile").string() + "/");
}

std::vector<std::string> ProfileListEntries()
{
    std::vector<std::string> out;
    for (int i = 0; i < g_catalogue.Count; ++i)
        out.emplace_back(g_catalogue.Profiles[i].DisplayName ? g_catalogue.Profiles[i].DisplayName : "");
    out.emplace_back(kCustomProfileEntry);
    return out;
}

int FindProfileByName(const std::string& name)
{
    for (int i = 0; i < g_catalogue.Count; ++i)
        if (name == g_catalogue.Profiles[i].Name)
            return i;
    return -1;
}

int FindProfileByDisplay(const std::string& display)
{
    for (int i = 0; i < g_catalogue.Count; ++i)
        if (g_catalogue.Profiles[i].DisplayName && display == g_catalogue.Profiles[i].DisplayName)
            return i;
    return -1;
}

bool ParseFrameSize(const char* text, int& width, int& height)
{
    width = height = 0;
    const char* x = text ? std::strchr(text, 'x') : nullptr;
    if (!x)
        return false;
    width = std::atoi(text);
    height = std::atoi(x + 1);
    return true;
}

void ApplyProfileTo(int index, CustomSettings& s)
{
    if (!ValidIndex(index))
        return;
    const Profile& p = g_catalogue.Profiles[index];
    for (int j = 0; j < p.ParamCount; ++j) {
        const ProfileParam& param = p.Params[j];
        if (!KeyOf(param.Key) || param.ValueCount <= 0)
            continue;
        int def = (param.DefaultIndex >= 0 && param.DefaultIndex < param.ValueCount) ? param.DefaultIndex : 0;
        StoreValue(param.Key, param.Values[def].Text, s);
    }
    CopyProfileIdentity(p, s);
}

void ApplyProfileDefaults(int index)
{
    ResetCustomSettings(CurrentCustomSettings());
    ResetCustomSettings(ProfileDefaultSettings());
    ApplyProfileTo(index, CurrentCustomSettings());
    ApplyProfileTo(index, ProfileDefaultSettings());
}

static int StartupIndex()
{
    int i = FindProfileByDisplay(kStartupProfileDisplay);
    if (i < 0 && g_catalogue.Count > 0)
        i = 0;  // no profile of the start-up name: the first one, so the records are never empty
    return i;
}

int ApplyStartupProfile()
{
    int i = StartupIndex();
    ApplyProfileDefaults(i);
    return i;
}

int FillProfileList(ProfileValueLists& lists)
{
    lists.clear(ProfileList::Profile);
    for (const std::string& e : ProfileListEntries())
        lists.add(ProfileList::Profile, e);
    int i = StartupIndex();
    if (i >= 0)
        lists.select(ProfileList::Profile, i);
    ApplyProfileDefaults(i);
    return i;
}

void ShowProfileChoices(int index, ProfileValueLists& lists)
{
    if (!ValidIndex(index))
        return;
    const Profile& p = g_catalogue.Profiles[index];
    for (int j = 0; j < p.ParamCount; ++j) {
        const ProfileParam& param = p.Params[j];
        const KeyInfo* k = KeyOf(param.Key);
        if (!k || k->list == ProfileList::Profile)
            continue;
        lists.clear(k->list);
        for (int v = 0; v < param.ValueCount; ++v)
            lists.add(k->list, param.Values[v].Text);
        if (param.ValueCount > 0)
            lists.select(k->list, (param.DefaultIndex >= 0 && param.DefaultIndex < param.ValueCount)
                                      ? param.DefaultIndex : 0);
    }
}

int ShowTaskValues(const CustomSettings& task, ProfileValueLists& lists)
{
    int index = FindProfileByName(task.ProfileName);
    if (index >= 0) {
        lists.select(ProfileList::Profile, index);
        const Profile& p = g_catalogue.Profiles[index];
        for (int j = 0; j < p.ParamCount; ++j) {
            const ProfileParam& param = p.Params[j];
            const KeyInfo* k = KeyOf(param.Key);
            if (!k || k->list == ProfileList::Profile)
                continue;
            for (int v = 0; v < param.ValueCount; ++v) {
                if (Matches(param.Key, param.Values[v].Text, task)) {
                    lists.select(k->list, v);
                    break;
                }
            }
        }
    }
    if (task.IsCustom)
        lists.select(ProfileList::Profile, g_catalogue.Count);  // "Custom", the last entry
    return index;
}

int WriteChosenValues(int index, CustomSettings& task, const ProfileValueLists& lists)
{
    if (g_catalogue.Count <= 0 || index < 0)
        return -1;
    if (index >= g_catalogue.Count)
        index = g_catalogue.Count - 1;  // "Custom" and anything past it: the last profile
    const Profile& p = g_catalogue.Profiles[index];
    for (int j = 0; j < p.ParamCount; ++j) {
        const ProfileParam& param = p.Params[j];
        const KeyInfo* k = KeyOf(param.Key);
        if (!k || k->list == ProfileList::Profile || param.Kind != k->kind)
            continue;
        int sel = lists.selected(k->list);
        if (sel < 0 || sel >= param.ValueCount)
            continue;  // never read past the profile's values
        StoreValue(param.Key, param.Values[sel].Text, task);
    }
    CopyProfileIdentity(p, task);
    return index;
}

} // namespace rm
