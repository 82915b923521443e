// File tests, transfer syntax decisions and the header walk.
#include "dicomgen.h"

#include "errors.h"
#include "loader.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace dicom;
using testgen::Bytes;
using testgen::DataSet;

namespace {

TEST(TransferSyntax, DecisionsFromTheUID)
{
    struct Case {
        const char* UID;
        bool Implicit, Big, Compressed;
        TCompressionKind Kind;
    };
    const Case Cases[] = {
        {"1.2.840.10008.1.2", true, false, false, ckNone},
        {"1.2.840.10008.1.2.1", false, false, false, ckNone},
        {"1.2.840.10008.1.2.2", false, true, false, ckNone},
        {"1.2.840.10008.1.2.4.50", false, false, true, ckJPEG},
        {"1.2.840.10008.1.2.4.51", false, false, true, ckJPEG},
        {"1.2.840.10008.1.2.4.57", false, false, true, ckLosslessJPEG},
        {"1.2.840.10008.1.2.4.70", false, false, true, ckLosslessJPEG},
        {"1.2.840.10008.1.2.4.90", false, false, true, ckJPEG},
        {"1.2.840.10008.1.2.4.100", false, false, true, ckJPEG},
        {"1.2.840.10008.1.2.5", false, false, true, ckRLE},
    };
    for (const Case& C : Cases) {
        TransferSyntaxState TS;
        SetTransferSyntax(C.UID, TS);
        EXPECT_EQ(TS.ImplicitVR, C.Implicit) << C.UID;
        EXPECT_EQ(TS.BigEndian, C.Big) << C.UID;
        EXPECT_EQ(TS.Compressed, C.Compressed) << C.UID;
        EXPECT_EQ(TS.Compression, C.Kind) << C.UID;
    }
    TransferSyntaxState TS;
    try {
        SetTransferSyntax("1.2.840.10008.1.2.1.99", TS);
        FAIL() << "deflate accepted";
    } catch (const EFormatError& E) {
        EXPECT_STREQ(E.what(), "Deflate syntax not supported.");
    }
    // A stored trailing zero is trimmed before the decision.
    TransferSyntaxState Z;
    SetTransferSyntax(TrimValue(std::string("1.2.840.10008.1.2\0", 18)), Z);
    EXPECT_TRUE(Z.ImplicitVR);
    EXPECT_FALSE(Z.Compressed);
}

TEST(Photometric, NamesAndPadding)
{
    const std::pair<const char*, TPhotometric> Cases[] = {
        {"MONOCHROME1", pmMonochrome1}, {"MONOCHROME2 ", pmMonochrome2}, {"RGB", pmRGB},
        {"YBR_FULL", pmYBRFull},        {"YBR_FULL_422", pmYBRFull422},  {"PALETTE COLOR ", pmPalette},
        {"YBR_PARTIAL_422", pmOther},   {"", pmOther},                   {"monochrome2", pmOther},
    };
    for (const auto& [Text, Code] : Cases)
        EXPECT_EQ(PhotometricFromString(Text), Code) << Text;
}

TEST(Preamble, PrefixAndBareDataSets)
{
    struct Case {
        const char* Name;
        Bytes File;
        bool Ok, Implicit;
        int64_t Position;
        size_t Copied;
    };
    Bytes Part10(128, 0);
    Part10.insert(Part10.end(), {'D', 'I', 'C', 'M', 2, 0, 0x10, 0});
    const Case Cases[] = {
        {"part 10", Part10, true, false, 132, 132},
        {"bare 0002", Bytes{2, 0, 0x10, 0, 'U', 'I'}, true, false, 0, 0},
        {"bare 0008", Bytes{8, 0, 0x05, 0, 4, 0, 0, 0}, true, true, 0, 0},
        {"bare 0010", Bytes{0x10, 0, 0x10, 0}, false, false, 0, 0},
        {"big-endian group", Bytes{0, 8, 0, 5}, false, false, 0, 0},
    };
    for (const Case& C : Cases) {
        TMemoryStream M(C.File), Out;
        TransferSyntaxState TS;
        if (!C.Ok) {
            try {
                CheckPreamble(M, &Out, TS);
                ADD_FAILURE() << C.Name << " accepted";
            } catch (const EFormatError& E) {
                EXPECT_STREQ(E.what(), "No valid DicomFile.") << C.Name;
            }
            continue;
        }
        CheckPreamble(M, &Out, TS);
        EXPECT_EQ(TS.ImplicitVR, C.Implicit) << C.Name;
        EXPECT_FALSE(TS.BigEndian) << C.Name;
        EXPECT_EQ(M.Position(), C.Position) << C.Name;
        EXPECT_EQ(Out.Bytes().size(), C.Copied) << C.Name;
    }
    TMemoryStream One(Bytes{8});
    TransferSyntaxState TS;
    EXPECT_THROW(CheckPreamble(One, nullptr, TS), EReadError);
}

TEST(Numbers, DecimalParse)
{
    EXPECT_EQ(StrToInt(" 12"), 12);
    EXPECT_EQ(StrToInt("-3 "), -3);
    for (const char* Bad : {"", "1.5", "x", "99999999999", "+"}) {
        try {
            StrToInt(Bad);
            ADD_FAILURE() << Bad;
        } catch (const EConvertError& E) {
            EXPECT_NE(std::string(E.what()).find("is not a valid integer value"), std::string::npos);
        }
    }
}

// A small image data set with every summary field, in any encoding.
DataSet Summary(bool Implicit, bool Big, bool WithMetaUID)
{
    DataSet S(Implicit, Big);
    if (WithMetaUID)
        S.Add(0x0002, 0x0010, "UI", Implicit ? testgen::kImplicitLE : Big ? testgen::kExplicitBE : testgen::kExplicitLE,
              '\0');
    S.Add(0x0008, 0x0023, "DA", "20240229");
    S.Add(0x0008, 0x0050, "SH", "ACC1");
    S.Add(0x0008, 0x0060, "CS", "CT");
    S.Add(0x0008, 0x0070, "LO", "Maker");
    S.Add(0x0008, 0x0080, "LO", "Hospital");
    S.Add(0x0008, 0x0090, "PN", "Ref^Doc");
    S.Add(0x0010, 0x0010, "PN", "Family^Given");
    S.Add(0x0010, 0x0020, "LO", "ID\\2");
    S.Add(0x0010, 0x0030, "DA", "19800102");
    S.Add(0x0018, 0x0015, "CS", "HEAD");
    S.Add(0x0020, 0x0013, "IS", "7");
    S.Add(0x0020, 0x4000, "LT", "line one\r\nline two");
    S.US(0x0028, 0x0002, 1);
    S.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    S.Add(0x0028, 0x0008, "IS", " 12");
    S.US(0x0028, 0x0010, 2);
    S.US(0x0028, 0x0011, 3);
    S.US(0x0028, 0x0100, 8);
    S.USMulti(0x0028, 0x1101, {0, 16, 16});
    return S;
}

class LoaderFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& Name, const Bytes& B)
    {
        Files.push_back(Dir + "/" + Name);
        testgen::WriteFile(Files.back(), B);
        return Files.back();
    }
    const testgen::TempDir Scratch{"loader"};
    const std::string Dir = Scratch.Path;
    std::vector<std::string> Files;
};

