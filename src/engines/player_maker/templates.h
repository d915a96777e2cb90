#pragma once
// Player, effect and preloader templates. A template named N (the maker receives "N.swf") is
// the text file N.tpl in its folder below the prefix path: "key = value" lines, '#' comments.
// Numbers (decimal or 0x hex) become numbers of the player's configuration, anything else a
// string. See templates/Players/README.txt in the program folder for the keys.

#include <map>
#include <string>

namespace rm::player_maker {

using TemplateValues = std::map<std::string, std::string>;

// "Christmas_h40.swf" -> "Christmas_h40"; "" stays "".
std::string TemplateBaseName(const std::string& fileName);

// Reads folder + base + ".tpl". False when the file is missing or unreadable.
bool ReadTemplate(const std::string& path, TemplateValues& out);

// The values as a JSON object; numbers stay numbers.
std::string TemplateJson(const TemplateValues& values);

// The skin used when a named skin's file is missing.
TemplateValues DefaultSkin();

} // namespace rm::player_maker
