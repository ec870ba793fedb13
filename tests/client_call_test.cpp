// The client's call layer: the function list against the public header, the
// trace line, the fault plan and the argument checks every call makes.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <cctype>
#include <set>
#include <stdexcept>

#include "call.h"
#include "client_env.h"
#include "context.h"
#include "nwclient.h"

namespace {

std::string hex(const void *p) {
  char b[32];
  std::snprintf(b, sizeof b, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return b;
}

// ---- the function list ------------------------------------------------------

struct Declared {
  std::string name;
  std::vector<std::string> params;
};

bool ident_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The last identifier of `s` ("const nstr8 *object" -> "object").
std::string last_ident(const std::string &s) {
  size_t e = s.size();
  while (e > 0 && !ident_char(s[e - 1])) --e;
  size_t b = e;
  while (b > 0 && ident_char(s[b - 1])) --b;
  return s.substr(b, e - b);
}

// The function prototypes of nwclient.h, in order, with their parameter names.
std::vector<Declared> header_functions() {
  std::filesystem::path h =
      std::filesystem::path(VORLA_SOURCE_DIR) / "client" / "include" / "nwclient.h";
  std::ifstream in(h);
  std::string text, line;
  for (bool in_comment = false; std::getline(in, line);) {
    std::string kept;
    for (size_t i = 0; i < line.size(); ++i) {
      if (in_comment) {
        if (line.compare(i, 2, "*/") == 0) in_comment = false, ++i;
      } else if (line.compare(i, 2, "/*") == 0) {
        in_comment = true, ++i;
      } else {
        kept += line[i];
      }
    }
    if (kept.find_first_not_of(" \t") != std::string::npos && kept[kept.find_first_not_of(" \t")] == '#')
      continue;
    text += kept + ' ';
  }
  std::vector<Declared> out;
  size_t from = 0;
  for (size_t semi; (semi = text.find(';', from)) != std::string::npos; from = semi + 1) {
    std::string decl = text.substr(from, semi - from);
    size_t open = decl.find('('), close = decl.rfind(')');
    if (open == std::string::npos || close == std::string::npos ||
        decl.find_first_not_of(" \t", close + 1) != std::string::npos)
      continue;
    Declared d{last_ident(decl.substr(0, open)), {}};
    std::stringstream ps(decl.substr(open + 1, close - open - 1));
    for (std::string p; std::getline(ps, p, ',');)
      if (std::string n = last_ident(p); !n.empty() && n != "void") d.params.push_back(n);
    out.push_back(d);
  }
  return out;
}

TEST(ClientFunctionList, MatchesEveryHeaderFunctionAndItsParameterNames) {
  auto declared = header_functions();
  const auto &known = nwc::function_list();
  ASSERT_EQ(declared.size(), 128u) << "the header parse went wrong";
  ASSERT_EQ(known.size(), declared.size());
  for (size_t i = 0; i < known.size(); ++i) {
    SCOPED_TRACE(declared[i].name);
    EXPECT_EQ(known[i].name, declared[i].name);
    EXPECT_EQ(nwc::param_names(known[i].params), declared[i].params);
  }
}

TEST(ClientFunctionList, ShowsWhatIsNotBuiltYet) {
  std::set<std::string> names;
  std::string missing;
  int not_built = 0;
  for (const auto &f : nwc::function_list()) {
    names.insert(f.name);
    if (f.build != nwc::Build::built) {
      ++not_built;
      missing += std::string(" ") + f.name;
    }
  }
  EXPECT_EQ(names.size(), 128u) << "a function is listed twice";
  std::printf("[ client   ] %d of 128 functions not built yet:%s\n", not_built, missing.c_str());
  EXPECT_EQ(not_built, 0) << "not built:" << missing;
  for (const char *built : {"NWDSCreateContext", "NWDSSetContext", "NWSetDefaultNameContext",
                            "NWLlocaleconv", "NWUnicodeToLocal", "NWDSAllocBuf", "NWDSFreeBuf"})
    EXPECT_EQ((missing + " ").find(std::string(" ") + built + " "), std::string::npos) << built;
}

TEST(ClientFunctionList, ParamNamesReadTheWrappedArguments) {
  EXPECT_EQ(nwc::param_names("context, opt(out(conn)), textn(context, contextLength), io(h)"),
            (std::vector<std::string>{"context", "conn", "context", "h"}));
  EXPECT_TRUE(nwc::param_names("").empty());
}

// ---- trace lines ---------------------------------------------------------------

class ClientTrace : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(NWDSCreateContextHandle(&ctx), 0);
    ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf), 0);
  }
  void TearDown() override {
    NWDSFreeBuf(buf);
    NWDSFreeContext(ctx);
  }
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
  NWDSContextHandle ctx = -1;
  pBuf_T buf = nullptr;
};

