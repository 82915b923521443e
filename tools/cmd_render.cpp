// varnelo-dicom render FILE OUT.png: the preview the main window would show.
#include "commands.h"

#include "dicom.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TFileCloser {
    void operator()(std::FILE* F) const { std::fclose(F); }
};

// libpng reports errors by a long jump; this frame holds only plain data so
// the jump skips no destructor. False when the PNG could not be written.
bool WriteRows(std::FILE* F, int Width, int Height, bool Indexed, const png_color* Palette, png_bytepp Rows)
{
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop Info = Png ? png_create_info_struct(Png) : nullptr;
    if (Info == nullptr) {
        png_destroy_write_struct(&Png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(Png))) {
        png_destroy_write_struct(&Png, &Info);
        return false;
    }
    png_init_io(Png, F);
    // Previews are throwaway pictures: speed matters more than size.
    png_set_compression_level(Png, 1);
    png_set_IHDR(Png, Info, static_cast<png_uint_32>(Width), static_cast<png_uint_32>(Height), 8,
                 Indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (Indexed)
        png_set_PLTE(Png, Info, Palette, 256);
    png_write_info(Png, Info);
    png_write_rows(Png, Rows, static_cast<png_uint_32>(Height));
    png_write_end(Png, Info);
    png_destroy_write_struct(&Png, &Info);
    return true;
}

// Writes Bitmap as PNG: an indexed bitmap as a palette image through its
// colour table, a 24-bit one as RGB. Returns an error text, empty on success.
std::string WritePNG(const dicom::TBitmap& Bitmap, const std::string& Name)
{
    std::unique_ptr<std::FILE, TFileCloser> F(std::fopen(Name.c_str(), "wb"));
    if (!F)
        return Name + " could not be created.";
    std::vector<png_color> Palette(256);
    for (size_t I = 0; I < Palette.size(); ++I) {
        const uint32_t C = Bitmap.ColourTable()[I];
        Palette[I] = png_color{static_cast<png_byte>(C >> 16), static_cast<png_byte>(C >> 8), static_cast<png_byte>(C)};
    }
    std::vector<png_bytep> Rows(static_cast<size_t>(Bitmap.Height()));
    for (int Y = 0; Y < Bitmap.Height(); ++Y)
        Rows[static_cast<size_t>(Y)] = const_cast<png_bytep>(Bitmap.Row(Y));
    if (!WriteRows(F.get(), Bitmap.Width(), Bitmap.Height(), Bitmap.BitsPerPixel() == 8, Palette.data(), Rows.data()) ||
        std::fflush(F.get()) != 0)
        return Name + " could not be written.";
    return {};
}

int Render(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: varnelo-dicom render FILE OUT.png\n");
        return 2;
    }
    dicom::THeaderData Header;
    dicom::TBitmap Bitmap;
    try {
        if (!dicom::LoadDICOMFile(argv[1], Bitmap, Header)) {
            std::fprintf(stderr, "%s: no image could be shown.\n", argv[1]);
            return 1;
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    if (Bitmap.Empty()) {
        // A file whose frame has nothing to draw still loads.
        std::fprintf(stderr, "%s: the image is empty.\n", argv[1]);
        return 3;
    }
    const std::string Error = WritePNG(Bitmap, argv[2]);
    if (!Error.empty()) {
        std::fprintf(stderr, "%s\n", Error.c_str());
        return 1;
    }
    return 0;
}

const TCommand Register("render", "FILE OUT.png", Render);

} // namespace
