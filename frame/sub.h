// sub.h - how a script-visible sub is declared, converted, called and answered.
//
// A sub is declared once, in its family's file, as a list of parameters:
//
//   bind<"NWDSRead", Form::Value, NWDSRead,
//        Int<"context">, Str<"object">, Int<"infoType">, U8<"allAttrs">,
//        Handle<"attrNames", BufClass>, Iter<"iterationHandle">,
//        Handle<"objectInfo", BufClass>>()
//
// From that one declaration come the usage text ("Usage: Vorla::NWDSRead(context,
// object, ...)"), the prototype ("$$$$$$$"), the registry entry and the entry
// function itself.  A parameter is either a script argument (it has a name and
// counts towards the argument count) or a hidden one (a constant, a null, a
// local output cell or a scratch area that the client call needs).  The client
// call receives the parameters that pass something, in declaration order.
//
// Every entry function runs the same steps, in this order:
//   1. exact argument count, else the usage stop (nothing converted yet);
//   2. value-returning and list subs take their arguments off the stack;
//   3. plain arguments converted in argument order;
//   4. typed handles converted in argument order, each with its class test;
//   5. the client call;
//   6. status form: write-backs in argument order, then the status;
//      value form: the status into the last status, then the outputs or undef;
//      list form: the outputs, whatever the status;
//      direct form: the client's return value itself.
//
// Scratch areas and output cells live in the entry function's own frame, so
// they are released on every path, including a fatal stop raised by a
// write-back into a read-only variable; nothing here allocates on the heap.
// Every state type is trivially destructible, since a fatal stop leaves the
// function without running destructors.
#ifndef VORLA_FRAME_SUB_H
#define VORLA_FRAME_SUB_H

#include "frame/xs.h"
#include "frame/text.h"
#include "nwclient.h"

