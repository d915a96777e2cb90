#include "engines/player_maker/json_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rm::player_maker {

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    return out + "\"";
}

std::string JsonScalar(const std::string& v)
{
    if (v.empty())
        return "\"\"";
    char* end = nullptr;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        long long n = std::strtoll(v.c_str() + 2, &end, 16);
        if (*end == 0)
            return std::to_string(n);
    } else {
        double d = std::strtod(v.c_str(), &end);
        if (*end == 0 && std::isfinite(d)) {
            char buf[40];
            std::snprintf(buf, sizeof buf, "%.10g", d);
            return buf;
        }
    }
    return JsonString(v);
}

void JsonObject::key(const std::string& k)
{
    if (!m_body.empty())
        m_body += ",";
    m_body += JsonString(k) + ":";
}

JsonObject& JsonObject::num(const std::string& k, double v)
{
    key(k);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.10g", std::isfinite(v) ? v : 0.0);
    m_body += buf;
    return *this;
}

JsonObject& JsonObject::integer(const std::string& k, long long v)
{
    key(k);
    m_body += std::to_string(v);
    return *this;
}

JsonObject& JsonObject::str(const std::string& k, const std::string& v)
{
    key(k);
    m_body += JsonString(v);
    return *this;
}

JsonObject& JsonObject::raw(const std::string& k, const std::string& json)
{
    key(k);
    m_body += json;
    return *this;
}

} // namespace rm::player_maker
