// The learned store from arbitrary bytes, read both as the stored sentences
// and as a model's description: the sentences hold words and no line
// breaks, the words are counted as stored, the status has no negative count
// and a share within 0..1, and what is read, written back, reads the same.
#include "harness.h"

#include "learnedmodel.h"
#include "learnstore.h"

#include <cctype>
#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string_view Bytes(reinterpret_cast<const char*>(Data), Size);

    qint64 Words = -1;
    const auto Sentences = ParseStoredSentences(Bytes, &Words);
    qint64 Counted = 0;
    std::vector<std::string> Texts;
    std::vector<bool> Comments;
    for (const TStoredSentence& S : Sentences) {
        fuzzing::Check(!S.words.empty() && S.words.find('\n') == std::string::npos, "a sentence that is no line");
        fuzzing::Check(!std::isspace(static_cast<unsigned char>(S.words.front())) &&
                           !std::isspace(static_cast<unsigned char>(S.words.back())),
                       "a sentence with blanks at its edges");
        Counted += StoredWordCount(S.words);
        Texts.push_back(S.words);
        Comments.push_back(S.comment);
    }
    fuzzing::Check(Words == Counted, "the words miscounted");
    fuzzing::Check(Counted <= qint64(Size) + 1, "more words than bytes");
    const QByteArray Store = StoredSentencesText(Texts, Comments);
    qint64 WordsAgain = -1;
    const auto Again = ParseStoredSentences(std::string_view(Store.constData(), size_t(Store.size())), &WordsAgain);
    fuzzing::Check(Again == Sentences && WordsAgain == Words, "the sentences changed on their way through the store");

    const QMap<QString, QString> Info = ParseLearnedModelInfo(QByteArray::fromRawData(Bytes.data(), qsizetype(Size)));
    QList<std::pair<QString, QString>> Entries;
    for (auto It = Info.begin(); It != Info.end(); ++It) {
        fuzzing::Check(!It.key().isEmpty() && !It.key().contains('\t') && !It.key().contains('\n'), "a key that is no name");
        fuzzing::Check(!It.value().contains('\n'), "a value beyond its line");
        Entries.push_back({It.key(), It.value()});
    }
    fuzzing::Check(ParseLearnedModelInfo(LearnedModelInfoText(Entries)) == Info, "the description changed on its way through the file");

    const TLearnStatus Status = LearnStatusFromInfo(Info);
    for (const qint64 N : {Status.sentences, Status.words, Status.newWords, Status.commentSentences, Status.commentWords})
        fuzzing::Check(N >= 0, "a negative count");
    fuzzing::Check(std::isfinite(Status.weight) && Status.weight >= 0 && Status.weight <= 1, "a share out of range");
    return 0;
}