namespace vorla {

// ---- the module's own state -------------------------------------------------

// The last status: written by the value-returning subs right after each client
// call, read by Vorla::GetLastErr.  One cell for the whole module.
inline int32_t last_status = 0;

// ---- registry entries ---------------------------------------------------------

struct SubEntry {
  const char* name;   // without the package: "NWDSRead"
  const char* usage;  // the whole usage message
  const char* proto;  // one "$" per argument
  XSUBADDR_t xsub;
};

struct Family {
  const SubEntry* subs;
  std::size_t count;
};

template <std::size_t N>
constexpr Family family(const SubEntry (&subs)[N]) {
  return Family{subs, N};
}

// ---- result forms -------------------------------------------------------------

enum class Form {
  Status,  // write-backs, then the status as the one value
  Value,   // status into the last status; outputs on 0, else one undef
  List,    // outputs whatever the status; the last status untouched
  Direct,  // the client's return value (a handle or an error code)
};

// ---- pointer proxies -----------------------------------------------------------
// A local cell or area is handed to client parameters of several spellings
// (nint32* or nuint32*, char* or nuint8*).  These proxies convert to exactly the
// pointer types that share the cell's size, so a width mismatch fails to compile.

template <class T>
struct CellPtr {
  T* p;
  template <class U>
    requires(std::is_integral_v<U> && sizeof(U) == sizeof(T))
  operator U*() const {
    return reinterpret_cast<U*>(p);
  }
};

struct TextPtr {
  char* p;
  operator char*() const { return p; }
  operator const char*() const { return p; }
  operator unsigned char*() const { return reinterpret_cast<unsigned char*>(p); }
  operator const unsigned char*() const { return reinterpret_cast<const unsigned char*>(p); }
  operator void*() const { return p; }
};

struct AnyPtr {
  void* p;
  template <class U>
  operator U*() const {
    return static_cast<U*>(p);
  }
};

// ---- typed handle classes -------------------------------------------------------

struct BufClass {
  static constexpr const char* name = "pBuf_T";
  using type = Buf_T;
};
struct ClassInfoClass {
  static constexpr const char* name = "pClass_Info_T";
  using type = Class_Info_T;
};
struct ObjectInfoClass {
  static constexpr const char* name = "pObject_Info_T";
  using type = Object_Info_T;
};
struct SyntaxInfoClass {
  static constexpr const char* name = "pSyntax_Info_T";
  using type = Syntax_Info_T;
};

// ---- conversions shared by every parameter kind and by hand-written subs ----------

// Integer in: the scalar's own integer when it holds one, else the
// interpreter's numeric reading; kept as a signed 32-bit value.
inline int32_t to_i32(pTHX_ SV* sv) { return static_cast<int32_t>(SvIV(sv)); }

// String in: the scalar's own text when it holds one, else its string form.
inline const char* to_text(pTHX_ SV* sv) { return SvPV_nolen(sv); }

[[noreturn]] void usage_stop(pTHX_ const char* usage);
[[noreturn]] void class_stop(pTHX_ const char* arg, const char* cls);

// The class test: a reference first, then blessed into the class or one that
// inherits from it.  A plain string naming the class never passes.
inline void* to_handle(pTHX_ SV* sv, const char* arg, const char* cls) {
  if (!SvROK(sv) || !sv_derived_from(sv, cls)) class_stop(aTHX_ arg, cls);
  return INT2PTR(void*, SvIV(SvRV(sv)));
}

// Re-set a handle: a new reference blessed into the class holding the pointer,
// or undef for a null pointer.
inline void reset_handle(pTHX_ SV* sv, const char* cls, void* p) { sv_setref_pv(sv, cls, p); }

// Copy the scalar's text (up to its first zero byte, at most limit-1 bytes)
// into an output area of the client's full limit; undef seeds it empty.
inline void seed_area(pTHX_ SV* sv, char* area, std::size_t limit) {
  if (!SvOK(sv)) {  // an undef variable is an empty area, not a conversion warning
    area[0] = 0;
    return;
  }
  STRLEN len = 0;
  const char* p = SvPV(sv, len);
  std::size_t n = 0;
  while (n < len && n + 1 < limit && p[n]) ++n;
  std::memcpy(area, p, n);
  area[n] = 0;
}

// ---- parameter kinds ---------------------------------------------------------------

enum class Phase { Plain, Handle, None };

// Defaults that each kind overrides where it differs.
template <Text N>
struct ScriptArg {
  static constexpr const char* name = N.s;
  static constexpr bool script = true;
  static constexpr Phase phase = Phase::Plain;
  static constexpr bool passes = true;
  static constexpr bool writes = false;
  static constexpr int outputs = 0;
};

struct HiddenArg {
  static constexpr const char* name = nullptr;
  static constexpr bool script = false;
  static constexpr Phase phase = Phase::None;
  static constexpr bool passes = true;
  static constexpr bool writes = false;
  static constexpr int outputs = 0;
};

struct NoState {};

// int in: a signed 32-bit value.
template <Text N>
struct Int : ScriptArg<N> {
  struct State {
    int32_t v;
  };
  static void read(pTHX_ SV* sv, State& s) { s.v = to_i32(aTHX_ sv); }
  static int32_t pass(State& s) { return s.v; }
};

// int in whose client parameter is 8 or 16 bits wide: only the low bits pass.
template <Text N>
struct U8 : Int<N> {
  using typename Int<N>::State;
  static uint8_t pass(State& s) { return static_cast<uint8_t>(s.v); }
};
template <Text N>
struct U16 : Int<N> {
  using typename Int<N>::State;
  static uint16_t pass(State& s) { return static_cast<uint16_t>(s.v); }
};

// Converted as an integer (so the interpreter's numeric reading happens) and
// then not used.
template <Text N>
struct IntUnused : Int<N> {
  static constexpr bool passes = false;
};

// Counted, never converted or read.
template <Text N>
struct Unused : ScriptArg<N> {
  static constexpr Phase phase = Phase::None;
  static constexpr bool passes = false;
  using State = NoState;
};

// string in: a pointer to the scalar's text, no copy.
template <Text N>
struct Str : ScriptArg<N> {
  struct State {
    const char* p;
  };
  static void read(pTHX_ SV* sv, State& s) { s.p = to_text(aTHX_ sv); }
  static TextPtr pass(State& s) { return TextPtr{const_cast<char*>(s.p)}; }
};

// typed handle in, with its class test.
template <Text N, class C>
struct Handle : ScriptArg<N> {
  static constexpr Phase phase = Phase::Handle;
  struct State {
    void* p;
  };
  static void read(pTHX_ SV* sv, State& s) { s.p = to_handle(aTHX_ sv, N.s, C::name); }
  static typename C::type* pass(State& s) { return static_cast<typename C::type*>(s.p); }
};

// typed handle in that is re-set after the call (status form).
template <Text N, class C>
struct HandleReset : Handle<N, C> {
  using typename Handle<N, C>::State;
  static constexpr bool writes = true;
  static void write_back(pTHX_ SV* sv, State& s) { reset_handle(aTHX_ sv, C::name, s.p); }
};

// typed handle out: not read, not tested; the client fills a local pointer,
// which then becomes the script's handle (undef when null).
template <Text N, class C>
struct HandleOut : ScriptArg<N> {
  static constexpr Phase phase = Phase::None;
  static constexpr bool writes = true;
  struct State {
    typename C::type* p;
  };
  static typename C::type** pass(State& s) { return &s.p; }
  static void write_back(pTHX_ SV* sv, State& s) { reset_handle(aTHX_ sv, C::name, s.p); }
};

// in-out integer: a local cell of the client's width, starting from the
// script's value and written back (narrow cells widened without sign).
template <Text N, class T = int32_t>
struct InOutInt : ScriptArg<N> {
  static constexpr bool writes = true;
  struct State {
    T v;
  };
  static void read(pTHX_ SV* sv, State& s) { s.v = static_cast<T>(SvIV(sv)); }
  static CellPtr<T> pass(State& s) { return CellPtr<T>{&s.v}; }
  static void write_back(pTHX_ SV* sv, State& s) { sv_setiv(sv, static_cast<IV>(s.v)); }
};

// in-out string: the client writes into an area of its full limit, seeded
// with the script's text; the variable is set to the area's text afterwards.
// The scalar's own storage is never handed out, so a short, numeric, undef or
// read-only scalar cannot be overrun or written behind the interpreter's back.
template <Text N, std::size_t Limit>
struct InOutStr : ScriptArg<N> {
  static constexpr bool writes = true;
  struct State {
    char area[Limit];
  };
  static void read(pTHX_ SV* sv, State& s) { seed_area(aTHX_ sv, s.area, Limit); }
  static TextPtr pass(State& s) { return TextPtr{s.area}; }
  static void write_back(pTHX_ SV* sv, State& s) { sv_setpv(sv, s.area); }
};

// An iteration handle of a value-returning sub: read into a cell whose value
// after the call is the sub's result; the variable itself is never written.
template <Text N>
struct Iter : ScriptArg<N> {
  static constexpr int outputs = 1;
  struct State {
    int32_t v;
  };
  static void read(pTHX_ SV* sv, State& s) { s.v = to_i32(aTHX_ sv); }
  static CellPtr<int32_t> pass(State& s) { return CellPtr<int32_t>{&s.v}; }
  static void push(pTHX_ SV**& sp, State& s) { mPUSHi(static_cast<IV>(s.v)); }
};

// Raw storage in: the scalar's own string storage as it stands, without any
// conversion; a scalar without storage passes a null pointer.
template <Text N>
struct Raw : ScriptArg<N> {
  struct State {
    void* p;
  };
  static void read(pTHX_ SV* sv, State& s) {
    s.p = (SvTYPE(sv) >= SVt_PV && SvPVX_const(sv)) ? static_cast<void*>(SvPVX(sv)) : nullptr;
  }
  static void* pass(State& s) { return s.p; }
};

// Raw storage out: an area of the given size seeded, without conversion, with
// the bytes the scalar's storage holds; the variable is set to the area's text.
template <Text N, std::size_t Limit>
struct RawOut : ScriptArg<N> {
  static constexpr bool writes = true;
  struct State {
    char area[Limit];
  };
  static void read(pTHX_ SV* sv, State& s) {
    std::size_t n = 0;
    if (SvTYPE(sv) >= SVt_PV && SvPVX_const(sv)) {
      const char* p = SvPVX_const(sv);
      std::size_t len = SvPOKp(sv) ? SvCUR(sv) : 0;
      while (n < len && n + 1 < Limit && p[n]) ++n;
      std::memcpy(s.area, p, n);
    }
    s.area[n] = 0;
  }
  static void* pass(State& s) { return s.area; }
  static void write_back(pTHX_ SV* sv, State& s) { sv_setpv(sv, s.area); }
};

// A native address: the integer (full pointer width) passed as a pointer and
// written back unchanged.
template <Text N>
struct Native : ScriptArg<N> {
  static constexpr bool writes = true;
  struct State {
    IV v;
  };
  static void read(pTHX_ SV* sv, State& s) { s.v = SvIV(sv); }
  static AnyPtr pass(State& s) { return AnyPtr{INT2PTR(void*, s.v)}; }
  static void write_back(pTHX_ SV* sv, State& s) { sv_setiv(sv, s.v); }
};

// ---- hidden parameters --------------------------------------------------------

// A fixed value the client always receives.
template <auto V>
struct Fixed : HiddenArg {
  using State = NoState;
  static auto pass(State&) { return V; }
};

struct NullPtr : HiddenArg {
  using State = NoState;
  static std::nullptr_t pass(State&) { return nullptr; }
};

// A local output cell; its value is one output of a value or list sub, as a
// signed 32-bit integer (T of 32 bits) or widened without sign (narrower T).
template <class T>
struct Out : HiddenArg {
  static constexpr int outputs = 1;
  struct State {
    T v;
  };
  static CellPtr<T> pass(State& s) { return CellPtr<T>{&s.v}; }
  static void push(pTHX_ SV**& sp, State& s) {
    if constexpr (sizeof(T) == 4)
      mPUSHi(static_cast<IV>(static_cast<int32_t>(s.v)));
    else
      mPUSHi(static_cast<IV>(s.v));
  }
};

// A scratch text area whose text is one output.
template <std::size_t Size>
struct OutText : HiddenArg {
  static constexpr int outputs = 1;
  struct State {
    char area[Size];
  };
  static TextPtr pass(State& s) { return TextPtr{s.area}; }
  static void push(pTHX_ SV**& sp, State& s) {
    s.area[Size - 1] = 0;
    mPUSHs(newSVpv(s.area, 0));
  }
};

// A scratch area the client fills and nobody reads back.
template <std::size_t Size>
struct Area : HiddenArg {
  struct State {
    alignas(16) unsigned char area[Size];
  };
  static AnyPtr pass(State& s) { return AnyPtr{s.area}; }
};

// A scratch area whose first byte, widened without sign, is one output.
template <std::size_t Size>
struct OutFirstByte : HiddenArg {
  static constexpr int outputs = 1;
  struct State {
    unsigned char area[Size];
  };
  static TextPtr pass(State& s) { return TextPtr{reinterpret_cast<char*>(s.area)}; }
  static void push(pTHX_ SV**& sp, State& s) { mPUSHi(static_cast<IV>(s.area[0])); }
};

// Marks a sub whose usage text joins its argument names with "," alone.
struct TightUsage : HiddenArg {
  static constexpr bool passes = false;
  using State = NoState;
};

// ---- signatures: usage text, prototype, argument count ------------------------------

template <Text Name, class... P>
struct Signature {
  static constexpr const char* name = Name.s;
  static constexpr int count = (0 + ... + (P::script ? 1 : 0));
  static constexpr bool tight = (false || ... || std::is_same_v<P, TightUsage>);

