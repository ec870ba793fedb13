// The schema functions through the public interface: reading class,
// attribute and syntax definitions in parts, changing a class's optional
// attributes and what that allows, refusals to remove definitions, and
// schema synchronisation.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client_dir.h"
#include "items.h"
#include "iteration.h"
#include "store/store.h"

namespace {

using client_dir::ClientDir;

class ClientSchemaApi : public ClientDir {
protected:
  nwc::Store &TheStore() {
    auto s = nwc::current_store();
    EXPECT_TRUE(s.ok());
    return **s;
  }
  std::shared_ptr<const nwc::Schema> TheSchema() {
    auto s = TheStore().schema();
    EXPECT_TRUE(s.ok());
    return *s;
  }
  // A name no other test run in this process uses.
  std::string Unique(const std::string &stem) {
    static int serial = 0;
    return stem + " " + org + " " + std::to_string(++serial);
  }

  struct ClassRead {
    std::string name;
    bool has_info = false;
    Class_Info_T info{};
    std::vector<std::vector<std::string>> lists; // empty when no lists
  };
  struct ClassReads {
    std::vector<ClassRead> classes;
    int parts = 0;
    NWDSCCODE status = 0;
  };
  // Reads class definitions to the end, walking each part fully.
  ClassReads ReadClasses(nuint32 info, const std::vector<std::string> *names,
                         size_t size = DEFAULT_MESSAGE_LEN) {
    ClassReads r;
    pBuf_T req = nullptr;
    if (names != nullptr) {
      req = Buf(DSV_READ_CLASS_DEF);
      for (const auto &n : *names) EXPECT_EQ(NWDSPutClassItem(ctx, req, n.c_str()), 0);
    }
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    do {
      r.status = NWDSReadClassDef(ctx, info, names == nullptr, req, &it, out);
      if (r.status != 0) return r;
      ++r.parts;
      nuint32 count = 0;
      EXPECT_EQ(NWDSGetClassDefCount(ctx, out, &count), 0);
      EXPECT_GT(count, 0u) << "a part is never empty";
      for (nuint32 i = 0; i < count; ++i) {
        ClassRead c;
        char name[MAX_SCHEMA_NAME_BYTES];
        std::memset(&c.info, 0xAB, sizeof c.info);
        EXPECT_EQ(NWDSGetClassDef(ctx, out, name, &c.info), 0);
        c.name = name;
        c.has_info = c.info.classFlags != 0xABABABABu;
        if (nwc::class_def_parts(info) & nwc::kClassHasLists) {
          for (int l = 0; l < 5; ++l) {
            nuint32 n = 0;
            EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), 0);
            std::vector<std::string> items;
            for (nuint32 k = 0; k < n; ++k) {
              char item[MAX_SCHEMA_NAME_BYTES];
              EXPECT_EQ(NWDSGetClassItem(ctx, out, item), 0);
              items.push_back(item);
            }
            c.lists.push_back(items);
          }
        }
        r.classes.push_back(c);
      }
      char name[MAX_SCHEMA_NAME_BYTES];
      EXPECT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), ERR_BUFFER_EMPTY) << "walked to the end";
    } while (it != NO_MORE_ITERATIONS && r.parts < 1000);
    return r;
  }

  struct NamedRead {
    std::vector<std::string> names;
    std::map<std::string, nuint32> syntaxes;
    int parts = 0;
    NWDSCCODE status = 0;
  };
  // Reads attribute definitions (attrs) or syntaxes to the end with
  // NWDSGetAttrCount / NWDSGetAttrName.
  NamedRead ReadNamed(bool attrs, nuint32 info, const std::vector<std::string> *names,
                      size_t size = DEFAULT_MESSAGE_LEN) {
    NamedRead r;
    const nuint32 verb = attrs ? DSV_READ_ATTR_DEF : DSV_READ_SYNTAXES;
    pBuf_T req = nullptr;
    if (names != nullptr) {
      req = Buf(verb);
      for (const auto &n : *names)
        EXPECT_EQ(attrs ? NWDSPutAttrName(ctx, req, n.c_str()) : NWDSPutClassItem(ctx, req, n.c_str()), 0);
    }
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    do {
      r.status = attrs ? NWDSReadAttrDef(ctx, info, names == nullptr, req, &it, out)
                       : NWDSReadSyntaxes(ctx, info, names == nullptr, req, &it, out);
      if (r.status != 0) return r;
      ++r.parts;
      nuint32 count = 0;
      EXPECT_EQ(NWDSGetAttrCount(ctx, out, &count), 0);
      EXPECT_GT(count, 0u);
      for (nuint32 i = 0; i < count; ++i) {
        char name[MAX_SCHEMA_NAME_BYTES];
        nuint32 values = 99, syn = 99;
        EXPECT_EQ(NWDSGetAttrName(ctx, out, name, &values, &syn), 0);
        EXPECT_EQ(values, 0u) << name;
        r.names.push_back(name);
        r.syntaxes[name] = syn;
      }
      char name[MAX_SCHEMA_NAME_BYTES];
      nuint32 v, s;
      EXPECT_EQ(NWDSGetAttrName(ctx, out, name, &v, &s), ERR_BUFFER_EMPTY);
    } while (it != NO_MORE_ITERATIONS && r.parts < 1000);
    return r;
  }

  // A class of our own below Organizational Role (named by CN, placed in
  // organizations).
  std::string DefineClass() {
    nwc::ClassDef c;
    c.name = Unique("Role");
    c.flags = DS_EFFECTIVE_CLASS;
    c.super_classes = {"Organizational Role"};
    EXPECT_EQ(TheStore().define_class(c), 0);
    return c.name;
  }
  std::string DefineAttr() {
    nwc::AttrDef a;
    a.name = Unique("Badge");
    a.syntax = SYN_CI_STRING;
    a.flags = DS_SINGLE_VALUED_ATTR | DS_SIZED_ATTR;
    a.lower = 1;
    a.upper = 40;
    EXPECT_EQ(TheStore().define_attribute(a), 0);
    return a.name;
  }
  NWDSCCODE AddOptional(const std::string &cls, const std::vector<std::string> &attrs) {
    pBuf_T b = Buf(DSV_MODIFY_CLASS_DEF);
    for (const auto &a : attrs) EXPECT_EQ(NWDSPutClassItem(ctx, b, a.c_str()), 0);
    return NWDSModifyClassDef(ctx, cls.c_str(), b);
  }
};

