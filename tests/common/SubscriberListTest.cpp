// The subscriber list: unique or repeated subscribers, removal of the first
// occurrence, and delivery over a snapshot that survives changes made by the
// subscribers while they are told.
#include <gtest/gtest.h>

#include <vector>

#include "common/SubscriberList.h"

using Kestrum::Common::CSubscriberList;

namespace {
struct CRecorder {
    int calls = 0;
};
} // namespace

TEST(CSubscriberList, UniqueListsHoldEachSubscriberOnceAndIgnoreNull)
{
    CSubscriberList<CRecorder> list;
    CRecorder a, b;
    EXPECT_FALSE(list.Add(nullptr));
    EXPECT_TRUE(list.Add(&a));
    EXPECT_FALSE(list.Add(&a));
    EXPECT_TRUE(list.Add(&b));
    EXPECT_EQ(list.Snapshot(), (std::vector<CRecorder*>{&a, &b}));
    EXPECT_FALSE(list.Remove(nullptr));
    EXPECT_TRUE(list.Remove(&a));
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_EQ(list.Size(), 1u);
}

TEST(CSubscriberList, RepeatedSubscribersAreToldPerEntryAndRemovedOneAtATime)
{
    CSubscriberList<CRecorder> list(CSubscriberList<CRecorder>::Allowed);
    CRecorder a, b;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    list.ForEach([](CRecorder* r) { ++r->calls; });
    EXPECT_EQ(a.calls, 2);
    EXPECT_EQ(b.calls, 1);
    list.Remove(&a);
    EXPECT_EQ(list.Snapshot(), (std::vector<CRecorder*>{&b, &a})) << "the first occurrence goes";
}

TEST(CSubscriberList, ASubscriberMayChangeTheListWhileItIsTold)
{
    CSubscriberList<CRecorder> list;
    CRecorder a, b, c;
    list.Add(&a);
    list.Add(&b);
    std::vector<CRecorder*> told;
    list.ForEach([&](CRecorder* r) {
        told.push_back(r);
        if (r == &a) {
            list.Remove(&b); // still told: the delivery runs over a snapshot
            list.Add(&c);    // not told by this delivery
        }
    });
    EXPECT_EQ(told, (std::vector<CRecorder*>{&a, &b}));
    EXPECT_EQ(list.Snapshot(), (std::vector<CRecorder*>{&a, &c}));
}
