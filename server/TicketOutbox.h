#pragma once

#include "server/Rows.h"

#include <mutex>
#include <string>

namespace corvane::server {

// Delivers invitation tickets in place of e-mail: a file "<invitation id>.txt" in the outbox
// folder, or the ticket block on standard output when there is no folder; never the log.
// Thread safety: any thread.
class TicketOutbox {
public:
    explicit TicketOutbox(std::string folder);

    // False when the file could not be written (the ticket then goes to standard output as
    // well, so the invitation is never left unreachable).
    bool deliver(
        int invitation_id, const Text& address, const Text& project_title, const Text& ticket);

    const std::string& folder() const { return m_folder; }
    static std::string block(const Text& ticket);

private:
    std::string m_folder;
    std::mutex m_lock;
};

} // namespace corvane::server
