// Text values in the data set's character set: decoding, encoding, code
// extensions with their escape sequences, and what cannot be stored.
#include "charset.h"

#include <gtest/gtest.h>

using dicom::TCharacterSet;
using dicom::TTextKind;

namespace {

const std::string ESC = "\x1b";

struct TDecodeCase {
    const char* Name;
    std::string Charset;
    TTextKind Kind;
    std::string Raw, Text;
};

// The ISO 2022 person names are the examples of the standard, as pydicom's
// chrH31, chrH32 and chrI2 carry them.
const std::string kJapanesePN = "Yamada^Tarou=" + ESC + "$B;3ED" + ESC + "(B^" + ESC + "$BB@O:" + ESC + "(B=" + ESC +
                                "$B$d$^$@" + ESC + "(B^" + ESC + "$B$?$m$&" + ESC + "(B";
const std::string kJapanesePNText = "Yamada^Tarou=\u5c71\u7530^\u592a\u90ce=\u3084\u307e\u3060^\u305f\u308d\u3046";
const std::string kKatakanaPN = "\xd4\xcf\xc0\xde^\xc0\xdb\xb3=" + ESC + "$B;3ED" + ESC + "(J^" + ESC + "$BB@O:" + ESC +
                                "(J=" + ESC + "$B$d$^$@" + ESC + "(J^" + ESC + "$B$?$m$&" + ESC + "(J";
const std::string kKatakanaPNText =
    "\uff94\uff8f\uff80\uff9e^\uff80\uff9b\uff73=\u5c71\u7530^\u592a\u90ce=\u3084\u307e\u3060^\u305f\u308d\u3046";
const std::string kKoreanPN = "Hong^Gildong=" + ESC + "$)C\xfb\xf3^" + ESC + "$)C\xd1\xce\xd4\xd7=" + ESC +
                              "$)C\xc8\xab^" + ESC + "$)C\xb1\xe6\xb5\xbf";
const std::string kKoreanPNText = "Hong^Gildong=\u6d2a^\u5409\u6d1e=\ud64d^\uae38\ub3d9";

const TDecodeCase kDecodeCases[] = {
    {"default is Windows-1252", "", TTextKind::Multi, "Caf\xe9 \x80\x81", "Caf\u00e9 \u20ac\u0081"},
    {"ISO_IR 100 is Windows-1252", "ISO_IR 100", TTextKind::Text, "J\xe9r\xf4me \x80", "J\u00e9r\u00f4me \u20ac"},
    {"ISO_IR 6 is the default", "ISO_IR 6", TTextKind::Text, "abc", "abc"},
    {"UTF-8", "ISO_IR 192", TTextKind::PersonName, "Wang^XiaoDong=\xe7\x8e\x8b^\xe5\xb0\x8f\xe6\x9d\xb1=",
     "Wang^XiaoDong=\u738b^\u5c0f\u6771="},
    {"broken UTF-8 byte", "ISO_IR 192", TTextKind::Text, "a\xff" "b\xe4", "a\ufffdb\ufffd"},
    // Sequences beyond U+10FFFF, which iconv lets through, and a surrogate.
    {"beyond Unicode", "ISO_IR 192", TTextKind::Text, "\xf7\x80\x80\x80|\xf4\x90\x80\x80|\xed\xa0\x80",
     "\ufffd\ufffd\ufffd\ufffd|\ufffd\ufffd\ufffd\ufffd|\ufffd\ufffd\ufffd"},
    {"GB18030", "GB18030", TTextKind::PersonName, "Wang^XiaoDong=\xcd\xf5^\xd0\xa1\xb6\xab=",
     "Wang^XiaoDong=\u738b^\u5c0f\u4e1c="},
    {"GBK", "GBK", TTextKind::Text, "\xd6\xd0\xce\xc4", "\u4e2d\u6587"},
    {"stand-alone set ignores extensions", "GB18030\\ISO 2022 IR 87", TTextKind::Text, "\xd6\xd0", "\u4e2d"},
    {"Greek", "ISO_IR 126", TTextKind::PersonName, "\xc4\xe9\xef\xed\xf5\xf3\xe9\xef\xf2",
     "\u0394\u03b9\u03bf\u03bd\u03c5\u03c3\u03b9\u03bf\u03c2"},
    {"Cyrillic", "ISO_IR 144", TTextKind::PersonName, "\xbb\xee\xda\x63\x65\xdc\xd1\x79\x70\xd3",
     "\u041b\u044e\u043a\x63\x65\u043c\u0431\x79\x70\u0433"},
    {"Hebrew", "ISO_IR 138", TTextKind::Text, "\xf9\xf8\xe5\xef", "\u05e9\u05e8\u05d5\u05df"},
    {"misspelt term", "ISO-IR 144", TTextKind::Text, "\xb6", "\u0416"},
    {"unknown term reads as the default", "FOO 1", TTextKind::Text, "Caf\xe9", "Caf\u00e9"},
    {"Japanese person name", "\\ISO 2022 IR 87", TTextKind::PersonName, kJapanesePN, kJapanesePNText},
    {"explicit IR 6", "ISO 2022 IR 6\\ISO 2022 IR 87", TTextKind::PersonName, kJapanesePN, kJapanesePNText},
    {"Katakana and Kanji", "ISO 2022 IR 13\\ISO 2022 IR 87", TTextKind::PersonName, kKatakanaPN, kKatakanaPNText},
    {"Korean person name", "\\ISO 2022 IR 149", TTextKind::PersonName, kKoreanPN, kKoreanPNText},
    // A line break returns to value 1, which has no upper half here.
    {"reset at line break", "\\ISO 2022 IR 149", TTextKind::Text, ESC + "$)C\xb1\xe8\r\n\xb1\xe8",
     "\uae40\r\n\u00b1\u00e8"},
    {"upper half by escape", "ISO 2022 IR 100\\ISO 2022 IR 126", TTextKind::Text, "\xe9" + ESC + "-F\xe1",
     "\u00e9\u03b1"},
    {"unknown escape", "\\ISO 2022 IR 87", TTextKind::Text, "a" + ESC + "$Zb", "a\ufffd$Zb"},
    {"Kanji cut short", "\\ISO 2022 IR 87", TTextKind::Text, ESC + "$B;", ";"},
    {"JIS X 0212", "\\ISO 2022 IR 87\\ISO 2022 IR 159", TTextKind::Text, ESC + "$(D+!" + ESC + "(B",
     "\u00e1"},
    {"Chinese GB 2312 extension", "\\ISO 2022 IR 58", TTextKind::Text, ESC + "$)A\xd6\xd0", "\u4e2d"},
};

class Decoding : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(Decoding, GivesTheTextPydicomGives)
{
    const auto& C = GetParam();
    EXPECT_EQ(TCharacterSet(C.Charset).Decode(C.Raw, C.Kind), C.Text);
}

INSTANTIATE_TEST_SUITE_P(Charsets, Decoding, ::testing::ValuesIn(kDecodeCases), [](const auto& Info) {
    std::string N;
    for (const char* P = Info.param.Name; *P; ++P)
        N += std::isalnum(static_cast<unsigned char>(*P)) ? *P : '_';
    return N;
});

// Encoding: the exact bytes where the standard or a stored file fixes them,
// and a decode that gives the text back in every case.
TEST(Encoding, RoundTripsAndStandardBytes)
{
    struct {
        std::string Charset;
        TTextKind Kind;
        std::string Text, Bytes; // Bytes empty: only the round trip is checked
    } Cases[] = {
        {"", TTextKind::Text, "Caf\u00e9 \u20ac \u0081\u008d\u008f\u0090\u009d", "Caf\xe9 \x80 \x81\x8d\x8f\x90\x9d"},
        {"ISO_IR 100", TTextKind::Text, "\u00c4neas^R\u00fcdiger", "\xc4neas^R\xfc" "diger"},
        {"ISO_IR 192", TTextKind::Text, "\u00e9\u03a9\u0416\u4e2d\U0001F600", ""},
        {"GB18030", TTextKind::Text, "\u4e2d\u6587 \u00e9 \U0001F600", ""},
        {"ISO_IR 101", TTextKind::Text, "\u0141\u00f3d\u017a", "\xa3\xf3" "d\xbc"},
        {"ISO_IR 148", TTextKind::Text, "\u011f\u015f\u0131", "\xf0\xfe\xfd"},
        {"ISO_IR 127", TTextKind::Text, "\u0642\u0628\u0627\u0646\u064a", ""},
        {"\\ISO 2022 IR 87", TTextKind::PersonName, kJapanesePNText, kJapanesePN},
        {"ISO 2022 IR 13\\ISO 2022 IR 87", TTextKind::PersonName, kKatakanaPNText, kKatakanaPN},
        {"\\ISO 2022 IR 149", TTextKind::PersonName, kKoreanPNText, kKoreanPN},
        // Each line starts in value 1's sets and returns to them before its end.
        {"\\ISO 2022 IR 87", TTextKind::Text, "\u5c71\u7530\r\n\u5c71 a",
         ESC + "$B;3ED" + ESC + "(B\r\n" + ESC + "$B;3" + ESC + "(B a"},
        {"\\ISO 2022 IR 149", TTextKind::Text, "\uae40\r\n\uae40", ESC + "$)C\xb1\xe8\r\n" + ESC + "$)C\xb1\xe8"},
        {"\\ISO 2022 IR 87\\ISO 2022 IR 159", TTextKind::Text, "\u5c71\u00e1", ESC + "$B;3" + ESC + "$(D+!" + ESC + "(B"},
        {"ISO 2022 IR 100\\ISO 2022 IR 126", TTextKind::Text, "\u00e9\u03b1\u00e9",
         "\xe9" + ESC + "-F\xe1" + ESC + "-A\xe9"},
        {"\\ISO 2022 IR 58", TTextKind::Text, "\u4e2d", ESC + "$)A\xd6\xd0"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Charset + ": " + C.Text);
        const TCharacterSet CS(C.Charset);
        std::string Out;
        ASSERT_TRUE(CS.Encode(C.Text, C.Kind, Out));
        if (!C.Bytes.empty())
            EXPECT_EQ(Out, C.Bytes);
        EXPECT_EQ(CS.Decode(Out, C.Kind), C.Text);
        EXPECT_EQ(CS.EncodeLossy(C.Text, C.Kind), Out);
    }
}

TEST(Encoding, RefusesWhatTheSetCannotStore)
{
    struct {
        std::string Charset, Text, Lossy;
    } Cases[] = {
        {"", "a\u4e2db", "a?b"},
        {"ISO_IR 100", "\u03a9mega", "?mega"},
        {"ISO_IR 144", "caf\u00e9", "caf?"},
        {"ISO_IR 126", "\u0416", "?"},
        {"GBK", "\U0001F600", "?"},
        {"FOO 1", "\u00e9t\u00e9", "?t?"}, // an unknown set stores ASCII only
        {"\\ISO 2022 IR 87", "caf\u00e9", "caf?"},
        {"\\ISO 2022 IR 87", "\u5c71\u00e9", ESC + "$B;3" + ESC + "(B?"},
        {"\\ISO 2022 IR 87", "a\x1b$Bb", "a?$Bb"}, // an escape of its own
        {"ISO_IR 192", "ab\xc3", "ab?"},    // not UTF-8
        {"", "\xed\xa0\x80", "???"},        // an encoded surrogate is not UTF-8
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Charset + ": " + C.Text);
        const TCharacterSet CS(C.Charset);
        std::string Out;
        EXPECT_FALSE(CS.Encode(C.Text, TTextKind::Text, Out));
        EXPECT_EQ(CS.EncodeLossy(C.Text, TTextKind::Text), C.Lossy);
    }
}

