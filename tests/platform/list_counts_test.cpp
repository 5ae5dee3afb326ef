// The store of lists' block counts keeps the lists stored last when it is full.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/list_counts.h"

namespace ws::platform {
namespace {

TEST(ListCountsTest, KeepsTheListsStoredLastAndForgetsOnRequest) {
  struct Case {
    std::vector<std::string> stored;  // in this order, each list's count being its position
    std::string forgotten;            // then forgotten, when not empty
    std::string kept;                 // the lists found afterwards, in name order
  };
  const Case cases[] = {{{"a", "b", "c"}, "", "bc"},
                        {{"a", "b", "a", "c"}, "", "ac"},
                        {{"a", "b"}, "a", "b"},
                        {{"a", "b", "b", "b"}, "", "ab"}};
  for (const Case& c : cases) {
    ListCounts counts(2);
    for (size_t i = 0; i < c.stored.size(); ++i) {
      counts.Store(c.stored[i], ListBlocks{{{0, static_cast<int64_t>(i)}}, {}, {}});
    }
    if (!c.forgotten.empty()) counts.Forget(c.forgotten);
    std::string kept;
    for (const char* list : {"a", "b", "c"}) {
      auto found = counts.Find(list);
      if (!found) continue;
      kept += list;
      // The figures last stored under the name.
      int64_t last = 0;
      for (size_t i = 0; i < c.stored.size(); ++i) {
        if (c.stored[i] == list) last = static_cast<int64_t>(i);
      }
      EXPECT_EQ(found->counts.at(0), last) << list;
    }
    EXPECT_EQ(kept, c.kept);
  }
}

}  // namespace
}  // namespace ws::platform
