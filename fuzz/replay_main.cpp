// Runs a fuzz target's entry point over files and folders of inputs without
// libFuzzer, so every build (any compiler, with or without sanitizers)
// replays the saved findings and seeds as an ordinary test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace fs = std::filesystem;

static void RunOne(const fs::path& P)
{
    std::ifstream In(P, std::ios::binary);
    const std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replay %s (%zu bytes)\n", P.c_str(), Bytes.size());
    // A copy of exactly the input's size, as libFuzzer hands it over.
    std::vector<uint8_t> Exact(Bytes);
    LLVMFuzzerTestOneInput(Exact.empty() ? nullptr : Exact.data(), Exact.size());
}

int main(int argc, char** argv)
{
    size_t Count = 0;
    for (int I = 1; I < argc; ++I) {
        const fs::path Arg(argv[I]);
        if (fs::is_directory(Arg)) {
            std::vector<fs::path> Files;
            for (const auto& E : fs::recursive_directory_iterator(Arg))
                if (E.is_regular_file())
                    Files.push_back(E.path());
            std::sort(Files.begin(), Files.end());
            for (const auto& F : Files) {
                RunOne(F);
                ++Count;
            }
        } else if (fs::exists(Arg)) {
            RunOne(Arg);
            ++Count;
        } else {
            std::fprintf(stderr, "no such input: %s\n", argv[I]);
            return 2;
        }
    }
    std::printf("%zu inputs replayed\n", Count);
    return 0;
}
