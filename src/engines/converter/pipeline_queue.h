#pragma once
// A bounded queue between two pipeline stages. Producers block while it is full, consumers
// while it is empty; abort() wakes everyone and makes every later call fail at once.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace rm::converter {

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : m_capacity(capacity) {}

    // False when the queue was aborted (the item is not taken).
    bool push(T item)
    {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_aborted || m_items.size() < m_capacity; });
        if (m_aborted)
            return false;
        m_items.push_back(std::move(item));
        m_notEmpty.notify_one();
        return true;
    }

    // A new bound; items already held stay (a producer waits until fewer are left).
    void setCapacity(size_t capacity)
    {
        std::lock_guard lock(m_mutex);
        m_capacity = std::max<size_t>(1, capacity);
        m_notFull.notify_all();
    }

    enum class Pop { Item, Timeout, Aborted };

    Pop pop(T& out, std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        if (!m_notEmpty.wait_for(lock, wait, [&] { return m_aborted || !m_items.empty(); }))
            return Pop::Timeout;
        if (m_aborted)
            return Pop::Aborted;
        out = std::move(m_items.front());
        m_items.pop_front();
        m_notFull.notify_one();
        return Pop::Item;
    }

    void abort()
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
        m_notFull.notify_all();
        m_notEmpty.notify_all();
    }

    // Items left after an abort (the owner frees them).
    std::deque<T> drain()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_items, {});
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notFull, m_notEmpty;
    std::deque<T> m_items;
    size_t m_capacity;
    bool m_aborted = false;
};

} // namespace rm::converter
