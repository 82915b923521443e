// The learning text reader and normaliser from arbitrary bytes: whatever a
// file holds, what comes out are well-formed recogniser words (non-empty, a-z,
// inner apostrophes, Latin letters beyond ASCII; no blank), in sentences of
// bounded length, in time linear in the input.
#include "harness.h"

#include "learntext.h"

#include <string>
#include <string_view>

namespace {

// Latin letters U+00C0..U+024F in UTF-8 (without × and ÷).
size_t LatinLetter(const std::string& w, size_t i)
{
    const unsigned char a = static_cast<unsigned char>(w[i]);
    if (i + 1 >= w.size() || a < 0xC3 || a > 0xC9)
        return 0;
    const unsigned char b = static_cast<unsigned char>(w[i + 1]);
    if ((b & 0xC0) != 0x80 || (a == 0xC3 && (b == 0x97 || b == 0xB7)) || (a == 0xC3 && b < 0x80))
        return 0;
    return 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    const bool Binary = learn::LooksBinary(Bytes);
    const std::string Text = learn::TextAsUtf8(Bytes);
    // Read as Windows-1252 a byte becomes at most three.
    fuzzing::Check(Text.size() <= 3 * Size, "the text grew beyond its bound");
    if (Binary && Size > 0)
        fuzzing::Check(Bytes.find('\0') != std::string_view::npos || Size >= 9, "binary without a reason");
    size_t Words = 0;
    for (const auto& Sentence : learn::NormaliseText(Text)) {
        fuzzing::Check(!Sentence.empty(), "an empty sentence");
        fuzzing::Check(Sentence.size() <= learn::kMaxSentenceWords, "a sentence beyond its bound");
        for (const std::string& W : Sentence) {
            ++Words;
            fuzzing::Check(!W.empty(), "an empty word");
            fuzzing::Check(W.front() != '\'' && W.back() != '\'', "an apostrophe at a word's edge");
            for (size_t I = 0; I < W.size();) {
                const char C = W[I];
                if ((C >= 'a' && C <= 'z') || C == '\'') {
                    ++I;
                    continue;
                }
                const size_t N = LatinLetter(W, I);
                fuzzing::Check(N != 0, "a character that is no letter in a word");
                I += N;
            }
        }
    }
    // Every input byte gives a bounded number of words ("1234" is four at most,
    // "%" one, a number with its unit a handful).
    fuzzing::Check(Words <= 8 * Size + 8, "more words than the input can say");
    return 0;
}
