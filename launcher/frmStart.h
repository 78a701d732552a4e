#pragma once

#include "launcher/COptions.h"
#include "launcher/Platform.h"

#include <string>
#include <string_view>

namespace lumbra {

// The launcher window's behaviour: its set-up from the settings, choosing and showing pages,
// and turning clicks on page elements into actions. Main thread only.
class frmStart {
public:
    // Clicks on the element with this id minimise the window instead of acting.
    static constexpr std::u16string_view minimise_button_id = u"btnMinimize";
    // The HTML view's name in the "Forms" settings: "WebBrowserToolTip" is its tool-tip.
    static constexpr std::u16string_view view_control_name = u"WebBrowser";
    // Only the first frames of the top document react to clicks.
    static constexpr int hooked_frame_count = 6;

    // Not owned: all three outlive the form. `program_folder` resolves relative page paths.
    frmStart(const COptions& options, Platform& platform, StartWindowView& view,
        std::string program_folder);

    frmStart(const frmStart&) = delete;
    frmStart& operator=(const frmStart&) = delete;

    // Caption, frameless placement at the origin, size and shape from "layout", then the
    // page section "ui_index".
    void set_up();

    // Loads the page that page section `section` names for the user's language, or its
    // "default" page; nothing happens when neither is set.
    void show_page(std::u16string_view section);

    // Runs the actions of the clicked element's section: the application manager, then the
    // "shellexecute" target, then "close". Returns the answer for the page: false for a
    // missing element and for the minimise button, true otherwise.
    bool handle_click(const FrameClick& click);

private:
    void start_application_manager(const std::u16string& argument, const std::u16string& fail);
    void open_target(
        std::u16string_view section, const std::u16string& target, const std::u16string& fail);

    const COptions& m_options;
    Platform& m_platform;
    StartWindowView& m_view;
    std::string m_program_folder;
};

// Reads a "layout" number the lenient way: leading blanks and anything after the number are
// ignored, and text without a number gives 0.
double parse_layout_number(std::u16string_view value);

} // namespace lumbra
