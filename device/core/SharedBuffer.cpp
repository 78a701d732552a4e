#include "device/core/SharedBuffer.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace corvane {

struct SharedBuffer::Store {
    std::atomic<std::uint32_t> references { 1 };
    std::uint32_t size { 0 };
    std::unique_ptr<std::uint8_t[]> bytes;
};

SharedBuffer::Store* SharedBuffer::make_store(std::uint32_t size)
{
    auto store = std::make_unique<Store>();
    store->size = size;
    store->bytes = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    return store.release();
}

SharedBuffer::SharedBuffer(std::uint32_t size)
    : m_store(make_store(size))
    , m_length(size)
{
}

SharedBuffer::SharedBuffer(const void* bytes, std::uint32_t size)
    : m_store(make_store(size))
    , m_length(size)
{
    if (size != 0)
        std::memcpy(m_store->bytes.get(), bytes, size);
}

SharedBuffer::SharedBuffer(const SharedBuffer& other)
    : m_store(other.m_store)
    , m_offset(other.m_offset)
    , m_length(other.m_length)
{
    if (m_store)
        m_store->references.fetch_add(1, std::memory_order_relaxed);
}

SharedBuffer::SharedBuffer(SharedBuffer&& other) noexcept
    : m_store(other.m_store)
    , m_offset(other.m_offset)
    , m_length(other.m_length)
{
    other.m_store = nullptr;
    other.m_offset = other.m_length = 0;
}

SharedBuffer& SharedBuffer::operator=(const SharedBuffer& other)
{
    // Take the new reference first: assigning a view to itself, or to a slice of the same
    // store, must not free the store in between.
    if (other.m_store)
        other.m_store->references.fetch_add(1, std::memory_order_relaxed);
    Store* store = other.m_store;
    std::uint32_t offset = other.m_offset;
    std::uint32_t length = other.m_length;
    release();
    m_store = store;
    m_offset = offset;
    m_length = length;
    return *this;
}

SharedBuffer& SharedBuffer::operator=(SharedBuffer&& other) noexcept
{
    if (this != &other) {
        release();
        m_store = other.m_store;
        m_offset = other.m_offset;
        m_length = other.m_length;
        other.m_store = nullptr;
        other.m_offset = other.m_length = 0;
    }
    return *this;
}

void SharedBuffer::release()
{
    if (m_store && m_store->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        std::unique_ptr<Store> doomed(m_store);
    }
    m_store = nullptr;
    m_offset = m_length = 0;
}

SharedBuffer SharedBuffer::slice(std::uint32_t start, std::uint32_t length) const
{
    SharedBuffer view(*this);
    if (start > m_length)
        start = m_length;
    if (length > m_length - start)
        length = m_length - start;
    view.m_offset = m_offset + start;
    view.m_length = length;
    return view;
}

const std::uint8_t* SharedBuffer::data() const
{
    static const std::uint8_t empty = 0;
    return m_store ? m_store->bytes.get() + m_offset : &empty;
}

std::uint32_t SharedBuffer::use_count() const
{
    return m_store ? m_store->references.load(std::memory_order_relaxed) : 0;
}

std::uint8_t* SharedBuffer::writable_bytes()
{
    if (!m_store) {
        m_store = make_store(0);
        return m_store->bytes.get();
    }
    if (m_store->references.load(std::memory_order_acquire) != 1) {
        Store* copy = make_store(m_length);
        if (m_length != 0)
            std::memcpy(copy->bytes.get(), m_store->bytes.get() + m_offset, m_length);
        std::uint32_t length = m_length;
        release();
        m_store = copy;
        m_length = length;
    }
    return m_store->bytes.get() + m_offset;
}

std::uint32_t SharedBuffer::write_at(std::uint32_t position, const SharedBuffer& source)
{
    if (position >= m_length)
        return 0;
    std::uint32_t n = source.m_length;
    if (n > m_length - position)
        n = m_length - position;
    if (n == 0)
        return 0;
    // Keep the source alive across the copy-on-write: it may share our store.
    SharedBuffer keep(source);
    std::memmove(writable_bytes() + position, keep.data(), n);
    return n;
}

} // namespace corvane
