#pragma once

#include <string>
#include <vector>

namespace corvane {

// Special folders that path macros name.
enum class SpecialFolder {
    Documents,
    Windows,
    Startup,
    Programs,
    StartMenu,
    ProgramFiles,
};

// Process-level services of the operating system. Main thread unless noted.
class System {
public:
    virtual ~System() = default;
    // Full path of the running executable, UTF-8; empty if it cannot be found. Any thread.
    virtual std::string executable_path() const = 0;
    // Empty when the folder cannot be resolved. Any thread.
    virtual std::string special_folder(SpecialFolder folder) const = 0;
    // Folder for temporary files and the debug log, without a trailing separator. Any thread.
    virtual std::string temp_folder() const = 0;
    // Starts the platform's opener for a URL without waiting; false if it could not start.
    virtual bool open_url(const std::string& url) = 0;
    // The device's emergency numbers, in order.
    virtual std::vector<std::u16string> emergency_numbers() const = 0;
    // Dials a number; answers false where nothing can be dialled.
    virtual bool dial(const std::u16string& number) = 0;
    // A modal message with an OK button; caption and text as the user reads them.
    virtual void message_box(const std::u16string& caption, const std::u16string& text) = 0;
};

} // namespace corvane
