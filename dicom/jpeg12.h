// DCT JPEG streams of 12-bit samples (extended sequential and progressive),
// which libjpeg-turbo as Debian builds it refuses. Decoded with the 12-bit
// IJG build that ships with GDCM; its declarations stay inside jpeg12.cpp,
// apart from libjpeg-turbo's, which use the same names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dicom {

// A decoded frame at the stream's own size: Components samples a pixel
// (1, or 3 as R, G, B), rows top to bottom, each sample 0..4095.
struct TSamples12 {
    std::vector<uint16_t> Samples;
    int Width = 0;
    int Height = 0;
    int Components = 0;
};

// Decodes a whole 12-bit stream into Out: greyscale for Grey, else RGB (Rgb
// says three components without a JFIF or Adobe marker are R, G and B, not
// YCbCr). Raises EJPEGError("JPEG error #N") with the library's message
// number when it refuses the stream, and for images whose samples would
// take more than kMaxFrameBytes.
void DecodeJPEG12(const uint8_t* Stream, size_t Count, bool Grey, bool Rgb, TSamples12& Out);

} // namespace dicom
