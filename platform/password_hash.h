// Password hashes of the shop's accounts: Argon2id in libsodium's self-describing string form
// ("$argon2id$v=19$m=...,t=...,p=...$salt$hash"), so the cost can be raised later without
// invalidating the hashes already stored. The clear password never leaves these functions.
#pragma once

#include <optional>
#include <string>

namespace ws::platform {

// Interactive: libsodium's interactive limits (64 MiB, a few tenths of a second), what the
// shop's accounts get. Minimal: the library's least, for tests that make many accounts; its
// hashes verify the same way.
enum class HashCost { Interactive, Minimal };

// The hash of a password; nullopt when the library cannot start or the memory cannot be had.
std::optional<std::string> HashPassword(const std::string& password,
                                        HashCost cost = HashCost::Interactive);
// Whether the password matches a hash made by HashPassword. A malformed hash never matches.
bool VerifyPassword(const std::string& hash, const std::string& password);

// The settings of a hash: all of it but the hash proper ("$argon2id$v=19$m=...,t=...,p=...$salt"),
// what is needed to hash a password the same way without the stored hash. "" for a malformed one.
std::string HashSettings(const std::string& hash);
// The hash of a password under these settings, equal to the stored hash exactly when the password
// is the one it was made from; nullopt for settings this library cannot use. This is how a login
// is verified where the stored hash must not be read (on the server it is compared there).
std::optional<std::string> HashWithSettings(const std::string& settings,
                                            const std::string& password);
// Whether two texts are equal, in a time that does not depend on where they differ.
bool SameHash(const std::string& a, const std::string& b);

}  // namespace ws::platform
