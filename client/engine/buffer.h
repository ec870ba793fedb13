/*
 * buffer.h - request and result buffers (the Buf_T behind a pBuf_T).
 *
 * A pBuf_T handed out by NWDSAllocBuf is the address of an nwc::Buffer.  The
 * client keeps the set of the addresses it handed out and not yet freed; a
 * pointer is looked up in that set before anything reads through it, so a
 * freed, foreign or garbage pointer gives ERR_INVALID_HANDLE and is never
 * dereferenced.  The call layer makes that check for every pBuf_T argument,
 * so an engine can call buffer_of() on its buffer arguments directly.
 *
 * A buffer models the published protocol, not its wire bytes:
 *  - `size` is the byte budget it was allocated with; items are charged
 *    their encoded cost against it (`used`), and an item that would exceed
 *    it is refused with ERR_BUFFER_FULL and not added;
 *  - NWDSInitBuf sets `verb` (a DSV_ code) and clears the items, the cursor
 *    and `used`; a buffer not initialised has `verb` NO_VERB;
 *  - `items` are in the order written; readers walk them with `cursor`
 *    (the index of the next unread item) and get ERR_BUFFER_EMPTY past the
 *    end.  What an item means (tag, fields) is set out in items.h;
 *    `result` marks a buffer filled by an operation.
 *
 * The registry is guarded by a mutex; a buffer's contents are not: one
 * buffer is used by one thread at a time, as the published client requires.
 */
#ifndef NWC_BUFFER_H
#define NWC_BUFFER_H

#include <cstddef>
#include <string>
#include <vector>

#include "nwclient.h"

namespace nwc {

inline constexpr nuint32 NO_VERB = 0xFFFFFFFFu;

struct Item {
  nuint32 tag = 0;            /* the item's kind, as the verb's writer defines it */
  std::string name;           /* an attribute, class, syntax or object name */
  nuint32 number = 0;         /* change type, syntax id, count, flags... */
  nuint32 number2 = 0;
  nuint32 number3 = 0;
  nuint32 number4 = 0;
  std::string text;           /* a second text (a base class, say) */
  std::vector<nuint8> value;  /* an encoded attribute value */
  size_t cost = 0;            /* bytes charged against the budget */
};

struct Buffer {
  size_t size = 0;            /* the byte budget */
  nuint32 verb = NO_VERB;     /* set by NWDSInitBuf */
  bool result = false;        /* filled by an operation, to be read */
  size_t used = 0;            /* bytes charged by the items */
  std::vector<Item> items;
  size_t cursor = 0;          /* the next item a reader takes */

  /* Clears the items and the cursor for a fresh use under `v`. */
  void reset(nuint32 v);
  /* Adds `item` if its cost fits the budget; ERR_BUFFER_FULL otherwise. */
  NWDSCCODE add(Item item);
  /* The bytes left in the budget. */
  size_t room() const { return size - used; }
};

/* The live buffer `buf` stands for, or null (the pointer is not read). */
Buffer *live_buffer(const Buf_T *buf);
/* The buffer of a pBuf_T the call layer has already checked. */
inline Buffer *buffer_of(pBuf_T buf) { return reinterpret_cast<Buffer *>(buf); }
/* How many buffers are live (for tests). */
size_t live_buffer_count();

/* ---- the engines of the buffer functions (api_buffer.cpp) --------------- */
NWDSCCODE alloc_buf(size_t size, pBuf_T *buf);
NWDSCCODE init_buf(NWDSContextHandle context, nuint32 operation, pBuf_T buf);
NWDSCCODE free_buf(pBuf_T buf);
/* True for the DSV_ codes a buffer may be initialised for. */
bool is_verb(nuint32 operation);

} // namespace nwc

#endif /* NWC_BUFFER_H */
