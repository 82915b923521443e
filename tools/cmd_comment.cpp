// varnelo-dicom comment SOURCE TARGET [TEXT | -]: stores TEXT (or standard
// input), UTF-8, as the Image Comments of a copy of SOURCE written to TARGET,
// in SOURCE's character set as the window stores it.
#include "commands.h"

#include "dicom.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string ReadAll(std::FILE* In)
{
    std::string Text;
    char Buffer[65536];
    size_t N;
    while ((N = std::fread(Buffer, 1, sizeof Buffer, In)) > 0)
        Text.append(Buffer, N);
    return Text;
}

// Stored comments break lines with CR LF, as the comment field does.
std::string CRLFLines(const std::string& Text)
{
    std::string Out;
    Out.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '\n' && (I == 0 || Text[I - 1] != '\r'))
            Out += '\r';
        Out += Text[I];
    }
    return Out;
}

int Comment(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: varnelo-dicom comment SOURCE TARGET [TEXT | -]\n"
                             "  TEXT omitted or \"-\": the comment is read from standard input\n");
        return 2;
    }
    std::string Text;
    if (argc == 4 && std::strcmp(argv[3], "-") != 0) {
        Text = argv[3];
    } else {
        Text = ReadAll(stdin);
        if (std::ferror(stdin)) {
            std::fprintf(stderr, "The comment could not be read from standard input.\n");
            return 1;
        }
    }
    std::vector<uint32_t> Chars;
    if (!dicom::DecodeUTF8(Text, Chars)) {
        std::fprintf(stderr, "The comment is not UTF-8 text.\n");
        return 1;
    }
    dicom::TCommentWriterHooks Hooks;
    Hooks.ReportError = [](const std::string& Message) { std::fprintf(stderr, "%s\n", Message.c_str()); };
    return dicom::WriteDICOMComment(argv[1], argv[2], CRLFLines(Text), Hooks) ? 0 : 1;
}

const TCommand Register("comment", "SOURCE TARGET [TEXT | -]", Comment);

} // namespace
