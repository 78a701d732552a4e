#include "device/core/FatalFault.h"

#include "device/core/Log.h"

#include <cstdlib>

namespace corvane {

void fatal_fault(std::u16string_view function, std::u16string_view message)
{
    LogStream& log = get_log();
    log << u"Gluck: " << message << u" @ " << function << u"\n";
    log.flush();
    // The program ends with 0, as it always has. Test runs set CORVANE_FATAL_EXIT_CODE so an
    // unexpected fault cannot pass for a test that ran to its end.
    int code = 0;
    if (const char* text = std::getenv("CORVANE_FATAL_EXIT_CODE"))
        code = std::atoi(text);
    std::_Exit(code);
}

} // namespace corvane
