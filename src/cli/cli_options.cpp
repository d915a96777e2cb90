#include "cli/cli_options.h"

#include <cerrno>
#include <cstdlib>
#include <map>

namespace rmcli {

bool ParseInt(const std::string& s, int& v)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || n < -1000000000L || n > 1000000000L)
        return false;
    v = int(n);
    return true;
}

int IntIn(const std::string& option, const std::string& value, int lo, int hi)
{
    int v = 0;
    if (!ParseInt(value, v) || v < lo || v > hi)
        throw UsageError{option + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi)};
    return v;
}

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

std::string ZoomOption(const std::string& value)
{
    if (value != "original" && value != "full" && value != "16:9" && value != "4:3")
        throw UsageError{"--zoom takes original, full, 16:9 or 4:3"};
    return value;
}

int EffectOption(const std::string& value)
{
    static const std::map<std::string, int> effects = {{"none", 0}, {"gray", 1}, {"emboss", 2}, {"old-film", 3}};
    const auto it = effects.find(value);
    if (it == effects.end())
        throw UsageError{"--effect takes none, gray, emboss or old-film"};
    return it->second;
}

std::pair<bool, bool> FlipOption(const std::string& value)
{
    if (value != "h" && value != "v" && value != "hv" && value != "vh")
        throw UsageError{"--flip takes h, v or hv"};
    return {value.find('h') != std::string::npos, value.find('v') != std::string::npos};
}

} // namespace rmcli
