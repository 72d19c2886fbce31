// Tokens of the binary encoding: a WORD token id, then its payload. Counts in the
// payload are checked against the bytes that remain before anything is read.
#include <bit>
#include <cstring>

#include "platform/d3dx9/XFileTokens.h"

namespace platform::d3dx9 {
namespace {

enum : std::uint16_t {
  kName = 1,
  kString = 2,
  kInteger = 3,
  kGuid = 5,
  kIntegerList = 6,
  kFloatList = 7,
  kOBrace = 10,
  kCBrace = 11,
  kOParen = 12,
  kCParen = 13,
  kOBracket = 14,
  kCBracket = 15,
  kOAngle = 16,
  kCAngle = 17,
  kDot = 18,
  kComma = 19,
  kSemicolon = 20,
  kTemplate = 31,
  kFirstKeyword = 40,
  kLastKeyword = 52,
};

// The keywords of template declarations, by token id from 40.
constexpr const char* kKeywords[] = {"WORD",    "DWORD",   "FLOAT",  "DOUBLE", "CHAR",
                                     "UCHAR",   "SWORD",   "SDWORD", "VOID",   "STRING",
                                     "UNICODE", "CSTRING", "array"};

}  // namespace

std::uint16_t XBinaryTokenizer::Word(std::size_t at) const {
  return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
}

std::uint32_t XBinaryTokenizer::Dword(std::size_t at) const {
  return static_cast<std::uint32_t>(data_[at]) | (static_cast<std::uint32_t>(data_[at + 1]) << 8) |
         (static_cast<std::uint32_t>(data_[at + 2]) << 16) |
         (static_cast<std::uint32_t>(data_[at + 3]) << 24);
}

void XBinaryTokenizer::TakeRestOfList(XValues* out) {
  if (failed_) return;
  // The open list, then every list, integer and separator that follows it, as the
  // parser would take them token by token; anything else (or a damaged list header,
  // which Next() then reports) ends the run.
  for (;;) {
    if (listLeft_ > 0) {
      // Lists were checked against the remaining bytes when opened.
      const std::size_t n = listLeft_;
      const std::uint8_t* p = data_ + pos_;
      if (list_ == List::Floats && floatBytes_ == 8) {
        std::uint32_t* v = out->Append(XValue::Float, n);
        for (std::size_t i = 0; i < n; ++i, p += 8) {
          std::uint64_t bits = 0;
          for (int k = 7; k >= 0; --k) bits = (bits << 8) | p[k];
          double d;
          std::memcpy(&d, &bits, sizeof d);
          const float f = NarrowToFloat(d);
          std::memcpy(&v[i], &f, sizeof f);
        }
      } else {
        // DWORDs and 32-bit floats alike: little-endian words kept as they are.
        std::uint32_t* v = out->Append(list_ == List::Integers ? XValue::UInt : XValue::Float, n);
        if constexpr (std::endian::native == std::endian::little) {
          std::memcpy(v, p, n * 4);
        } else {
          for (std::size_t i = 0; i < n; ++i) v[i] = Dword(pos_ + i * 4);
        }
        p += n * 4;
      }
      pos_ = static_cast<std::size_t>(p - data_);
      listLeft_ = 0;
    }
    if (!Have(2)) return;
    const std::uint16_t id = Word(pos_);
    if (id == kSemicolon || id == kComma) {
      pos_ += 2;
    } else if (id == kInteger) {
      if (!Have(6)) return;
      XValue v;
      v.bits = Dword(pos_ + 2);
      out->push_back(v);
      pos_ += 6;
    } else if (id == kIntegerList || id == kFloatList) {
      if (!Have(6)) return;
      const std::uint32_t count = Dword(pos_ + 2);
      const std::size_t each = id == kIntegerList ? 4 : floatBytes_;
      if (std::uint64_t{count} * each > size_ - pos_ - 6) return;
      pos_ += 6;
      list_ = id == kIntegerList ? List::Integers : List::Floats;
      listLeft_ = count;
    } else {
      return;
    }
  }
}

XToken XBinaryTokenizer::Next() {
  if (failed_) return Fail(message_, errorOffset_);
  XToken t;
  t.offset = pos_;
  if (listLeft_ > 0) {
    // Lists were checked against the remaining bytes when opened.
    --listLeft_;
    if (list_ == List::Integers) {
      t.kind = XTok::Integer;
      t.integer = Dword(pos_);
      pos_ += 4;
    } else if (floatBytes_ == 8) {
      std::uint64_t bits = 0;
      for (int i = 7; i >= 0; --i) bits = (bits << 8) | data_[pos_ + i];
      double d;
      std::memcpy(&d, &bits, sizeof d);
      t.kind = XTok::Float;
      t.number = NarrowToFloat(d);
      pos_ += 8;
    } else {
      const std::uint32_t bits = Dword(pos_);
      std::memcpy(&t.number, &bits, sizeof bits);
      t.kind = XTok::Float;
      pos_ += 4;
    }
    return t;
  }
  for (;;) {
    t.offset = pos_;
    if (pos_ >= size_) {
      t.kind = XTok::End;
      return t;
    }
    if (!Have(2)) return Fail("truncated token", pos_);
    const std::uint16_t id = Word(pos_);
    pos_ += 2;
    switch (id) {
      case kName:
      case kString: {
        if (!Have(4)) return Fail("truncated name or string", t.offset);
        const std::uint32_t count = Dword(pos_);
        pos_ += 4;
        if (!Have(count)) return Fail("name or string longer than the file", t.offset);
        t.kind = id == kName ? XTok::Name : XTok::String;
        t.text = std::string_view(reinterpret_cast<const char*>(data_ + pos_), count);
        pos_ += count;
        if (id == kString && Have(2)) {
          // The terminator is written as a separator token by some writers and as a
          // DWORD holding the separator's id by others; no token has id 0, so a zero
          // WORD after the id tells the second form apart.
          const std::uint16_t next = Word(pos_);
          if (next == kSemicolon || next == kComma) {
            pos_ += (Have(4) && Word(pos_ + 2) == 0) ? 4 : 2;
          }
        }
        return t;
      }
      case kInteger:
        if (!Have(4)) return Fail("truncated integer", t.offset);
        t.kind = XTok::Integer;
        t.integer = Dword(pos_);
        pos_ += 4;
        return t;
      case kGuid:
        if (!Have(16)) return Fail("truncated GUID", t.offset);
        t.kind = XTok::Guid;
        t.guid.Data1 = Dword(pos_);
        t.guid.Data2 = Word(pos_ + 4);
        t.guid.Data3 = Word(pos_ + 6);
        std::memcpy(t.guid.Data4, data_ + pos_ + 8, 8);
        pos_ += 16;
        return t;
      case kIntegerList:
      case kFloatList: {
        if (!Have(4)) return Fail("truncated list", t.offset);
        const std::uint32_t count = Dword(pos_);
        pos_ += 4;
        const std::size_t each = id == kIntegerList ? 4 : floatBytes_;
        // A product, not a quotient: a division per list costs more than the list.
        if (std::uint64_t{count} * each > size_ - pos_)
          return Fail("list longer than the file", t.offset);
        if (count == 0) continue;
        list_ = id == kIntegerList ? List::Integers : List::Floats;
        listLeft_ = count;
        t.kind = XTok::List;
        return t;
      }
      case kOBrace:
        t.kind = XTok::OBrace;
        return t;
      case kCBrace:
        t.kind = XTok::CBrace;
        return t;
      case kOParen:
        t.kind = XTok::OParen;
        return t;
      case kCParen:
        t.kind = XTok::CParen;
        return t;
      case kOBracket:
        t.kind = XTok::OBracket;
        return t;
      case kCBracket:
        t.kind = XTok::CBracket;
        return t;
      case kOAngle:
        t.kind = XTok::OAngle;
        return t;
      case kCAngle:
        t.kind = XTok::CAngle;
        return t;
      case kDot:
        t.kind = XTok::Dot;
        return t;
      case kComma:
        t.kind = XTok::Comma;
        return t;
      case kSemicolon:
        t.kind = XTok::Semicolon;
        return t;
      case kTemplate:
        t.kind = XTok::Template;
        return t;
      default:
        if (id >= kFirstKeyword && id <= kLastKeyword) {
          t.kind = XTok::Name;
          t.text = kKeywords[id - kFirstKeyword];
          return t;
        }
        return Fail("unknown token", t.offset);
    }
  }
}

}  // namespace platform::d3dx9
