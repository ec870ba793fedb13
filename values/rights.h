// Rights letters: the bracketed letter form of a rights mask inside an object
// ACL value, e.g. "[BADRS]" for a full entry mask.
//
// Three alphabets, chosen by the ACL's protected attribute name:
//   "[Entry Rights]"  B 0x01  A 0x02  D 0x04  R 0x08  S 0x10
//   "[SMS Rights]"    S 0x01  B 0x02  R 0x04  C 0x08  D 0x10  A 0x20
//   any other name    C 0x01  R 0x02  W 0x04  A 0x08          S 0x20
// Invariants: the writer picks the alphabet by an exact (case-sensitive) name
// match and the reader case-insensitively; a null name means "any other name".
// Bits without a letter in the chosen alphabet are dropped when writing, so
// a mask of letter bits only survives writing and reading back unchanged.
#ifndef VORLA_VALUES_RIGHTS_H
#define VORLA_VALUES_RIGHTS_H

#include <cstdint>
#include <string>

namespace vorla {

// Appends "[" + one letter per set bit that has one, in ascending bit order, + "]".
void RightsToLetters(const char* protectedAttrName, uint32_t mask, std::string& out);

// Mask of the letters of the chosen alphabet found in letters (any case, any
// order, repeats allowed); every other character is skipped. 0 when either
// argument is null.
uint32_t LettersToRights(const char* protectedAttrName, const char* letters) noexcept;

}  // namespace vorla

#endif
