// The word lists behind the text forms (forms/*.txt, compiled in), read once.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace textforms {

// One list file as compiled in: its name without .txt and its text.
struct TFormsList {
  const char* name;
  const char* text;
};
extern const TFormsList kFormsLists[];
extern const int kFormsListCount;

using TWords = std::vector<std::string>;

struct TUnit {
  std::string written;  // "-": the spoken word is kept
  TWords one, many;
  bool read = true;     // read aloud after a number
  bool write = true;    // written from speech after a number
  bool free = false;    // read without a number too
  bool per = false;     // written from speech only after "per"
  bool tight = false;   // no blank after the number
  bool adjective = false;  // said in the singular before a noun ("a 3 cm nodule")
};

struct TPunctuation {
  std::string symbol;
  TWords words;
  bool endOnly = false;
};

struct TFormsData {
  std::vector<TUnit> units;
  std::map<std::string, const TUnit*> unitByWritten;  // lower case
  std::map<std::string, std::string> abbreviations;   // written, lower case -> words
  std::vector<std::string> dotted;                     // abbreviations that own their full stop
  std::vector<std::pair<TWords, std::string>> capitals;  // spoken words -> written, longest first
  std::set<std::string> numbered, months;
  std::set<std::string> keepPlural;  // words after a unit that are no noun it describes
  std::vector<TPunctuation> punctuation;
};

const TFormsData& Forms();

// The rows of a list: fields split at " | ", escapes (\n, \#, \\) undone;
// blank lines and comments ("#" first) left out.  Throws std::logic_error
// for a list that is not compiled in.
std::vector<std::vector<std::string>> FormsRows(std::string_view name);

TWords SplitWords(std::string_view s);

}  // namespace textforms
