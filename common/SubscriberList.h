// CSubscriberList: an ordered list of subscribers (not owned) behind its own
// lock. Delivery runs over a copy taken under the lock and calls each
// subscriber after the lock is released, so a subscriber may subscribe,
// unsubscribe or call back into the sender while it is being told, and a
// subscriber removed during a delivery may still be told by that delivery.
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <vector>

namespace Kestrum::Common {

template <class T> class CSubscriberList {
public:
    enum Duplicates { Unique, Allowed };

    explicit CSubscriberList(Duplicates duplicates = Unique) : m_duplicates(duplicates) {}
    CSubscriberList(const CSubscriberList&) = delete;
    CSubscriberList& operator=(const CSubscriberList&) = delete;

    // Ignores null; a unique list holds each subscriber once. True when added.
    bool Add(T* subscriber)
    {
        if (!subscriber)
            return false;
        std::lock_guard lock(m_lock);
        if (m_duplicates == Unique && std::find(m_items.begin(), m_items.end(), subscriber) != m_items.end())
            return false;
        m_items.push_back(subscriber);
        return true;
    }

    // Removes the first occurrence, keeping the order of the others.
    bool Remove(T* subscriber)
    {
        if (!subscriber)
            return false;
        std::lock_guard lock(m_lock);
        const auto it = std::find(m_items.begin(), m_items.end(), subscriber);
        if (it == m_items.end())
            return false;
        m_items.erase(it);
        return true;
    }

    std::vector<T*> Snapshot() const
    {
        std::lock_guard lock(m_lock);
        return m_items;
    }

    // Calls `call(subscriber)` for each subscriber of a snapshot, in order.
    template <class Call> void ForEach(Call&& call) const
    {
        for (T* subscriber : Snapshot())
            call(subscriber);
    }

    bool Contains(const T* subscriber) const
    {
        std::lock_guard lock(m_lock);
        return std::find(m_items.begin(), m_items.end(), subscriber) != m_items.end();
    }
    std::size_t Size() const
    {
        std::lock_guard lock(m_lock);
        return m_items.size();
    }

private:
    mutable std::recursive_mutex m_lock;
    std::vector<T*> m_items;
    Duplicates m_duplicates;
};

} // namespace Kestrum::Common
