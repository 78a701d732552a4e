#include "device/core/FatalFault.h"

#include "device/core/Log.h"

#include <cstdlib>

namespace corvane {

void fatal_fault(std::u16string_view function, std::u16string_view message)
{
    LogStream& log = get_log();
    log << u"Gluck: " << message << u" @ " << function << u"\n";
    log.flush();
    std::_Exit(0);
}

} // namespace corvane
