// The comment writer: what it writes in each encoding, and what it refuses.
#include "dicom.h"
#include "dicomgen.h"
#include "writer_testutil.h"

#include <algorithm>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace testgen;
using namespace writertest;

namespace {

struct TLayout {
    const char* Name;
    bool Implicit;
    bool Big;
    bool Preamble;
};

const TLayout kLayouts[] = {
    {"implicit", true, false, true},      {"explicitLE", false, false, true}, {"explicitBE", false, true, true},
    {"bareImplicit", true, false, false}, {"bareLE", false, false, false},    {"bareBE", false, true, false},
};

void PrintTo(const TLayout& L, std::ostream* Os) { *Os << L.Name; }

const char* SyntaxOf(const TLayout& L) { return L.Implicit ? kImplicitLE : L.Big ? kExplicitBE : kExplicitLE; }

struct TShape {
    bool GroupLength = true;
    std::optional<std::string> Comment;
    bool After9056 = false;   // (0020,9056) follows the comment's place
    bool Trailing = true;     // group 0028 and pixel data follow
    std::optional<std::string> Charset; // Specific Character Set (0008,0005)
};

// A small image in any layout. The same builder makes sources and the
// targets expected from them.
Bytes Build(const TLayout& L, const TShape& S)
{
    DataSet D(L.Implicit, L.Big);
    if (S.Charset)
        D.Add(0x0008, 0x0005, "CS", *S.Charset);
    D.Add(0x0008, 0x0016, "UI", "1.2.840.10008.5.1.4.1.1.7", '\0');
    D.Add(0x0008, 0x0060, "CS", "OT");
    // A sequence and an item of undefined length, copied as they are.
    D.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu).Item(0xFFFFFFFFu);
    D.Add(0x0008, 0x1150, "UI", "1.2.840.10008.5.1.4.1.1.7", '\0');
    D.Header(0x0008, 0x1155, "UI", 0).ItemEnd().SequenceEnd();
    D.Add(0x0010, 0x0010, "PN", "Doe^Jane");
    if (S.GroupLength) {
        D.Header(0x0020, 0x0000, "UL", 4);
        D.Put32(1234, L.Big);
    }
    D.Add(0x0020, 0x0013, "IS", "7");
    if (S.Comment)
        D.Add(0x0020, 0x4000, "LT", *S.Comment);
    if (S.After9056)
        D.Add(0x0020, 0x9056, "SH", "STACK1");
    if (S.Trailing) {
        D.US(0x0028, 0x0002, 1);
        D.US(0x0028, 0x0010, 4);
        D.US(0x0028, 0x0011, 4);
        D.US(0x0028, 0x0100, 16);
        Bytes Pixels(32);
        for (size_t I = 0; I < Pixels.size(); ++I)
            Pixels[I] = static_cast<uint8_t>(I * 7);
        D.AddRaw(0x7FE0, 0x0010, "OW", Pixels);
    }
    if (L.Preamble)
        return Part10(SyntaxOf(L), D);
    if (L.Implicit)
        return D.bytes();  // a bare implicit data set starts with group 0008
    Bytes F = MetaGroup(SyntaxOf(L));
    F.insert(F.end(), D.bytes().begin(), D.bytes().end());
    return F;
}

class WriterLayout : public ::testing::TestWithParam<TLayout> {};

TEST_P(WriterLayout, ReplacesInsertsAndKeepsTheRest)
{
    const TLayout& L = GetParam();
    const std::string Value = dicom::CommentValue("Left lung clear.", kDate);
    struct TCase {
        const char* What;
        TShape Source, Expected;
    } Cases[] = {
        {"replace", {true, "An older comment", false, true}, {false, Value, false, true}},
        {"insert before group 0028", {true, std::nullopt, false, true}, {false, Value, false, true}},
        {"insert before (0020,9056)", {false, std::nullopt, true, true}, {false, Value, true, true}},
        {"comment is the last element", {true, "Old", false, false}, {false, Value, false, false}},
    };
    TTempFolder Dir("layout");
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(L.Name) + ": " + C.What);
        const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
        WriteFile(Src, Build(L, C.Source));
        const TResult R = Write(Src, Dst, "  Left lung clear.\r\n\t ");
        ASSERT_TRUE(R.Ok) << R.Text();
        EXPECT_TRUE(R.Messages.empty());
        EXPECT_EQ(ReadFile(Dst), Build(L, C.Expected));
        EXPECT_EQ(ReadFile(Src), Build(L, C.Source));
    }
}

