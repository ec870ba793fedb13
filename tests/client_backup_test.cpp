// Backup data a script cannot easily forge, refused with nothing changed:
// data whose checksum agrees but whose content does not (a count, a value
// of the wrong syntax, a class the parent may not hold), and a restore sent
// in parts that is abandoned.  The value information of DS_VALUE_INFO and
// DS_ABBREVIATED_VALUE results, which the module's readers step past.
#include <cstdio>
#include <gtest/gtest.h>

#include "client_dir.h"
#include "items.h"
#include "value_info.h"

namespace {

using client_dir::ClientDir;

class ClientBackup : public ClientDir {
protected:
  // The whole backup data of `name`, read through the readers.
  std::string Backup(const std::string &name) {
    pBuf_T out = Buf(nwc::NO_VERB, 1024);
    std::string data;
    nint32 it = NO_MORE_ITERATIONS;
    do {
      EXPECT_EQ(NWDSBackupObject(ctx, name.c_str(), &it, out), 0);
      nuint32 attrs = 0, count = 0, syn = 0;
      char an[MAX_SCHEMA_NAME_BYTES];
      EXPECT_EQ(NWDSGetAttrCount(ctx, out, &attrs), 0);
      EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
      for (nuint32 k = 0; k < count; ++k) {
        nuint32 size = 0;
        EXPECT_EQ(NWDSComputeAttrValSize(ctx, out, syn, &size), 0);
        std::string piece(size, '\0');
        EXPECT_EQ(NWDSGetAttrVal(ctx, out, syn, piece.data()), 0);
        data += piece.c_str();
      }
    } while (it != NO_MORE_ITERATIONS && !HasFailure());
    return data;
  }
  NWDSCCODE Restore(const std::string &name, const std::string &data) {
    nint32 it = NO_MORE_ITERATIONS;
    return NWDSRestoreObject(ctx, name.c_str(), &it, 0, static_cast<nuint32>(data.size()),
                             reinterpret_cast<const nuint8 *>(data.data()));
  }
  bool Exists(const std::string &name) { return Read(name).status == 0; }
};

// The body with a fresh "end" line, as a sound backup would carry it.
std::string Reseal(std::string body, long count) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : body) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, "end %ld %016llX\n", count, static_cast<unsigned long long>(h));
  return body + tail;
}

std::string Hex(const std::string &s) {
  std::string out;
  char b[3];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X", c);
    out += b;
  }
  return out;
}

TEST_F(ClientBackup, SealedButUnsoundDataIsRefusedAndAddsNothing) {
  ASSERT_EQ(Add("OU=Box", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=Ann.OU=Box"), 0);
  const std::string data = Backup("CN=Ann.OU=Box");
  const size_t end_at = data.rfind("end ");
  ASSERT_NE(end_at, std::string::npos);
  const std::string body = data.substr(0, end_at);
  long lines = 0;
  for (size_t p = body.find("\nvalue "); p != std::string::npos; p = body.find("\nvalue ", p + 1)) ++lines;
  ASSERT_GT(lines, 2);
  ASSERT_EQ(Restore("CN=Copy.OU=Box", Reseal(body, lines)), 0) << "the resealed data itself is sound";
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=Copy.OU=Box"), 0);

  const std::string wrong_syntax =
      body + "value " + std::to_string(SYN_INTEGER) + " " + Hex("Surname") + " " + Hex(nwc::encode_value(nwc::Value::integer(SYN_INTEGER, 5))) + "\n";
  std::string other_class = body;
  other_class.replace(other_class.find("class ") + 6, Hex("User").size(), Hex("Organization"));
  const struct {
    const char *what;
    std::string data;
    NWDSCCODE status;
  } cases[] = {
      {"a count that does not agree", Reseal(body, lines + 1), ERR_INVALID_REQUEST},
      {"a value of another syntax than its attribute's", Reseal(wrong_syntax, lines + 1), ERR_SYNTAX_VIOLATION},
      {"a class the parent may not hold", Reseal(other_class, lines), ERR_ILLEGAL_CONTAINMENT},
      {"a line of no known kind", Reseal(body + "note hello\n", lines), ERR_INVALID_REQUEST},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Restore("CN=Copy.OU=Box", c.data), c.status);
    EXPECT_FALSE(Exists("CN=Copy.OU=Box"));
  }
}

TEST_F(ClientBackup, AnAbandonedRestoreInPartsAddsNothing) {
  ASSERT_EQ(AddUser("CN=Bea"), 0);
  const std::string data = Backup("CN=Bea");
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSRestoreObject(ctx, "CN=Bea2", &it, 1, static_cast<nuint32>(data.size() / 2),
                              reinterpret_cast<const nuint8 *>(data.data())),
            0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  EXPECT_FALSE(Exists("CN=Bea2")) << "nothing before the last part";
  ASSERT_EQ(NWDSCloseIteration(ctx, it, DSV_RESTORE_ENTRY), 0);
  const size_t rest = data.size() - data.size() / 2;
  EXPECT_EQ(NWDSRestoreObject(ctx, "CN=Bea2", &it, 0, static_cast<nuint32>(rest),
                              reinterpret_cast<const nuint8 *>(data.data() + data.size() / 2)),
            ERR_INVALID_ITERATION);
  EXPECT_FALSE(Exists("CN=Bea2"));
}

TEST_F(ClientBackup, ValueInformationGivesFlagsAndTimes) {
  ASSERT_EQ(AddUser("CN=Cid"), 0);
  for (nuint32 info : {DS_VALUE_INFO, DS_ABBREVIATED_VALUE}) {
    pBuf_T out = Buf(nwc::NO_VERB);
    nint32 it = NO_MORE_ITERATIONS;
    ASSERT_EQ(NWDSRead(ctx, "CN=Cid", info, 1, nullptr, &it, out), 0);
    client_dir::ExpectUserValueInfo(out, info);
  }
}

} // namespace
