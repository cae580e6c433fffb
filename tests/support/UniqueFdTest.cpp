#include "support/UniqueFd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <utility>

namespace {

bool isOpen(int fd)
{
    return fcntl(fd, F_GETFD) != -1;
}

// The descriptor is closed once, by its last owner, and closing keeps errno.
TEST(UniqueFd, ClosesOnceByItsLastOwnerKeepingErrno)
{
    int const raw = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    {
        support::UniqueFd first(raw);
        support::UniqueFd second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), raw);
        support::UniqueFd third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(raw));
        errno = ENAMETOOLONG;
        third.reset();
        EXPECT_EQ(errno, ENAMETOOLONG);
        EXPECT_FALSE(third.valid());
        EXPECT_FALSE(isOpen(raw));
    }
    int const kept = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(kept, 0);
    {
        support::UniqueFd owner(kept);
        EXPECT_EQ(owner.release(), kept);
    }
    EXPECT_TRUE(isOpen(kept));
    close(kept);
}

} // namespace