TEST_F(ClientTrace, FailedCallShowsEveryKindOfArgument) {
  TraceFile t;
  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSRead(ctx, "CN=Nobody", DS_VALUE_INFO, 1, nullptr, &it, buf), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(t.last(), "NWDSRead(context=" + std::to_string(ctx) +
                          ", object=\"CN=Nobody\", infoType=3, allAttrs=1, attrNames=NULL, "
                          "iterationHandle=-1, objectInfo=" + hex(buf) + ") = -601");
}

TEST_F(ClientTrace, BuiltCallHasNoSuffixAndOutParametersShowAmpersand) {
  TraceFile t;
  nint32 flags = 0;
  ASSERT_EQ(NWDSGetContext(ctx, DCK_FLAGS, &flags), 0);
  EXPECT_EQ(t.last(), "NWDSGetContext(context=" + std::to_string(ctx) + ", key=1, value=&) = 0");
  NWDSContextHandle h = -1;
  ASSERT_EQ(NWDSCreateContextHandle(&h), 0);
  EXPECT_EQ(t.last(), "NWDSCreateContextHandle(newHandle=&) = 0");
  NWDSFreeContext(h);
  EXPECT_EQ(t.last(), "NWDSFreeContext(context=" + std::to_string(h) + ") = 0");
  EXPECT_EQ(t.lines().size(), 3u);
}

TEST_F(ClientTrace, HandleFunctionsShowTheHandleAsResult) {
  TraceFile t;
  NWDSContextHandle h = NWDSCreateContext();
  ASSERT_GT(h, 0);
  EXPECT_EQ(t.last(), "NWDSCreateContext() = " + std::to_string(h));
  EXPECT_EQ(NWDSDuplicateContext(-7), ERR_BAD_CONTEXT);
  EXPECT_EQ(t.last(), "NWDSDuplicateContext(oldContext=-7) = -303");
  NWDSFreeContext(h);
}

TEST_F(ClientTrace, TextsAreQuotedAndEscaped) {
  TraceFile t;
  const char *nc = "O=a\"b\\c\nd";
  ASSERT_EQ(NWDSSetDefNameContext(ctx, 100, nc), 0);
  EXPECT_EQ(t.last(), "NWDSSetDefNameContext(context=" + std::to_string(ctx) +
                          ", nameContextLen=100, nameContext=\"O=a\\\"b\\\\c\\nd\") = 0");
  // A text with a length shows no more than that length.
  const nuint8 longer[] = "O=Example.Extra";
  ASSERT_EQ(NWSetDefaultNameContext(9, longer), 0);
  EXPECT_EQ(t.last(), "NWSetDefaultNameContext(contextLength=9, context=\"O=Example\") = 0");
  nwc::forget_default_name_context();
}

TEST_F(ClientTrace, UnsignedAndSignedIntegersKeepTheirSign) {
  TraceFile t;
  NWDSCloseIteration(ctx, -5, 4294967295u);
  EXPECT_EQ(t.last(), "NWDSCloseIteration(context=" + std::to_string(ctx) +
                          ", iterationHandle=-5, operation=4294967295) = -642");
  nuint8 cs = 0;
  NWDSGetConnectionSlot(200, 7, 3, reinterpret_cast<nuint8 *>(&cs), nullptr);
  EXPECT_EQ(t.last(), "NWDSGetConnectionSlot(connType=200, transType=7, transLen=3, transBuf=" +
                          hex(&cs) + ", conn=NULL) = -331");
}

TEST_F(ClientTrace, PasswordsAreMasked) {
  TraceFile t;
  NWDSLogin(ctx, 0, "CN=Admin", "s3cret\"pw", 0);
  std::string line = t.last();
  EXPECT_EQ(line.substr(0, line.rfind(" = ")),
            "NWDSLogin(context=" + std::to_string(ctx) +
                ", optionsFlag=0, objectName=\"CN=Admin\", password=\"***\", validityPeriod=0)");
  EXPECT_EQ(line.find("s3cret"), std::string::npos);
  // An object that does not exist: the trace is the point, not the change.
  NWDSChangeObjectPassword(ctx, 0, "CN=No Such Trace User", "", "new");
  EXPECT_NE(t.last().find("oldPassword=\"\", newPassword=\"***\""), std::string::npos) << t.last();
  NWDSVerifyObjectPassword(ctx, 0, "CN=Admin", nullptr);
  EXPECT_NE(t.last().find("password=NULL) = -331"), std::string::npos) << t.last();
}

