// text.h - compile-time texts: a fixed-size string usable as a template
// argument, and the joins that build usage texts and prototypes from a sub's
// argument names.  Everything here is evaluated by the compiler; nothing runs
// when the module loads.
#ifndef VORLA_FRAME_TEXT_H
#define VORLA_FRAME_TEXT_H

#include <cstddef>

namespace vorla {

// A zero-terminated text of N bytes (terminator included) that can be a
// template argument: Int<"context"> carries its name in its type.
template <std::size_t N>
struct Text {
  char s[N]{};
  constexpr Text() = default;
  constexpr Text(const char (&v)[N]) {
    for (std::size_t i = 0; i < N; ++i) s[i] = v[i];
  }
  static constexpr std::size_t size = N - 1;  // without the terminator
  constexpr const char* c_str() const { return s; }
};

// Room for generated texts: large enough for the longest usage line.
inline constexpr std::size_t kMaxGeneratedText = 256;

struct Generated {
  char s[kMaxGeneratedText]{};
  std::size_t n = 0;
  constexpr void add(const char* t) {
    while (*t) {
      if (n + 1 >= kMaxGeneratedText) throw "generated text too long";  // compile-time error
      s[n++] = *t++;
    }
    s[n] = 0;
  }
};

}  // namespace vorla

#endif
