#pragma once

#include <string>
#include <string_view>

namespace lumbra {

// Name of the script message handler through which hooked frames report clicks.
constexpr std::string_view page_message_handler = "lumbra";

// The script injected into every frame of every page. In a frame of the top document that is
// among the first frmStart::hooked_frame_count frames it answers context-menu and
// selection-start events on the body with "false" and reports clicks as
// { frame, hasElement, id } to the message handler. Its own answer to a click follows the
// launcher's rule, so the page sees it at once: false for no element or the minimise button.
std::string page_script();

} // namespace lumbra
