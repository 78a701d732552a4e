#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace corvane {

// A reference-counted view {store, offset, length} onto shared bytes, used for file images,
// request and reply bodies. Copies share the store; writable_bytes() copies on write.
// Thread safety: distinct views may be used on distinct threads (the count is atomic); one
// view must not be used from two threads at once.
class SharedBuffer {
public:
    SharedBuffer() = default;
    // A new store of `size` bytes, zero-filled.
    explicit SharedBuffer(std::uint32_t size);
    // A new store holding a copy of `size` bytes from `bytes`.
    SharedBuffer(const void* bytes, std::uint32_t size);
    SharedBuffer(const SharedBuffer& other);
    SharedBuffer(SharedBuffer&& other) noexcept;
    SharedBuffer& operator=(const SharedBuffer& other);
    SharedBuffer& operator=(SharedBuffer&& other) noexcept;
    ~SharedBuffer() { release(); }

    // A view of `length` bytes from `start` within this view, sharing the store. The range is
    // clamped to this view, so a slice never reaches outside it.
    SharedBuffer slice(std::uint32_t start, std::uint32_t length) const;

    void release();

    const std::uint8_t* data() const;
    std::uint32_t size() const { return m_length; }
    std::uint32_t offset() const { return m_offset; }
    bool is_empty() const { return m_length == 0; }
    // Number of views sharing the store (0 for an empty view); for tests and diagnostics.
    std::uint32_t use_count() const;

    // Start of a store only this view references, copying the view's bytes first if shared.
    std::uint8_t* writable_bytes();
    // Copies min(source size, size() - position) bytes to `position`; answers the count.
    std::uint32_t write_at(std::uint32_t position, const SharedBuffer& source);

private:
    struct Store;
    static Store* make_store(std::uint32_t size);

    Store* m_store { nullptr };
    std::uint32_t m_offset { 0 };
    std::uint32_t m_length { 0 };
};

} // namespace corvane
