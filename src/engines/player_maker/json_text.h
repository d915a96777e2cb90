#pragma once
// A small JSON writer for the player's configuration.

#include <cstdint>
#include <string>

namespace rm::player_maker {

std::string JsonString(const std::string& s);   // quoted and escaped
// A value text that is a decimal or 0x hex number becomes its JSON number, else a string.
std::string JsonScalar(const std::string& v);

class JsonObject {
public:
    JsonObject& num(const std::string& key, double v);
    JsonObject& integer(const std::string& key, long long v);
    JsonObject& str(const std::string& key, const std::string& v);
    JsonObject& raw(const std::string& key, const std::string& json);
    std::string text() const { return "{" + m_body + "}"; }

private:
    void key(const std::string& k);
    std::string m_body;
};

} // namespace rm::player_maker
