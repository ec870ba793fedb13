// Syntax classes: one fixed table for the ids the directory defines (0..27);
// everything above is unsupported.
#include "values/syntax.h"

#include <array>

namespace vorla {

namespace {

constexpr SyntaxClass I = SyntaxClass::Integer;
constexpr SyntaxClass S = SyntaxClass::String;
constexpr SyntaxClass M = SyntaxClass::Structured;
constexpr SyntaxClass N = SyntaxClass::NoValue;

constexpr std::array<SyntaxClass, 28> kClassById = {
    M,  // 0  SYN_UNKNOWN (structured, though it has no value text layout)
    S,  // 1  SYN_DIST_NAME
    S,  // 2  SYN_CE_STRING
    S,  // 3  SYN_CI_STRING
    S,  // 4  SYN_PR_STRING
    S,  // 5  SYN_NU_STRING
    M,  // 6  SYN_CI_LIST
    I,  // 7  SYN_BOOLEAN
    I,  // 8  SYN_INTEGER
    M,  // 9  SYN_OCTET_STRING
    S,  // 10 SYN_TEL_NUMBER
    M,  // 11 SYN_FAX_NUMBER
    M,  // 12 SYN_NET_ADDRESS
    M,  // 13 SYN_OCTET_LIST
    M,  // 14 SYN_EMAIL_ADDRESS
    M,  // 15 SYN_PATH
    M,  // 16 SYN_REPLICA_POINTER
    M,  // 17 SYN_OBJECT_ACL
    M,  // 18 SYN_PO_ADDRESS
    M,  // 19 SYN_TIMESTAMP
    S,  // 20 SYN_CLASS_NAME
    N,  // 21 SYN_STREAM
    I,  // 22 SYN_COUNTER
    M,  // 23 SYN_BACK_LINK
    I,  // 24 SYN_TIME
    M,  // 25 SYN_TYPED_NAME
    M,  // 26 SYN_HOLD
    I,  // 27 SYN_INTERVAL
};

}  // namespace

SyntaxClass SyntaxClassOf(uint32_t syntaxId) noexcept {
  if (syntaxId < kClassById.size()) return kClassById[syntaxId];
  return SyntaxClass::Unsupported;
}

}  // namespace vorla