TEST_P(WriterLayout, NewElementBytes)
{
    // The inserted element's header in each encoding, read off the file.
    const TLayout& L = GetParam();
    TTempFolder Dir("newelem");
    const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
    WriteFile(Src, Build(L, {true, std::nullopt, false, true}));
    ASSERT_TRUE(Write(Src, Dst, "x").Ok);
    const Bytes Out = ReadFile(Dst);
    const uint16_t Len = static_cast<uint16_t>(dicom::CommentValue("x", kDate).size());
    Bytes Tag = L.Big ? Bytes{0x00, 0x20, 0x40, 0x00} : Bytes{0x20, 0x00, 0x00, 0x40};
    Bytes Expected = Tag;
    if (L.Implicit) {
        Expected.insert(Expected.end(), {uint8_t(Len), uint8_t(Len >> 8), 0, 0});
    } else {
        Expected.insert(Expected.end(), {'L', 'T'});
        if (L.Big)
            Expected.insert(Expected.end(), {uint8_t(Len >> 8), uint8_t(Len)});
        else
            Expected.insert(Expected.end(), {uint8_t(Len), uint8_t(Len >> 8)});
    }
    const auto At = std::search(Out.begin(), Out.end(), Tag.begin(), Tag.end());
    ASSERT_NE(At, Out.end());
    EXPECT_TRUE(std::equal(Expected.begin(), Expected.end(), At));
    EXPECT_EQ(Out.end() - At > 0, true);
}

INSTANTIATE_TEST_SUITE_P(Layouts, WriterLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(CommentValue, Layout)
{
    const std::string Stars(30, '*');
    const std::string Trailer = "\r\n\r\n" + Stars + "\r\nThis comment was recorded with\r\n" +
                                "  Varnelo (c) the Varnelo authors. All rights reserved.\r\n" +
                                "https://varnelo.example/app\r\n\r\n" + "01/02/26 10:11:12\r\n" + Stars;
    struct {
        std::string Comment, Kept;
    } Cases[] = {
        {"", ""},
        {" \t\r\n \x01", ""},
        {"Hello", "Hello"},
        {"\r\n  Two\r\nlines \r\n", "Two\r\nlines"},
        {"Caf\xE9 \xA0", "Caf\xE9 \xA0"},  // 8-bit characters are not blanks
        {"ab", "ab"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Comment);
        std::string Expected = C.Kept + Trailer;
        if (Expected.size() % 2 != 0)
            Expected += ' ';
        EXPECT_EQ(dicom::CommentValue(C.Comment, "01/02/26 10:11:12"), Expected);
    }
    // A comment read back from a file keeps its trailer and gets a second.
    const std::string Once = dicom::CommentValue("Note", "d");
    const std::string Twice = dicom::CommentValue(Once, "d");
    EXPECT_EQ(Twice.substr(0, dicom::TrimValue(Once).size()), dicom::TrimValue(Once));
    EXPECT_GT(Twice.size(), Once.size() + 100);
}

// What the writers themselves wrote: every trailer a save appended goes,
// however the line breaks were turned, and text after one stays.
TEST(CommentValue, TrailersComeOffWhateverTheLineBreaks)
{
    const std::string Once = dicom::CommentValue("Note one.", "01/02/26 10:11:12");
    const std::string Twice = dicom::CommentValue(Once + "\r\nNote two.", "02/02/26 09:00:00");
    auto Lf = [](std::string S) {
        S.erase(std::remove(S.begin(), S.end(), '\r'), S.end());
        return S;
    };
    const std::string Stars(30, '*');
    struct {
        std::string Value, Kept;
    } Cases[] = {
        {"", ""},
        {"No trailer.", "No trailer."},
        {Once, "Note one."},
        {Twice, "Note one.\r\nNote two."},
        {Lf(Twice), "Note one.\nNote two."},
        {dicom::CommentValue("", "d"), ""},
        // A rule of the user's own is text, as is one the trailer's line does not follow.
        {"Before\r\n" + Stars + "\r\nafter", "Before\r\n" + Stars + "\r\nafter"},
        // A trailer cut short ends the text.
        {"Kept\r\n\r\n" + Stars + "\r\nThis comment was recorded with\r\n  Var", "Kept"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Value);
        EXPECT_EQ(dicom::TrimValue(dicom::CommentWithoutTrailers(C.Value)), C.Kept);
    }
}

TEST(CommentValue, LocaleDateTimeFollowsTheEnvironment)
{
    const char* Saved = std::getenv("LC_ALL");
    const std::string Keep = Saved ? Saved : "";
    setenv("LC_ALL", "C", 1);
    const std::string Text = dicom::LocaleDateTimeText();
    // The C locale writes %x %X as mm/dd/yy hh:mm:ss.
    ASSERT_EQ(Text.size(), 17u) << Text;
    EXPECT_EQ(Text[2], '/');
    EXPECT_EQ(Text[8], ' ');
    EXPECT_EQ(Text[11], ':');
    if (Saved)
        setenv("LC_ALL", Keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(Writer, OverTheSourceGivesTheSameBytesAsANewName)
{
    const TLayout& L = kLayouts[1];
    TTempFolder Dir("over");
    const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
    WriteFile(Src, Build(L, {true, "old", false, true}));
    ASSERT_TRUE(Write(Src, Dst, "New").Ok);
    const TResult R = Write(Src, Src, "New");
    ASSERT_TRUE(R.Ok) << R.Text();
    EXPECT_EQ(ReadFile(Src), ReadFile(Dst));
    EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"dst.dcm", "src.dcm"}));
}

