// Several threads subscribe, unsubscribe and notify on the same objects at
// once; run under ThreadSanitizer in CI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "SampleObject.h"
#include "common/DynamicObject.h"

using namespace Kestrum::Common;

namespace {
struct CCountingSink : CDataObject::ISink {
    std::atomic<long> heard{0};
    void OnFieldChanged(FieldId, CDataObject*) override { heard.fetch_add(1, std::memory_order_relaxed); }
};
} // namespace

TEST(SubscriptionThreads, ConcurrentSubscribeUnsubscribeNotify)
{
    constexpr int kObjects = 4;
    constexpr int kThreads = 6;
    constexpr int kRounds = 4000;
    std::vector<std::unique_ptr<CDynamicObject>> objects;
    for (int i = 0; i < kObjects; ++i)
        objects.push_back(std::make_unique<CDynamicObject>(true));
    std::vector<CCountingSink> sinks(kThreads);
    CCountingSink permanent;
    for (auto& object : objects)
        object->Subscribe(&permanent);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                CDynamicObject& object = *objects[static_cast<std::size_t>((t + round) % kObjects)];
                switch (round % 4) {
                case 0: object.Subscribe(&sinks[static_cast<std::size_t>(t)]); break;
                case 1: object.NotifyFieldChanged(round); break;
                case 2: object.SetLong(t, round); break; // notifies through SetValue
                case 3: object.Unsubscribe(&sinks[static_cast<std::size_t>(t)]); break;
                }
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    // Every notification and every changed value reached the permanent sink.
    EXPECT_EQ(permanent.heard.load(), static_cast<long>(kThreads) * kRounds / 2);
    for (auto& object : objects) {
        object->Unsubscribe(&permanent);
        for (auto& sink : sinks)
            object->Unsubscribe(&sink);
        EXPECT_FALSE(object->HasSubscribers());
    }
}
