// The element stream: header layouts in every encoding, undefined lengths,
// copying and rewriting, and reads that never leave the file's bytes.
#include "dicomgen.h"

#include "element.h"
#include "errors.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace dicom;
using testgen::Bytes;
using testgen::DataSet;

namespace {

TransferSyntaxState Syntax(bool Implicit, bool Big)
{
    TransferSyntaxState TS;
    TS.ImplicitVR = Implicit;
    TS.BigEndian = Big;
    return TS;
}

// The plain two-byte scan for the end of an undefined-length value, kept here
// as the oracle that the structural measurement must agree with on every
// well-formed value.
uint32_t RawScanLength(const Bytes& B, size_t Start, bool Swap)
{
    const TDelimiters& D = DelimitersFor(Swap);
    auto At = [&](size_t P) {
        uint32_t W;
        if (P + 4 > B.size())
            throw EReadError();
        std::memcpy(&W, B.data() + P, 4);
        return W;
    };
    int Sequences = 1, Items = 0;
    size_t P = Start;
    for (;;) {
        uint32_t W = At(P);
        size_t Next = P + 4;
        if (W == D.SequenceDelimitation)
            --Sequences;
        if (W == D.ItemDelimitation)
            --Items;
        if (W == 0xFFFFFFFFu) {
            if (At(P - 4) == D.Item)
                ++Items;
            W = At(P + 4);
            if (W == D.Item)
                ++Sequences;
            else if (W == D.ItemDelimitation)
                --Items;
            Next = P + 8;
        }
        P = Next - 2;
        if (W == D.SequenceDelimitation && Sequences == 0 && Items == 0)
            return static_cast<uint32_t>(P - Start - 2);
    }
}

struct HeaderCase {
    const char* Name;
    bool Implicit, Big;
    const char* VR;
    uint16_t Group;
    size_t HeaderBytes;
    bool LongForm;
};

class HeaderLayout : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderLayout, ReadsTagVRLengthAndSkipsValue)
{
    const HeaderCase& C = GetParam();
    DataSet S(C.Implicit, C.Big);
    S.Add(C.Group, 0x0010, C.VR, "ABCDEF");
    S.Add(C.Group, 0x0011, C.VR, "XY");
    TMemoryStream M(S.bytes());
    const auto TS = Syntax(C.Implicit, C.Big);
    TDICOMattribute E(M, TS);
    EXPECT_EQ(E.Group, C.Group);
    EXPECT_EQ(E.Element, 0x0010);
    EXPECT_EQ(E.Length, 6u);
    EXPECT_EQ(E.ValueOffset, static_cast<int64_t>(C.HeaderBytes));
    EXPECT_EQ(E.LongForm, C.LongForm);
    EXPECT_EQ(E.VRString(), C.Implicit && C.Group != 2 ? "" : std::string(C.VR));
    EXPECT_EQ(E.ReadString(M), "ABCDEF");
    TDICOMattribute Next(M, TS);
    EXPECT_EQ(Next.Element, 0x0011);
    EXPECT_EQ(M.Position(), M.Size());

