#pragma once

#include "server/Rows.h"

#include <cstddef>
#include <string>

// Random keys and tickets and their digests. Only digests reach the store, so a copied
// database grants nobody a session.
namespace corvane::server {

// Must run before any other call here; safe to call more than once, from any thread.
bool initialise_secrets();

// count random bytes from the system generator as lower-case hex digits.
Text random_hex(std::size_t count);

// The raw 32-byte SHA-256 digest of the UTF-8 form of a key.
std::string key_digest(const Text& key);

std::string to_hex(const std::string& bytes);

} // namespace corvane::server
