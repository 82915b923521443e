// The scan decoder of the lossless JPEG decoder: the samples of one frame
// from the compacted entropy-coded data.
#pragma once

#include "lossless_state.h"

#include <cstdint>

namespace extrout::lossless {

// Decodes Samples samples into Output (bytes when the precision is 8, host
// 16-bit words otherwise); the tables must be complete and the byte position
// on the first byte of entropy-coded data. Wide output not reached by a
// failing decode is cleared.
bool DecodeScan(TLosslessState& S, uint8_t* Output, uint64_t Samples);

} // namespace extrout::lossless
