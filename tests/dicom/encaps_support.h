// Test helpers for encapsulated pixel data: opens a file the way the loader
// does and keeps its pixel data element, so frames can be fetched directly.
#pragma once

#include "element.h"
#include "loader.h"
#include "streams.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace encapstest {

struct TOpened {
    std::unique_ptr<dicom::TStream> File;
    dicom::TransferSyntaxState TS;
    dicom::TData28 Data;
};

inline std::unique_ptr<TOpened> Open(std::unique_ptr<dicom::TStream> Stream)
{
    using namespace dicom;
    auto R = std::make_unique<TOpened>();
    R->File = std::move(Stream);
    TStream& F = *R->File;
    TransferSyntaxState& TS = R->TS;
    TData28& D = R->Data;
    CheckPreamble(F, nullptr, TS);
    while (F.Position() < F.Size()) {
        auto E = std::make_unique<TDICOMattribute>(F, TS);
        switch (E->Tag()) {
        case 0x00020010: SetTransferSyntax(TrimValue(E->ReadString(F)), TS); break;
        case 0x00280002: D.SamplesPerPixel = E->ReadUInt16(F, TS); break;
        case 0x00280006: D.PlanarConfiguration = E->ReadUInt16(F, TS); break;
        case 0x00280010: D.Rows = E->ReadUInt16(F, TS); break;
        case 0x00280011: D.Columns = E->ReadUInt16(F, TS); break;
        case 0x00280100: D.BitsAllocated = E->ReadUInt16(F, TS); break;
        case 0x00280101: D.BitsStored = E->ReadUInt16(F, TS); break;
        case 0x00280102: D.HighBit = E->ReadUInt16(F, TS); break;
        case 0x00280103: D.PixelSigned = E->ReadUInt16(F, TS) == 1; break;
        case 0x00280004: D.Photometric = PhotometricFromString(E->ReadString(F)); break;
        case 0x00280008: D.NumberOfFrames = static_cast<uint16_t>(StrToInt(E->ReadString(F))); break;
        case 0x7FE00010: D.PixelData = std::move(E); break;
        default: break;
        }
    }
    if (D.PixelData) {
        D.PixelData->Stream = &F;
        if (TS.Compressed)
            D.PixelData->SkipToFirstFragment();
    }
    return R;
}

inline std::unique_ptr<TOpened> Open(const std::string& Name)
{
    return Open(std::make_unique<dicom::TFileStream>(Name, dicom::TFileStream::fmOpenRead));
}

inline std::unique_ptr<TOpened> OpenBytes(const std::vector<uint8_t>& Bytes)
{
    return Open(std::make_unique<dicom::TMemoryStream>(Bytes));
}

inline uint64_t FrameBytes(const dicom::TData28& D)
{
    return (static_cast<uint64_t>(D.Rows) * D.Columns * D.BitsAllocated + 7) / 8 * D.SamplesPerPixel;
}

// Frame 1 of an uncompressed file, as stored.
inline std::vector<uint8_t> UncompressedFrame(TOpened& O)
{
    std::vector<uint8_t> B(FrameBytes(O.Data), 0);
    O.File->Seek(O.Data.PixelData->ValueOffset);
    O.File->Read(B.data(), B.size());
    return B;
}

// Colour planes to interleaved samples (a no-op for interleaved frames).
inline std::vector<uint8_t> Interleaved(const std::vector<uint8_t>& F, const dicom::TData28& D)
{
    if (D.SamplesPerPixel < 2 || D.PlanarConfiguration != 1)
        return F;
    const size_t Width = D.BitsAllocated / 8, Planes = D.SamplesPerPixel, Plane = F.size() / Planes;
    std::vector<uint8_t> R(F.size());
    for (size_t P = 0; P < Planes; ++P)
        for (size_t K = 0; K * Width < Plane; ++K)
            std::memcpy(&R[(K * Planes + P) * Width], &F[P * Plane + K * Width], Width);
    return R;
}

} // namespace encapstest
