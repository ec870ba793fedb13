// placeholder, replaced by the real bootstrap
#define PERL_NO_GET_CONTEXT
#include "EXTERN.h"
#include "perl.h"
#include "XSUB.h"
extern "C" XS_EXTERNAL(boot_Vorla);
extern "C" XS_EXTERNAL(boot_Vorla) { dXSARGS; PERL_UNUSED_VAR(items); XSRETURN_YES; }
extern "C" XS_EXTERNAL(_boot_Vorla) __attribute__((alias("boot_Vorla")));