TEST(Writer, LargeValuesBeforeTheCommentAreCopied)
{
    // Values of the reference size and beyond are copied from the source
    // when the target is written, not held in memory.
    TTempFolder Dir("large");
    for (size_t Size : {size_t(64 * 1024 - 2), size_t(64 * 1024), size_t(3 * 1024 * 1024 + 6)}) {
        SCOPED_TRACE(Size);
        auto Make = [&](bool Source) {
            DataSet D(false, false);
            D.Add(0x0008, 0x0060, "CS", "OT");
            Bytes Blob(Size);
            for (size_t I = 0; I < Size; ++I)
                Blob[I] = static_cast<uint8_t>(I * 31 + I / 251);
            D.Add(0x0009, 0x0010, "LO", "VARNELO TEST");
            D.AddRaw(0x0009, 0x1000, "OB", Blob);
            if (Source)
                D.Add(0x0020, 0x4000, "LT", "old");
            else
                D.Add(0x0020, 0x4000, "LT", dicom::CommentValue("c", kDate));
            D.AddRaw(0x7FE0, 0x0010, "OB", Blob);
            return Part10(kExplicitLE, D);
        };
        const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
        WriteFile(Src, Make(true));
        ASSERT_TRUE(Write(Src, Dst, "c").Ok);
        EXPECT_EQ(ReadFile(Dst), Make(false));
    }
}

