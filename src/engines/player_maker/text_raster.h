#pragma once
// Draws a text into an ARGB bitmap with a font file (FreeType), for credits and the
// decoration: the emulators of today do not have the user's fonts, so the player shows
// pictures of the text instead of device text.

#include <cstdint>
#include <string>
#include <vector>

namespace rm::player_maker {

struct TextBitmap {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> argb;   // big-endian ARGB, row after row (what BitmapData.setPixels reads)
};

// The font file for a face name (fontconfig), or of the default sans face when nothing matches.
std::string FontFileForFace(const std::string& face);

// Renders text at pixelSize in colour rgb, wrapped at maxWidth (0: no wrapping) and cut at
// maxHeight (0: no limit). fontFile may be empty or unreadable: the default face is used.
// Returns false when nothing can be drawn (no font, size 0, empty text).
bool RenderText(const std::string& text, const std::string& fontFile, int pixelSize, uint32_t rgb,
                int maxWidth, int maxHeight, TextBitmap& out);

} // namespace rm::player_maker