TEST_F(ClientTrace, InOutIntegerShowsItsValueAtEntryOrNull) {
  TraceFile t;
  nint32 it = 42;
  NWDSList(ctx, "O=Example", &it, buf);
  EXPECT_NE(t.last().find("iterationHandle=42, subordinates="), std::string::npos) << t.last();
  EXPECT_EQ(NWDSList(ctx, "O=Example", nullptr, buf), ERR_NULL_POINTER);
  EXPECT_NE(t.last().find("iterationHandle=NULL, subordinates="), std::string::npos) << t.last();
  EXPECT_EQ(t.last().substr(t.last().size() - 6), "= -331");
}

TEST_F(ClientTrace, DashWritesToStandardError) {
  ScopedEnv e("NWCLIENT_TRACE", "-");
  testing::internal::CaptureStderr();
  NWDSFreeContext(-1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "NWDSFreeContext(context=-1) = -303\n");
}

TEST_F(ClientTrace, NothingIsWrittenWhenTraceIsUnsetOrEmpty) {
  std::string path;
  {
    TraceFile t;
    path = t.path();
    {
      ScopedEnv off("NWCLIENT_TRACE", nullptr);
      NWDSFreeContext(-1);
    }
    {
      ScopedEnv empty("NWCLIENT_TRACE", "");
      NWDSFreeContext(-1);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    NWDSFreeContext(-1);
    EXPECT_EQ(t.lines().size(), 1u);
  }
}

// An engine as the later parts of the client will have them: some cases not
// built yet, and exceptions that must not cross the C boundary.
NWDSCCODE partial_engine(NWDSContextHandle, nint32 mode) {
  if (mode == 1) return nwc::NOT_BUILT;
  if (mode == 2) throw std::bad_alloc();
  if (mode == 3) throw std::runtime_error("engine fault");
  return mode;
}

NWDSCCODE PartialFunction(NWDSContextHandle context, nint32 mode) {
  NWC_PART(partial_engine, context, mode);
}

TEST(ClientCallLayer, PartlyBuiltEnginesAndExceptionsBecomeStatuses) {
  ScopedEnv f("NWCLIENT_FAULTS", nullptr);
  TraceFile t;
  EXPECT_EQ(PartialFunction(3, 0), 0);
  EXPECT_EQ(t.last(), "PartialFunction(context=3, mode=0) = 0");
  EXPECT_EQ(PartialFunction(3, 1), ERR_INVALID_REQUEST);
  EXPECT_EQ(t.last(), "PartialFunction(context=3, mode=1) = -641 (not built yet)");
  EXPECT_EQ(PartialFunction(3, 2), ERR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(PartialFunction(3, 3), ERR_SYSTEM_ERROR);
  EXPECT_EQ(t.last(), "PartialFunction(context=3, mode=3) = -319");
  const nwc::Site *site = nwc::probe_function(&PartialFunction);
  ASSERT_NE(site, nullptr);
  EXPECT_EQ(site->build, nwc::Build::partial);
  EXPECT_EQ(t.lines().size(), 4u) << "a probe is not a call";
}

// ---- the fault plan -----------------------------------------------------------------

class ClientFaults : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(NWDSCreateContextHandle(&ctx), 0); }
  void TearDown() override { NWDSFreeContext(ctx); }
  NWDSContextHandle ctx = -1;
};

TEST_F(ClientFaults, CreatingFunctionsReturnThePlannedValue) {
  ScopedEnv f("NWCLIENT_FAULTS", "NWDSCreateContext=-328,NWDSDuplicateContext=-301");
  EXPECT_EQ(NWDSCreateContext(), ERR_CONTEXT_CREATION);
  EXPECT_EQ(NWDSDuplicateContext(ctx), ERR_NOT_ENOUGH_MEMORY);
  // The handle twin is not named, so it still works.
  NWDSContextHandle h = -1;
  ASSERT_EQ(NWDSCreateContextHandle(&h), 0);
  EXPECT_GT(h, 0);
  NWDSFreeContext(h);
}

