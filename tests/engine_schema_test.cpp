// The base schema, value checks, equality keys and value encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "names/names.h"
#include "nwclient.h"
#include "schema/schema.h"

using namespace nwc;

namespace {

const Schema& S() { return Schema::base(); }

bool contains(const std::vector<std::string>& v, std::string_view s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

Status check(std::string_view attr, const Value& v) {
  const AttrDef* a = S().attribute(attr);
  EXPECT_NE(a, nullptr) << attr;
  return a ? S().check_value(*a, v) : -1;
}

// One well-formed value of every syntax.
std::vector<Value> sample_values() {
  return {
      Value::bytes(SYN_UNKNOWN, std::string("\0\1\2", 3)),
      Value::text(SYN_DIST_NAME, "CN=Admin.O=Example"),
      Value::text(SYN_CE_STRING, "Exact Text"),
      Value::text(SYN_CI_STRING, "Some Text"),
      Value::text(SYN_PR_STRING, "Model 7 (rev. B)"),
      Value::text(SYN_NU_STRING, "0815 42"),
      Value{SYN_CI_LIST, {"English", "Deutsch"}, {}, {}},
      Value::integer(SYN_BOOLEAN, 1),
      Value::integer(SYN_INTEGER, -42),
      Value::bytes(SYN_OCTET_STRING, std::string("\xff\0x", 3)),
      Value::text(SYN_TEL_NUMBER, "+1 555-0100"),
      Value{SYN_FAX_NUMBER, {"555 0101"}, {3}, {std::string(1, '\x05')}},
      Value::net_address(9, std::string("\x02\x0c\x7f\0\0\x01", 6)),
      Value{SYN_OCTET_LIST, {}, {}, {"ab", std::string("\0", 1)}},
      Value{SYN_EMAIL_ADDRESS, {"admin@example.org"}, {1}, {}},
      Value{SYN_PATH, {"CN=VOL1.O=Example", "home/admin"}, {0}, {}},
      Value{SYN_REPLICA_POINTER, {"CN=SRV.O=Example"}, {RT_MASTER, 1, 9}, {"\x02\x0c\x7f\0\0\x01"}},
      Value::acl("[Entry Rights]", "[Public]", DS_ENTRY_BROWSE),
      Value{SYN_PO_ADDRESS, {"Main St 1", "", "Town", "", "", ""}, {}, {}},
      Value::timestamp(1700000000, 2, 7),
      Value::text(SYN_CLASS_NAME, "User"),
      Value{SYN_STREAM, {}, {}, {}},
      Value::integer(SYN_COUNTER, 5),
      Value{SYN_BACK_LINK, {"CN=SRV.O=Example"}, {77}, {}},
      Value::integer(SYN_TIME, 1700000000),
      Value::typed_name("CN=Admin.O=Example", 1, 30),
      Value{SYN_HOLD, {"CN=SRV.O=Example"}, {12}, {}},
      Value::integer(SYN_INTERVAL, 3600),
  };
}

}  // namespace

TEST(EngineSchema, EverySyntaxHasItsNameAndAnAttribute) {
  const char* names[] = {"Unknown", "Distinguished Name", "Case Exact String", "Case Ignore String",
                         "Printable String", "Numeric String", "Case Ignore List", "Boolean", "Integer",
                         "Octet String", "Telephone Number", "Facsimile Telephone Number", "Net Address",
                         "Octet List", "EMail Address", "Path", "Replica Pointer", "Object ACL",
                         "Postal Address", "Timestamp", "Class Name", "Stream", "Counter", "Back Link",
                         "Time", "Typed Name", "Hold", "Interval"};
  for (uint32_t id = 0; id < kSyntaxCount; ++id) {
    ASSERT_NE(syntax(id), nullptr);
    EXPECT_EQ(syntax(id)->name, names[id]);
    EXPECT_EQ(syntax_by_name(fold_case(names[id])), syntax(id));
    const bool has_attr = std::any_of(S().attributes().begin(), S().attributes().end(),
                                      [&](const AttrDef& a) { return a.syntax == id; });
    EXPECT_TRUE(has_attr) << "no attribute of syntax " << id;
  }
  EXPECT_EQ(syntax(kSyntaxCount), nullptr);
  EXPECT_EQ(syntax_by_name("No Such Syntax"), nullptr);
  EXPECT_TRUE(syntax(SYN_NU_STRING)->flags & DS_IGNORE_DASH);
  EXPECT_TRUE(syntax(SYN_BOOLEAN)->flags & DS_SINGLE_VALUED);
}

TEST(EngineSchema, BaseDefinitionsAreConsistent) {
  std::set<std::string> attr_names;
  for (const AttrDef& a : base_attributes()) {
    EXPECT_TRUE(attr_names.insert(fold_case(a.name)).second) << "twice: " << a.name;
    EXPECT_TRUE(a.flags & DS_NONREMOVABLE_ATTR) << a.name;
    if (a.flags & DS_SIZED_ATTR) {
      EXPECT_LE(a.lower, a.upper) << a.name;
    }
    EXPECT_LE(count_chars(a.name), size_t{MAX_SCHEMA_NAME_CHARS}) << a.name;
  }
  for (const ClassDef& c : base_classes()) {
    for (const auto* list : {&c.naming, &c.mandatory, &c.optional})
      for (const auto& n : *list) EXPECT_NE(S().attribute(n), nullptr) << c.name << ": " << n;
    for (const auto* list : {&c.super_classes, &c.containment})
      for (const auto& n : *list) EXPECT_NE(S().class_def(n), nullptr) << c.name << ": " << n;
    for (const auto& n : S().naming(c.name)) {
      EXPECT_TRUE(S().allows(c.name, n)) << c.name << " named by " << n;
      EXPECT_TRUE(S().attribute(n)->flags & DS_STRING_ATTR) << n;
    }
    if ((c.flags & DS_EFFECTIVE_CLASS) && c.name != "Tree Root") {
      EXPECT_FALSE(S().containment(c.name).empty()) << c.name;
      EXPECT_FALSE(S().naming(c.name).empty() && c.name != "Unknown") << c.name;
    }
    EXPECT_TRUE(S().is_a(c.name, "Top")) << c.name;
  }
  for (const char* cls : {"Top", "Alias", "Country", "Locality", "Organization", "Organizational Unit",
                          "Person", "Organizational Person", "User", "Group", "Organizational Role",
                          "NCP Server", "Volume", "Directory Map", "Profile", "Server", "Device", "Printer",
                          "Print Server", "Queue", "Computer", "Partition", "Bindery Object", "Unknown",
                          "Tree Root"})
    EXPECT_NE(S().class_def(cls), nullptr) << cls;
  EXPECT_EQ(S().attribute("surname"), S().attribute("SURNAME"));
  EXPECT_EQ(S().attribute("surname")->name, "Surname");
  EXPECT_EQ(S().syntax_of("Login Script").value(), uint32_t{SYN_STREAM});
  EXPECT_EQ(S().syntax_of("nope").status(), ERR_NO_SUCH_ATTRIBUTE);
}

TEST(EngineSchema, EffectiveSetsFollowSuperClasses) {
  std::vector<std::string> lineage;
  for (const ClassDef* c : S().lineage("user")) lineage.push_back(c->name);
  EXPECT_EQ(lineage, (std::vector<std::string>{"User", "Organizational Person", "Person", "Top"}));

  const auto mandatory = S().mandatory("User");
  EXPECT_TRUE(contains(mandatory, "CN"));
  EXPECT_TRUE(contains(mandatory, "Surname"));
  EXPECT_TRUE(contains(mandatory, "Object Class"));
  const auto optional = S().optional("User");
  EXPECT_FALSE(contains(optional, "CN"));
  EXPECT_TRUE(contains(optional, "Title"));           // from Organizational Person
  EXPECT_TRUE(contains(optional, "Given Name"));      // from Person
  EXPECT_TRUE(contains(optional, "ACL"));             // from Top
  EXPECT_TRUE(contains(optional, "Login Disabled"));  // its own
  EXPECT_EQ(S().naming("User"), (std::vector<std::string>{"CN", "OU"}));
  EXPECT_TRUE(S().allows("User", "surname"));
  EXPECT_FALSE(S().allows("User", "Member"));
  EXPECT_TRUE(S().allows("Unknown", "Member"));
  EXPECT_FALSE(S().allows("User", "No Such Attribute"));
  EXPECT_TRUE(S().mandatory("No Such Class").empty());
}

TEST(EngineSchema, ContainmentFollowsSuperClasses) {
  EXPECT_TRUE(S().may_contain("Organization", "Organizational Unit"));
  EXPECT_TRUE(S().may_contain("Organization", "User"));
  EXPECT_TRUE(S().may_contain("Organizational Unit", "NCP Server"));
  EXPECT_TRUE(S().may_contain("Organizational Unit", "Organizational Unit"));
  EXPECT_TRUE(S().may_contain("Tree Root", "Organization"));
  EXPECT_TRUE(S().may_contain("Tree Root", "Country"));
  EXPECT_TRUE(S().may_contain("Country", "Organization"));
  EXPECT_TRUE(S().may_contain("Organizational Unit", "Alias"));
  EXPECT_FALSE(S().may_contain("Organizational Unit", "Organization"));
  EXPECT_FALSE(S().may_contain("Tree Root", "User"));
  EXPECT_FALSE(S().may_contain("Organization", "Country"));
  for (const char* child : {"User", "Organizational Unit", "Group", "Alias"})
    EXPECT_FALSE(S().may_contain("User", child)) << child;
  EXPECT_TRUE(S().is_container("Organization"));
  EXPECT_FALSE(S().is_container("Group"));
}

TEST(EngineSchema, ValuesAreCheckedAgainstSyntaxAndBounds) {
  for (const Value& v : sample_values()) EXPECT_EQ(check_syntax(v), 0) << "syntax " << v.syntax;

  EXPECT_EQ(check("Bindery Type", Value::text(SYN_NU_STRING, "12 3")), 0);
  EXPECT_EQ(check("Bindery Type", Value::text(SYN_NU_STRING, "12a")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Serial Number", Value::text(SYN_PR_STRING, "A-1, (x)/y:z=?")), 0);
  EXPECT_EQ(check("Serial Number", Value::text(SYN_PR_STRING, "a@b")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Serial Number", Value::text(SYN_PR_STRING, "Ärger")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Telephone Number", Value::text(SYN_TEL_NUMBER, "+1 (555) 123-4567")), 0);
  EXPECT_EQ(check("Telephone Number", Value::text(SYN_TEL_NUMBER, "555#1")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Login Disabled", Value::integer(SYN_BOOLEAN, 1)), 0);
  EXPECT_EQ(check("Login Disabled", Value::integer(SYN_BOOLEAN, 2)), ERR_SYNTAX_VIOLATION);

  // Sized attributes: text length in characters, integers by value, bytes by count.
  EXPECT_EQ(check("CN", Value::text(SYN_CI_STRING, std::string(64, 'x'))), 0);
  EXPECT_EQ(check("CN", Value::text(SYN_CI_STRING, std::string(65, 'x'))), ERR_SYNTAX_VIOLATION);
  std::string sixty_four_wide;
  for (int i = 0; i < 64; ++i) sixty_four_wide += "é";
  EXPECT_EQ(check("CN", Value::text(SYN_CI_STRING, sixty_four_wide)), 0);
  EXPECT_EQ(check("CN", Value::text(SYN_CI_STRING, "  ")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("C", Value::text(SYN_CI_STRING, "USA")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Convergence", Value::integer(SYN_INTEGER, 1)), 0);
  EXPECT_EQ(check("Convergence", Value::integer(SYN_INTEGER, 2)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Convergence", Value::integer(SYN_INTEGER, -1)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Login Allowed Time Map", Value::bytes(SYN_OCTET_STRING, std::string(42, '\xff'))), 0);
  EXPECT_EQ(check("Login Allowed Time Map", Value::bytes(SYN_OCTET_STRING, std::string(41, '\xff'))),
            ERR_SYNTAX_VIOLATION);

  // Shapes, syntaxes, names and classes inside values.
  EXPECT_EQ(check("Surname", Value::integer(SYN_CI_STRING, 3)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Surname", Value::text(SYN_CE_STRING, "x")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Surname", Value::text(SYN_CI_STRING, std::string("a\0b", 3))), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Object Class", Value::text(SYN_CLASS_NAME, "user")), 0);
  EXPECT_EQ(check("Object Class", Value::text(SYN_CLASS_NAME, "Wizard")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("Member", Value::text(SYN_DIST_NAME, "a..b")), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("ACL", Value::acl("CN", "[inheritance mask]", DS_ATTR_READ)), 0);
  EXPECT_EQ(check("ACL", Value::acl("CN", "Admin..", DS_ATTR_READ)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check("ACL", Value::acl("", "[Public]", DS_ATTR_READ)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check_syntax(Value{SYN_REPLICA_POINTER, {"CN=S.O=E"}, {0, 1, 9}, {}}), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check_syntax(Value::timestamp(1, 2, 3)), 0);
  EXPECT_EQ(check_syntax(Value{SYN_TIMESTAMP, {}, {1, 70000, 0}, {}}), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check_syntax(Value{SYN_FAX_NUMBER, {"555"}, {9}, {"a"}}), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(check_syntax(Value{28, {}, {}, {}}), ERR_SYNTAX_VIOLATION);
}

TEST(EngineSchema, EqualityKeysFollowTheMatchingRules) {
  auto same = [](const Value& a, const Value& b) { return equality_key(a) == equality_key(b); };
  EXPECT_TRUE(same(Value::text(SYN_CI_STRING, "Hello  World "), Value::text(SYN_CI_STRING, "hello world")));
  EXPECT_FALSE(same(Value::text(SYN_CE_STRING, "Hello"), Value::text(SYN_CE_STRING, "hello")));
  EXPECT_TRUE(same(Value::text(SYN_CE_STRING, "Hello  x"), Value::text(SYN_CE_STRING, "Hello x")));
  EXPECT_TRUE(same(Value::text(SYN_TEL_NUMBER, "555-12 34"), Value::text(SYN_TEL_NUMBER, "5551234")));
  EXPECT_TRUE(same(Value::text(SYN_NU_STRING, "1 2-3"), Value::text(SYN_NU_STRING, "123")));
  EXPECT_TRUE(same(Value::text(SYN_DIST_NAME, "cn=admin.o=example"), Value::text(SYN_DIST_NAME, "Admin.Example")));
  EXPECT_FALSE(same(Value::text(SYN_DIST_NAME, "CN=Admin.O=Example"), Value::text(SYN_DIST_NAME, "CN=Admin.O=Other")));
  EXPECT_FALSE(same(Value::bytes(SYN_OCTET_STRING, "A"), Value::bytes(SYN_OCTET_STRING, "a")));
  EXPECT_FALSE(same(Value::acl("CN", "[Public]", 1), Value::acl("CN", "[Public]", 2)));
  EXPECT_TRUE(same(Value::acl("cn", "[public]", 1), Value::acl("CN", "[Public]", 1)));
  EXPECT_TRUE(same(Value{SYN_HOLD, {"CN=S.O=E"}, {1}, {}}, Value{SYN_HOLD, {"cn=s.o=e"}, {99}, {}}));
  EXPECT_FALSE(same(Value{SYN_OCTET_LIST, {}, {}, {"ab", "c"}}, Value{SYN_OCTET_LIST, {}, {}, {"a", "bc"}}));
  EXPECT_FALSE(same(Value{SYN_CI_LIST, {"ab", "c"}, {}, {}}, Value{SYN_CI_LIST, {"a", "bc"}, {}, {}}));
  // Integer keys sort as the numbers do, so ranges can use the index.
  EXPECT_LT(equality_key(Value::integer(SYN_INTEGER, -5)), equality_key(Value::integer(SYN_INTEGER, -1)));
  EXPECT_LT(equality_key(Value::integer(SYN_INTEGER, -1)), equality_key(Value::integer(SYN_INTEGER, 0)));
  EXPECT_LT(equality_key(Value::integer(SYN_INTEGER, 0)), equality_key(Value::integer(SYN_INTEGER, 70000)));
  EXPECT_LT(equality_key(Value::integer(SYN_TIME, 5)), equality_key(Value::integer(SYN_TIME, 0x80000000)));
}

TEST(EngineSchema, ValuesEncodeAndNormalise) {
  for (const Value& v : sample_values()) {
    const std::string data = encode_value(v);
    auto back = decode_value(v.syntax, data);
    ASSERT_TRUE(back.ok()) << "syntax " << v.syntax;
    EXPECT_EQ(*back, v) << "syntax " << v.syntax;
    EXPECT_EQ(decode_value(v.syntax, data.substr(0, data.size() - 1)).status(), ERR_INCONSISTENT_DATABASE);
    EXPECT_EQ(decode_value(v.syntax, data + "x").status(), ERR_INCONSISTENT_DATABASE);
  }
  EXPECT_EQ(decode_value(SYN_INTEGER, "").status(), ERR_INCONSISTENT_DATABASE);

  Value member = Value::text(SYN_DIST_NAME, "admin.example");
  ASSERT_EQ(normalise_value(member), 0);
  EXPECT_EQ(member.texts[0], "CN=admin.O=example");
  Value acl = Value::acl("[Entry Rights]", "[PUBLIC]", 1);
  ASSERT_EQ(normalise_value(acl), 0);
  EXPECT_EQ(acl.texts[1], "[Public]");
  Value bad = Value::typed_name("x..y", 0, 0);
  EXPECT_EQ(normalise_value(bad), ERR_SYNTAX_VIOLATION);
}

TEST(EngineSchema, NewDefinitionsAreChecked) {
  AttrDef a{0, "Badge Number", SYN_INTEGER, DS_SINGLE_VALUED_ATTR, 0, 0, ""};
  EXPECT_EQ(S().check_new_attribute(a), 0);
  EXPECT_EQ(S().check_new_attribute(AttrDef{0, "cn", SYN_CI_STRING, 0, 0, 0, ""}), ERR_ATTRIBUTE_ALREADY_EXISTS);
  EXPECT_EQ(S().check_new_attribute(AttrDef{0, "X", 28, 0, 0, 0, ""}), ERR_INVALID_ATTR_SYNTAX);
  EXPECT_EQ(S().check_new_attribute(AttrDef{0, std::string(33, 'x'), 3, 0, 0, 0, ""}), ERR_ATTR_NAME_TOO_LONG);
  EXPECT_EQ(S().check_new_attribute(AttrDef{0, "X", 8, DS_SIZED_ATTR, 5, 1, ""}), ERR_INVALID_ATTR_SYNTAX);

  ClassDef c;
  c.name = "Contractor";
  c.flags = DS_EFFECTIVE_CLASS;
  c.super_classes = {"User"};
  c.optional = {"Title"};
  EXPECT_EQ(S().check_new_class(c), 0);  // naming and containment inherited
  ClassDef other = c;
  other.name = "user";
  EXPECT_EQ(S().check_new_class(other), ERR_CLASS_ALREADY_EXISTS);
  other = c;
  other.super_classes = {"Wizard"};
  EXPECT_EQ(S().check_new_class(other), ERR_NO_SUCH_CLASS);
  other = c;
  other.mandatory = {"Nope"};
  EXPECT_EQ(S().check_new_class(other), ERR_NO_SUCH_ATTRIBUTE);
  other = c;
  other.naming = {"Member"};
  EXPECT_EQ(S().check_new_class(other), ERR_BAD_NAMING_ATTRIBUTES);
  other = c;
  other.optional = {"Title", "title"};
  EXPECT_EQ(S().check_new_class(other), ERR_DUPLICATE_OPTIONAL);
  other = c;
  other.super_classes = {"Top"};
  EXPECT_EQ(S().check_new_class(other), ERR_AMBIGUOUS_CONTAINMENT);
  other.containment = {"Organization"};
  EXPECT_EQ(S().check_new_class(other), ERR_AMBIGUOUS_NAMING);
}
