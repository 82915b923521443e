#include "loader.h"

#include "errors.h"
#include "jpegext.h"
#include "render.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace dicom {

namespace {

const char kNoValidDicom[] = "No valid DicomFile.";

uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }

// The last six bytes of a LUT descriptor value, as far as the value holds
// them: a shorter value gives what it has, the rest zero.
TLUTDescriptor ReadDescriptor(const TDICOMattribute& E, TStream& Source, const TransferSyntaxState& TS)
{
    std::string V = E.ReadString(Source);
    if (V.size() > 6)
        V.erase(0, V.size() - 6);
    V.resize(6, '\0');
    const auto* P = reinterpret_cast<const uint8_t*>(V.data());
    uint16_t N[3] = {Le16(P), Le16(P + 2), Le16(P + 4)};
    if (TS.BigEndian)
        for (auto& X : N)
            X = static_cast<uint16_t>((X >> 8) | (X << 8));
    TLUTDescriptor D;
    D.Entries = N[0] == 0 ? 65535 : N[0];
    D.FirstMapped = N[1];
    D.BitsPerEntry = N[2];
    return D;
}

} // namespace

std::string TrimValue(const std::string& S)
{
    size_t B = 0, E = S.size();
    while (B < E && static_cast<unsigned char>(S[B]) <= ' ')
        ++B;
    while (E > B && static_cast<unsigned char>(S[E - 1]) <= ' ')
        --E;
    return S.substr(B, E - B);
}

int32_t StrToInt(const std::string& S)
{
    const std::string T = TrimValue(S);
    const auto Fail = [&]() { return EConvertError("'" + T + "' is not a valid integer value"); };
    if (T.empty())
        throw Fail();
    size_t I = 0;
    bool Negative = false;
    if (T[0] == '+' || T[0] == '-') {
        Negative = T[0] == '-';
        I = 1;
    }
    if (I == T.size())
        throw Fail();
    int64_t V = 0;
    for (; I < T.size(); ++I) {
        if (T[I] < '0' || T[I] > '9')
            throw Fail();
        V = V * 10 + (T[I] - '0');
        if (V > static_cast<int64_t>(INT32_MAX) + 1)
            throw Fail();
    }
    if (Negative)
        V = -V;
    if (V > INT32_MAX || V < INT32_MIN)
        throw Fail();
    return static_cast<int32_t>(V);
}

void CheckPreamble(TStream& Source, TStream* Output, TransferSyntaxState& TS)
{
    TS.ImplicitVR = false;
    TS.BigEndian = false;
    uint8_t Magic[4] = {0, 0, 0, 0};
    Source.Seek(128);
    if (Source.Read(Magic, 4) == 4 && std::memcmp(Magic, "DICM", 4) == 0) {
        if (Output != nullptr) {
            Source.Seek(0);
            Output->CopyFrom(Source, 132);
        }
        Source.Seek(132);
        return;
    }
    // A bare data set: it must start with group 0002 or 0008.
    uint8_t First[2];
    Source.Seek(0);
    Source.ReadBuffer(First, 2);
    const uint16_t Group = Le16(First);
    if (Group != 2 && Group != 8)
        throw EFormatError(kNoValidDicom);
    Source.Seek(0);
    TS.ImplicitVR = Group != 2;
}

void SetTransferSyntax(const std::string& UID, TransferSyntaxState& TS)
{
    TS.ImplicitVR = UID.size() <= 18;
    TS.BigEndian = UID == "1.2.840.10008.1.2.2";
    TS.Compressed = UID.size() >= 19 && static_cast<unsigned char>(UID[18]) >= '3';
    if (TS.Compressed) {
        if (UID[18] == '4') {
            if (UID.size() >= 22 && UID[20] >= '0' && UID[20] <= '9' && UID[21] >= '0' && UID[21] <= '9') {
                const int N = (UID[20] - '0') * 10 + (UID[21] - '0');
                TS.Compression = N == 57 || N == 70 ? ckLosslessJPEG : ckJPEG;
            }
        } else if (UID[18] == '5') {
            TS.Compression = ckRLE;
        }
    } else if (UID == "1.2.840.10008.1.2.1.99") {
        TS.Compression = ckDeflate;
    }
    if (TS.Compression == ckDeflate)
        throw EFormatError("Deflate syntax not supported.");
}

