// values_bench.cpp - rendering and parsing throughput of the pure value layer
// (values per second), for a list, an ACL and a 1,000-byte octet string.
// bench/values runs it beside the same values through the module.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nwclient.h"
#include "values/parse.h"
#include "values/render.h"

namespace {

template <class F>
double per_second(int n, F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) f();
  const std::chrono::duration<double> dt = std::chrono::steady_clock::now() - t0;
  return n / dt.count();
}

void run(const char* label, const void* record, uint32_t syntax, int n) {
  std::string text;
  const double render = per_second(n, [&] {
    text.clear();
    vorla::RenderAttrValue(record, syntax, text);
  });
  std::vector<char> work(text.size() + 1);
  const double parse = per_second(n, [&] {
    std::memcpy(work.data(), text.data(), text.size() + 1);
    void* v = vorla::ParseAttrValue(work.data(), text.size(), syntax);
    if (!v) std::abort();
    vorla::FreeParsedValue(v, syntax);
  });
  std::printf("%-22s %14.0f %14.0f\n", label, render, parse);
}

}  // namespace

int main() {
  CI_List_T nodes[5];
  const char* words[] = {"English", "German", "French", "Spanish", "Italian"};
  for (int i = 0; i < 5; ++i) {
    nodes[i].s = const_cast<char*>(words[i]);
    nodes[i].next = i < 4 ? &nodes[i + 1] : nullptr;
  }
  Object_ACL_T acl{const_cast<char*>("[Entry Rights]"), const_cast<char*>("CN=Admin.O=Example"), 0x1F};
  std::vector<nuint8> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<nuint8>(i * 7);
  Octet_String_T octets{1000, bytes.data()};

  std::printf("%-22s %14s %14s\n", "pure C++ (values/s)", "render", "parse");
  run("list (5 nodes)", nodes, SYN_CI_LIST, 200000);
  run("ACL", &acl, SYN_OBJECT_ACL, 200000);
  run("octet string (1000)", &octets, SYN_OCTET_STRING, 5000);
}