TEST(Encoding, OnlyTheOldDefaultIsWindows1252)
{
    EXPECT_TRUE(TCharacterSet("").IsWindows1252());
    EXPECT_TRUE(TCharacterSet("ISO_IR 100 ").IsWindows1252());
    EXPECT_FALSE(TCharacterSet("ISO_IR 192").IsWindows1252());
    EXPECT_FALSE(TCharacterSet("\\ISO 2022 IR 87").IsWindows1252());
}

TEST(HeaderText, DecodesEveryFieldByItsKind)
{
    dicom::THeaderData Raw;
    Raw.SpecificCharacterSet = "\\ISO 2022 IR 149";
    Raw.PatientName = kKoreanPN;
    // A backslash ends a value and with it the Korean set; in text it does not.
    Raw.InstitutionName = ESC + "$)C\xb1\xe8\\\xb1\xe8";
    Raw.ImageComments = ESC + "$)C\xb1\xe8\\\xb1\xe8";
    Raw.Rows = 7;
    const dicom::THeaderData D = dicom::DecodedHeader(Raw);
    EXPECT_EQ(D.PatientName, kKoreanPNText);
    EXPECT_EQ(D.InstitutionName, "\uae40\\\u00b1\u00e8");
    EXPECT_EQ(D.ImageComments, "\uae40\\\uae40");
    EXPECT_EQ(D.Rows, 7);
    EXPECT_EQ(D.SpecificCharacterSet, Raw.SpecificCharacterSet);
}

} // namespace
