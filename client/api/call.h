/*
 * call.h - the call layer: the one road every public function takes.
 *
 * Each public function of nwclient.h is defined in one of the api_*.cpp files
 * as its published signature and a one-line body:
 *
 *     NWDSCCODE NWDSGetContext(NWDSContextHandle context, nint32 key, void *value) {
 *       NWC_CALL(get_context, context, key, out(value));
 *     }
 *
 * The argument list is written once; the macro both passes it on and keeps its
 * text, so the trace names are the parameter names themselves (the compiler
 * refuses a name that is not a parameter).  An argument may be wrapped to say
 * what it is:
 *
 *     out(p)        a pure out-parameter: traced as "&"
 *     io(p)         an in-out integer: traced as the integer it points to
 *     text(p)       a text passed as bytes (const nuint8 *): traced quoted
 *     textn(p, n)   a text of at most n bytes (it may end earlier at a zero)
 *     secret(p)     a password: traced as "***" ("" when empty)
 *     opt(w)        any of the above, or a plain pointer, that may be null
 *
 * Unwrapped, a `const char *` is a text, a pBuf_T is a buffer, any other
 * pointer is traced in hexadecimal and integers in decimal.
 *
 * A function whose engine is not written yet has NWC_TODO(arguments) as its
 * body.  Its engine, once written (an nwc:: function taking the unwrapped
 * arguments), is named in NWC_CALL; NWC_PART names an engine that still
 * returns NOT_BUILT for some cases.  The function list (function_list())
 * reads which is which off the functions themselves.
 *
 * Invariants of every call:
 *  - The fault plan (NWCLIENT_FAULTS) is consulted first; a planned fault
 *    returns its status at once (for the functions that return a handle,
 *    the planned value; for NWLlocaleconv, null) and touches nothing the
 *    caller gave.  It is still traced, as a call that returned that status.
 *  - Every pointer is required unless wrapped in opt(): a null one gives
 *    ERR_NULL_POINTER before the engine runs.  A non-null pBuf_T that is not
 *    a live buffer of this library gives ERR_INVALID_HANDLE; it is looked up,
 *    never dereferenced.
 *  - Nothing escapes: an engine's exception becomes a status (out of memory:
 *    ERR_NOT_ENOUGH_MEMORY; anything else: ERR_SYSTEM_ERROR).
 *  - With NWCLIENT_TRACE set, one line is appended per call; the arguments
 *    are formatted before the engine runs (values as passed in).
 *  - An engine may return NOT_BUILT for what it does not do yet; the caller
 *    then sees ERR_INVALID_REQUEST and the trace line says "(not built yet)".
 *  - With neither variable set a call costs one pass over the environment
 *    (call_settings) and the checks.
 */
#ifndef NWC_CALL_H
#define NWC_CALL_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "nwclient.h"

