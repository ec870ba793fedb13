/*
 * iteration.cpp - the iteration table (see iteration.h).
 *
 * NWDSCloseIteration with a handle that is not live (NO_MORE_ITERATIONS
 * included: it names no iteration), or with an operation or context other
 * than the iteration's, gives ERR_INVALID_ITERATION; a closed handle is
 * stale from then on.
 */
#include "iteration.h"

#include <map>
#include <mutex>

#include "buffer.h"
#include "context.h"

namespace nwc {

namespace {

struct Live {
  nuint32 verb;
  NWDSContextHandle context;
  std::unique_ptr<IterationState> state;
};

struct Table {
  std::mutex lock;
  std::map<nint32, Live> live;
  nint32 next = 0;
};

Table &table() {
  static Table *t = new Table; /* never destroyed: usable until exit */
  return *t;
}

} // namespace

NWDSCCODE open_iteration(nuint32 verb, NWDSContextHandle context,
                         std::unique_ptr<IterationState> state, nint32 &handle) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  if (t.live.size() >= kMaxIterations) return ERR_NOT_ENOUGH_MEMORY;
  nint32 h = t.next;
  while (t.live.count(h) != 0) h = (h == INT32_MAX) ? 0 : h + 1;
  t.next = (h == INT32_MAX) ? 0 : h + 1;
  t.live.emplace(h, Live{verb, context, std::move(state)});
  handle = h;
  return 0;
}

NWDSCCODE keep_or_finish(nuint32 verb, NWDSContextHandle context, std::unique_ptr<IterationState> state,
                         bool more, nint32 *iterationHandle, Buffer &out) {
  if (!more) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  nint32 handle = NO_MORE_ITERATIONS;
  if (NWDSCCODE st = open_iteration(verb, context, std::move(state), handle)) {
    out.reset(verb);
    return st;
  }
  *iterationHandle = handle;
  return 0;
}

NWDSCCODE take_iteration(nuint32 verb, NWDSContextHandle context, nint32 handle,
                         std::unique_ptr<IterationState> &state) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = t.live.find(handle);
  if (it == t.live.end() || it->second.verb != verb || it->second.context != context)
    return ERR_INVALID_ITERATION;
  state = std::move(it->second.state);
  t.live.erase(it);
  return 0;
}

size_t live_iteration_count() {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  return t.live.size();
}

NWDSCCODE close_iteration(NWDSContextHandle context, nint32 iterationHandle, nuint32 operation) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::unique_ptr<IterationState> state;
  return take_iteration(operation, context, iterationHandle, state);
}

NWDSCCODE resume_iteration(nuint32 verb, NWDSContextHandle context, nint32 handle,
                           const std::string &store_path, std::unique_ptr<IterationState> &state) {
  if (NWDSCCODE st = take_iteration(verb, context, handle, state)) return st;
  if (state->store_path != store_path) {
    state.reset();
    return ERR_INVALID_ITERATION;
  }
  return 0;
}

} // namespace nwc
