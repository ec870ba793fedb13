// The name utilities through the public functions: canonical, abbreviated and
// untyped names across name contexts and flags, attribute-name abbreviations,
// case-ignore comparison, and output areas that are never written past
// MAX_DN_BYTES.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "client_env.h"
#include "nwclient.h"

namespace {

class ClientNames : public ::testing::Test {
protected:
  void SetUp() override {
    ctx = NWDSCreateContext();
    ASSERT_GT(ctx, 0);
  }
  void TearDown() override { NWDSFreeContext(ctx); }

  void Context(const std::string &nc, nuint32 flags = DCV_DEFAULT_FLAGS) {
    ASSERT_EQ(NWDSSetContext(ctx, DCK_NAME_CONTEXT, nc.c_str()), 0);
    ASSERT_EQ(NWDSSetContext(ctx, DCK_FLAGS, &flags), 0);
  }

  // Calls `fn(ctx, in, area)` with an area larger than MAX_DN_BYTES filled
  // with a sentinel; fails the test when anything past MAX_DN_BYTES changed.
  template <class F> NWDSCCODE Call(F fn, const std::string &in, std::string &out) {
    std::vector<char> area(MAX_DN_BYTES + 64, 'Z');
    NWDSCCODE st = fn(ctx, in.c_str(), area.data());
    for (size_t i = MAX_DN_BYTES; i < area.size(); ++i)
      if (area[i] != 'Z') {
        ADD_FAILURE() << "byte " << i << " written for \"" << in << "\"";
        break;
      }
    out = st == 0 ? std::string(area.data()) : std::string(area.data(), 3);
    return st;
  }
  std::string Canon(const std::string &in, NWDSCCODE expect = 0) {
    std::string out;
    EXPECT_EQ(Call(NWDSCanonicalizeName, in, out), expect) << in;
    return out;
  }
  std::string Abbrev(const std::string &in, NWDSCCODE expect = 0) {
    std::string out;
    EXPECT_EQ(Call(NWDSAbbreviateName, in, out), expect) << in;
    return out;
  }
  std::string Untyped(const std::string &in) {
    std::string out;
    EXPECT_EQ(Call(NWDSRemoveAllTypes, in, out), 0) << in;
    return out;
  }
  std::string Expand(const std::string &in, NWDSCCODE expect = 0) {
    std::string out;
    EXPECT_EQ(Call(NWDSReplaceAttrNameAbbrev, in, out), expect) << in;
    return out;
  }
  nint32 Match(const char *a, const char *b) {
    nint32 m = -7;
    EXPECT_EQ(NWDSCIStringsMatch(ctx, a, b, &m), 0);
    return m;
  }