namespace nwc {

/* A status no published code uses: "this case is not built yet". */
inline constexpr NWDSCCODE NOT_BUILT = INT32_MIN + 641;

enum class Build : unsigned char { built, partial, todo };

/* What the call layer knows of one function; one per function, static. */
struct Site {
  const char *name;   /* the published name (__func__) */
  const char *params; /* the argument list as written, for the trace names */
  Build build;
};

/* ---- argument kinds ------------------------------------------------------ */
template <class P> struct Out { P p; };
template <class P> struct InOut { P p; };
template <class P> struct Text { P p; };
template <class P> struct TextN { P p; size_t n; };
struct Secret { const nstr8 *p; };
template <class W> struct Opt { W w; };

template <class P> inline Out<P> out(P p) { return {p}; }
template <class P> inline InOut<P> io(P p) { return {p}; }
template <class P> inline Text<P> text(P p) { return {p}; }
template <class P> inline TextN<P> textn(P p, size_t n) { return {p, n}; }
inline Secret secret(const nstr8 *p) { return {p}; }
template <class W> inline Opt<W> opt(W w) { return {w}; }

/* The value handed to the engine. */
template <class T> inline T raw(T v) { return v; }
template <class P> inline P raw(Out<P> a) { return a.p; }
template <class P> inline P raw(InOut<P> a) { return a.p; }
template <class P> inline P raw(Text<P> a) { return a.p; }
template <class P> inline P raw(TextN<P> a) { return a.p; }
inline const nstr8 *raw(Secret a) { return a.p; }
template <class W> inline auto raw(Opt<W> a) { return raw(a.w); }

/* ---- argument checks ----------------------------------------------------- */
bool buffer_is_live(const Buf_T *buf); /* buffer.cpp */

template <class T> inline NWDSCCODE check(const T &v) {
  if constexpr (std::is_pointer_v<T>) {
    if (v == nullptr) return ERR_NULL_POINTER;
    if constexpr (std::is_same_v<std::remove_cv_t<std::remove_pointer_t<T>>, Buf_T>)
      if (!buffer_is_live(v)) return ERR_INVALID_HANDLE;
  }
  return 0;
}
template <class P> inline NWDSCCODE check(const Out<P> &a) { return check(a.p); }
template <class P> inline NWDSCCODE check(const InOut<P> &a) { return check(a.p); }
template <class P> inline NWDSCCODE check(const Text<P> &a) { return check(a.p); }
template <class P> inline NWDSCCODE check(const TextN<P> &a) { return check(a.p); }
inline NWDSCCODE check(const Secret &a) { return check(a.p); }
template <class W> inline NWDSCCODE check(const Opt<W> &a) {
  return raw(a.w) == nullptr ? 0 : check(a.w);
}

/* ---- trace formatting (only when tracing) -------------------------------- */
void show_int(std::string &o, long long v);
void show_uint(std::string &o, unsigned long long v);
void show_ptr(std::string &o, const void *p);
void show_text(std::string &o, const char *p, size_t max = SIZE_MAX);

template <class T> inline void show(std::string &o, const T &v) {
  if constexpr (std::is_same_v<T, const char *> || std::is_same_v<T, char const *const>)
    show_text(o, v);
  else if constexpr (std::is_pointer_v<T>)
    show_ptr(o, reinterpret_cast<const void *>(v));
  else if constexpr (std::is_enum_v<T>)
    show_int(o, static_cast<long long>(v));
  else if constexpr (std::is_signed_v<T>)
    show_int(o, v);
  else
    show_uint(o, v);
}
template <class P> inline void show(std::string &o, const Out<P> &a) {
  if (a.p == nullptr) o += "NULL"; else o += '&';
}
template <class P> inline void show(std::string &o, const InOut<P> &a) {
  if (a.p == nullptr) o += "NULL"; else show(o, *a.p);
}
template <class P> inline void show(std::string &o, const Text<P> &a) {
  show_text(o, reinterpret_cast<const char *>(a.p));
}
template <class P> inline void show(std::string &o, const TextN<P> &a) {
  show_text(o, reinterpret_cast<const char *>(a.p), a.n);
}
inline void show(std::string &o, const Secret &a) {
  if (a.p == nullptr) o += "NULL"; else o += *a.p ? "\"***\"" : "\"\"";
}
template <class W> inline void show(std::string &o, const Opt<W> &a) { show(o, a.w); }

/* ---- the pieces of a call that need no templates (call.cpp) --------------- */
/* The fault planned for `name` in `plan`, if any. */
bool planned_fault(const char *name, const char *plan, NWDSCCODE &status);
/* NWCLIENT_FAULTS and NWCLIENT_TRACE as getenv() would give them (null when
   unset), found in one pass over the environment. */
void call_settings(const char *&faults, const char *&trace);
/* Starts a trace line: "Name(". */
void trace_begin(std::string &line, const Site &site);
/* Appends "name=" for the next argument; `cursor` walks site.params. */
void trace_name(std::string &line, const Site &site, size_t &cursor);
/* Ends the line (" = status" and the suffix) and writes it to `dest`. */
void trace_end(std::string &line, const char *dest, bool not_built);
/* While probing (the function list), a call only reports its site. */
inline thread_local const Site **probe_slot = nullptr;

/* "Name(a=1, b=\"x\") = " */
template <class... A>
inline void trace_args(std::string &line, const Site &site, const A &...args) {
  trace_begin(line, site);
  [[maybe_unused]] size_t cursor = 0;
  ((trace_name(line, site, cursor), show(line, args)), ...);
  line += ") = ";
}

template <class R> inline R failure(NWDSCCODE status) {
  if constexpr (std::is_pointer_v<R>) { (void)status; return nullptr; }
  else return static_cast<R>(status);
}

struct Outcome { bool not_built; };

template <class R, class E, class... A>
inline R run(Outcome &oc, E engine, const A &...args) {
  NWDSCCODE st = 0;
  ((st == 0 ? (st = check(args), 0) : 0), ...);
  if (st != 0) return failure<R>(st);
  if constexpr (std::is_same_v<E, std::nullptr_t>) {
    oc.not_built = true;
    return failure<R>(ERR_INVALID_REQUEST);
  } else {
    try {
      R r = engine(raw(args)...);
      if constexpr (!std::is_pointer_v<R>)
        if (r == static_cast<R>(NOT_BUILT)) { oc.not_built = true; return ERR_INVALID_REQUEST; }
      return r;
    } catch (const std::bad_alloc &) {
      return failure<R>(ERR_NOT_ENOUGH_MEMORY);
    } catch (...) {
      return failure<R>(ERR_SYSTEM_ERROR);
    }
  }
}

template <class R, class E, class... A>
R call_as(const Site &site, E engine, const A &...args) {
  if (probe_slot != nullptr) [[unlikely]] {
    *probe_slot = &site;
    return failure<R>(ERR_INVALID_REQUEST);
  }
  const char *faults = nullptr, *trace = nullptr;
  call_settings(faults, trace);
  if (faults != nullptr && *faults != '\0') {
    NWDSCCODE st;
    if (planned_fault(site.name, faults, st)) {
      if (trace != nullptr && *trace != '\0') {
        try {
          std::string line;
          trace_args(line, site, args...);
          show(line, failure<R>(st));
          trace_end(line, trace, false);
        } catch (...) {
        }
      }
      return failure<R>(st);
    }
  }
  Outcome oc{false};
  if (trace == nullptr || *trace == '\0') [[likely]]
    return run<R>(oc, engine, args...);
  std::string line;
  try {
    trace_args(line, site, args...);
  } catch (...) {
    line.clear();
  }
  R r = run<R>(oc, engine, args...);
  if (!line.empty()) {
    try {
      show(line, r);
      trace_end(line, trace, oc.not_built);
    } catch (...) {
    }
  }
  return r;
}

/* An engine's own type is the function's type. */
template <class R, class... P, class... A>
inline R call(const Site &site, R (*engine)(P...), const A &...args) {
  return call_as<R>(site, engine, args...);
}
/* No engine yet: a status. */
template <class... A>
inline NWDSCCODE call(const Site &site, std::nullptr_t, const A &...args) {
  return call_as<NWDSCCODE>(site, nullptr, args...);
}

/* The functions the call layer knows, in header order (api_index.cpp). */
struct FunctionInfo {
  const char *name;
  const char *params; /* as written at the call site */
  Build build;
};
const std::vector<FunctionInfo> &function_list();
/* The trace names of a params text ("a, io(b), textn(c, n)" -> a, b, c). */
std::vector<std::string> param_names(const char *params);

template <class R, class... P> const Site *probe_function(R (*fn)(P...)) {
  const Site *site = nullptr;
  probe_slot = &site;
  fn(P{}...);
  probe_slot = nullptr;
  return site;
}

} // namespace nwc

