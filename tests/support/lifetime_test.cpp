// SPDX-License-Identifier: GPL-3.0-or-later
// Callbacks kept from outliving their owner, and the session's event stream.
#include "fakes/wait_for.h"
#include "support/lifetime.h"
#include "support/session_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace kestle {
namespace {

using namespace std::chrono_literals;

TEST(Lifetime, EndWaitsForACallbackRunningElsewhereAndStopsTheRest) {
    Lifetime life;
    std::atomic<bool> inside{false}, finished{false};
    int later = 0;
    auto slow = life.guard([&] {
        inside = true;
        // Still running when end() has begun: end() must wait for it.
        test::waitFor([&] { return !life.alive(); }, 5s);
        finished = true;
    });
    std::function<void()> afterwards = life.guard([&] { ++later; });
    std::thread other(slow);
    ASSERT_TRUE(test::waitFor([&] { return inside.load(); }, 5s));
    life.end();
    EXPECT_TRUE(finished);
    afterwards();
    EXPECT_EQ(later, 0);
    other.join();
    life.end(); // idempotent
}

TEST(Lifetime, ACallbackMayEndItsOwnerAndArgumentsPassThrough) {
    Lifetime life;
    int sum = 0;
    auto add = life.guard([&](int a, int b) {
        sum = a + b;
        life.end(); // would wait for itself if it counted
    });
    add(2, 3);
    add(4, 5);
    EXPECT_EQ(sum, 5);
}

TEST(SessionEvents, HandlersRunInOrderAndADroppedOneIsNeverCalled) {
    events::SessionEvents hub;
    std::vector<std::string> seen;
    events::SessionEvents::Subscription second;
    auto first = hub.subscribe([&](const events::Event& e) {
        if (auto* q = std::get_if<events::Question>(&e))
            seen.push_back("1:" + q->text);
        second.reset(); // a handler may drop another
    });
    second = hub.subscribe([&](const events::Event&) { seen.push_back("2"); });
    auto third = hub.subscribe([&](const events::Event& e) {
        seen.push_back(std::holds_alternative<events::Plug>(e) ? "3:plug" : "3");
    });
    hub.publish(events::Question{"who"});
    hub.publish(events::Plug{});
    EXPECT_EQ(seen, (std::vector<std::string>{"1:who", "3", "3:plug"}));
    third.reset();
    first.reset();
    hub.publish(events::Plug{});
    EXPECT_EQ(seen.size(), 3u);
}

TEST(SessionEvents, ASubscriptionMayOutliveTheStream) {
    events::SessionEvents::Subscription kept;
    {
        events::SessionEvents hub;
        kept = hub.subscribe([](const events::Event&) {});
    }
    EXPECT_TRUE(kept);
    kept.reset();
    EXPECT_FALSE(kept);
}

} // namespace
} // namespace kestle
