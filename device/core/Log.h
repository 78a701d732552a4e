#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

// The debug log: a UTF-16 stream that is a file or nothing. Callers compose each line from
// appends and write their own "\n"; nothing is added implicitly.
// Thread safety: get_log() and the appends may be used from any thread.
class LogStream {
public:
    virtual ~LogStream() = default;
    virtual void write(const char16_t* begin, const char16_t* end) = 0;
    virtual void flush() = 0;
};

// Answers the stream for the current "Log" setting (HKEY_CURRENT_USER\Software\Ulmar), which is
// read on every call so logging can be switched while the program runs. Switching it on starts
// a new file "<temp folder>/<executable name>.txt" with a byte-order mark. The stream answered
// stays valid until exit, so a thread still writing to it is never left with a dangling stream;
// after a switch its writes go to the new file or nowhere.
LogStream& get_log();

// Whether the last get_log() found logging enabled (switches the on-screen diagnostic line).
bool is_log_enabled();

LogStream& operator<<(LogStream& log, std::u16string_view text);
LogStream& operator<<(LogStream& log, const char16_t* text);
LogStream& operator<<(LogStream& log, const std::u16string& text);
// Narrow text is widened byte by byte.
LogStream& operator<<(LogStream& log, std::string_view text);
LogStream& operator<<(LogStream& log, const char* text);
LogStream& operator<<(LogStream& log, const std::string& text);
LogStream& log_decimal(LogStream& log, std::int64_t value);
LogStream& log_decimal(LogStream& log, std::uint64_t value);

// Integers are written in signed (or unsigned) decimal.
template<std::integral T>
requires(!std::same_as<T, char> && !std::same_as<T, char16_t> && !std::same_as<T, bool>) LogStream&
operator<<(LogStream& log, T value)
{
    if constexpr (std::is_signed_v<T>)
        return log_decimal(log, static_cast<std::int64_t>(value));
    else
        return log_decimal(log, static_cast<std::uint64_t>(value));
}

} // namespace corvane
