// A private corner of the PostgreSQL server named by WS_PG_URL (scripts/with_postgres.sh sets
// it): a schema of its own per test, dropped afterwards, so tests run side by side on one
// database. Tests that need a server skip when WS_PG_URL is unset.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/postgres_database.h"

namespace ws::platform::testing {

// A text as a part of a URL: letters, digits, '-' and '_' as they are, every other byte as %XX
// (a login's Chinese name, a password's punctuation).
inline std::string UrlEncoded(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_') {
      out += static_cast<char>(c);
    } else {
      out += {'%', hex[c >> 4], hex[c & 15]};
    }
  }
  return out;
}

// The server's URL, or nullopt when no server is configured.
inline std::optional<std::string> PostgresUrl() {
  const char* url = std::getenv("WS_PG_URL");
  if (!url || !*url) return std::nullopt;
  return std::string(url);
}

// The server's URL logged in as `name` with `password`, working in `schema`.
inline std::string LoginUrl(const std::string& name, const std::string& password,
                            const std::string& schema) {
  std::string url = PostgresUrl().value_or("");
  const size_t start = url.find("://") + 3;
  const size_t at = url.find('@', start);
  url = url.substr(0, start) + UrlEncoded(name) + ":" + UrlEncoded(password) +
        (at == std::string::npos ? "@" + url.substr(start) : url.substr(at));
  return url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-c%20search_path%3D" +
         schema;
}

class PostgresScratch {
 public:
  // Creates the schema; Ok() tells whether that worked (Error() why not).
  PostgresScratch() {
    static std::atomic<int> counter{0};
    schema_ = "ws_t_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    auto url = PostgresUrl();
    if (!url) return;
    url_ = *url;
    auto admin = PostgresDatabase::Open(url_);
    if (!admin) {
      error_ = admin.Error();
      return;
    }
    admin_ = std::move(admin).Take();
    error_ =
        admin_
            ->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_)
            .Error();
    if (!error_.empty()) admin_.reset();
  }
  ~PostgresScratch() {
    if (admin_) admin_->ExecScript("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
  }
  PostgresScratch(const PostgresScratch&) = delete;
  PostgresScratch& operator=(const PostgresScratch&) = delete;

  bool Ok() const { return admin_ != nullptr; }
  const std::string& Error() const { return error_; }
  const std::string& Schema() const { return schema_; }

  // A new connection whose unqualified names resolve in the schema: one user of the database.
  // The schema travels in the URL's options, so a connection made again keeps it; more
  // server options (" -c name=value") may follow.
  std::unique_ptr<PostgresDatabase> Connect(const std::string& moreOptions = "") {
    std::string options = "-c search_path=" + schema_ + moreOptions;
    std::string encoded;
    for (char c : options) encoded += c == ' ' ? "%20" : c == '=' ? "%3D" : std::string(1, c);
    std::string url =
        url_ + (url_.find('?') == std::string::npos ? "?" : "&") + "options=" + encoded;
    std::string error;
    auto db = PostgresDatabase::Open(url);
    if (!db) error_ = db.Error();
    return std::move(db).Take();
  }

 private:
  std::string url_;
  std::string schema_;
  std::string error_;
  std::unique_ptr<PostgresDatabase> admin_;
};

}  // namespace ws::platform::testing

// Skips the test when no server is configured; fails it when one is but cannot be used.
#define WS_REQUIRE_POSTGRES(scratch)                                     \
  do {                                                                   \
    if (!::ws::platform::testing::PostgresUrl()) {                       \
      GTEST_SKIP() << "WS_PG_URL is not set (scripts/with_postgres.sh)"; \
    }                                                                    \
    ASSERT_TRUE((scratch).Ok()) << (scratch).Error();                    \
  } while (false)
