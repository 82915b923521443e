// Lossless JPEG (process 14, Huffman, SOF3) decoder.
#include "extrout.h"

namespace extrout {

// The decoder proper lands in the next change; until then no stream is
// claimed as decoded.
bool DecodeLosslessJPEG(const uint8_t* Source, uint8_t* Output, size_t Capacity, size_t Offset, size_t Size)
{
    (void)Source;
    (void)Output;
    (void)Capacity;
    (void)Offset;
    (void)Size;
    return false;
}

} // namespace extrout
