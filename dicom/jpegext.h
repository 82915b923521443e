// The JPEG family beyond libjpeg: which coder a stream really needs, and
// JPEG-LS (CharLS) and JPEG 2000 (OpenJPEG) frames decoded to samples.
#pragma once

#include "loader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dicom {

enum TStreamKind : uint8_t {
    skOther,     // nothing we recognise
    skJPEG,      // a JPEG frame libjpeg decodes (baseline, extended, progressive)
    skLossless,  // SOF3: our lossless decoder
    skJPEGLS,    // SOF55
    skJPEG2000,  // a JPEG 2000 codestream or a JP2 file
};

// Looks at the stream's own markers: the first frame header of a JPEG
// stream, or the signature of a JPEG 2000 codestream or JP2 file.
TStreamKind ClassifyStream(const uint8_t* Stream, size_t Size);

// The sample precision in the first frame header of a JPEG stream (8 or 12
// for DCT streams), or 0 when the stream shows none.
int FramePrecision(const uint8_t* Stream, size_t Size);

// The compression kind frame 1 needs, from the start of its first fragment
// (FirstFragment as SkipToFirstFragment leaves it): under a JPEG syntax a
// JPEG-LS, JPEG 2000, lossless or other JPEG stream is what it is, whatever
// the UID says; everything else keeps the syntax's kind.
TCompressionKind FrameCompression(const TDICOMattribute& FirstFragment, const TransferSyntaxState& TS);

// Decode Stream into Data.Pixels as the renderer reads an uncompressed frame:
// Rows x Columns x SamplesPerPixel samples of BitsAllocated bits (8, 16 or
// 32, little-endian), interleaved, or as planes when PlanarConfiguration is
// 1. False when the image does not fit the description; the library's own
// failures raise EJPEGError with its message.
bool DecodeJPEGLS(const uint8_t* Stream, size_t Size, TData28& Data);
bool DecodeJPEG2000(const uint8_t* Stream, size_t Size, TData28& Data);

} // namespace dicom
