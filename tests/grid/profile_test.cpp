#include "grid/profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "temp_folder.h"

namespace ws::grid {
namespace {

using test::TempFolder;

// Hand-edited files carry all of this: keys before any section, comments, a value holding "=",
// blanks around keys, corrupt lines, a header missing its bracket, repeated keys and sections.
constexpr const char* kMessyFile =
    "top=0\r\n"
    "; written by hand\r\n"
    "[Form]\r\n"
    "txtFind=a=b\r\n"
    "  spaced =  two blanks kept\r\n"
    "not a key value line\r\n"
    "\r\n"
    "[Broken\r\n"
    "lost=1\r\n"
    "[Vs]\r\n"
    "VsRowHeight=300\r\n"
    "VsRowHeight=999\r\n"
    "VsFixedCols=12px\r\n"
    "Round= 2.6 \r\n"
    "=no key\r\n"
    "[Form]\r\n"
    "late=3\r\n";

TEST(ProfileTest, ReadsWhatCanBeReadAndSkipsTheRest) {
  Profile p = Profile::Parse(kMessyFile);
  EXPECT_EQ(p.Get("", "top", "d"), "0");
  EXPECT_EQ(p.Get("Form", "txtFind", "d"), "a=b");  // split at the first "="
  EXPECT_EQ(p.Get("Form", "spaced", "d"), "  two blanks kept");
  EXPECT_EQ(p.Get("Form", "late", "d"), "3");         // a repeated section still answers
  EXPECT_EQ(p.Get("Form", "lost", "d"), "d");         // under the broken header: no section owns it
  EXPECT_EQ(p.Get("Vs", "VsRowHeight", "d"), "300");  // first occurrence wins
  EXPECT_EQ(p.Get("form", "txtFind", "d"), "d");      // case-sensitive

  EXPECT_EQ(p.GetInt("Vs", "VsFixedCols", -1), -1);  // "12px" is not a number
  EXPECT_EQ(p.GetInt("Vs", "Round", -1), 3);
  Profile bools = Profile::Parse("[S]\na=True\nc=-1\nd=0\ne=yes\nf=99999999999\n");
  EXPECT_TRUE(bools.GetBool("S", "a", false) && bools.GetBool("S", "c", false));
  EXPECT_FALSE(bools.GetBool("S", "d", true) || bools.GetBool("S", "e", false));
  EXPECT_EQ(bools.GetInt("S", "f", 5), 5);  // out of range for an int
}

TEST(ProfileTest, SettingKeepsEveryOtherLineWhereItWas) {
  Profile p = Profile::Parse(std::string("\xEF\xBB\xBF") + kMessyFile);
  p.Set("Form", "txtFind", "new=value");
  p.Set("Form", "added", "x");  // after the first [Form] block's last key, before the blank
  p.Set("", "alsoTop", "1");    // after the keys before any header
  p.Set("Search", "Filter", "False");
  // Each new key right after the last key of its section, every other line as it was.
  std::string expected = std::string("\xEF\xBB\xBF") + kMessyFile + "[Search]\r\nFilter=False\r\n";
  expected.replace(expected.find("top=0\r\n"), 7, "top=0\r\nalsoTop=1\r\n");
  expected.replace(expected.find("txtFind=a=b"), 11, "txtFind=new=value");
  expected.insert(expected.find("not a key value"), "added=x\r\n");
  EXPECT_EQ(p.Text(), expected);

  // Names and values that would read back differently are refused and change nothing.
  std::string before = p.Text();
  // clang-format off
  const char* refused[][3] = {{"Form", "a=b", "1"}, {"Form", "", "1"}, {"Form", "[x", "1"},
      {"Form", "memo", "two\nlines"}, {" Form", "k", "1"}};
  // clang-format on
  for (const auto& [section, key, value] : refused) {
    EXPECT_THROW(p.Set(section, key, value), std::invalid_argument) << section << "/" << key;
  }
  EXPECT_EQ(p.Text(), before);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ProfileTest, FileRoundTripIsAtomicAndNeverClobbersAnUnreadableFile) {
  TempFolder folder;
  auto path = folder.Path() / "PDM_cl.txt";

  Profile missing = Profile::Load(path);
  EXPECT_EQ(missing.LoadError(), "");
  missing.Set("Form", "车牌号", "京A12345");
  ASSERT_EQ(missing.Save(), "");

  {
    std::ofstream append(path, std::ios::app | std::ios::binary);
    append << "# kept by hand\n[Other]\nkeep=me\n";
  }
  Profile loaded = Profile::Load(path);
  EXPECT_EQ(loaded.Get("Form", "车牌号", ""), "京A12345");
  loaded.Set("Form", "车牌号", "沪B1");
  ASSERT_EQ(loaded.Save(), "");
  EXPECT_EQ(ReadFile(path), "[Form]\n车牌号=沪B1\n# kept by hand\n[Other]\nkeep=me\n");
  // The temporary file went away with the rename.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

  // A path that cannot be read gives defaults, and Save refuses to replace it.
  std::filesystem::create_directory(folder.Path() / "dir.txt");
  Profile unreadable = Profile::Load(folder.Path() / "dir.txt");
  EXPECT_NE(unreadable.LoadError(), "");
  unreadable.Set("A", "b", "c");
  EXPECT_NE(unreadable.Save().find("could not be read"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "dir.txt"));
}

}  // namespace
}  // namespace ws::grid
