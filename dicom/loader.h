// Deciding whether a file is DICOM and how it is encoded, and loading the
// header summary and the preview of its first frame.
#pragma once

#include "bitmap.h"
#include "element.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dicom {

// The header summary: raw value bytes, untrimmed, unconverted.
struct THeaderData {
    std::string PatientName;
    std::string PatientID;
    std::string PatientBirthDate;
    std::string ContentDate;
    std::string Modality;
    std::string Manufacturer;
    std::string InstitutionName;
    std::string AccessionNumber;
    std::string ReferringPhysicianName;
    std::string InstanceNumber;
    std::string BodyPartExamined;
    std::string ImageComments;
    // (0008,0005), raw: how the strings above are to be decoded.
    std::string SpecificCharacterSet;
    uint16_t Rows = 0;
    uint16_t Columns = 0;
    uint16_t NumberOfFrames = 0;
};

enum TPhotometric : uint8_t {
    pmOther = 0,
    pmMonochrome2 = 1,
    pmMonochrome1 = 2,
    pmRGB = 3,
    pmYBRFull = 4,
    pmYBRFull422 = 5,
    pmPalette = 6,
};

struct TLUTDescriptor {
    uint16_t Entries = 0;
    uint16_t FirstMapped = 0;
    uint16_t BitsPerEntry = 0;
};

// What the loader gathers for the renderer. Offsets are file positions.
struct TData28 {
    uint16_t Rows = 0;
    uint16_t Columns = 0;
    uint16_t NumberOfFrames = 0;
    uint16_t SamplesPerPixel = 0;
    uint16_t BitsAllocated = 0;
    uint16_t BitsStored = 0;
    uint16_t HighBit = 0;
    bool PixelSigned = false;
    uint16_t PlanarConfiguration = 0;
    TPhotometric Photometric = pmOther;
    // Filled by the renderer: bytes of the frame held in Pixels.
    uint64_t FrameSize = 0;
    std::unique_ptr<TDICOMattribute> PixelData;
    std::vector<uint8_t> Pixels;
    TLUTDescriptor RedDescriptor;
    int64_t RedDataOffset = 0;
    uint32_t RedDataLength = 0;
    TLUTDescriptor GreenDescriptor;
    int64_t GreenDataOffset = 0;
    uint32_t GreenDataLength = 0;
    TLUTDescriptor BlueDescriptor;
    int64_t BlueDataOffset = 0;
    uint32_t BlueDataLength = 0;
};

// Tests the file's prefix and sets ImplicitVR and BigEndian. Leaves Source at
// the first element; with Output, copies the 132-byte prefix there when the
// file has one. Raises EFormatError("No valid DicomFile.").
void CheckPreamble(TStream& Source, TStream* Output, TransferSyntaxState& TS);

// Sets TS from a trimmed Transfer Syntax UID. Raises
// EFormatError("Deflate syntax not supported.").
void SetTransferSyntax(const std::string& UID, TransferSyntaxState& TS);

TPhotometric PhotometricFromString(const std::string& Text);

// Every walk calls this before reading each element. At the first element
// outside group 0002 it looks at the bytes where an explicit VR would stand
// and follows them when they contradict ImplicitVR: files whose data set is
// encoded otherwise than their prefix or Transfer Syntax UID claims exist, and
// walking them in the claimed encoding reads nonsense. Source's position is
// kept.
void CheckDataSetStart(TStream& Source, TransferSyntaxState& TS);

// Removes leading and trailing characters up to and including the blank.
std::string TrimValue(const std::string& S);

// Parses a trimmed decimal integer; raises EConvertError when it is not one.
int32_t StrToInt(const std::string& S);

// What a load saw, for tools and tests that look beyond the summary.
struct TLoadInfo {
    TransferSyntaxState State;   // as the walk left it
    bool HasPixelData = false;
    int32_t RenderResult = 0;    // RenderImage's result; 0 when not called
    // The image description as the walk filled it (PixelData and Pixels
    // are not kept).
    TData28 Data;
};

// Loads FileName: fills HeaderData and draws the first frame into Bitmap.
// True when the file has pixel data and the renderer succeeded. Errors are
// raised with their messages; the file is closed on every path.
bool LoadDICOMFile(const std::string& FileName, TBitmap& Bitmap, THeaderData& HeaderData, TLoadInfo* Info = nullptr);

// The same walk without rendering, for tools and benchmarks that only need
// the header. True when the file has pixel data.
bool LoadDICOMHeader(const std::string& FileName, THeaderData& HeaderData, TLoadInfo* Info = nullptr);

} // namespace dicom