std::set<std::string> Folded(const std::vector<std::string> &names) {
  std::set<std::string> s;
  for (const auto &n : names) s.insert(nwc::fold_case(n));
  return s;
}

TEST_F(ClientSchemaApi, AllClassesComeOnceOverSeveralParts) {
  std::vector<std::string> expected;
  for (const auto &c : TheSchema()->classes()) expected.push_back(c.name);
  auto schema = TheSchema();
  for (nuint32 info : {DS_CLASS_DEF_NAMES, DS_FULL_CLASS_DEFS, DS_EXPANDED_CLASS_DEFS}) {
    // Room for the largest class (as the full read gives it, expanded
    // lists being longer) and the count: nothing more.
    size_t size = 0;
    for (const auto &c : schema->classes())
      size = std::max(size, nwc::ResultWriter::class_def_cost(c, info));
    if (info == DS_EXPANDED_CLASS_DEFS) size *= 2;
    ClassReads r = ReadClasses(info, nullptr, size + nwc::kNumberCost);
    ASSERT_EQ(r.status, 0) << info;
    EXPECT_GT(r.parts, 2) << info;
    std::vector<std::string> got;
    for (const auto &c : r.classes) got.push_back(c.name);
    EXPECT_EQ(got, expected) << "each class once, in schema order; info " << info;
  }
  // A buffer too small for any class gives up the read.
  pBuf_T tiny = Buf(nwc::NO_VERB, 16);
  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSReadClassDef(ctx, DS_FULL_CLASS_DEFS, 1, nullptr, &it, tiny), ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
}

