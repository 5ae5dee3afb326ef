#include "grid/layout.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace ws::grid {

namespace {

using forms::Grid;

constexpr const char* kSearchField = "Field";
constexpr const char* kSearchFilter = "Filter";
constexpr int kMaxDecimals = 15;

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

std::string Section(const char* base, const std::string& suffix) {
  return base + suffix;
}

const char* Flag(bool on) {
  return on ? "1" : "0";
}
const char* TrueFalse(bool on) {
  return on ? "True" : "False";
}

int FirstVisibleCol(const Grid& grid) {
  for (int c = 0; c < grid.Cols(); ++c) {
    if (!grid.ColHidden(c)) return c;
  }
  return 0;
}

bool HasSubtotalRows(const Grid& grid) {
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.IsSubtotalRow(r)) return true;
  }
  return false;
}

// The decimals a column's format should show, or -1 to leave the format's own.
int StoredDecimals(const Profile& profile, const std::string& suffix, const std::string& key,
                   const DecimalSettings& decimals) {
  int places = profile.GetInt(Section(kColFormatDecimals, suffix), key, -1);
  if (places >= 0 && places <= kMaxDecimals) return places;
  int kind = profile.GetInt(Section(kColValueKind, suffix), key, 0);
  if (kind >= 1 && kind <= static_cast<int>(decimals.places.size())) {
    return std::clamp(decimals.places[static_cast<size_t>(kind - 1)], 0, kMaxDecimals);
  }
  return -1;
}

// A line grid's column key takes the same number as its grid sections (LayoutNumber).
std::string LineGridKey(const Grid& grid, int col) {
  return grid.LayoutKey() + "_Col" + std::to_string(LayoutNumber(grid, col));
}

void LoadLineGrid(const Profile& profile, Grid& grid) {
  for (int c = 0; c < grid.Cols(); ++c) {
    int width = profile.GetInt(kFormSection, LineGridKey(grid, c), grid.ColWidth(c));
    // 0 hides the column and keeps its width for when it is shown again.
    if (width >= 0) grid.SetColWidth(c, width);
  }
}

void SaveLineGrid(Profile& profile, const Grid& grid) {
  for (int c = 0; c < grid.Cols(); ++c) {
    profile.Set(kFormSection, LineGridKey(grid, c), std::to_string(std::max(grid.ColWidth(c), 0)));
  }
}

// Runs `apply` for every child of class T; a failing child is noted and the walk goes on.
template <typename T, typename Apply>
void Walk(const forms::Form& form, std::vector<std::string>& problems, Apply apply) {
  for (const auto& child : form.Children()) {
    auto* widget = dynamic_cast<T*>(child.get());
    if (!widget) continue;
    try {
      apply(*widget);
    } catch (const std::exception& e) {
      problems.push_back(child->LayoutKey() + ": " + e.what());
    } catch (...) {
      problems.push_back(child->LayoutKey() + ": unknown failure");
    }
  }
}

bool IsTextKind(const std::string& type) {
  return type == forms::kTextBox || type == forms::kComboBox || type == forms::kDatePicker;
}

bool IsCheckKind(const std::string& type) {
  return type == forms::kCheckBox || type == forms::kOptionButton;
}

// The profile of a layout file; a file that cannot be read throws, so nothing is applied from
// or saved over it.
Profile OpenLayout(const std::filesystem::path& file) {
  Profile profile = Profile::Load(file);
  if (!profile.LoadError().empty()) {
    throw std::runtime_error("cannot read " + file.string() + ": " + profile.LoadError());
  }
  return profile;
}

template <typename Body>
std::string FileOperation(Body body) {
  try {
    return body();
  } catch (const std::exception& e) {
    return e.what();
  }
}

}  // namespace

std::filesystem::path LayoutPath(std::string_view workFolder, std::string_view controlName) {
  if (controlName.empty() || controlName == "." || controlName == ".." ||
      std::any_of(controlName.begin(), controlName.end(), IsSeparator)) {
    throw std::invalid_argument("no layout file for the control name \"" +
                                std::string(controlName) + "\"");
  }
  // Drop trailing separators, but keep a root ("/", "C:\") whole.
  while (workFolder.size() > 1 && IsSeparator(workFolder.back()) &&
         workFolder[workFolder.size() - 2] != ':') {
    workFolder.remove_suffix(1);
  }
  if (workFolder.empty()) throw std::invalid_argument("the login has no work folder");
  std::filesystem::path folder = PathFromUtf8(workFolder) / "selfbb";
  std::filesystem::create_directories(folder);
  return folder / PathFromUtf8(std::string(controlName) + ".txt");
}