  NWDSContextHandle ctx = -1;
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
};

TEST_F(ClientNames, CanonicalizeCompletesAndTypesNamesAsTheContextReadsThem) {
  Context("OU=Looney Toons.O=Acme");
  EXPECT_EQ(Canon("CN=Elmer Fudd"), "CN=Elmer Fudd.OU=Looney Toons.O=Acme");
  EXPECT_EQ(Canon("Elmer   Fudd"), "CN=Elmer Fudd.OU=Looney Toons.O=Acme") << "typeless, blanks";
  EXPECT_EQ(Canon("cn=Bugs.ou=Sub"), "CN=Bugs.OU=Sub.OU=Looney Toons.O=Acme");
  EXPECT_EQ(Canon("Daffy."), "CN=Daffy.O=Acme") << "a trailing dot climbs one level";
  EXPECT_EQ(Canon("Daffy.Other.."), "CN=Daffy.O=Other") << "two levels, to [Root]";
  EXPECT_EQ(Canon(".Porky.Pigs.Acme"), "CN=Porky.OU=Pigs.O=Acme") << "absolute";
  EXPECT_EQ(Canon("[Root]"), "[Root]");
  EXPECT_EQ(Canon("CN=Nobody.OU=Nowhere"), "CN=Nobody.OU=Nowhere.OU=Looney Toons.O=Acme")
      << "a name operation: the entry need not exist";
  Canon("Too.Many...", ERR_INVALID_OBJECT_NAME);
  Canon("CN=a+b", ERR_INCONSISTENT_MULTIAVA);

  // Typed whatever DCV_TYPELESS_NAMES says, completed whatever
  // DCV_CANONICALIZE_NAMES says.
  Context("OU=Looney Toons.O=Acme", DCV_TYPELESS_NAMES);
  EXPECT_EQ(Canon("Elmer Fudd"), "CN=Elmer Fudd.OU=Looney Toons.O=Acme");
  Context("[Root]");
  EXPECT_EQ(Canon("Elmer Fudd.Acme"), "CN=Elmer Fudd.O=Acme");
  EXPECT_EQ(Canon("Acme"), "O=Acme");
}

TEST_F(ClientNames, AbbreviateIsRelativeToTheNameContextAndTypedUnlessTypeless) {
  Context("OU=Looney Tunes.O=Acme");
  EXPECT_EQ(Abbrev("CN=Elmer Fudd.OU=Looney Tunes.O=Acme"), "CN=Elmer Fudd");
  EXPECT_EQ(Abbrev("Elmer Fudd.Looney Tunes.Acme"), "CN=Elmer Fudd") << "typeless input";
  EXPECT_EQ(Abbrev(".CN=Admin.O=Acme"), "CN=Admin.");
  EXPECT_EQ(Abbrev("CN=X.O=Other"), "CN=X.O=Other..");
  EXPECT_EQ(Abbrev("OU=Looney Tunes.O=Acme"), "OU=Looney Tunes.") << "the context itself";
  EXPECT_EQ(Abbrev("[Root]"), "[Root]");

  Context("OU=Looney Tunes.O=Acme", DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES);
  EXPECT_EQ(Abbrev("CN=Elmer Fudd.OU=Looney Tunes.O=Acme"), "Elmer Fudd");
  EXPECT_EQ(Abbrev("CN=Admin.O=Acme"), "Admin.");
  // Read back without types the leaf would be a CN: the types stay.
  EXPECT_EQ(Abbrev("OU=Props.OU=Looney Tunes.O=Acme"), "OU=Props");
  EXPECT_EQ(Abbrev("CN=Bugs.L=Burbank.OU=Looney Tunes.O=Acme"), "CN=Bugs.L=Burbank");

  Context("[Root]");
  EXPECT_EQ(Abbrev("CN=Elmer Fudd.OU=Looney Tunes.O=Acme"), "CN=Elmer Fudd.OU=Looney Tunes.O=Acme");
  Abbrev("CN=a..", ERR_INVALID_OBJECT_NAME);
}

TEST_F(ClientNames, AnAbbreviatedNameCanonicalizesBackToTheName) {
  const char *names[] = {"CN=Elmer Fudd.OU=Looney Tunes.O=Acme", "CN=Admin.O=Acme",
                         "OU=Props.OU=Looney Tunes.O=Acme", "CN=X.OU=Y.O=Other",
                         "CN=a\\.b+UID=7.OU=Looney Tunes.O=Acme", "O=Acme"};
  const char *contexts[] = {"OU=Looney Tunes.O=Acme", "O=Acme", "[Root]", "OU=Deep.OU=Looney Tunes.O=Acme"};
  for (const char *nc : contexts)
    for (nuint32 flags : {nuint32{DCV_DEFAULT_FLAGS}, nuint32{DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES}}) {
      Context(nc, flags);
      for (const char *n : names) {
        const std::string a = Abbrev(n);
        EXPECT_EQ(Canon(a), n) << "context " << nc << ", flags " << flags << ", abbreviated " << a;
      }
    }
}

TEST_F(ClientNames, RemoveAllTypesIsTextualAndKeepsDotsAndEscapes) {
  Context("OU=Looney Tunes.O=Acme");
  EXPECT_EQ(Untyped("CN=Bob.OU=Marketing.O=WimpleMakers"), "Bob.Marketing.WimpleMakers");
  EXPECT_EQ(Untyped("Bob.Marketing.WimpleMakers"), "Bob.Marketing.WimpleMakers");
  EXPECT_EQ(Untyped(".CN=Bob.O=W"), ".Bob.W");
  EXPECT_EQ(Untyped("CN=Bob.."), "Bob..") << "not resolved: trailing dots stay";
  EXPECT_EQ(Untyped("CN=a\\.b.O=x"), "a\\.b.x");
  EXPECT_EQ(Untyped("CN=a+UID=7.O=x"), "a+7.x");
  Context("[Root]", DCV_TYPELESS_NAMES);
  EXPECT_EQ(Untyped("CN=Bob.OU=Marketing.O=WimpleMakers"), "Bob.Marketing.WimpleMakers");
  std::string out;
  EXPECT_EQ(Call(NWDSRemoveAllTypes, "CN=a+b", out), ERR_INCONSISTENT_MULTIAVA);
}

TEST_F(ClientNames, ReplaceAttrNameAbbrevGivesTheLongNamingAttributeNames) {
  EXPECT_EQ(Expand("CN"), "Common Name");
  EXPECT_EQ(Expand("C"), "Country Name");
  EXPECT_EQ(Expand("L"), "Locality Name");
  EXPECT_EQ(Expand("O"), "Organization Name");
  EXPECT_EQ(Expand("ou"), "Organizational Unit Name");
  EXPECT_EQ(Expand("S"), "State or Province Name");
  EXPECT_EQ(Expand(" sa "), "Street Address");
  EXPECT_EQ(Expand("Surname"), "Surname");
  EXPECT_EQ(Expand("CNX"), "CNX");
  EXPECT_EQ(Expand(""), "");
  const std::string fits(MAX_DN_BYTES - 1, 'a');
  EXPECT_EQ(Expand(fits), fits);
  std::string out;
  EXPECT_EQ(Call(NWDSReplaceAttrNameAbbrev, fits + "a", out), ERR_ATTR_NAME_TOO_LONG);
  EXPECT_EQ(out, "ZZZ") << "a refused text leaves the area alone";
}

TEST_F(ClientNames, CIStringsMatchSetsOneForEqualAndZeroForDifferent) {
  EXPECT_EQ(Match("Dundee", "DUNDEE"), 1);
  EXPECT_EQ(Match("  Dundee  East ", "dundee east"), 1);
  EXPECT_EQ(Match("_Dundee__East_", "DUNDEE EAST"), 1) << "underscores are white space";
  EXPECT_EQ(Match("\xC3\x84rger", "\xC3\xA4RGER"), 1);
  EXPECT_EQ(Match("", "   "), 1);
  EXPECT_EQ(Match("DundeeEast", "Dundee East"), 0);
  EXPECT_EQ(Match("Dundee", "Dundee1"), 0);
  nint32 m = 5;
  EXPECT_EQ(NWDSCIStringsMatch(99999, "a", "a", &m), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSCIStringsMatch(ctx, "a", nullptr, &m), ERR_NULL_POINTER);
  EXPECT_EQ(m, 5);
}

TEST_F(ClientNames, OutputsNeverPassMaxDnBytes) {
  // Four-byte characters reach MAX_DN_BYTES long before MAX_DN_CHARS.
  auto times = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "\xF0\x9F\x98\x80";
    return s;
  };
  const std::string nc = "OU=" + times(50) + ".O=" + times(50); // 406 bytes
  Context(nc);
  std::string out;
  ASSERT_EQ(Call(NWDSCanonicalizeName, times(25), out), 0);
  EXPECT_EQ(out, "CN=" + times(25) + "." + nc);
  EXPECT_EQ(out.size(), size_t{MAX_DN_BYTES - 4});
  // One character more would need MAX_DN_BYTES + 1 with the terminator.
  EXPECT_EQ(Call(NWDSCanonicalizeName, times(26), out), ERR_INVALID_OBJECT_NAME);
  EXPECT_EQ(out, "ZZZ") << "a refused name leaves the area alone";

