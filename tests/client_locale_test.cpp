// Start-up, locale and Unicode in the client: the init counts, the version,
// the locale record (where the module reads it: code page at byte 56,
// country at byte 60), code pages and countries, and Unicode-to-local
// conversion with its tables.
#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <langinfo.h>
#include <string>

#include "client_env.h"
#include "intl.h"
#include "nwclient.h"

namespace {

// Switches the process locale for a scope (LC_ALL), restoring it after.
class ScopedLocale {
public:
  explicit ScopedLocale(const char *name) : old_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  bool ok() const { return ok_; }

private:
  std::string old_;
  bool ok_;
};

nint32 at(const unsigned char *rec, size_t off) {
  nint32 v;
  std::memcpy(&v, rec + off, sizeof v);
  return v;
}

TEST(ClientStartup, InitAndTermAreCounted) {
  ScopedEnv f("NWCLIENT_FAULTS", nullptr);
  while (NWCallsTerm(nullptr) == 0) {}
  while (NWNetTerm(nullptr) == 0) {}
  EXPECT_EQ(NWCallsTerm(nullptr), ERR_SYSTEM_ERROR);
  EXPECT_EQ(NWCallsInit(nullptr, nullptr), 0);
  EXPECT_EQ(NWCallsInit(nullptr, nullptr), 0);
  EXPECT_EQ(NWCallsTerm(nullptr), 0);
  EXPECT_EQ(NWCallsTerm(nullptr), 0);
  EXPECT_EQ(NWCallsTerm(nullptr), ERR_SYSTEM_ERROR);

  char in[8] = "in", out[8] = "abc";
  EXPECT_EQ(NWNetTerm(in), ERR_SYSTEM_ERROR);
  EXPECT_EQ(NWNetInit(in, out), 0);
  EXPECT_STREQ(out, "abc") << "NWNetInit writes nothing";
  EXPECT_EQ(NWNetTerm(in), 0);
  EXPECT_EQ(NWNetTerm(nullptr), ERR_SYSTEM_ERROR);
}

TEST(ClientStartup, NetVersionIsFourBytes) {
  nuint8 v[4] = {0, 0, 0, 0};
  ASSERT_EQ(NWGetNWNetVersion(&v[0], &v[1], &v[2], &v[3]), 0);
  EXPECT_EQ(v[0], nwc::NET_VERSION[0]);
  EXPECT_EQ(v[1], nwc::NET_VERSION[1]);
  EXPECT_EQ(v[2], nwc::NET_VERSION[2]);
  EXPECT_EQ(v[3], nwc::NET_VERSION[3]);
  EXPECT_GE(v[0], 4) << "a directory-capable client";
}

TEST(ClientLocale, CodeSetNamesAndTerritoriesMap) {
  EXPECT_EQ(nwc::code_page_from_codeset("UTF-8"), 65001);
  EXPECT_EQ(nwc::code_page_from_codeset("utf8"), 65001);
  EXPECT_EQ(nwc::code_page_from_codeset("ISO-8859-1"), 819);
  EXPECT_EQ(nwc::code_page_from_codeset("ISO-8859-15"), 28605);
  EXPECT_EQ(nwc::code_page_from_codeset("CP1252"), 1252);
  EXPECT_EQ(nwc::code_page_from_codeset("ANSI_X3.4-1968"), 437);
  EXPECT_EQ(nwc::code_page_from_codeset("KOI8-R"), 20866);
  EXPECT_EQ(nwc::code_page_from_codeset("IBM850"), 850);
  EXPECT_EQ(nwc::code_page_from_codeset("no-such-set"), 0);
  EXPECT_EQ(nwc::code_page_from_codeset(""), 0);

  EXPECT_EQ(nwc::country_from_locale_name("en_US.UTF-8"), 1);
  EXPECT_EQ(nwc::country_from_locale_name("de_DE.UTF-8"), 49);
  EXPECT_EQ(nwc::country_from_locale_name("de_AT"), 43);
  EXPECT_EQ(nwc::country_from_locale_name("en_GB.ISO-8859-1"), 44);
  EXPECT_EQ(nwc::country_from_locale_name("fr_FR@euro"), 33);
  EXPECT_EQ(nwc::country_from_locale_name("ja_JP.eucJP"), 81);
  EXPECT_EQ(nwc::country_from_locale_name("C"), 1);
  EXPECT_EQ(nwc::country_from_locale_name("C.UTF-8"), 1);
  EXPECT_EQ(nwc::country_from_locale_name("POSIX"), 1);
  EXPECT_EQ(nwc::country_from_locale_name("xx_ZZ"), 1);

  // Every code page the locale can report, the tables can load.
  for (const char *cs : {"UTF-8", "ISO-8859-1", "CP1252", "ANSI_X3.4-1968", "KOI8-R"})
    EXPECT_NE(nwc::iconv_name_of(nwc::code_page_from_codeset(cs)), nullptr) << cs;
}

TEST(ClientLocale, RecordCarriesCodePageAndCountryWhereTheModuleReadsThem) {
  ScopedEnv f("NWCLIENT_FAULTS", nullptr);
  struct {
    const char *locale;
    nint32 code_page;
  } cases[] = {{"C", 437}, {"C.UTF-8", 65001}};
  for (auto cs : cases) {
    ScopedLocale loc(cs.locale);
    if (!loc.ok()) {
      ADD_FAILURE() << "locale " << cs.locale << " is not available here";
      continue;
    }
    unsigned char area[NW_LOCALE_RECORD_BYTES + 8];
    std::memset(area, 0xAB, sizeof area);
    LCONV *l = reinterpret_cast<LCONV *>(area);
    ASSERT_EQ(NWLlocaleconv(l), l);
    EXPECT_EQ(at(area, 56), cs.code_page) << cs.locale;
    EXPECT_EQ(at(area, 60), 1) << cs.locale;
    for (size_t i = NW_LOCALE_RECORD_BYTES; i < sizeof area; ++i)
      EXPECT_EQ(area[i], 0xAB) << "written past the record at " << i;
    EXPECT_STREQ(l->decimalPoint, ".");
    EXPECT_STREQ(l->dataListSeparator, ",");
    EXPECT_EQ(l->dateFormat, 0) << "C writes dates month first";
    EXPECT_EQ(l->dateSeparator[0], '/');
    EXPECT_EQ(l->timeSeparator[0], ':');
    EXPECT_EQ(l->timeFormat, 1) << "C keeps a 24-hour clock";
    EXPECT_STREQ(l->am, "AM");
    EXPECT_EQ(l->reserved[sizeof l->reserved - 1], 0);
  }
}

// ---- Unicode tables and conversion --------------------------------------------------

class ClientUnicode : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(NWFreeUnicodeTables(), 0); }
  void TearDown() override { NWFreeUnicodeTables(); }

  // Loads the tables for `cp` and converts `src`; the bytes written or the
  // status as "<status>".
  std::string convert(nint32 cp, const unicode *src, nuint32 max = 66, nuint8 noMap = 0) {
    if (NWDSCCODE st = NWInitUnicodeTables(1, cp); st != 0) return "<" + std::to_string(st) + ">";
    void *h = nullptr;
    if (NWDSCCODE st = NWGetUnicodeToLocalHandle(&h); st != 0) return "<" + std::to_string(st) + ">";
    nuint8 dest[128];
    std::memset(dest, 0xEE, sizeof dest);
    nuint32 len = 999;
    NWDSCCODE st = NWUnicodeToLocal(h, dest, max, src, noMap, &len);
    if (st != 0) {
      if (max > 0) {
        EXPECT_EQ(dest[0], 0) << "a failed conversion leaves an empty text";
      }
      EXPECT_EQ(dest[max], 0xEE) << "written past maxLen";
      return "<" + std::to_string(st) + ">";
    }
    std::string r(reinterpret_cast<char *>(dest));
    EXPECT_EQ(len, r.size());
    EXPECT_LE(r.size() + 1, max);
    return r;
  }
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
  const unicode tree[7] = {'T', 'r', 'e', 'e', '_', 0x00E4, 0}; // "Tree_ä"
};

