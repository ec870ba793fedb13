// The constant table and its lookup: every name is found within the
// comparison bound, nothing else is, and values keep their full range.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "frame/constants.h"

namespace {

using vorla::find_constant;

const vorla::Constant* look(const std::string& s, int* n = nullptr) { return find_constant(s.data(), s.size(), n); }

TEST(FrameConstants, EveryNameIsFoundWithinTheBound) {
  ASSERT_EQ(vorla::constant_count(), 231u);
  for (std::size_t i = 0; i < vorla::constant_count(); ++i) {
    const auto& c = vorla::constant_table()[i];
    int comparisons = 0;
    const auto* found = look(c.name, &comparisons);
    ASSERT_EQ(found, &c) << c.name;
    EXPECT_LE(comparisons, vorla::kMaxConstantComparisons) << c.name;
  }
}

TEST(FrameConstants, NearMissesAreNotFound) {
  int comparisons = 0;
  for (const char* miss : {"", "dck_tree_name", "DSV", "DS", "DCK_FLAGSX", "DCK_FLAG", "ZZZ", "A", "DS_"}) {
    EXPECT_EQ(look(miss, &comparisons), nullptr) << miss;
    EXPECT_LE(comparisons, vorla::kMaxConstantComparisons);
  }
  // A zero byte inside the name is part of the name.
  EXPECT_EQ(look(std::string("DCK_FLAGS\0", 10)), nullptr);
  EXPECT_EQ(look(std::string("DCK_FLAGS", 9))->value, 1.0);
}

TEST(FrameConstants, ValuesKeepTheirFullRange) {
  EXPECT_EQ(look("NO_MORE_ITERATIONS")->value, 4294967295.0);
  EXPECT_EQ(look("ERR_CONTEXT_CREATION")->value, -328.0);
  EXPECT_EQ(look("DCK_TREE_NAME")->value, 11.0);
  EXPECT_EQ(look("TR_ALL")->value, 507.0);
  EXPECT_EQ(look("DS_NCP_AUDITING")->value, 200.0);
  EXPECT_EQ(look("DSV_GET_EFFECTIVE_RIGHTS")->value, 19.0);
  EXPECT_EQ(look("DSV_GET_REPLICA_ROOT_ID")->value, 41.0);
  EXPECT_EQ(look("DSV_GET_SERVER_ADDRESS")->value, 53.0);
  for (const char* zero : {"DSV_UNUSED_0", "RT_MASTER", "SYN_UNKNOWN", "TR_NONE"}) EXPECT_EQ(look(zero)->value, 0.0);
}

}  // namespace
