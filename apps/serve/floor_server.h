// The workshop's web front end: the floor's pages for tablets and phones over cpp-httplib, on a
// shop file or a server shop. Each logged-in account has a session of its own with its own
// database connection (on PostgreSQL made as the account's own login, so the server keeps its
// rights); requests run on a pool of threads, one at a time per session.
//
// Sessions are random 256-bit cookies (HttpOnly, SameSite=Strict, Secure under TLS); every
// POST carries the session's CSRF token, the login form a token of its own; failed logins are
// limited per client address; photos are JPEG or PNG by their first bytes, of a bounded size,
// stored under names made here in a folder nothing serves as-is.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace ws::serve {

struct ServeOptions {
  std::string shop;  // a shop file or a postgresql:// URL
  std::string host = "127.0.0.1";
  int port = 8080;       // 0: any free port (tests)
  std::string certFile;  // both given: HTTPS
  std::string keyFile;
  // Where photos are kept; empty: "<shop file>.photos" beside a shop file (required for a URL).
  std::string photoFolder;
  size_t maxPhotoBytes = 8u << 20;
  int loginFailures = 5;  // per client address within the window, then refused until it passes
  std::chrono::seconds loginWindow{600};
  // A session unused this long is ended by a sweep that runs every sweepEvery, whether or not
  // anyone comes back to it, and its connection closed.
  std::chrono::minutes idleSession{12 * 60};
  std::chrono::milliseconds sweepEvery{60000};
  // When a login finds every session taken, the one seen longest ago gives its place, if it
  // has been unused at least this long: a tablet on the board refreshes every few seconds, so
  // one in use never is, while a phone put away after a job is.
  std::chrono::minutes releaseIdle{10};
  // On PostgreSQL each session is a connection of the server's, and the sessions are held to
  // SessionCap of what the server gives (read at Open) as well.
  size_t maxSessions = 500;
  // A connection holds a thread of the pool for as long as it is kept alive, and a browser
  // keeps several: with fewer threads than the tablets' connections a refresh waits for an
  // idle tablet's connection to time out. So the pool is larger than a shop's tablets, and an
  // idle connection gives its thread back soon after a page and its files have loaded.
  int threads = 64;
  std::chrono::seconds keepAlive{2};
  int openDays = 30;  // the shop's open lines: orders that came in within these days
  // "yyyy-mm-dd hh:mm:ss" of now; the local clock when empty.
  std::function<std::string()> now;
  // How long a refused login waits (the accounts' own delay; tests shorten it).
  std::chrono::milliseconds refusalDelay{1000};
  // A request that takes longer is written to the standard error with where its time went:
  // on the processor, waiting for one, and how much it read from the disk; the rest waited on
  // the disk, a lock or the database server.
  std::chrono::milliseconds slowRequest{200};
  // The clock sessions are timed by; steady_clock's when empty (tests move their own).
  std::function<std::chrono::steady_clock::time_point()> clock;
};

// The sessions a server that gives ordinary logins `slots` connections can hold (0: not known,
// on a shop file). Desks, the ws tool, backups and the administrator's psql need connections
// too, and a desk that cannot connect stops a clerk at the counter: a quarter of the slots is
// left to them, and never fewer than kDeskConnections, since a small server's few slots are
// mostly desks'. At least one session, at most maxSessions.
inline constexpr int kDeskConnections = 10;
size_t SessionCap(size_t maxSessions, int slots);

class FloorServer {
 public:
  explicit FloorServer(ServeOptions options);
  ~FloorServer();
  FloorServer(const FloorServer&) = delete;
  FloorServer& operator=(const FloorServer&) = delete;

  // Opens the shop (brought to this build's layout), checks that it has accounts and makes
  // the photo folder, then binds the address. Answers the error text, empty when ready.
  std::string Open();
  // The port bound by Open.
  int Port() const;
  bool Tls() const;
  // Serves until Stop; answers false when the server could not run.
  bool Run();
  void Stop();
  // How many sessions may be held at once, and how many are (each with its connection).
  size_t SessionLimit() const;
  size_t Sessions() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ws::serve
