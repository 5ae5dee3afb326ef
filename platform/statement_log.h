// How both database services write a statement into their log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/value.h"

namespace ws::platform {

// The statement as it ran, each "?" outside literals, quoted names and comments replaced by
// its bound value as a literal: what the log shows, so a reader sees the values in place and
// the log reads the same on either engine.
std::string WithValuesWritten(const std::string& sql,
                              const std::vector<std::optional<db::Value>>& values);

}  // namespace ws::platform
