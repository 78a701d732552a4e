#include "device/core/CActive.h"

#include "common/base/Text.h"
#include "device/core/CActiveScheduler.h"
#include "device/core/FatalFault.h"

namespace corvane {

namespace {
    std::atomic<std::int32_t> s_next_id { 1 };
}

CActive::CActive(CActiveScheduler& scheduler)
    : m_id(s_next_id.fetch_add(1))
    , m_scheduler(scheduler)
{
}

CActive::~CActive()
{
    if (is_active())
        fatal_fault(
            u"CActive::~CActive()", u"Active object " + to_wstring(m_id) + u" is already active");
}

void CActive::set_active()
{
    m_scheduler.set_active(*this);
}

void CActive::notify()
{
    m_scheduler.notify(*this);
}

void CActive::cancel()
{
    if (is_active())
        m_scheduler.cancel(*this);
}

} // namespace corvane
