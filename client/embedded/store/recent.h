// A map bounded to about `cap` keys that keeps the recently used ones: the
// store's names caches.
//
// Two generations: a key is put into the newer one, and when that holds
// cap/2 keys it becomes the older one (the older one before it is dropped
// whole).  A key found in the older generation moves to the newer, so a key
// in use is never dropped while fewer than cap/2 others are put.
#ifndef NWC_STORE_RECENT_H
#define NWC_STORE_RECENT_H

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>

namespace nwc {

template <class K, class V, class H = std::hash<K>>
class Recent {
 public:
  explicit Recent(size_t cap) : half_(cap / 2 ? cap / 2 : 1) {}
  const V* get(const K& k) {
    if (auto it = now_.find(k); it != now_.end()) return &it->second;
    auto it = old_.find(k);
    if (it == old_.end()) return nullptr;
    return put(k, std::move(it->second));
  }
  const V* put(const K& k, V v) {
    if (now_.size() >= half_) {
      old_ = std::move(now_);
      now_.clear();
    }
    old_.erase(k);
    return &now_.insert_or_assign(k, std::move(v)).first->second;
  }
  void clear() {
    now_.clear();
    old_.clear();
  }
  size_t size() const { return now_.size() + old_.size(); }

 private:
  size_t half_;
  std::unordered_map<K, V, H> now_, old_;
};

}  // namespace nwc

#endif
