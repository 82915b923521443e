// The loader and renderer from arbitrary bytes: a file is walked, its header
// summary filled and its first frame drawn, or it is refused with a message.
// The summary is then decoded by the file's character set as the window
// shows it, and the comment stored back the way the writer would.
#include "harness.h"

#include "bitmap.h"
#include "charset.h"
#include "errors.h"
#include "loader.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static fuzzing::TMemFile File("varnelo-fuzz-load");
    File.Set(Data, Size);
    dicom::THeaderData Header;
    dicom::TBitmap Bitmap;
    try {
        const bool Loaded = dicom::LoadDICOMFile(File.Path(), Bitmap, Header);
        if (Loaded && !Bitmap.Empty()) {
            fuzzing::Check(Bitmap.BitsPerPixel() == 8 || Bitmap.BitsPerPixel() == 24, "bitmap depth");
            fuzzing::Check(Bitmap.ByteCount() >= Bitmap.Stride() * static_cast<size_t>(Bitmap.Height()),
                           "bitmap smaller than its rows");
            // Touch the first and last pixel so a bitmap that lies about its
            // size shows up under the address sanitizer.
            volatile uint32_t C = Bitmap.PixelColour(0, 0);
            C = Bitmap.PixelColour(Bitmap.Width() - 1, Bitmap.Height() - 1);
            (void)C;
        }
    } catch (const dicom::EDicomError& E) {
        fuzzing::CheckMessage(E);
    }
    // Whatever the walk assigned before it ended.
    const dicom::THeaderData Shown = dicom::DecodedHeader(Header);
    std::vector<uint32_t> Chars;
    for (const std::string* S : {&Shown.PatientName, &Shown.ReferringPhysicianName, &Shown.InstitutionName,
                                 &Shown.ImageComments})
        fuzzing::Check(dicom::DecodeUTF8(*S, Chars), "decoded text is not UTF-8");
    // A comment shown and saved unchanged reads back as it was shown.
    const dicom::TCharacterSet Set(Header.SpecificCharacterSet);
    std::string Stored;
    if (Set.Encode(Shown.ImageComments, dicom::TTextKind::Text, Stored))
        fuzzing::Check(Set.Decode(Stored, dicom::TTextKind::Text) == Shown.ImageComments,
                       "stored comment reads back otherwise");
    (void)Set.EncodeLossy(Shown.PatientName, dicom::TTextKind::PersonName);
    return 0;
}
