// Files the program writes for the user (exports, prints, backups): made beside the target
// under a name of their own and renamed into place only once whole, so a failed or cut-off
// write leaves what was there before. Nothing written this way can replace the open shop,
// its -wal or -shm, a folder or anything that is not a plain file.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace ws::platform {

// Why path may not receive an output, in the user's words; empty when it may. shop names the
// open shop when it is a file (its companions are refused as well); every database file this
// process holds open is refused whatever shop says.
std::string OutputTargetRefusal(const std::string& path, const std::string& shop = {});

class OutputFile {
 public:
  // Makes the new file beside path; on refusal or failure Ok() is false and Error() tells
  // why. mode: the permissions of the finished file (a backup that holds password hashes is
  // 0600, an export 0666 less the umask).
  explicit OutputFile(std::string path, const std::string& shop = {},
                      std::optional<mode_t> mode = std::nullopt);
  ~OutputFile();  // removes the new file when it was not committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  // Where to write: a file of this process's own making in the target's folder.
  const std::string& TempPath() const { return temp_; }
  // Appends to the new file (for writers that take bytes rather than a path).
  bool Write(std::string_view bytes);
  // Flushes the new file to disk and renames it over the target, checking the target once
  // more first; answers the error text, empty on success. The target is untouched on failure.
  std::string Commit();

 private:
  std::string path_;
  std::string shop_;
  std::string temp_;
  std::string error_;
  int fd_ = -1;
  mode_t mode_ = 0644;
  bool committed_ = false;
};

// The whole text written to path as above.
std::string WriteOutputFile(const std::string& path, std::string_view bytes,
                            const std::string& shop = {});

}  // namespace ws::platform
