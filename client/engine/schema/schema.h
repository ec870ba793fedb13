// The directory schema: attribute syntaxes, attribute and class
// definitions, the base schema every new tree starts with, attribute values
// in one generic shape, their canonical encoding, equality keys and syntax
// checks.
//
// The definitions of a tree live in its store (store.h seeds them from
// base_attributes()/base_classes() and loads them back into a Schema); this
// module itself does no I/O.
//
// Invariants:
//   - Syntax ids are 0..27 (SYN_UNKNOWN..SYN_INTERVAL); syntax(id) is null
//     for any other id.
//   - Attribute and class names are unique without regard to case; lookups
//     are case-insensitive and give the definition's own spelling.
//   - Every syntax 0..27 has at least one base attribute.
//   - A Value holds exactly the fields its syntax's record has (see Value);
//     check_value() refuses anything else with ERR_SYNTAX_VIOLATION.
//   - Two values are equal for the directory exactly when their
//     equality_key()s are equal; encode_value()/decode_value() round-trip.
//   - Effective sets (mandatory, optional, naming, containment) follow the
//     super class chain; "Top" is the root of every chain.
#ifndef NWC_SCHEMA_H
#define NWC_SCHEMA_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/expected.h"
#include "nwclient.h"

namespace nwc {

// ---- syntaxes -----------------------------------------------------------------
// Syntax flags as reported in Syntax_Info_T.flags.
enum : uint16_t {
  DS_STRING = 0x0001,
  DS_SINGLE_VALUED = 0x0002,
  DS_SUPPORTS_ORDER = 0x0004,
  DS_SUPPORTS_EQUALITY = 0x0008,
  DS_IGNORE_CASE = 0x0010,
  DS_IGNORE_SPACE = 0x0020,
  DS_IGNORE_DASH = 0x0040,
  DS_ONLY_DIGITS = 0x0080,
  DS_ONLY_PRINTABLE = 0x0100,
  DS_SIZEABLE = 0x0200,
  DS_BITWISE_EQUALITY = 0x0400,
};

enum class Match {
  None,        // no equality (stream, unknown)
  CaseExact,   // text compared as is (blank runs count as one)
  CaseIgnore,  // text compared without regard to case (blank runs as one)
  Numeric,     // digits compared, blanks and dashes ignored
  Binary,      // bytes compared as they are
  Integer,     // 32-bit numbers
  Name,        // distinguished names (names.h matching)
  Fields,      // structured: field by field, each by its own rule
};

struct SyntaxDef {
  uint32_t id;
  std::string_view name;  // "Case Ignore String"
  Match equality;
  uint16_t flags;  // DS_STRING | DS_SUPPORTS_ORDER | ...
  bool approximate;
};

const SyntaxDef* syntax(uint32_t id);
const SyntaxDef* syntax_by_name(std::string_view name);  // case-insensitive
constexpr uint32_t kSyntaxCount = 28;

// ---- values -------------------------------------------------------------------
// One attribute value in a shape shared by all syntaxes: the texts, numbers
// and byte strings of the syntax's record, in record order.
//
//   syntax                      texts                 nums                         blobs
//   1,2,3,4,5,10,20 strings     [text]                -                            -
//   7,8,22,24,27 integers       -                     [n]                          -
//   0  Unknown                  -                     -                            [bytes]
//   6  Case Ignore List         [item...]             -                            -
//   9  Octet String             -                     -                            [bytes]
//   11 Fax Number               [number]              [parameter bit count]        [parameter bits]
//   12 Net Address              -                     [type]                       [address]
//   13 Octet List               -                     -                            [item...]
//   14 EMail Address            [address]             [type]                       -
//   15 Path                     [volume DN, path]     [name space]                 -
//   16 Replica Pointer          [server DN]           [type, number, addr types..] [addresses...]
//   17 Object ACL               [attr name, subject]  [privileges]                 -
//   18 Postal Address           [6 lines]             -                            -
//   19 Timestamp                -                     [seconds, replica, event]    -
//   21 Stream                   -                     -                            -
//   23 Back Link                [object DN]           [remote id]                  -
//   25 Typed Name               [object DN]           [level, interval]            -
//   26 Hold                     [object DN]           [amount]                     -
// Integers are kept as their 32-bit pattern (signed syntaxes cast back).
struct Value {
  uint32_t syntax = 0;
  std::vector<std::string> texts;
  std::vector<uint32_t> nums;
  std::vector<std::string> blobs;

  static Value text(uint32_t syntax, std::string s);
  static Value integer(uint32_t syntax, int32_t n);
  static Value bytes(uint32_t syntax, std::string b);
  static Value acl(std::string attr, std::string subject, uint32_t privileges);
  static Value net_address(uint32_t type, std::string address);
  static Value typed_name(std::string object, uint32_t level, uint32_t interval);
  static Value timestamp(uint32_t seconds, uint16_t replica, uint16_t event);

