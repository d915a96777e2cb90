#pragma once
// File names as the player hands them to the browser.

#include <string>

namespace rm::player_maker {

// A file name or path as a URL path: every byte but the unreserved ones and '/' is
// percent-encoded, so '#', '?', '%', ':', blanks and control characters stay part of the name
// instead of ending it, starting a query or reading as a scheme.
std::string FileNameUrl(const std::string& path);

} // namespace rm::player_maker
