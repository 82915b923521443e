// Deliberately broken files through the loader and the comment writer. Each
// must end in the refusal its failure table names, never in a crash, and a
// failed write must leave the target exactly as it was.
#include "dicomgen.h"

#include "bitmap.h"
#include "errors.h"
#include "loader.h"
#include "writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using testgen::Bytes;
using testgen::DataSet;

namespace {

// What a load ended in: an error message, or the loader's result.
struct TLoadOutcome {
    std::optional<std::string> Error;
    bool Loaded = false;
    dicom::TBitmap Bitmap;
    dicom::THeaderData Header;
};

TLoadOutcome Load(const std::string& Path)
{
    TLoadOutcome O;
    try {
        O.Loaded = dicom::LoadDICOMFile(Path, O.Bitmap, O.Header);
    } catch (const dicom::EDicomError& E) {
        O.Error = E.what();
    }
    return O;
}

struct TWriteOutcome {
    bool Written = false;
    std::vector<std::string> Messages;
};

TWriteOutcome Write(const std::string& Source, const std::string& Target)
{
    TWriteOutcome O;
    dicom::TCommentWriterHooks Hooks;
    Hooks.ReportError = [&](const std::string& M) { O.Messages.push_back(M); };
    Hooks.DateTimeText = [] { return std::string("08.12.2026 12:00:00"); };
    O.Written = dicom::WriteDICOMComment(Source, Target, "A comment", Hooks);
    return O;
}

// A small, valid 8-bit MONOCHROME2 image, 4 x 4, without Image Comments:
// the writer inserts the comment before (0028,0002).
DataSet Header(bool Implicit = false)
{
    DataSet D(Implicit, false);
    D.Add(0x0008, 0x0060, "CS", "OT");
    D.Add(0x0010, 0x0010, "PN", "Doe^John");
    D.Add(0x0010, 0x0020, "LO", "ID-0042");
    D.Add(0x0020, 0x0013, "IS", "1");
    return D;
}

DataSet& ImagePixelModule(DataSet& D, uint16_t Rows, uint16_t Columns, uint16_t Samples, uint16_t Bits,
                          const char* Photometric)
{
    D.US(0x0028, 0x0002, Samples);
    D.Add(0x0028, 0x0004, "CS", Photometric);
    D.US(0x0028, 0x0010, Rows);
    D.US(0x0028, 0x0011, Columns);
    D.US(0x0028, 0x0100, Bits);
    D.US(0x0028, 0x0101, Bits);
    D.US(0x0028, 0x0102, static_cast<uint16_t>(Bits - 1));
    D.US(0x0028, 0x0103, 0);
    return D;
}

Bytes ValidImage()
{
    DataSet D = Header();
    ImagePixelModule(D, 4, 4, 1, 8, "MONOCHROME2");
    Bytes Pixels(16);
    for (size_t I = 0; I < Pixels.size(); ++I)
        Pixels[I] = static_cast<uint8_t>(I * 16);
    D.AddRaw(0x7FE0, 0x0010, "OB", Pixels);
    return testgen::Part10(testgen::kExplicitLE, D);
}

// Where the bytes of Needle first begin in Hay.
size_t Find(const Bytes& Hay, const Bytes& Needle)
{
    const auto It = std::search(Hay.begin(), Hay.end(), Needle.begin(), Needle.end());
    if (It == Hay.end())
        throw std::runtime_error("pattern not found");
    return static_cast<size_t>(It - Hay.begin());
}

Bytes Cut(Bytes B, size_t Size)
{
    B.resize(Size);
    return B;
}

const Bytes kPatientNameTag{0x10, 0x00, 0x10, 0x00};
const Bytes kPixelDataTag{0xE0, 0x7F, 0x10, 0x00};

enum class TExpect { ReadError, NotLoaded, Loaded, LoadedOrRefused };
enum class TWriteExpect { ReadError, Written };

struct TCase {
    const char* Name;
    std::function<Bytes()> Make;
    TExpect Load;
    TWriteExpect Write;
};

const std::vector<TCase>& Cases()
{
    static const std::vector<TCase> All = {
        {"valid_image", [] { return ValidImage(); }, TExpect::Loaded, TWriteExpect::Written},
        {"cut_inside_meta_header",
         [] { return Cut(ValidImage(), 132 + 5); },
         TExpect::ReadError, TWriteExpect::ReadError},
        {"cut_inside_element_header",
         [] {
             const Bytes B = ValidImage();
             return Cut(B, Find(B, kPatientNameTag) + 5);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        {"cut_inside_long_form_header",
         [] {
             const Bytes B = ValidImage();
             return Cut(B, Find(B, kPixelDataTag) + 9); // inside the 4-byte length
         },
         TExpect::ReadError, TWriteExpect::Written},
        // A defined length past the end ends the walk without an error; the
        // value reads back as far as it goes. Copying it cannot work.
        {"cut_inside_value",
         [] {
             const Bytes B = ValidImage();
             return Cut(B, Find(B, kPatientNameTag) + 8 + 3);
         },
         TExpect::NotLoaded, TWriteExpect::ReadError},
        // Missing pixel bytes read as zero; the writer copies what is there.
        {"cut_inside_pixel_data",
         [] {
             const Bytes B = ValidImage();
             return Cut(B, B.size() - 7);
         },
         TExpect::Loaded, TWriteExpect::Written},
        {"item_length_past_end",
         [] {
             DataSet D = Header();
             D.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu);
             D.Item(0x1000);
             D.Add(0x0008, 0x1150, "UI", "1.2.3");
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        {"item_length_past_end_implicit",
         [] {
             DataSet D = Header(true);
             D.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu);
             D.Item(0xFFFFFF00u);
             D.Add(0x0008, 0x1150, "UI", "1.2.3");
             D.SequenceEnd();
             ImagePixelModule(D, 2, 2, 1, 8, "MONOCHROME2");
             D.AddRaw(0x7FE0, 0x0010, "OB", Bytes(4, 9));
             return testgen::Part10(testgen::kImplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        // Undefined lengths on values that hold no items.
        {"undefined_length_on_text_implicit",
         [] {
             DataSet D = Header(true);
             D.Header(0x0010, 0x1000, "LO", 0xFFFFFFFFu);
             D.Raw(std::string("OTHER^ID  "));
             ImagePixelModule(D, 2, 2, 1, 8, "MONOCHROME2");
             D.AddRaw(0x7FE0, 0x0010, "OB", Bytes(4, 9));
             return testgen::Part10(testgen::kImplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        {"undefined_length_on_UT",
         [] {
             DataSet D = Header();
             D.Header(0x0018, 0x1030, "UT", 0xFFFFFFFFu);
             D.Raw(std::string("protocol text "));
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        // Native pixel data cannot be of undefined length; nothing after it
        // is needed by the writer, which inserts the comment before it.
        {"undefined_length_on_native_pixel_data",
         [] {
             DataSet D = Header();
             ImagePixelModule(D, 4, 4, 1, 8, "MONOCHROME2");
             D.Header(0x7FE0, 0x0010, "OW", 0xFFFFFFFFu);
             D.Raw(Bytes(16, 0x55));
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::Written},
        {"undefined_length_item_never_closed",
         [] {
             DataSet D = Header();
             D.Header(0x0008, 0x1140, "SQ", 0xFFFFFFFFu);
             D.Item(0xFFFFFFFFu);
             D.Add(0x0008, 0x1150, "UI", "1.2.3");
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::ReadError, TWriteExpect::ReadError},
        // A palette descriptor of one number: the rest reads as zero.
        {"lut_descriptor_of_two_bytes",
         [] {
             DataSet D = Header();
             ImagePixelModule(D, 4, 4, 1, 8, "PALETTE COLOR");
             D.AddRaw(0x0028, 0x1101, "US", Bytes{0x00, 0x01});
             D.AddRaw(0x0028, 0x1102, "US", Bytes{0x00, 0x01});
             D.AddRaw(0x0028, 0x1103, "US", Bytes{0x00, 0x01});
             D.AddRaw(0x0028, 0x1201, "OW", Bytes(8, 0x7F));
             D.AddRaw(0x0028, 0x1202, "OW", Bytes(8, 0x7F));
             D.AddRaw(0x0028, 0x1203, "OW", Bytes(8, 0x7F));
             D.AddRaw(0x7FE0, 0x0010, "OB", Bytes(16, 3));
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::LoadedOrRefused, TWriteExpect::Written},
        // A palette whose data is missing from the end of the file.
        {"lut_data_past_end",
         [] {
             DataSet D = Header();
             ImagePixelModule(D, 4, 4, 1, 16, "PALETTE COLOR");
             D.USMulti(0x0028, 0x1101, {0, 0, 16});
             D.USMulti(0x0028, 0x1102, {0, 0, 16});
             D.USMulti(0x0028, 0x1103, {0, 0, 16});
             D.AddRaw(0x7FE0, 0x0010, "OW", Bytes(32, 3));
             D.Header(0x0028, 0x1201, "OW", 0x20000);
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::LoadedOrRefused, TWriteExpect::Written},
        // 65535 x 65535 x 3 samples of 16 bits: 24 GiB for one frame.
        {"rows_columns_65535_16bit_rgb",
         [] {
             DataSet D = Header();
             ImagePixelModule(D, 65535, 65535, 3, 16, "RGB");
             D.AddRaw(0x7FE0, 0x0010, "OW", Bytes(64, 1));
             return testgen::Part10(testgen::kExplicitLE, D);
         },
         TExpect::NotLoaded, TWriteExpect::Written},
        {"rows_columns_65535_16bit_rgb_encapsulated_rle",
         [] {
             DataSet D = Header();
             ImagePixelModule(D, 65535, 65535, 3, 16, "RGB");
             Bytes Rle(64, 0);
             Rle[0] = 1;
             Rle[4] = 64;
             Rle.insert(Rle.end(), {0x81, 0x00});
             D.Encapsulated({Rle});
             return testgen::Part10(testgen::kRLE, D);
         },
         TExpect::NotLoaded, TWriteExpect::Written},
        {"deflated",
         [] {
             DataSet D = Header();
             return testgen::Part10(testgen::kDeflated, D);
         },
         TExpect::ReadError /* replaced below by its own message */, TWriteExpect::ReadError},
    };
    return All;
}

class BrokenFiles : public ::testing::TestWithParam<size_t> {
protected:
    const testgen::TempDir Scratch{"hardening"};
    const std::string Dir = Scratch.Path;
};

std::string ExpectedError(const TCase& C)
{
    return std::string(C.Name) == "deflated" ? "Deflate syntax not supported." : "Stream read error";
}

TEST_P(BrokenFiles, LoaderRefusesAsDocumented)
{
    const TCase& C = Cases()[GetParam()];
    const std::string Path = Dir + "/in.dcm";
    testgen::WriteFile(Path, C.Make());
    const TLoadOutcome O = Load(Path);
    switch (C.Load) {
    case TExpect::ReadError:
        ASSERT_TRUE(O.Error.has_value()) << "loaded: " << O.Loaded;
        EXPECT_EQ(*O.Error, ExpectedError(C));
        EXPECT_TRUE(O.Bitmap.Empty());
        break;
    case TExpect::NotLoaded:
        EXPECT_FALSE(O.Error.has_value()) << *O.Error;
        EXPECT_FALSE(O.Loaded);
        EXPECT_TRUE(O.Bitmap.Empty());
        break;
    case TExpect::Loaded:
        EXPECT_FALSE(O.Error.has_value()) << *O.Error;
        EXPECT_TRUE(O.Loaded);
        EXPECT_EQ(O.Bitmap.Height(), 4);
        break;
    case TExpect::LoadedOrRefused:
        EXPECT_FALSE(O.Error.has_value()) << *O.Error;
        if (O.Loaded && !O.Bitmap.Empty()) {
            EXPECT_EQ(O.Bitmap.Height(), 4);
        }
        break;
    }
    // Header fields read before the damage stay filled in.
    const std::string Name = C.Name;
    if (Name != "cut_inside_meta_header" && Name != "deflated") {
        EXPECT_EQ(O.Header.Modality, "OT");
    }
}

TEST_P(BrokenFiles, WriterLeavesAnExistingTargetAlone)
{
    const TCase& C = Cases()[GetParam()];
    const std::string Source = Dir + "/in.dcm";
    const std::string Target = Dir + "/out.dcm";
    const Bytes In = C.Make();
    testgen::WriteFile(Source, In);
    const Bytes Old{'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};
    testgen::WriteFile(Target, Old);
    const TWriteOutcome O = Write(Source, Target);
    if (C.Write == TWriteExpect::Written) {
        EXPECT_TRUE(O.Written);
        EXPECT_TRUE(O.Messages.empty()) << O.Messages.front();
        const Bytes Out = testgen::ReadFile(Target);
        ASSERT_GT(Out.size(), In.size());
        EXPECT_TRUE(std::equal(In.begin(), In.begin() + 132, Out.begin())); // preamble and DICM carried over
    } else {
        EXPECT_FALSE(O.Written);
        ASSERT_EQ(O.Messages.size(), 1u);
        EXPECT_EQ(O.Messages[0], ExpectedError(C));
        EXPECT_EQ(testgen::ReadFile(Target), Old);
    }
    EXPECT_EQ(testgen::ReadFile(Source), In);
    // Nothing but the two files: no temporary left behind.
    size_t Files = 0;
    for ([[maybe_unused]] const auto& E : std::filesystem::directory_iterator(Dir))
        ++Files;
    EXPECT_EQ(Files, 2u);
}

TEST_P(BrokenFiles, WriterCreatesATargetOnlyOnSuccess)
{
    const TCase& C = Cases()[GetParam()];
    const std::string Source = Dir + "/in.dcm";
    const std::string Target = Dir + "/new.dcm";
    const Bytes In = C.Make();
    testgen::WriteFile(Source, In);
    const TWriteOutcome O = Write(Source, Target);
    EXPECT_EQ(O.Written, C.Write == TWriteExpect::Written);
    if (O.Written) {
        EXPECT_GT(testgen::ReadFile(Target).size(), In.size());
    } else {
        EXPECT_FALSE(std::filesystem::exists(Target));
    }
}

TEST_P(BrokenFiles, WriterOverTheSourceKeepsItOnFailure)
{
    const TCase& C = Cases()[GetParam()];
    const std::string Source = Dir + "/in.dcm";
    const Bytes In = C.Make();
    testgen::WriteFile(Source, In);
    const TWriteOutcome O = Write(Source, Source);
    if (C.Write == TWriteExpect::Written) {
        EXPECT_TRUE(O.Written);
        EXPECT_GT(testgen::ReadFile(Source).size(), In.size());
    } else {
        EXPECT_FALSE(O.Written);
        EXPECT_EQ(testgen::ReadFile(Source), In);
    }
}

std::string CaseName(const ::testing::TestParamInfo<size_t>& Info) { return Cases()[Info.param].Name; }

INSTANTIATE_TEST_SUITE_P(Hardening, BrokenFiles, ::testing::Range<size_t>(0, Cases().size()), CaseName);

} // namespace
