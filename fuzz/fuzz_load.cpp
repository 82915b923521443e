// The loader and renderer from arbitrary bytes: a file is walked, its header
// summary filled and its first frame drawn, or it is refused with a message.
#include "harness.h"

#include "bitmap.h"
#include "errors.h"
#include "loader.h"

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
    return 0;
}