TEST_F(ClientSchemaApi, HandlesBelongToTheirReadAndCanBeClosed) {
  const size_t before = nwc::live_iteration_count();
  pBuf_T out = Buf(nwc::NO_VERB, 600);
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSReadClassDef(ctx, DS_CLASS_DEF_NAMES, 1, nullptr, &it, out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  nint32 other = it;
  EXPECT_EQ(NWDSReadAttrDef(ctx, DS_ATTR_DEF_NAMES, 1, nullptr, &other, out), ERR_INVALID_ITERATION)
      << "a class read's handle is no attribute read's";
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_READ_CLASS_DEF), 0);
  EXPECT_EQ(nwc::live_iteration_count(), before);
  EXPECT_EQ(NWDSReadClassDef(ctx, DS_CLASS_DEF_NAMES, 1, nullptr, &it, out), ERR_INVALID_ITERATION);
}

TEST_F(ClientSchemaApi, NamedClassesInEachInfoType) {
  const std::vector<std::string> names = {"user", "Organization", "USER"};
  auto schema = TheSchema();
  const nwc::ClassDef *user = schema->class_def("User");
  ASSERT_NE(user, nullptr);

  ClassReads r = ReadClasses(DS_CLASS_DEF_NAMES, &names);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.classes.size(), 2u) << "a name given twice is given once";
  EXPECT_EQ(r.classes[0].name, "User") << "the definition's spelling";
  EXPECT_EQ(r.classes[1].name, "Organization");
  EXPECT_FALSE(r.classes[0].has_info) << "names alone leave the info untouched";

  r = ReadClasses(DS_INFO_CLASS_DEFS, &names);
  ASSERT_EQ(r.status, 0);
  ASSERT_TRUE(r.classes[0].has_info);
  EXPECT_EQ(r.classes[0].info.classFlags, user->flags);
  EXPECT_EQ(r.classes[0].info.asn1ID.length, user->asn1.size());
  EXPECT_TRUE(r.classes[1].info.classFlags & DS_CONTAINER_CLASS);
  EXPECT_TRUE(r.classes[0].lists.empty());

  r = ReadClasses(DS_CLASS_DEFS, &names);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.classes[0].lists.size(), 5u);
  EXPECT_EQ(r.classes[0].lists[0], user->super_classes);
  EXPECT_EQ(r.classes[0].lists[3], user->mandatory);
  EXPECT_EQ(r.classes[0].lists[4], user->optional);
  EXPECT_EQ(Folded(r.classes[0].lists[0]).count("top"), 0u) << "own super classes only";

  r = ReadClasses(DS_EXPANDED_CLASS_DEFS, &names);
  ASSERT_EQ(r.status, 0);
  const auto &ex = r.classes[0].lists;
  ASSERT_EQ(ex.size(), 5u);
  EXPECT_EQ(Folded(ex[0]), Folded({"Organizational Person", "Person", "Top"}));
  EXPECT_EQ(Folded(ex[1]), Folded(schema->containment("User")));
  EXPECT_EQ(Folded(ex[2]), Folded(schema->naming("User")));
  EXPECT_EQ(Folded(ex[3]), Folded(schema->mandatory("User")));
  EXPECT_EQ(Folded(ex[4]), Folded(schema->optional("User")));
  EXPECT_TRUE(Folded(ex[3]).count("surname")) << "Person's mandatory attribute";
  EXPECT_TRUE(Folded(ex[3]).count("object class")) << "Top's mandatory attribute";

  const std::vector<std::string> bad = {"User", "No Such Class"};
  EXPECT_EQ(ReadClasses(DS_CLASS_DEFS, &bad).status, ERR_NO_SUCH_CLASS);
  EXPECT_EQ(ReadClasses(9, nullptr).status, ERR_INVALID_REQUEST);
  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSReadClassDef(ctx, DS_CLASS_DEFS, 0, nullptr, &it, out), ERR_NULL_POINTER);
  pBuf_T wrong = Buf(DSV_READ_ATTR_DEF);
  EXPECT_EQ(NWDSReadClassDef(ctx, DS_CLASS_DEFS, 0, wrong, &it, out), ERR_BAD_VERB);
}

