// Window layout persistence: every window remembers, per installation, how the user left it
// (field values, grid column widths, hidden columns, formats, merges, subtotals, row heights,
// frozen columns, search settings) in one profile file, workFolder/selfbb/<control>.txt.
//
// Grid sections. A grid's suffix s tells several grids in one file apart: "" for a grid named
// "Vs" (any case) that is not in a control array, else "_" + name, plus "_" + index for an array
// member. Per column i the key is "VsCol" + i in the sections
//   written and read: VsIsHidden+s ("1"/"0"), VsColWidth+s (only widths > 0 are written, so a
//                     hidden column keeps its last width in the file), VsIsColMerge+s,
//                     VsColDataType+s, VsColFormat+s, VsColAlignment+s;
//   read only:        VsIsSort+s, VsColFormat_Xs+s, VsColValDataType+s, VsIsGroupOn+s,
//                     VsIsTotalOn+s (put there by hand or by another tool; kept on writing).
// Grid-wide keys in section "Vs"+s: VsRowHeight (written when the grid has data rows),
// VsFixedRowHeight (written when it has header rows), VsFixedCols (frozen columns), and the
// read-only VsTotalSave. With widthsOnly only VsIsHidden and VsColWidth are read or written.
// A column with a layout number is kept under that number rather than its position (ColumnKey).
//
// Every read takes the grid's current value as its default, so a missing file, section or key
// leaves that property as it is. A value that does not parse counts as missing.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "forms/form.h"
#include "forms/grid.h"
#include "forms/widget.h"
#include "grid/profile.h"

