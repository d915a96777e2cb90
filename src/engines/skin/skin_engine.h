#pragma once
// The theme reader: the five operations every skinned window relies on, over the program's own
// theme XML (see theme_format.md beside this header). One theme is current at a time. Sections
// taken from a theme stay valid after another theme is loaded (they keep reading the theme they
// came from), and loading the current file again keeps them valid too.
//
// Not thread-safe by design: only the user-interface thread loads themes and lays out windows.

#include <cstddef>
#include <cstdint>
#include <string>

namespace rm::skin {

// Opaque handle of one window's section in a theme; 0 means "no such section".
using SkinSection = int32_t;

// One element's layout record, read by the caller at once. The pointer stays valid until the
// theme it belongs to is released (themes are kept for the whole run).
struct SkinElement {
    uint8_t reserved[4];
    uint8_t visible; // 0 hidden, otherwise shown
    uint8_t padding[3];
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    const char* imageName; // base name of the element's picture files
};
static_assert(offsetof(SkinElement, visible) == 4);
static_assert(offsetof(SkinElement, x) == 8);
static_assert(offsetof(SkinElement, y) == 12);
static_assert(offsetof(SkinElement, width) == 16);
static_assert(offsetof(SkinElement, height) == 20);
static_assert(offsetof(SkinElement, imageName) == 24);

// Describes one theme: display name and full path of its file.
struct SkinInfo {
    const char* name;
    uint8_t reserved[4];
    const char* themeFile;
};

// 1: loads the theme file and makes it current. Returns a non-zero theme handle, or 0 when the
// file cannot be read, is not a theme, or places an element where no window can lay it out (a
// position beyond +-10000 pixels, a size below 0 or above 10000); the current theme then stays
// as it was.
int32_t LoadTheme(const char* themeFile);

// 2: the section of the current theme with this name, 0 when there is none.
SkinSection GetSection(const char* name);

// 3: the element of a section, nullptr when the section or the element does not exist.
const SkinElement* GetElement(SkinSection section, const char* name);

// 4: writes the current theme's image folder, exactly as the theme names it (resolved against the
// theme file's folder when relative; surrounding blanks are left for the caller to trim).
void GetImageFolder(std::string* folder);

// 5: describes the theme that the last successful LoadTheme made current; nullptr before any.
const SkinInfo* GetThemeInfo();

} // namespace rm::skin