TEST(Writer, RefusesWithTheMessageAndWritesNothing)
{
    TTempFolder Dir("refuse");
    const std::string D = Dir.Path;
    const TLayout& L = kLayouts[1];
    DataSet Bad(false, false);
    Bad.Add(0x0010, 0x0010, "PN", "Doe");
    DataSet NoImage(false, false);
    NoImage.Add(0x0008, 0x0060, "CS", "OT").Add(0x0020, 0x0013, "IS", "1");
    DataSet Short(false, false);
    Short.Add(0x0008, 0x0060, "CS", "OT").Header(0x0010, 0x0010, "PN", 400).Raw(std::string("Doe^"));
    DataSet Cut(false, false);
    Cut.Add(0x0008, 0x0060, "CS", "OT").Raw(std::string("\x10\x00\x10", 3));
    DataSet ShortBig(false, false);
    ShortBig.Add(0x0008, 0x0060, "CS", "OT").Header(0x0009, 0x1000, "OB", 1000000).Raw(std::string(70000, 'q'));

    WriteFile(D + "/notdicom.dcm", Bad.bytes());
    WriteFile(D + "/deflated.dcm", Part10(kDeflated, NoImage));
    WriteFile(D + "/noimage.dcm", Part10(kExplicitLE, NoImage));
    WriteFile(D + "/short.dcm", Part10(kExplicitLE, Short));
    WriteFile(D + "/cut.dcm", Part10(kExplicitLE, Cut));
    WriteFile(D + "/shortbig.dcm", Part10(kExplicitLE, ShortBig));
    // An element further on whose VR is no VR: the walk has lost its way.
    DataSet Garbled(false, false);
    Garbled.Add(0x0008, 0x0060, "CS", "OT").Add(0x0010, 0x0010, "p?", "Doe").US(0x0028, 0x0010, 1);
    WriteFile(D + "/wrongsyntax.dcm", Part10(kExplicitLE, Garbled));
    WriteFile(D + "/ok.dcm", Build(L, {true, "old", false, true}));
    WriteFile(D + "/empty.dcm", Bytes{});
    ::mkdir((D + "/folder.dcm").c_str(), 0755);
    const std::string TooLong(70000, 'a');
    const std::string Limit(65534 - 300, 'b');

    struct {
        std::string Source, Comment, Message;
    } Cases[] = {
        {D + "/missing.dcm", "c", D + "/missing.dcm could not be opened."},
        {D + "/folder.dcm", "c", D + "/folder.dcm could not be opened."},
        {D + "/notdicom.dcm", "c", "No valid DicomFile."},
        {D + "/empty.dcm", "c", "Stream read error"},
        {D + "/deflated.dcm", "c", "Deflate syntax not supported."},
        {D + "/noimage.dcm", "c", D + "/noimage.dcm is not a valid DICOM Image."},
        {D + "/short.dcm", "c", "Stream read error"},
        {D + "/cut.dcm", "c", "Stream read error"},
        {D + "/shortbig.dcm", "c", "Stream read error"},
        {D + "/wrongsyntax.dcm", "c", D + "/wrongsyntax.dcm is not a DICOM file."},
        {D + "/ok.dcm", TooLong,
         "The comment is too long to be saved: with its trailer it takes " +
             std::to_string(dicom::CommentValue(TooLong, kDate).size()) +
             " bytes, and Image Comments holds at most 65534 bytes."},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Source);
        for (bool TargetExists : {false, true}) {
            const std::string Dst = D + "/target.dcm";
            ::unlink(Dst.c_str());
            if (TargetExists)
                WriteFile(Dst, Bytes{'o', 'l', 'd'});
            const auto Before = Dir.Snapshot();
            const TResult R = Write(C.Source, Dst, C.Comment);
            EXPECT_FALSE(R.Ok);
            EXPECT_EQ(R.Messages, std::vector<std::string>{C.Message});
            EXPECT_EQ(Dir.Snapshot(), Before);
        }
    }
    // Just below the limit is fine.
    ASSERT_LE(dicom::CommentValue(Limit, kDate).size(), 65534u);
    EXPECT_TRUE(Write(D + "/ok.dcm", D + "/t2.dcm", Limit).Ok);
}

// The comment is UTF-8 and is stored in the source's own character set;
// where the set cannot hold it, nothing is written.
TEST_P(WriterLayout, StoresTheCommentInTheFilesCharacterSet)
{
    const TLayout& L = GetParam();
    const std::string ESC = "\x1b";
    struct {
        std::optional<std::string> Charset;
        std::string Comment, Stored; // Stored empty: refused
    } Cases[] = {
        {std::nullopt, "Caf\u00e9 \u00bd \u20ac", "Caf\xE9 \xBD \x80"},
        {"ISO_IR 100", "J\u00e9r\u00f4me", "J\xE9r\xF4me"},
        {"ISO_IR 192", "Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1 \u0416\u0443\u043a \u4e2d\u6587",
         "Gr\u00fc\u00dfe \u03a9\u03bc\u03ad\u03b3\u03b1 \u0416\u0443\u043a \u4e2d\u6587"},
        {"ISO_IR 126", "\u03a9\u03bc\u03ad\u03b3\u03b1", "\xD9\xEC\xDD\xE3\xE1"},
        {"ISO_IR 144", "\u0416\u0443\u043a", "\xB6\xE3\xDA"},
        {"GB18030", "\u4e2d\u6587", "\xD6\xD0\xCE\xC4"},
        {"\\ISO 2022 IR 87", "\u5c71\u7530\r\nTaro", ESC + "$B;3ED" + ESC + "(B\r\nTaro"},
        {"\\ISO 2022 IR 149", "\uae40\ud76c\uc911", ESC + "$)C\xB1\xE8\xC8\xF1\xC1\xDF"},
        {std::nullopt, "\u4e2d", ""},
        {"ISO_IR 100", "\u03a9mega", ""},
        {"ISO_IR 144", "caf\u00e9", ""},
        {"\\ISO 2022 IR 87", "caf\u00e9", ""},
    };
    TTempFolder Dir("charset");
    const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(L.Name) + " " + C.Charset.value_or("(none)") + ": " + C.Comment);
        WriteFile(Src, Build(L, {true, "old", false, true, C.Charset}));
        ::unlink(Dst.c_str());
        const auto Before = Dir.Snapshot();
        const TResult R = Write(Src, Dst, C.Comment);
        if (C.Stored.empty()) {
            EXPECT_FALSE(R.Ok);
            EXPECT_EQ(R.Messages, std::vector<std::string>{Dst + " could not be written: the comment holds characters "
                                                                 "that the file's character set cannot store."});
            EXPECT_EQ(Dir.Snapshot(), Before);
            continue;
        }
        ASSERT_TRUE(R.Ok) << R.Text();
        EXPECT_EQ(ReadFile(Dst), Build(L, {false, dicom::CommentValueOf(C.Stored, kDate), false, true, C.Charset}));
        // Read back, the window shows what was typed.
        dicom::THeaderData H;
        dicom::LoadDICOMHeader(Dst, H);
        EXPECT_EQ(dicom::DecodedHeader(H).ImageComments.substr(0, C.Comment.size()), C.Comment);
    }
}

