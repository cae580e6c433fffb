#include "support/DescriptorBudget.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <utility>

namespace {

// take() gives out `limit` places, give() returns one, shed() ends it all;
// a kept descriptor returns its place when it goes.
TEST(DescriptorBudget, GivesOutItsPlacesUntilShed)
{
    support::DescriptorBudget budget(2);
    EXPECT_EQ(budget.limit(), 2u);
    {
        ASSERT_TRUE(budget.take());
        support::KeptDescriptor kept(support::UniqueFd(open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                                     budget);
        support::KeptDescriptor moved = std::move(kept);
        EXPECT_FALSE(kept.valid());
        EXPECT_TRUE(moved.valid());
        EXPECT_TRUE(budget.take());
        EXPECT_FALSE(budget.take()); // both places out
        budget.give();
    }
    // The kept descriptor gave its place back; one was returned by hand.
    EXPECT_TRUE(budget.take());
    EXPECT_TRUE(budget.take());
    EXPECT_FALSE(budget.take());
    budget.give();
    budget.shed();
    EXPECT_FALSE(budget.take()); // a place is free, but none is given out any more
}

} // namespace
