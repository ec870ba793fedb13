// The record layouts that the module and scripts rely on.
#include <cstddef>
#include <gtest/gtest.h>
#include "nwclient.h"

TEST(ClientLayout, InfoRecordsHaveTheirPublishedSizes) {
  EXPECT_EQ(sizeof(Object_Info_T), 80u);
  EXPECT_EQ(offsetof(Object_Info_T, baseClass), 12u);
  // Vorla::Info (lib/Vorla/Info.pm) lays these out for scripts.
  EXPECT_EQ(sizeof(Class_Info_T), 40u);
  EXPECT_EQ(offsetof(Class_Info_T, asn1ID), 4u);
  EXPECT_EQ(sizeof(Syntax_Info_T), 76u);
  EXPECT_EQ(offsetof(Syntax_Info_T, defStr), 4u);
  EXPECT_EQ(offsetof(Syntax_Info_T, flags), 72u);
  EXPECT_EQ(sizeof(LCONV), 128u);
  EXPECT_EQ(offsetof(LCONV, code_page), 56u);
  EXPECT_EQ(offsetof(LCONV, country_id), 60u);
  EXPECT_EQ(sizeof(NWDS_TimeStamp_T), 8u);
  EXPECT_EQ(offsetof(NWDS_TimeStamp_T, eventID), 6u);
}

TEST(ClientLayout, ReplicaPointerKeepsAddressesInline) {
  EXPECT_EQ(offsetof(Replica_Pointer_T, replicaAddressHint) % alignof(Net_Address_T), 0u);
  EXPECT_GT(offsetof(Replica_Pointer_T, replicaAddressHint), offsetof(Replica_Pointer_T, count));
}