namespace ws::grid {

// Section names (before the grid suffix) and keys.
inline constexpr const char* kIsHidden = "VsIsHidden";
inline constexpr const char* kColWidth = "VsColWidth";
inline constexpr const char* kIsSort = "VsIsSort";
inline constexpr const char* kIsColMerge = "VsIsColMerge";
inline constexpr const char* kColDataType = "VsColDataType";
inline constexpr const char* kColFormat = "VsColFormat";
inline constexpr const char* kColFormatDecimals = "VsColFormat_Xs";
inline constexpr const char* kColValueKind = "VsColValDataType";
inline constexpr const char* kColAlignment = "VsColAlignment";
inline constexpr const char* kIsGroupOn = "VsIsGroupOn";
inline constexpr const char* kIsTotalOn = "VsIsTotalOn";
inline constexpr const char* kGridSection = "Vs";
inline constexpr const char* kRowHeight = "VsRowHeight";
inline constexpr const char* kFixedRowHeight = "VsFixedRowHeight";
inline constexpr const char* kFixedCols = "VsFixedCols";
inline constexpr const char* kTotalSave = "VsTotalSave";
inline constexpr const char* kFormSection = "Form";
inline constexpr const char* kSearchSection = "Search";
inline constexpr const char* kSubtotalCaption = "小计";
inline constexpr const char* kGrandTotalCaption = "合计";

// workFolder/selfbb/<controlName>.txt; creates the selfbb folder when missing. The work folder
// may end in "/" or "\" (a folder configured on Windows): no doubled separator results. Throws
// std::invalid_argument for an empty work folder (a layout file must never land in whatever the
// current folder is) or a control name that is empty or holds a path separator, and
// std::filesystem::filesystem_error when the folder cannot be created.
std::filesystem::path LayoutPath(std::string_view workFolder, std::string_view controlName);

// The grid's suffix, see above.
std::string GridSuffix(const forms::Grid& grid);
// "VsCol" + column.
std::string ColumnKey(int col);
// The number a grid's column is saved under, the one place that maps columns to saved keys: its
// layout number (forms::Column::layoutNumber), or its position when it has none. Both the grid
// sections ("VsCol" + number, ColumnKey) and a line grid's widths (key_Col + number) use it.
int LayoutNumber(const forms::Grid& grid, int col);
std::string ColumnKey(const forms::Grid& grid, int col);

// The host's eight decimals settings, chosen by a column's value-kind code 1 to 8
// (VsColValDataType). Unless the host hands in its own settings, code n gives n - 1 decimals.
struct DecimalSettings {
  std::array<int, 8> places{0, 1, 2, 3, 4, 5, 6, 7};
};

// Whether a host data-type code is numeric: the grid takes a column format only for these
// (2 short, 3 long, 4 single, 5 double, 6 currency, 14 decimal, 17 byte, 20 64-bit integer).
bool IsNumericDataType(int dataType);
// The format with its decimal part replaced by "." and `decimals` times "#" (none for 0); an
// empty format starts from "###". Text after the decimal digits ("%", a unit) is kept.
std::string WithDecimals(std::string_view format, int decimals);

// Writes the grid's sections. Throws std::invalid_argument when the grid's name cannot be stored
// in a profile (see Profile::Set).
void WriteGridSettings(Profile& profile, const forms::Grid& grid, bool widthsOnly);

// Applies the grid's sections, in this order: hidden columns and widths; unless widthsOnly, the
// stored sort codes (odd codes sort ascending, even codes descending, 0 leaves the order), merge,
// data type, alignment, for numeric columns the format and its decimals (VsColFormat_Xs, an
// explicit count, wins over the value kind's setting); then the subtotals: with a grouping column
// (VsIsGroupOn) they are cleared and rebuilt — one "小计" row after each run of equal values per
// grouping column, in column order, summing the VsIsTotalOn columns, then a "合计" grand total
// captioned in the first visible column; without one they are cleared unless VsTotalSave is 1.
// Finally row heights and frozen columns. Subtotal rows that are kept are not sorted (they
// belong to the order they were built for).
void ApplyGridSettings(const Profile& profile, forms::Grid& grid, bool widthsOnly,
                       const DecimalSettings& decimals = {});

// A search box's own state, section "Search": "Field" + i (i from 1) = whether search column i
// is enabled ("True"/"False"), "Filter" = filter mode ("True"/"False"). A missing Field key keeps
// the column's setting; keys beyond the box's columns add columns; a missing Filter means True.
// One search box per window: the section has no per-box name.
void LoadSearchSettings(const Profile& profile, forms::SearchBox& box);
void SaveSearchSettings(Profile& profile, const forms::SearchBox& box);

// Form status, section "Form", one key per child (its LayoutKey: name, or name_index):
//   ywTxt_S key_Value = key and key_Text = text; TextBox, ComboBox, gcDTP: text; CheckBox,
//   OptionButton: value 0/1; VSFlexGrid: the grid sections above; ywGrid: key_Col<i> = width
//   of column i (0 for a hidden column, and 0 read back hides it); SearchBox: its section.
// Other kinds keep nothing. A child that fails is skipped and the walk goes on; the answer
// lists one text per failed child (empty when all went well).
std::vector<std::string> LoadFormStatus(const Profile& profile, forms::Form& form, bool widthsOnly);
std::vector<std::string> SaveFormStatus(Profile& profile, const forms::Form& form, bool widthsOnly);

// Only the ywGrid children's key_Col<i> widths: what document cards keep.
std::vector<std::string> LoadLineGridWidths(const Profile& profile, forms::Form& form);
std::vector<std::string> SaveLineGridWidths(Profile& profile, const forms::Form& form);

// --- Whole files. Each answers an error text for a failure of the file itself (folder cannot
// be created, file cannot be read or written), empty on success; a missing file is no failure
// on loading. Failures of single children are skipped as above.

// A document card's layout: its ywGrid widths in workFolder/selfbb/<controlName>.txt.
std::string LoadLineGridWidths(std::string_view workFolder, std::string_view controlName,
                               forms::Form& form);
std::string SaveLineGridWidths(std::string_view workFolder, std::string_view controlName,
                               const forms::Form& form);
// A list's or report's whole form status in a given file (reports get the name from the host).
std::string LoadFormStatusFile(const std::filesystem::path& file, forms::Form& form,
                               bool widthsOnly);
std::string SaveFormStatusFile(const std::filesystem::path& file, const forms::Form& form,
                               bool widthsOnly);
// A picker's search settings in workFolder/selfbb/<controlName>.txt.
std::string LoadSearchStatus(std::string_view workFolder, std::string_view controlName,
                             forms::SearchBox& box);
std::string SaveSearchStatus(std::string_view workFolder, std::string_view controlName,
                             const forms::SearchBox& box);

}  // namespace ws::grid