/* The body of a public function: `engine` is an nwc:: function (not
   overloaded) taking the unwrapped arguments and returning the function's own
   type. */
#define NWC_CALL(engine, ...)                                                      \
  do {                                                                             \
    using namespace nwc;                                                           \
    static const Site site_{__func__, #__VA_ARGS__, Build::built};                 \
    return call(site_, &engine __VA_OPT__(, ) __VA_ARGS__);                        \
  } while (0)

/* The same for an engine that does part of the work and says NOT_BUILT for
   the rest (the function counts as not built in the function list). */
#define NWC_PART(engine, ...)                                                      \
  do {                                                                             \
    using namespace nwc;                                                           \
    static const Site site_{__func__, #__VA_ARGS__, Build::partial};               \
    return call(site_, &engine __VA_OPT__(, ) __VA_ARGS__);                        \
  } while (0)

/* A function whose engine is not built yet: checks, then ERR_INVALID_REQUEST. */
#define NWC_TODO(...)                                                              \
  do {                                                                             \
    using namespace nwc;                                                           \
    static const Site site_{__func__, #__VA_ARGS__, Build::todo};                  \
    return call(site_, nullptr __VA_OPT__(, ) __VA_ARGS__);                        \
  } while (0)

#endif /* NWC_CALL_H */
