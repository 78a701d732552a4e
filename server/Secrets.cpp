#include "server/Secrets.h"

#include "common/base/Text.h"

#include <sodium.h>

#include <vector>

namespace corvane::server {

bool initialise_secrets()
{
    return sodium_init() >= 0;
}

std::string to_hex(const std::string& bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 15]);
    }
    return hex;
}

Text random_hex(std::size_t count)
{
    std::string bytes(count, '\0');
    randombytes_buf(bytes.data(), bytes.size());
    std::string hex = to_hex(bytes);
    sodium_memzero(bytes.data(), bytes.size());
    return Text(hex.begin(), hex.end());
}

std::string key_digest(const Text& key)
{
    std::string utf8 = to_utf8(key);
    std::string digest(crypto_hash_sha256_BYTES, '\0');
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()),
        reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size());
    return digest;
}

} // namespace corvane::server
