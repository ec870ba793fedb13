// Directory names: parsing, resolving against a name context, formatting,
// abbreviating and matching.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "names/names.h"
#include "nwclient.h"

using namespace nwc;

namespace {

constexpr uint32_t kCanon = DCV_CANONICALIZE_NAMES;

// The full typed name a text resolves to, or "error <status>".
std::string resolved(std::string_view text, std::string_view ctx = "", uint32_t flags = kCanon) {
  auto dn = parse_name(text, ctx, flags);
  return dn ? format_dn(*dn) : "error " + std::to_string(dn.status());
}

Dn dn(std::string_view text) {
  auto d = parse_dn(text);
  EXPECT_TRUE(d.ok()) << text;
  return d.ok() ? *d : Dn{};
}

std::string err(Status s) { return "error " + std::to_string(s); }

}  // namespace

TEST(EngineNames, TypedAndTypelessNamesGetTheirTypes) {
  EXPECT_EQ(resolved("CN=Admin.O=Example"), "CN=Admin.O=Example");
  EXPECT_EQ(resolved("Admin.Example"), "CN=Admin.O=Example");
  EXPECT_EQ(resolved("Bob.Sales.East.Example"), "CN=Bob.OU=Sales.OU=East.O=Example");
  EXPECT_EQ(resolved("Bob.OU=Sales.Example"), "CN=Bob.OU=Sales.O=Example");
  EXPECT_EQ(resolved("Example"), "O=Example");
  EXPECT_EQ(resolved("cn=Admin.o=Example"), "CN=Admin.O=Example");
  EXPECT_EQ(resolved("Bindery Type=7+CN=x.O=y"), "Bindery Type=7+CN=x.O=y");
  EXPECT_EQ(resolved("[Root]"), "[Root]");
  EXPECT_EQ(resolved(".[root]"), "[Root]");
  EXPECT_EQ(resolved("CN=Admin.O=Example.[Root]", "O=Other"), "CN=Admin.O=Example");
  // Default typing marks what it guessed, so lookups may fall back on values.
  auto typeless = parse_dn("Admin.Example");
  ASSERT_TRUE(typeless.ok());
  EXPECT_TRUE(typeless->rdns[0].avas[0].inferred);
  EXPECT_FALSE(parse_dn("CN=Admin.O=Example")->rdns[0].avas[0].inferred);
}

TEST(EngineNames, RelativeNamesUseTheNameContext) {
  const std::string ctx = "OU=Sales.O=Example";
  EXPECT_EQ(resolved("Bob", ctx), "CN=Bob.OU=Sales.O=Example");
  EXPECT_EQ(resolved("CN=Bob", ctx), "CN=Bob.OU=Sales.O=Example");
  EXPECT_EQ(resolved("Admin.", ctx), "CN=Admin.O=Example");
  EXPECT_EQ(resolved("Other..", ctx), "O=Other");
  EXPECT_EQ(resolved("X...", ctx), err(ERR_INVALID_OBJECT_NAME));
  EXPECT_EQ(resolved(".", ctx), "O=Example");
  EXPECT_EQ(resolved("..", ctx), "[Root]");
  EXPECT_EQ(resolved(".CN=Admin.O=Example", ctx), "CN=Admin.O=Example");
  EXPECT_EQ(resolved(".Admin.Example.", ctx), err(ERR_INVALID_OBJECT_NAME));
  // A typeless context is typed together with the name.
  EXPECT_EQ(resolved("Bob", "Sales.Example"), "CN=Bob.OU=Sales.O=Example");
  EXPECT_EQ(resolved("Bob", "[Root]"), "O=Bob");
  EXPECT_EQ(resolved("Bob", ""), "O=Bob");
  EXPECT_EQ(resolved("Bob", "a..b"), err(ERR_INVALID_OBJECT_NAME));
  // Without canonicalizing, names are full names and the context is unused.
  EXPECT_EQ(resolved("Bob", ctx, 0), "O=Bob");
  EXPECT_EQ(resolved("Admin.", ctx, 0), err(ERR_INVALID_OBJECT_NAME));
  EXPECT_EQ(resolved(".Admin.Example", ctx, 0), "CN=Admin.O=Example");
}

