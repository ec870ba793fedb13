/*
 * context.cpp - the context table and the engines of the context functions.
 *
 * Invariants (see context.h): slot i holds handle i+1; `next` is where the
 * round-robin search for a free slot starts; every stored text fits its
 * published area with its terminator, so the readers copy without checking.
 *
 * Status codes chosen here:
 *  - a name context or tree name that does not fit its area (MAX_DN_BYTES /
 *    MAX_TREE_NAME_BYTES with the terminator; a tree name also at most
 *    MAX_TREE_NAME_CHARS characters) is refused with ERR_INVALID_DS_NAME and
 *    the setting is left as it was;
 *  - a caller's area too small for the text read into it: ERR_BUFFER_FULL,
 *    and the area gets an empty text when it has room for the terminator.
 *
 * A new context's tree name is the store's own when the store is a file that
 * exists already: opening it is cheap (nothing is seeded), and its name is
 * remembered per path, so only the first context of a process pays for it.
 * A store that does not exist yet, or a private ":memory:" one, is not
 * created just for a context: such a store is seeded with the configured
 * name, which is therefore the name to give.  A store that fails to open
 * leaves the configured name too (the failure shows on the first directory
 * call instead).
 */
#include "context.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "config.h"
#include "store/store.h"

#include <map>
#include <sys/stat.h>

namespace nwc {

namespace {

struct Table {
  std::mutex lock;
  std::vector<std::unique_ptr<Context>> slots = std::vector<std::unique_ptr<Context>>(MAX_CONTEXTS);
  size_t next = 0;
  std::optional<std::string> default_nc; /* set by NWSetDefaultNameContext */
};

Table &table() {
  static Table *t = new Table; /* never destroyed: usable until exit */
  return *t;
}

/* The live context of `h`, or null.  Caller holds the lock. */
Context *find(Table &t, NWDSContextHandle h) {
  if (h < 1 || h > MAX_CONTEXTS) return nullptr;
  return t.slots[static_cast<size_t>(h - 1)].get();
}

std::string default_nc_locked(Table &t) {
  return t.default_nc ? *t.default_nc : configured_name_context();
}

/* Puts `c` into a free slot; the new handle, or ERR_CONTEXT_CREATION. */
NWDSContextHandle issue(Table &t, std::unique_ptr<Context> c) {
  for (size_t n = 0; n < t.slots.size(); ++n) {
    size_t i = (t.next + n) % t.slots.size();
    if (!t.slots[i]) {
      t.slots[i] = std::move(c);
      t.next = (i + 1) % t.slots.size();
      return static_cast<NWDSContextHandle>(i + 1);
    }
  }
  return ERR_CONTEXT_CREATION;
}

/* Copies `s` into an area of `size` bytes: ERR_BUFFER_FULL when it does not
   fit with its terminator (the area then holds "" if it can). */
NWDSCCODE copy_out(const std::string &s, void *area, size_t size) {
  char *d = static_cast<char *>(area);
  if (s.size() + 1 > size) {
    if (size > 0) d[0] = '\0';
    return ERR_BUFFER_FULL;
  }
  std::memcpy(d, s.c_str(), s.size() + 1);
  return 0;
}

/* The text at `p`, at most `max` bytes and no further than a zero byte. */
std::string bounded(const void *p, size_t max) {
  const char *s = static_cast<const char *>(p);
  return std::string(s, strnlen(s, max));
}

/* The tree name for a new context (see the file comment). */
std::string tree_name_for_new_context() {
  static std::mutex lock;
  static std::map<std::string, std::string> *known = new std::map<std::string, std::string>;
  const std::string path = store_path_from_environment();
  if (path == ":memory:") return configured_tree_name();
  {
    std::lock_guard<std::mutex> g(lock);
    auto it = known->find(path);
    if (it != known->end()) return it->second;
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return configured_tree_name();
  auto store = current_store();
  if (!store) return configured_tree_name();
  auto name = (*store)->tree_name();
  if (!name || !tree_name_fits(*name)) return configured_tree_name();
  std::lock_guard<std::mutex> g(lock);
  (*known)[path] = *name;
  return *name;
}

} // namespace

bool context_is_live(NWDSContextHandle h) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  return find(t, h) != nullptr;
}

NWDSCCODE context_snapshot(NWDSContextHandle h, Context &out) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  Context *c = find(t, h);
  if (c == nullptr) return ERR_BAD_CONTEXT;
  out = *c;
  return 0;
}

NWDSCCODE with_context(NWDSContextHandle h, ContextFn fn) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  Context *c = find(t, h);
  if (c == nullptr) return ERR_BAD_CONTEXT;
  return fn(*c);
}

