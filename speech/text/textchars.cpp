#include "textchars.h"

namespace learn {

const char32_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool NextUtf8(std::string_view s, size_t& i, char32_t& c) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  int len = 0;
  char32_t min = 0;
  if (b < 0x80) {
    c = b;
    ++i;
    return true;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, c = b & 0x07, min = 0x10000;
  } else {
    c = 0xFFFD;
    ++i;
    return false;
  }
  if (i + len > s.size()) {
    c = 0xFFFD;
    ++i;
    return false;
  }
  for (int k = 1; k < len; ++k) {
    const unsigned char t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) {
      c = 0xFFFD;
      ++i;
      return false;
    }
    c = (c << 6) | (t & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    c = 0xFFFD;
    ++i;
    return false;
  }
  i += len;
  return true;
}

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

bool IsLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}
bool IsAlnum(char32_t c) { return IsDigit(c) || IsLetter(c); }
bool IsSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == 0xA0 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x3000 || c == 0x202F;
}
char32_t Lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F && c % 2 == 0 && c != 0x138) return c + 1;
  return c;
}
char32_t Plain(char32_t c) {
  switch (c) {
    case 0x2018: case 0x2019: case 0x02BC: case 0x2032: case '`': return '\'';
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2212: return '-';
    case 0x201C: case 0x201D: case 0x201E: case 0xAB: case 0xBB: return '"';
    case 0x2044: case 0x2215: return '/';
    case 0xD7: return 'x';
    case 0x2026: return '.';
    default: return c;
  }
}

std::string Utf8(std::u32string_view s) {
  std::string out;
  for (char32_t c : s) PutUtf8(out, c);
  return out;
}

}  // namespace learn
