#include "server/PasswordHasher.h"

#include "server/Secrets.h"

#include "common/base/Text.h"

#include <sodium.h>

namespace corvane::server {

PasswordHasher::PasswordHasher(PasswordCost cost)
    : m_cost(cost)
{
    if (m_cost.operations < crypto_pwhash_OPSLIMIT_MIN)
        m_cost.operations = crypto_pwhash_OPSLIMIT_MIN;
    if (m_cost.memory_bytes < crypto_pwhash_MEMLIMIT_MIN)
        m_cost.memory_bytes = crypto_pwhash_MEMLIMIT_MIN;
    m_dummy_hash = hash(random_hex(16));
}

std::string PasswordHasher::hash(const Text& password) const
{
    std::string utf8 = to_utf8(password);
    char out[crypto_pwhash_STRBYTES];
    int result = crypto_pwhash_str_alg(out, utf8.data(), utf8.size(), m_cost.operations,
        m_cost.memory_bytes, crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(utf8.data(), utf8.size());
    if (result != 0)
        return {};
    return out;
}

bool PasswordHasher::verify(const std::string& stored_hash, const Text& password) const
{
    if (stored_hash.empty() || stored_hash.size() >= crypto_pwhash_STRBYTES) {
        verify_dummy(password);
        return false;
    }
    std::string utf8 = to_utf8(password);
    bool ok = crypto_pwhash_str_verify(stored_hash.c_str(), utf8.data(), utf8.size()) == 0;
    sodium_memzero(utf8.data(), utf8.size());
    return ok;
}

void PasswordHasher::verify_dummy(const Text& password) const
{
    std::string utf8 = to_utf8(password);
    // The outcome is meaningless; only the time spent matters.
    [[maybe_unused]] volatile int ignored
        = crypto_pwhash_str_verify(m_dummy_hash.c_str(), utf8.data(), utf8.size());
    sodium_memzero(utf8.data(), utf8.size());
}

} // namespace corvane::server