    // Copying reproduces the input byte for byte.
    TMemoryStream Out;
    M.Seek(0);
    TDICOMattribute Again(M, TS);
    Again.CopyTo(Out, M, TS);
    EXPECT_EQ(Out.Bytes(), Bytes(S.bytes().begin(), S.bytes().begin() + static_cast<long>(C.HeaderBytes + 6)));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, HeaderLayout,
    ::testing::Values(HeaderCase{"ExplicitShort", false, false, "LO", 0x0010, 8, false},
                      HeaderCase{"ExplicitLongUT", false, false, "UT", 0x0010, 12, true},
                      HeaderCase{"ExplicitOB", false, false, "OB", 0x0010, 12, true},
                      HeaderCase{"Implicit", true, false, "LO", 0x0010, 8, false},
                      HeaderCase{"ImplicitMetaIsExplicit", true, false, "UI", 0x0002, 8, false},
                      HeaderCase{"BigShort", false, true, "LO", 0x0008, 8, false},
                      HeaderCase{"BigLong", false, true, "OW", 0x0008, 12, true},
                      HeaderCase{"BigMetaIsLittle", false, true, "UI", 0x0002, 8, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// Every VR of the standard in both explicit byte orders: the thirteen of the
// long form take 12 header bytes, all others 8.
std::vector<HeaderCase> EveryVR()
{
    static const char* kAll[] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS", "LO", "LT",
                                 "OB", "OD", "OF", "OL", "OV", "OW", "PN", "SH", "SL", "SQ", "SS", "ST",
                                 "SV", "TM", "UC", "UI", "UL", "UN", "UR", "US", "UT", "UV"};
    static const std::string kLong = "OB OD OF OL OV OW SQ SV UC UN UR UT UV";
    static std::vector<std::string> Names;
    std::vector<HeaderCase> Cases;
    for (const char* VR : kAll) {
        const bool Long = kLong.find(VR) != std::string::npos;
        for (const bool Big : {false, true}) {
            Names.push_back(std::string(Big ? "Big" : "Little") + VR);
            Cases.push_back(HeaderCase{nullptr, false, Big, VR, 0x0011, Long ? size_t(12) : size_t(8), Long});
        }
    }
    for (size_t I = 0; I < Cases.size(); ++I)
        Cases[I].Name = Names[I].c_str();
    return Cases;
}

INSTANTIATE_TEST_SUITE_P(EveryVR, HeaderLayout, ::testing::ValuesIn(EveryVR()),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// The long form read from bytes laid out by hand: reserved bytes, then a
// 4-byte length whose high half matters.
TEST(ElementStream, NewLongFormVRsTakeFourByteLengths)
{
    for (const char* VR : {"OD", "OL", "OV", "SV", "UC", "UR", "UV"}) {
        for (const bool Big : {false, true}) {
            SCOPED_TRACE(std::string(VR) + (Big ? " big" : " little"));
            Bytes B = Big ? Bytes{0x00, 0x08, 0x11, 0x90} : Bytes{0x08, 0x00, 0x90, 0x11};
            B.push_back(static_cast<uint8_t>(VR[0]));
            B.push_back(static_cast<uint8_t>(VR[1]));
            // Reserved bytes that are not zero must be ignored; length 65538.
            const Bytes Len = Big ? Bytes{0x7A, 0x7A, 0x00, 0x01, 0x00, 0x02} : Bytes{0x7A, 0x7A, 0x02, 0x00, 0x01, 0x00};
            B.insert(B.end(), Len.begin(), Len.end());
            B.resize(B.size() + 65538, 'v');
            TMemoryStream M(B);
            const auto TS = Syntax(false, Big);
            TDICOMattribute E(M, TS);
            EXPECT_EQ(E.Tag(), 0x00081190u);
            EXPECT_TRUE(E.LongForm);
            EXPECT_EQ(E.Length, 65538u);
            EXPECT_EQ(E.ValueOffset, 12);
            EXPECT_EQ(M.Position(), M.Size());
            // Rewritten with a short value, the element keeps the long form.
            TMemoryStream Out;
            E.WriteReplaced("ab", Out, TS);
            Bytes Want(B.begin(), B.begin() + 6);
            const Bytes NewLen = Big ? Bytes{0, 0, 0, 0, 0, 2} : Bytes{0, 0, 2, 0, 0, 0};
            Want.insert(Want.end(), NewLen.begin(), NewLen.end());
            Want.insert(Want.end(), {'a', 'b'});
            EXPECT_EQ(Out.Bytes(), Want);
        }
    }
}

TEST(ElementStream, BigEndianMetaThenSwappedDataSet)
{
    DataSet S(false, true);
    S.Add(0x0002, 0x0010, "UI", "1.2.840.10008.1.2.2", '\0');
    S.Add(0x0008, 0x0005, "CS", "ISO_IR 100");
    S.US(0x0028, 0x0010, 0x0102);
    TMemoryStream M(S.bytes());
    const auto TS = Syntax(false, true);
    TDICOMattribute Meta(M, TS);
    EXPECT_EQ(Meta.Tag(), 0x00020010u);
    EXPECT_EQ(Meta.Length, 20u);
    TDICOMattribute Charset(M, TS);
    EXPECT_EQ(Charset.Tag(), 0x00080005u);
    EXPECT_EQ(Charset.Length, 10u);
    TDICOMattribute Rows(M, TS);
    EXPECT_EQ(Rows.ReadUInt16(M, TS), 0x0102);
}

// Undefined-length values of several shapes: Length and the position after
// the element must match the raw scan, and CopyTo must give the input back.
struct NestedCase {
    const char* Name;
    bool Implicit, Big;
    std::function<void(DataSet&)> Body; // written after the SQ/OB header
};

class UndefinedLength : public ::testing::TestWithParam<NestedCase> {};

TEST_P(UndefinedLength, MatchesRawScanAndCopiesBack)
{
    const NestedCase& C = GetParam();
    DataSet S(C.Implicit, C.Big);
    GetParam().Body(S);
    S.Add(0x0010, 0x0010, "PN", "After^Value");
    const Bytes& B = S.bytes();
    const size_t HeaderBytes = C.Implicit ? 8 : 12;
    const uint32_t Expected = RawScanLength(B, HeaderBytes, C.Big);

    TMemoryStream M(B);
    const auto TS = Syntax(C.Implicit, C.Big);
    TDICOMattribute E(M, TS);
    EXPECT_TRUE(E.UndefinedLength);
    EXPECT_EQ(E.Length, Expected);
    EXPECT_EQ(E.ValueOffset, static_cast<int64_t>(HeaderBytes));
    EXPECT_EQ(M.Position(), static_cast<int64_t>(HeaderBytes + Expected + 8));
    TDICOMattribute After(M, TS);
    EXPECT_EQ(After.ReadString(M), "After^Value ");

    TMemoryStream Out;
    E.CopyTo(Out, M, TS);
    EXPECT_EQ(Out.Bytes(), Bytes(B.begin(), B.begin() + static_cast<long>(HeaderBytes + Expected + 8)));
}

void NestedSequences(DataSet& S)
{
    S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu);
    S.Item(0xFFFFFFFFu);
    S.Add(0x0008, 0x1150, "UI", "1.2.3", '\0');
    S.Header(0x0008, 0x1155, "SQ", 0xFFFFFFFFu); // nested, undefined
    S.Item(0xFFFFFFFFu).Add(0x0010, 0x0020, "LO", "INNER").ItemEnd();
    S.Item(10).Add(0x0010, 0x0021, "LO", "XY");
    S.SequenceEnd();
    S.ItemEnd();
    S.Item(0xFFFFFFFFu).ItemEnd(); // empty item
    S.Item(0xFFFFFFFFu);
    S.Header(0x0040, 0x0260, "SQ", 0xFFFFFFFFu).SequenceEnd(); // empty nested sequence
    S.ItemEnd();
    S.SequenceEnd();
}

// Elements of the VRs that joined the long form, inside items of undefined
// length, where the structural walk has to step over them one by one.
void LongFormVRsInItems(DataSet& S)
{
    S.Header(0x0040, 0xA730, "SQ", 0xFFFFFFFFu);
    S.Item(0xFFFFFFFFu);
    S.Add(0x0040, 0xA160, "UC", std::string(70000, 'c'));
    S.Add(0x0008, 0x1190, "UR", "http://example.org/wado?x=1");
    S.AddRaw(0x0070, 0x1A05, "OD", Bytes(16, 0x3F)).AddRaw(0x0070, 0x1A06, "OL", Bytes(8, 1));
    S.AddRaw(0x0071, 0x1001, "OV", Bytes(8, 2)).AddRaw(0x0071, 0x1002, "SV", Bytes(8, 3));
    S.AddRaw(0x0071, 0x1003, "UV", Bytes(8, 4));
    S.ItemEnd();
    S.SequenceEnd();
}

void EmptySequence(DataSet& S) { S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu).SequenceEnd(); }

void Encapsulated(DataSet& S)
{
    S.Encapsulated({Bytes(30, 0x11), Bytes(1000, 0x22), Bytes(2, 0x33)}, {0, 38});
}

INSTANTIATE_TEST_SUITE_P(Shapes, UndefinedLength,
                         ::testing::Values(NestedCase{"NestedExplicit", false, false, NestedSequences},
                                           NestedCase{"NestedImplicit", true, false, NestedSequences},
                                           NestedCase{"NestedBigEndian", false, true, NestedSequences},
                                           NestedCase{"LongFormVRsExplicit", false, false, LongFormVRsInItems},
                                           NestedCase{"LongFormVRsBigEndian", false, true, LongFormVRsInItems},
                                           NestedCase{"EmptyExplicit", false, false, EmptySequence},
                                           NestedCase{"EmptyImplicit", true, false, EmptySequence},
                                           NestedCase{"EncapsulatedPixels", false, false, Encapsulated}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ElementStream, FragmentHoldingDelimiterBytesDoesNotEndTheValue)
{
    // Fragment bytes that happen to spell a Sequence Delimitation tag at an
    // even distance from the value start.
    Bytes Fragment(16, 0x55);
    const uint8_t Trap[8] = {0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0};
    std::memcpy(Fragment.data() + 4, Trap, 8);
    DataSet S(false, false);
    S.Encapsulated({Fragment, Bytes(6, 0x77)});
    S.Add(0x0010, 0x0010, "PN", "Z^Z");
    TMemoryStream M(S.bytes());
    const auto TS = Syntax(false, false);
    TDICOMattribute Pixels(M, TS);
    // Basic Offset Table (8), two items (8 + 16, 8 + 6).
    EXPECT_EQ(Pixels.Length, 8u + 24u + 14u);
    TDICOMattribute After(M, TS);
    EXPECT_EQ(After.Tag(), 0x00100010u);
    EXPECT_LT(RawScanLength(S.bytes(), 12, false), Pixels.Length) << "the raw scan stops early on this value";
}

TEST(ElementStream, MalformedUndefinedValuesFailWithReadError)
{
    const std::vector<std::pair<const char*, std::function<void(DataSet&)>>> Cases = {
        {"item past end", [](DataSet& S) { S.Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu).Item(0).Item(5000); }},
        {"no delimiter", [](DataSet& S) { S.Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu).Item(0).Item(4).Raw("abcd"); }},
        {"unclosed item", [](DataSet& S) {
             S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu).Item(0xFFFFFFFFu).Add(0x0008, 0x1150, "UI", "1.2");
         }},
        {"stray tag", [](DataSet& S) { S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu).Add(0x0010, 0x0010, "PN", "A^B"); }},
    };
    for (const auto& [Name, Build] : Cases) {
        DataSet S(false, false);
        Build(S);
        TMemoryStream M(S.bytes());
        EXPECT_THROW(TDICOMattribute(M, Syntax(false, false)), EReadError) << Name;
    }
}

