/*
 * call.cpp - the untemplated half of the call layer: the fault plan, the
 * trace line, and the reading of a call site's argument text.
 *
 * Invariants:
 *  - The fault plan and the trace destination are read from the environment
 *    on every call (call_settings); nothing is cached.
 *  - A trace line is written with one write() so that lines from several
 *    processes sharing a file do not interleave; errno is left as it was.
 *  - Text values are quoted with '\' and '"' escaped; control bytes are
 *    escaped too (\n, \r, \t, \xHH) so that one call is always one line.
 */
#include "call.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace nwc {

void call_settings(const char *&faults, const char *&trace) {
  /* Every variable of ours begins with this; most entries are passed over
     at their first byte. */
  static constexpr char kPrefix[] = "NWCLIENT_";
  faults = trace = nullptr;
  for (char **e = environ; e != nullptr && *e != nullptr; ++e) {
    const char *v = *e;
    if (v[0] != 'N' || std::strncmp(v, kPrefix, sizeof kPrefix - 1) != 0) continue;
    const char *name = v + sizeof kPrefix - 1;
    if (std::strncmp(name, "FAULTS=", 7) == 0) {
      if (faults == nullptr) faults = name + 7;
    } else if (std::strncmp(name, "TRACE=", 6) == 0) {
      if (trace == nullptr) trace = name + 6;
    }
  }
}

void show_int(std::string &o, long long v) { o += std::to_string(v); }

void show_uint(std::string &o, unsigned long long v) { o += std::to_string(v); }

void show_ptr(std::string &o, const void *p) {
  if (p == nullptr) {
    o += "NULL";
    return;
  }
  char tmp[2 + sizeof(uintptr_t) * 2 + 1];
  static const char hex[] = "0123456789abcdef";
  uintptr_t v = reinterpret_cast<uintptr_t>(p);
  char *e = tmp + sizeof tmp;
  char *s = e;
  do {
    *--s = hex[v & 0xF];
    v >>= 4;
  } while (v != 0);
  *--s = 'x';
  *--s = '0';
  o.append(s, static_cast<size_t>(e - s));
}

void show_text(std::string &o, const char *p, size_t max) {
  if (p == nullptr) {
    o += "NULL";
    return;
  }
  static const char hex[] = "0123456789abcdef";
  o += '"';
  for (size_t i = 0; i < max && p[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    switch (c) {
    case '\\': o += "\\\\"; break;
    case '"': o += "\\\""; break;
    case '\n': o += "\\n"; break;
    case '\r': o += "\\r"; break;
    case '\t': o += "\\t"; break;
    default:
      if (c < 0x20 || c == 0x7F) {
        o += "\\x";
        o += hex[c >> 4];
        o += hex[c & 0xF];
      } else {
        o += static_cast<char>(c);
      }
    }
  }
  o += '"';
}

namespace {

bool is_space(char c) { return c == ' ' || c == '\t'; }

/* The next comma-separated piece of `s` from `pos`, commas inside
   parentheses not counting; `pos` moves past it. */
std::string_view next_piece(std::string_view s, size_t &pos) {
  size_t start = pos, depth = 0;
  while (pos < s.size()) {
    char c = s[pos];
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (c == ',' && depth == 0) break;
    ++pos;
  }
  std::string_view piece = s.substr(start, pos - start);
  if (pos < s.size()) ++pos; /* the comma */
  return piece;
}

bool is_ident(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

/* The parameter an argument text names: the identifier after the last '('
   ("opt(out(conn))" -> "conn", "textn(context, contextLength)" -> "context"). */
std::string_view name_of(std::string_view piece) {
  size_t open = piece.rfind('(');
  size_t i = open == std::string_view::npos ? 0 : open + 1;
  while (i < piece.size() && !is_ident(piece[i])) ++i;
  size_t j = i;
  while (j < piece.size() && is_ident(piece[j])) ++j;
  return piece.substr(i, j - i);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

} // namespace

std::vector<std::string> param_names(const char *params) {
  std::vector<std::string> names;
  std::string_view s(params);
  size_t pos = 0;
  while (pos < s.size()) names.emplace_back(name_of(next_piece(s, pos)));
  return names;
}

bool planned_fault(const char *name, const char *plan, NWDSCCODE &status) {
  int saved = errno;
  struct Restore {
    int e;
    ~Restore() { errno = e; }
  } restore{saved};
  std::string_view want(name), s(plan);
  size_t pos = 0;
  while (pos < s.size()) {
    size_t comma = s.find(',', pos);
    std::string_view pair = s.substr(pos, comma == std::string_view::npos ? s.npos : comma - pos);
    pos = comma == std::string_view::npos ? s.size() : comma + 1;
    size_t eq = pair.find('=');
    if (eq == std::string_view::npos || trim(pair.substr(0, eq)) != want) continue;
    std::string value(trim(pair.substr(eq + 1)));
    if (value.empty()) continue;
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(value.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < INT32_MIN || v > UINT32_MAX) continue;
    status = static_cast<NWDSCCODE>(static_cast<uint32_t>(v)); /* 4294966968 is -328 */
    return true;
  }
  return false;
}

void trace_begin(std::string &line, const Site &site) {
  line.reserve(160);
  line += site.name;
  line += '(';
}

void trace_name(std::string &line, const Site &site, size_t &cursor) {
  std::string_view s(site.params);
  if (cursor != 0) line += ", ";
  line += name_of(next_piece(s, cursor));
  line += '=';
}

void trace_end(std::string &line, const char *dest, bool not_built) {
  int saved = errno;
  if (not_built) line += " (not built yet)";
  line += '\n';
  int fd = 2;
  bool own = std::strcmp(dest, "-") != 0;
  if (own) fd = ::open(dest, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const char *p = line.data();
    size_t left = line.size();
    while (left > 0) {
      ssize_t n = ::write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      p += n;
      left -= static_cast<size_t>(n);
    }
    if (own) ::close(fd);
  }
  errno = saved;
}

} // namespace nwc
