// reelmaker-cli profiles [--json]: the output profiles of the program folder, in catalogue order.

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_json.h"
#include "engines/profiles/profiles.h"
#include "model/app_settings.h"
#include "model/profile_catalogue.h"

namespace rmcli {
namespace {

std::string DefaultValueJson(const rm::profiles::Profile& p, const char* key)
{
    const rm::profiles::ProfileParam* param = rm::profiles::FindParam(p, key);
    if (!param || param->ValueCount <= 0)
        return "null";
    int i = (param->DefaultIndex >= 0 && param->DefaultIndex < param->ValueCount) ? param->DefaultIndex : 0;
    const char* text = param->Values[i].Text;
    if (param->Kind == rm::profiles::kKindInteger || param->Kind == rm::profiles::kKindReal) {
        char* end = nullptr;
        double v = std::strtod(text, &end);
        if (end != text && *end == 0)
            return JsonNumber(v);
    }
    return JsonString(text);
}

int RunProfiles(const std::vector<std::string>& args)
{
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else {
            std::fprintf(stderr, "reelmaker-cli profiles: unexpected argument '%s'\n", a.c_str());
            PrintUsage("profiles");
            return kExitUsage;
        }
    }
    rm::ReadProfileCatalogue(QDir(rm::ProgramFolder()).absolutePath().toStdString());
    const rm::profiles::ProfileCatalogue& cat = rm::Catalogue();
    for (int i = 0; i < cat.Count; ++i) {
        const rm::profiles::Profile& p = cat.Profiles[i];
        const std::string display = p.DisplayName ? p.DisplayName : "";
        if (!json) {
            std::printf("%s\n", display.c_str());
            continue;
        }
        std::string line = "{";
        line += "\"name\":" + JsonString(p.Name);
        line += ",\"display\":" + JsonString(display);
        line += ",\"format\":" + JsonString(p.FormatName);
        line += ",\"extension\":" + JsonString(p.Extension);
        for (const char* key : {"vcodec", "b", "r", "s", "acodec", "ab", "ar", "ac"})
            line += std::string(",\"") + key + "\":" + DefaultValueJson(p, key);
        line += "}";
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return kExitOk;
}

CliCommandRegistrar g_profiles{CliCommand{
    "profiles",
    "  reelmaker-cli profiles [--json]\n"
    "      Prints the output profiles' display names, one a line, in catalogue order; with\n"
    "      --json one object per profile: name, display, format, extension and the default\n"
    "      of vcodec, b, r, s, acodec, ab, ar, ac.",
    RunProfiles}};

} // namespace
} // namespace rmcli
