// Randomized round trip: native records of every syntax whose text carries the
// whole value are rendered, read back and compared field by field.  Fixed
// seed; text fields are non-empty and free of line feeds and zero bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/values_records.h"

namespace {

using vorla::testing::AddressesOf;
using vorla::testing::Parsed;
using vorla::testing::RecordArena;
using Rng = std::mt19937;

constexpr int kRounds = 2000;

uint32_t Any32(Rng& rng) { return static_cast<uint32_t>(rng()); }
uint32_t Below(Rng& rng, uint32_t n) { return static_cast<uint32_t>(rng() % n); }

// Printable text with blanks, carriage returns and high bytes mixed in.
char* AnyText(Rng& rng, RecordArena& a) {
  std::string s(1 + Below(rng, 24), ' ');
  for (char& c : s) {
    const uint32_t k = Below(rng, 100);
    c = k < 90 ? static_cast<char>(0x20 + Below(rng, 0x5F)) : k < 93 ? '\r' : static_cast<char>(0x80 + Below(rng, 0x80));
  }
  return a.Text(s);
}

nuint8* TenBytes(Rng& rng, RecordArena& a) {
  std::vector<nuint8> b(10);
  for (auto& x : b) x = static_cast<nuint8>(rng());
  return a.Bytes(b);
}

bool Same(const char* x, const char* y) { return std::strcmp(x, y) == 0; }
bool SameBytes(const nuint8* x, const nuint8* y, std::size_t n) { return n == 0 || std::memcmp(x, y, n) == 0; }

struct Syntax {
  uint32_t id;
  std::function<void*(Rng&, RecordArena&)> make;
  std::function<bool(const void*, const void*)> equal;
};

template <typename T>
std::function<bool(const void*, const void*)> Equal(bool (*eq)(const T&, const T&)) {
  return [eq](const void* x, const void* y) { return eq(*static_cast<const T*>(x), *static_cast<const T*>(y)); };
}

std::vector<Syntax> RoundTripSyntaxes() {
  return {
      {SYN_CI_LIST,
       [](Rng& rng, RecordArena& a) -> void* {
         CI_List_T* head = nullptr;
         for (uint32_t n = 1 + Below(rng, 8); n > 0; --n) {
           auto* node = a.Record<CI_List_T>();
           *node = {head, AnyText(rng, a)};
           head = node;
         }
         return head;
       },
       Equal<CI_List_T>([](const CI_List_T& x, const CI_List_T& y) {
         const CI_List_T *p = &x, *q = &y;
         for (; p != nullptr && q != nullptr; p = p->next, q = q->next) {
           if (!Same(p->s, q->s)) return false;
         }
         return p == nullptr && q == nullptr;
       })},
      {SYN_OCTET_STRING,
       [](Rng& rng, RecordArena& a) -> void* {
         std::vector<nuint8> b(Below(rng, 50) == 0 ? 1 + Below(rng, 8192) : Below(rng, 40));
         for (auto& x : b) x = static_cast<nuint8>(rng());
         auto* v = a.Record<Octet_String_T>();
         *v = {static_cast<nuint32>(b.size()), a.Bytes(b)};
         return v;
       },
       Equal<Octet_String_T>([](const Octet_String_T& x, const Octet_String_T& y) {
         return x.length == y.length && SameBytes(x.data, y.data, x.length);
       })},
      {SYN_EMAIL_ADDRESS,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<EMail_Address_T>();
         *v = {Any32(rng), AnyText(rng, a)};
         return v;
       },
       Equal<EMail_Address_T>([](const EMail_Address_T& x, const EMail_Address_T& y) {
         return x.type == y.type && Same(x.address, y.address);
       })},
      {SYN_PATH,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<Path_T>();
         *v = {Any32(rng), AnyText(rng, a), AnyText(rng, a)};
         return v;
       },
       Equal<Path_T>([](const Path_T& x, const Path_T& y) {
         return x.nameSpaceType == y.nameSpaceType && Same(x.volumeName, y.volumeName) && Same(x.path, y.path);
       })},
      {SYN_REPLICA_POINTER,
       [](Rng& rng, RecordArena& a) -> void* {
         Replica_Pointer_T* v = a.Replica(Below(rng, 6));
         v->serverName = AnyText(rng, a);
         v->replicaType = static_cast<nint32>(Any32(rng));
         v->replicaNumber = static_cast<nint32>(Any32(rng));
         for (uint32_t i = 0; i < v->count; ++i) AddressesOf(v)[i] = {Any32(rng), 10, TenBytes(rng, a)};
         return v;
       },
       [](const void* px, const void* py) {
         auto* x = const_cast<Replica_Pointer_T*>(static_cast<const Replica_Pointer_T*>(px));
         auto* y = const_cast<Replica_Pointer_T*>(static_cast<const Replica_Pointer_T*>(py));
         if (!Same(x->serverName, y->serverName) || x->replicaType != y->replicaType ||
             x->replicaNumber != y->replicaNumber || x->count != y->count) {
           return false;
         }
         for (uint32_t i = 0; i < x->count; ++i) {
           const Net_Address_T &p = AddressesOf(x)[i], &q = AddressesOf(y)[i];
           if (p.addressType != q.addressType || q.addressLength != 10 || !SameBytes(p.address, q.address, 10)) {
             return false;
           }
         }
         return true;
       }},
      {SYN_OBJECT_ACL,
       [](Rng& rng, RecordArena& a) -> void* {
         struct Kind { const char* name; uint32_t letterBits; };
         static const Kind kinds[] = {{"[Entry Rights]", 0x1F}, {"[SMS Rights]", 0x3F}, {nullptr, 0x2F}};
         const Kind& k = kinds[Below(rng, 3)];
         auto* v = a.Record<Object_ACL_T>();
         *v = {k.name != nullptr ? a.Text(k.name) : AnyText(rng, a), AnyText(rng, a), Any32(rng) & k.letterBits};
         return v;
       },
       Equal<Object_ACL_T>([](const Object_ACL_T& x, const Object_ACL_T& y) {
         return Same(x.protectedAttrName, y.protectedAttrName) && Same(x.subjectName, y.subjectName) &&
                x.privileges == y.privileges;
       })},
      {SYN_PO_ADDRESS,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = static_cast<pnstr8*>(a.Block(sizeof(Postal_Address_T)));
         for (int i = 0; i < 6; ++i) v[i] = AnyText(rng, a);
         return v;
       },
       [](const void* px, const void* py) {
         auto* x = static_cast<const pnstr8*>(px);
         auto* y = static_cast<const pnstr8*>(py);
         for (int i = 0; i < 6; ++i) {
           if (!Same(x[i], y[i])) return false;
         }
         return true;
       }},
      {SYN_TIMESTAMP,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<NWDS_TimeStamp_T>();
         *v = {Any32(rng), static_cast<nuint16>(rng()), static_cast<nuint16>(rng())};
         return v;
       },
       Equal<NWDS_TimeStamp_T>([](const NWDS_TimeStamp_T& x, const NWDS_TimeStamp_T& y) {
         return x.wholeSeconds == y.wholeSeconds && x.replicaNum == y.replicaNum && x.eventID == y.eventID;
       })},
      {SYN_BACK_LINK,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<Back_Link_T>();
         *v = {Any32(rng), AnyText(rng, a)};
         return v;
       },
       Equal<Back_Link_T>([](const Back_Link_T& x, const Back_Link_T& y) {
         return x.remoteID == y.remoteID && Same(x.objectName, y.objectName);
       })},
      {SYN_TYPED_NAME,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<Typed_Name_T>();
         *v = {AnyText(rng, a), Any32(rng), Any32(rng)};
         return v;
       },
       Equal<Typed_Name_T>([](const Typed_Name_T& x, const Typed_Name_T& y) {
         return Same(x.objectName, y.objectName) && x.level == y.level && x.interval == y.interval;
       })},
      {SYN_HOLD,
       [](Rng& rng, RecordArena& a) -> void* {
         auto* v = a.Record<Hold_T>();
         *v = {AnyText(rng, a), Any32(rng)};
         return v;
       },
       Equal<Hold_T>([](const Hold_T& x, const Hold_T& y) {
         return Same(x.objectName, y.objectName) && x.amount == y.amount;
       })},
  };
}

TEST(ValuesRoundTrip, RenderedRecordsReadBackEqual) {
  for (const Syntax& s : RoundTripSyntaxes()) {
    Rng rng(20240601u + s.id);
    for (int round = 0; round < kRounds; ++round) {
      RecordArena arena;
      const void* original = s.make(rng, arena);
      std::string text = vorla::testing::Render(original, s.id);
      const std::string rendered = text;
      Parsed back(text, s.id);
      ASSERT_TRUE(back.ok()) << "syntax " << s.id << " round " << round << ":\n" << rendered;
      ASSERT_TRUE(s.equal(original, back.as<void>())) << "syntax " << s.id << " round " << round << ":\n"
                                                      << rendered;
      ASSERT_EQ(text.size(), rendered.size());
    }
  }
}

}  // namespace