TEST(EngineNames, EscapesMultiValuedRdnsAndMalformedNames) {
  auto d = parse_dn("CN=a\\.b\\=c\\+d\\\\e.O=x");
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->rdns[0].avas[0].value, "a.b=c+d\\e");
  EXPECT_EQ(format_dn(*d), "CN=a\\.b\\=c\\+d\\\\e.O=x");

  auto multi = parse_dn("CN=a+UID=b.O=x");
  ASSERT_TRUE(multi.ok());
  ASSERT_EQ(multi->rdns[0].avas.size(), 2u);
  EXPECT_EQ(multi->rdns[0].avas[1].type, "UID");
  EXPECT_TRUE(same_dn(*multi, dn("UID=b+CN=a.O=x")));  // AVA order does not matter

  EXPECT_EQ(parse_dn("a+UID=b.O=x").status(), ERR_INCONSISTENT_MULTIAVA);
  EXPECT_EQ(parse_dn("CN=a+cn=b.O=x").status(), ERR_DUPLICATE_TYPE);
  EXPECT_EQ(parse_dn("C=USA").status(), ERR_COUNTRY_NAME_TOO_LONG);
  for (const char* bad : {"", "   ", "CN=x=y.O=z", "CN=.O=x", "=x.O=y", "a..b", "a.+.b", "abc\\",
                          "Admin.", "\\CN=x"}) {
    EXPECT_EQ(parse_dn(bad).status(), ERR_INVALID_OBJECT_NAME) << '"' << bad << '"';
  }
  EXPECT_EQ(parse_rdn("CN=Admin")->avas[0].value, "Admin");
  EXPECT_EQ(parse_rdn("Admin").status(), ERR_INVALID_OBJECT_NAME);
  EXPECT_EQ(parse_rdn("CN=a.O=b").status(), ERR_INVALID_OBJECT_NAME);
}

TEST(EngineNames, BlanksAndCaseDoNotMatter) {
  EXPECT_EQ(resolved("  CN = Elmer   Fudd . O = Acme "), "CN=Elmer Fudd.O=Acme");
  EXPECT_EQ(format_dn(dn("CN=\\ lead\\ \\ two.O=x")), "CN=\\ lead \\ two.O=x");
  EXPECT_EQ(dn("CN=\\ lead\\ \\ two.O=x").rdns[0].avas[0].value, " lead  two");
  EXPECT_TRUE(same_dn(dn("cn=ADMIN.o=example"), dn("CN=Admin.O=Example")));
  EXPECT_FALSE(same_dn(dn("CN=Admin.O=Example"), dn("OU=Admin.O=Example")));
  EXPECT_TRUE(same_dn(dn("CN=Ärger.O=Ünïcode"), dn("cn=ärger.o=ÜNÏCODE")));
  EXPECT_EQ(fold_case("ŁÓDŹ ΑΘΗΝΑ МОСКВА Ÿ"), "łódź αθηνα москва ÿ");
  EXPECT_EQ(fold_case(std::string("A\xff\xc3" "B")), std::string("a\xff\xc3" "b"));  // bad UTF-8 kept
  EXPECT_TRUE(ci_equal("Hello   World", " hello world"));
  EXPECT_FALSE(ci_equal("Hello World", "HelloWorld"));
  EXPECT_TRUE(is_below(dn("CN=Bob.OU=Sales.O=Example"), dn("o=example")));
  EXPECT_FALSE(is_below(dn("O=Example"), dn("O=Example")));
  EXPECT_TRUE(is_below(dn("O=Example"), Dn{}));
}

