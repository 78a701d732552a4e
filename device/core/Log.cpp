#include "device/core/Log.h"

#include "common/base/DebugTrace.h"
#include "common/base/Text.h"
#include "device/core/File.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/platform/Platform.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

namespace {

    class NullLogStream final : public LogStream {
    public:
        void write(const char16_t*, const char16_t*) override { }
        void flush() override { }
    };

    // Writes UTF-16LE. A file that cannot be created leaves a stream whose writes do nothing.
    class FileLogStream final : public LogStream {
    public:
        // Starts a fresh file in place, so a writer still holding this stream lands in it.
        void restart(const WString& path)
        {
            std::lock_guard lock(m_mutex);
            m_file.close();
            if (m_file.open(path, FileMode::Write) && m_file.size() == 0) {
                static const std::uint8_t bom[] = { 0xFF, 0xFE };
                (void)m_file.write(bom, sizeof bom);
            }
        }

        void write(const char16_t* begin, const char16_t* end) override
        {
            std::lock_guard lock(m_mutex);
            m_bytes.clear();
            for (const char16_t* c = begin; c != end; ++c) {
                m_bytes.push_back(static_cast<std::uint8_t>(*c & 0xFF));
                m_bytes.push_back(static_cast<std::uint8_t>(*c >> 8));
            }
            (void)m_file.write(m_bytes.data(), static_cast<std::uint32_t>(m_bytes.size()));
        }

        void flush() override
        {
            std::lock_guard lock(m_mutex);
            m_file.flush();
        }

    private:
        std::mutex m_mutex;
        File m_file;
        std::vector<std::uint8_t> m_bytes;
    };

    // Two streams for the whole run, reused at every switch: a reference that another thread
    // took before a switch stays valid, and switching back and forth opens no more files.
    struct LogState {
        std::mutex mutex;
        LogStream* current { nullptr };
        bool enabled { false };
        NullLogStream off;
        FileLogStream on;
    };

    LogState& state()
    {
        // Leaked on purpose: threads may log while static destructors run.
        static LogState* s_state = std::make_unique<LogState>().release();
        return *s_state;
    }

    std::atomic<bool> s_enabled { false };

    void write_trace(std::u16string_view text)
    {
        get_log() << text;
    }

    // The code shared with the service traces into this log in every program that keeps one.
    [[maybe_unused]] const bool s_trace_routed = (set_debug_trace_sink(write_trace), true);

} // namespace

LogStream& get_log()
{
    std::uint32_t value = 0;
    bool enabled
        = reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", value) && value != 0;
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.current && s.enabled == enabled)
        return *s.current;
    if (enabled) {
        s.on.restart(log_file_path());
        s.current = &s.on;
    } else {
        s.current = &s.off;
    }
    s.enabled = enabled;
    s_enabled.store(enabled, std::memory_order_relaxed);
    return *s.current;
}

bool is_log_enabled()
{
    return s_enabled.load(std::memory_order_relaxed);
}

LogStream& operator<<(LogStream& log, std::u16string_view text)
{
    log.write(text.data(), text.data() + text.size());
    return log;
}

LogStream& operator<<(LogStream& log, const char16_t* text)
{
    return log << std::u16string_view(text ? text : u"");
}

LogStream& operator<<(LogStream& log, const std::u16string& text)
{
    return log << std::u16string_view(text);
}

LogStream& operator<<(LogStream& log, std::string_view text)
{
    return log << std::u16string_view(narrow_to_wide(text));
}

LogStream& operator<<(LogStream& log, const char* text)
{
    return log << std::string_view(text ? text : "");
}

LogStream& operator<<(LogStream& log, const std::string& text)
{
    return log << std::string_view(text);
}

LogStream& log_decimal(LogStream& log, std::int64_t value)
{
    return log << to_wstring(value);
}

LogStream& log_decimal(LogStream& log, std::uint64_t value)
{
    return log << to_wstring(value);
}

} // namespace corvane