  bool operator==(const Value&) const = default;
};

// Special subjects of Object ACL values (besides distinguished names).
// An ACL value whose subject is "[Inheritance Mask]" is the inherited
// rights filter of its protected attribute on that entry.
bool is_special_subject(std::string_view subject);

// Canonical encoding (little-endian counts and lengths) and back.
std::string encode_value(const Value& v);
Expected<Value> decode_value(uint32_t syntax, std::string_view data);

// Distinguished names inside a value are rewritten in their canonical typed
// full form; ACL special subjects get their canonical spelling.  Fails with
// ERR_SYNTAX_VIOLATION when such a name does not parse.
Status normalise_value(Value& v);

// Bytes that are equal exactly for values the directory takes as equal.
std::string equality_key(const Value& v);

// ---- definitions --------------------------------------------------------------
struct AttrDef {
  int64_t id = 0;  // store id; 0 until stored
  std::string name;
  uint32_t syntax = 0;
  uint32_t flags = 0;  // DS_SINGLE_VALUED_ATTR | DS_SIZED_ATTR | ...
  int32_t lower = 0;   // bounds when DS_SIZED_ATTR: length for texts and
  int32_t upper = 0;   // bytes, value for integers
  std::string asn1;    // ASN.1 id bytes (may be empty)
  bool ordered = true; // values can be compared by order (>=, <=); a
                       // server's attribute without an ordering rule is not
};

struct ClassDef {
  int64_t id = 0;
  std::string name;
  uint32_t flags = 0;  // DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS | ...
  std::vector<std::string> super_classes;
  std::vector<std::string> containment;
  std::vector<std::string> naming;
  std::vector<std::string> mandatory;
  std::vector<std::string> optional;
  std::string asn1;
};

const std::vector<AttrDef>& base_attributes();
const std::vector<ClassDef>& base_classes();

class Schema {
 public:
  Schema(std::vector<AttrDef> attrs, std::vector<ClassDef> classes);
  static const Schema& base();

  const std::vector<AttrDef>& attributes() const { return attrs_; }
  const std::vector<ClassDef>& classes() const { return classes_; }

  const AttrDef* attribute(std::string_view name) const;
  const AttrDef* attribute_by_id(int64_t id) const;
  const ClassDef* class_def(std::string_view name) const;

  // The class and all its super classes, nearest first, each once; empty
  // for an unknown class.
  std::vector<const ClassDef*> lineage(std::string_view cls) const;
  // Names (definition spelling) of the effective mandatory / optional
  // attributes; an attribute mandatory anywhere in the lineage is not
  // listed as optional.
  std::vector<std::string> mandatory(std::string_view cls) const;
  std::vector<std::string> optional(std::string_view cls) const;
  // Naming attributes and containment: the class's own list, or the
  // nearest super class's when it has none.
  std::vector<std::string> naming(std::string_view cls) const;
  std::vector<std::string> containment(std::string_view cls) const;
  // True when an entry of class `child` may be placed below an entry of
  // class `parent`.
  bool may_contain(std::string_view parent, std::string_view child) const;
  bool is_a(std::string_view cls, std::string_view ancestor) const;
  bool is_container(std::string_view cls) const;
  // Attribute allowed on entries of the class (mandatory or optional).
  bool allows(std::string_view cls, std::string_view attr) const;

  // The same for definitions of this schema, without name lookups.
  bool allows(const ClassDef& cls, const AttrDef& attr) const;
  // The effective mandatory attributes' definitions (null for a name the
  // schema does not define), in the order mandatory() gives them.
  const std::vector<const AttrDef*>& mandatory_defs(const ClassDef& cls) const;

  // Syntax id of an attribute, or ERR_NO_SUCH_ATTRIBUTE.
  Expected<uint32_t> syntax_of(std::string_view attr) const;

  // Value check against the attribute's syntax, shape and bounds (and, for
  // Class Name values, the classes defined here): 0 or ERR_SYNTAX_VIOLATION.
  Status check_value(const AttrDef& attr, const Value& v) const;

  // Checks a new definition against this schema: 0, or
  // ERR_ATTRIBUTE_ALREADY_EXISTS / ERR_INVALID_ATTR_SYNTAX /
  // ERR_CLASS_ALREADY_EXISTS / ERR_NO_SUCH_CLASS / ERR_NO_SUCH_ATTRIBUTE /
  // ERR_BAD_NAMING_ATTRIBUTES / ERR_DUPLICATE_MANDATORY / ERR_DUPLICATE_OPTIONAL.
  Status check_new_attribute(const AttrDef& a) const;
  Status check_new_class(const ClassDef& c) const;

 private:
  std::vector<AttrDef> attrs_;
  std::vector<ClassDef> classes_;
  std::map<std::string, size_t> attr_index_;   // folded name -> position
  std::map<std::string, size_t> class_index_;
  std::map<int64_t, size_t> attr_ids_;
  // Each class's effective sets, worked out once when the schema is built.
  struct Effective {
    std::vector<size_t> lineage;  // class positions, nearest first
    std::vector<std::string> mandatory, optional;
    std::vector<const AttrDef*> mandatory_defs;
    std::vector<bool> allows;  // by attribute position
  };
  std::vector<Effective> effective_;
  const Effective* effective(std::string_view cls) const;
  size_t position(const ClassDef& c) const { return static_cast<size_t>(&c - classes_.data()); }
};

// Value check for a syntax alone (shape, character sets, ranges); no
// bounds.  0 or ERR_SYNTAX_VIOLATION.
Status check_syntax(const Value& v);

}  // namespace nwc

#endif