std::string GridSuffix(const Grid& grid) {
  if (!grid.InArray() && EqualsNoCase(grid.Name(), "Vs")) return {};
  std::string suffix = "_" + grid.Name();
  if (grid.InArray()) suffix += "_" + std::to_string(grid.Index());
  return suffix;
}

std::string ColumnKey(int col) {
  return "VsCol" + std::to_string(col);
}

int LayoutNumber(const Grid& grid, int col) {
  const int number = grid.Col(col).layoutNumber;
  return number >= 0 ? number : col;
}

std::string ColumnKey(const Grid& grid, int col) {
  return ColumnKey(LayoutNumber(grid, col));
}

bool IsNumericDataType(int dataType) {
  switch (dataType) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 14:
    case 17:
    case 20:
      return true;
    default:
      return false;
  }
}

std::string WithDecimals(std::string_view format, int decimals) {
  if (format.empty()) format = "###";
  decimals = std::clamp(decimals, 0, kMaxDecimals);
  size_t dot = format.find('.');
  std::string_view head;
  std::string_view tail;
  if (dot == std::string_view::npos) {
    size_t lastDigit = format.find_last_of("#0");
    size_t headEnd = lastDigit == std::string_view::npos ? format.size() : lastDigit + 1;
    head = format.substr(0, headEnd);
    tail = format.substr(headEnd);
  } else {
    head = format.substr(0, dot);
    size_t tailStart = format.find_first_not_of("#0", dot + 1);
    tail = tailStart == std::string_view::npos ? std::string_view() : format.substr(tailStart);
  }
  std::string result(head);
  if (decimals > 0) result += "." + std::string(static_cast<size_t>(decimals), '#');
  result += tail;
  return result;
}

void WriteGridSettings(Profile& profile, const Grid& grid, bool widthsOnly) {
  const std::string suffix = GridSuffix(grid);
  const std::string hidden = Section(kIsHidden, suffix);
  const std::string width = Section(kColWidth, suffix);
  for (int c = 0; c < grid.Cols(); ++c) {
    const std::string key = ColumnKey(grid, c);
    profile.Set(hidden, key, Flag(grid.ColHidden(c)));
    // A hidden column keeps the width last stored for it, for when the user shows it again.
    if (grid.ColWidth(c) > 0) profile.Set(width, key, std::to_string(grid.ColWidth(c)));
    if (widthsOnly) continue;
    const forms::Column& column = grid.Col(c);
    profile.Set(Section(kIsColMerge, suffix), key, Flag(column.merge));
    profile.Set(Section(kColDataType, suffix), key, std::to_string(column.dataType));
    profile.Set(Section(kColFormat, suffix), key, column.format);
    profile.Set(Section(kColAlignment, suffix), key, std::to_string(column.alignment));
  }
  if (widthsOnly) return;
  const std::string gridSection = Section(kGridSection, suffix);
  if (grid.DataRows() > 0) profile.Set(gridSection, kRowHeight, std::to_string(grid.RowHeight()));
  if (grid.FixedRows() > 0) {
    profile.Set(gridSection, kFixedRowHeight, std::to_string(grid.FixedRowHeight()));
  }
  profile.Set(gridSection, kFixedCols, std::to_string(grid.FrozenCols()));
}

