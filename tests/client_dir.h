// Helpers for the client tests that work on entries through the public
// functions: a fixture with its own Organization in the process's store and a
// context whose name context is that organization, logged in as the Admin
// (`ctx`, and `admin`, a second one that the fixture's own Add uses), buffers
// freed at the end, and a reader that walks every part of a read.
#ifndef VORLA_TESTS_CLIENT_DIR_H
#define VORLA_TESTS_CLIENT_DIR_H

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "buffer.h"
#include "client_env.h"
#include "nwclient.h"
#include "items.h"
#include "records.h"
#include "value_info.h"

namespace client_dir {

// One attribute of a request: its name, syntax and native records.
struct Attr {
  std::string name;
  nuint32 syntax;
  std::vector<const void *> values;
};

// Values read back: attribute -> values in the order given, and the parts.
struct ReadBack {
  std::map<std::string, std::vector<nwc::Value>> values;
  std::map<std::string, nuint32> syntaxes;
  int parts = 0;
  NWDSCCODE status = 0;
};

class ClientDir : public ::testing::Test {
protected:
  void SetUp() override {
    ctx = NWDSCreateContext();
    ASSERT_GT(ctx, 0);
    ASSERT_EQ(LoginAdmin(ctx), 0);
    admin = NWDSDuplicateContext(ctx);
    ASSERT_GT(admin, 0);
    static int serial = 0;
    org = "CT" + std::to_string(getpid()) + "x" + std::to_string(++serial);
    SetNameContext("[Root]");
    nint32 it = NO_MORE_ITERATIONS;
    ASSERT_EQ(Add("O=" + org, {{"Object Class", SYN_CLASS_NAME, {"Organization"}}}, &it), 0);
    SetNameContext("O=" + org);
  }
  void TearDown() override {
    for (pBuf_T b : bufs) NWDSFreeBuf(b);
    NWDSFreeContext(admin);
    NWDSFreeContext(ctx);
  }
  static NWDSCCODE LoginAdmin(NWDSContextHandle c) {
    return NWDSLogin(c, 0, ".CN=Admin.O=Example", kAdminPassword, 0);
  }
  void SetNameContext(const std::string &nc) {
    ASSERT_EQ(NWDSSetContext(ctx, DCK_NAME_CONTEXT, nc.c_str()), 0);
    ASSERT_EQ(NWDSSetContext(admin, DCK_NAME_CONTEXT, nc.c_str()), 0);
  }
  pBuf_T Buf(nuint32 verb, size_t size = DEFAULT_MESSAGE_LEN) {
    pBuf_T b = nullptr;
    EXPECT_EQ(NWDSAllocBuf(size, &b), 0);
    if (verb != nwc::NO_VERB) {
      EXPECT_EQ(NWDSInitBuf(ctx, verb, b), 0);
    }
    bufs.push_back(b);
    return b;
  }
  // Puts names and values into `b`: the first failing status, or 0.
  NWDSCCODE Put(pBuf_T b, const std::vector<Attr> &attrs, nuint32 change = 0xFFFFFFFFu) {
    for (const Attr &a : attrs) {
      NWDSCCODE st = change == 0xFFFFFFFFu ? NWDSPutAttrName(ctx, b, a.name.c_str())
                                           : NWDSPutChange(ctx, b, change, a.name.c_str());
      if (st != 0) return st;
      for (const void *v : a.values)
        if ((st = NWDSPutAttrVal(ctx, b, a.syntax, v)) != 0) return st;
    }
    return 0;
  }
  NWDSCCODE Add(const std::string &name, const std::vector<Attr> &attrs, nint32 *it = nullptr) {
    pBuf_T b = Buf(DSV_ADD_ENTRY);
    if (NWDSCCODE st = Put(b, attrs)) return st;
    return NWDSAddObject(admin, name.c_str(), it, 0, b);
  }
  NWDSCCODE AddUser(const std::string &cn, std::vector<Attr> more = {}) {
    more.insert(more.begin(), {{"Object Class", SYN_CLASS_NAME, {"User"}},
                               {"Surname", SYN_CI_STRING, {"Tester"}}});
    return Add(cn, more);
  }
  // One change (with its values) applied with NWDSModifyObject.
  NWDSCCODE Modify(const std::string &name, nuint32 change, const Attr &a, NWDSContextHandle c = -1) {
    pBuf_T b = Buf(DSV_MODIFY_ENTRY);
    if (NWDSCCODE st = Put(b, {a}, change)) return st;
    return NWDSModifyObject(c < 0 ? ctx : c, name.c_str(), nullptr, 0, b);
  }
  // Reads every part of an entry with a result buffer of `size` bytes.
  ReadBack Read(const std::string &name, size_t size = DEFAULT_MESSAGE_LEN,
                nuint32 info = DS_ATTRIBUTE_VALUES, const std::vector<std::string> *names = nullptr) {
    ReadBack r;
    pBuf_T req = nullptr;
    if (names != nullptr) {
      req = Buf(DSV_READ);
      for (const auto &n : *names) EXPECT_EQ(NWDSPutAttrName(ctx, req, n.c_str()), 0);
    }
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    do {
      r.status = NWDSRead(ctx, name.c_str(), info, names == nullptr, req, &it, out);
      if (r.status != 0) return r;
      ++r.parts;
      nuint32 attrs = 0;
      EXPECT_EQ(NWDSGetAttrCount(ctx, out, &attrs), 0);
      for (nuint32 i = 0; i < attrs; ++i) {
        char an[MAX_SCHEMA_NAME_BYTES];
        nuint32 count = 0, syn = 0;
        EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
        r.syntaxes[an] = syn;
        auto &vals = r.values[an];
        for (nuint32 k = 0; k < count; ++k) {
          nuint32 size = 0;
          EXPECT_EQ(NWDSComputeAttrValSize(ctx, out, syn, &size), 0);
          std::vector<char> area(size ? size : 1);
          EXPECT_EQ(NWDSGetAttrVal(ctx, out, syn, area.data()), 0);
          nwc::Value v;
          EXPECT_EQ(nwc::record_to_value(syn, area.data(), v), 0);
          vals.push_back(v);
        }
      }
      char an[MAX_SCHEMA_NAME_BYTES];
      nuint32 c, s;
      EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &c, &s), ERR_BUFFER_EMPTY) << "walked to the end";
    } while (it != NO_MORE_ITERATIONS && r.parts < 1000);
    return r;
  }

  NWDSContextHandle ctx = -1;
  NWDSContextHandle admin = -1;
  std::string org;
  std::vector<pBuf_T> bufs;
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
};