TEST_F(ClientUnicode, TreeNameConvertsToEachCodePage) {
  EXPECT_EQ(convert(65001, tree), "Tree_\xC3\xA4");
  EXPECT_EQ(convert(819, tree), "Tree_\xE4");
  EXPECT_EQ(convert(28591, tree), "Tree_\xE4");
  EXPECT_EQ(convert(1252, tree), "Tree_\xE4");
  EXPECT_EQ(convert(437, tree), "Tree_\x84");
  EXPECT_EQ(convert(850, tree), "Tree_\x84");
  const unicode empty[1] = {0};
  EXPECT_EQ(convert(65001, empty), "");
}

TEST_F(ClientUnicode, TextMustFitWithItsTerminator) {
  EXPECT_EQ(convert(65001, tree, 8), "Tree_\xC3\xA4");
  EXPECT_EQ(convert(65001, tree, 7), "<-304>");
  EXPECT_EQ(convert(819, tree, 7), "Tree_\xE4");
  EXPECT_EQ(convert(819, tree, 1), "<-304>");
  EXPECT_EQ(convert(819, tree, 0), "<-304>");
}

TEST_F(ClientUnicode, UnmappableCharactersBecomeTheNoMapByte) {
  const unicode euro[] = {'a', 0x20AC, 'b', 0};
  EXPECT_EQ(convert(819, euro), "a?b");
  EXPECT_EQ(convert(819, euro, 66, '#'), "a#b");
  EXPECT_EQ(convert(1252, euro), "a\x80" "b");
  const unicode smile[] = {0xD83D, 0xDE00, 0};   // U+1F600, a surrogate pair
  const unicode lone[] = {'x', 0xD83D, 'y', 0};  // a malformed text
  EXPECT_EQ(convert(65001, smile), "\xF0\x9F\x98\x80");
  EXPECT_EQ(convert(819, smile), "?") << "one character, one substitute";
  EXPECT_EQ(convert(65001, lone), "x?y");
}