TEST(ElementStream, DeepNestingIsRefusedNotRecursedForever)
{
    DataSet S(false, false);
    for (int I = 0; I < 200; ++I)
        S.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu).Item(0xFFFFFFFFu);
    TMemoryStream M(S.bytes());
    EXPECT_THROW(TDICOMattribute(M, Syntax(false, false)), EReadError);
}

TEST(ElementStream, CutHeadersFailWithReadError)
{
    DataSet S(false, false);
    S.Add(0x0010, 0x0010, "PN", "A^B");
    for (size_t Cut = 1; Cut < 8; ++Cut) {
        Bytes B(S.bytes().begin(), S.bytes().begin() + static_cast<long>(Cut));
        TMemoryStream M(B);
        EXPECT_THROW(TDICOMattribute(M, Syntax(false, false)), EReadError) << Cut;
    }
}

TEST(ElementStream, ShortValuesNeverReadPastTheFile)
{
    // A one-byte US value at the very end of the data, and a value whose
    // length claims far more than the file holds.
    DataSet S(false, false);
    S.Header(0x0028, 0x0010, "US", 1).Raw(std::string("\x07", 1));
    TMemoryStream M(S.bytes());
    const auto TS = Syntax(false, false);
    TDICOMattribute Rows(M, TS);
    EXPECT_EQ(Rows.ReadUInt16(M, TS), 7);

    DataSet L(false, false);
    L.Header(0x0010, 0x0010, "UT", 0xFFFFFFF0u).Raw("abc");
    TMemoryStream ML(L.bytes());
    TDICOMattribute Long(ML, TS);
    EXPECT_EQ(Long.ReadString(ML), "abc");
    EXPECT_GT(ML.Position(), ML.Size()); // seeked beyond the end: the walk ends
}

