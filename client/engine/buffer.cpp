/*
 * buffer.cpp - the buffer registry and the engines of NWDSAllocBuf,
 * NWDSInitBuf and NWDSFreeBuf.
 *
 * Invariants: every address in the registry is a Buffer allocated here and
 * not yet freed; an address leaves the registry before its Buffer is deleted.
 *
 * Choices where the published documentation leaves one:
 *  - size 0 is refused with ERR_BUFFER_ZERO_LENGTH;
 *  - a size above MAX_MESSAGE_LEN is clamped to MAX_MESSAGE_LEN (the largest
 *    message the protocol carries); nothing is lost by it, since a result
 *    that does not fit is continued through the iteration handle;
 *  - NWDSInitBuf wants a live context (ERR_BAD_CONTEXT) and one of the DSV_
 *    codes of nwclient.h (ERR_BAD_VERB otherwise);
 *  - a failed NWDSAllocBuf leaves *buf null.
 */
#include "buffer.h"

#include <memory>
#include <mutex>
#include <unordered_set>

#include "context.h"

namespace nwc {

namespace {

struct Registry {
  std::mutex lock;
  std::unordered_set<const void *> live;
};

Registry &registry() {
  static Registry *r = new Registry; /* never destroyed: usable until exit */
  return *r;
}

} // namespace

void Buffer::reset(nuint32 v) {
  verb = v;
  result = false;
  used = 0;
  items.clear();
  cursor = 0;
}

NWDSCCODE Buffer::add(Item item) {
  if (item.cost > room()) return ERR_BUFFER_FULL;
  used += item.cost;
  items.push_back(std::move(item));
  return 0;
}

Buffer *live_buffer(const Buf_T *buf) {
  if (buf == nullptr) return nullptr;
  Registry &r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  if (r.live.count(buf) == 0) return nullptr;
  return reinterpret_cast<Buffer *>(const_cast<Buf_T *>(buf));
}

bool buffer_is_live(const Buf_T *buf) { return live_buffer(buf) != nullptr; }

size_t live_buffer_count() {
  Registry &r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  return r.live.size();
}

bool is_verb(nuint32 operation) {
  switch (operation) {
  case DSV_UNUSED_0: case DSV_RESOLVE_NAME: case DSV_READ_ENTRY_INFO: case DSV_READ:
  case DSV_COMPARE: case DSV_LIST: case DSV_SEARCH: case DSV_ADD_ENTRY:
  case DSV_REMOVE_ENTRY: case DSV_MODIFY_ENTRY: case DSV_MODIFY_RDN: case DSV_DEFINE_ATTR:
  case DSV_READ_ATTR_DEF: case DSV_REMOVE_ATTR_DEF: case DSV_DEFINE_CLASS:
  case DSV_READ_CLASS_DEF: case DSV_MODIFY_CLASS_DEF: case DSV_REMOVE_CLASS_DEF:
  case DSV_LIST_CONTAINABLE_CLASSES: case DSV_GET_EFFECTIVE_RIGHTS: case DSV_ADD_PARTITION:
  case DSV_REMOVE_PARTITION: case DSV_LIST_PARTITIONS: case DSV_SPLIT_PARTITION:
  case DSV_JOIN_PARTITIONS: case DSV_ADD_REPLICA: case DSV_REMOVE_REPLICA:
  case DSV_OPEN_STREAM: case DSV_SEARCH_FILTER: case DSV_CHANGE_REPLICA_TYPE:
  case DSV_SYNC_PARTITION: case DSV_SYNC_SCHEMA: case DSV_READ_SYNTAXES:
  case DSV_GET_REPLICA_ROOT_ID: case DSV_BEGIN_MOVE_ENTRY: case DSV_FINISH_MOVE_ENTRY:
  case DSV_RELEASE_MOVED_ENTRY: case DSV_BACKUP_ENTRY: case DSV_RESTORE_ENTRY:
  case DSV_CLOSE_ITERATION: case DSV_GET_SERVER_ADDRESS: case DSV_SET_KEYS:
  case DSV_CHANGE_PASSWORD: case DSV_VERIFY_PASSWORD: case DSV_BEGIN_LOGIN:
  case DSV_FINISH_LOGIN: case DSV_BEGIN_AUTHENTICATION: case DSV_FINISH_AUTHENTICATION:
  case DSV_LOGOUT: case DSV_REPAIR_RING: case DSV_REPAIR_TIMESTAMPS:
  case DSV_DESIGNATE_NEW_MASTER: case DSV_CHECK_LOGIN_RESTRICTIONS:
  case DSV_ABORT_PARTITION_OPERATION: case DSV_READ_REFERENCES: case DSV_INSPECT_ENTRY:
    return true;
  default:
    return false;
  }
}

NWDSCCODE alloc_buf(size_t size, pBuf_T *buf) {
  *buf = nullptr;
  if (size == 0) return ERR_BUFFER_ZERO_LENGTH;
  auto b = std::make_unique<Buffer>();
  b->size = size > MAX_MESSAGE_LEN ? MAX_MESSAGE_LEN : size;
  Registry &r = registry();
  std::lock_guard<std::mutex> g(r.lock);
  r.live.insert(b.get());
  *buf = reinterpret_cast<pBuf_T>(b.release());
  return 0;
}

NWDSCCODE init_buf(NWDSContextHandle context, nuint32 operation, pBuf_T buf) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  if (!is_verb(operation)) return ERR_BAD_VERB;
  buffer_of(buf)->reset(operation);
  return 0;
}

NWDSCCODE free_buf(pBuf_T buf) {
  Registry &r = registry();
  {
    std::lock_guard<std::mutex> g(r.lock);
    if (r.live.erase(buf) == 0) return ERR_INVALID_HANDLE;
  }
  delete buffer_of(buf);
  return 0;
}

} // namespace nwc
