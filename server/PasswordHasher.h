#pragma once

#include "server/Rows.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane::server {

// Argon2id cost. The default takes 100-300 ms per hash on the reference machine; tests pass a
// cheaper one so a run of many logins stays quick.
struct PasswordCost {
    std::uint64_t operations { 3 };
    std::size_t memory_bytes { 64u << 20 };

    static PasswordCost standard() { return {}; }
    static PasswordCost cheap() { return { 1, 8192 }; }
};

// Salted, slow password hashes as PHC strings ("$argon2id$v=19$m=...").
// Thread safety: all operations may run on any thread at once.
class PasswordHasher {
public:
    explicit PasswordHasher(PasswordCost cost);

    // Empty when the hash could not be computed (out of memory).
    std::string hash(const Text& password) const;

    // Constant time in the password. A missing account verifies against a dummy hash of the same
    // cost, so a wrong address takes as long as a wrong password.
    bool verify(const std::string& stored_hash, const Text& password) const;
    void verify_dummy(const Text& password) const;

    const PasswordCost& cost() const { return m_cost; }

private:
    PasswordCost m_cost;
    std::string m_dummy_hash;
};

} // namespace corvane::server
