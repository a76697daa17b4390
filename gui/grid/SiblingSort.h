// Searches and sorts of sibling arrays, on plain arrays and predicates. The
// rows' comparison is a strict weak order; still, every search and sort here
// stays inside its range whatever the predicate answers (the standard
// algorithms promise nothing for an inconsistent one), so a faulty
// comparison can misorder rows but never run off an array.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Kestrum::GUI::SiblingSort {

// The first position in [low, high) where `before(element)` holds, found as
// a binary search would: for a monotone predicate the partition point.
template <class Array, class Predicate> int FirstWhere(const Array& items, int low, int high, Predicate before)
{
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (before(items[static_cast<std::size_t>(middle)]))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

// Stable bottom-up merge sort by `goesBefore(a, b)`.
template <class T, class GoesBefore> void MergeSort(T* items, std::size_t size, GoesBefore goesBefore)
{
    if (size < 2)
        return;
    std::vector<T> buffer(size);
    T* from = items;
    T* to = buffer.data();
    for (std::size_t width = 1; width < size; width *= 2) {
        for (std::size_t start = 0; start < size; start += 2 * width) {
            const std::size_t middle = std::min(start + width, size);
            const std::size_t end = std::min(start + 2 * width, size);
            std::size_t left = start, right = middle, out = start;
            while (left < middle && right < end)
                to[out++] = goesBefore(from[right], from[left]) ? from[right++] : from[left++];
            while (left < middle)
                to[out++] = from[left++];
            while (right < end)
                to[out++] = from[right++];
        }
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + size, items);
}

// Stable sort by an integer key read once per element (`keyOf(element,
// key)` answers false when the element has no such key): the keys are sorted
// beside their elements, so the sort reads no element. False, with the array
// unchanged, when an element has no key.
template <class T, class KeyOf> bool SortByIntegerKey(T* items, std::size_t size, KeyOf keyOf, bool descending)
{
    using Keyed = std::pair<std::int64_t, T>;
    std::vector<Keyed> keyed(size);
    for (std::size_t i = 0; i < size; ++i) {
        if (!keyOf(items[i], keyed[i].first))
            return false;
        keyed[i].second = items[i];
    }
    std::stable_sort(keyed.begin(), keyed.end(), [descending](const Keyed& a, const Keyed& b) {
        return descending ? a.first > b.first : a.first < b.first;
    });
    for (std::size_t i = 0; i < size; ++i)
        items[i] = keyed[i].second;
    return true;
}

} // namespace Kestrum::GUI::SiblingSort
