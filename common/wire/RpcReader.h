#pragma once

#include "common/base/Text.h"

#include <cstddef>
#include <cstdint>

namespace corvane {

// The read side shared by the reply reader and the request reader, so that every record
// reads itself once against this interface. The first three slots follow the writer's order
// (destructor, load_int, load_int64, load_string); the bounds queries come after them.
// A reader is used by one thread at a time.
class RpcReader {
public:
    virtual ~RpcReader() = default;

    virtual std::int32_t load_int() = 0;
    virtual std::int64_t load_int64() = 0;
    // The reference 0 reads as the empty string. The view stays valid until the reader parses
    // its next text or is destroyed.
    virtual WStringView load_string() = 0;

    // Number of values not yet read. Every element of a vector or array takes at least one
    // value, so a count above this can only come from a corrupt or hostile text.
    virtual std::size_t remaining() const = 0;
    // Set once a value could not be taken (a string reference outside the table, an
    // ill-formed token) and kept until the next parse. A record read that ends with this set
    // has failed, whatever its fields look like.
    virtual bool has_error() const = 0;
};

} // namespace corvane
