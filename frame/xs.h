// xs.h - the one way this module includes the interpreter's headers.
//
// Every *_xs.cpp file includes this instead of perl.h.  The C++ standard
// headers come first: perl.h defines macros (Copy, Move, Zero, Null, ...)
// that would otherwise rewrite names inside them.  PERL_NO_GET_CONTEXT makes
// each function take the interpreter as its first argument (pTHX_) instead of
// fetching it from thread-local storage on every use.
#ifndef VORLA_FRAME_XS_H
#define VORLA_FRAME_XS_H

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#define PERL_NO_GET_CONTEXT
extern "C" {
#include "EXTERN.h"
#include "perl.h"
#include "XSUB.h"
}

// perl.h leaves these behind as macros; they collide with ordinary C++ names.
#undef do_open
#undef do_close
#undef seed
#undef ref

#endif
