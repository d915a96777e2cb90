#pragma once
// Tight picture buffers that the scaler writes into.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rm::converter {

// Sizes `buffer` to exactly `bytes` for a picture the scaler will write. Its vector code writes
// whole blocks of pixels, so a row whose width is not a multiple of the block runs on past its
// end: into the next row, or for the last row past the picture. Room for that is reserved
// behind the picture (the buffer keeps its exact size).
inline void SizeForScaler(std::vector<uint8_t>& buffer, size_t bytes)
{
    constexpr size_t kOverrun = 256;  // 64 RGBA pixels, more than any block
    buffer.reserve(bytes + kOverrun);
    buffer.resize(bytes);
}

} // namespace rm::converter
