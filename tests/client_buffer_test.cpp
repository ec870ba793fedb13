// Buffers in the client: allocation sizes, initialisation for a verb, the
// registry that turns freed, foreign and garbage pointers into
// ERR_INVALID_HANDLE, and the byte budget the engines build on.
#include <cstring>
#include <gtest/gtest.h>

#include "buffer.h"
#include "client_env.h"
#include "nwclient.h"

namespace {

class ClientBuffer : public ::testing::Test {
protected:
  void SetUp() override { ctx = NWDSCreateContext(); ASSERT_GT(ctx, 0); }
  void TearDown() override { NWDSFreeContext(ctx); }
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
  NWDSContextHandle ctx = -1;
};

TEST_F(ClientBuffer, AllocationSizes) {
  size_t before = nwc::live_buffer_count();
  pBuf_T b = reinterpret_cast<pBuf_T>(0x1);
  EXPECT_EQ(NWDSAllocBuf(0, &b), ERR_BUFFER_ZERO_LENGTH);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(nwc::live_buffer_count(), before);

  ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &b), 0);
  ASSERT_NE(b, nullptr);
  nwc::Buffer *s = nwc::live_buffer(b);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->size, static_cast<size_t>(DEFAULT_MESSAGE_LEN));
  EXPECT_EQ(s->verb, nwc::NO_VERB);
  pBuf_T big = nullptr;
  ASSERT_EQ(NWDSAllocBuf(size_t(1) << 40, &big), 0);
  EXPECT_EQ(nwc::live_buffer(big)->size, static_cast<size_t>(MAX_MESSAGE_LEN)) << "clamped";
  EXPECT_EQ(nwc::live_buffer_count(), before + 2);
  EXPECT_EQ(NWDSFreeBuf(b), 0);
  EXPECT_EQ(NWDSFreeBuf(big), 0);
  EXPECT_EQ(nwc::live_buffer_count(), before);
}

TEST_F(ClientBuffer, InitSetsTheVerbAndClearsTheItems) {
  pBuf_T b = nullptr;
  ASSERT_EQ(NWDSAllocBuf(64, &b), 0);
  nwc::Buffer *s = nwc::live_buffer(b);
  nwc::Item it;
  it.cost = 10;
  ASSERT_EQ(s->add(it), 0);
  s->cursor = 1;
  s->result = true;
  ASSERT_EQ(NWDSInitBuf(ctx, DSV_READ, b), 0);
  EXPECT_EQ(s->verb, static_cast<nuint32>(DSV_READ));
  EXPECT_TRUE(s->items.empty());
  EXPECT_EQ(s->used, 0u);
  EXPECT_EQ(s->cursor, 0u);
  EXPECT_FALSE(s->result);

  EXPECT_EQ(NWDSInitBuf(ctx, 99, b), ERR_BAD_VERB);
  EXPECT_EQ(NWDSInitBuf(ctx, 0xFFFFFFFFu, b), ERR_BAD_VERB);
  EXPECT_EQ(NWDSInitBuf(-1, DSV_SEARCH, b), ERR_BAD_CONTEXT);
  EXPECT_EQ(s->verb, static_cast<nuint32>(DSV_READ)) << "a refused init changes nothing";
  for (nuint32 v : {DSV_SEARCH_FILTER, DSV_MODIFY_ENTRY, DSV_READ_CLASS_DEF, DSV_INSPECT_ENTRY}) {
    EXPECT_EQ(NWDSInitBuf(ctx, v, b), 0) << v;
    EXPECT_EQ(s->verb, v);
  }
  NWDSFreeBuf(b);
}

TEST_F(ClientBuffer, BudgetRefusesAnItemThatDoesNotFit) {
  pBuf_T b = nullptr;
  ASSERT_EQ(NWDSAllocBuf(100, &b), 0);
  nwc::Buffer *s = nwc::live_buffer(b);
  nwc::Item a, c;
  a.cost = 60;
  a.name = "first";
  c.cost = 41;
  ASSERT_EQ(s->add(a), 0);
  EXPECT_EQ(s->room(), 40u);
  EXPECT_EQ(s->add(c), ERR_BUFFER_FULL);
  EXPECT_EQ(s->items.size(), 1u);
  EXPECT_EQ(s->used, 60u);
  c.cost = 40;
  EXPECT_EQ(s->add(c), 0);
  EXPECT_EQ(s->room(), 0u);
  EXPECT_EQ(s->items.front().name, "first");
  NWDSFreeBuf(b);
}

TEST_F(ClientBuffer, FreedForeignAndGarbagePointersAreInvalidHandles) {
  pBuf_T b = nullptr;
  ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &b), 0);
  ASSERT_EQ(NWDSFreeBuf(b), 0);
  // Not one of these may be read through: an unmapped address would crash.
  alignas(16) unsigned char on_stack[64];
  std::memset(on_stack, 0, sizeof on_stack);
  pBuf_T bad[] = {b, reinterpret_cast<pBuf_T>(on_stack), reinterpret_cast<pBuf_T>(0x1),
                  reinterpret_cast<pBuf_T>(0xdeadbeefdeadULL), reinterpret_cast<pBuf_T>(~uintptr_t(0))};
  char name[MAX_DN_BYTES];
  nuint32 n = 0;
  for (pBuf_T p : bad) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(p));
    EXPECT_EQ(NWDSFreeBuf(p), ERR_INVALID_HANDLE);
    EXPECT_EQ(NWDSInitBuf(ctx, DSV_READ, p), ERR_INVALID_HANDLE);
    EXPECT_EQ(NWDSPutAttrName(ctx, p, "CN"), ERR_INVALID_HANDLE);
    EXPECT_EQ(NWDSPutChange(ctx, p, DS_ADD_VALUE, "CN"), ERR_INVALID_HANDLE);
    EXPECT_EQ(NWDSGetAttrName(ctx, p, name, &n, &n), ERR_INVALID_HANDLE);
    EXPECT_EQ(NWDSGetObjectCount(ctx, p, &n), ERR_INVALID_HANDLE);
    EXPECT_EQ(nwc::live_buffer(p), nullptr);
  }
  EXPECT_EQ(NWDSFreeBuf(nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSPutAttrName(ctx, nullptr, "CN"), ERR_NULL_POINTER);
}

TEST_F(ClientBuffer, ClassReadersCheckTheirArgumentsFirst) {
  pBuf_T b = nullptr;
  ASSERT_EQ(NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &b), 0);
  ASSERT_EQ(NWDSInitBuf(ctx, DSV_READ_CLASS_DEF, b), 0);
  nuint32 n = 0;
  EXPECT_EQ(NWDSPutAttrName(ctx, b, nullptr), ERR_NULL_POINTER) << "checks come first";
  EXPECT_EQ(NWDSGetClassItemCount(ctx, b, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSGetClassItemCount(ctx, b, &n), ERR_BUFFER_EMPTY) << "initialised, not filled";
  EXPECT_EQ(NWDSFreeBuf(b), 0);
}

} // namespace
