#pragma once

namespace corvane {

class Properties;

// A screen that rebuilds its element tree when a new skin has been loaded. Main thread.
class ReloadListener {
public:
    virtual ~ReloadListener() = default;
    virtual void reload_skin(Properties& properties) = 0;
};

} // namespace corvane
