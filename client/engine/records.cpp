/*
 * records.cpp - native value records to and from Values (see records.h).
 *
 * One routine, lay_out(), both measures and writes a block: with a null base
 * it only advances its offset, so the size it reports and the block it writes
 * can never disagree.
 */
#include "records.h"

#include <cstring>
#include <string>

namespace nwc {

namespace {

std::string text_of(const char *s) { return s != nullptr ? std::string(s) : std::string(); }

NWDSCCODE bytes_of(const nuint8 *data, nuint32 length, std::string &out) {
  if (length == 0) {
    out.clear();
    return 0;
  }
  if (data == nullptr) return ERR_SYNTAX_VIOLATION;
  out.assign(reinterpret_cast<const char *>(data), length);
  return 0;
}

/* Places things in a block; with a null base it only measures. */
class Block {
public:
  explicit Block(char *base) : base_(base) {}

  size_t take(size_t n, size_t align) {
    off_ = (off_ + align - 1) / align * align;
    size_t at = off_;
    off_ += n;
    return at;
  }
  template <class T> void put(size_t at, const T &rec) {
    if (base_ != nullptr) std::memcpy(base_ + at, &rec, sizeof rec);
  }
  char *ptr(size_t at) { return base_ != nullptr ? base_ + at : nullptr; }
  /* A copy of `s` with its zero byte. */
  char *text(const std::string &s) {
    size_t at = take(s.size() + 1, 1);
    if (base_ != nullptr) std::memcpy(base_ + at, s.c_str(), s.size() + 1);
    return ptr(at);
  }
  /* A copy of the bytes of `b`; `empty_null` gives null for no bytes. */
  nuint8 *bytes(const std::string &b, bool empty_null) {
    if (b.empty() && empty_null) return nullptr;
    size_t at = take(b.size(), 1);
    if (base_ != nullptr && !b.empty()) std::memcpy(base_ + at, b.data(), b.size());
    return reinterpret_cast<nuint8 *>(ptr(at));
  }
  size_t size() const { return off_; }

private:
  char *base_;
  size_t off_ = 0;
};

constexpr size_t kAlign = alignof(void *);

const std::string &at_or_empty(const std::vector<std::string> &v, size_t i) {
  static const std::string empty;
  return i < v.size() ? v[i] : empty;
}
nuint32 num_or_zero(const std::vector<uint32_t> &v, size_t i) { return i < v.size() ? v[i] : 0; }

size_t lay_out(const Value &v, char *base) {
  Block b(base);
  const auto &t = v.texts;
  const auto &n = v.nums;
  const auto &bl = v.blobs;
  if (is_integer_record(v.syntax)) {
    nint32 x = static_cast<nint32>(num_or_zero(n, 0));
    b.put(b.take(sizeof x, 4), x);
    return b.size();
  }
  if (is_text_record(v.syntax)) {
    b.text(at_or_empty(t, 0));
    return b.size();
  }
  switch (v.syntax) {
  case SYN_UNKNOWN:
  case SYN_OCTET_STRING: {
    size_t at = b.take(sizeof(Octet_String_T), kAlign);
    Octet_String_T r{};
    r.length = static_cast<nuint32>(at_or_empty(bl, 0).size());
    r.data = b.bytes(at_or_empty(bl, 0), true);
    b.put(at, r);
    break;
  }
  case SYN_CI_LIST: {
    size_t nodes = t.empty() ? 1 : t.size();
    size_t at = b.take(nodes * sizeof(CI_List_T), kAlign);
    for (size_t i = 0; i < nodes; ++i) {
      CI_List_T r{};
      r.next = i + 1 < nodes ? reinterpret_cast<CI_List_T *>(b.ptr(at + (i + 1) * sizeof(CI_List_T)))
                             : nullptr;
      r.s = b.text(at_or_empty(t, i));
      b.put(at + i * sizeof(CI_List_T), r);
    }
    break;
  }
  case SYN_OCTET_LIST: {
    size_t nodes = bl.empty() ? 1 : bl.size();
    size_t at = b.take(nodes * sizeof(Octet_List_T), kAlign);
    for (size_t i = 0; i < nodes; ++i) {
      Octet_List_T r{};
      r.next = i + 1 < nodes
                   ? reinterpret_cast<Octet_List_T *>(b.ptr(at + (i + 1) * sizeof(Octet_List_T)))
                   : nullptr;
      r.length = static_cast<nuint32>(at_or_empty(bl, i).size());
      r.data = b.bytes(at_or_empty(bl, i), bl.empty()); /* the empty list: null data */
      b.put(at + i * sizeof(Octet_List_T), r);
    }
    break;
  }
  case SYN_FAX_NUMBER: {
    size_t at = b.take(sizeof(Fax_Number_T), kAlign);
    Fax_Number_T r{};
    r.telephoneNumber = b.text(at_or_empty(t, 0));
    r.parameters.numOfBits = num_or_zero(n, 0);
    r.parameters.data = b.bytes(at_or_empty(bl, 0), true);
    b.put(at, r);
    break;
  }
  case SYN_NET_ADDRESS: {
    size_t at = b.take(sizeof(Net_Address_T), kAlign);
    Net_Address_T r{};
    r.addressType = num_or_zero(n, 0);
    r.addressLength = static_cast<nuint32>(at_or_empty(bl, 0).size());
    r.address = b.bytes(at_or_empty(bl, 0), true);
    b.put(at, r);
    break;
  }
  case SYN_EMAIL_ADDRESS: {
    size_t at = b.take(sizeof(EMail_Address_T), kAlign);
    EMail_Address_T r{};
    r.type = num_or_zero(n, 0);
    r.address = b.text(at_or_empty(t, 0));
    b.put(at, r);
    break;
  }
  case SYN_PATH: {
    size_t at = b.take(sizeof(Path_T), kAlign);
    Path_T r{};
    r.nameSpaceType = num_or_zero(n, 0);
    r.volumeName = b.text(at_or_empty(t, 0));
    r.path = b.text(at_or_empty(t, 1));
    b.put(at, r);
    break;
  }
  case SYN_REPLICA_POINTER: {
    const size_t count = bl.size();
    const size_t head = offsetof(Replica_Pointer_T, replicaAddressHint);
    size_t whole = head + (count > 0 ? count : 1) * sizeof(Net_Address_T);
    if (whole < sizeof(Replica_Pointer_T)) whole = sizeof(Replica_Pointer_T);
    size_t at = b.take(whole, kAlign);
    Replica_Pointer_T r{};
    r.serverName = b.text(at_or_empty(t, 0));
    r.replicaType = static_cast<nint32>(num_or_zero(n, 0));
    r.replicaNumber = static_cast<nint32>(num_or_zero(n, 1));
    r.count = static_cast<nuint32>(count);
    /* The head without the first inline address, which is written below. */
    if (base != nullptr) std::memcpy(base + at, &r, head);
    for (size_t i = 0; i < count; ++i) {
      Net_Address_T a{};
      a.addressType = num_or_zero(n, 2 + i);
      a.addressLength = static_cast<nuint32>(bl[i].size());
      a.address = b.bytes(bl[i], true);
      b.put(at + head + i * sizeof(Net_Address_T), a);
    }
    if (count == 0) b.put(at + head, Net_Address_T{});
    break;
  }
  case SYN_OBJECT_ACL: {
    size_t at = b.take(sizeof(Object_ACL_T), kAlign);
    Object_ACL_T r{};
    r.protectedAttrName = b.text(at_or_empty(t, 0));
    r.subjectName = b.text(at_or_empty(t, 1));
    r.privileges = num_or_zero(n, 0);
    b.put(at, r);
    break;
  }
  case SYN_PO_ADDRESS: {
    size_t at = b.take(sizeof(Postal_Address_T), kAlign);
    Postal_Address_T r{};
    for (size_t i = 0; i < 6; ++i) r[i] = b.text(at_or_empty(t, i));
    if (base != nullptr) std::memcpy(base + at, r, sizeof r);
    break;
  }
  case SYN_TIMESTAMP: {
    size_t at = b.take(sizeof(NWDS_TimeStamp_T), 4);
    NWDS_TimeStamp_T r{};
    r.wholeSeconds = num_or_zero(n, 0);
    r.replicaNum = static_cast<nuint16>(num_or_zero(n, 1));
    r.eventID = static_cast<nuint16>(num_or_zero(n, 2));
    b.put(at, r);
    break;
  }
  case SYN_BACK_LINK: {
    size_t at = b.take(sizeof(Back_Link_T), kAlign);
    Back_Link_T r{};
    r.remoteID = num_or_zero(n, 0);
    r.objectName = b.text(at_or_empty(t, 0));
    b.put(at, r);
    break;
  }
  case SYN_TYPED_NAME: {
    size_t at = b.take(sizeof(Typed_Name_T), kAlign);
    Typed_Name_T r{};
    r.objectName = b.text(at_or_empty(t, 0));
    r.level = num_or_zero(n, 0);
    r.interval = num_or_zero(n, 1);
    b.put(at, r);
    break;
  }
  case SYN_HOLD: {
    size_t at = b.take(sizeof(Hold_T), kAlign);
    Hold_T r{};
    r.objectName = b.text(at_or_empty(t, 0));
    r.amount = num_or_zero(n, 0);
    b.put(at, r);
    break;
  }
  default: /* SYN_STREAM: no value of its own */
    break;
  }
  return b.size();
}

} // namespace

bool is_integer_record(nuint32 syntax) {
  switch (syntax) {
  case SYN_BOOLEAN: case SYN_INTEGER: case SYN_COUNTER: case SYN_TIME: case SYN_INTERVAL:
    return true;
  default:
    return false;
  }
}

bool is_text_record(nuint32 syntax) {
  switch (syntax) {
  case SYN_DIST_NAME: case SYN_CE_STRING: case SYN_CI_STRING: case SYN_PR_STRING:
  case SYN_NU_STRING: case SYN_TEL_NUMBER: case SYN_CLASS_NAME:
    return true;
  default:
    return false;
  }
}

NWDSCCODE record_to_value(nuint32 syntax, const void *rec, Value &out) {
  if (syntax >= kSyntaxCount) return ERR_NO_SUCH_SYNTAX;
  out = Value{};
  out.syntax = syntax;
  if (syntax == SYN_STREAM) return 0;
  if (rec == nullptr) return ERR_NULL_POINTER;
  if (is_integer_record(syntax)) {
    nint32 x;
    std::memcpy(&x, rec, sizeof x);
    out.nums.push_back(static_cast<uint32_t>(x));
    return 0;
  }
  if (is_text_record(syntax)) {
    out.texts.push_back(static_cast<const char *>(rec));
    return 0;
  }
  switch (syntax) {
  case SYN_UNKNOWN:
  case SYN_OCTET_STRING: {
    auto *r = static_cast<const Octet_String_T *>(rec);
    std::string b;
    if (NWDSCCODE st = bytes_of(r->data, r->length, b)) return st;
    out.blobs.push_back(std::move(b));
    return 0;
  }
  case SYN_CI_LIST: {
    auto *r = static_cast<const CI_List_T *>(rec);
    if (r->next == nullptr && (r->s == nullptr || *r->s == '\0')) return 0; /* no items */
    size_t guard = 0;
    for (; r != nullptr; r = r->next) {
      if (++guard > 65536) return ERR_SYNTAX_VIOLATION; /* a cycle, or far too long */
      out.texts.push_back(text_of(r->s));
    }
    return 0;
  }
  case SYN_OCTET_LIST: {
    auto *r = static_cast<const Octet_List_T *>(rec);
    if (r->next == nullptr && r->length == 0 && r->data == nullptr) return 0; /* no items */
    size_t guard = 0;
    for (; r != nullptr; r = r->next) {
      if (++guard > 65536) return ERR_SYNTAX_VIOLATION;
      std::string b;
      if (NWDSCCODE st = bytes_of(r->data, r->length, b)) return st;
      out.blobs.push_back(std::move(b));
    }
    return 0;
  }
  case SYN_FAX_NUMBER: {
    auto *r = static_cast<const Fax_Number_T *>(rec);
    out.texts.push_back(text_of(r->telephoneNumber));
    const nuint32 bits = r->parameters.numOfBits;
    std::string b;
    if (bits > 0xFFFFu * 8) return ERR_SYNTAX_VIOLATION;
    if (NWDSCCODE st = bytes_of(r->parameters.data, (bits + 7) / 8, b)) return st;
    out.nums.push_back(bits);
    out.blobs.push_back(std::move(b));
    return 0;
  }
  case SYN_NET_ADDRESS: {
    auto *r = static_cast<const Net_Address_T *>(rec);
    std::string b;
    if (NWDSCCODE st = bytes_of(r->address, r->addressLength, b)) return st;
    out.nums.push_back(r->addressType);
    out.blobs.push_back(std::move(b));
    return 0;
  }
  case SYN_EMAIL_ADDRESS: {
    auto *r = static_cast<const EMail_Address_T *>(rec);
    out.texts.push_back(text_of(r->address));
    out.nums.push_back(r->type);
    return 0;
  }
  case SYN_PATH: {
    auto *r = static_cast<const Path_T *>(rec);
    out.texts = {text_of(r->volumeName), text_of(r->path)};
    out.nums.push_back(r->nameSpaceType);
    return 0;
  }
  case SYN_REPLICA_POINTER: {
    auto *r = static_cast<const Replica_Pointer_T *>(rec);
    if (r->count > 4096) return ERR_SYNTAX_VIOLATION;
    out.texts.push_back(text_of(r->serverName));
    out.nums = {static_cast<uint32_t>(r->replicaType), static_cast<uint32_t>(r->replicaNumber)};
    auto *addrs = reinterpret_cast<const Net_Address_T *>(
        reinterpret_cast<const char *>(r) + offsetof(Replica_Pointer_T, replicaAddressHint));
    for (nuint32 i = 0; i < r->count; ++i) {
      std::string b;
      if (NWDSCCODE st = bytes_of(addrs[i].address, addrs[i].addressLength, b)) return st;
      out.nums.push_back(addrs[i].addressType);
      out.blobs.push_back(std::move(b));
    }
    return 0;
  }
  case SYN_OBJECT_ACL: {
    auto *r = static_cast<const Object_ACL_T *>(rec);
    out.texts = {text_of(r->protectedAttrName), text_of(r->subjectName)};
    out.nums.push_back(r->privileges);
    return 0;
  }
  case SYN_PO_ADDRESS: {
    auto *r = static_cast<const pnstr8 *>(rec);
    for (size_t i = 0; i < 6; ++i) out.texts.push_back(text_of(r[i]));
    return 0;
  }
  case SYN_TIMESTAMP: {
    auto *r = static_cast<const NWDS_TimeStamp_T *>(rec);
    out.nums = {r->wholeSeconds, r->replicaNum, r->eventID};
    return 0;
  }
  case SYN_BACK_LINK: {
    auto *r = static_cast<const Back_Link_T *>(rec);
    out.texts.push_back(text_of(r->objectName));
    out.nums.push_back(r->remoteID);
    return 0;
  }
  case SYN_TYPED_NAME: {
    auto *r = static_cast<const Typed_Name_T *>(rec);
    out.texts.push_back(text_of(r->objectName));
    out.nums = {r->level, r->interval};
    return 0;
  }
  case SYN_HOLD: {
    auto *r = static_cast<const Hold_T *>(rec);
    out.texts.push_back(text_of(r->objectName));
    out.nums.push_back(r->amount);
    return 0;
  }
  default:
    return ERR_NO_SUCH_SYNTAX;
  }
}

size_t record_size(const Value &v) { return lay_out(v, nullptr); }

void value_to_record(const Value &v, void *dst) { lay_out(v, static_cast<char *>(dst)); }

} // namespace nwc