TEST_F(ClientUnicode, UnknownCodePagesAreRefusedAndLoadedTablesStay) {
  EXPECT_EQ(NWInitUnicodeTables(1, 12345), ERR_UNICODE_TABLES_NOT_LOADED);
  void *h = &h;
  EXPECT_EQ(NWGetUnicodeToLocalHandle(&h), ERR_UNICODE_TABLES_NOT_LOADED);
  EXPECT_EQ(h, nullptr);
  ASSERT_EQ(NWInitUnicodeTables(49, 819), 0);
  EXPECT_EQ(NWInitUnicodeTables(49, -1), ERR_UNICODE_TABLES_NOT_LOADED);
  EXPECT_EQ(NWInitUnicodeTables(49, 0), ERR_UNICODE_TABLES_NOT_LOADED);
  ASSERT_EQ(NWGetUnicodeToLocalHandle(&h), 0);
  nuint8 dest[16];
  nuint32 len = 0;
  ASSERT_EQ(NWUnicodeToLocal(h, dest, sizeof dest, tree, 0, &len), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(dest)), "Tree_\xE4") << "still ISO-8859-1";
}

TEST_F(ClientUnicode, ConversionNeedsTablesAndTheClientsHandle) {
  ASSERT_EQ(NWInitUnicodeTables(1, 65001), 0);
  void *h = nullptr;
  ASSERT_EQ(NWGetUnicodeToLocalHandle(&h), 0);
  nuint8 dest[16];
  nuint32 len = 0;
  int foreign = 0;
  EXPECT_EQ(NWUnicodeToLocal(&foreign, dest, sizeof dest, tree, 0, &len), ERR_INVALID_HANDLE);
  EXPECT_EQ(NWUnicodeToLocal(h, dest, sizeof dest, nullptr, 0, &len), ERR_NULL_POINTER);
  EXPECT_EQ(NWUnicodeToLocal(h, nullptr, sizeof dest, tree, 0, &len), ERR_NULL_POINTER);
  EXPECT_EQ(NWUnicodeToLocal(h, dest, sizeof dest, tree, 0, nullptr), 0) << "len is optional";
  ASSERT_EQ(NWFreeUnicodeTables(), 0);
  EXPECT_EQ(NWUnicodeToLocal(h, dest, sizeof dest, tree, 0, &len), ERR_UNICODE_TABLES_NOT_LOADED);
  EXPECT_EQ(NWFreeUnicodeTables(), 0) << "freeing twice is harmless";
}

} // namespace