void ApplyGridSettings(const Profile& profile, Grid& grid, bool widthsOnly,
                       const DecimalSettings& decimals) {
  const std::string suffix = GridSuffix(grid);
  const std::string hidden = Section(kIsHidden, suffix);
  const std::string width = Section(kColWidth, suffix);
  for (int c = 0; c < grid.Cols(); ++c) {
    const std::string key = ColumnKey(grid, c);
    if (profile.GetInt(hidden, key, grid.ColHidden(c) ? 1 : 0) == 1) {
      grid.SetColHidden(c, true);
      continue;
    }
    int stored = profile.GetInt(width, key, grid.Col(c).width);
    if (stored > 0) grid.SetColWidth(c, stored);
  }
  if (widthsOnly) return;

  std::vector<int> groupCols;
  std::vector<int> sumCols;
  for (int c = 0; c < grid.Cols(); ++c) {
    const std::string key = ColumnKey(grid, c);
    forms::Column& column = grid.Col(c);
    column.sort = profile.GetInt(Section(kIsSort, suffix), key, column.sort);
    column.merge = profile.GetInt(Section(kIsColMerge, suffix), key, column.merge ? 1 : 0) == 1;
    column.dataType = profile.GetInt(Section(kColDataType, suffix), key, column.dataType);
    column.alignment = profile.GetInt(Section(kColAlignment, suffix), key, column.alignment);
    if (IsNumericDataType(column.dataType)) {
      std::string format = profile.Get(Section(kColFormat, suffix), key, column.format);
      int places = StoredDecimals(profile, suffix, key, decimals);
      column.format = places >= 0 ? WithDecimals(format, places) : format;
    }
    if (profile.GetInt(Section(kIsGroupOn, suffix), key, 0) == 1) groupCols.push_back(c);
    if (profile.GetInt(Section(kIsTotalOn, suffix), key, 0) == 1) sumCols.push_back(c);
  }

  const std::string gridSection = Section(kGridSection, suffix);
  bool keepTotals = groupCols.empty() && profile.GetInt(gridSection, kTotalSave, 0) == 1;
  // Old subtotal rows go before sorting: the grid sorts whole rows, and sums sorted in among
  // the data would be wrong anyway. Kept subtotals pin the current order.
  if (!keepTotals) grid.ClearSubtotals();
  if (!HasSubtotalRows(grid)) {
    for (int c = 0; c < grid.Cols(); ++c) {
      int code = grid.Col(c).sort;
      if (code >= 1 && code <= 8) grid.Sort(c, code % 2 == 1 ? 1 : 2);
    }
  }
  if (!groupCols.empty()) {
    for (int c : groupCols) grid.AddSubtotals(c, sumCols, kSubtotalCaption, c);
    grid.AddSubtotals(-1, sumCols, kGrandTotalCaption, FirstVisibleCol(grid));
  }

  int rowHeight = profile.GetInt(gridSection, kRowHeight, grid.RowHeight());
  if (rowHeight > 0) grid.SetRowHeight(rowHeight);
  int fixedRowHeight = profile.GetInt(gridSection, kFixedRowHeight, grid.FixedRowHeight());
  if (fixedRowHeight > 0) grid.SetFixedRowHeight(fixedRowHeight);
  int frozen = profile.GetInt(gridSection, kFixedCols, grid.FrozenCols());
  if (frozen >= 0 && frozen <= grid.Cols()) grid.SetFrozenCols(frozen);
}

void LoadSearchSettings(const Profile& profile, forms::SearchBox& box) {
  auto fieldKey = [](size_t i) { return kSearchField + std::to_string(i + 1); };
  size_t count = box.searchColumns.size();
  while (profile.Has(kSearchSection, fieldKey(count))) ++count;
  box.searchColumns.resize(count, false);
  for (size_t i = 0; i < count; ++i) {
    box.searchColumns[i] = profile.GetBool(kSearchSection, fieldKey(i), box.searchColumns[i]);
  }
  box.filterMode = profile.GetBool(kSearchSection, kSearchFilter, true);
}

void SaveSearchSettings(Profile& profile, const forms::SearchBox& box) {
  for (size_t i = 0; i < box.searchColumns.size(); ++i) {
    profile.Set(kSearchSection, kSearchField + std::to_string(i + 1),
                TrueFalse(box.searchColumns[i]));
  }
  profile.Set(kSearchSection, kSearchFilter, TrueFalse(box.filterMode));
}

std::vector<std::string> LoadFormStatus(const Profile& profile, forms::Form& form,
                                        bool widthsOnly) {
  std::vector<std::string> problems;
  Walk<forms::Widget>(form, problems, [&](forms::Widget& child) {
    const std::string& type = child.TypeName();
    const std::string key = child.LayoutKey();
    if (auto* field = dynamic_cast<forms::Field*>(&child); field && type == forms::kField) {
      field->SetKey(profile.Get(kFormSection, key + "_Value", field->Key()));
      field->SetText(profile.Get(kFormSection, key + "_Text", field->Text()));
    } else if (auto* text = dynamic_cast<forms::TextBox*>(&child); text && IsTextKind(type)) {
      text->SetText(profile.Get(kFormSection, key, text->Text()));
    } else if (auto* check = dynamic_cast<forms::CheckBox*>(&child); check && IsCheckKind(type)) {
      check->SetValue(profile.GetBool(kFormSection, key, check->Checked()) ? 1 : 0);
    } else if (auto* grid = dynamic_cast<Grid*>(&child); grid && type == forms::kFlexGrid) {
      ApplyGridSettings(profile, *grid, widthsOnly);
    } else if (grid && type == forms::kLineGrid) {
      LoadLineGrid(profile, *grid);
    } else if (auto* box = dynamic_cast<forms::SearchBox*>(&child)) {
      LoadSearchSettings(profile, *box);
    }
  });
  return problems;
}

