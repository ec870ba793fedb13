// Test helpers for the value layer: native records built the way the client
// delivers them (texts and bytes owned by an arena, replica addresses inline,
// byte blocks of exactly their stated size so the sanitizers see any overrun),
// and an owner for what ParseAttrValue returns.
#ifndef VORLA_TESTS_VALUES_RECORDS_H
#define VORLA_TESTS_VALUES_RECORDS_H

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "nwclient.h"
#include "values/parse.h"
#include "values/render.h"

namespace vorla::testing {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

class RecordArena {
 public:
  char* Text(std::string s) {
    texts_.push_back(std::move(s));
    return texts_.back().data();
  }
  // A zero-filled block of exactly n bytes (null for n == 0).
  void* Block(std::size_t n) {
    if (n == 0) return nullptr;
    blocks_.emplace_back(std::calloc(n, 1));
    return blocks_.back().get();
  }
  nuint8* Bytes(const std::vector<nuint8>& b) {
    auto* p = static_cast<nuint8*>(Block(b.size()));
    if (p != nullptr) std::memcpy(p, b.data(), b.size());
    return p;
  }
  template <typename T>
  T* Record() {
    return static_cast<T*>(Block(sizeof(T)));
  }
  // A replica pointer with room for exactly count inline addresses.
  Replica_Pointer_T* Replica(uint32_t count) {
    const std::size_t slots = count > 0 ? count : 1;
    auto* r = static_cast<Replica_Pointer_T*>(
        Block(offsetof(Replica_Pointer_T, replicaAddressHint) + slots * sizeof(Net_Address_T)));
    r->count = count;
    return r;
  }

 private:
  std::deque<std::string> texts_;
  std::vector<std::unique_ptr<void, FreeDeleter>> blocks_;
};

inline Net_Address_T* AddressesOf(Replica_Pointer_T* r) {
  return reinterpret_cast<Net_Address_T*>(reinterpret_cast<char*>(r) +
                                          offsetof(Replica_Pointer_T, replicaAddressHint));
}

inline std::string Render(const void* value, uint32_t syntaxId) {
  std::string out;
  vorla::RenderAttrValue(value, syntaxId, out);
  return out;
}

// Owns a parsed value; the text it points into must outlive it.
class Parsed {
 public:
  Parsed(std::string& text, uint32_t syntaxId)
      : value_(vorla::ParseAttrValue(text.data(), text.size(), syntaxId)), syntaxId_(syntaxId) {}
  ~Parsed() { vorla::FreeParsedValue(value_, syntaxId_); }
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;
  bool ok() const { return value_ != nullptr; }
  template <typename T>
  T* as() const {
    return static_cast<T*>(value_);
  }

 private:
  void* value_;
  uint32_t syntaxId_;
};

}  // namespace vorla::testing

#endif
