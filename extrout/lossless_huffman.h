// Huffman tables of the lossless JPEG decoder: the 8-bit lookup every table
// gets, and the wider lookup the scan decoder runs on.
//
// Codes of up to 8 bits resolve through the 8-bit lookup whose consumed
// length is the one recorded for the value; longer codes are matched length
// by length, and a code that matches nothing gives the table's last value.
// The wide lookup is built by running that same resolution over every bit
// pattern, so both give the same samples.
#pragma once

#include "lossless_state.h"

#include <cstdint>

namespace extrout::lossless {

// Bits of the wide lookup: codes up to this long resolve in one step.
constexpr int kFastBits = 12;

// One array per field: the total length is on the chain every sample waits
// on, and a byte array indexed by the peeked bits is the shortest way to it.
// The code sits in the peeked bits, and so does the sign of the difference
// whenever the code is shorter than them; the difference is then the top
// Total bits of the stream, read as a number, plus Offset.
struct TFastTable {
    const THuffmanTable* Huff;
    uint8_t Total[1 << kFastBits];  // code and extra bits consumed; 0 for the slow way
    int32_t Offset[1 << kFastBits]; // takes away the code, applies EXTEND
};

struct TDiff {
    int32_t Diff;
    uint32_t Bits; // consumed
};

// Gives every table up to Nf its 8-bit lookup; copies table 1 into the
// places of components without a table of their own. False when the stream
// has no table at all.
bool CompleteTables(TLosslessState& S);

void BuildFastTable(const THuffmanTable& H, TFastTable& F);

// The difference coded at the top of Bits (at least 32 valid bits) when its
// code is longer than the wide lookup.
TDiff SlowDiff(uint64_t Bits, const TFastTable& T);

} // namespace extrout::lossless
