// How the database services answer an operation of their own that may fail (opening a shop, a
// script, a copy of the file, making a server's database): the one result type at the boundary
// between the module's db layer and the platform's engines (Result when the operation makes
// something). A failure carries the text the user is shown;
// success carries none. Statements the module runs keep the host's contract instead
// (ICommand::Error, IDatabase::LastError).
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace ws::db {

class Status {
 public:
  // Success.
  Status() = default;
  // A failure with the text the user is shown; an empty text still fails.
  static Status Failure(std::string error) {
    Status status;
    status.failed_ = true;
    status.error_ = error.empty() ? std::string("unknown failure") : std::move(error);
    return status;
  }
  // From an engine's own convention: an empty text is success.
  static Status FromError(std::string error) {
    return error.empty() ? Status() : Failure(std::move(error));
  }

  bool Ok() const { return !failed_; }
  explicit operator bool() const { return Ok(); }
  // The failure's text; empty on success.
  const std::string& Error() const { return error_; }

  // A status reads as its failure's text, so a check states the text it expects ("" for
  // success).
  friend bool operator==(const Status& status, std::string_view error) {
    return status.error_ == error;
  }
  friend std::ostream& operator<<(std::ostream& out, const Status& status) {
    return out << (status.Ok() ? std::string_view("ok") : std::string_view(status.error_));
  }

 private:
  bool failed_ = false;
  std::string error_;
};

// What an operation made, or its failure: never both, never neither.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: a value is a success
  // A failure; a success Status has nothing to carry and is refused by the type's user.
  Result(Status failure) : status_(std::move(failure)) {}  // NOLINT: so is a failure
  static Result Failure(std::string error) { return Result(Status::Failure(std::move(error))); }

  bool Ok() const { return status_.Ok(); }
  explicit operator bool() const { return Ok(); }
  const Status& Outcome() const { return status_; }
  // The failure's text; empty on success.
  const std::string& Error() const { return status_.Error(); }

  T& Value() { return value_; }
  const T& Value() const { return value_; }
  T Take() && { return std::move(value_); }
  // Reaches through to what was made, so a made pointer is used as the pointer itself.
  T& operator->() { return value_; }
  auto& operator*() requires requires(T& t) { *t; }
  { return *value_; }

 private:
  T value_{};
  Status status_;
};

}  // namespace ws::db