TEST_F(ClientSchemaApi, AttributeDefinitionsReadBackWithGetAttrName) {
  auto schema = TheSchema();
  NamedRead all = ReadNamed(true, DS_ATTR_DEF_NAMES, nullptr, 500);
  ASSERT_EQ(all.status, 0);
  EXPECT_GT(all.parts, 2);
  std::vector<std::string> expected;
  for (const auto &a : schema->attributes()) expected.push_back(a.name);
  EXPECT_EQ(all.names, expected) << "every attribute once";
  for (const auto &a : schema->attributes()) EXPECT_EQ(all.syntaxes[a.name], a.syntax) << a.name;

  const std::string badge = DefineAttr();
  const std::vector<std::string> names = {"surname", badge};
  NamedRead r = ReadNamed(true, DS_ATTR_DEFS, &names);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.names, (std::vector<std::string>{"Surname", badge}));
  EXPECT_EQ(r.syntaxes["Surname"], nuint32(SYN_CI_STRING));

  // The full definition is in the result for a reader that wants it.
  pBuf_T req = Buf(DSV_READ_ATTR_DEF);
  ASSERT_EQ(NWDSPutAttrName(ctx, req, badge.c_str()), 0);
  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSReadAttrDef(ctx, DS_ATTR_DEFS, 0, req, &it, out), 0);
  const auto &items = nwc::buffer_of(out)->items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].number3, nuint32(DS_SINGLE_VALUED_ATTR | DS_SIZED_ATTR));
  EXPECT_EQ(items[1].number4, 1u);
  ASSERT_GE(items[1].value.size(), 4u);
  EXPECT_EQ(items[1].value[0], 40);

  const std::vector<std::string> bad = {"Surname", "No Such Attribute"};
  EXPECT_EQ(ReadNamed(true, DS_ATTR_DEFS, &bad).status, ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(ReadNamed(true, 2, nullptr).status, ERR_INVALID_REQUEST);
}

TEST_F(ClientSchemaApi, SyntaxesAndSyntaxDefinitions) {
  NamedRead all = ReadNamed(false, 0, nullptr, 300);
  ASSERT_EQ(all.status, 0);
  EXPECT_GT(all.parts, 1);
  ASSERT_EQ(all.names.size(), 28u);
  for (nuint32 id = 0; id < 28; ++id) {
    Syntax_Info_T info;
    ASSERT_EQ(NWDSReadSyntaxDef(ctx, id, &info), 0);
    EXPECT_EQ(info.ID, id);
    EXPECT_EQ(info.flags, nwc::syntax(id)->flags);
    EXPECT_EQ(all.names[id], info.defStr);
    EXPECT_EQ(all.syntaxes[info.defStr], id);
  }
  Syntax_Info_T info;
  EXPECT_EQ(NWDSReadSyntaxDef(ctx, 28, &info), ERR_NO_SUCH_SYNTAX);
  ASSERT_EQ(NWDSReadSyntaxDef(ctx, SYN_CI_STRING, &info), 0);
  EXPECT_STREQ(info.defStr, "Case Ignore String");

  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSReadSyntaxes(ctx, 0, 1, nullptr, &it, out), 0);
  nuint32 count = 0;
  EXPECT_EQ(NWDSGetSyntaxCount(ctx, out, &count), 0);
  EXPECT_EQ(count, 28u);

  const std::vector<std::string> names = {"case ignore string", "Integer"};
  NamedRead r = ReadNamed(false, 1, &names);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.names, (std::vector<std::string>{"Case Ignore String", "Integer"}));
  EXPECT_EQ(r.syntaxes["Integer"], nuint32(SYN_INTEGER));
  const std::vector<std::string> bad = {"No Such Syntax"};
  EXPECT_EQ(ReadNamed(false, 1, &bad).status, ERR_NO_SUCH_SYNTAX);
}

