// The map behind the object registry against std::multimap: same values
// per key, each key's values in insertion order, through growth, erasure of
// single values and whole keys; keys that share a block or an offset; and
// addresses the map cannot hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "gui/grid/detail/PointerMultiMap.h"

namespace {
struct Key {
    int id;
};
struct Value {
    Key* key = nullptr;
};
using Map = Kestrum::GUI::CPointerMultiMap<Key, Value>;
using Reference = std::multimap<Key*, Value*>;

std::vector<Value*> ValuesOf(const Map& map, const Key* key)
{
    std::vector<Value*> values;
    map.ForEach(key, [&](Value* value) { values.push_back(value); });
    return values;
}

std::vector<Value*> ValuesOf(const Reference& map, Key* key)
{
    std::vector<Value*> values;
    auto [first, last] = map.equal_range(key);
    for (auto it = first; it != last; ++it)
        values.push_back(it->second);
    return values;
}

void EraseFromReference(Reference& reference, Value* value)
{
    auto [first, last] = reference.equal_range(value->key);
    for (auto it = first; it != last; ++it)
        if (it->second == value) {
            reference.erase(it);
            return;
        }
}
} // namespace

TEST(CPointerMultiMap, MatchesAMultimapInOrderUnderRandomChanges)
{
    std::vector<Key> keys(300);
    std::vector<Value> values(20000);
    std::vector<Value*> outside, inside;
    for (Value& value : values)
        outside.push_back(&value);
    Map map;
    Reference reference;
    std::mt19937 random(11);
    for (int step = 0; step < 80000; ++step) {
        const int action = static_cast<int>(random() % 20);
        if (action < 12 && !outside.empty()) {
            const std::size_t at = random() % outside.size();
            Value* value = outside[at];
            outside[at] = outside.back();
            outside.pop_back();
            value->key = &keys[random() % keys.size()];
            EXPECT_EQ(map.Insert(value->key, value), reference.count(value->key) == 0) << "first value of its key";
            reference.emplace(value->key, value);
            inside.push_back(value);
        } else if (action < 19 && !inside.empty()) {
            const std::size_t at = random() % inside.size();
            Value* value = inside[at];
            inside[at] = inside.back();
            inside.pop_back();
            bool last = false;
            EXPECT_TRUE(map.Contains(value->key, value));
            EXPECT_TRUE(map.Erase(value->key, value, last));
            EraseFromReference(reference, value);
            EXPECT_EQ(last, reference.count(value->key) == 0);
            EXPECT_FALSE(map.Contains(value->key, value));
            EXPECT_FALSE(map.Erase(value->key, value));
            outside.push_back(value);
        } else if (!inside.empty()) {
            Key* key = inside[random() % inside.size()]->key;
            map.EraseKey(key);
            reference.erase(key);
            std::erase_if(inside, [&](Value* value) {
                if (value->key != key)
                    return false;
                outside.push_back(value);
                return true;
            });
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
    Map map;
    for (Value& value : values) {
        value.key = &key;
        map.Insert(&key, &value);
    }
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

TEST(CPointerMultiMap, KeysAtTheSameOffsetOfOtherBlocksOrAtNeighbouringAddressesStayApart)
{
    // Keys 4 bytes apart in one block, and keys a block apart: the same
    // offset in different blocks.
    constexpr std::size_t kKeysPerBlock = Map::kBlockBytes / sizeof(Key);
    std::vector<Key> keys(3 * kKeysPerBlock);
    Key* a = &keys[0];
    Key* b = &keys[kKeysPerBlock];
    Key* c = &keys[1];
    Value va{a}, vb{b}, vc{c};
    Map map;
    EXPECT_TRUE(map.Insert(a, &va));
    EXPECT_TRUE(map.Insert(b, &vb)) << "another block's key at the same offset is not this key";
    EXPECT_TRUE(map.Insert(c, &vc));
    EXPECT_EQ(ValuesOf(map, a), std::vector<Value*>{&va});
    EXPECT_EQ(ValuesOf(map, b), std::vector<Value*>{&vb});
    EXPECT_EQ(ValuesOf(map, c), std::vector<Value*>{&vc});
    EXPECT_FALSE(map.Contains(b, &va));
    bool last = false;
    EXPECT_TRUE(map.Erase(a, &va, last));
    EXPECT_TRUE(last);
    EXPECT_EQ(ValuesOf(map, b), std::vector<Value*>{&vb});
    EXPECT_EQ(ValuesOf(map, c), std::vector<Value*>{&vc});
    EXPECT_FALSE(map.ContainsKey(a));
}

TEST(CPointerMultiMap, RefusesAddressesItCannotHold)
{
    Key key{1};
    Map map;
    alignas(8) char storage[16] = {};
    auto* misaligned = reinterpret_cast<Value*>(storage + 4);
    EXPECT_THROW(map.Insert(&key, misaligned), std::invalid_argument);
    EXPECT_THROW(map.Insert(&key, nullptr), std::invalid_argument);
    EXPECT_EQ(map.Size(), 0u);
}

TEST(CPointerMultiMap, AFullBlockOfKeysInsertedOutOfOrderKeepsEachKeysValuesInOrder)
{
    // Every 4-byte key of one block, inserted in a scattered order so that
    // most insertions land inside the block's array, several values a key;
    // every value stays findable, in order, through erasure.
    constexpr std::size_t kKeys = Map::kBlockBytes / sizeof(Key);
    constexpr std::size_t kValues = 100000;
    void* storage = std::aligned_alloc(Map::kBlockBytes, Map::kBlockBytes);
    ASSERT_NE(storage, nullptr);
    auto* keys = static_cast<Key*>(storage);
    std::vector<Value> values(kValues);
    Map map;
    Reference reference;
    for (std::size_t i = 0; i < kValues; ++i) {
        values[i].key = &keys[(i * 7919) % kKeys];
        map.Insert(values[i].key, &values[i]);
        reference.emplace(values[i].key, &values[i]);
    }
    EXPECT_EQ(map.BlockCount(), 1u);
    const auto check = [&](std::size_t stride) {
        for (std::size_t k = 0; k < kKeys; k += stride)
            ASSERT_EQ(ValuesOf(map, &keys[k]), ValuesOf(reference, &keys[k])) << "key " << k;
    };
    check(7);
    for (std::size_t i = 0; i < kValues; i += 2) {
        bool last = false;
        ASSERT_TRUE(map.Erase(values[i].key, &values[i], last));
        EraseFromReference(reference, &values[i]);
        ASSERT_EQ(last, reference.count(values[i].key) == 0);
    }
    EXPECT_EQ(map.Size(), reference.size());
    check(5);
    for (std::size_t k = 0; k < kKeys; ++k)
        map.EraseKey(&keys[k]);
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_EQ(map.BlockCount(), 0u);
    std::free(storage);
}

// Sweeping out a share of the values at once, in a small map and in one
// with many values a block: what is left is exactly the reference's, in
// order, and the map goes on working (inserts and erases after the sweep).
// A predicate that throws half-way leaves a whole map: the values it
// condemned are gone, every other one stays.
TEST(CPointerMultiMap, EraseIfLeavesExactlyTheRestInOrder)
{
    const auto sweep = [](auto& map, std::size_t valueCount, std::size_t keyCount) {
        std::vector<Key> keys(keyCount);
        std::vector<Value> values(valueCount);
        Reference reference;
        std::mt19937 random(5);
        for (Value& value : values) {
            value.key = &keys[random() % keys.size()];
            map.Insert(value.key, &value);
            reference.emplace(value.key, &value);
        }
        for (const std::ptrdiff_t modulus : {7, 2}) {
            const auto dying = [&](const Value* value) { return (value - values.data()) % modulus == 0; };
            map.EraseIf(dying);
            std::erase_if(reference, [&](const auto& pair) { return dying(pair.second); });
            ASSERT_EQ(map.Size(), reference.size());
            for (std::size_t k = 0; k < keys.size(); k += 13) {
                std::vector<Value*> found;
                map.ForEach(&keys[k], [&](Value* value) { found.push_back(value); });
                ASSERT_EQ(found, ValuesOf(reference, &keys[k])) << "key " << k << " after the sweep of every " << modulus;
            }
        }
        // Erased values go back in and come out again one by one.
        for (std::size_t i = 0; i < values.size(); i += 2)
            map.Insert(values[i].key, &values[i]);
        for (std::size_t i = 0; i < values.size(); i += 2) {
            bool last = false;
            ASSERT_TRUE(map.Erase(values[i].key, &values[i], last));
        }
        map.EraseIf([](const Value*) { return true; });
        EXPECT_EQ(map.Size(), 0u);
        bool any = false;
        map.ForEach(values[1].key, [&](Value*) { any = true; });
        EXPECT_FALSE(any);
    };
    Map map;
    sweep(map, 20000, 300);
    Map large;
    sweep(large, 450000, 60000);

    std::vector<Key> keys(10);
    std::vector<Value> values(2000);
    Map thrown;
    Reference reference;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i].key = &keys[i % keys.size()];
        thrown.Insert(values[i].key, &values[i]);
        reference.emplace(values[i].key, &values[i]);
    }
    int asked = 0;
    std::set<const Value*> condemned;
    EXPECT_THROW(thrown.EraseIf([&](const Value* value) {
        if (++asked == 700)
            throw std::runtime_error("predicate failed");
        if ((value - values.data()) % 3 != 0)
            return false;
        condemned.insert(value);
        return true;
    }),
                 std::runtime_error);
    std::erase_if(reference, [&](const auto& pair) { return condemned.count(pair.second) != 0; });
    EXPECT_FALSE(condemned.empty());
    EXPECT_EQ(thrown.Size(), reference.size());
    for (Key& key : keys)
        EXPECT_EQ(ValuesOf(thrown, &key), ValuesOf(reference, &key));
}
