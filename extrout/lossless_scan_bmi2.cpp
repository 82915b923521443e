// The hot loop built for processors with BMI2: a shift by a register amount
// is one instruction there (two without), and shifts by the code length are
// on the chain every sample waits on. Only called when the processor has it.
#include "lossless_scan.h"

// Headers shared with the portable build come first, so that no function
// they define takes the target below.
#include "lossless_huffman.h"
#include "lossless_state.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("bmi2")
#endif

#include "lossless_scan_loop.h"

namespace extrout::lossless {

bool DecodeScanBmi2(TLosslessState& S, uint8_t* Output, uint64_t Samples)
{
    return DecodeScanHere(S, Output, Samples);
}

} // namespace extrout::lossless

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
