#pragma once
// Picture memory for a video decoder, handed out in whole huge pages where the kernel allows it.
//
// A decoder's default buffers are cleared as they are made, and each 4 KiB page of them costs
// the kernel a fault when it is first written: for a 4K or ProRes source that is tens of
// thousands of faults and a pass over every buffer before the first picture. Taken in 2 MiB
// pages and not cleared (the decoder writes every pixel it hands on), the same buffers cost a
// few hundred faults. The pictures are the same, byte for byte.

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace rm::converter {

// Gives `ctx` (not opened yet) picture buffers from a pool of huge-page memory. Codecs that
// allocate their own pictures, and picture formats with a palette or in hardware, keep the
// library's buffers. Free the context with FreeDecoderWithPictureBuffers; pictures still held
// elsewhere stay valid until they are let go.
void UsePictureBuffers(AVCodecContext* ctx);

// avcodec_free_context, and the pool record of a context that UsePictureBuffers was given.
void FreeDecoderWithPictureBuffers(AVCodecContext** ctx);

// How many buffers the pools of this process have taken from the kernel (for tests).
long PictureBufferMappings();

} // namespace rm::converter
