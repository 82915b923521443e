// The written and spoken forms of clinical text from arbitrary bytes: read-back
// points every character it gives the voice inside the written text and
// never backwards; learning's words are well formed; dictation's written
// form of any words, and of the words said for the text, stays in
// proportion to them.  All in time linear in the input.
#include "harness.h"

#include "clinicalforms.h"

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);
    const std::u32string Written = textforms::FromUtf8(Bytes);
    fuzzing::Check(Written.size() <= Size, "more code points than bytes");

    const textforms::TReadAloud Read = textforms::ReadAloud(Written);
    fuzzing::Check(Read.begin.size() == Read.text.size() && Read.end.size() == Read.text.size(), "a map of the wrong size");
    int Last = 0;
    for (size_t K = 0; K < Read.text.size(); ++K) {
        fuzzing::Check(Read.begin[K] >= 0 && Read.begin[K] < Read.end[K], "an empty or negative source");
        fuzzing::Check(Read.end[K] <= int(Written.size()), "a source beyond the text");
        fuzzing::Check(Read.begin[K] >= Last, "a source that goes backwards");
        Last = Read.begin[K];
    }
    // "1234" says four words of at most nine letters, "%" seven letters.
    fuzzing::Check(Read.text.size() <= 48 * Written.size() + 1, "read-back text beyond its bound");

    std::vector<std::string> Said;
    for (const auto& Sentence : textforms::SpokenSentences(Written)) {
        fuzzing::Check(!Sentence.empty() && Sentence.size() <= textforms::kMaxSentenceWords, "a sentence out of bounds");
        for (const auto& W : Sentence) {
            fuzzing::Check(!W.word.empty(), "an empty word");
            fuzzing::Check(W.word.find(' ') == std::string::npos, "a blank in a word");
            fuzzing::Check(W.begin >= 0 && W.begin < W.end && W.end <= int(Written.size()), "a word from outside the text");
            Said.push_back(W.word);
        }
    }
    size_t SaidBytes = 0;
    for (const auto& W : Said)
        SaidBytes += W.size() + 1;
    // Writing never grows text: "hundred" is a digit, a unit its abbreviation.
    fuzzing::Check(textforms::WrittenText(Said).size() <= SaidBytes + 8, "the written form grew");

    // The bytes as recogniser words, as the recogniser might give anything.
    std::vector<std::string> Words;
    std::istringstream In{std::string(Bytes)};
    for (std::string W; In >> W;)
        Words.push_back(W);
    fuzzing::Check(textforms::WrittenText(Words).size() <= Size + 8, "the written form of words grew");
    return 0;
}
