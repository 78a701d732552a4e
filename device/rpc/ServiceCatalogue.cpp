#include "device/rpc/ServiceCatalogue.h"

#include <algorithm>
#include <array>

namespace corvane {

namespace {

    constexpr WStringView S = string_type;
    constexpr WStringView I = int_type;
    constexpr WStringView Z = boolean_type;
    constexpr WStringView L = long_type;
    constexpr WStringView V = vector_type;
    constexpr WStringView F = filter_type;
    constexpr WStringView T = task_type;

    constexpr std::array<WStringView, 2> authenticate2_types { S, S };
    constexpr std::array<WStringView, 1> authenticate_types { S };
    constexpr std::array<WStringView, 3> register_types { S, S, S };
    constexpr std::array<WStringView, 3> children_types { S, F, I };
    constexpr std::array<WStringView, 4> news_types { S, F, I, I };
    constexpr std::array<WStringView, 4> changes_types { S, I, I, I };
    constexpr std::array<WStringView, 3> task_write_types { S, T, S };
    constexpr std::array<WStringView, 4> permission_types { S, I, S, I };
    constexpr std::array<WStringView, 2> id_types { S, I };
    constexpr std::array<WStringView, 2> users_types { S, V };
    constexpr std::array<WStringView, 2> ticket_types { S, S };
    constexpr std::array<WStringView, 2> wait_types { S, I };
    constexpr std::array<WStringView, 12> list_types { S, F, I, Z, Z, Z, L, L, S, I, I, S };

    const std::array<CallSpec, 16> catalogue { {
        { u"authenticate", u"authenticate2", authenticate2_types, ReplyKind::LoginKey },
        { u"authenticate", u"authenticate", authenticate_types, ReplyKind::AuthInfo },
        { u"registerUser", u"registerUser", register_types, ReplyKind::LoginKey },
        { u"getFilteredChildren", u"getFilteredChildren", children_types, ReplyKind::TaskVector },
        { u"loadTask", u"loadTask", children_types, ReplyKind::TaskVector },
        { u"getFilteredNews", u"getFilteredNews", news_types, ReplyKind::FilteredNews },
        { u"getChanges", u"getChanges", changes_types, ReplyKind::ChangeVector },
        { u"updateTask", u"updateTask", task_write_types, ReplyKind::Task },
        { u"createTask", u"createTask", task_write_types, ReplyKind::Task },
        { u"changePermission", u"changePermission", permission_types, ReplyKind::Flag },
        { u"deleteTask", u"deleteTask", id_types, ReplyKind::Flag },
        { u"getUsers", u"getUsers", users_types, ReplyKind::UserVector },
        { u"activateTicket", u"activateTicket", ticket_types, ReplyKind::Flag },
        { u"setViewed", u"setViewed", id_types, ReplyKind::Nothing },
        { u"getFilteredList", u"getFilteredList", list_types, ReplyKind::TaskList },
        // Beside the queue, on its own request: answers the news cursor once others' changes
        // are past the one sent, or the same cursor after a while.
        { u"waitNews", u"waitNews", wait_types, ReplyKind::Flag },
    } };

} // namespace

std::span<const CallSpec> service_catalogue()
{
    return catalogue;
}

const CallSpec* find_call_by_key(WStringView key)
{
    for (const CallSpec& call : catalogue) {
        if (call.key == key)
            return &call;
    }
    return nullptr;
}

const CallSpec* find_call(WStringView method, std::span<const WString> parameter_types)
{
    for (const CallSpec& call : catalogue) {
        if (call.method == method
            && std::equal(call.parameter_types.begin(), call.parameter_types.end(),
                parameter_types.begin(), parameter_types.end(),
                [](WStringView expected, const WString& found) { return expected == found; }))
            return &call;
    }
    return nullptr;
}

void write_call_header(RpcWriter& writer, const ServiceIdentity& identity, const CallSpec& call)
{
    writer.save_string(identity.moduleBaseUrl);
    writer.save_string(identity.strongName);
    writer.save_string(identity.interfaceName);
    writer.save_string(call.method);
    writer.save_int(static_cast<std::int32_t>(call.parameter_types.size()));
    for (WStringView type : call.parameter_types)
        writer.save_string(type);
}

bool read_call_header(RpcReader& reader, CallHeader& header)
{
    header.identity.moduleBaseUrl = reader.load_string();
    header.identity.strongName = reader.load_string();
    header.identity.interfaceName = reader.load_string();
    header.method = reader.load_string();
    std::int32_t count = reader.load_int();
    if (reader.has_error() || count < 0 || static_cast<std::size_t>(count) > reader.remaining())
        return false;
    header.parameterTypes.clear();
    for (std::int32_t i = 0; i < count; ++i)
        header.parameterTypes.emplace_back(reader.load_string());
    return !reader.has_error();
}

} // namespace corvane