TEST_F(ClientSchemaApi, ModifiedClassAllowsItsNewOptionalAttribute) {
  const std::string cls = DefineClass();
  const std::string badge = DefineAttr();
  const std::vector<client_dir::Attr> entry = {{"Object Class", SYN_CLASS_NAME, {cls.c_str()}},
                                               {badge, SYN_CI_STRING, {"B-17"}}};
  EXPECT_EQ(Add("CN=Before", entry), ERR_ILLEGAL_ATTRIBUTE) << "not allowed yet";

  EXPECT_EQ(AddOptional(cls, {badge, "No Such Attribute"}), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(AddOptional("No Such Class", {badge}), ERR_NO_SUCH_CLASS);
  EXPECT_EQ(Add("CN=Before", entry), ERR_ILLEGAL_ATTRIBUTE) << "a refused change changes nothing";

  ASSERT_EQ(AddOptional(cls, {badge, "Description"}), 0);
  EXPECT_EQ(AddOptional(cls, {badge}), ERR_DUPLICATE_OPTIONAL);
  const std::vector<std::string> names = {cls};
  ClassReads r = ReadClasses(DS_CLASS_DEFS, &names);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.classes.size(), 1u);
  EXPECT_EQ(r.classes[0].lists[4], (std::vector<std::string>{badge, "Description"}));
  EXPECT_TRUE(Folded(TheSchema()->optional(cls)).count(nwc::fold_case(badge))) << "persisted";

  ASSERT_EQ(Add("CN=After", entry), 0);
  client_dir::ReadBack back = Read("CN=After");
  ASSERT_EQ(back.status, 0);
  ASSERT_EQ(back.values[badge].size(), 1u);
  EXPECT_EQ(back.values[badge][0].texts, std::vector<std::string>{"B-17"});

  // A base class takes new optional attributes too (an attribute of our own
  // so that the base class stays as other tests expect it).
  const std::string other = DefineAttr();
  EXPECT_EQ(AddOptional("Organizational Unit", {other}), 0);
}

TEST_F(ClientSchemaApi, RemovingDefinitionsIsRefusedForBaseAndInUse) {
  EXPECT_EQ(NWDSRemoveAttrDef(ctx, "Surname"), ERR_SCHEMA_IS_NONREMOVABLE);
  EXPECT_EQ(NWDSRemoveClassDef(ctx, "User"), ERR_SCHEMA_IS_NONREMOVABLE);
  EXPECT_EQ(NWDSRemoveAttrDef(ctx, "No Such Attribute"), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(NWDSRemoveClassDef(ctx, "No Such Class"), ERR_NO_SUCH_CLASS);

  const std::string cls = DefineClass();
  const std::string badge = DefineAttr();
  ASSERT_EQ(AddOptional(cls, {badge}), 0);
  EXPECT_EQ(NWDSRemoveAttrDef(ctx, badge.c_str()), ERR_SCHEMA_IS_IN_USE) << "a class lists it";
  ASSERT_EQ(Add("CN=User Of", {{"Object Class", SYN_CLASS_NAME, {cls.c_str()}}}), 0);
  EXPECT_EQ(NWDSRemoveClassDef(ctx, cls.c_str()), ERR_SCHEMA_IS_IN_USE) << "an entry is of it";
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=User Of"), 0);
  EXPECT_EQ(NWDSRemoveClassDef(ctx, cls.c_str()), 0);
  EXPECT_EQ(NWDSRemoveAttrDef(ctx, badge.c_str()), 0) << "no class lists it now";
  const std::vector<std::string> names = {cls};
  EXPECT_EQ(ReadClasses(DS_CLASS_DEF_NAMES, &names).status, ERR_NO_SUCH_CLASS);
  const std::vector<std::string> attrs = {badge};
  EXPECT_EQ(ReadNamed(true, DS_ATTR_DEF_NAMES, &attrs).status, ERR_NO_SUCH_ATTRIBUTE);
}

TEST_F(ClientSchemaApi, SyncSchemaNeedsAServerOfTheStore) {
  auto servers = TheStore().find_by_value("Object Class", nwc::Value::text(SYN_CLASS_NAME, "NCP Server"));
  ASSERT_TRUE(servers.ok());
  ASSERT_FALSE(servers->empty());
  auto dn = TheStore().dn_of(servers->front());
  ASSERT_TRUE(dn.ok());
  const std::string server = "." + nwc::format_dn(*dn);
  EXPECT_EQ(NWDSSyncSchema(ctx, server.c_str(), 0), 0);
  EXPECT_EQ(NWDSSyncSchema(ctx, "CN=No Such Server", 5), ERR_NO_SUCH_ENTRY);
  ASSERT_EQ(AddUser("CN=Not A Server"), 0);
  EXPECT_EQ(NWDSSyncSchema(ctx, "CN=Not A Server", 0), ERR_NO_SUCH_ENTRY);
}

} // namespace
