// Value text reader: a line splitter over the caller's text, scanners for the
// number forms of the layouts, and one routine per layout.  Each routine
// builds its record through a Parsed holder, which releases everything taken
// so far unless the routine succeeds; records are zero-filled and linked
// before they are filled, so a half-built value is always safe to release.
#include "values/parse.h"

#include <cstdlib>
#include <cstring>

#include "nwclient.h"
#include "values/rights.h"

namespace vorla {

namespace {

// Given to text fields whose line is missing; never written through.
char kEmptyText[1] = {'\0'};

// Cuts [begin, end) into lines the way successive tokenising calls with the
// single delimiter line feed do, one line per Next().
class LineReader {
 public:
  LineReader(char* begin, char* end) : pos_(begin), end_(end) {}

  // The next line as a zero-terminated text (its ending line feed overwritten
  // by a zero byte), or nullptr when no line is left.
  char* Next() {
    while (pos_ < end_ && *pos_ == '\n') ++pos_;
    if (pos_ == end_) return nullptr;
    char* line = pos_;
    auto* lf = static_cast<char*>(std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
    if (lf != nullptr) {
      *lf = '\0';
      pos_ = lf + 1;
    } else {
      pos_ = end_;
    }
    return line;
  }

  // How many lines Next() would still give; the text is not touched.
  std::size_t Remaining() const {
    std::size_t lines = 0;
    bool inLine = false;
    for (const char* p = pos_; p < end_; ++p) {
      const bool lf = *p == '\n';
      if (!lf && !inLine) ++lines;
      inLine = !lf;
    }
    return lines;
  }

 private:
  char* pos_;
  char* end_;
};

// ---- numbers ---------------------------------------------------------------
// A number is read from the start of its line; text after it is ignored.
// Values wider than 32 bits keep their low 32 bits.

enum class NumberForm {
  Decimal,      // "%lu", "%u": blanks, optional sign, decimal digits
  Hex,          // "%X": blanks, optional sign, optional 0x, hexadecimal digits
  PrefixedHex,  // "0x%x": 0x (or 0X), then hexadecimal digits
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasHexPrefix(const char* s) { return s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

bool ScanNumber(const char* s, NumberForm form, uint32_t& value) {
  bool negative = false;
  if (form == NumberForm::PrefixedHex) {
    if (!HasHexPrefix(s)) return false;
    s += 2;
  } else {
    // Like the conversions of the scanning functions: blanks, then an optional
    // sign (a minus negates modulo 2^32), then for %X an optional 0x.
    while (IsBlank(*s)) ++s;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    if (form == NumberForm::Hex && HasHexPrefix(s) && HexValue(s[2]) >= 0) s += 2;
  }
  uint32_t v = 0;
  if (form == NumberForm::Decimal) {
    if (*s < '0' || *s > '9') return false;
    for (; *s >= '0' && *s <= '9'; ++s) v = v * 10u + static_cast<uint32_t>(*s - '0');
  } else {
    if (HexValue(*s) < 0) return false;
    for (int d; (d = HexValue(*s)) >= 0; ++s) v = (v << 4) | static_cast<uint32_t>(d);
  }
  value = negative ? 0u - v : v;
  return true;
}

// The ten-byte address form "XXXXXXXX:XXXXXXXXXXXX", each byte one or two
// hexadecimal digits.  Bytes after a mismatch stay 0; a line that does not
// even give the first byte is refused.  A missing line gives ten zero bytes.
bool ScanAddressBytes(const char* line, nuint8 (&bytes)[10]) {
  std::memset(bytes, 0, sizeof bytes);
  if (line == nullptr) return true;
  const char* s = line;
  while (IsBlank(*s)) ++s;
  for (int i = 0; i < 10; ++i) {
    if (i == 4) {
      if (*s != ':') break;
      ++s;
    }
    const int hi = HexValue(*s);
    if (hi < 0) {
      if (i == 0) return false;
      break;
    }
    ++s;
    int b = hi;
    const int lo = HexValue(*s);
    if (lo >= 0) {
      b = (hi << 4) | lo;
      ++s;
    }
    bytes[i] = static_cast<nuint8>(b);
  }
  return true;
}

// ---- fields -----------------------------------------------------------------

char* TextField(LineReader& lines) {
  char* line = lines.Next();
  return line != nullptr ? line : kEmptyText;
}

// A missing line gives 0; a line that does not scan is a refusal.
bool NumberField(LineReader& lines, NumberForm form, uint32_t& value) {
  const char* line = lines.Next();
  if (line == nullptr) {
    value = 0;
    return true;
  }
  return ScanNumber(line, form, value);
}

Net_Address_T* ReplicaAddresses(Replica_Pointer_T* r) {
  return reinterpret_cast<Net_Address_T*>(reinterpret_cast<char*>(r) +
                                          offsetof(Replica_Pointer_T, replicaAddressHint));
}

// Owns the record under construction until Release(); releases it (with all
// blocks already hung on it) otherwise.
class Parsed {
 public:
  explicit Parsed(uint32_t syntaxId) : syntaxId_(syntaxId) {}
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;
  ~Parsed() { FreeParsedValue(value_, syntaxId_); }

  // The zero-filled record of the given size (default: sizeof(T)).
  template <typename T>
  T* Make(std::size_t bytes = sizeof(T)) {
    value_ = std::calloc(1, bytes);
    return static_cast<T*>(value_);
  }

  void* Release() {
    void* v = value_;
    value_ = nullptr;
    return v;
  }

 private:
  uint32_t syntaxId_;
  void* value_ = nullptr;
};

// ---- layouts -----------------------------------------------------------------

bool ParseList(LineReader& lines, Parsed& parsed) {
  auto* head = parsed.Make<CI_List_T>();
  if (head == nullptr) return false;
  head->s = TextField(lines);
  CI_List_T* tail = head;
  while (char* line = lines.Next()) {
    auto* node = static_cast<CI_List_T*>(std::calloc(1, sizeof(CI_List_T)));
    if (node == nullptr) return false;
    node->s = line;
    tail->next = node;
    tail = node;
  }
  return true;
}

// A stated length is taken at its word only up to this many bytes: no value the
// client can carry comes near it, and a two-line text must not make the reader
// allocate gigabytes.
constexpr uint32_t kMaxStatedBytes = 16u << 20;

bool ParseOctetString(LineReader& lines, Parsed& parsed) {
  uint32_t length = 0;
  if (!NumberField(lines, NumberForm::Decimal, length) || length > kMaxStatedBytes) return false;
  auto* v = parsed.Make<Octet_String_T>();
  if (v == nullptr) return false;
  v->length = length;
  if (length == 0) return true;
  v->data = static_cast<nuint8*>(std::calloc(length, 1));
  if (v->data == nullptr) return false;
  for (uint32_t i = 0; i < length; ++i) {
    const char* line = lines.Next();
    if (line == nullptr) break;
    uint32_t byte = 0;
    if (!ScanNumber(line, NumberForm::Hex, byte)) return false;
    v->data[i] = static_cast<nuint8>(byte & 0xFF);
  }
  return true;
}

bool ParseFaxNumber(LineReader& lines, Parsed& parsed) {
  auto* v = parsed.Make<Fax_Number_T>();
  if (v == nullptr) return false;
  v->telephoneNumber = TextField(lines);
  v->parameters.numOfBits = 0;
  v->parameters.data = nullptr;
  return true;
}

bool ParseNetAddress(LineReader& lines, Parsed& parsed) {
  uint32_t type = 0;
  uint32_t length = 0;
  nuint8 bytes[10];
  if (!NumberField(lines, NumberForm::Decimal, type) ||
      !NumberField(lines, NumberForm::Decimal, length) ||
      !ScanAddressBytes(lines.Next(), bytes) || length > kMaxStatedBytes) {
    return false;
  }
  auto* v = parsed.Make<Net_Address_T>();
  if (v == nullptr) return false;
  v->addressType = type;
  v->addressLength = length;
  if (length == 0) return true;
  v->address = static_cast<nuint8*>(std::calloc(length, 1));
  if (v->address == nullptr) return false;
  std::memcpy(v->address, bytes, length < 10 ? length : 10);
  return true;
}

bool ParseEmailAddress(LineReader& lines, Parsed& parsed) {
  uint32_t type = 0;
  if (!NumberField(lines, NumberForm::Decimal, type)) return false;
  auto* v = parsed.Make<EMail_Address_T>();
  if (v == nullptr) return false;
  v->type = type;
  v->address = TextField(lines);
  return true;
}

bool ParsePath(LineReader& lines, Parsed& parsed) {
  uint32_t type = 0;
  if (!NumberField(lines, NumberForm::Decimal, type)) return false;
  auto* v = parsed.Make<Path_T>();
  if (v == nullptr) return false;
  v->nameSpaceType = type;
  v->volumeName = TextField(lines);
  v->path = TextField(lines);
  return true;
}

// Header lines, then per address a type line and a ten-byte line.  The count
// must be backed by two lines per address, which also bounds the record size
// by the length of the text.
bool ParseReplicaPointer(LineReader& lines, Parsed& parsed) {
  char* server = TextField(lines);
  uint32_t type = 0;
  uint32_t number = 0;
  uint32_t count = 0;
  if (!NumberField(lines, NumberForm::Decimal, type) ||
      !NumberField(lines, NumberForm::Decimal, number) ||
      !NumberField(lines, NumberForm::Decimal, count)) {
    return false;
  }
  if (count > lines.Remaining() / 2) return false;
  const std::size_t slots = count > 0 ? count : 1;
  auto* v = parsed.Make<Replica_Pointer_T>(offsetof(Replica_Pointer_T, replicaAddressHint) +
                                           slots * sizeof(Net_Address_T));
  if (v == nullptr) return false;
  v->serverName = server;
  v->replicaType = static_cast<nint32>(type);
  v->replicaNumber = static_cast<nint32>(number);
  v->count = count;
  Net_Address_T* addresses = ReplicaAddresses(v);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t addressType = 0;
    nuint8 bytes[10];
    if (!NumberField(lines, NumberForm::Decimal, addressType) ||
        !ScanAddressBytes(lines.Next(), bytes)) {
      return false;
    }
    Net_Address_T& a = addresses[i];
    a.addressType = addressType;
    a.address = static_cast<nuint8*>(std::calloc(sizeof bytes, 1));
    if (a.address == nullptr) return false;
    a.addressLength = sizeof bytes;
    std::memcpy(a.address, bytes, sizeof bytes);
  }
  return true;
}

bool ParseObjectAcl(LineReader& lines, Parsed& parsed) {
  auto* v = parsed.Make<Object_ACL_T>();
  if (v == nullptr) return false;
  v->protectedAttrName = TextField(lines);
  const char* letters = TextField(lines);
  v->subjectName = TextField(lines);
  v->privileges = LettersToRights(v->protectedAttrName, letters);
  return true;
}

bool ParsePostalAddress(LineReader& lines, Parsed& parsed) {
  auto* v = parsed.Make<pnstr8>(sizeof(Postal_Address_T));
  if (v == nullptr) return false;
  for (int i = 0; i < 6; ++i) v[i] = TextField(lines);
  return true;
}

bool ParseTimestamp(LineReader& lines, Parsed& parsed) {
  uint32_t seconds = 0;
  uint32_t word = 0;
  if (!NumberField(lines, NumberForm::Decimal, seconds) ||
      !NumberField(lines, NumberForm::Decimal, word)) {
    return false;
  }
  auto* v = parsed.Make<NWDS_TimeStamp_T>();
  if (v == nullptr) return false;
  v->wholeSeconds = seconds;
  v->replicaNum = static_cast<nuint16>(word & 0xFFFF);
  v->eventID = static_cast<nuint16>(word >> 16);
  return true;
}

bool ParseBackLink(LineReader& lines, Parsed& parsed) {
  uint32_t remoteId = 0;
  if (!NumberField(lines, NumberForm::Decimal, remoteId)) return false;
  auto* v = parsed.Make<Back_Link_T>();
  if (v == nullptr) return false;
  v->remoteID = remoteId;
  v->objectName = TextField(lines);
  return true;
}

bool ParseTypedName(LineReader& lines, Parsed& parsed) {
  char* name = TextField(lines);
  uint32_t level = 0;
  uint32_t interval = 0;
  if (!NumberField(lines, NumberForm::PrefixedHex, level) ||
      !NumberField(lines, NumberForm::PrefixedHex, interval)) {
    return false;
  }
  auto* v = parsed.Make<Typed_Name_T>();
  if (v == nullptr) return false;
  v->objectName = name;
  v->level = level;
  v->interval = interval;
  return true;
}

bool ParseHold(LineReader& lines, Parsed& parsed) {
  char* name = TextField(lines);
  uint32_t amount = 0;
  if (!NumberField(lines, NumberForm::Decimal, amount)) return false;
  auto* v = parsed.Make<Hold_T>();
  if (v == nullptr) return false;
  v->objectName = name;
  v->amount = amount;
  return true;
}

// No octet list is carried by the text (the writer gives the empty text for
// every one), so any text reads as the list without octet strings: a single
// zero-filled node, length 0 and null data.  The text is not split.
bool ParseOctetList(Parsed& parsed) { return parsed.Make<Octet_List_T>() != nullptr; }

}  // namespace

void* ParseAttrValue(char* text, std::size_t len, uint32_t syntaxId) {
  if (text == nullptr) {
    text = kEmptyText;
    len = 0;
  }
  // The text ends at len or at its first zero byte, whichever comes first.
  auto* zero = static_cast<char*>(std::memchr(text, '\0', len));
  LineReader lines(text, zero != nullptr ? zero : text + len);
  Parsed parsed(syntaxId);
  bool ok = false;
  switch (syntaxId) {
    case SYN_CI_LIST: ok = ParseList(lines, parsed); break;
    case SYN_OCTET_STRING: ok = ParseOctetString(lines, parsed); break;
    case SYN_FAX_NUMBER: ok = ParseFaxNumber(lines, parsed); break;
    case SYN_NET_ADDRESS: ok = ParseNetAddress(lines, parsed); break;
    case SYN_OCTET_LIST: ok = ParseOctetList(parsed); break;
    case SYN_EMAIL_ADDRESS: ok = ParseEmailAddress(lines, parsed); break;
    case SYN_PATH: ok = ParsePath(lines, parsed); break;
    case SYN_REPLICA_POINTER: ok = ParseReplicaPointer(lines, parsed); break;
    case SYN_OBJECT_ACL: ok = ParseObjectAcl(lines, parsed); break;
    case SYN_PO_ADDRESS: ok = ParsePostalAddress(lines, parsed); break;
    case SYN_TIMESTAMP: ok = ParseTimestamp(lines, parsed); break;
    case SYN_BACK_LINK: ok = ParseBackLink(lines, parsed); break;
    case SYN_TYPED_NAME: ok = ParseTypedName(lines, parsed); break;
    case SYN_HOLD: ok = ParseHold(lines, parsed); break;
    default: break;  // SYN_UNKNOWN and ids without a layout
  }
  return ok ? parsed.Release() : nullptr;
}

void* ParseAttrValue(char* text, uint32_t syntaxId) {
  return ParseAttrValue(text, text != nullptr ? std::strlen(text) : 0, syntaxId);
}

void FreeParsedValue(void* value, uint32_t syntaxId) noexcept {
  if (value == nullptr) return;
  switch (syntaxId) {
    case SYN_CI_LIST: {
      CI_List_T* node = static_cast<CI_List_T*>(value)->next;
      while (node != nullptr) {
        CI_List_T* next = node->next;
        std::free(node);
        node = next;
      }
      break;
    }
    case SYN_OCTET_LIST: {
      Octet_List_T* node = static_cast<Octet_List_T*>(value)->next;
      while (node != nullptr) {
        Octet_List_T* next = node->next;
        std::free(node);
        node = next;
      }
      break;
    }
    case SYN_OCTET_STRING:
      std::free(static_cast<Octet_String_T*>(value)->data);
      break;
    case SYN_NET_ADDRESS:
      std::free(static_cast<Net_Address_T*>(value)->address);
      break;
    case SYN_REPLICA_POINTER: {
      auto* v = static_cast<Replica_Pointer_T*>(value);
      Net_Address_T* addresses = ReplicaAddresses(v);
      for (uint32_t i = 0; i < v->count; ++i) std::free(addresses[i].address);
      break;
    }
    default:
      break;
  }
  std::free(value);
}

}  // namespace vorla
