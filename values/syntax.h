// Syntax classes: the five-way classification of a directory syntax id that
// decides the script form of an attribute value (integer, string, value text,
// nothing, or refused).
//
// Invariants: SyntaxClassOf is total over all 32-bit ids, has no side effects,
// and is the one place that knows which id belongs to which class; the value
// text renderer and reader only handle ids of the structured class (plus the
// stream syntax, which renders as the empty text).
#ifndef VORLA_VALUES_SYNTAX_H
#define VORLA_VALUES_SYNTAX_H

#include <cstdint>

namespace vorla {

enum class SyntaxClass : int { Integer = 0, String = 1, Structured = 2, NoValue = 3, Unsupported = 4 };

// Class of a syntax id; every id from 28 (SYN_COMPONENT) upwards, the count
// 37 and ids that scripts give as negative numbers included, is Unsupported.
SyntaxClass SyntaxClassOf(uint32_t syntaxId) noexcept;

}  // namespace vorla

#endif
