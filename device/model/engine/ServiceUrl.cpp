#include "device/model/engine/ServiceUrl.h"

#include "device/core/Registry.h"

namespace corvane {

WString resolve_service_url(WStringView command_line_choice)
{
    WString url(command_line_choice);
    if (url.empty()) {
        WString stored;
        if (reg_read_string(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"ServiceURL", stored))
            url = stored;
    }
    if (url.empty())
        url = WString(default_service_url);
    if (url.back() != u'/')
        url.push_back(u'/');
    return url;
}

} // namespace corvane
