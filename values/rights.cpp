// Rights letters: the three alphabets and the two directions of conversion.
// Comparisons and capitalisation are plain ASCII so that the process locale
// cannot change which alphabet or letter is meant.
#include "values/rights.h"

#include <cstring>

namespace vorla {

namespace {

// Letter of bit (1 << i), or 0 when that bit has none.
using Alphabet = char[6];

constexpr Alphabet kEntryAlphabet = {'B', 'A', 'D', 'R', 'S', 0};
constexpr Alphabet kSmsAlphabet = {'S', 'B', 'R', 'C', 'D', 'A'};
constexpr Alphabet kAttributeAlphabet = {'C', 'R', 'W', 'A', 0, 'S'};

constexpr char kEntryRightsName[] = "[Entry Rights]";
constexpr char kSmsRightsName[] = "[SMS Rights]";

char AsciiUpper(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const char* a, const char* b) noexcept {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (AsciiUpper(*a) != AsciiUpper(*b)) return false;
  }
  return *a == *b;
}

const char* AlphabetForWriting(const char* name) noexcept {
  if (name != nullptr) {
    if (std::strcmp(name, kEntryRightsName) == 0) return kEntryAlphabet;
    if (std::strcmp(name, kSmsRightsName) == 0) return kSmsAlphabet;
  }
  return kAttributeAlphabet;
}

const char* AlphabetForReading(const char* name) noexcept {
  if (EqualIgnoringCase(name, kEntryRightsName)) return kEntryAlphabet;
  if (EqualIgnoringCase(name, kSmsRightsName)) return kSmsAlphabet;
  return kAttributeAlphabet;
}

}  // namespace

void RightsToLetters(const char* protectedAttrName, uint32_t mask, std::string& out) {
  const char* alphabet = AlphabetForWriting(protectedAttrName);
  out.push_back('[');
  for (int bit = 0; bit < 6; ++bit) {
    if ((mask & (1u << bit)) != 0 && alphabet[bit] != 0) out.push_back(alphabet[bit]);
  }
  out.push_back(']');
}

uint32_t LettersToRights(const char* protectedAttrName, const char* letters) noexcept {
  if (protectedAttrName == nullptr || letters == nullptr) return 0;
  const char* alphabet = AlphabetForReading(protectedAttrName);
  uint32_t mask = 0;
  for (const char* p = letters; *p != '\0'; ++p) {
    const char c = AsciiUpper(*p);
    for (int bit = 0; bit < 6; ++bit) {
      if (alphabet[bit] != 0 && alphabet[bit] == c) mask |= 1u << bit;
    }
  }
  return mask;
}

}  // namespace vorla