// What a read or search under DS_VALUE_INFO or DS_ABBREVIATED_VALUE says of
// a User's values in `out`: its CN names it, one Object Class value is its
// base class, its Surname is only present; the Surname's time (0 under
// DS_ABBREVIATED_VALUE), or 0 when the checks failed.
inline nuint32 ExpectUserValueInfo(pBuf_T out, nuint32 info) {
  SCOPED_TRACE(info == DS_VALUE_INFO ? "DS_VALUE_INFO" : "DS_ABBREVIATED_VALUE");
  std::map<std::string, std::vector<const nwc::Item *>> by_attr;
  std::string attr;
  for (const nwc::Item &item : nwc::buffer_of(out)->items) {
    if (item.tag == nwc::tag::ATTR) attr = item.name;
    if (item.tag == nwc::tag::RESULT_VALUE) by_attr[attr].push_back(&item);
  }
  EXPECT_EQ(by_attr["CN"].size(), 1u);
  if (by_attr["CN"].size() == 1) {
    EXPECT_EQ(by_attr["CN"][0]->number2, nwc::kValuePresent | nwc::kValueNaming);
  }
  nuint32 base = 0;
  for (const nwc::Item *v : by_attr["Object Class"]) base += (v->number2 & nwc::kValueBaseClass) != 0;
  EXPECT_EQ(base, 1u) << "one Object Class value is the base class";
  EXPECT_EQ(by_attr["Surname"].size(), 1u);
  if (by_attr["Surname"].size() != 1) return 0;
  EXPECT_EQ(by_attr["Surname"][0]->number2, nwc::kValuePresent);
  const nuint32 seconds = by_attr["Surname"][0]->number3;
  if (info == DS_VALUE_INFO) {
    EXPECT_GT(seconds, 1600000000u) << "a modification time";
  } else {
    EXPECT_EQ(seconds, 0u) << "no time in the abbreviated form";
  }
  return seconds;
}

} // namespace client_dir

#endif
