// Tokens of the text encoding: comments ("//" and "#"), single-character separators,
// quoted strings, <GUID>s, numbers and names.
#include <array>
#include <charconv>
#include <cstring>

#include "platform/d3dx9/XFileTokens.h"

namespace platform::d3dx9 {
namespace {

// Character classes by table: the tokenizer looks at every byte of the file.
enum : std::uint8_t { kSpace = 1, kSeparator = 2, kDigit = 4, kListGap = 8, kNumberStart = 16 };

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned char c : {' ', '\t', '\r', '\n', '\f', '\v'}) t[c] = kSpace | kListGap;
  for (unsigned char c : {'{', '}', '[', ']', '(', ')', '<', '>', ',', ';', '"'}) t[c] = kSeparator;
  t[','] |= kListGap;
  t[';'] |= kListGap;
  for (unsigned char c = '0'; c <= '9'; ++c) t[c] = kDigit | kNumberStart;
  for (unsigned char c : {'-', '+', '.'}) t[c] = kNumberStart;
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
constexpr double kExactTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// A number as read from the text: an integer (magnitude and sign) or a float.
struct TextNumber {
  bool integer = false;
  bool negative = false;
  std::uint32_t magnitude = 0;
  float value = 0;
};

// Appends digits at p to *mantissa (wrapping past 19 digits: the caller counts them).
inline const char* Digits(const char* p, const char* end, std::uint64_t* mantissa) {
  std::uint64_t m = *mantissa;
  for (; p < end; ++p) {
    const unsigned d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
    if (d >= 10) break;
    m = m * 10 + d;
  }
  *mantissa = m;
  return p;
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

// The number whose word starts at p (the word runs to the first blank or separator
// before end): the word's end when the whole word is a number, null when it is not
// ("1abc" and "Box.01" are names). One pass over the digits serves the forms files
// use; anything else (exponents, long mantissas) takes the full conversion.
//
// The one-pass float: up to 15 significant digits are an exact double and so is 10^k
// for k ≤ 8 fraction digits, so their quotient is the correctly rounded double; and a
// decimal of that size is never within half a double's ulp of a point halfway between
// two floats (its distance to one is at least 1 / (10^k 2^25) relative, more than
// 2^-53 while 10^k < 2^28), so narrowing it gives the correctly rounded float too.
const char* ScanNumber(const char* p, const char* end, TextNumber* out) {
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) {
    negative = *p == '-';
    ++p;
  }
  const char* digits = p;
  std::uint64_t mantissa = 0;
  const char* q = Digits(p, end, &mantissa);
  std::size_t count = static_cast<std::size_t>(q - p);
  std::size_t fraction = 0;
  const bool point = q < end && *q == '.';
  if (point) {
    const char* f = q + 1;
    q = Digits(f, end, &mantissa);
    fraction = static_cast<std::size_t>(q - f);
    count += fraction;
  }
  if (count == 0) return nullptr;
  const char* wordEnd = q;
  // Up to 19 digits cannot wrap; then fewer than 10^15 means at most 15 significant.
  bool simple = count <= 19;
  if (q < end && !EndsWord(*q)) {
    while (wordEnd < end && !EndsWord(*wordEnd)) ++wordEnd;
    simple = false;
  }
  out->negative = negative;
  if (simple && !point && mantissa <= 0xFFFFFFFFull) {
    if (negative && mantissa > 0x80000000ull) return nullptr;
    out->integer = true;
    out->magnitude = static_cast<std::uint32_t>(mantissa);
    out->negative = negative && mantissa != 0;
    return wordEnd;
  }
  out->integer = false;
  float value;
  if (simple && mantissa < 1000000000000000ull && fraction <= 8) {
    value = static_cast<float>(static_cast<double>(mantissa) / kExactTens[fraction]);
  } else {
    // The full conversion, straight to float so it is rounded once; beyond float's
    // range the double decides between an infinity and zero.
    const auto result = std::from_chars(digits, wordEnd, value);
    if (result.ec == std::errc::result_out_of_range && result.ptr == wordEnd) {
      double d = 0;
      const auto wide = std::from_chars(digits, wordEnd, d);
      if (wide.ec != std::errc() || wide.ptr != wordEnd) return nullptr;
      value = NarrowToFloat(d);
    } else if (result.ec != std::errc() || result.ptr != wordEnd) {
      return nullptr;
    }
  }
  out->value = negative ? -value : value;
  return wordEnd;
}

}  // namespace

void XTextTokenizer::TakeRestOfList(XValues* out) {
  if (failed_) return;
  const char* const end = data_ + size_;
  const char* p = data_ + pos_;
  for (;;) {
    while (p < end && (kClasses[static_cast<unsigned char>(*p)] & kListGap)) ++p;
    if (p >= end) break;
    const char c = *p;
    if (c == '#' || (c == '/' && p + 1 < end && p[1] == '/')) {
      while (p < end && *p != '\n') ++p;
      continue;
    }
    if (!(kClasses[static_cast<unsigned char>(c)] & kNumberStart)) break;
    TextNumber n;
    const char* after = ScanNumber(p, end, &n);
    if (!after) break;  // Next() decides
    p = after;
    XValue v;
    if (n.integer) {
      v.kind = n.negative ? XValue::NegInt : XValue::UInt;
      v.bits = n.negative ? 0u - n.magnitude : n.magnitude;
    } else {
      v.kind = XValue::Float;
      std::memcpy(&v.bits, &n.value, sizeof v.bits);
    }
    out->push_back(v);
  }
  pos_ = static_cast<std::size_t>(p - data_);
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
  TextNumber n;
  if (const char* after = ScanNumber(data_ + pos_, data_ + size_, &n)) {
    pos_ = static_cast<std::size_t>(after - data_);
    if (n.integer) {
      t.kind = XTok::Integer;
      t.integer = n.magnitude;
      t.negative = n.negative;
    } else {
      t.kind = XTok::Float;
      t.number = n.value;
    }
    return t;
  }
  std::size_t end = pos_;
  while (end < size_ && !EndsWord(data_[end])) ++end;
  const std::string_view word(data_ + pos_, end - pos_);
  pos_ = end;
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
