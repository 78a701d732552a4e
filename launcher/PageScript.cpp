#include "launcher/PageScript.h"

#include "launcher/Text.h"
#include "launcher/frmStart.h"

namespace lumbra {

namespace {

    // Placeholders: @FRAMES@, @MINIMISE@, @HANDLER@.
    constexpr std::string_view s_template = R"js((function () {
    "use strict";
    if (window === window.top || window.parent !== window.top)
        return;
    var frames = window.top.frames;
    var index = -1;
    for (var i = 0; i < frames.length && i < @FRAMES@; ++i) {
        if (frames[i] === window) {
            index = i;
            break;
        }
    }
    var body = document.body;
    if (index < 0 || !body)
        return;
    var handler = window.webkit.messageHandlers["@HANDLER@"];
    function refuse(event) {
        event.preventDefault();
        return false;
    }
    body.addEventListener("contextmenu", refuse);
    body.addEventListener("selectstart", refuse);
    body.addEventListener("click", function (event) {
        var target = event.target;
        var element = null;
        if (target && target.nodeType === Node.ELEMENT_NODE)
            element = target.closest("[id]");
        if (!element)
            element = document.activeElement;
        var id = element ? String(element.id) : "";
        handler.postMessage({ frame: index, hasElement: !!element, id: id });
        if (!element || id === "@MINIMISE@")
            return refuse(event);
        return true;
    });
})();
)js";

    void replace_all(std::string& text, std::string_view name, std::string_view value)
    {
        for (std::size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    }

} // namespace

std::string page_script()
{
    std::string script(s_template);
    replace_all(script, "@FRAMES@", std::to_string(frmStart::hooked_frame_count));
    replace_all(script, "@MINIMISE@", to_utf8(frmStart::minimise_button_id));
    replace_all(script, "@HANDLER@", page_message_handler);
    return script;
}

} // namespace lumbra
