// Simple case folding of UTF-8 text for name and string matching.
#include <cstdint>
#include <string>
#include <string_view>

#include "names/names.h"

namespace nwc {
namespace {

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i,
// or returns -1 (and advances by one byte) for a malformed sequence.
int32_t decode(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  int32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    ++i;
    return -1;
  }
  if (i + len > s.size()) {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  // Reject overlong forms so that one code point has one spelling.
  if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) {
    ++i;
    return -1;
  }
  i += len;
  return cp;
}

void encode(int32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int32_t fold(int32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 capitals, not ×
  if (c >= 0x100 && c <= 0x17F) {                 // Latin Extended-A
    if (c == 0x130) return 'i';
    if (c == 0x178) return 0xFF;
    if (c == 0x17F) return 's';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c == 0x131 || c == 0x138 || c == 0x149) return c;
    return (c & 1) ? c : c + 1;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
  if (c == 0x3C2) return 0x3C3;                               // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

}  // namespace

std::string fold_case(std::string_view text) {
  std::string out;
  fold_case_into(out, text);
  return out;
}

void fold_case_into(std::string& out, std::string_view text) {
  out.assign(text.data(), text.size());
  size_t i = 0;
  for (; i < out.size(); ++i) {  // ASCII folds in place
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 0x80) break;
    if (c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
  }
  if (i == out.size()) return;
  out.resize(i);
  while (i < text.size()) {
    const size_t start = i;
    const int32_t cp = decode(text, i);
    if (cp < 0) {
      out += text[start];
      continue;
    }
    encode(fold(cp), out);
  }
}

size_t count_chars(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace nwc
