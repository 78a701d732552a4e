#include "device/model/engine/InvitationTicket.h"

namespace corvane {

std::optional<WString> extract_ticket(WStringView text)
{
    std::size_t start = text.find(ticket_start_marker);
    if (start == WStringView::npos)
        return std::nullopt;
    start += ticket_start_marker.size();
    // The first end marker counts, even one before the start: such a text is no ticket.
    std::size_t end = text.find(ticket_end_marker);
    if (end == WStringView::npos || end <= start)
        return std::nullopt;
    WStringView ticket = text.substr(start, end - start);
    while (!ticket.empty() && ticket.front() < 0x20)
        ticket.remove_prefix(1);
    while (!ticket.empty() && ticket.back() < 0x20)
        ticket.remove_suffix(1);
    // Only line breaks between the markers is no ticket either.
    if (ticket.empty())
        return std::nullopt;
    return WString(ticket);
}

} // namespace corvane
