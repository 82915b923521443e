// 12-bit DCT JPEG streams for the tests, made with the same 12-bit IJG build
// the renderer decodes with (in a file of its own: its declarations clash
// with libjpeg-turbo's).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace testgen {

// Width x Height, 1 component (greyscale) or 3 (RGB in, YCbCr coded),
// samples 0..4095 from Sample(x, y, component); extended sequential, or
// progressive. Quality 100, so the samples come back within a few levels.
std::vector<uint8_t> MakeJPEG12(int Width, int Height, int Components,
                                const std::function<uint16_t(int, int, int)>& Sample, bool Progressive = false);

// The library's own picture of a 12-bit stream, every row decoded, as
// samples; gives 0, or its message number when it fails.
int PlainDecodeJPEG12(const std::vector<uint8_t>& Stream, bool Grey, std::vector<uint16_t>& Samples);

} // namespace testgen
