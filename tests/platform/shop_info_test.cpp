// The shop's particulars: kept in the shop file among the host's options, written all together,
// and what every print's heading is made of.
#include "platform/shop_info.h"

#include <gtest/gtest.h>

#include "platform/print_template.h"
#include "support/test_host.h"

namespace ws::platform {
namespace {

using ShopInfoTest = test::HostTest;

TEST_F(ShopInfoTest, SavedParticularsComeBackTrimmedAndReplaceTheEarlierOnes) {
  EXPECT_EQ(LoadShopInfo(host_.Db()), ShopInfo{});

  ASSERT_EQ(SaveShopInfo(host_.Db(), {" 北京顺驰汽车维修服务有限公司 ", "北京市朝阳区广渠路8号",
                                      "010-87654321", "91110105MA01ABCD2X"}),
            "");
  const ShopInfo first{"北京顺驰汽车维修服务有限公司", "北京市朝阳区广渠路8号", "010-87654321",
                       "91110105MA01ABCD2X"};
  EXPECT_EQ(LoadShopInfo(host_.Db()), first);

  // A second save replaces every one, an emptied particular included; a quote is a quote.
  const ShopInfo second{"O'Brien 汽修", "", "010-1", "9111"};
  ASSERT_EQ(SaveShopInfo(host_.Db(), second), "");
  EXPECT_EQ(LoadShopInfo(host_.Db()), second);
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM ws_option WHERE module = 12 AND name LIKE 'shop%'")
                .ToLong(),
            4);

  // The print heading reads the same store.
  const PrintHeader header = PrintHeaderFromSystem(host_.System(), "维修工单");
  EXPECT_EQ(header.shopName, second.name);
  EXPECT_EQ(header.shopTaxNumber, second.taxNumber);
}

}  // namespace
}  // namespace ws::platform