  static constexpr Generated make_usage() {
    Generated g;
    g.add("Usage: Vorla::");
    g.add(Name.s);
    g.add("(");
    bool first = true;
    auto one = [&](bool script, const char* n) {
      if (!script) return;
      if (!first) g.add(tight ? "," : ", ");
      g.add(n);
      first = false;
    };
    (one(P::script, P::name), ...);
    (void)one;
    g.add(")");
    return g;
  }
  static constexpr Generated make_proto() {
    Generated g;
    for (int i = 0; i < count; ++i) g.add("$");
    return g;
  }
  static constexpr Generated usage = make_usage();
  static constexpr Generated proto = make_proto();

  static void check(pTHX_ I32 items) {
    if (items != count) usage_stop(aTHX_ usage.s);
  }
};

// Where each parameter's script argument stands on the stack (-1: hidden).
template <class... P>
constexpr auto script_positions() {
  std::array<int, sizeof...(P) + 1> pos{};
  int next = 0, i = 0;
  ((pos[i++] = P::script ? next++ : -1), ...);
  return pos;
}

// ---- the generated entry function -----------------------------------------------------

template <Text Name, Form F, auto Call, class... P>
struct Sub {
  using Sig = Signature<Name, P...>;
  using States = std::tuple<typename P::State...>;
  using Params = std::tuple<P...>;
  static constexpr auto pos = script_positions<P...>();
  static constexpr int kOutputs = (0 + ... + P::outputs);

