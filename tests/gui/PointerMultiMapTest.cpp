// The pair table behind the object registry against std::multimap: same
// pairs, and each key's values in insertion order, through growth, erasure
// of single pairs and whole keys, and keys that collide into long runs.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "gui/grid/PointerMultiMap.h"

using Kestrum::GUI::CPointerMultiMap;

namespace {
struct Key {
    int id;
};
struct Value {
    int id;
};

std::vector<Value*> ValuesOf(const CPointerMultiMap<Key, Value>& map, const Key* key)
{
    std::vector<Value*> values;
    map.ForEach(key, [&](Value* value) { values.push_back(value); });
    return values;
}

std::vector<Value*> ValuesOf(const std::multimap<Key*, Value*>& map, Key* key)
{
    std::vector<Value*> values;
    auto [first, last] = map.equal_range(key);
    for (auto it = first; it != last; ++it)
        values.push_back(it->second);
    return values;
}
} // namespace

TEST(CPointerMultiMap, MatchesAMultimapInOrderUnderRandomChanges)
{
    std::vector<Key> keys(300);
    std::vector<Value> values(5000);
    CPointerMultiMap<Key, Value> map;
    std::multimap<Key*, Value*> reference;
    std::mt19937 random(11);
    for (int step = 0; step < 60000; ++step) {
        Key* key = &keys[random() % keys.size()];
        const int action = static_cast<int>(random() % 10);
        if (action < 6) {
            Value* value = &values[random() % values.size()];
            EXPECT_EQ(map.Insert(key, value), reference.count(key) == 0) << "first value of its key";
            reference.emplace(key, value);
        } else if (action < 9) {
            const auto present = ValuesOf(reference, key);
            if (present.empty()) {
                EXPECT_FALSE(map.Erase(key, &values[0]) && reference.count(key));
                continue;
            }
            Value* value = present[random() % present.size()];
            if (step % 2 == 0) {
                EXPECT_TRUE(map.Erase(key, value));
            } else {
                bool last = false;
                EXPECT_TRUE(map.Erase(key, value, last));
                EXPECT_EQ(last, present.size() == 1);
            }
            auto [first, last] = reference.equal_range(key);
            for (auto it = first; it != last; ++it)
                if (it->second == value) {
                    reference.erase(it);
                    break;
                }
        } else {
            map.EraseKey(key);
            reference.erase(key);
        }
        if (step % 997 == 0) {
            ASSERT_EQ(map.Size(), reference.size());
            for (Key& each : keys)
                ASSERT_EQ(ValuesOf(map, &each), ValuesOf(reference, &each)) << "key " << &each - keys.data();
        }
    }
    for (Key& each : keys) {
        EXPECT_EQ(ValuesOf(map, &each), ValuesOf(reference, &each));
        EXPECT_EQ(map.ContainsKey(&each), reference.count(&each) != 0);
        EXPECT_EQ(map.Count(&each), reference.count(&each));
    }
}

TEST(CPointerMultiMap, OneKeyWithManyValuesKeepsItsOrderThroughGrowth)
{
    Key key{1};
    std::vector<Value> values(1000);
    CPointerMultiMap<Key, Value> map;
    for (Value& value : values)
        map.Insert(&key, &value);
    // Erase every third one; the rest stays in insertion order.
    std::vector<Value*> expected;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i % 3 == 0)
            EXPECT_TRUE(map.Erase(&key, &values[i]));
        else
            expected.push_back(&values[i]);
    }
    EXPECT_EQ(ValuesOf(map, &key), expected);
    EXPECT_FALSE(map.Erase(&key, &values[0]));
    map.EraseKey(&key);
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_FALSE(map.ContainsKey(&key));
}
