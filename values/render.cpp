// Value text writer: one small routine per layout, all appending to the
// caller's string.  Numbers are formatted by hand (decimal for %lu/%u,
// capital hexadecimal for octet and address bytes, 0x + small hexadecimal
// for typed-name numbers) so no fixed-size line area is involved.
#include "values/render.h"

#include <cstddef>
#include <cstring>

#include "nwclient.h"
#include "values/rights.h"

namespace vorla {

namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

void EndLine(std::string& out) { out.push_back('\n'); }

void TextLine(std::string& out, const char* text) {
  if (text != nullptr) out.append(text);
  EndLine(out);
}

// "%lu" / "%u" of a 32-bit value.
void DecimalLine(std::string& out, uint32_t v) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) out.push_back(digits[--n]);
  EndLine(out);
}

// Hexadecimal without leading zeros (at least one digit).
void AppendHex(std::string& out, uint32_t v, const char* alphabet) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = alphabet[v & 0xF];
    v >>= 4;
  } while (v != 0);
  while (n > 0) out.push_back(digits[--n]);
}

// "0x%x"
void TypedNumberLine(std::string& out, uint32_t v) {
  out.append("0x");
  AppendHex(out, v, kLowerHex);
  EndLine(out);
}

// The ten-byte address form "%02X%02X%02X%02X:%02X%02X%02X%02X%02X%02X";
// bytes the address does not have are written as 00.
void AddressBytesLine(std::string& out, const Net_Address_T& address) {
  const nuint8* bytes = address.address;
  const uint32_t owned = bytes != nullptr ? address.addressLength : 0;
  for (uint32_t i = 0; i < 10; ++i) {
    if (i == 4) out.push_back(':');
    const unsigned b = i < owned ? bytes[i] : 0;
    out.push_back(kUpperHex[b >> 4]);
    out.push_back(kUpperHex[b & 0xF]);
  }
  EndLine(out);
}

// The addresses that follow the count inside a replica pointer record.
const Net_Address_T* ReplicaAddresses(const Replica_Pointer_T* r) {
  return reinterpret_cast<const Net_Address_T*>(reinterpret_cast<const char*>(r) +
                                                offsetof(Replica_Pointer_T, replicaAddressHint));
}

void RenderList(const CI_List_T* node, std::string& out) {
  for (; node != nullptr; node = node->next) TextLine(out, node->s);
}

void RenderOctetString(const Octet_String_T* v, std::string& out) {
  DecimalLine(out, v->length);
  if (v->data == nullptr) return;
  const std::size_t listed = v->length < kListedOctetLimit ? v->length : kListedOctetLimit;
  out.reserve(out.size() + listed * 3);
  for (std::size_t i = 0; i < listed; ++i) {
    AppendHex(out, v->data[i], kUpperHex);
    EndLine(out);
  }
}

void RenderNetAddress(const Net_Address_T* v, std::string& out) {
  DecimalLine(out, v->addressType);
  DecimalLine(out, v->addressLength);
  AddressBytesLine(out, *v);
}

void RenderReplicaPointer(const Replica_Pointer_T* v, std::string& out) {
  TextLine(out, v->serverName);
  DecimalLine(out, static_cast<uint32_t>(v->replicaType));
  DecimalLine(out, static_cast<uint32_t>(v->replicaNumber));
  DecimalLine(out, v->count);
  const Net_Address_T* addresses = ReplicaAddresses(v);
  out.reserve(out.size() + static_cast<std::size_t>(v->count) * 34);
  for (uint32_t i = 0; i < v->count; ++i) {
    DecimalLine(out, addresses[i].addressType);
    AddressBytesLine(out, addresses[i]);
  }
}

void RenderObjectAcl(const Object_ACL_T* v, std::string& out) {
  TextLine(out, v->protectedAttrName);
  RightsToLetters(v->protectedAttrName, v->privileges, out);
  EndLine(out);
  TextLine(out, v->subjectName);
}

void RenderTimestamp(const NWDS_TimeStamp_T* v, std::string& out) {
  DecimalLine(out, v->wholeSeconds);
  DecimalLine(out, static_cast<uint32_t>(v->replicaNum) + 65536u * v->eventID);
}

}  // namespace

void RenderAttrValue(const void* value, uint32_t syntaxId, std::string& out) {
  if (value == nullptr) return;
  switch (syntaxId) {
    case SYN_CI_LIST:
      RenderList(static_cast<const CI_List_T*>(value), out);
      break;
    case SYN_OCTET_STRING:
      RenderOctetString(static_cast<const Octet_String_T*>(value), out);
      break;
    case SYN_FAX_NUMBER:
      TextLine(out, static_cast<const Fax_Number_T*>(value)->telephoneNumber);
      break;
    case SYN_NET_ADDRESS:
      RenderNetAddress(static_cast<const Net_Address_T*>(value), out);
      break;
    case SYN_EMAIL_ADDRESS: {
      const auto* v = static_cast<const EMail_Address_T*>(value);
      DecimalLine(out, v->type);
      TextLine(out, v->address);
      break;
    }
    case SYN_PATH: {
      const auto* v = static_cast<const Path_T*>(value);
      DecimalLine(out, v->nameSpaceType);
      TextLine(out, v->volumeName);
      TextLine(out, v->path);
      break;
    }
    case SYN_REPLICA_POINTER:
      RenderReplicaPointer(static_cast<const Replica_Pointer_T*>(value), out);
      break;
    case SYN_OBJECT_ACL:
      RenderObjectAcl(static_cast<const Object_ACL_T*>(value), out);
      break;
    case SYN_PO_ADDRESS: {
      const pnstr8* lines = static_cast<const pnstr8*>(value);
      for (int i = 0; i < 6; ++i) TextLine(out, lines[i]);
      break;
    }
    case SYN_TIMESTAMP:
      RenderTimestamp(static_cast<const NWDS_TimeStamp_T*>(value), out);
      break;
    case SYN_BACK_LINK: {
      const auto* v = static_cast<const Back_Link_T*>(value);
      DecimalLine(out, v->remoteID);
      TextLine(out, v->objectName);
      break;
    }
    case SYN_TYPED_NAME: {
      const auto* v = static_cast<const Typed_Name_T*>(value);
      TextLine(out, v->objectName);
      TypedNumberLine(out, v->level);
      TypedNumberLine(out, v->interval);
      break;
    }
    case SYN_HOLD: {
      const auto* v = static_cast<const Hold_T*>(value);
      TextLine(out, v->objectName);
      DecimalLine(out, v->amount);
      break;
    }
    default:
      // SYN_UNKNOWN, SYN_OCTET_LIST and SYN_STREAM have the empty text;
      // ids of the other classes are not rendered here.
      break;
  }
}

}  // namespace vorla
