/*
 * config.cpp - reads the client's environment settings (see config.h).
 */
#include "config.h"

#include <cstdlib>
#include <cstring>

#include "nwclient.h"

namespace nwc {

namespace {

/* The variable's value if it is set, not empty and fits `limit` bytes with
   its terminator; otherwise `fallback`. */
std::string setting(const char *name, size_t limit, const char *fallback) {
  const char *v = std::getenv(name);
  if (v == nullptr || *v == '\0' || std::strlen(v) >= limit) return fallback;
  return v;
}

} // namespace

std::string configured_name_context() {
  return setting("NWCLIENT_NAME_CONTEXT", MAX_DN_BYTES, DEFAULT_NAME_CONTEXT);
}

bool tree_name_fits(const std::string &s) {
  if (s.size() + 1 > MAX_TREE_NAME_BYTES) return false;
  size_t chars = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++chars;
  return chars <= MAX_TREE_NAME_CHARS;
}

std::string configured_tree_name() {
  std::string t = setting("NWCLIENT_TREE", MAX_TREE_NAME_BYTES, DEFAULT_TREE_NAME);
  return tree_name_fits(t) ? t : DEFAULT_TREE_NAME;
}

} // namespace nwc
