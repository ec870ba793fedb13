// Expected<T>: a value or a published status code (negative), used by the
// engine modules (names, schema, store) instead of exceptions.
//
// Invariants: a failed Expected always carries a non-zero status; a
// successful one carries status 0 and a value.  Reading the value of a
// failed Expected is a programming error (checked by assert only).
#ifndef NWC_EXPECTED_H
#define NWC_EXPECTED_H

#include <cassert>
#include <optional>
#include <utility>

namespace nwc {

using Status = int;  // 0 or a published status code

struct Failure {
  Status status;
};

inline Failure fail(Status s) { return Failure{s}; }

template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  Expected(Failure f) : status_(f.status) { assert(f.status != 0); }  // NOLINT

  bool ok() const { return status_ == 0; }
  explicit operator bool() const { return ok(); }
  Status status() const { return status_; }

  T& value() & { assert(ok()); return *value_; }
  const T& value() const& { assert(ok()); return *value_; }
  // By value, so that `for (x : f().value())` does not outlive the temporary.
  T value() && { assert(ok()); return std::move(*value_); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

 private:
  std::optional<T> value_;
  Status status_ = 0;
};

}  // namespace nwc

#endif