TEST(EngineNames, OutputNamesFollowTheContextFlags) {
  const Dn ctx = dn("OU=Sales.O=Example");
  EXPECT_EQ(format_name(dn("CN=Bob.OU=Sales.O=Example"), ctx, kCanon), "CN=Bob");
  EXPECT_EQ(format_name(dn("CN=Bob.OU=Sales.O=Example"), ctx, kCanon | DCV_TYPELESS_NAMES), "Bob");
  EXPECT_EQ(format_name(dn("CN=Admin.O=Example"), ctx, kCanon), "CN=Admin.");
  EXPECT_EQ(format_name(dn("CN=X.O=Other"), ctx, kCanon), "CN=X.O=Other..");
  EXPECT_EQ(format_name(ctx, ctx, kCanon), "OU=Sales.");
  EXPECT_EQ(format_name(dn("O=Example"), ctx, kCanon), "O=Example..");
  EXPECT_EQ(format_name(Dn{}, ctx, kCanon), "[Root]");
  EXPECT_EQ(format_name(dn("CN=Bob.OU=Sales.O=Example"), ctx, 0), "CN=Bob.OU=Sales.O=Example");
  EXPECT_EQ(format_name(dn("CN=Bob.OU=Sales.O=Example"), Dn{}, kCanon | DCV_TYPELESS_NAMES),
            "Bob.Sales.Example");

  // Whatever is written reads back as the same entry under the same context.
  const std::vector<Dn> names = {dn("CN=Bob.OU=Sales.O=Example"), dn("CN=Admin.O=Example"),
                                 dn("CN=a\\.b+UID=7.O=Other"), dn("O=Example"),
                                 dn("OU=Sales.O=Example"), dn("CN=x.L=Town.C=US")};
  const std::vector<Dn> contexts = {Dn{}, dn("O=Example"), ctx, dn("OU=Deep.OU=Sales.O=Example")};
  for (const Dn& c : contexts) {
    for (const Dn& n : names) {
      for (uint32_t flags : {0u, kCanon}) {
        const std::string text = format_name(n, c, flags);
        auto back = resolve_name(text, c, flags);
        ASSERT_TRUE(back.ok()) << text;
        EXPECT_TRUE(same_dn(*back, n)) << text << " under " << format_dn(c);
      }
      const std::string abbreviated = abbreviate_name(n, c, 0);
      auto back = resolve_name(abbreviated, c, kCanon);
      ASSERT_TRUE(back.ok()) << abbreviated;
      EXPECT_TRUE(same_dn(*back, n)) << abbreviated << " under " << format_dn(c);
    }
  }
}

// The shortcut from the text gives what parsing and formatting give, and
// leaves every name it cannot be sure of to them.
TEST(EngineNames, PlainNamesFormatFromTheirTextAsParsedNamesDo) {
  const std::vector<std::string> names = {
      "CN=u000123.OU=ou000.O=Example", "CN=John Smith.O=Example", "CN=a_b-c.OU=x.O=Example.C=US",
      "O=Example", "CN=x.O=Other", "CN=x.OU=Example", "CN=x.O=example", "cn=x.O=Example", "CN=x\\.y.O=Example",
      "CN=x.O=Example.", "CN=x+UID=1.O=Example", "CN= x.O=Example", "CN=a  b.O=Example", "CN=x..O=Example",
      "X=x.O=Example", "CN=x.C=USA", "CN=\xc3\xa9.O=Example", "CN=.O=Example", "[Root]", "CN=x.[Root]"};
  const std::vector<std::string> contexts = {"", "O=Example", "OU=ou000.O=Example", "O=example", "Example"};
  for (uint32_t flags : {0u, kCanon, kCanon | uint32_t{DCV_TYPELESS_NAMES}, uint32_t{DCV_TYPELESS_NAMES}})
    for (const std::string &c : contexts) {
      auto ctx = parse_name_context(c);
      ASSERT_TRUE(ctx.ok()) << c;
      const std::string ctx_text = ctx->is_root() ? "" : format_dn(*ctx);
      for (const std::string &n : names) {
        const auto plain = format_plain_name(n, ctx_text, ctx->is_root(), flags);
        if (!plain) continue;
        auto parsed = parse_dn(n);
        ASSERT_TRUE(parsed.ok()) << n;
        EXPECT_EQ(*plain, format_name(*parsed, *ctx, flags)) << n << " in " << c << " flags " << flags;
      }
    }
  EXPECT_EQ(format_plain_name("CN=u1.OU=ou0.O=Example", "O=Example", false, kCanon).value_or("-"), "CN=u1.OU=ou0");
  for (const char *n : {"CN=x\\.y.O=Example", "cn=x.O=Example", "CN=x+UID=1.O=Example", "CN=x.O=example", "CN=x.C=USA"})
    EXPECT_FALSE(format_plain_name(n, "O=Example", false, kCanon).has_value()) << n;
}