bool any_context_logged_in() {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  for (const auto &c : t.slots)
    if (c && !c->identity.empty()) return true;
  return false;
}

std::string default_name_context() {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  return default_nc_locked(t);
}

void forget_default_name_context() {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  t.default_nc.reset();
}

NWDSContextHandle create_context() {
  auto c = std::make_unique<Context>();
  c->tree_name = tree_name_for_new_context();
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  c->name_context = default_nc_locked(t);
  return issue(t, std::move(c));
}

NWDSCCODE create_context_handle(NWDSContextHandle *newHandle) {
  NWDSContextHandle h = create_context();
  if (h < 0) return h;
  *newHandle = h;
  return 0;
}

NWDSContextHandle duplicate_context(NWDSContextHandle oldContext) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  Context *c = find(t, oldContext);
  if (c == nullptr) return ERR_BAD_CONTEXT;
  return issue(t, std::make_unique<Context>(*c));
}

NWDSCCODE duplicate_context_handle(NWDSContextHandle src, NWDSContextHandle *dest) {
  NWDSContextHandle h = duplicate_context(src);
  if (h < 0) return h;
  *dest = h;
  return 0;
}

NWDSCCODE free_context(NWDSContextHandle context) {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  if (find(t, context) == nullptr) return ERR_BAD_CONTEXT;
  t.slots[static_cast<size_t>(context - 1)].reset();
  return 0;
}

NWDSCCODE get_context(NWDSContextHandle context, nint32 key, void *value) {
  return with_context(context, [&](Context &c) -> NWDSCCODE {
    nint32 v;
    switch (key) {
    case DCK_FLAGS: v = static_cast<nint32>(c.flags); break;
    case DCK_CONFIDENCE: v = c.confidence; break;
    case DCK_REFERRAL_SCOPE: v = c.referral_scope; break;
    case DCK_LAST_CONNECTION: v = c.last_connection; break;
    case DCK_NAME_CONTEXT: return copy_out(c.name_context, value, MAX_DN_BYTES);
    case DCK_TREE_NAME: return copy_out(c.tree_name, value, MAX_TREE_NAME_BYTES);
    default: return ERR_BAD_KEY;
    }
    std::memcpy(value, &v, sizeof v);
    return 0;
  });
}

NWDSCCODE set_context(NWDSContextHandle context, nint32 key, const void *value) {
  return with_context(context, [&](Context &c) -> NWDSCCODE {
    nint32 v;
    switch (key) {
    case DCK_FLAGS:
    case DCK_CONFIDENCE:
    case DCK_REFERRAL_SCOPE:
    case DCK_LAST_CONNECTION:
      std::memcpy(&v, value, sizeof v);
      break;
    case DCK_NAME_CONTEXT: {
      std::string s = bounded(value, MAX_DN_BYTES);
      if (s.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_DS_NAME;
      c.name_context = std::move(s);
      return 0;
    }
    case DCK_TREE_NAME: {
      std::string s = bounded(value, MAX_TREE_NAME_BYTES);
      if (!tree_name_fits(s)) return ERR_INVALID_DS_NAME;
      c.tree_name = std::move(s);
      return 0;
    }
    default:
      return ERR_BAD_KEY;
    }
    switch (key) {
    case DCK_FLAGS: c.flags = static_cast<nuint32>(v); break;
    case DCK_CONFIDENCE: c.confidence = v; break;
    case DCK_REFERRAL_SCOPE: c.referral_scope = v; break;
    default: c.last_connection = v; break;
    }
    return 0;
  });
}

NWDSCCODE get_def_name_context(NWDSContextHandle context, nuint32 nameContextLen,
                               pnstr8 nameContext) {
  return with_context(context, [&](Context &c) {
    return copy_out(c.name_context, nameContext, nameContextLen);
  });
}

/* nameContextLen bounds the text taken (it ends earlier at a zero byte). */
NWDSCCODE set_def_name_context(NWDSContextHandle context, nuint32 nameContextLen,
                               const nstr8 *nameContext) {
  std::string s = bounded(nameContext, nameContextLen);
  return with_context(context, [&](Context &c) -> NWDSCCODE {
    if (s.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_DS_NAME;
    c.name_context = std::move(s);
    return 0;
  });
}

NWCCODE get_default_name_context(nuint16 bufferSize, nuint8 *context) {
  return copy_out(default_name_context(), context, bufferSize);
}

/* The first contextLength bytes, up to a zero byte, become the default. */
NWCCODE set_default_name_context(nuint16 contextLength, const nuint8 *context) {
  std::string s = bounded(context, contextLength);
  if (s.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_DS_NAME;
  Table &t = table();
  std::lock_guard<std::mutex> g(t.lock);
  t.default_nc = std::move(s);
  return 0;
}

} // namespace nwc
