#include "forms/input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/form.h"

namespace ws::forms {
namespace {

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    field_ = &form_.Add<Field>("ywTxt", 2);
    field_->OnChange = [this] { log_.push_back("change:" + field_->Text()); };
    field_->OnLeave = [this] { log_.push_back("leave"); };
    grid_ = &form_.Add<Grid>("ywGridXM");
    grid_->SetFormatString("行号|编码|数量");
    grid_->OnAfterEdit = [this](int r, int c) {
      log_.push_back("edit:" + std::to_string(r) + "," + std::to_string(c));
    };
    button_ = &form_.Add<CommandButton>("cmdOK");
    button_->OnClick = [this] { log_.push_back("click"); };
  }

  Form form_{"frm"};
  Field* field_ = nullptr;
  Grid* grid_ = nullptr;
  CommandButton* button_ = nullptr;
  std::vector<std::string> log_;
};

TEST_F(InputTest, TypingFiresChangeThenLeaveAndRespectsReadOnly) {
  ASSERT_TRUE(Input::Type(*field_, "W001"));
  EXPECT_EQ(log_, (std::vector<std::string>{"change:W001", "leave"}));
  log_.clear();
  ASSERT_TRUE(Input::Type(*field_, "W001"));
  EXPECT_EQ(log_, (std::vector<std::string>{"leave"})) << "no change event for the same text";

  field_->SetLocked(true);
  auto refused = Input::Type(*field_, "other");
  EXPECT_FALSE(refused);
  EXPECT_NE(refused.reason.find("read-only"), std::string::npos);
  EXPECT_EQ(field_->Text(), "W001");
}

TEST_F(InputTest, CellEditingAddsTheNewRowLineAndChecksColumns) {
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 1, "X")) << "grid starts read-only";
  grid_->SetEditable(true);
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 1, "X"));  // row after the last: adds it
  EXPECT_EQ(grid_->DataRows(), 1);
  EXPECT_EQ(grid_->TextMatrix(1, 1), "X");
  grid_->Col(2).editable = false;
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 2, "5") || Input::EditCell(*grid_, 1, 9, "5"));
  // A refused edit or picker on the new-row line leaves no empty row behind.
  EXPECT_FALSE(Input::EditCell(*grid_, 2, 2, "5") || Input::EditCell(*grid_, 2, -1, "5") ||
               Input::CellPicker(*grid_, 2, 2));
  EXPECT_EQ(grid_->DataRows(), 1);
  ASSERT_TRUE(Input::EditCell(*grid_, 2, 1, "Z"));
  EXPECT_EQ(grid_->DataRows(), 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"edit:1,1", "edit:2,1"}));
}

// A number field keeps a number the way a clerk writes it as plain text and leaves anything
// else for the control to refuse; a number cell refuses it at once, keeping what it holds.
TEST_F(InputTest, NumberFieldsAndCellsKeepPlainNumbers) {
  field_->SetKind(FieldKind::Number);
  // An empty number field is allowed; "12abc" is kept for the control to judge, not read as 12.
  const std::pair<const char*, const char*> typed[] = {
      {"1,000.50", "1000.50"}, {"１ ０００", "1000"}, {"  ", ""}, {"12abc", "12abc"}};
  for (const auto& [text, kept] : typed) {
    ASSERT_TRUE(Input::Type(*field_, text));
    EXPECT_EQ(field_->Text(), kept) << text;
  }

  grid_->SetEditable(true);
  grid_->Col(2).format = "###.##";
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 2, "1 000"));
  EXPECT_EQ(grid_->TextMatrix(1, 2), "1000");
  log_.clear();
  EXPECT_FALSE(Input::EditCell(*grid_, 1, 2, "12abc"));
  EXPECT_EQ(grid_->TextMatrix(1, 2), "1000") << "the cell keeps and shows what it holds";
  EXPECT_FALSE(Input::EditCell(*grid_, 2, 2, "x")) << "a refused new-row edit adds no row";
  EXPECT_EQ(grid_->DataRows(), 1);
  EXPECT_TRUE(log_.empty());
  ASSERT_TRUE(Input::EditCell(*grid_, 1, 1, "12abc")) << "a text column takes any text";
}

TEST_F(InputTest, RowDeletionAndButtonsObeyTheirState) {
  grid_->SetEditable(true);
  grid_->AddRow();
  int after = -1;
  grid_->OnAfterDeleteRow = [&](int r) { after = r; };
  EXPECT_FALSE(Input::DeleteRow(*grid_, 0)) << "the header row cannot be deleted";
  EXPECT_TRUE(Input::DeleteRow(*grid_, 1));
  EXPECT_EQ(after, 1);

  button_->SetEnabled(false);
  EXPECT_FALSE(Input::Click(*button_));
  EXPECT_FALSE(Input::Picker(*field_)) << "a field without a picker refuses the help key";
  EXPECT_TRUE(log_.empty());
}

TEST_F(InputTest, HeaderSortKeepsTheCurrentRowAndLeavesEditedGridsAlone) {
  for (const char* code : {"C", "A", "B"}) grid_->SetTextMatrix(grid_->AddRow(), 1, code);
  grid_->SetRow(1);  // "C"
  ASSERT_TRUE(Input::SortColumn(*grid_, 1, 1));
  EXPECT_EQ(grid_->TextMatrix(1, 1), "A");
  EXPECT_EQ(grid_->Row(), 3) << "the current row follows its data";
  ASSERT_TRUE(Input::SortColumn(*grid_, 1, 2));
  EXPECT_FALSE(Input::SortColumn(*grid_, 7, 1) || Input::SortColumn(*grid_, 1, 3));
  grid_->SetEditable(true);
  EXPECT_FALSE(Input::SortColumn(*grid_, 1, 1)) << "lines being edited keep their order";
  EXPECT_EQ(grid_->TextMatrix(1, 1), "C");
}

}  // namespace
}  // namespace ws::forms
