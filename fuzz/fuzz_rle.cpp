// The RLE decoder from arbitrary bytes. The first six bytes give the frame
// geometry (rows, columns, samples per pixel, bits allocated), the rest is
// the fragment. Beyond crashes it checks the result's promise: true gives a
// frame of FrameBytes bytes, false an empty one.
#include "harness.h"

#include "encaps.h"
#include "loader.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size < 6)
        return 0;
    dicom::TData28 D;
    D.Rows = static_cast<uint16_t>(Data[0] | (Data[1] << 8));
    D.Columns = static_cast<uint16_t>(Data[2] | (Data[3] << 8));
    D.SamplesPerPixel = static_cast<uint16_t>(1 + (Data[4] & 3));
    D.PlanarConfiguration = static_cast<uint16_t>((Data[4] >> 2) & 1);
    D.BitsAllocated = (Data[5] & 1) != 0 ? 16 : 8;
    D.BitsStored = D.BitsAllocated;
    D.HighBit = static_cast<uint16_t>(D.BitsAllocated - 1);
    D.Photometric = D.SamplesPerPixel == 3 ? dicom::pmRGB : dicom::pmMonochrome2;
    const uint64_t FrameBytes =
        (static_cast<uint64_t>(D.Rows) * D.Columns * D.BitsAllocated + 7) / 8 * D.SamplesPerPixel;
    // Large frames only cost time here; the renderer's limit is tested elsewhere.
    if (FrameBytes > (16u << 20))
        return 0;
    const size_t Count = Size - 6;
    std::unique_ptr<uint8_t[]> Fragment(new uint8_t[Count == 0 ? 1 : Count]);
    if (Count != 0)
        std::memcpy(Fragment.get(), Data + 6, Count);
    const bool Decoded = dicom::DecodeRLE(Fragment.get(), Count, FrameBytes, D);
    if (Decoded)
        fuzzing::Check(D.Pixels.size() == FrameBytes, "decoded RLE frame of the wrong size");
    else
        fuzzing::Check(D.Pixels.empty(), "failed RLE decode left pixels behind");
    return 0;
}
