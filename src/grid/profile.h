// The host's profile files: INI-style text of "[Section]" headers and "key=value" lines, kept
// per window under the work folder (layout files) and read back the next time the window opens.
//
// Syntax, as read:
// - UTF-8 text; a leading byte-order mark is accepted and written back. Lines end in "\n" or
//   "\r\n"; the file's own ending is written back.
// - "[Name]": a section header (blanks around the brackets and the name are ignored). A line that
//   starts with "[" but does not end with "]" is a broken header: the keys under it, up to the
//   next good header, belong to no section, because nobody can tell which section they meant.
// - "key=value": split at the first "=", so values may contain "="; blanks around the key are
//   ignored, the value is kept byte for byte (a text box's leading blank survives).
// - Blank lines and lines starting with ";" or "#" are comments. Any other line is corrupt.
// - Keys before the first header belong to the section named "".
// - Section names and keys compare case-sensitively, byte for byte: they come from widget names,
//   which are case-sensitive in the forms model, so two widgets differing only in case never
//   share a key; and byte comparison needs no locale for the Chinese names.
// - A key repeated in a section, or a section repeated in the file, answers its first occurrence.
//
// Failures are never fatal: a missing file or key answers the caller's default, a corrupt line
// is skipped. Writing keeps every other section, key, comment and corrupt line where it was, and
// replaces the file atomically (a temporary file in the same folder, then a rename), so a crash
// while saving leaves either the old or the new file, never half of one. Durability across a
// power loss is left to the file system: the standard library offers no fsync.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ws::grid {

class Profile {
 public:
  // An empty profile with no file behind it (Save answers an error until a path is given).
  Profile() = default;

  // Reads the file. A missing file gives an empty profile that Save creates. A file that exists
  // but cannot be read also gives an empty profile, with LoadError() set; Save then refuses to
  // replace it, so a transient read failure never wipes a user's settings.
  static Profile Load(const std::filesystem::path& path);
  // Parses text as if it were a file's content (no path; Save needs SetPath first).
  static Profile Parse(std::string_view text);

  const std::filesystem::path& Path() const { return path_; }
  void SetPath(std::filesystem::path path) { path_ = std::move(path); }
  const std::string& LoadError() const { return loadError_; }

  // The value, or fallback when the section or key is missing (an empty value is a value).
  std::string Get(std::string_view section, std::string_view key, std::string_view fallback) const;
  bool Has(std::string_view section, std::string_view key) const;
  // A whole number: the trimmed value must be a number (a fraction is rounded); anything else,
  // or a value outside int, answers fallback.
  int GetInt(std::string_view section, std::string_view key, int fallback) const;
  // "True"/"False" in any case, or a number (non-zero is true); anything else answers fallback.
  bool GetBool(std::string_view section, std::string_view key, bool fallback) const;

  // Sets the value, replacing the first occurrence or adding the key at the end of the
  // section's keys (the section is added at the end of the file when missing). Throws
  // std::invalid_argument for a name or value that would not read back the same: a line break
  // anywhere; a key that is empty, holds "=", has blanks around it or starts with "[", ";", "#" or a byte-order mark;
  // a section name with blanks around it.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // Writes the profile to Path() (temporary file + rename). Answers the error text, empty on
  // success. The folder must exist.
  std::string Save() const;
  // The file content Save would write.
  std::string Text() const;

 private:
  struct Line {
    std::string raw;  // the line as read or as last set, without its line ending
    std::string key;  // set only for key=value lines
    std::string value;
    bool keyValue = false;
  };
  struct Block {
    std::string name;
    bool reachable = true;                                 // false under a broken header
    std::vector<Line> lines;                               // the header line (if any) is lines[0]
    std::map<std::string, std::size_t, std::less<>> keys;  // first occurrence -> line
    // Where a new key goes: after the section's last key (or its header), ahead of trailing
    // blank lines and comments. Every indexed key sits before it, so inserting moves none.
    std::size_t insertAt = 0;
  };

  void AddLine(std::string_view raw);
  const Line* FindLine(std::string_view section, std::string_view key) const;

  std::filesystem::path path_;
  std::string loadError_;
  std::vector<Block> blocks_;  // blocks_[0] holds the lines before the first header
  bool byteOrderMark_ = false;
  bool crlf_ = false;
};

// A UTF-8 text as a path on every platform (a plain std::string is the native narrow encoding,
// which is not UTF-8 on every system).
std::filesystem::path PathFromUtf8(std::string_view text);

}  // namespace ws::grid