  Context("[Root]");
  const std::string longest = "CN=" + times(25) + "." + nc;
  ASSERT_EQ(Call(NWDSAbbreviateName, longest, out), 0);
  EXPECT_EQ(out, longest);
  EXPECT_EQ(Call(NWDSAbbreviateName, "CN=" + times(26) + "." + nc, out), ERR_INVALID_OBJECT_NAME);
  ASSERT_EQ(Call(NWDSRemoveAllTypes, longest, out), 0);
  EXPECT_EQ(out, times(25) + "." + times(50) + "." + times(50));
  EXPECT_EQ(Call(NWDSRemoveAllTypes, std::string(600, 'a'), out), ERR_INVALID_OBJECT_NAME);
  EXPECT_EQ(out, "ZZZ");
}

TEST_F(ClientNames, ContextsAndPointersAreChecked) {
  char area[MAX_DN_BYTES];
  EXPECT_EQ(NWDSCanonicalizeName(99999, "CN=a", area), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSAbbreviateName(99999, "CN=a", area), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSRemoveAllTypes(99999, "CN=a", area), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSReplaceAttrNameAbbrev(99999, "CN", area), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSWhoAmI(99999, area), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSCanonicalizeName(ctx, "CN=a", nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSAbbreviateName(ctx, nullptr, area), ERR_NULL_POINTER);
  // A name context that cannot be read refuses what depends on it.
  Context("CN=a+b");
  EXPECT_EQ(NWDSCanonicalizeName(ctx, "x", area), ERR_INCONSISTENT_MULTIAVA);
  EXPECT_EQ(NWDSAbbreviateName(ctx, "CN=x.O=y", area), ERR_INCONSISTENT_MULTIAVA);
}

} // namespace