TEST(Writer, CharacterSetNamedAfterTheCommentsPlace)
{
    // Out of tag order, (0008,0005) follows the elements the comment goes
    // before; it still governs the comment.
    TTempFolder Dir("late-charset");
    auto Make = [](const std::optional<std::string>& Comment) {
        DataSet D(false, false);
        D.Add(0x0008, 0x0060, "CS", "OT").Add(0x0020, 0x0013, "IS", "1");
        if (Comment)
            D.Add(0x0020, 0x4000, "LT", *Comment);
        D.US(0x0028, 0x0010, 1).Add(0x0008, 0x0005, "CS", "ISO_IR 192");
        return Part10(kExplicitLE, D);
    };
    WriteFile(Dir.Path + "/in.dcm", Make(std::nullopt));
    const std::string Text = "\u00e9\u4e2d";
    ASSERT_TRUE(Write(Dir.Path + "/in.dcm", Dir.Path + "/out.dcm", Text).Ok);
    EXPECT_EQ(ReadFile(Dir.Path + "/out.dcm"), Make(dicom::CommentValueOf(Text, kDate)));
}

TEST(Writer, DataSetEncodedOtherwiseThanItsMetaSays)
{
    // Meta information that names explicit VR over an implicit data set: the
    // data set's own bytes decide, and the new element follows them.
    TTempFolder Dir("mismatch");
    DataSet Implicit(true, false);
    Implicit.Add(0x0008, 0x0060, "CS", "OT").Add(0x0020, 0x0013, "IS", "1").US(0x0028, 0x0010, 1);
    const Bytes Source = Part10(kExplicitLE, Implicit);
    WriteFile(Dir.Path + "/in.dcm", Source);
    ASSERT_TRUE(Write(Dir.Path + "/in.dcm", Dir.Path + "/out.dcm", "note").Ok);
    const Bytes Out = ReadFile(Dir.Path + "/out.dcm");
    const std::string Value = dicom::CommentValue("note", kDate);
    DataSet Comment(true, false);
    Comment.Add(0x0020, 0x4000, "LT", Value);
    // Everything up to (0028,0010) unchanged, then the implicit comment, then the rest.
    const size_t Split = Source.size() - 10;
    Bytes Expected(Source.begin(), Source.begin() + static_cast<long>(Split));
    Expected.insert(Expected.end(), Comment.bytes().begin(), Comment.bytes().end());
    Expected.insert(Expected.end(), Source.begin() + static_cast<long>(Split), Source.end());
    EXPECT_EQ(Out, Expected);
}

