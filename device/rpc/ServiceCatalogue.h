#pragma once

#include "common/wire/RpcReader.h"
#include "common/wire/RpcWriter.h"

#include <cstdint>
#include <span>
#include <vector>

namespace corvane {

// Every call of "com.ulmar.viz.client.rpc.VIZService" that the client makes: the method, the
// key under which the client waits for its reply, the parameter type names and the reply.
// The client writes its calls from this table and the service may select its handlers by it.

inline constexpr WStringView service_interface_name = u"com.ulmar.viz.client.rpc.VIZService";
inline constexpr WStringView service_strong_name = u"3C9A1E77B0D24F6A8E15C2B9D07F4A63";

// Parameter type names as they appear in a call: plain names, no hash.
inline constexpr WStringView string_type = u"java.lang.String";
inline constexpr WStringView int_type = u"I";
inline constexpr WStringView boolean_type = u"Z";
inline constexpr WStringView long_type = u"java.lang.Long";
inline constexpr WStringView vector_type = u"java.util.Vector";
inline constexpr WStringView filter_type = u"com.ulmar.viz.client.Filter";
inline constexpr WStringView task_type = u"com.ulmar.viz.client.VizTask";

inline constexpr std::int32_t list_page_size = 25;
inline constexpr std::int32_t changes_page_size = 10;
inline constexpr std::int32_t share_level = 2; // share a project or invite to it
inline constexpr std::int32_t remove_level = 0; // take a participant or an invitation off

enum class ReplyKind {
    LoginKey, // String
    AuthInfo, // AuthInfo
    TaskVector, // Vector of VizTask
    FilteredNews, // FilteredNews
    ChangeVector, // Vector of Change
    Task, // VizTask
    Flag, // int, true when not 0
    UserVector, // Vector of User
    Nothing, // nothing is read
    TaskList, // VizList
};

struct CallSpec {
    WStringView method;
    WStringView key; // the pending method key while the call is in flight
    std::span<const WStringView> parameter_types;
    ReplyKind reply;
};

std::span<const CallSpec> service_catalogue();
const CallSpec* find_call_by_key(WStringView key);
// The entry for a method and its parameter type names, as a received call names them.
const CallSpec* find_call(WStringView method, std::span<const WString> parameter_types);

// Who the client is talking to: written at the head of every call.
struct ServiceIdentity {
    WString moduleBaseUrl; // the service's base URL
    WString strongName { service_strong_name };
    WString interfaceName { service_interface_name };
};

// The base URL, strong name, interface and method, the parameter count and the parameter
// type names.
void write_call_header(RpcWriter& writer, const ServiceIdentity& identity, const CallSpec& call);

// The call header as the service receives it.
struct CallHeader {
    ServiceIdentity identity;
    WString method;
    std::vector<WString> parameterTypes;
};
// Answers false when a header element is missing or the parameter count is impossible.
[[nodiscard]] bool read_call_header(RpcReader& reader, CallHeader& header);

} // namespace corvane
