#include "forms/text_pool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ws::forms {
namespace {

// Texts that share a hash, or only the slot their hash starts at, are told apart by their bytes,
// through the index's growth; a text never added is not found.
TEST(TextIndexTest, FindsEachTextWhateverItsHashSharesWithOthers) {
  std::vector<std::string> texts;
  TextIndex index;
  auto textOf = [&](uint32_t number) -> const std::string& { return texts[number]; };
  const std::vector<uint32_t> hashes = {7, 7, 7, 7 + 16, 7 + 1024, 8};
  for (int round = 0; round < 100; ++round) {
    for (uint32_t hash : hashes) {
      texts.push_back("京A" + std::to_string(texts.size()));
      index.Add(hash, static_cast<uint32_t>(texts.size() - 1));
    }
  }
  EXPECT_EQ(index.Size(), texts.size());
  for (uint32_t n = 0; n < texts.size(); ++n) {
    EXPECT_EQ(index.Find(texts[n], hashes[n % hashes.size()], textOf), n) << texts[n];
  }
  EXPECT_EQ(index.Find("京A", 7, textOf), TextIndex::kNone);
  EXPECT_EQ(index.Find(texts[1], 9, textOf), TextIndex::kNone) << "looked for under another hash";
  index.Clear();
  EXPECT_EQ(index.Find(texts[0], 7, textOf), TextIndex::kNone);
}

// A text is kept once, at an address that stays while thousands more are added, whether it
// came as a copy or moved in; the empty text is never stored.
TEST(TextPoolTest, KeepsEachTextOnceWhereItStays) {
  TextPool pool;
  const std::string* first = pool.Intern(std::string_view("北京嘉禾快递服务有限公司"));
  for (int i = 0; i < 5000; ++i) pool.Intern(std::to_string(i));
  EXPECT_EQ(pool.Intern(std::string("北京嘉禾快递服务有限公司")), first);
  EXPECT_EQ(*first, "北京嘉禾快递服务有限公司");
  EXPECT_EQ(pool.Intern(std::string_view("42")), pool.Intern(std::string("42")));
  EXPECT_EQ(pool.Intern(std::string()), &TextPool::Empty());
  EXPECT_EQ(pool.Size(), 5001u);
}

}  // namespace
}  // namespace ws::forms