  template <std::size_t I>
  using Param = std::tuple_element_t<I, Params>;

  template <Phase Ph, std::size_t... I>
  static void convert(pTHX_ I32 ax, States& st, std::index_sequence<I...>) {
    auto one = [&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
      if constexpr (Param<J>::phase == Ph) Param<J>::read(aTHX_ PL_stack_base[ax + pos[J]], std::get<J>(st));
    };
    (one(std::integral_constant<std::size_t, I>{}), ...);
    (void)one;
  }

  template <std::size_t... I>
  static auto invoke(States& st, std::index_sequence<I...>) {
    auto passed = std::tuple_cat([&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
      if constexpr (Param<J>::passes)
        return std::make_tuple(Param<J>::pass(std::get<J>(st)));
      else
        return std::tuple<>();
    }(std::integral_constant<std::size_t, I>{})...);
    return std::apply(Call, passed);
  }

  template <std::size_t... I>
  static void write_backs(pTHX_ I32 ax, States& st, std::index_sequence<I...>) {
    auto one = [&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
      if constexpr (Param<J>::writes) Param<J>::write_back(aTHX_ PL_stack_base[ax + pos[J]], std::get<J>(st));
    };
    (one(std::integral_constant<std::size_t, I>{}), ...);
    (void)one;
  }

