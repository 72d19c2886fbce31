// The token streams of the two .X encodings. Both hand the parser the same tokens;
// runs of numbers (a binary list, checked against the bytes left when it opens, or text
// numbers between separators) go straight into an object's values in one call, and
// nothing is ever sized by a declared count alone.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/d3dx9/XFile.h"
#include "platform/win32/Win32Types.h"

namespace platform::d3dx9 {

// A double as the nearest float; values beyond float's range become infinities (a plain
// conversion of such values is undefined).
inline float NarrowToFloat(double d) {
  if (d > FLT_MAX) return INFINITY;
  if (d < -FLT_MAX) return -INFINITY;
  return static_cast<float>(d);
}

enum class XTok {
  End,
  Error,
  Name,
  String,
  Integer,
  Float,
  Guid,
  OBrace,
  CBrace,
  OParen,
  CParen,
  OBracket,
  CBracket,
  OAngle,
  CAngle,
  Dot,
  Comma,
  Semicolon,
  Template,
  List,  // binary only: a list of numbers opens; TakeRestOfList takes it, Next() its values
};

struct XToken {
  XTok kind = XTok::End;
  std::string_view text;      // Name, String: a view into the file
  std::uint32_t integer = 0;  // Integer: magnitude
  bool negative = false;      // Integer: written with a minus sign (text only)
  float number = 0;           // Float
  GUID guid{};                // Guid
  std::size_t offset = 0;     // where the token starts, for error messages
};

class XTokenizer {
 public:
  virtual ~XTokenizer() = default;
  // The next token; XTok::Error with message() set on malformed input. Once End or
  // Error is returned, every later call returns the same.
  virtual XToken Next() = 0;
  // Right after a number or List token: appends the numbers that follow it in the same
  // list (a binary list's remaining values; in text, numbers and separators up to the
  // next other token) to *out in one go, exactly as the parser would have taken them
  // one token at a time.
  virtual void TakeRestOfList(XValues*) {}
  const char* message() const { return message_; }
  std::size_t errorOffset() const { return errorOffset_; }

 protected:
  XToken Fail(const char* message, std::size_t offset) {
    message_ = message;
    errorOffset_ = offset;
    failed_ = true;
    XToken t;
    t.kind = XTok::Error;
    t.offset = offset;
    return t;
  }
  bool failed_ = false;
  const char* message_ = "";
  std::size_t errorOffset_ = 0;
};

class XTextTokenizer final : public XTokenizer {
 public:
  XTextTokenizer(const char* data, std::size_t size, std::size_t start)
      : data_(data), size_(size), pos_(start) {}
  XToken Next() override;
  // Text lists are numbers between separators: this takes them, with the separators,
  // up to the first token that is anything else, which Next() then returns.
  void TakeRestOfList(XValues* out) override;

 private:
  const char* data_;
  std::size_t size_;
  std::size_t pos_;
};

class XBinaryTokenizer final : public XTokenizer {
 public:
  XBinaryTokenizer(const char* data, std::size_t size, std::size_t start, int floatBits)
      : data_(reinterpret_cast<const std::uint8_t*>(data)),
        size_(size),
        pos_(start),
        floatBytes_(floatBits == 64 ? 8 : 4) {}
  XToken Next() override;
  void TakeRestOfList(XValues* out) override;

 private:
  bool Have(std::size_t n) const { return size_ - pos_ >= n; }
  std::uint16_t Word(std::size_t at) const;
  std::uint32_t Dword(std::size_t at) const;

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;
  std::size_t floatBytes_;
  enum class List { None, Integers, Floats } list_ = List::None;
  std::uint32_t listLeft_ = 0;
};

}  // namespace platform::d3dx9
