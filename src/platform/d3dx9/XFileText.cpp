// Tokens of the text encoding: comments ("//" and "#"), single-character separators,
// quoted strings, <GUID>s, numbers and names.
#include <array>
#include <charconv>
#include <cstring>

#include "platform/d3dx9/XFileTokens.h"

namespace platform::d3dx9 {
namespace {

// Character classes by table: the tokenizer looks at every byte of the file.
enum : std::uint8_t { kSpace = 1, kSeparator = 2, kDigit = 4 };

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned char c : {' ', '\t', '\r', '\n', '\f', '\v'}) t[c] = kSpace;
  for (unsigned char c : {'{', '}', '[', ']', '(', ')', '<', '>', ',', ';', '"'}) t[c] = kSeparator;
  for (unsigned char c = '0'; c <= '9'; ++c) t[c] = kDigit;
  return t;
}
constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

bool IsSpace(char c) {
  return kClasses[static_cast<unsigned char>(c)] & kSpace;
}

bool EndsWord(char c) {
  return kClasses[static_cast<unsigned char>(c)] & (kSpace | kSeparator);
}

// Powers of ten that a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common decimal form "digits.digits" (no exponent) with at most 15 significant
// digits: the digits as an integer and the power of ten are both exact doubles, so one
// division gives the correctly rounded value, the same as a full conversion. False for
// anything else, which then takes the full conversion.
bool ParseSimpleDecimal(const char* p, const char* end, double* out) {
  std::uint64_t digits = 0;
  int count = 0, fraction = 0;
  bool point = false, any = false;
  for (; p < end; ++p) {
    const char c = *p;
    if (c >= '0' && c <= '9') {
      any = true;
      if (digits != 0 || c != '0') ++count;
      digits = digits * 10 + static_cast<unsigned>(c - '0');
      if (point) ++fraction;
      if (count > 15) return false;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!any || fraction > 22) return false;
  *out = static_cast<double>(digits) / kExactTens[fraction];
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at p into *out; false on any non-hex character.
template <class T>
bool ParseHex(const char* p, int digits, T* out) {
  std::uint64_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit(p[i]);
    if (d < 0) return false;
    v = (v << 4) | static_cast<unsigned>(d);
  }
  *out = static_cast<T>(v);
  return true;
}

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"
bool ParseGuidText(std::string_view s, GUID* guid) {
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
  const char* p = s.data();
  if (!ParseHex(p, 8, &guid->Data1) || !ParseHex(p + 9, 4, &guid->Data2) ||
      !ParseHex(p + 14, 4, &guid->Data3))
    return false;
  if (!ParseHex(p + 19, 2, &guid->Data4[0]) || !ParseHex(p + 21, 2, &guid->Data4[1])) return false;
  for (int i = 0; i < 6; ++i)
    if (!ParseHex(p + 24 + 2 * i, 2, &guid->Data4[2 + i])) return false;
  return true;
}

// A word is a number when it parses whole as one; "1abc" or "Box.01" are names.
bool ParseNumber(std::string_view word, XToken* token) {
  const char* begin = word.data();
  const char* end = begin + word.size();
  const char* p = begin;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return false;
  bool integral = true;
  for (const char* q = p; q < end; ++q)
    if (*q < '0' || *q > '9') integral = false;
  if (integral) {
    std::uint64_t v = 0;
    for (const char* q = p; q < end; ++q) {
      v = v * 10 + static_cast<unsigned>(*q - '0');
      if (v > 0xFFFFFFFFull) {
        integral = false;  // too large for an integer: keep it as a float
        break;
      }
    }
    if (integral) {
      if (negative && v > 0x80000000ull) return false;
      token->kind = XTok::Integer;
      token->integer = static_cast<std::uint32_t>(v);
      token->negative = negative && v != 0;
      return true;
    }
  }
  double d = 0;
  if (!ParseSimpleDecimal(p, end, &d)) {
    const auto result = std::from_chars(p, end, d);
    if (result.ec != std::errc() || result.ptr != end) return false;
  }
  token->kind = XTok::Float;
  token->number = NarrowToFloat(negative ? -d : d);
  return true;
}

}  // namespace

