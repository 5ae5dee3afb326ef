#include "platform/password_hash.h"

#include <sodium.h>

namespace ws::platform {

namespace {

bool SodiumReady() {
  // sodium_init is safe to call from several threads and answers 1 once it has run.
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

std::optional<std::string> HashPassword(const std::string& password, HashCost cost) {
  if (!SodiumReady()) return std::nullopt;
  char out[crypto_pwhash_STRBYTES];
  const bool least = cost == HashCost::Minimal;
  if (crypto_pwhash_str(out, password.data(), password.size(),
                        least ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        least ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE) !=
      0) {
    return std::nullopt;
  }
  return std::string(out);
}

bool VerifyPassword(const std::string& hash, const std::string& password) {
  if (!SodiumReady() || hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  // The library reads the hash as a C string of at most STRBYTES.
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, password.data(), password.size()) == 0;
}

}  // namespace ws::platform
