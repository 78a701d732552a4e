#pragma once

#include "device/core/Screen.h"
#include "device/core/Text.h"

#include <memory>

namespace corvane {

class Properties;

// The first screen: built from the form "Splash" of the splash skin and shown as an animated
// overlay. Once it is fully on the display (the dimming behind it has reached half
// brightness), it loads the language and the chosen skin into properties of its own and closes.
// Main thread.
class SplashScreen final : public Screen {
public:
    // Builds from "Splash" (NodeNotFoundInSkin when the skin lacks it) and shows itself.
    SplashScreen(Properties& splash_properties, WString command_line);
    ~SplashScreen() override;

    void tick(double seconds) override;

    // The skin and language the program runs with once the splash has done its work.
    Properties& properties() { return *m_properties; }
    const WString& command_line() const { return m_command_line; }
    bool has_loaded() const { return m_loaded; }

private:
    void load_language_and_skin();

    WString m_command_line;
    std::unique_ptr<Properties> m_properties;
    bool m_started { false };
    bool m_loaded { false };
};

} // namespace corvane
