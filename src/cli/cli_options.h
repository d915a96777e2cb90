#pragma once
// Option parsing shared by the reelmaker-cli commands: whole numbers in a range, lists split on
// a separator, and the picture options (--zoom, --effect, --flip) that convert and snapshot share.

#include <string>
#include <utility>
#include <vector>

namespace rmcli {

// Thrown by option parsing; the command prints the text with its usage and exits 2.
struct UsageError {
    std::string text;
};

// A whole number within +-1e9 with nothing after it.
bool ParseInt(const std::string& s, int& v);
// The value of an option that takes a whole number from lo to hi (UsageError otherwise).
int IntIn(const std::string& option, const std::string& value, int lo, int hi);
std::vector<std::string> Split(const std::string& s, char sep);

// --zoom: original | full | 16:9 | 4:3, returned unchanged.
std::string ZoomOption(const std::string& value);
// --effect: none | gray | emboss | old-film as the effect number 0..3.
int EffectOption(const std::string& value);
// --flip: h | v | hv (or vh) as the pair (horizontal, vertical).
std::pair<bool, bool> FlipOption(const std::string& value);

} // namespace rmcli
