/*
 * iteration.h - the table of live iterations behind iteration handles.
 *
 * An operation that does not finish in one call (a read cut at its result
 * buffer's budget, an add or modify sent in several buffers) keeps what it
 * still has to do in an IterationState and hands the caller a handle.
 *
 * Invariants:
 *  - Handles are non-negative 32-bit values, issued in increasing order
 *    (wrapping at 2^31), so a handle that was released stays unknown for
 *    a long time; NO_MORE_ITERATIONS (all bits set) is never a handle.
 *  - Each iteration remembers its operation (a DSV_ verb) and its context;
 *    it is found only under both, so a handle passed to another operation
 *    or with another context is not found (ERR_INVALID_ITERATION).
 *  - At most kMaxIterations are live at once; one more is refused with
 *    ERR_NOT_ENOUGH_MEMORY.
 *  - The table is guarded by a mutex; an IterationState is used by one call
 *    at a time (taken out while it is worked on).
 */
#ifndef NWC_ITERATION_H
#define NWC_ITERATION_H

#include <memory>
#include <string>

#include "nwclient.h"

namespace nwc {

inline constexpr size_t kMaxIterations = 65536;

struct IterationState {
  virtual ~IterationState() = default;
  std::string store_path; /* the store it walks, for those that walk one */
};

/* Stores `state` as a new iteration; its handle, or ERR_NOT_ENOUGH_MEMORY. */
NWDSCCODE open_iteration(nuint32 verb, NWDSContextHandle context,
                         std::unique_ptr<IterationState> state, nint32 &handle);
/* Takes the iteration out of the table (the caller puts it back with
   open_iteration when more remains); ERR_INVALID_ITERATION when `handle` is
   not a live iteration of `verb` and `context`. */
NWDSCCODE take_iteration(nuint32 verb, NWDSContextHandle context, nint32 handle,
                         std::unique_ptr<IterationState> &state);
/* take_iteration for an iteration that walks one store: also
   ERR_INVALID_ITERATION when it was made on another store than `store_path`
   (NWCLIENT_STORE changed between the calls). */
NWDSCCODE resume_iteration(nuint32 verb, NWDSContextHandle context, nint32 handle,
                           const std::string &store_path, std::unique_ptr<IterationState> &state);
class Buffer;
/* Ends one call of an operation that may go on: with `more`, `state` is
   stored again and its handle written to *iterationHandle, else
   *iterationHandle is NO_MORE_ITERATIONS.  When the state cannot be stored,
   `out` is reset for `verb` (no part given without its handle) and the
   status returned. */
NWDSCCODE keep_or_finish(nuint32 verb, NWDSContextHandle context, std::unique_ptr<IterationState> state,
                         bool more, nint32 *iterationHandle, Buffer &out);

/* How many iterations are live (for tests). */
size_t live_iteration_count();

/* The engine of NWDSCloseIteration. */
NWDSCCODE close_iteration(NWDSContextHandle context, nint32 iterationHandle, nuint32 operation);

} // namespace nwc

#endif /* NWC_ITERATION_H */
