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

struct TFastEntry {
    uint8_t CodeLen; // code bits consumed; 0 when the code is longer
    uint8_t Extra;   // extra bits that follow (the category, 0 for 0 and 16)
    uint8_t Big;     // 1 for category 16: a difference of 32768
    uint8_t Pad;
};

struct TFastTable {
    const THuffmanTable* Huff;
    TFastEntry E[1 << kFastBits];
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