TEST_F(ClientFaults, AFaultedCallChangesNothingAndWritesNoOutput) {
  char area[MAX_DN_BYTES];
  std::strcpy(area, "untouched");
  {
    ScopedEnv f("NWCLIENT_FAULTS", "NWDSSetContext=-601, NWDSGetContext = -602 ,NWDSFreeContext=-603");
    EXPECT_EQ(NWDSSetContext(ctx, DCK_NAME_CONTEXT, "O=Faulted"), -601);
    EXPECT_EQ(NWDSGetContext(ctx, DCK_NAME_CONTEXT, area), -602);
    EXPECT_STREQ(area, "untouched");
    EXPECT_EQ(NWDSFreeContext(ctx), -603);
    // Even a call that would fail its checks returns the planned status.
    EXPECT_EQ(NWDSGetContext(ctx, DCK_NAME_CONTEXT, nullptr), -602);
  }
  ASSERT_EQ(NWDSGetContext(ctx, DCK_NAME_CONTEXT, area), 0) << "the faulted free freed it";
  EXPECT_STRNE(area, "O=Faulted");
}

TEST_F(ClientFaults, OnlyTheExactNameIsFaulted) {
  ScopedEnv f("NWCLIENT_FAULTS", "NWDSCreateContext=-328,bogus,NWDSGetContext=abc,=5,NWDSFree=-1");
  NWDSContextHandle h = -1;
  EXPECT_EQ(NWDSCreateContextHandle(&h), 0);
  nint32 v = 0;
  EXPECT_EQ(NWDSGetContext(h, DCK_FLAGS, &v), 0) << "a value that is no number is ignored";
  EXPECT_EQ(NWDSFreeContext(h), 0);
}

TEST_F(ClientFaults, NotBuiltFunctionsAndLocaleAreFaultedToo) {
  ScopedEnv f("NWCLIENT_FAULTS", "NWDSRead=-601,NWLlocaleconv=-1,NWGetNWNetVersion=-5");
  EXPECT_EQ(NWDSRead(ctx, "X", 0, 1, nullptr, nullptr, nullptr), -601);
  LCONV l;
  std::memset(&l, 0x5A, sizeof l);
  EXPECT_EQ(NWLlocaleconv(&l), nullptr);
  EXPECT_EQ(l.code_page, 0x5A5A5A5A);
  nuint8 v[4] = {9, 9, 9, 9};
  EXPECT_EQ(NWGetNWNetVersion(&v[0], &v[1], &v[2], &v[3]), -5);
  EXPECT_EQ(v[0], 9);
}

TEST_F(ClientFaults, AFaultedCallIsTracedWithItsPlannedStatus) {
  ScopedEnv f("NWCLIENT_FAULTS", "NWDSFreeContext=-699");
  TraceFile t;
  EXPECT_EQ(NWDSFreeContext(ctx), -699);
  EXPECT_EQ(t.last(), "NWDSFreeContext(context=" + std::to_string(ctx) + ") = -699");
}

// ---- argument checks ------------------------------------------------------------------

TEST(ClientChecks, RequiredPointersGiveNullPointerAndOptionalOnesPass) {
  ScopedEnv f("NWCLIENT_FAULTS", nullptr);
  EXPECT_EQ(NWDSCreateContextHandle(nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWGetNWNetVersion(nullptr, nullptr, nullptr, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSWhoAmI(1, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWLlocaleconv(nullptr), nullptr);
  // Optional pointers go through to the engine (here: it refuses connection 0).
  EXPECT_EQ(NWDSGetDSVerInfo(0, nullptr, nullptr, nullptr, nullptr, nullptr), ERR_INVALID_CONN_HANDLE);
}

TEST(ClientChecks, BufferArgumentsMustBeLive) {
  ScopedEnv f("NWCLIENT_FAULTS", nullptr);
  NWDSContextHandle ctx = NWDSCreateContext();
  pBuf_T live = nullptr, dead = nullptr;
  ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &live), 0);
  ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &dead), 0);
  ASSERT_EQ(NWDSFreeBuf(dead), 0);
  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSRead(ctx, "X", 1, 1, nullptr, &it, dead), ERR_INVALID_HANDLE);
  EXPECT_EQ(NWDSRead(ctx, "X", 1, 0, dead, &it, live), ERR_INVALID_HANDLE) << "optional but not live";
  EXPECT_EQ(NWDSRead(ctx, "X", 1, 1, nullptr, &it, live), ERR_NO_SUCH_ENTRY) << "checks passed";
  EXPECT_EQ(NWDSRead(ctx, "X", 1, 1, nullptr, &it, nullptr), ERR_NULL_POINTER);
  NWDSFreeBuf(live);
  NWDSFreeContext(ctx);
}

} // namespace
