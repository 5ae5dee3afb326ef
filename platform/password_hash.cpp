#include "platform/password_hash.h"

#include <sodium.h>

#include <cstdio>
#include <vector>

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

std::string HashSettings(const std::string& hash) {
  const size_t last = hash.rfind('$');
  if (hash.rfind("$argon2id$", 0) != 0 || last == std::string::npos || last + 1 >= hash.size()) {
    return {};
  }
  return hash.substr(0, last);
}

std::optional<std::string> HashWithSettings(const std::string& settings,
                                            const std::string& password) {
  if (!SodiumReady()) return std::nullopt;
  // libsodium writes exactly this form: version 19, one lane, a 16-byte salt and a 32-byte hash,
  // both in unpadded standard base64.
  constexpr size_t kHashBytes = 32;
  unsigned version = 0, memoryKib = 0, passes = 0, lanes = 0;
  int saltAt = -1;
  if (std::sscanf(settings.c_str(), "$argon2id$v=%u$m=%u,t=%u,p=%u$%n", &version, &memoryKib,
                  &passes, &lanes, &saltAt) != 4 ||
      saltAt < 0 || version != 19 || lanes != 1) {
    return std::nullopt;
  }
  const std::string saltText = settings.substr(static_cast<size_t>(saltAt));
  unsigned char salt[crypto_pwhash_SALTBYTES];
  size_t saltBytes = 0;
  if (sodium_base642bin(salt, sizeof salt, saltText.data(), saltText.size(), nullptr, &saltBytes,
                        nullptr, sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0 ||
      saltBytes != sizeof salt) {
    return std::nullopt;
  }
  const unsigned long long opsLimit = passes;
  const size_t memLimit = static_cast<size_t>(memoryKib) * 1024;
  if (opsLimit < crypto_pwhash_OPSLIMIT_MIN || opsLimit > crypto_pwhash_OPSLIMIT_MAX ||
      memLimit < crypto_pwhash_MEMLIMIT_MIN || memLimit > crypto_pwhash_MEMLIMIT_MAX) {
    return std::nullopt;
  }
  unsigned char hash[kHashBytes];
  if (crypto_pwhash(hash, sizeof hash, password.data(), password.size(), salt, opsLimit, memLimit,
                    crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  std::vector<char> text(
      sodium_base64_ENCODED_LEN(sizeof hash, sodium_base64_VARIANT_ORIGINAL_NO_PADDING));
  sodium_bin2base64(text.data(), text.size(), hash, sizeof hash,
                    sodium_base64_VARIANT_ORIGINAL_NO_PADDING);
  return settings + "$" + text.data();
}

bool SameHash(const std::string& a, const std::string& b) {
  return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace ws::platform