void XTextTokenizer::TakeRestOfList(XValues* out) {
  if (failed_) return;
  for (;;) {
    while (pos_ < size_ && IsSpace(data_[pos_])) ++pos_;
    if (pos_ >= size_) return;
    const char c = data_[pos_];
    if (c == ';' || c == ',') {
      ++pos_;
      continue;
    }
    if (c == '#' || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
      while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
      continue;
    }
    if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.')) return;
    std::size_t end = pos_;
    while (end < size_ && !EndsWord(data_[end])) ++end;
    XToken t;
    if (!ParseNumber(std::string_view(data_ + pos_, end - pos_), &t)) return;  // Next() decides
    pos_ = end;
    XValue v;
    if (t.kind == XTok::Integer) {
      v.kind = t.negative ? XValue::NegInt : XValue::UInt;
      v.bits = t.negative ? 0u - t.integer : t.integer;
    } else {
      v.kind = XValue::Float;
      std::memcpy(&v.bits, &t.number, sizeof v.bits);
    }
    out->push_back(v);
  }
}

XToken XTextTokenizer::Next() {
  if (failed_) return Fail(message_, errorOffset_);
  for (;;) {
    while (pos_ < size_ && IsSpace(data_[pos_])) ++pos_;
    if (pos_ >= size_) {
      XToken t;
      t.kind = XTok::End;
      t.offset = size_;
      return t;
    }
    const char c = data_[pos_];
    if (c == '#' || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
      while (pos_ < size_ && data_[pos_] != '\n') ++pos_;
      continue;
    }
    break;
  }
  XToken t;
  t.offset = pos_;
  const char c = data_[pos_];
  switch (c) {
    case '{':
      ++pos_;
      t.kind = XTok::OBrace;
      return t;
    case '}':
      ++pos_;
      t.kind = XTok::CBrace;
      return t;
    case '[':
      ++pos_;
      t.kind = XTok::OBracket;
      return t;
    case ']':
      ++pos_;
      t.kind = XTok::CBracket;
      return t;
    case '(':
      ++pos_;
      t.kind = XTok::OParen;
      return t;
    case ')':
      ++pos_;
      t.kind = XTok::CParen;
      return t;
    case '>':
      ++pos_;
      t.kind = XTok::CAngle;
      return t;
    case ',':
      ++pos_;
      t.kind = XTok::Comma;
      return t;
    case ';':
      ++pos_;
      t.kind = XTok::Semicolon;
      return t;
    case '"': {
      const std::size_t start = pos_ + 1;
      std::size_t end = start;
      while (end < size_ && data_[end] != '"') ++end;
      if (end >= size_) return Fail("unterminated string", t.offset);
      t.kind = XTok::String;
      t.text = std::string_view(data_ + start, end - start);
      pos_ = end + 1;
      return t;
    }
    case '<': {
      // A GUID: everything up to '>' with blanks ignored around it.
      std::size_t end = pos_ + 1;
      while (end < size_ && data_[end] != '>' && end - pos_ < 64) ++end;
      if (end >= size_ || data_[end] != '>') return Fail("malformed GUID", t.offset);
      std::string_view inside(data_ + pos_ + 1, end - pos_ - 1);
      while (!inside.empty() && IsSpace(inside.front())) inside.remove_prefix(1);
      while (!inside.empty() && IsSpace(inside.back())) inside.remove_suffix(1);
      if (!ParseGuidText(inside, &t.guid)) return Fail("malformed GUID", t.offset);
      t.kind = XTok::Guid;
      pos_ = end + 1;
      return t;
    }
    default:
      break;
  }
  std::size_t end = pos_;
  while (end < size_ && !EndsWord(data_[end])) ++end;
  const std::string_view word(data_ + pos_, end - pos_);
  pos_ = end;
  if (ParseNumber(word, &t)) return t;
  if (word.size() == 8) {
    char lower[9] = {};
    for (int i = 0; i < 8; ++i) lower[i] = static_cast<char>(word[i] | 0x20);
    if (std::strcmp(lower, "template") == 0) {
      t.kind = XTok::Template;
      return t;
    }
  }
  const char first = word[0];
  if (first == '-' || first == '+' ||
      (first >= '0' && first <= '9' && word.find('.') != std::string_view::npos &&
       word.find_first_not_of("0123456789.eE+-") == std::string_view::npos))
    return Fail("malformed number", t.offset);
  t.kind = XTok::Name;
  t.text = word;
  return t;
}

}  // namespace platform::d3dx9
