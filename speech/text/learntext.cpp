#include "learntext.h"

#include "clinicalforms.h"

namespace learn {
namespace {

// Windows-1252's 0x80..0x9F; the undefined ones keep their C1 number.
constexpr char32_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

}  // namespace

bool LooksBinary(std::string_view bytes) {
  size_t controls = 0;
  for (unsigned char c : bytes) {
    if (c == 0) return true;
    if (c < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != 0x1A) ++controls;
  }
  return controls > 8 && controls * 100 > bytes.size();
}

std::string TextAsUtf8(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  bool valid = true;
  for (size_t i = 0; i < bytes.size() && valid;) {
    char32_t c;
    valid = textforms::NextUtf8(bytes, i, c);
  }
  if (valid) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char b : bytes) textforms::PutUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t(b));
  return out;
}

std::vector<TSentence> NormaliseText(std::string_view utf8) {
  std::vector<TSentence> out;
  for (const auto& sentence : textforms::SpokenSentences(textforms::FromUtf8(utf8))) {
    TSentence words;
    words.reserve(sentence.size());
    for (const auto& w : sentence) words.push_back(w.word);
    out.push_back(std::move(words));
  }
  return out;
}

std::string NumberWords(uint64_t n) { return textforms::NumberWords(n); }

}  // namespace learn