TEST(ElementStream, WriteReplacedInEachEncoding)
{
    struct Case {
        bool Implicit, Big;
        Bytes Expected;
    };
    const std::string V = "New!";
    const std::vector<Case> Cases = {
        {false, false, {0x20, 0x00, 0x00, 0x40, 'L', 'T', 4, 0, 'N', 'e', 'w', '!'}},
        {false, true, {0x00, 0x20, 0x40, 0x00, 'L', 'T', 0, 4, 'N', 'e', 'w', '!'}},
        {true, false, {0x20, 0x00, 0x00, 0x40, 4, 0, 0, 0, 'N', 'e', 'w', '!'}},
    };
    for (const auto& C : Cases) {
        DataSet S(C.Implicit, C.Big);
        S.Add(0x0020, 0x4000, "LT", "old comment!");
        TMemoryStream M(S.bytes());
        const auto TS = Syntax(C.Implicit, C.Big);
        TDICOMattribute E(M, TS);
        TMemoryStream Out;
        EXPECT_EQ(E.WriteReplaced(V, Out, TS), 4 - 12);
        EXPECT_EQ(Out.Bytes(), C.Expected);
    }
}

TEST(ElementStream, SkipToFirstFragment)
{
    struct Case {
        const char* Name;
        std::vector<uint32_t> Offsets;
        bool Encapsulated;
    };
    for (const Case& C : {Case{"empty table", {}, true}, Case{"two offsets", {0, 18}, true}, Case{"plain", {}, false}}) {
        DataSet S(false, false);
        if (C.Encapsulated)
            S.Encapsulated({Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, Bytes(8, 9)}, C.Offsets);
        else
            S.AddRaw(0x7FE0, 0x0010, "OB", Bytes(10, 1));
        TMemoryStream M(S.bytes());
        TDICOMattribute E(M, Syntax(false, false));
        const auto Before = E;
        E.Stream = &M;
        E.SkipToFirstFragment();
        if (!C.Encapsulated) {
            EXPECT_EQ(E.ValueOffset, Before.ValueOffset) << C.Name;
            EXPECT_EQ(E.Length, Before.Length) << C.Name;
            continue;
        }
        EXPECT_EQ(E.Length, 10u) << C.Name;
        EXPECT_EQ(E.ValueOffset, Before.ValueOffset + 8 + static_cast<int64_t>(C.Offsets.size() * 4) + 8) << C.Name;
        M.Seek(E.ValueOffset);
        uint8_t First;
        M.ReadBuffer(&First, 1);
        EXPECT_EQ(First, 1) << C.Name;
    }
}

