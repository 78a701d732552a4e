#include "server/Service.h"

#include "server/IdempotencyScope.h"
#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/UserView.h"
#include "server/Validation.h"

#include "common/base/Text.h"

namespace corvane::server {

static constexpr int max_login_keys_per_user = 20;
static constexpr int purge_batch = 500;

Service::Service(Storage& storage, const ServiceConfig& config, ServiceClock& clock,
    const PasswordHasher& hasher, TicketOutbox& outbox)
    : m_storage(storage)
    , m_config(config)
    , m_clock(clock)
    , m_hasher(hasher)
    , m_outbox(outbox)
    , m_throttle(storage, config.throttle_limit, config.throttle_window_ms)
{
}

// The cached read of this thread whose session check the next read call may rely on.
namespace {

    thread_local Service::CachedRead* s_cached_read = nullptr;

} // namespace

static bool is_session_over(const ServiceConfig& config, std::int64_t last_use, std::int64_t now)
{
    return last_use + config.session_idle_ms <= now;
}

// The idle time restarts with each call, but writing that down on every read would turn every
// read into a write: the stamp moves at most once per interval.
static bool is_touch_due(const ServiceConfig& config, std::int64_t last_use, std::int64_t now)
{
    std::int64_t touch_interval = std::min<std::int64_t>(minute_ms, config.session_idle_ms / 10);
    return now - last_use >= touch_interval;
}

Service::Call Service::open_call(const std::u16string& session, TransactionKind kind)
{
    std::string hash = key_digest(session);
    CachedRead* cached = s_cached_read;
    if (cached && &cached->m_service == this && kind == TransactionKind::Read
        && cached->m_hash == hash) {
        // The session was found valid a moment ago; the read may as well have arrived then.
        s_cached_read = nullptr; // A second call of the request checks again.
        return Call { m_storage.begin(kind), cached->m_state.user_id };
    }
    std::optional<KnownSessions::Entry> known;
    if (kind == TransactionKind::Read)
        known = m_known_sessions.find(hash);
    if (known && !is_touch_due(m_config, known->last_use, m_clock.now_ms())) {
        // The store's answer is still the judge: nothing read leaves before it is in.
        auto transaction = m_storage.begin(kind);
        int user_id = known->user_id;
        transaction->check_session_with_first_read(
            hash, [this, hash, user_id](const std::optional<KeyRecord>& record) {
                if (!record || record->user_id != user_id
                    || is_session_over(m_config, record->last_use, m_clock.now_ms())) {
                    m_known_sessions.forget(hash);
                    throw ServiceException(u"NOT_LOGGED");
                }
            });
        return Call { std::move(transaction), user_id };
    }
    for (;;) {
        auto transaction = m_storage.begin(kind);
        std::optional<SessionState> record = transaction->find_session_state(hash);
        std::int64_t now = m_clock.now_ms();
        if (!record || is_session_over(m_config, record->last_use, now))
            throw ServiceException(u"NOT_LOGGED");
        if (is_touch_due(m_config, record->last_use, now)) {
            if (kind == TransactionKind::Read) {
                kind = TransactionKind::Write;
                continue; // Again as a writer; the read snapshot is dropped unused.
            }
            transaction->touch_session(hash, now); // Known only once another read finds it.
        }
        if (kind == TransactionKind::Write)
            IdempotencyScope::check(*transaction, record->user_id, now);
        m_known_sessions.remember(hash, { record->user_id, record->last_use });
        return Call { std::move(transaction), record->user_id };
    }
}

Service::CachedRead::CachedRead(Service& service, const std::u16string& session)
    : m_service(service)
    , m_hash(key_digest(session))
{
    // Asked before every cached read, so the common case is one query without a transaction.
    std::optional<SessionState> found = service.m_storage.find_session_state(m_hash);
    std::int64_t now = service.m_clock.now_ms();
    if (!found || is_session_over(service.m_config, found->last_use, now))
        throw ServiceException(u"NOT_LOGGED");
    if (!is_touch_due(service.m_config, found->last_use, now)) {
        service.m_known_sessions.remember(m_hash, { found->user_id, found->last_use });
        m_state = ReadState { found->user_id, found->seq, found->stamp };
        s_cached_read = this;
        return;
    }
    Call call = service.open_call(session, TransactionKind::Read);
    m_state.user_id = call.user_id;
    m_state.seq = call.transaction->current_seq();
    std::optional<UserRow> user = call.transaction->find_user(call.user_id);
    m_state.stamp = user ? user->stamp : 0;
    call.transaction->commit();
}

Service::CachedRead::~CachedRead()
{
    if (s_cached_read == this)
        s_cached_read = nullptr;
}

std::u16string Service::new_login_key(StorageTransaction& transaction, int user_id)
{
    Text key = random_hex(32);
    transaction.insert_login_key(key_digest(key), user_id, m_clock.now_ms());
    transaction.prune_login_keys(user_id, max_login_keys_per_user);
    return key;
}

std::u16string Service::authenticate(
    const std::u16string& email, const std::u16string& password, const std::string& client_address)
{
    Text account = normalise_address(email);
    std::optional<Throttle::Reservation> attempt;
    if (m_config.throttling) {
        attempt = m_throttle.reserve(
            { "account:" + to_utf8(account), "address:" + client_address }, m_clock.now_ms());
        if (!attempt)
            throw ServiceException(u"ERROR_TOO_MANY_ATTEMPTS");
    }

    std::optional<UserRow> user;
    {
        auto transaction = m_storage.begin(TransactionKind::Read);
        user = transaction->find_user_by_account(account);
    }
    // The slow hash runs outside any transaction so it never holds up other callers.
    bool accepted = false;
    if (user)
        accepted = m_hasher.verify(user->password_hash, password);
    else
        m_hasher.verify_dummy(password);
    if (!accepted) {
        log_line("login refused for an account from " + client_address);
        return {}; // The attempt stays counted.
    }
    if (attempt)
        m_throttle.release(*attempt);
    auto transaction = m_storage.begin(TransactionKind::Write);
    if (!transaction->find_user(user->id))
        return {};
    Text key = new_login_key(*transaction, user->id);
    transaction->commit();
    return key;
}

AuthInfo Service::authenticate_key(const std::u16string& login_key)
{
    auto transaction = m_storage.begin(TransactionKind::Write);
    std::string hash = key_digest(login_key);
    std::optional<KeyRecord> record = transaction->find_login_key(hash);
    std::int64_t now = m_clock.now_ms();
    if (!record || record->last_use + m_config.login_key_lifetime_ms <= now)
        throw ServiceException(u"ERROR_LOGIN_EXPIRED");
    std::optional<UserRow> user = transaction->find_user(record->user_id);
    if (!user)
        throw ServiceException(u"ERROR_LOGIN_EXPIRED");
    transaction->touch_login_key(hash, now);
    Text session = random_hex(16);
    transaction->insert_session(key_digest(session), user->id, now);
    AuthInfo info;
    info.newsCursor = static_cast<std::int32_t>(transaction->current_seq());
    info.session = session;
    info.userId = user->id;
    info.serverVersion = m_config.server_version;
    info.newsStamp = user->stamp;
    transaction->commit();
    return info;
}

std::u16string Service::register_user(const std::u16string& email, const std::u16string& password,
    const std::u16string& name, const std::string& client_address)
{
    std::optional<Throttle::Reservation> attempt;
    if (m_config.throttling) {
        attempt = m_throttle.reserve({ "register:" + client_address }, m_clock.now_ms());
        if (!attempt)
            throw ServiceException(u"ERROR_TOO_MANY_ATTEMPTS");
    }
    // A refusal leaves the attempt counted.
    auto refuse = [&](const char16_t* key) { throw ServiceException(key); };
    Text account = normalise_address(email);
    if (!is_valid_address(account))
        refuse(u"ERROR_BAD_EMAIL");
    if (password.size() < 6 || password.size() > 256)
        refuse(u"ERROR_BAD_PASSWORD");
    Text display_name = trim_text(name);
    if (!is_valid_name(display_name))
        refuse(u"ERROR_BAD_NAME");
    {
        auto transaction = m_storage.begin(TransactionKind::Read);
        if (transaction->find_user_by_account(account))
            return {};
    }
    std::string hash = m_hasher.hash(password);
    if (hash.empty())
        throw StorageError("password hashing failed");
    int user_id = 0;
    Text key;
    {
        auto transaction = m_storage.begin(TransactionKind::Write);
        if (transaction->find_user_by_account(account))
            return {};
        user_id = transaction->insert_user(account, display_name, hash);
        key = new_login_key(*transaction, user_id);
        transaction->commit();
    }
    if (attempt)
        m_throttle.release(*attempt);
    log_line("registered user " + std::to_string(user_id));
    return key;
}

int Service::create_user(const std::u16string& email, const std::u16string& password,
    const std::u16string& name, std::string& error)
{
    Text account = normalise_address(email);
    if (!is_valid_address(account)) {
        error = "not a valid e-mail address";
        return 0;
    }
    if (password.size() < 6 || password.size() > 256) {
        error = "the password needs 6 to 256 characters";
        return 0;
    }
    Text display_name = trim_text(name);
    if (!is_valid_name(display_name)) {
        error = "the name is longer than 100 characters or holds control characters";
        return 0;
    }
    std::string hash = m_hasher.hash(password);
    auto transaction = m_storage.begin(TransactionKind::Write);
    if (transaction->find_user_by_account(account)) {
        error = "the account exists already";
        return 0;
    }
    int id = transaction->insert_user(account, display_name, hash);
    transaction->commit();
    return id;
}

namespace {