void CheckDataSetStart(TStream& Source, TransferSyntaxState& TS)
{
    if (TS.DataSetChecked)
        return;
    const int64_t At = Source.Position();
    uint8_t H[6];
    const size_t Got = Source.Read(H, 6);
    Source.Seek(At);
    if (Got < 6)
        return;
    if (Le16(H) == 0x0002)
        return;
    TS.DataSetChecked = true;
    const char VR[2] = {static_cast<char>(H[4]), static_cast<char>(H[5])};
    const bool Explicit = TDICOMattribute::IsKnownVR(VR);
    if (Explicit == TS.ImplicitVR)
        TS.ImplicitVR = !Explicit;
}

TPhotometric PhotometricFromString(const std::string& Text)
{
    static const std::pair<const char*, TPhotometric> kNames[] = {
        {"MONOCHROME1", pmMonochrome1}, {"MONOCHROME2", pmMonochrome2}, {"RGB", pmRGB},
        {"YBR_FULL", pmYBRFull},        {"PALETTE COLOR", pmPalette},    {"YBR_FULL_422", pmYBRFull422},
        // JPEG 2000 only: its decoder undoes the colour transform.
        {"YBR_RCT", pmRGB},             {"YBR_ICT", pmRGB},
    };
    const std::string T = TrimValue(Text);
    for (const auto& [Name, Code] : kNames)
        if (T == Name)
            return Code;
    return pmOther;
}

