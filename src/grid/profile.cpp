#include "grid/profile.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include "forms/text.h"

namespace ws::grid {

constexpr auto Trim = &forms::TrimView;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool HasOuterBlanks(std::string_view s) {
  return Trim(s).size() != s.size();
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

// The whole trimmed text as a number; false for anything else (so "12px" is not 12).
bool ParseNumber(std::string_view text, double& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::string RandomSuffix() {
  std::random_device device;
  std::ostringstream out;
  out << std::hex << device() << device();
  return out.str();
}

}  // namespace

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

Profile Profile::Parse(std::string_view text) {
  Profile profile;
  profile.blocks_.push_back(Block{});  // the lines before the first header
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    profile.byteOrderMark_ = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  size_t firstBreak = text.find('\n');
  profile.crlf_ =
      firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
  while (!text.empty()) {
    size_t lineEnd = text.find('\n');
    std::string_view line = text.substr(0, lineEnd);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    profile.AddLine(line);
    text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
  }
  return profile;
}

void Profile::AddLine(std::string_view raw) {
  std::string_view trimmed = Trim(raw);
  if (!trimmed.empty() && trimmed.front() == '[') {
    Block block;
    block.reachable = trimmed.size() >= 2 && trimmed.back() == ']';
    block.name = block.reachable ? std::string(Trim(trimmed.substr(1, trimmed.size() - 2)))
                                 : std::string(raw);
    block.lines.push_back(Line{std::string(raw), {}, {}, false});
    block.insertAt = 1;
    blocks_.push_back(std::move(block));
    return;
  }
  Block& block = blocks_.back();
  Line line{std::string(raw), {}, {}, false};
  size_t eq = raw.find('=');
  bool comment = trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#';
  if (!comment && eq != std::string_view::npos && !Trim(raw.substr(0, eq)).empty()) {
    line.keyValue = true;
    line.key = std::string(Trim(raw.substr(0, eq)));
    line.value = std::string(raw.substr(eq + 1));
  }
  block.lines.push_back(std::move(line));
  if (block.lines.back().keyValue) {
    block.keys.try_emplace(block.lines.back().key, block.lines.size() - 1);
    block.insertAt = block.lines.size();
  }
}

Profile Profile::Load(const std::filesystem::path& path) {
  std::error_code ec;
  bool exists = std::filesystem::exists(path, ec);
  if (ec || !exists) {
    Profile profile = Parse({});
    profile.path_ = path;
    // Not being able to tell whether the file exists is a read failure, not a missing file.
    if (ec) profile.loadError_ = ec.message();
    return profile;
  }
  std::string content;
  std::string error;
  if (std::filesystem::is_directory(path, ec)) {
    error = "it is a folder";
  } else {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (in) buffer << in.rdbuf();
    if (!in || in.bad()) {
      error = "cannot read the file";
    } else {
      content = buffer.str();
    }
  }
  Profile profile = Parse(error.empty() ? std::string_view(content) : std::string_view());
  profile.path_ = path;
  profile.loadError_ = error;
  return profile;
}

const Profile::Line* Profile::FindLine(std::string_view section, std::string_view key) const {
  for (const Block& block : blocks_) {
    if (!block.reachable || block.name != section) continue;
    auto it = block.keys.find(key);
    if (it != block.keys.end()) return &block.lines[it->second];
  }
  return nullptr;
}

std::string Profile::Get(std::string_view section, std::string_view key,
                         std::string_view fallback) const {
  const Line* line = FindLine(section, key);
  return line ? line->value : std::string(fallback);
}

bool Profile::Has(std::string_view section, std::string_view key) const {
  return FindLine(section, key) != nullptr;
}

int Profile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  const Line* line = FindLine(section, key);
  double v = 0;
  if (!line || !ParseNumber(line->value, v)) return fallback;
  v = std::round(v);
  if (v < static_cast<double>(INT_MIN) || v > static_cast<double>(INT_MAX)) return fallback;
  return static_cast<int>(v);
}

bool Profile::GetBool(std::string_view section, std::string_view key, bool fallback) const {
  const Line* line = FindLine(section, key);
  if (!line) return fallback;
  std::string_view value = Trim(line->value);
  if (EqualsNoCase(value, "true")) return true;
  if (EqualsNoCase(value, "false")) return false;
  double v = 0;
  return ParseNumber(value, v) ? v != 0 : fallback;
}

void Profile::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (HasLineBreak(section) || HasOuterBlanks(section)) {
    throw std::invalid_argument("profile section name \"" + std::string(section) +
                                "\" cannot be stored");
  }
  if (key.empty() || HasLineBreak(key) || HasOuterBlanks(key) ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
      key.front() == '#' || key.starts_with("\xEF\xBB\xBF")) {
    // A key starting with a byte-order mark would read back as the mark of the file.
    throw std::invalid_argument("profile key \"" + std::string(key) + "\" cannot be stored");
  }
  if (HasLineBreak(value)) {
    throw std::invalid_argument("profile value of " + std::string(key) + " holds a line break");
  }
  if (blocks_.empty()) blocks_.push_back(Block{});
  std::string raw = std::string(key) + "=" + std::string(value);

  Block* target = nullptr;
  for (Block& block : blocks_) {
    if (!block.reachable || block.name != section) continue;
    auto it = block.keys.find(key);
    if (it != block.keys.end()) {
      Line& line = block.lines[it->second];
      line.value = std::string(value);
      line.raw = std::move(raw);
      return;
    }
    if (!target) target = &block;
  }
  if (!target) {
    Block block;
    block.name = std::string(section);
    block.lines.push_back(Line{"[" + std::string(section) + "]", {}, {}, false});
    block.insertAt = 1;
    blocks_.push_back(std::move(block));
    target = &blocks_.back();
  }
  size_t at = target->insertAt;
  target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(at),
                       Line{std::move(raw), std::string(key), std::string(value), true});
  target->keys.emplace(std::string(key), at);
  target->insertAt = at + 1;
}

std::string Profile::Text() const {
  std::string text;
  if (byteOrderMark_) text += kByteOrderMark;
  const char* ending = crlf_ ? "\r\n" : "\n";
  for (const Block& block : blocks_) {
    for (const Line& line : block.lines) {
      text += line.raw;
      text += ending;
    }
  }
  return text;
}

std::string Profile::Save() const {
  if (path_.empty()) return "the profile has no file name";
  if (!loadError_.empty()) {
    return "profile " + path_.string() + " was not saved: it could not be read (" + loadError_ +
           ")";
  }
  std::filesystem::path temp = path_;
  temp += ".tmp-" + RandomSuffix();
  std::string text = Text();
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return "cannot write " + temp.string();
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path_, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return "cannot replace " + path_.string() + ": " + ec.message();
  }
  return {};
}

}  // namespace ws::grid
