/*
 * startup.cpp - the start and release of the calls and network libraries and
 * the library version.
 *
 * Invariants: each library keeps a count of the starts not yet released; a
 * release without a start is refused with ERR_SYSTEM_ERROR and leaves the
 * count at 0.  Nothing else in the client depends on these counts: a script
 * may use the directory without starting anything.  The reserved and in/out
 * pointers are never read or written (NWNetInit leaves `out` as it was).
 */
#include <mutex>

#include "intl.h"

namespace nwc {

namespace {

std::mutex g_start_lock;
unsigned g_calls_started = 0;
unsigned g_net_started = 0;

NWDSCCODE start(unsigned &count) {
  std::lock_guard<std::mutex> g(g_start_lock);
  ++count;
  return 0;
}

NWDSCCODE release(unsigned &count) {
  std::lock_guard<std::mutex> g(g_start_lock);
  if (count == 0) return ERR_SYSTEM_ERROR;
  --count;
  return 0;
}

} // namespace

NWCCODE calls_init(void *, void *) { return start(g_calls_started); }
NWCCODE calls_term(void *) { return release(g_calls_started); }
NWDSCCODE net_init(void *, void *) { return start(g_net_started); }
NWDSCCODE net_term(void *) { return release(g_net_started); }

NWCCODE get_net_version(nuint8 *majorVersion, nuint8 *minorVersion, nuint8 *revisionLevel,
                        nuint8 *betaReleaseLevel) {
  *majorVersion = NET_VERSION[0];
  *minorVersion = NET_VERSION[1];
  *revisionLevel = NET_VERSION[2];
  *betaReleaseLevel = NET_VERSION[3];
  return 0;
}

} // namespace nwc