  template <std::size_t... I>
  static void push_outputs(pTHX_ SV**& sp, States& st, std::index_sequence<I...>) {
    auto one = [&]<std::size_t J>(std::integral_constant<std::size_t, J>) {
      if constexpr (Param<J>::outputs > 0) Param<J>::push(aTHX_ sp, std::get<J>(st));
    };
    (one(std::integral_constant<std::size_t, I>{}), ...);
    (void)one;
  }

  static void xs(pTHX_ CV* cv) {
    dXSARGS;
    PERL_UNUSED_VAR(cv);
    Sig::check(aTHX_ items);
    constexpr auto all = std::index_sequence_for<P...>{};
    if constexpr (F == Form::Value || F == Form::List) SP -= items;
    States st{};
    convert<Phase::Plain>(aTHX_ ax, st, all);
    convert<Phase::Handle>(aTHX_ ax, st, all);
    const auto rc = invoke(st, all);

    if constexpr (F == Form::Status || F == Form::Direct) {
      if constexpr (F == Form::Status) write_backs(aTHX_ ax, st, all);
      dXSTARG;
      XSprePUSH;
      EXTEND(SP, 1);
      PUSHi(static_cast<IV>(static_cast<int32_t>(rc)));
      XSRETURN(1);
    } else {
      if constexpr (F == Form::Value) {
        last_status = static_cast<int32_t>(rc);
        if (rc != 0) {
          XPUSHs(&PL_sv_undef);
          PUTBACK;
          return;
        }
      } else {
        (void)rc;
      }
      EXTEND(SP, kOutputs);
      push_outputs(aTHX_ SP, st, all);
      PUTBACK;
    }
  }
};

// The registry entry of a declared sub.
template <Text Name, Form F, auto Call, class... P>
constexpr SubEntry bind() {
  using S = Sub<Name, F, Call, P...>;
  return SubEntry{Name.s, S::Sig::usage.s, S::Sig::proto.s, &S::xs};
}

// The registry entry of a hand-written sub: its signature gives the usage text
// and prototype; the entry function calls Sig::check first.
template <class Sig, XSUBADDR_t Fn>
constexpr SubEntry custom() {
  return SubEntry{Sig::name, Sig::usage.s, Sig::proto.s, Fn};
}

// A single integer result in the sub's target scalar (no allocation).
#define VORLA_RETURN_INT(value)          \
  do {                                   \
    dXSTARG;                             \
    XSprePUSH;                           \
    EXTEND(SP, 1);                       \
    PUSHi(static_cast<IV>(value));       \
    XSRETURN(1);                         \
  } while (0)

}  // namespace vorla

#endif
