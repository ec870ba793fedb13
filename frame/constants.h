// constants.h - the constant table and its lookup.
//
// The table is static and sorted by name; a lookup compares the whole name,
// byte for byte and case-sensitively, and halves the table at each step, so
// it makes at most kMaxConstantComparisons comparisons and never allocates.
#ifndef VORLA_FRAME_CONSTANTS_H
#define VORLA_FRAME_CONSTANTS_H

#include <cstddef>

namespace vorla {

struct Constant {
  const char* name;
  double value;
};

inline constexpr int kMaxConstantComparisons = 8;  // 2^8 > the table's size

// The entry named exactly by name[0..len), or nullptr.  When comparisons is
// given it receives the number of name comparisons the lookup made.
const Constant* find_constant(const char* name, std::size_t len, int* comparisons = nullptr) noexcept;

const Constant* constant_table() noexcept;
std::size_t constant_count() noexcept;

}  // namespace vorla

#endif