TEST(Writer, LongCommentsWhereTheLengthTakesFourBytes)
{
    // Implicit VR and a UT element carry a 4-byte length: no 64 KiB limit.
    TTempFolder Dir("long");
    const std::string Comment(100000, 'z');
    const std::string Value = dicom::CommentValue(Comment, kDate);
    struct {
        const char* Name;
        bool Implicit;
        const char* VR;
    } Cases[] = {{"implicit", true, "LT"}, {"explicit UT", false, "UT"}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Make = [&](const std::string& V) {
            DataSet D(C.Implicit, false);
            D.Add(0x0008, 0x0060, "CS", "OT").Add(0x0020, 0x4000, C.VR, V).US(0x0028, 0x0010, 1);
            return Part10(C.Implicit ? kImplicitLE : kExplicitLE, D);
        };
        const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
        WriteFile(Src, Make("old"));
        const TResult R = Write(Src, Dst, Comment);
        ASSERT_TRUE(R.Ok) << R.Text();
        EXPECT_EQ(ReadFile(Dst), Make(Value));
    }
}

TEST(Writer, KeepsPermissionBitsAndWritesThroughLinks)
{
    TTempFolder Dir("perm");
    const std::string Src = Dir.Path + "/src.dcm";
    WriteFile(Src, Build(kLayouts[0], {true, "old", false, true}));
    const Bytes Expected = Build(kLayouts[0], {false, dicom::CommentValue("p", kDate), false, true});

    for (bool Named : {false, true}) {
        SCOPED_TRACE(Named ? "named temporary file" : "unnamed temporary file");
        writertest::TNamedTemp Force(Named);
        const std::string T = Dir.Path + "/kept.dcm";
        WriteFile(T, Bytes{'x'});
        ::chmod(T.c_str(), 0640);
        ASSERT_TRUE(Write(Src, T, "p").Ok);
        struct stat St {};
        ASSERT_EQ(::stat(T.c_str(), &St), 0);
        EXPECT_EQ(St.st_mode & 07777, 0640u);
        EXPECT_EQ(ReadFile(T), Expected);

        // A new target gets the usual mode for new files.
        const mode_t Mask = ::umask(022);
        ::umask(Mask);
        const std::string N = Dir.Path + "/new.dcm";
        ::unlink(N.c_str());
        ASSERT_TRUE(Write(Src, N, "p").Ok);
        ASSERT_EQ(::stat(N.c_str(), &St), 0);
        EXPECT_EQ(St.st_mode & 07777, 0666u & ~Mask);

        // Links: relative, absolute, chained and dangling ones.
        ::mkdir((Dir.Path + "/sub").c_str(), 0755);
        const std::string Real = Dir.Path + "/sub/real.dcm";
        WriteFile(Real, Bytes{'r'});
        ::unlink((Dir.Path + "/rel.lnk").c_str());
        ::unlink((Dir.Path + "/abs.lnk").c_str());
        ::unlink((Dir.Path + "/chain.lnk").c_str());
        ::unlink((Dir.Path + "/dangling.lnk").c_str());
        ::unlink((Dir.Path + "/sub/made.dcm").c_str());
        ASSERT_EQ(::symlink("sub/real.dcm", (Dir.Path + "/rel.lnk").c_str()), 0);
        ASSERT_EQ(::symlink(Real.c_str(), (Dir.Path + "/abs.lnk").c_str()), 0);
        ASSERT_EQ(::symlink("rel.lnk", (Dir.Path + "/chain.lnk").c_str()), 0);
        ASSERT_EQ(::symlink("sub/made.dcm", (Dir.Path + "/dangling.lnk").c_str()), 0);
        for (const char* Link : {"rel.lnk", "abs.lnk", "chain.lnk", "dangling.lnk"}) {
            SCOPED_TRACE(Link);
            WriteFile(Real, Bytes{'r'});
            const std::string P = Dir.Path + "/" + Link;
            ASSERT_TRUE(Write(Src, P, "p").Ok);
            struct stat L {};
            ASSERT_EQ(::lstat(P.c_str(), &L), 0);
            EXPECT_TRUE(S_ISLNK(L.st_mode));
            EXPECT_EQ(ReadFile(P), Expected);
        }
        EXPECT_EQ(ReadFile(Dir.Path + "/sub/made.dcm"), Expected);
        EXPECT_EQ(Dir.Names(), (std::vector<std::string>{"abs.lnk", "chain.lnk", "dangling.lnk", "kept.dcm",
                                                          "new.dcm", "rel.lnk", "src.dcm", "sub"}));
    }
}

} // namespace
