// varnelo-dicom info FILE: what the loader gathered, as JSON.
#include "commands.h"

#include "dicom.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

// JSON string with every byte outside printable ASCII escaped, so trailing
// blanks, zero bytes and 8-bit characters survive as they are.
std::string Quote(const std::string& S)
{
    std::string Out = "\"";
    for (unsigned char C : S) {
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += static_cast<char>(C);
        } else if (C < 0x20 || C >= 0x7F) {
            char Buf[8];
            std::snprintf(Buf, sizeof Buf, "\\u%04x", C);
            Out += Buf;
        } else {
            Out += static_cast<char>(C);
        }
    }
    return Out + "\"";
}

// JSON string of UTF-8 text: characters outside printable ASCII as \u
// escapes (pairs of them beyond the first plane).
std::string QuoteUTF8(const std::string& S)
{
    std::vector<uint32_t> Chars;
    if (!dicom::DecodeUTF8(S, Chars))
        return Quote(S);
    std::string Out = "\"";
    auto Escape = [&Out](uint32_t U) {
        char Buf[8];
        std::snprintf(Buf, sizeof Buf, "\\u%04x", static_cast<unsigned>(U));
        Out += Buf;
    };
    for (const uint32_t C : Chars) {
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += static_cast<char>(C);
        } else if (C >= 0x20 && C < 0x7F) {
            Out += static_cast<char>(C);
        } else if (C >= 0x10000) {
            Escape(0xD800 + ((C - 0x10000) >> 10));
            Escape(0xDC00 + ((C - 0x10000) & 0x3FF));
        } else {
            Escape(C);
        }
    }
    return Out + "\"";
}

const char* CompressionName(dicom::TCompressionKind K)
{
    switch (K) {
    case dicom::ckNone: return "ckNone";
    case dicom::ckLosslessJPEG: return "ckLosslessJPEG";
    case dicom::ckJPEG: return "ckJPEG";
    case dicom::ckRLE: return "ckRLE";
    case dicom::ckDeflate: return "ckDeflate";
    case dicom::ckJPEGLS: return "ckJPEGLS";
    case dicom::ckJPEG2000: return "ckJPEG2000";
    }
    return "?";
}

std::string Descriptor(const dicom::TLUTDescriptor& D, int64_t Offset, uint32_t Length)
{
    return "{\"Entries\": " + std::to_string(D.Entries) + ", \"FirstMapped\": " + std::to_string(D.FirstMapped) +
           ", \"BitsPerEntry\": " + std::to_string(D.BitsPerEntry) + ", \"DataOffset\": " + std::to_string(Offset) +
           ", \"DataLength\": " + std::to_string(Length) + "}";
}

