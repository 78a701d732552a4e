#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

// The write side shared by the request writer and the reply writer, so that every record
// serialises itself once against this interface. The slot order (destructor, save_int64,
// save_int, save_string) is part of the contract with code built against older headers.
// A writer is used by one thread at a time.
class RpcWriter {
public:
    virtual ~RpcWriter() = default;

    // A 64-bit value: a bare hexadecimal token in requests, a reference to hexadecimal text in
    // replies and in the cache.
    virtual void save_int64(std::int64_t value) = 0;
    virtual void save_int(std::int32_t value) = 0;
    // Interns the text in the call's string table and writes its 1-based reference. The empty
    // string is a real string here, not the null reference.
    virtual void save_string(WStringView text) = 0;
};

} // namespace corvane
