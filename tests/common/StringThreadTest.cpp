// CString storage: every length keeps its text across the pooled sizes and
// the heap beyond them, appends move between sizes, and copies shared by
// threads are released exactly once.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/String.h"

using Kestrum::Common::CString;

TEST(CString, KeepsEveryLengthAcrossPooledAndHeapSizes)
{
    std::vector<CString> strings;
    std::vector<std::string> expected;
    for (std::size_t length = 0; length < 300; ++length) {
        std::string text(length, 'a');
        for (std::size_t i = 0; i < length; ++i)
            text[i] = static_cast<char>('a' + (i * 7 + length) % 26);
        strings.emplace_back(text);
        expected.push_back(text);
    }
    for (std::size_t i = 0; i < strings.size(); ++i) {
        ASSERT_EQ(strings[i].GetLength(), i);
        ASSERT_EQ(strings[i].View(), expected[i]) << "neighbouring buffers overlap at length " << i;
        ASSERT_EQ(strings[i].GetString()[i], '\0');
    }
    // A zero byte inside the text is content, in the short and the long form.
    for (const std::size_t length : {5u, 123u, 124u, 200u}) {
        std::string text(length, 'q');
        text[length / 2] = '\0';
        const CString copy = CString(text);
        EXPECT_EQ(copy.GetLength(), length);
        EXPECT_EQ(copy.View(), text);
    }
    // Appends cross from one size to the next and past the pooled sizes.
    CString grown;
    std::string reference;
    for (int i = 0; i < 200; ++i) {
        grown += std::string_view("xyz", static_cast<std::size_t>(i % 3 + 1));
        reference.append("xyz", static_cast<std::size_t>(i % 3 + 1));
        ASSERT_EQ(grown.View(), reference);
    }
}

TEST(CString, CopiesSharedByThreadsAreReleasedOnce)
{
    // Each thread makes, copies and drops strings of many sizes, some of them
    // made by another thread; the sanitizers check the buffers' lifetimes.
    std::vector<CString> shared;
    for (int i = 0; i < 64; ++i)
        shared.emplace_back(std::string(static_cast<std::size_t>(i * 3), 'q'));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared, t] {
            std::vector<CString> mine;
            for (int round = 0; round < 20000; ++round) {
                mine.push_back(shared[static_cast<std::size_t>(round % 64)]);
                mine.emplace_back(std::string(static_cast<std::size_t>((round + t) % 150), 'z'));
                if (mine.size() > 100)
                    mine.erase(mine.begin(), mine.begin() + 50);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(shared[static_cast<std::size_t>(i)].View(), std::string(static_cast<std::size_t>(i * 3), 'q'));
}
