// The JPEG branch of the renderer from arbitrary bytes: the input is the
// first fragment of encapsulated pixel data, handed to libjpeg.
#include "harness.h"

#include "bitmap.h"
#include "element.h"
#include "errors.h"
#include "loader.h"
#include "render.h"
#include "streams.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size == 0)
        return 0;
    dicom::TMemoryStream Stream(Data, Size);
    dicom::TData28 D;
    // Greyscale (8-bit bitmap with a grey table) or colour (24-bit), chosen
    // by the input.
    const bool Grey = (Data[Size - 1] & 1) == 0;
    D.Rows = 16;
    D.Columns = 16;
    D.BitsAllocated = 8;
    D.BitsStored = 8;
    D.HighBit = 7;
    D.SamplesPerPixel = Grey ? 1 : 3;
    D.Photometric = Grey ? dicom::pmMonochrome2 : dicom::pmYBRFull422;
    D.RedDescriptor.Entries = 256;
    D.PixelData = std::make_unique<dicom::TDICOMattribute>();
    D.PixelData->Group = 0x7FE0;
    D.PixelData->Element = 0x0010;
    D.PixelData->VR[0] = 'O';
    D.PixelData->VR[1] = 'B';
    D.PixelData->Length = static_cast<uint32_t>(Size);
    D.PixelData->ValueOffset = 0;
    D.PixelData->Stream = &Stream;
    dicom::TransferSyntaxState TS;
    TS.ImplicitVR = false;
    TS.Compressed = true;
    TS.Compression = dicom::ckJPEG;
    dicom::TBitmap Bitmap;
    try {
        const int32_t R = dicom::RenderImage(D, Bitmap, TS);
        if (R == 1 && !Bitmap.Empty()) {
            fuzzing::Check(Bitmap.BitsPerPixel() == (Grey ? 8 : 24), "JPEG bitmap depth");
            volatile uint32_t C = Bitmap.PixelColour(Bitmap.Width() - 1, Bitmap.Height() - 1);
            (void)C;
        }
    } catch (const dicom::EDicomError& E) {
        fuzzing::CheckMessage(E);
    }
    return 0;
}
