#include "server/TicketOutbox.h"

#include "server/ServerLog.h"

#include "common/base/Text.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace corvane::server {

TicketOutbox::TicketOutbox(std::string folder)
    : m_folder(std::move(folder))
{
}

std::string TicketOutbox::block(const Text& ticket)
{
    return "--START-OF-TICKET--\r\n" + to_utf8(ticket) + "\r\n--END-OF-TICKET--";
}

bool TicketOutbox::deliver(
    int invitation_id, const Text& address, const Text& project_title, const Text& ticket)
{
    std::string first_line = to_utf8(project_title.substr(0, project_title.find(u'\n')));
    std::string content = "To: " + to_utf8(address) + "\r\nProject: " + first_line + "\r\n\r\n"
        + block(ticket) + "\r\n";
    std::lock_guard lock(m_lock);
    if (!m_folder.empty()) {
        std::string path = m_folder + "/" + std::to_string(invitation_id) + ".txt";
        std::string temporary = path + ".part";
        // Written beside and renamed, so a reader never sees half a ticket.
        int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool written = fd >= 0
            && ::write(fd, content.data(), content.size()) == ssize_t(content.size())
            && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
        if (written && std::rename(temporary.c_str(), path.c_str()) == 0) {
            log_line(
                "ticket for invitation " + std::to_string(invitation_id) + " written to " + path);
            return true;
        }
        ::unlink(temporary.c_str());
        log_line("cannot write " + path + "; the ticket goes to standard output");
    }
    // Never into the log: a ticket grants access to a project, and logs are kept, rotated and
    // read by more people than the operator who hands tickets out.
    std::printf("ticket for invitation %d to %s\n%s\n", invitation_id, to_utf8(address).c_str(),
        block(ticket).c_str());
    std::fflush(stdout);
    log_line(
        "ticket for invitation " + std::to_string(invitation_id) + " printed on standard output");
    return m_folder.empty();
}

} // namespace corvane::server
