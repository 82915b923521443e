// Frames of encapsulated pixel data: lossless JPEG, RLE, and JPEG streams
// passed on whole for libjpeg.
#pragma once

#include "loader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dicom {

// Fills Data.Pixels (and Data.FrameSize on success) with frame 1 of the
// encapsulated pixel data that Data.PixelData describes.
bool DecodeCompressedFrame(TData28& Data, const TransferSyntaxState& TS);

// Decodes one DICOM RLE frame of Count bytes into Data.Pixels.
bool DecodeRLE(const uint8_t* Fragment, size_t Count, uint64_t FrameBytes, TData28& Data);

} // namespace dicom
