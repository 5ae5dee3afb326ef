// The database files this process holds open through the engine. POSIX locks belong to the
// process, not to a descriptor: closing any descriptor of a file drops every lock the process
// holds on it, the engine's included, and another process then takes itself for the last
// user, checkpoints and deletes the live write-ahead log. So nothing outside the engine may
// open such a file; the few places that look at a file's bytes ask here first.
#pragma once

#include <optional>
#include <string>

namespace ws::platform::open_files {

// Counts a connection to the file at path (called before the engine takes any lock on it)
// and answers a token to give back when the connection is closed; nullopt for a path that
// names no file.
std::optional<int> Register(const std::string& path);
void Unregister(int token);

// Whether a connection of this process has the file, or the file whose -wal, -shm or
// -journal it is, open.
bool HeldHere(const std::string& path);

// Whether any connection has the database at path open: one of this process, or one of
// another process (each holds a read lock on its -shm while connected under WAL). A file in
// use is never replaced, nor are its companions removed.
bool InUse(const std::string& path);

// The first size bytes of a file, read outside the engine only while no connection of this
// process has it open (the registry stays locked across the read, so no connection opens
// it meanwhile). nullopt when the process has it open (the caller then knows it for a
// database) or when it cannot be read; *heldHere tells which.
std::optional<std::string> ReadHead(const std::string& path, size_t size, bool* heldHere);

}  // namespace ws::platform::open_files