std::vector<std::string> SaveFormStatus(Profile& profile, const forms::Form& form,
                                        bool widthsOnly) {
  std::vector<std::string> problems;
  Walk<const forms::Widget>(form, problems, [&](const forms::Widget& child) {
    const std::string& type = child.TypeName();
    const std::string key = child.LayoutKey();
    if (auto* field = dynamic_cast<const forms::Field*>(&child); field && type == forms::kField) {
      profile.Set(kFormSection, key + "_Value", field->Key());
      profile.Set(kFormSection, key + "_Text", field->Text());
    } else if (auto* text = dynamic_cast<const forms::TextBox*>(&child); text && IsTextKind(type)) {
      profile.Set(kFormSection, key, text->Text());
    } else if (auto* check = dynamic_cast<const forms::CheckBox*>(&child);
               check && IsCheckKind(type)) {
      profile.Set(kFormSection, key, Flag(check->Checked()));
    } else if (auto* grid = dynamic_cast<const Grid*>(&child); grid && type == forms::kFlexGrid) {
      WriteGridSettings(profile, *grid, widthsOnly);
    } else if (grid && type == forms::kLineGrid) {
      SaveLineGrid(profile, *grid);
    } else if (auto* box = dynamic_cast<const forms::SearchBox*>(&child)) {
      SaveSearchSettings(profile, *box);
    }
  });
  return problems;
}

std::vector<std::string> LoadLineGridWidths(const Profile& profile, forms::Form& form) {
  std::vector<std::string> problems;
  Walk<Grid>(form, problems, [&](Grid& grid) {
    if (grid.TypeName() == forms::kLineGrid) LoadLineGrid(profile, grid);
  });
  return problems;
}

std::vector<std::string> SaveLineGridWidths(Profile& profile, const forms::Form& form) {
  std::vector<std::string> problems;
  Walk<const Grid>(form, problems, [&](const Grid& grid) {
    if (grid.TypeName() == forms::kLineGrid) SaveLineGrid(profile, grid);
  });
  return problems;
}

// The file-level calls skip failures of single children, as the walks document; only the
// file's own failures are answered.

std::string LoadLineGridWidths(std::string_view workFolder, std::string_view controlName,
                               forms::Form& form) {
  return FileOperation([&] {
    Profile profile = OpenLayout(LayoutPath(workFolder, controlName));
    LoadLineGridWidths(profile, form);
    return std::string();
  });
}

std::string SaveLineGridWidths(std::string_view workFolder, std::string_view controlName,
                               const forms::Form& form) {
  return FileOperation([&] {
    Profile profile = OpenLayout(LayoutPath(workFolder, controlName));
    SaveLineGridWidths(profile, form);
    return profile.Save();
  });
}

std::string LoadFormStatusFile(const std::filesystem::path& file, forms::Form& form,
                               bool widthsOnly) {
  return FileOperation([&] {
    Profile profile = OpenLayout(file);
    LoadFormStatus(profile, form, widthsOnly);
    return std::string();
  });
}

std::string SaveFormStatusFile(const std::filesystem::path& file, const forms::Form& form,
                               bool widthsOnly) {
  return FileOperation([&] {
    Profile profile = OpenLayout(file);
    SaveFormStatus(profile, form, widthsOnly);
    return profile.Save();
  });
}

std::string LoadSearchStatus(std::string_view workFolder, std::string_view controlName,
                             forms::SearchBox& box) {
  return FileOperation([&] {
    LoadSearchSettings(OpenLayout(LayoutPath(workFolder, controlName)), box);
    return std::string();
  });
}

std::string SaveSearchStatus(std::string_view workFolder, std::string_view controlName,
                             const forms::SearchBox& box) {
  return FileOperation([&] {
    Profile profile = OpenLayout(LayoutPath(workFolder, controlName));
    SaveSearchSettings(profile, box);
    return profile.Save();
  });
}

}  // namespace ws::grid
