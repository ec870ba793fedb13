// The base schema a new tree starts with: the syntaxes 0..27, the base
// attribute definitions and the base classes.
//
// Three syntaxes have no attribute in the published base schema that this
// library carries, and three have only read-only ones that the directory
// itself maintains; each gets one extension attribute so that every value
// layout can be stored and read back by a script:
//   "NWClient Unknown Value"     (SYN_UNKNOWN)
//   "NWClient Case Exact Text"   (SYN_CE_STRING)
//   "NWClient Octet List"        (SYN_OCTET_LIST)
//   "NWClient Replica Pointer"   (SYN_REPLICA_POINTER)
//   "NWClient Timestamp"         (SYN_TIMESTAMP)
//   "NWClient Back Link"         (SYN_BACK_LINK)
// They are optional attributes of Top, so any entry may carry them.
//
// Inherited rights filters are not a separate attribute: an Object ACL value
// whose subject is "[Inheritance Mask]" filters the rights inherited for its
// protected attribute.  "Inherited ACL" holds the rights a partition root
// inherits from above, as in the published schema.
#include <array>

#include "names/names.h"
#include "schema/schema.h"

namespace nwc {
namespace {

constexpr uint32_t SV = DS_SINGLE_VALUED_ATTR;
constexpr uint32_t SZ = DS_SIZED_ATTR;
constexpr uint32_t NR = DS_NONREMOVABLE_ATTR;
constexpr uint32_t RO = DS_READ_ONLY_ATTR;
constexpr uint32_t HID = DS_HIDDEN_ATTR;
constexpr uint32_t STR = DS_STRING_ATTR;
constexpr uint32_t SI = DS_SYNC_IMMEDIATE;
constexpr uint32_t PR = DS_PUBLIC_READ;
constexpr uint32_t SR = DS_SERVER_READ;
constexpr uint32_t WM = DS_WRITE_MANAGED;
constexpr uint32_t PER = DS_PER_REPLICA;

constexpr uint16_t S_STR = DS_STRING | DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER | DS_SIZEABLE;

const std::array<SyntaxDef, kSyntaxCount> kSyntaxes = {{
    {SYN_UNKNOWN, "Unknown", Match::None, 0, false},
    {SYN_DIST_NAME, "Distinguished Name", Match::Name, DS_STRING | DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, false},
    {SYN_CE_STRING, "Case Exact String", Match::CaseExact, S_STR | DS_IGNORE_SPACE, true},
    {SYN_CI_STRING, "Case Ignore String", Match::CaseIgnore, S_STR | DS_IGNORE_CASE | DS_IGNORE_SPACE, true},
    {SYN_PR_STRING, "Printable String", Match::CaseExact, S_STR | DS_IGNORE_SPACE | DS_ONLY_PRINTABLE, true},
    {SYN_NU_STRING, "Numeric String", Match::Numeric, S_STR | DS_IGNORE_SPACE | DS_IGNORE_DASH | DS_ONLY_DIGITS, true},
    {SYN_CI_LIST, "Case Ignore List", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, true},
    {SYN_BOOLEAN, "Boolean", Match::Integer, DS_SINGLE_VALUED | DS_SUPPORTS_EQUALITY, false},
    {SYN_INTEGER, "Integer", Match::Integer, DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER | DS_SIZEABLE, false},
    {SYN_OCTET_STRING, "Octet String", Match::Binary, DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER | DS_SIZEABLE | DS_BITWISE_EQUALITY, false},
    {SYN_TEL_NUMBER, "Telephone Number", Match::Numeric, S_STR | DS_IGNORE_SPACE | DS_IGNORE_DASH, true},
    {SYN_FAX_NUMBER, "Facsimile Telephone Number", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_SPACE | DS_IGNORE_DASH, false},
    {SYN_NET_ADDRESS, "Net Address", Match::Fields, DS_SUPPORTS_EQUALITY | DS_BITWISE_EQUALITY, false},
    {SYN_OCTET_LIST, "Octet List", Match::Fields, DS_SUPPORTS_EQUALITY | DS_BITWISE_EQUALITY, false},
    {SYN_EMAIL_ADDRESS, "EMail Address", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, false},
    {SYN_PATH, "Path", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, false},
    {SYN_REPLICA_POINTER, "Replica Pointer", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE, false},
    {SYN_OBJECT_ACL, "Object ACL", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE, false},
    {SYN_PO_ADDRESS, "Postal Address", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, false},
    {SYN_TIMESTAMP, "Timestamp", Match::Fields, DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER, false},
    {SYN_CLASS_NAME, "Class Name", Match::CaseIgnore, DS_STRING | DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE | DS_IGNORE_SPACE, false},
    {SYN_STREAM, "Stream", Match::None, DS_SINGLE_VALUED, false},
    {SYN_COUNTER, "Counter", Match::Integer, DS_SINGLE_VALUED | DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER, false},
    {SYN_BACK_LINK, "Back Link", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE, false},
    {SYN_TIME, "Time", Match::Integer, DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER, false},
    {SYN_TYPED_NAME, "Typed Name", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE, false},
    {SYN_HOLD, "Hold", Match::Fields, DS_SUPPORTS_EQUALITY | DS_IGNORE_CASE, false},
    {SYN_INTERVAL, "Interval", Match::Integer, DS_SUPPORTS_EQUALITY | DS_SUPPORTS_ORDER, false},
}};

AttrDef A(std::string name, uint32_t syntax, uint32_t flags, int32_t lower = 0, int32_t upper = 0) {
  AttrDef a;
  a.name = std::move(name);
  a.syntax = syntax;
  a.flags = flags | NR;  // base definitions cannot be removed
  if (flags & SZ) {
    a.lower = lower;
    a.upper = upper;
  }
  return a;
}

std::vector<AttrDef> make_attributes() {
  return {
      // extensions (see the file comment)
      A("NWClient Unknown Value", SYN_UNKNOWN, 0),
      A("NWClient Case Exact Text", SYN_CE_STRING, STR | SZ, 1, 1024),
      A("NWClient Octet List", SYN_OCTET_LIST, 0),
      A("NWClient Replica Pointer", SYN_REPLICA_POINTER, 0),
      A("NWClient Timestamp", SYN_TIMESTAMP, 0),
      A("NWClient Back Link", SYN_BACK_LINK, 0),

      // naming and descriptive texts
      A("CN", SYN_CI_STRING, STR | SZ | SI, 1, 64),
      A("Surname", SYN_CI_STRING, STR | SZ | SI, 1, 64),
      A("Given Name", SYN_CI_STRING, STR | SZ | SI, 1, 32),
      A("Full Name", SYN_CI_STRING, STR | SZ | SI, 1, 127),
      A("Initials", SYN_CI_STRING, STR | SZ | SI, 1, 8),
      A("Generational Qualifier", SYN_CI_STRING, STR | SV | SZ | SI, 1, 8),
      A("Title", SYN_CI_STRING, STR | SZ | SI, 1, 64),
      A("Description", SYN_CI_STRING, STR | SZ | SI, 1, 1024),
      A("Internet EMail Address", SYN_CI_STRING, STR | SZ | SI, 1, 256),
      A("Physical Delivery Office Name", SYN_CI_STRING, STR | SZ | SI, 1, 128),
      A("L", SYN_CI_STRING, STR | SZ | SI, 1, 128),
      A("S", SYN_CI_STRING, STR | SZ | SI, 1, 128),
      A("SA", SYN_CI_STRING, STR | SZ | SI, 1, 128),
      A("O", SYN_CI_STRING, STR | SZ | SI, 1, 64),
      A("OU", SYN_CI_STRING, STR | SZ | SI, 1, 64),
      A("C", SYN_CI_STRING, STR | SV | SZ | SI, 2, 2),
      A("Postal Code", SYN_CI_STRING, STR | SZ | SI, 1, 40),
      A("Postal Office Box", SYN_CI_STRING, STR | SZ | SI, 1, 40),
      A("Version", SYN_CI_STRING, STR | SV | SZ | PR, 1, 64),
      A("Host Resource Name", SYN_CI_STRING, STR | SV | SZ, 1, 255),
      A("Mailbox ID", SYN_CI_STRING, STR | SV | SZ | SI, 1, 8),
      A("Unknown Base Class", SYN_CI_STRING, STR | SV | SZ | RO, 1, 32),
      A("Queue Directory", SYN_CI_STRING, STR | SV | SZ | SR, 1, 255),
      A("Supported Services", SYN_CI_STRING, STR | SZ, 1, 64),
      A("Supported Typefaces", SYN_CI_STRING, STR | SZ, 1, 64),
      A("Cartridge", SYN_CI_STRING, STR | SZ, 1, 64),
      A("SAP Name", SYN_CI_STRING, STR | SV | SZ | SR, 1, 47),
      A("Serial Number", SYN_PR_STRING, STR | SZ, 1, 64),
      A("Page Description Language", SYN_PR_STRING, STR | SZ, 1, 64),
      A("Bindery Type", SYN_NU_STRING, STR | SV | SZ | SI, 1, 4),
      A("Language", SYN_CI_LIST, SV | SI),

      // distinguished names
      A("Member", SYN_DIST_NAME, 0),
      A("Group Membership", SYN_DIST_NAME, WM),
      A("Security Equals", SYN_DIST_NAME, SR | WM | SI),
      A("Equivalent To Me", SYN_DIST_NAME, SR | SI),
      A("Higher Privileges", SYN_DIST_NAME, SR | WM | SI),
      A("Host Server", SYN_DIST_NAME, SV | SI),
      A("Host Device", SYN_DIST_NAME, SV),
      A("Message Server", SYN_DIST_NAME, SV),
      A("Aliased Object Name", SYN_DIST_NAME, SV | SI),
      A("Reference", SYN_DIST_NAME, RO | HID),
      A("Operator", SYN_DIST_NAME, SR),
      A("Resource", SYN_DIST_NAME, 0),
      A("Queue", SYN_DIST_NAME, SR),
      A("Default Queue", SYN_DIST_NAME, SV | SR),
      A("Device", SYN_DIST_NAME, 0),
      A("Server", SYN_DIST_NAME, SR),
      A("Volume", SYN_DIST_NAME, SV | SR),
      A("Profile", SYN_DIST_NAME, SV),
      A("Profile Membership", SYN_DIST_NAME, WM),
      A("See Also", SYN_DIST_NAME, 0),
      A("Owner", SYN_DIST_NAME, 0),
      A("Role Occupant", SYN_DIST_NAME, 0),
      A("Mailbox Location", SYN_DIST_NAME, SV),

      // flags and numbers
      A("Login Disabled", SYN_BOOLEAN, SV | SI),
      A("Password Required", SYN_BOOLEAN, SV | SI),
      A("Password Unique Required", SYN_BOOLEAN, SV | SI),
      A("Password Allow Change", SYN_BOOLEAN, SV | SI),
      A("Detect Intruder", SYN_BOOLEAN, SV | SI),
      A("Lockout After Detection", SYN_BOOLEAN, SV | SI),
      A("Locked By Intruder", SYN_BOOLEAN, SV | SI),
      A("Allow Unlimited Credit", SYN_BOOLEAN, SV),
      A("Login Maximum Simultaneous", SYN_INTEGER, SV | SI),
      A("Password Minimum Length", SYN_INTEGER, SV | SI),
      A("Login Grace Limit", SYN_INTEGER, SV | SI),
      A("Login Intruder Limit", SYN_INTEGER, SV | SI),
      A("Status", SYN_INTEGER, SV),
      A("Security Flags", SYN_INTEGER, SV),
      A("Memory", SYN_INTEGER, SV),
      A("Supported Connections", SYN_INTEGER, SV),
      A("Minimum Account Balance", SYN_INTEGER, SV),
      A("Bindery Object Restriction", SYN_INTEGER, SV),
      A("Convergence", SYN_INTEGER, SV | SZ | SI, 0, 1),
      A("Revision", SYN_COUNTER, SV | PR | RO),
      A("Login Grace Remaining", SYN_COUNTER, SV | SI),
      A("Login Intruder Attempts", SYN_COUNTER, SV | SI),
      A("Account Balance", SYN_COUNTER, SV),

      // bytes
      A("Login Allowed Time Map", SYN_OCTET_STRING, SV | SZ | SI, 42, 42),
      A("Printer Configuration", SYN_OCTET_STRING, SV),
      A("Private Key", SYN_OCTET_STRING, SV | HID | RO),
      A("Public Key", SYN_OCTET_STRING, SV | PR),
      A("Passwords Used", SYN_OCTET_STRING, HID | RO),
      A("Timezone", SYN_OCTET_STRING, SV),
      A("Obituary", SYN_OCTET_STRING, HID | RO),
      A("Bindery Property", SYN_OCTET_STRING, 0),
      A("Authority Revocation", SYN_OCTET_STRING, SV | RO),

      // structured
      A("Telephone Number", SYN_TEL_NUMBER, STR | SZ | SI, 1, 32),
      A("Facsimile Telephone Number", SYN_FAX_NUMBER, SI),
      A("Network Address", SYN_NET_ADDRESS, PR | SR),
      A("Network Address Restriction", SYN_NET_ADDRESS, SI),
      A("Login Intruder Address", SYN_NET_ADDRESS, SV | SI),
      A("EMail Address", SYN_EMAIL_ADDRESS, PR),
      A("Foreign EMail Address", SYN_EMAIL_ADDRESS, SV),
      A("Home Directory", SYN_PATH, SV | SZ, 1, 255),
      A("Path", SYN_PATH, SV | SI),
      A("Replica", SYN_REPLICA_POINTER, SR | RO),
      A("ACL", SYN_OBJECT_ACL, SI),
      A("Inherited ACL", SYN_OBJECT_ACL, SR | RO),
      A("Postal Address", SYN_PO_ADDRESS, SI),
      A("Received Up To", SYN_TIMESTAMP, SR | RO | PER),
      A("Synchronized Up To", SYN_TIMESTAMP, SR | RO | PER),
      A("Partition Creation Time", SYN_TIMESTAMP, SV | SR | RO | PER),
      A("Last Referenced Time", SYN_TIMESTAMP, SV | RO | PER),
      A("Object Class", SYN_CLASS_NAME, SI | PR),
      A("Login Script", SYN_STREAM, SV),
      A("Print Job Configuration", SYN_STREAM, SV),
      A("Back Link", SYN_BACK_LINK, SR | RO),
      A("Last Login Time", SYN_TIME, SV | RO),
      A("Login Time", SYN_TIME, SV | RO),
      A("Login Expiration Time", SYN_TIME, SV | SI),
      A("Password Expiration Time", SYN_TIME, SV | SI),
      A("Login Intruder Reset Time", SYN_TIME, SV | SI),
      A("Notify", SYN_TYPED_NAME, 0),
      A("Print Server", SYN_TYPED_NAME, SV),
      A("Partition Control", SYN_TYPED_NAME, SR | RO),
      A("Server Holds", SYN_HOLD, 0),
      A("Password Expiration Interval", SYN_INTERVAL, SV | SI),
      A("Intruder Attempt Reset Interval", SYN_INTERVAL, SV | SI),
      A("Intruder Lockout Reset Interval", SYN_INTERVAL, SV | SI),
  };
}

constexpr uint32_t CONT = DS_CONTAINER_CLASS;
constexpr uint32_t EFF = DS_EFFECTIVE_CLASS;
constexpr uint32_t NRC = DS_NONREMOVABLE_CLASS;

using Names = std::vector<std::string>;

ClassDef C(std::string name, uint32_t flags, Names supers, Names containment, Names naming,
           Names mandatory, Names optional) {
  ClassDef c;
  c.name = std::move(name);
  c.flags = flags | NRC;
  c.super_classes = std::move(supers);
  c.containment = std::move(containment);
  c.naming = std::move(naming);
  c.mandatory = std::move(mandatory);
  c.optional = std::move(optional);
  return c;
}

std::vector<ClassDef> make_classes() {
  const Names in_org = {"Organization", "Organizational Unit"};
  const Names postal = {"Physical Delivery Office Name", "Postal Address", "Postal Code",
                        "Postal Office Box", "L", "S", "SA"};
  auto plus = [](Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Names container_opt = plus(
      {"Description", "Detect Intruder", "EMail Address", "Facsimile Telephone Number",
       "Intruder Attempt Reset Interval", "Intruder Lockout Reset Interval",
       "Lockout After Detection", "Login Intruder Limit", "Login Script", "Mailbox ID",
       "Mailbox Location", "Print Job Configuration", "See Also", "Telephone Number",
       "Internet EMail Address"},
      postal);

  return {
      C("Top", 0, {}, {}, {}, {"Object Class"},
        {"ACL", "Inherited ACL", "Back Link", "Bindery Property", "Obituary", "Reference",
         "Revision", "Equivalent To Me", "Last Referenced Time", "Authority Revocation",
         "NWClient Unknown Value", "NWClient Case Exact Text", "NWClient Octet List",
         "NWClient Replica Pointer", "NWClient Timestamp", "NWClient Back Link"}),
      C("Tree Root", CONT | EFF, {"Top"}, {}, {}, {}, {}),
      C("Alias", EFF, {"Top"},
        {"Tree Root", "Country", "Locality", "Organization", "Organizational Unit"},
        {"CN", "C", "L", "O", "OU", "S"}, {"Aliased Object Name"}, {"CN", "C", "L", "O", "OU", "S"}),
      C("Country", CONT | EFF, {"Top"}, {"Tree Root"}, {"C"}, {"C"}, {"Description"}),
      C("Locality", CONT | EFF, {"Top"},
        {"Country", "Locality", "Organization", "Organizational Unit"}, {"L", "S"}, {},
        {"Description", "L", "S", "SA", "See Also"}),
      C("Organization", CONT | EFF, {"Top"}, {"Tree Root", "Country", "Locality"}, {"O"}, {"O"},
        container_opt),
      C("Organizational Unit", CONT | EFF, {"Top"},
        {"Locality", "Organization", "Organizational Unit"}, {"OU"}, {"OU"}, container_opt),
      C("Person", 0, {"Top"}, in_org, {"CN"}, {"CN", "Surname"},
        {"Description", "Full Name", "Generational Qualifier", "Given Name", "Initials",
         "See Also", "Telephone Number"}),
      C("Organizational Person", 0, {"Person"}, in_org, {"CN", "OU"}, {},
        plus({"Facsimile Telephone Number", "Mailbox ID", "Mailbox Location", "OU", "Title",
              "EMail Address", "Internet EMail Address"},
             postal)),
      C("User", EFF, {"Organizational Person"}, {}, {}, {},
        {"Account Balance", "Allow Unlimited Credit", "Group Membership", "Higher Privileges",
         "Home Directory", "Language", "Last Login Time", "Locked By Intruder",
         "Login Allowed Time Map", "Login Disabled", "Login Expiration Time",
         "Login Grace Limit", "Login Grace Remaining", "Login Intruder Address",
         "Login Intruder Attempts", "Login Intruder Reset Time", "Login Maximum Simultaneous",
         "Login Script", "Login Time", "Message Server", "Minimum Account Balance",
         "Network Address", "Network Address Restriction", "Password Allow Change",
         "Password Expiration Interval", "Password Expiration Time", "Password Minimum Length",
         "Password Required", "Password Unique Required", "Passwords Used",
         "Print Job Configuration", "Private Key", "Profile", "Profile Membership",
         "Public Key", "Security Equals", "Security Flags", "Server Holds", "Timezone"}),
      C("Group", EFF, {"Top"}, in_org, {"CN"}, {"CN"},
        {"Description", "Full Name", "L", "Member", "O", "OU", "Owner", "See Also",
         "EMail Address", "Mailbox ID", "Mailbox Location", "Security Equals"}),
      C("Organizational Role", EFF, {"Top"}, in_org, {"CN"}, {"CN"},
        plus({"Description", "EMail Address", "Facsimile Telephone Number", "Mailbox ID",
              "Mailbox Location", "OU", "Role Occupant", "See Also", "Telephone Number",
              "Security Equals"},
             postal)),
      C("Server", 0, {"Top"}, in_org, {"CN"}, {"CN"},
        {"Account Balance", "Allow Unlimited Credit", "Description", "Full Name", "Host Device",
         "L", "Minimum Account Balance", "Network Address", "O", "OU", "Private Key",
         "Public Key", "Resource", "Security Equals", "Security Flags", "See Also", "Status",
         "Version"}),
      C("NCP Server", EFF, {"Server"}, {}, {}, {},
        {"Operator", "Supported Services", "Timezone", "Partition Control"}),
      C("Print Server", EFF, {"Server"}, {}, {}, {}, {"Operator", "SAP Name", "Device"}),
      C("Resource", 0, {"Top"}, in_org, {"CN"}, {"CN"},
        {"Description", "Host Resource Name", "L", "O", "OU", "See Also"}),
      C("Volume", EFF, {"Resource"}, {}, {}, {"Host Server"}, {"Status"}),
      C("Queue", EFF, {"Resource"}, {}, {}, {"Queue Directory"},
        {"Device", "Operator", "Server", "Volume", "Network Address"}),
      C("Directory Map", EFF, {"Resource"}, {}, {}, {"Path"}, {}),
      C("Profile", EFF, {"Top"}, in_org, {"CN"}, {"CN", "Login Script"},
        {"Description", "Full Name", "L", "O", "OU", "See Also"}),
      C("Device", 0, {"Top"}, in_org, {"CN"}, {"CN"},
        {"Description", "L", "Network Address", "O", "OU", "Owner", "See Also",
         "Serial Number"}),
      C("Printer", EFF, {"Device"}, {}, {}, {},
        {"Cartridge", "Default Queue", "Host Device", "Print Server", "Memory",
         "Network Address Restriction", "Notify", "Operator", "Page Description Language",
         "Printer Configuration", "Queue", "Status", "Supported Typefaces"}),
      C("Computer", EFF, {"Device"}, {}, {}, {}, {"Operator", "Server", "Status"}),
      C("Partition", 0, {"Top"}, {}, {}, {},
        {"Convergence", "Partition Creation Time", "Replica", "Inherited ACL",
         "Received Up To", "Synchronized Up To", "Partition Control"}),
      C("Bindery Object", EFF, {"Top"}, in_org, {"CN", "Bindery Type"},
        {"Bindery Object Restriction", "Bindery Type", "CN"}, {}),
      C("Unknown", CONT | EFF, {"Top"},
        {"Tree Root", "Country", "Locality", "Organization", "Organizational Unit"}, {}, {},
        {"Unknown Base Class"}),
  };
}

}  // namespace

const SyntaxDef* syntax(uint32_t id) { return id < kSyntaxCount ? &kSyntaxes[id] : nullptr; }

const SyntaxDef* syntax_by_name(std::string_view name) {
  const std::string key = fold_case(name);
  for (const SyntaxDef& s : kSyntaxes)
    if (fold_case(s.name) == key) return &s;
  return nullptr;
}

const std::vector<AttrDef>& base_attributes() {
  static const std::vector<AttrDef> attrs = make_attributes();
  return attrs;
}

const std::vector<ClassDef>& base_classes() {
  static const std::vector<ClassDef> classes = make_classes();
  return classes;
}

const Schema& Schema::base() {
  static const Schema s(base_attributes(), base_classes());
  return s;
}

}  // namespace nwc
