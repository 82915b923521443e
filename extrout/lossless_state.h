// The working state of one lossless JPEG decode, shared by the marker walk,
// the table building and the scan decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace extrout::lossless {

struct EStop {}; // a malformed stream: the decode gives false

struct THuffmanEntry {
    int Length = -1, Code = -1, Value = -1;
};

struct THuffmanTable {
    int Counts[17] = {};
    int Start[17] = {};
    THuffmanEntry Entries[32];
    int Total = 0;
    int MaxLength = 0;
    int LastValue = 0;
    uint8_t Lookup[256];
    uint8_t LengthOfValue[18];
};

struct TLosslessState {
    std::vector<uint8_t> Data; // Size bytes of stream, then zero padding
    size_t Size = 0;
    size_t BytePos = 0;
    uint32_t P = 0, Y = 0, X = 0, Nf = 0;
    uint32_t Ss = 0, Pt = 0, RI = 0;
    bool LosslessFrameSeen = false;
    int TableCount = 0;
    THuffmanTable Tables[5]; // 1..4 used; 0 takes tables past the fourth
    std::vector<size_t> Restarts; // positions of RSTm markers after compaction

    // Copies Size bytes of Source + Offset into a padded working copy.
    TLosslessState(const uint8_t* Source, size_t Offset, size_t Size);

    uint8_t ReadMarkerByte()
    {
        if (BytePos >= Size)
            throw EStop();
        return Data[BytePos++];
    }
    uint32_t ReadMarkerWord()
    {
        const uint32_t Hi = ReadMarkerByte();
        return (Hi << 8) | ReadMarkerByte();
    }

    // Walks the markers up to the scan header; false when the walk ends
    // without a scan.
    bool WalkHeaders();
    // Drops the stuffed zero after each 0xFF, in place, up to the end of image.
    void CompactEntropyData();

private:
    void ReadTable(THuffmanTable& T);
    void ReadHuffmanSegment(size_t SegmentEnd);
};

} // namespace extrout::lossless
