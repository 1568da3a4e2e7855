#include "platform/background.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>

namespace quorbit::platform {
namespace {

// Notes on which thread it was freed.
struct Garbage {
    std::atomic<int>* freedElsewhere;
    std::thread::id owner = std::this_thread::get_id();
    explicit Garbage(std::atomic<int>* freed)
        : freedElsewhere(freed)
    {
    }
    Garbage(Garbage&& other) noexcept
        : freedElsewhere(std::exchange(other.freedElsewhere, nullptr))
        , owner(other.owner)
    {
    }
    ~Garbage()
    {
        if (freedElsewhere && std::this_thread::get_id() != owner) {
            ++*freedElsewhere;
        }
    }
};

TEST(Disposer, FreesEverythingHandedOverOnAnotherThreadBeforeItGoes)
{
    std::atomic<int> freedElsewhere = 0;
    {
        Disposer disposer;
        for (int round = 0; round < 1000; ++round) {
            disposer.dispose(Garbage(&freedElsewhere));
        }
    }
    EXPECT_EQ(freedElsewhere, 1000);
}

} // namespace
} // namespace quorbit::platform
