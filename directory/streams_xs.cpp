// streams_xs.cpp - stream attributes as file descriptors.
//
// The client opens a stream attribute and hands back its native handle, which
// on this platform is a POSIX file descriptor; it becomes the script's
// descriptor as it is (the descriptor layer's "open on a native handle" is the
// identity here).  Writing, truncating at the current position and closing
// use write(2), ftruncate(2) at lseek(fd, 0, SEEK_CUR), and close(2).
#include <unistd.h>

#include "frame/registry.h"

namespace vorla {
namespace {

using OpenSig = Signature<"NWDSOpenStream", Int<"context">, Str<"objectName">, Str<"attrName">, Int<"flags">>;
XS_INTERNAL(xs_NWDSOpenStream) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  OpenSig::check(aTHX_ items);
  SP -= items;
  const int32_t context = to_i32(aTHX_ ST(0));
  const char* object = to_text(aTHX_ ST(1));
  const char* attr = to_text(aTHX_ ST(2));
  const auto flags = static_cast<nflag32>(to_i32(aTHX_ ST(3)));
  NWFILE_HANDLE handle = -1;
  last_status = NWDSOpenStream(context, object, attr, flags, &handle);
  if (last_status == 0 && handle >= 0)
    mXPUSHi(handle);
  else
    XPUSHs(&PL_sv_undef);
  PUTBACK;
}

// 1 when every byte of the text up to its first zero byte was written.
using SetStreamSig = Signature<"NWSetStream", Int<"FHandle">, Str<"Value">>;
XS_INTERNAL(xs_NWSetStream) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  SetStreamSig::check(aTHX_ items);
  SP -= items;
  const int fd = to_i32(aTHX_ ST(0));
  const char* text = to_text(aTHX_ ST(1));
  const std::size_t len = std::strlen(text);
  const ssize_t written = ::write(fd, text, len);  // a closed descriptor fails even for 0 bytes
  mXPUSHi(written >= 0 && static_cast<std::size_t>(written) == len ? 1 : 0);
  PUTBACK;
}

using SetEOFSig = Signature<"NWSetEOF", Int<"handle">>;
XS_INTERNAL(xs_NWSetEOF) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  SetEOFSig::check(aTHX_ items);
  const int fd = to_i32(aTHX_ ST(0));
  PerlIO_printf(PerlIO_stdout(), "Handle is %d", fd);
  const off_t here = ::lseek(fd, 0, SEEK_CUR);
  const int ok = (here >= 0 && ::ftruncate(fd, here) == 0) ? 1 : 0;
  VORLA_RETURN_INT(ok);
}

using CloseSig = Signature<"NWCloseStream", Int<"FHandle">>;
XS_INTERNAL(xs_NWCloseStream) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  CloseSig::check(aTHX_ items);
  (void)::close(to_i32(aTHX_ ST(0)));
  XSRETURN_EMPTY;
}

const SubEntry kSubs[] = {
    custom<OpenSig, xs_NWDSOpenStream>(),
    custom<SetStreamSig, xs_NWSetStream>(),
    custom<SetEOFSig, xs_NWSetEOF>(),
    custom<CloseSig, xs_NWCloseStream>(),
};

}  // namespace

const Family kStreamSubs = family(kSubs);

}  // namespace vorla