TEST(EngineNames, AbbreviationDropsTypesOnlyWhenSafe) {
  const Dn ctx = dn("OU=Sales.O=Example");
  EXPECT_EQ(abbreviate_name(dn("CN=Bob.OU=Sales.O=Example"), ctx, 0), "Bob");
  EXPECT_EQ(abbreviate_name(dn("CN=Admin.O=Example"), ctx, 0), "Admin.");
  EXPECT_EQ(abbreviate_name(dn("OU=Team.OU=Sales.O=Example"), ctx, 0), "OU=Team");
  EXPECT_EQ(abbreviate_name(dn("O=Acme.C=US"), Dn{}, 0), "O=Acme.C=US");
  EXPECT_EQ(abbreviate_name(dn("O=Acme.C=US"), Dn{}, DCV_TYPELESS_NAMES), "Acme.US");
  EXPECT_EQ(*remove_all_types("CN=Admin.O=Example."), "Admin.Example.");
  EXPECT_EQ(*remove_all_types(".CN=a\\.b.OU=x"), ".a\\.b.x");
  EXPECT_EQ(*remove_all_types("[Root]"), "[Root]");
  EXPECT_EQ(remove_all_types("CN=a=b").status(), ERR_INVALID_OBJECT_NAME);
}

TEST(EngineNames, LengthLimits) {
  // 256 characters is the longest name; the limit counts characters.
  const std::string leaf = "CN=" + std::string(64, 'x');        // 67
  const std::string mid = ".OU=" + std::string(60, 'y');        // 64
  std::string name = leaf + mid + mid + ".O=" + std::string(58, 'z');  // 67+128+61
  ASSERT_EQ(name.size(), 256u);
  EXPECT_TRUE(parse_dn(name).ok());
  EXPECT_EQ(parse_dn(name + "z").status(), ERR_INVALID_OBJECT_NAME);

  auto repeat = [](const char* piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
  };
  // 2-byte characters: 256 characters in 498 bytes.
  const std::string wide = "CN=" + repeat("é", 60) + ".OU=" + repeat("é", 60) + ".OU=" + repeat("é", 60) +
                           ".O=" + repeat("é", 62);
  ASSERT_EQ(count_chars(wide), 256u);
  EXPECT_TRUE(parse_dn(wide).ok());
  EXPECT_EQ(parse_dn(wide + "é").status(), ERR_INVALID_OBJECT_NAME);
  // 3-byte characters: 204 characters but 584 bytes.
  const std::string heavy = "CN=" + repeat("€", 60) + ".OU=" + repeat("€", 60) + ".OU=" + repeat("€", 60) +
                            ".O=" + repeat("€", 10);
  ASSERT_GT(heavy.size(), size_t{MAX_DN_BYTES});
  EXPECT_EQ(parse_dn(heavy).status(), ERR_INVALID_OBJECT_NAME);

  // One RDN: at most MAX_RDN_BYTES - 1 bytes.
  EXPECT_EQ(parse_rdn("CN=" + repeat("€", 86))->avas[0].value.size(), 258u);
  EXPECT_EQ(parse_rdn("CN=" + repeat("€", 87)).status(), ERR_RDN_TOO_LONG);
  EXPECT_EQ(parse_dn("CN=" + std::string(259, 'a') + ".O=x").status(), ERR_RDN_TOO_LONG);
}