    // Runs `remove` for one account's rows (or everyone's, for an empty account) in one write
    // transaction; answers the rows removed, or -1 for an unknown account.
    template<typename Remove>
    int remove_for_account(Storage& storage, const std::u16string& account, Remove remove)
    {
        auto transaction = storage.begin(TransactionKind::Write);
        std::optional<int> user_id;
        if (!account.empty()) {
            std::optional<UserRow> user
                = transaction->find_user_by_account(normalise_address(account));
            if (!user)
                return -1;
            user_id = user->id;
        }
        int count = remove(*transaction, user_id);
        transaction->commit();
        return count;
    }

} // namespace

int Service::expire_sessions(const std::u16string& account)
{
    return remove_for_account(m_storage, account,
        [](StorageTransaction& t, std::optional<int> user) { return t.delete_sessions(user); });
}

int Service::expire_login_keys(const std::u16string& account)
{
    return remove_for_account(m_storage, account,
        [](StorageTransaction& t, std::optional<int> user) { return t.delete_login_keys(user); });
}

int Service::purge()
{
    std::int64_t now = m_clock.now_ms();
    std::int64_t horizon = 0;
    {
        auto transaction = m_storage.begin(TransactionKind::Write);
        horizon = transaction->mark_seq(
            now, transaction->current_seq(), now - m_config.event_lifetime_ms);
        // Raised before the events go, so no news call reads a history with a hole in it.
        transaction->set_events_horizon(horizon);
        transaction->commit();
    }
    using Step = int (StorageTransaction::*)(std::int64_t, int);
    const std::pair<Step, std::int64_t> steps[] = {
        { &StorageTransaction::purge_sessions, now - m_config.session_idle_ms },
        { &StorageTransaction::purge_login_keys, now - m_config.login_key_lifetime_ms },
        { &StorageTransaction::purge_invitations, now },
        { &StorageTransaction::purge_login_failures, now - m_throttle.window_ms() },
        { &StorageTransaction::purge_events, horizon },
        { &StorageTransaction::purge_idempotency, now },
    };
    int removed = 0;
    for (auto [step, bound] : steps) {
        for (;;) {
            auto transaction = m_storage.begin(TransactionKind::Write);
            int count = ((*transaction).*step)(bound, purge_batch);
            transaction->commit();
            removed += count;
            if (count < purge_batch)
                break;
        }
    }
    return removed;
}

} // namespace corvane::server