int Info(int argc, char** argv)
{
    const bool HeaderOnly = argc == 3 && std::string(argv[1]) == "--header-only";
    if (argc != 2 && !HeaderOnly) {
        std::fprintf(stderr, "usage: varnelo-dicom info [--header-only] FILE\n");
        return 2;
    }
    const char* FileName = argv[argc - 1];
    dicom::THeaderData H;
    dicom::TBitmap Bitmap;
    dicom::TLoadInfo LI;
    bool Loaded = false;
    try {
        Loaded = HeaderOnly ? dicom::LoadDICOMHeader(FileName, H, &LI) : dicom::LoadDICOMFile(FileName, Bitmap, H, &LI);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    const dicom::TData28& D = LI.Data;
    using dicom::THeaderData;
    static constexpr std::string THeaderData::*FieldMembers[] = {
        &THeaderData::PatientName,          &THeaderData::PatientID,       &THeaderData::PatientBirthDate,
        &THeaderData::ContentDate,          &THeaderData::Modality,        &THeaderData::Manufacturer,
        &THeaderData::InstitutionName,      &THeaderData::AccessionNumber, &THeaderData::ReferringPhysicianName,
        &THeaderData::InstanceNumber,       &THeaderData::BodyPartExamined, &THeaderData::ImageComments,
    };
    std::string J = "{\n  \"header\": {\n";
    const std::pair<const char*, const std::string*> Fields[] = {
        {"PatientName", &H.PatientName},
        {"PatientID", &H.PatientID},
        {"PatientBirthDate", &H.PatientBirthDate},
        {"ContentDate", &H.ContentDate},
        {"Modality", &H.Modality},
        {"Manufacturer", &H.Manufacturer},
        {"InstitutionName", &H.InstitutionName},
        {"AccessionNumber", &H.AccessionNumber},
        {"ReferringPhysicianName", &H.ReferringPhysicianName},
        {"InstanceNumber", &H.InstanceNumber},
        {"BodyPartExamined", &H.BodyPartExamined},
        {"ImageComments", &H.ImageComments},
    };
    for (const auto& [Name, Value] : Fields)
        J += std::string("    \"") + Name + "\": " + Quote(*Value) + ",\n";
    J += "    \"SpecificCharacterSet\": " + Quote(H.SpecificCharacterSet) + ",\n";
    J += "    \"Rows\": " + std::to_string(H.Rows) + ",\n";
    J += "    \"Columns\": " + std::to_string(H.Columns) + ",\n";
    J += "    \"NumberOfFrames\": " + std::to_string(H.NumberOfFrames) + "\n  },\n";
    // The same strings as the window shows them, decoded by the data set's
    // character set.
    const dicom::THeaderData Decoded = dicom::DecodedHeader(H);
    J += "  \"decoded\": {\n";
    for (size_t I = 0; I < std::size(Fields); ++I) {
        const std::string& Text = Decoded.*(FieldMembers[I]);
        J += std::string("    \"") + Fields[I].first + "\": " + QuoteUTF8(Text) + (I + 1 < std::size(Fields) ? ",\n" : "\n");
    }
    J += "  },\n";
    J += "  \"data28\": {\n";
    J += "    \"Rows\": " + std::to_string(D.Rows) + ",\n";
    J += "    \"Columns\": " + std::to_string(D.Columns) + ",\n";
    J += "    \"NumberOfFrames\": " + std::to_string(D.NumberOfFrames) + ",\n";
    J += "    \"SamplesPerPixel\": " + std::to_string(D.SamplesPerPixel) + ",\n";
    J += "    \"BitsAllocated\": " + std::to_string(D.BitsAllocated) + ",\n";
    J += "    \"BitsStored\": " + std::to_string(D.BitsStored) + ",\n";
    J += "    \"HighBit\": " + std::to_string(D.HighBit) + ",\n";
    J += std::string("    \"PixelSigned\": ") + (D.PixelSigned ? "true" : "false") + ",\n";
    J += "    \"PlanarConfiguration\": " + std::to_string(D.PlanarConfiguration) + ",\n";
    J += "    \"Photometric\": " + std::to_string(static_cast<int>(D.Photometric)) + ",\n";
    J += "    \"RedDescriptor\": " + Descriptor(D.RedDescriptor, D.RedDataOffset, D.RedDataLength) + ",\n";
    J += "    \"GreenDescriptor\": " + Descriptor(D.GreenDescriptor, D.GreenDataOffset, D.GreenDataLength) + ",\n";
    J += "    \"BlueDescriptor\": " + Descriptor(D.BlueDescriptor, D.BlueDataOffset, D.BlueDataLength) + ",\n";
    if (D.PixelData) {
        const auto& P = *D.PixelData;
        J += "    \"PixelData\": {\"VR\": " + Quote(P.VRString()) + ", \"Length\": " + std::to_string(P.Length) +
             ", \"ValueOffset\": " + std::to_string(P.ValueOffset) +
             ", \"UndefinedLength\": " + (P.UndefinedLength ? "true" : "false") + "}\n";
    } else {
        J += "    \"PixelData\": null\n";
    }
    J += "  },\n";
    J += "  \"transferSyntax\": {\"ImplicitVR\": " + std::string(LI.State.ImplicitVR ? "true" : "false") +
         ", \"BigEndian\": " + (LI.State.BigEndian ? "true" : "false") +
         ", \"Compressed\": " + (LI.State.Compressed ? "true" : "false") + ", \"Compression\": \"" +
         CompressionName(LI.State.Compression) + "\"},\n";
    J += std::string("  \"pixelDataFound\": ") + (LI.HasPixelData ? "true" : "false") + ",\n";
    J += "  \"renderResult\": " + std::to_string(LI.RenderResult) + ",\n";
    J += std::string("  \"loaded\": ") + (Loaded ? "true" : "false") + ",\n";
    J += "  \"bitmap\": {\"Width\": " + std::to_string(Bitmap.Width()) + ", \"Height\": " +
         std::to_string(Bitmap.Height()) + ", \"BitsPerPixel\": " + std::to_string(Bitmap.BitsPerPixel()) + "}\n";
    J += "}\n";
    std::fputs(J.c_str(), stdout);
    return 0;
}

const TCommand Register("info", "[--header-only] FILE", Info);

} // namespace
