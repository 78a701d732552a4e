#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

class Engine;
class Properties;

// What the user list needs from the program around it: the model, the skin, and the tree's
// filter. The document is the host in the program; it outlives the screen.
class SharingHost {
public:
    virtual ~SharingHost() = default;
    virtual Engine& engine() = 0;
    virtual Properties& properties() = 0;
    // Makes `id` (-1 for every user) the user whose tasks the tree shows.
    virtual void select_filter_user(std::int32_t id) = 0;
    // Tells the user something went wrong: the language text of `key`, with "%name%" replaced.
    virtual void show_message(WStringView key, WStringView name) = 0;
};

} // namespace corvane
