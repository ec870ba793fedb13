// Result and request buffers whose byte budget is smaller than their first
// item (NWDSAllocBuf takes any size from 1 byte up): every operation that
// fills a result buffer and every request writer must answer with a status
// and leave a buffer the readers can walk without reading past its items.
#include <gtest/gtest.h>
#include <string>

#include "client_dir.h"

namespace {

class ClientTinyBuffer : public client_dir::ClientDir {
protected:
  // Every reader once on `b`: each must answer with a status (never read an
  // item that is not there).  The answers themselves are the readers' own.
  void WalkAllReaders(pBuf_T b) {
    nuint32 n = 0;
    char name[MAX_DN_BYTES];
    Object_Info_T oi;
    Class_Info_T ci;
    (void)NWDSGetObjectCount(ctx, b, &n);
    (void)NWDSGetObjectName(ctx, b, name, &n, &oi);
    (void)NWDSGetAttrCount(ctx, b, &n);
    nuint32 syn = 0;
    (void)NWDSGetAttrName(ctx, b, name, &n, &syn);
    (void)NWDSComputeAttrValSize(ctx, b, syn, &n);
    (void)NWDSGetClassDefCount(ctx, b, &n);
    (void)NWDSGetClassDef(ctx, b, name, &ci);
    (void)NWDSGetClassItemCount(ctx, b, &n);
    (void)NWDSGetClassItem(ctx, b, name);
    (void)NWDSGetSyntaxCount(ctx, b, &n);
    (void)NWDSGetServerName(ctx, b, name, &n);
    (void)NWDSGetPartitionInfo(ctx, b, name, &n);
  }
  static bool Refused(NWDSCCODE st) { return st == ERR_INSUFFICIENT_BUFFER || st == ERR_BUFFER_FULL; }
};

// The reported crash: a read of [Root] with every attribute into a 1 to 3
// byte buffer wrote the attribute count into an item that was never added.
TEST_F(ClientTinyBuffer, ReadIntoABufferSmallerThanItsCountIsRefused) {
  for (size_t size : {1, 2, 3, 4}) {
    for (nuint32 info : {DS_ATTRIBUTE_NAMES, DS_ATTRIBUTE_VALUES}) {
      pBuf_T out = Buf(nwc::NO_VERB, size);
      nint32 it = NO_MORE_ITERATIONS;
      EXPECT_EQ(NWDSRead(ctx, "[Root]", info, 1, nullptr, &it, out), ERR_INSUFFICIENT_BUFFER)
          << size << " bytes, info type " << info;
      EXPECT_EQ(it, NO_MORE_ITERATIONS) << "no iteration is left open";
      nuint32 n = 7;
      EXPECT_EQ(NWDSGetAttrCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "the refused part is not readable";
      WalkAllReaders(out);
    }
  }
  // A buffer that holds the count and the attributes: the same read works.
  client_dir::ReadBack r = Read("[Root]");
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.values.empty());
}

// The same budgets for every other operation that fills a result buffer.
TEST_F(ClientTinyBuffer, EveryResultWriterRefusesABudgetBelowItsFirstItem) {
  ASSERT_EQ(AddUser("CN=u1"), 0);
  NWCONN_HANDLE conn = 0;
  const std::string server = ".CN=VORLA_SRV1.O=Example";
  ASSERT_EQ(NWDSOpenConnToNDSServer(ctx, server.c_str(), &conn), 0);
  for (size_t size : {1, 2, 3, 4, 8}) {
    SCOPED_TRACE(std::to_string(size) + " bytes");
    auto each = [&](const char *what, nuint32 verb, auto call) {
      pBuf_T out = Buf(nwc::NO_VERB, size);
      nint32 it = NO_MORE_ITERATIONS;
      const NWDSCCODE st = call(out, &it);
      EXPECT_TRUE(st == 0 || Refused(st) || st == ERR_INVALID_REQUEST) << what << ": " << st;
      if (size < 4) {
        EXPECT_NE(st, 0) << what << ": nothing fits " << size << " bytes";
      }
      if (st == 0 && it != NO_MORE_ITERATIONS) {
        EXPECT_EQ(NWDSCloseIteration(ctx, it, verb), 0) << what;
      }
      WalkAllReaders(out);
    };
    each("read u1", DSV_READ, [&](pBuf_T o, nint32 *it) { return NWDSRead(ctx, "CN=u1", DS_ATTRIBUTE_VALUES, 1, nullptr, it, o); });
    each("search", DSV_SEARCH, [&](pBuf_T o, nint32 *it) {
      nint32 searched = 0;
      return NWDSSearch(ctx, "[Root]", DS_SEARCH_SUBTREE, 0, nullptr, DS_ATTRIBUTE_VALUES, 1, nullptr, it, 0,
                        &searched, o);
    });
    each("list", DSV_LIST, [&](pBuf_T o, nint32 *it) { return NWDSList(ctx, "[Root]", it, o); });
    each("list by class", DSV_LIST, [&](pBuf_T o, nint32 *it) { return NWDSListByClassAndName(ctx, ".", nullptr, nullptr, it, o); });
    each("list containers", DSV_LIST, [&](pBuf_T o, nint32 *it) { return NWDSListContainers(ctx, "[Root]", it, o); });
    each("containable classes", DSV_LIST_CONTAINABLE_CLASSES, [&](pBuf_T o, nint32 *it) { return NWDSListContainableClasses(ctx, ".", it, o); });
    each("partitions", DSV_LIST_PARTITIONS, [&](pBuf_T o, nint32 *it) { return NWDSListPartitions(ctx, it, server.c_str(), o); });
    for (nuint32 info : {DS_CLASS_DEF_NAMES, DS_INFO_CLASS_DEFS, DS_FULL_CLASS_DEFS})
      each("class defs", DSV_READ_CLASS_DEF, [&](pBuf_T o, nint32 *it) { return NWDSReadClassDef(ctx, info, 1, nullptr, it, o); });
    for (nuint32 info : {DS_ATTR_DEF_NAMES, DS_ATTR_DEFS})
      each("attr defs", DSV_READ_ATTR_DEF, [&](pBuf_T o, nint32 *it) { return NWDSReadAttrDef(ctx, info, 1, nullptr, it, o); });
    each("syntaxes", DSV_READ_SYNTAXES, [&](pBuf_T o, nint32 *it) { return NWDSReadSyntaxes(ctx, 1, 1, nullptr, it, o); });
    each("server addresses", DSV_READ, [&](pBuf_T o, nint32 *) {
      nuint32 count = 0;
      return NWDSGetServerAddresses(ctx, conn, &count, o);
    });
    each("host server", DSV_READ, [&](pBuf_T o, nint32 *) {
      char host[MAX_DN_BYTES];
      return NWDSGetObjectHostServerAddress(ctx, "CN=u1", host, o);
    });
    each("effective rights", DSV_GET_EFFECTIVE_RIGHTS, [&](pBuf_T o, nint32 *it) {
      return NWDSListAttrsEffectiveRights(ctx, "CN=u1", "CN=u1", 1, nullptr, it, o);
    });
    each("references", DSV_READ_REFERENCES, [&](pBuf_T o, nint32 *it) {
      return NWDSReadReferences(ctx, server.c_str(), "CN=u1", DS_ATTRIBUTE_VALUES, 1, nullptr, 0, it, o);
    });
    each("backup", DSV_BACKUP_ENTRY, [&](pBuf_T o, nint32 *it) { return NWDSBackupObject(ctx, "CN=u1", it, o); });
  }
}

// Request writers into a buffer that cannot hold their item: ERR_BUFFER_FULL,
// and the buffer stays empty.
TEST_F(ClientTinyBuffer, RequestWritersRefuseAnItemLargerThanTheBudget) {
  for (size_t size : {1, 2, 3}) {
    pBuf_T req = Buf(DSV_MODIFY_ENTRY, size);
    EXPECT_EQ(NWDSPutChange(ctx, req, DS_ADD_VALUE, "Surname"), ERR_BUFFER_FULL);
    EXPECT_EQ(NWDSPutAttrVal(ctx, req, SYN_CI_STRING, "x"), ERR_ATTR_TYPE_EXPECTED);
    pBuf_T names = Buf(DSV_READ, size);
    EXPECT_EQ(NWDSPutAttrName(ctx, names, "Surname"), ERR_BUFFER_FULL);
    pBuf_T cls = Buf(DSV_READ_CLASS_DEF, size);
    EXPECT_EQ(NWDSPutClassItem(ctx, cls, "User"), ERR_BUFFER_FULL);
    EXPECT_EQ(nwc::live_buffer(req)->items.size() + nwc::live_buffer(names)->items.size() +
                  nwc::live_buffer(cls)->items.size(),
              0u);
    nint32 it = NO_MORE_ITERATIONS;
    EXPECT_NE(NWDSModifyObject(ctx, "CN=nobody", &it, 0, req), 0);
  }
}

} // namespace