namespace {

void FillInfo(TLoadInfo& Info, const TData28& Data, const TransferSyntaxState& TS)
{
    Info.State = TS;
    Info.HasPixelData = Data.PixelData != nullptr;
    TData28& D = Info.Data;
    D.Rows = Data.Rows;
    D.Columns = Data.Columns;
    D.NumberOfFrames = Data.NumberOfFrames;
    D.SamplesPerPixel = Data.SamplesPerPixel;
    D.BitsAllocated = Data.BitsAllocated;
    D.BitsStored = Data.BitsStored;
    D.HighBit = Data.HighBit;
    D.PixelSigned = Data.PixelSigned;
    D.PlanarConfiguration = Data.PlanarConfiguration;
    D.Photometric = Data.Photometric;
    D.FrameSize = Data.FrameSize;
    D.RedDescriptor = Data.RedDescriptor;
    D.RedDataOffset = Data.RedDataOffset;
    D.RedDataLength = Data.RedDataLength;
    D.GreenDescriptor = Data.GreenDescriptor;
    D.GreenDataOffset = Data.GreenDataOffset;
    D.GreenDataLength = Data.GreenDataLength;
    D.BlueDescriptor = Data.BlueDescriptor;
    D.BlueDataOffset = Data.BlueDataOffset;
    D.BlueDataLength = Data.BlueDataLength;
    if (Data.PixelData) {
        D.PixelData = std::make_unique<TDICOMattribute>(*Data.PixelData);
        D.PixelData->Stream = nullptr;
    }
}

// The element walk: fills HeaderData and Data, sets TS. Leaves the pixel
// data element (the last one met) in Data.PixelData.
void WalkFile(TFileStream& File, THeaderData& HeaderData, TData28& Data, TransferSyntaxState& TS)
{
    CheckPreamble(File, nullptr, TS);
    const int64_t Size = File.Size();
    while (File.Position() < Size) {
        CheckDataSetStart(File, TS);
        auto E = std::make_unique<TDICOMattribute>(File, TS);
        switch (E->Tag()) {
        case 0x00020010: SetTransferSyntax(TrimValue(E->ReadString(File)), TS); break;
        case 0x00080005: HeaderData.SpecificCharacterSet = E->ReadString(File); break;
        case 0x00080023: HeaderData.ContentDate = E->ReadString(File); break;
        case 0x00080050: HeaderData.AccessionNumber = E->ReadString(File); break;
        case 0x00080060: HeaderData.Modality = E->ReadString(File); break;
        case 0x00080070: HeaderData.Manufacturer = E->ReadString(File); break;
        case 0x00080080: HeaderData.InstitutionName = E->ReadString(File); break;
        case 0x00080090: HeaderData.ReferringPhysicianName = E->ReadString(File); break;
        case 0x00100010: HeaderData.PatientName = E->ReadString(File); break;
        case 0x00100020: HeaderData.PatientID = E->ReadString(File); break;
        case 0x00100030: HeaderData.PatientBirthDate = E->ReadString(File); break;
        case 0x00180015: HeaderData.BodyPartExamined = E->ReadString(File); break;
        case 0x00200013: HeaderData.InstanceNumber = E->ReadString(File); break;
        case 0x00204000: HeaderData.ImageComments = E->ReadString(File); break;
        case 0x00280002: Data.SamplesPerPixel = E->ReadUInt16(File, TS); break;
        case 0x00280006: Data.PlanarConfiguration = E->ReadUInt16(File, TS); break;
        case 0x00280010: Data.Rows = E->ReadUInt16(File, TS); break;
        case 0x00280011: Data.Columns = E->ReadUInt16(File, TS); break;
        case 0x00280100: Data.BitsAllocated = E->ReadUInt16(File, TS); break;
        case 0x00280101: Data.BitsStored = E->ReadUInt16(File, TS); break;
        case 0x00280102: Data.HighBit = E->ReadUInt16(File, TS); break;
        case 0x00280103: Data.PixelSigned = E->ReadUInt16(File, TS) == 1; break;
        case 0x00280004:
            Data.Photometric = PhotometricFromString(E->ReadString(File));
            if (Data.Photometric == pmMonochrome2 || Data.Photometric == pmMonochrome1) {
                Data.RedDescriptor.Entries = 256;
                Data.RedDescriptor.FirstMapped = 0;
            }
            break;
        case 0x00280008: Data.NumberOfFrames = static_cast<uint16_t>(StrToInt(E->ReadString(File))); break;
        case 0x00281101: Data.RedDescriptor = ReadDescriptor(*E, File, TS); break;
        case 0x00281102: Data.GreenDescriptor = ReadDescriptor(*E, File, TS); break;
        case 0x00281103: Data.BlueDescriptor = ReadDescriptor(*E, File, TS); break;
        case 0x00281201: Data.RedDataOffset = E->ValueOffset; Data.RedDataLength = E->Length; break;
        case 0x00281202: Data.GreenDataOffset = E->ValueOffset; Data.GreenDataLength = E->Length; break;
        case 0x00281203: Data.BlueDataOffset = E->ValueOffset; Data.BlueDataLength = E->Length; break;
        case 0x7FE00010: Data.PixelData = std::move(E); break;
        default: break;
        }
    }
    HeaderData.Rows = Data.Rows;
    HeaderData.Columns = Data.Columns;
    HeaderData.NumberOfFrames = Data.NumberOfFrames;
}

} // namespace

bool LoadDICOMFile(const std::string& FileName, TBitmap& Bitmap, THeaderData& HeaderData, TLoadInfo* Info)
{
    TransferSyntaxState TS;
    TData28 Data;
    TFileStream File(FileName, TFileStream::fmOpenRead);
    WalkFile(File, HeaderData, Data, TS);
    if (Info != nullptr)
        FillInfo(*Info, Data, TS);
    if (Data.PixelData == nullptr)
        return false;
    Data.PixelData->Stream = &File;
    // The frame's own stream decides its decoder (files carry wrong UIDs).
    TransferSyntaxState FrameTS = TS;
    if (TS.Compressed) {
        Data.PixelData->SkipToFirstFragment();
        FrameTS.Compression = FrameCompression(*Data.PixelData, TS);
    }
    const int32_t Rendered = RenderImage(Data, Bitmap, FrameTS);
    if (Info != nullptr) {
        Info->RenderResult = Rendered;
        Info->Data.FrameSize = Data.FrameSize;
    }
    return Rendered != -1;
}

bool LoadDICOMHeader(const std::string& FileName, THeaderData& HeaderData, TLoadInfo* Info)
{
    TransferSyntaxState TS;
    TData28 Data;
    TFileStream File(FileName, TFileStream::fmOpenRead);
    WalkFile(File, HeaderData, Data, TS);
    if (Info != nullptr)
        FillInfo(*Info, Data, TS);
    return Data.PixelData != nullptr;
}

} // namespace dicom
