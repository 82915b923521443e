// Toolkit-free number crunching: the 16-bit sample scans and byte swap, and
// the lossless JPEG (process 14) decoder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace extrout {

// Smallest and largest of Count samples; Count 0 leaves Min and Max alone.
void FindMinMaxSigned16(const int16_t* First, size_t Count, int16_t& Min, int16_t& Max);
void FindMinMaxUnsigned16(const uint16_t* First, size_t Count, uint16_t& Min, uint16_t& Max);

// Swaps the bytes of Count 16-bit words from Source into Dest (which may be
// Source). Returns Count.
size_t SwapBytes16(const void* Source, void* Dest, size_t Count);

// Decodes the lossless JPEG stream of Size bytes at Source + Offset into
// Output (Capacity bytes): one byte per sample when the precision is 8, one
// host-order 16-bit word otherwise. True when the stream was decoded.
bool DecodeLosslessJPEG(const uint8_t* Source, uint8_t* Output, size_t Capacity, size_t Offset, size_t Size);

// The bytes DecodeLosslessJPEG would write for the same stream, read from its
// headers alone: 0 when it has no lossless frame or its headers are broken.
uint64_t LosslessJPEGOutputSize(const uint8_t* Source, size_t Offset, size_t Size);

} // namespace extrout
