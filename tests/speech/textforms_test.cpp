// Written and spoken forms of clinical text, both ways: dictation's display
// text from the recogniser's words, and the words read-back and learning say
// for written text, with the characters each word stands for.
#include "clinicalforms.h"
#include "formsdata.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using textforms::FromUtf8;
using textforms::ToUtf8;

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string Written(const std::string& said) { return textforms::WrittenText(Words(said)); }

std::string Said(const std::string& written) {
  std::string out;
  for (const auto& s : textforms::SpokenSentences(FromUtf8(written)))
    for (const auto& w : s) out += (out.empty() ? "" : " ") + w.word;
  return out;
}

std::string ReadAloud(const std::string& written) { return ToUtf8(textforms::ReadAloud(FromUtf8(written)).text); }

}  // namespace

TEST(TextForms, SpokenToWrittenAsARadiologistWritesIt) {
  struct Case { const char* said; const char* written; };
  const Case cases[] = {
      // Measurements, dimensions and units.
      {"there is a three point two by two point one centimeter nodule in the right upper lobe",
       "there is a 3.2 x 2.1 cm nodule in the right upper lobe"},
      {"stable two point five by one point eight by one point six centimeter mass", "stable 2.5 x 1.8 x 1.6 cm mass"},
      {"a point five centimeter cyst", "a 0.5 cm cyst"},
      {"four by four millimeters", "4 x 4 mm"},
      {"three to four millimeters", "3 to 4 mm"},
      {"one and a half centimeters", "1.5 cm"},
      {"two hundred fifty milliliters of contrast", "250 mL of contrast"},
      {"a hundred milliliters", "100 mL"},
      {"ten c c of saline", "10 cc of saline"},
      {"four milliliters per second", "4 mL/s"},
      {"twenty hounsfield units", "20 HU"},
      {"dose length product four hundred fifty milligray centimeters", "dose length product 450 mGy-cm"},
      {"ct dose index of twelve point four milligray", "CT dose index of 12.4 mGy"},
      {"forty percent loss of height", "40% loss of height"},
      {"an eight french pigtail", "an 8 Fr pigtail"},
      {"a twenty gauge line", "a 20 gauge line"},
      {"seventy two year old male", "72 year old male"},
      {"patient weight is eighty two kilograms", "patient weight is 82 kg"},
      // Ranges and dimensions however they are joined.
      {"between two and three centimeters", "between 2 and 3 cm"},
      {"two or three millimeters", "2 or 3 mm"},
      {"the nodules measure three and five millimeters", "the nodules measure 3 and 5 mm"},
      {"four point five times three point two centimeters", "4.5 x 3.2 cm"},
      {"two and three", "two and three"},
      {"two times a day", "two times a day"},
      // Hundreds counted past ten.
      {"twelve hundred milliliters", "1200 mL"},
      {"scan at fourteen hundred hours", "scan at 1400 hours"},
      {"one thousand two hundred milliliters", "1200 mL"},
      // A word like "point" between a number and digits before a unit or
      // "by" is the point misheard; elsewhere it stays.
      {"the liver spans eighteen blind five centimeters", "the liver spans 18.5 cm"},
      {"three planned eight by two point one centimeters", "3.8 x 2.1 cm"},
      {"a depth of two plan three centimeters", "a depth of 2.3 cm"},
      {"five line one by four point two centimeters", "5.1 x 4.2 cm"},
      {"two lesions three millimeters apart", "two lesions 3 mm apart"},
      {"two pints three", "two pints three"},
      {"two blind three people", "two blind three people"},
      {"there are two nodules five millimeters apart", "there are two nodules 5 mm apart"},
      {"two and five millimeters", "2 and 5 mm"},
      // Spinal levels.
      {"mild disc bulge at c five c six", "mild disc bulge at C5-C6"},
      {"l five s one and l four five", "L5-S1 and L4-5"},
      {"compression fracture of t twelve", "compression fracture of T12"},
      {"t two weighted images", "T2 weighted images"},
      // Times, years and dates.
      {"contrast was injected at ten thirty through a twenty gauge line",
       "contrast was injected at 10:30 through a 20 gauge line"},
      {"completed at nine oh five", "completed at 9:05"},
      {"at seven a m", "at 7 AM"},
      {"at two o'clock", "at 2 o'clock"},
      {"compared with the study from twenty twenty three", "compared with the study from 2023"},
      {"dated march fifth twenty twenty four", "dated March 5, 2024"},
      {"booked for the twenty first of january", "booked for the twenty first of January"},
      {"the twenty third image", "the twenty third image"},
      {"a thirty second delay", "a 30 second delay"},
      // Series and image numbers, counts.
      {"see series four image fifty six", "see series 4 image 56"},
      {"two views of the chest show one nodule", "two views of the chest show one nodule"},
      {"twelve nodules", "12 nodules"},
      {"follow up in six to twelve months", "follow up in 6 to 12 months"},
      {"follow up in three to six months", "follow up in three to six months"},
      {"bi rads four", "BI-RADS 4"},
      {"recommend follow up ct in six months", "recommend follow up CT in six months"},
      // Spoken punctuation keeps working beside the numbers.
      {"the nodule measures five millimeters period", "the nodule measures 5 mm."},
      {"hello comma world", "hello, world"},
      {"first new paragraph second", "first\n\nsecond"},
      {"a period of time", "a period of time"},
      // What no rule covers stays as said.
      {"at this point", "at this point"},
      {"one two three", "one two three"},
      {"the p i c c line", "the p i c c line"},
      {"point", "point"},
      {"by three", "by three"},
      {"c", "c"},
      {"c nine", "c nine"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Written(c.said), c.written) << c.said;
}

TEST(TextForms, WrittenToSpokenAsAPersonSaysIt) {
  struct Case { const char* written; const char* said; };
  const Case cases[] = {
      {"3.2 x 2.1 cm", "three point two by two point one centimeters"},
      {"3.2 \xC3\x97 2.1 cm", "three point two by two point one centimeters"},
      {"C5-C6, L5-S1 and T12", "c five c six l five s one and t twelve"},
      {"at 10:30 and 9:05", "at ten thirty and nine oh five"},
      {"50 mg, 100 mL, 40%", "fifty milligrams one hundred milliliters forty percent"},
      {"1 cm", "one centimeter"},
      {"DLP 450 mGy-cm, 45 HU", "dlp four hundred fifty milligray centimeters forty five hounsfield units"},
      {"in 2024", "in twenty twenty four"},
      {"see series 4 image 56", "see series four image fifty six"},
      {"4 mL/s", "four milliliters per second"},
      {"scanned at 1400 hours, 1200 mL", "scanned at fourteen hundred hours twelve hundred milliliters"},
      {"1,200 mL in 1900 and 2000", "one thousand two hundred milliliters in nineteen hundred and two thousand"},
  };
  for (const auto& c : cases) EXPECT_EQ(Said(c.written), c.said) << c.written;
}

// Written -> spoken -> written gives the text back where it is written the
// way dictation writes it.
TEST(TextForms, RoundTrip) {
  const char* const texts[] = {
      "there is a 3.2 x 2.1 cm nodule",   "stable 2.5 x 1.8 x 1.6 cm mass", "mild disc bulge at C5-C6",
      "narrowing at L5-S1 and L4-5",      "fracture of T12 with 40% loss",  "injected at 10:30",
      "completed at 9:05",                "250 mL of contrast",             "see series 4 image 56",
      "a 20 gauge line",                  "45 HU",                          "DLP 450 mGy-cm",
      "a 0.5 cm cyst",                    "the study from 2022",            "CT dose index of 12.4 mGy",
      "two views",                        "12 nodules",                     "an 8 Fr pigtail",
      "at 7 AM",                          "4 mL/s",                          "March 5, 2024",
      "between 2 and 3 cm",               "1200 mL",                         "2 or 3 mm",
      "scanned at 1400 hours",
  };
  for (const char* t : texts) EXPECT_EQ(Written(Said(t)), t) << Said(t);
}

// Every unit of the list comes back as written after a number, said for one
// and for many: a typo in a list shows here.
TEST(TextForms, EveryUnitOfTheListRoundTrips) {
  for (const textforms::TUnit& u : textforms::Forms().units) {
    if (!u.read || !u.write || u.per || u.written == "-") continue;
    for (const char* n : {"1", "7"}) {
      const std::string written = std::string(n) + (u.tight ? "" : " ") + u.written;
      const std::string said = Said(written);
      EXPECT_EQ(Written(said), written) << said;
    }
  }
  EXPECT_GE(textforms::Forms().units.size(), 10u);
  EXPECT_GE(textforms::Forms().capitals.size(), 10u);
}

// Read-back: the voice gets the spoken form of what needs reading and the
// rest as written, and every character it gets points into the comment.
TEST(TextForms, ReadAloudKeepsTheRestAsWrittenAndPointsAtTheWrittenCharacters) {
  struct Case { const char* written; const char* spoken; };
  const Case cases[] = {
      {"A 3.2 x 2.1 cm nodule.", "A three point two by two point one centimeter nodule."},
      {"measures 3 cm in diameter; 2 cm.", "measures three centimeters in diameter; two centimeters."},
      {"a 20 mg dose, 20 mg of it", "a twenty milligram dose, twenty milligrams of it"},
      {"Narrowing at C5-C6, see CT.", "Narrowing at C five C six, see CT."},
      {"s/p CABG (2019)", "status post CABG (twenty nineteen)"},
      {"No acute fracture!\r\nStable.", "No acute fracture!\r\nStable."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAloud(c.written), c.spoken) << c.written;

  // Each spoken word stands for its written run.
  const std::u32string written = FromUtf8("A 3.2 x 2.1 cm nodule at C5-C6");
  const textforms::TReadAloud r = textforms::ReadAloud(written);
  const auto source = [&](const char* word) {
    const size_t at = r.text.find(FromUtf8(word));
    EXPECT_NE(at, std::u32string::npos) << word;
    if (at == std::u32string::npos) return std::string();
    return ToUtf8(written.substr(size_t(r.begin[at]), size_t(r.end[at] - r.begin[at])));
  };
  EXPECT_EQ(source("three"), "3.2");
  EXPECT_EQ(source("point two"), "3.2");
  EXPECT_EQ(source("by"), "x");
  EXPECT_EQ(source("centimeter"), "cm");
  EXPECT_EQ(source("nodule"), "n");
  EXPECT_EQ(source("five"), "C5-C6");
  EXPECT_EQ(source("six"), "C5-C6");
}

// Odd input neither crashes nor points outside the text, and what the voice
// reads of it stays in proportion.
TEST(TextForms, OddInputStaysInsideTheText) {
  const std::string longDigits(5000, '7');
  const std::string cases[] = {
      longDigits,
      "see https://example.org/a/b?c=1&d=2 and www.example.com/3.2cm",
      "3.2\xC3\x97" "2.1\xC3\x97" "1cm",
      "Mr A Cm and Dr X wrote cm x cm",
      "\xE6\x97\xA5\xE6\x9C\xAC 3 cm \xD0\x9C\xD0\xA0\xD0\xA2 C5-C6 \xF0\x9F\x98\x80 10:30",
      std::string("a\0b 3\0cm", 9),
      "1.2.3.4.5 1,2,3,4 12:34:56 99:99 ::: ... --- /// %%% 3-4-5-6 x2x3",
      std::string(300, 'x') + "5" + std::string(300, 'c'),
  };
  for (const std::string& c : cases) {
    const std::u32string written = FromUtf8(c);
    const textforms::TReadAloud r = textforms::ReadAloud(written);
    ASSERT_EQ(r.begin.size(), r.text.size());
    ASSERT_EQ(r.end.size(), r.text.size());
    int last = 0;
    for (size_t k = 0; k < r.text.size(); ++k) {
      ASSERT_LE(0, r.begin[k]);
      ASSERT_LT(r.begin[k], r.end[k]);
      ASSERT_LE(r.end[k], int(written.size()));
      ASSERT_LE(last, r.begin[k]) << "goes backwards at " << k;
      last = r.begin[k];
    }
    EXPECT_LE(r.text.size(), 40 * written.size() + 1);
    // The recogniser's words of odd text: no crash, nothing unbounded.
    std::vector<std::string> words;
    for (const auto& s : textforms::SpokenSentences(written))
      for (const auto& w : s) words.push_back(w.word);
    EXPECT_LE(textforms::WrittenText(words).size(), 4 * (c.size() + 1) * 8);
  }
  // Unit-like words away from numbers stay words.
  EXPECT_EQ(Written("a cm and an m g"), "a cm and an m g");
  EXPECT_EQ(Written("point point point"), "point point point");
}
