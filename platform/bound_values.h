// The values a command was given for its "?" placeholders, kept the same way by both database
// services, and how their logs write a statement with those values in place.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/value.h"

namespace ws::platform {

class BoundValues {
 public:
  // A position below 1 is remembered and reported at the run (PositionError), where every
  // failure of a command is reported.
  void Bind(int position, const db::Value& value);
  // "no placeholder has the position N" after a bad Bind; empty otherwise.
  std::string PositionError() const;
  // By placeholder position - 1; an unset slot is a "?" nobody bound.
  const std::vector<std::optional<db::Value>>& Values() const { return values_; }

 private:
  std::vector<std::optional<db::Value>> values_;
  bool hasBadPosition_ = false;
  int badPosition_ = 0;
};

// The statement as it ran, each "?" outside literals, quoted names and comments replaced by
// its bound value as a literal: what the log shows, so a reader sees the values in place and
// the log reads the same on either engine.
std::string WithValuesWritten(const std::string& sql,
                              const std::vector<std::optional<db::Value>>& values);

}  // namespace ws::platform
