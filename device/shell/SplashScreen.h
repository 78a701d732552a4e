#pragma once

#include "common/base/Text.h"
#include "device/shell/Screen.h"

#include <functional>
#include <memory>

namespace corvane {

class Properties;

// The program proper, which the splash starts once the language and the skin are loaded.
class StartedProgram {
public:
    virtual ~StartedProgram() = default;
    // At the end of the main loop: keep what must survive the run, then stop the network.
    virtual void save_state() = 0;
    virtual void kill_request() = 0;
};
// Builds the program over the loaded skin and language; may throw the skin errors.
using ProgramFactory = std::function<std::unique_ptr<StartedProgram>(Properties& properties)>;

// The first screen: built from the form "Splash" of the splash skin and shown as an animated
// overlay. Once it is fully on the display (the dimming behind it has reached half
// brightness), it loads the language and the chosen skin into properties of its own and closes.
// Main thread.
class SplashScreen final : public Screen {
public:
    // Builds from "Splash" (NodeNotFoundInSkin when the skin lacks it) and shows itself.
    SplashScreen(Properties& splash_properties, WString command_line, ProgramFactory factory = {});
    ~SplashScreen() override;

    void tick(double seconds) override;

    // The skin and language the program runs with once the splash has done its work.
    Properties& properties() { return *m_properties; }
    const WString& command_line() const { return m_command_line; }
    bool has_loaded() const { return m_loaded; }
    StartedProgram* program() const { return m_program.get(); }

private:
    void load_language_and_skin();

    WString m_command_line;
    ProgramFactory m_factory;
    std::unique_ptr<Properties> m_properties;
    std::unique_ptr<StartedProgram> m_program; // after m_properties: it uses them
    bool m_started { false };
    bool m_loaded { false };
};

} // namespace corvane
