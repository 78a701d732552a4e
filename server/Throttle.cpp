#include "server/Throttle.h"

#include "server/Secrets.h"

#include "common/base/Text.h"

namespace corvane::server {

std::optional<Throttle::Reservation> Throttle::reserve(
    const std::vector<std::string>& keys, std::int64_t now)
{
    std::vector<Hash> digests;
    for (const std::string& key : keys)
        digests.push_back(key_digest(from_utf8(key)));
    // One write transaction: counting and recording cannot be split by another process.
    auto transaction = m_storage.begin(TransactionKind::Write);
    for (const Hash& digest : digests) {
        if (transaction->count_login_failures(digest, now - m_window_ms) >= m_limit)
            return std::nullopt;
    }
    Reservation reservation;
    for (const Hash& digest : digests)
        reservation.ids.push_back(transaction->insert_login_failure(digest, now));
    transaction->commit();
    return reservation;
}

void Throttle::release(const Reservation& reservation)
{
    auto transaction = m_storage.begin(TransactionKind::Write);
    for (std::int64_t id : reservation.ids)
        transaction->delete_login_failure(id);
    transaction->commit();
}

} // namespace corvane::server