TEST(ElementStream, PositionsBeyondFourGiB)
{
    // A sparse file: an OB value of almost 4 GiB, then a second element.
    const testgen::TempDir Dir("big");
    const std::string Path = Dir.Path + "/big.dcm";
    const uint32_t Huge = 0xFFFFFF00u;
    {
        DataSet S(false, false);
        S.Header(0x0009, 0x1010, "OB", Huge);
        DataSet T(false, false);
        T.Add(0x0010, 0x0010, "PN", "Far^Away");
        const int Fd = ::open(Path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        ASSERT_GE(Fd, 0);
        ASSERT_EQ(::pwrite(Fd, S.bytes().data(), S.bytes().size(), 0), static_cast<ssize_t>(S.bytes().size()));
        const off_t At = static_cast<off_t>(S.bytes().size()) + Huge;
        ASSERT_EQ(::pwrite(Fd, T.bytes().data(), T.bytes().size(), At), static_cast<ssize_t>(T.bytes().size()));
        ::close(Fd);
    }
    TFileStream F(Path, TFileStream::fmOpenRead);
    const auto TS = Syntax(false, false);
    TDICOMattribute Big(F, TS);
    EXPECT_EQ(Big.Length, Huge);
    TDICOMattribute Far(F, TS);
    EXPECT_EQ(Far.ValueOffset, 12 + static_cast<int64_t>(Huge) + 8);
    EXPECT_EQ(Far.ReadString(F), "Far^Away");
    EXPECT_EQ(F.Position(), F.Size());
}

TEST(Streams, ExactReadsAndCopies)
{
    TMemoryStream M(Bytes{1, 2, 3});
    uint8_t Buf[4];
    EXPECT_THROW(M.ReadBuffer(Buf, 4), EReadError);
    M.Seek(1);
    TMemoryStream Out;
    Out.CopyFrom(M, 2);
    EXPECT_EQ(Out.Bytes(), (Bytes{2, 3}));
    M.Seek(0);
    EXPECT_THROW(Out.CopyFrom(M, 4), EReadError);

    // File to file copy and a copy that runs past the end of the source.
    const testgen::TempDir Scratch("copy");
    const std::string& Dir = Scratch.Path;
    Bytes Data(300000);
    for (size_t I = 0; I < Data.size(); ++I)
        Data[I] = static_cast<uint8_t>(I * 7);
    testgen::WriteFile(Dir + "/a", Data);
    {
        TFileStream A(Dir + "/a", TFileStream::fmOpenRead);
        TFileStream B(Dir + "/b", TFileStream::fmCreate);
        A.Seek(5);
        B.WriteBuffer("xy", 2);
        B.CopyFrom(A, 200000);
        B.Close();
        A.Seek(299000);
        TFileStream C(Dir + "/c", TFileStream::fmCreate);
        EXPECT_THROW(C.CopyFrom(A, 2000), EReadError);
    }
    const Bytes B = testgen::ReadFile(Dir + "/b");
    ASSERT_EQ(B.size(), 200002u);
    EXPECT_TRUE(std::equal(B.begin() + 2, B.end(), Data.begin() + 5));
    EXPECT_THROW(TFileStream(Dir + "/missing", TFileStream::fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(Dir, TFileStream::fmOpenRead), EFOpenError);
}

} // namespace