TEST_F(LoaderFiles, SameSummaryInEveryEncoding)
{
    struct Variant {
        const char* Name;
        Bytes File;
        bool Implicit, Big;
    };
    const Variant Variants[] = {
        {"implicit", testgen::Part10(testgen::kImplicitLE, Summary(true, false, false)), true, false},
        {"explicit", testgen::Part10(testgen::kExplicitLE, Summary(false, false, false)), false, false},
        {"big", testgen::Part10(testgen::kExplicitBE, Summary(false, true, false)), false, true},
        {"bare implicit", Summary(true, false, false).bytes(), true, false},
        {"bare with meta", Summary(false, true, true).bytes(), false, true},
    };
    for (const Variant& V : Variants) {
        THeaderData H;
        TLoadInfo Info;
        EXPECT_FALSE(LoadDICOMHeader(Write(V.Name, V.File), H, &Info)) << V.Name << ": no pixel data";
        EXPECT_EQ(H.PatientName, "Family^Given") << V.Name;
        EXPECT_EQ(H.PatientID, "ID\\2") << V.Name;
        EXPECT_EQ(H.PatientBirthDate, "19800102") << V.Name;
        EXPECT_EQ(H.ContentDate, "20240229") << V.Name;
        EXPECT_EQ(H.Modality, "CT") << V.Name;
        EXPECT_EQ(H.Manufacturer, "Maker ") << V.Name;
        EXPECT_EQ(H.InstitutionName, "Hospital") << V.Name;
        EXPECT_EQ(H.AccessionNumber, "ACC1") << V.Name;
        EXPECT_EQ(H.ReferringPhysicianName, "Ref^Doc ") << V.Name;
        EXPECT_EQ(H.InstanceNumber, "7 ") << V.Name;
        EXPECT_EQ(H.BodyPartExamined, "HEAD") << V.Name;
        EXPECT_EQ(H.ImageComments, "line one\r\nline two") << V.Name;
        EXPECT_EQ(H.Rows, 2) << V.Name;
        EXPECT_EQ(H.Columns, 3) << V.Name;
        EXPECT_EQ(H.NumberOfFrames, 12) << V.Name;
        EXPECT_EQ(Info.State.ImplicitVR, V.Implicit) << V.Name;
        EXPECT_EQ(Info.State.BigEndian, V.Big) << V.Name;
        EXPECT_EQ(Info.Data.Photometric, pmMonochrome2) << V.Name;
        // The descriptor's zero entry count means 65536, kept as 65535.
        EXPECT_EQ(Info.Data.RedDescriptor.Entries, 65535) << V.Name;
        EXPECT_EQ(Info.Data.RedDescriptor.BitsPerEntry, 16) << V.Name;
    }
}

