// The JPEG-LS and JPEG 2000 decoders from arbitrary bytes. The first six
// bytes give the frame the data set describes (rows, columns, samples per
// pixel and planar configuration, bits allocated), as in fuzz_rle.cpp; the
// rest is the stream, sent to the coder its own markers name.
#include "harness.h"

#include "errors.h"
#include "jpegext.h"
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
    if (FrameBytes > (16u << 20))
        return 0;
    const size_t Count = Size - 6;
    std::unique_ptr<uint8_t[]> Stream(new uint8_t[Count == 0 ? 1 : Count]);
    if (Count != 0)
        std::memcpy(Stream.get(), Data + 6, Count);
    try {
        const bool Decoded = dicom::ClassifyStream(Stream.get(), Count) == dicom::skJPEG2000
                                 ? dicom::DecodeJPEG2000(Stream.get(), Count, D)
                                 : dicom::DecodeJPEGLS(Stream.get(), Count, D);
        if (Decoded)
            fuzzing::Check(D.Pixels.size() == FrameBytes, "decoded frame of the wrong size");
    } catch (const dicom::EDicomError& E) {
        fuzzing::CheckMessage(E);
    }
    return 0;
}
