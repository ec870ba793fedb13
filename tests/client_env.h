// Helpers for the client tests: environment variables set for one scope and
// restored after it, and a trace file that a test can read back.
#ifndef VORLA_TESTS_CLIENT_ENV_H
#define VORLA_TESTS_CLIENT_ENV_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// The Admin's password in the stores the tests create: set before main, so
// that the process's store is made with it (the store is made on first use).
inline constexpr const char *kAdminPassword = "Admin-test-pw";
inline const bool kAdminPasswordSet = (setenv("NWCLIENT_ADMIN_PASSWORD", kAdminPassword, 1), true);
// Run by hand rather than by CTest, the tests would otherwise work in the
// caller's own default store (~/.local/share/nwclient/tree.db) and leave
// their entries there: without a store named, they get a private one.
inline const bool kStoreSet = (setenv("NWCLIENT_STORE", ":memory:", 0), true);

// Sets (or, with nullptr, unsets) one variable; the destructor puts back
// what was there before.
class ScopedEnv {
public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    if (value != nullptr) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1);
    else unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

// A fresh trace file named in NWCLIENT_TRACE for the scope; lines() reads
// what the client appended.
class TraceFile {
public:
  TraceFile() : path_(make_path()), env_("NWCLIENT_TRACE", path_.c_str()) {}
  ~TraceFile() { std::remove(path_.c_str()); }
  std::vector<std::string> lines() const {
    std::ifstream in(path_);
    std::vector<std::string> v;
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
  }
  std::string last() const {
    auto v = lines();
    return v.empty() ? std::string() : v.back();
  }
  const std::string &path() const { return path_; }

private:
  static std::string make_path() {
    char tmpl[] = "/tmp/nwclient_trace_XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    std::remove(tmpl); // the client creates it on the first line
    return tmpl;
  }
  std::string path_;
  ScopedEnv env_;
};

#endif