TEST_F(LoaderFiles, RefusalsCarryTheirMessages)
{
    struct Case {
        const char* Name;
        Bytes File;
        const char* Message; // prefix
    };
    DataSet BadFrames(false, false);
    BadFrames.Add(0x0028, 0x0008, "IS", "many");
    DataSet Deflated(false, false);
    Deflated.Add(0x0010, 0x0010, "PN", "Never^Read");
    const Case Cases[] = {
        {"not dicom", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}, "No valid DicomFile."},
        {"deflated", testgen::Part10(testgen::kDeflated, Deflated), "Deflate syntax not supported."},
        {"bad frames", testgen::Part10(testgen::kExplicitLE, BadFrames), "'many' is not a valid integer value"},
        {"one byte", Bytes{8}, "Stream read error"},
    };
    for (const Case& C : Cases) {
        THeaderData H;
        TBitmap Bitmap;
        try {
            LoadDICOMFile(Write(C.Name, C.File), Bitmap, H);
            ADD_FAILURE() << C.Name << " loaded";
        } catch (const EDicomError& E) {
            EXPECT_EQ(std::string(E.what()).rfind(C.Message, 0), 0u) << C.Name << ": " << E.what();
        }
        EXPECT_TRUE(H.PatientName.empty()) << C.Name;
    }
    THeaderData H;
    TBitmap Bitmap;
    EXPECT_THROW(LoadDICOMFile(Dir + "/missing.dcm", Bitmap, H), EFOpenError);
}

TEST_F(LoaderFiles, LastPixelDataElementWinsAndAbsentFieldsStayAsGiven)
{
    DataSet S(false, false);
    S.AddRaw(0x7FE0, 0x0010, "OB", Bytes(4, 1));
    S.AddRaw(0x7FE0, 0x0010, "OW", Bytes(6, 2));
    THeaderData H;
    H.PatientName = "kept";
    TLoadInfo Info;
    EXPECT_TRUE(LoadDICOMHeader(Write("two", testgen::Part10(testgen::kExplicitLE, S)), H, &Info));
    ASSERT_TRUE(Info.Data.PixelData);
    EXPECT_EQ(Info.Data.PixelData->Length, 6u);
    EXPECT_EQ(Info.Data.PixelData->VRString(), "OW");
    EXPECT_EQ(H.PatientName, "kept");
    EXPECT_EQ(H.NumberOfFrames, 0);
}

TEST_F(LoaderFiles, ShortDescriptorReadsOnlyItsOwnBytes)
{
    DataSet S(false, false);
    S.Header(0x0028, 0x1101, "US", 2).Raw(std::string("\x10\x00", 2));
    S.Add(0x0010, 0x0010, "PN", "After^Lut");
    THeaderData H;
    TLoadInfo Info;
    LoadDICOMHeader(Write("lut", testgen::Part10(testgen::kExplicitLE, S)), H, &Info);
    EXPECT_EQ(Info.Data.RedDescriptor.Entries, 16);
    EXPECT_EQ(Info.Data.RedDescriptor.FirstMapped, 0);
    EXPECT_EQ(Info.Data.RedDescriptor.BitsPerEntry, 0);
    EXPECT_EQ(H.PatientName, "After^Lut ");
}

TEST_F(LoaderFiles, CompressedPixelDataIsNarrowedToTheFirstFragment)
{
    DataSet S(false, false);
    S.US(0x0028, 0x0002, 1);
    S.Encapsulated({Bytes(20, 5), Bytes(10, 6)});
    THeaderData H;
    TLoadInfo Info;
    EXPECT_TRUE(LoadDICOMHeader(Write("rle", testgen::Part10(testgen::kRLE, S)), H, &Info));
    EXPECT_TRUE(Info.State.Compressed);
    EXPECT_EQ(Info.State.Compression, ckRLE);
    ASSERT_TRUE(Info.Data.PixelData);
    EXPECT_TRUE(Info.Data.PixelData->UndefinedLength);
}

} // namespace
