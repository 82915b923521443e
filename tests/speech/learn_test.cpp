// Learning the user's language: pronunciations of new words.
#include "lts.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

const std::set<std::string> kModelPhones = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D",  "DH",
                                            "EH", "ER", "EY", "F",  "G",  "HH", "IH", "IY", "JH", "K",
                                            "L",  "M",  "N",  "NG", "OW", "OY", "P",  "R",  "S",  "SH",
                                            "T",  "TH", "UH", "UW", "V",  "W",  "Y",  "Z",  "ZH"};

std::vector<std::string> Phones(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> v;
  for (std::string p; in >> p;) v.push_back(p);
  return v;
}

}  // namespace

TEST(LetterToSound, KnownWordsSpelledWordsAndOddInput) {
  struct Case { const char* word; const char* phones; };
  const Case cases[] = {
      {"heart", "HH AA R T"},                 // from the lexicon
      {"the", "DH AH"},                       // flite's reduced vowel is the model's AH
      {"ct", "S IY T IY"},                    // no vowel: letter by letter
      {"mri", "EH M AA R AY"},                // a known abbreviation
      {"pvc", "P IY V IY S IY"},
      {"heart's", "HH AA R T Z"},             // possessive: stem and Z
      {"caf\xC3\xA9", "K AH F EY"},           // é read as e
      {"", ""},
      {"123", ""},                            // no letters at all
      {"--", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LetterToSound(c.word), c.phones) << c.word;
}

TEST(LetterToSound, UnknownWordsGetOnlyTheModelsPhones) {
  const char* words[] = {"infrahilar", "kerley", "lordotic", "bronchograms", "haziness", "zzyzxqua",
                         "defibrillator", "xyloq", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "streaky"};
  for (const char* w : words) {
    const auto phones = Phones(LetterToSound(w));
    EXPECT_FALSE(phones.empty()) << w;
    for (const auto& p : phones) EXPECT_TRUE(kModelPhones.count(p)) << w << ": " << p;
  }
  // Rules alone, without the lexicon, still give phones of the model.
  for (const auto& p : Phones(LetterToSoundRulesOnly("cardiomegaly"))) EXPECT_TRUE(kModelPhones.count(p)) << p;
}

TEST(LetterToSound, SameAnswerFromManyThreads) {
  const std::string expected = LetterToSound("pneumomediastinum");
  std::vector<std::thread> threads;
  std::vector<std::string> got(4);
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&got, i] {
      for (int k = 0; k < 200; ++k) got[i] = LetterToSound(k % 2 ? "pneumomediastinum" : "lingular");
      got[i] = LetterToSound("pneumomediastinum");
    });
  for (auto& t : threads) t.join();
  for (const auto& g : got) EXPECT_EQ(g, expected);
}
