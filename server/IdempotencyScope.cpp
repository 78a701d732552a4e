#include "server/IdempotencyScope.h"

#include "server/Service.h"

#include "common/base/Text.h"
#include "common/wire/ReplyWriter.h"

#include <sodium.h>

namespace corvane::server {

namespace {

    thread_local IdempotencyScope* s_scope = nullptr;

} // namespace

IdempotencyScope::IdempotencyScope(std::string key, std::string digest)
    : m_key(std::move(key))
    , m_digest(std::move(digest))
{
    s_scope = this;
}

IdempotencyScope::~IdempotencyScope()
{
    s_scope = nullptr;
}

void IdempotencyScope::check(StorageTransaction& transaction, int user_id, std::int64_t now)
{
    IdempotencyScope* scope = s_scope;
    if (!scope)
        return;
    // A few old records go in each writer's own transaction, so the table stays small even
    // when the housekeeping timer is off; the timer takes the rest in batches.
    transaction.purge_idempotency(now, 16);
    if (std::optional<IdempotencyRecord> found
        = transaction.find_idempotency(user_id, scope->m_key)) {
        if (found->digest != scope->m_digest)
            throw ServiceException(u"ERROR_IDEMPOTENCY_MISMATCH");
        throw IdempotentReplay { std::move(found->reply) };
    }
    scope->m_user_id = user_id;
    scope->m_now = now;
    scope->m_checked = true;
}

void IdempotencyScope::store(StorageTransaction& transaction, std::string reply)
{
    IdempotencyScope* scope = s_scope;
    transaction.insert_idempotency(
        scope->m_user_id, scope->m_key, scope->m_digest, reply, scope->m_now + lifetime_ms);
}

void IdempotencyScope::remember(StorageTransaction& transaction, const VizTask& result)
{
    if (!s_scope || !s_scope->m_checked)
        return;
    ReplyWriter writer;
    result.save(writer);
    std::string reply;
    writer.finish_utf8(reply);
    store(transaction, std::move(reply));
}

void IdempotencyScope::remember(StorageTransaction& transaction, std::int32_t result)
{
    if (!s_scope || !s_scope->m_checked)
        return;
    ReplyWriter writer;
    writer.save_int(result);
    std::string reply;
    writer.finish_utf8(reply);
    store(transaction, std::move(reply));
}

std::string IdempotencyScope::request_digest(std::string_view body, const std::u16string& session)
{
    // Tokens are separated by U+FFFF; the session appears once, as an entry of the string
    // table (the method's name is in it too). A number token never has its 32 hex digits.
    constexpr std::string_view separator = "\xEF\xBF\xBF";
    std::string session_text = to_utf8(session);
    std::string canonical;
    canonical.reserve(body.size());
    std::size_t at = 0;
    while (at <= body.size()) {
        std::size_t end = body.find(separator, at);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view token = body.substr(at, end - at);
        if (session_text.empty() || token != session_text)
            canonical.append(token);
        if (end == body.size())
            break;
        canonical.append(separator);
        at = end + separator.size();
    }
    std::string digest(crypto_hash_sha256_BYTES, '\0');
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()),
        reinterpret_cast<const unsigned char*>(canonical.data()), canonical.size());
    return digest;
}

} // namespace corvane::server
