// constants.cpp - the constant table (frame/constant_table.inc) and its lookup.
#include "frame/constants.h"

#include <cstring>

namespace vorla {
namespace {

#define K(name, value) Constant{#name, static_cast<double>(value##LL)},
constexpr Constant kTable[] = {
#include "frame/constant_table.inc"
};
#undef K

constexpr std::size_t kCount = sizeof(kTable) / sizeof(kTable[0]);

constexpr int compare(const char* a, std::size_t alen, const char* b) {
  std::size_t i = 0;
  for (; i < alen && b[i]; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < alen) return 1;   // the name is longer
  return b[i] ? -1 : 0;     // the entry is longer, or equal
}

constexpr std::size_t length(const char* s) {
  std::size_t n = 0;
  while (s[n]) ++n;
  return n;
}

constexpr bool sorted_and_unique() {
  for (std::size_t i = 1; i < kCount; ++i)
    if (compare(kTable[i - 1].name, length(kTable[i - 1].name), kTable[i].name) >= 0) return false;
  return true;
}

static_assert(kCount == 231, "the constant table holds 231 names");
static_assert(sorted_and_unique(), "the constant table must be sorted by name, without repeats");
static_assert((std::size_t{1} << kMaxConstantComparisons) > kCount, "lookup bound");

}  // namespace

const Constant* find_constant(const char* name, std::size_t len, int* comparisons) noexcept {
  std::size_t lo = 0, hi = kCount;
  int made = 0;
  const Constant* found = nullptr;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    ++made;
    const int c = compare(name, len, kTable[mid].name);
    if (c == 0) {
      found = &kTable[mid];
      break;
    }
    if (c < 0)
      hi = mid;
    else
      lo = mid + 1;
  }
  if (comparisons) *comparisons = made;
  return found;
}

const Constant* constant_table() noexcept { return kTable; }
std::size_t constant_count() noexcept { return kCount; }

}  // namespace vorla
