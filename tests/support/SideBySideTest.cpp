#include "support/SideBySide.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Both halves run, on two threads; an exception from either reaches the
// caller, the calling thread's when both throw.
TEST(SideBySide, RunsBothAndRethrowsTheCallersErrorFirst)
{
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "runs on one core only";
    struct Row {
        bool besidesThrows;
        bool hereThrows;
        char const* error; // what reaches the caller, "" for nothing
    };
    Row const rows[] = {
        {false, false, ""}, {true, false, "besides"}, {false, true, "here"}, {true, true, "here"}};
    for (Row const& row : rows) {
        std::thread::id besidesThread;
        bool hereRan = false;
        std::string error;
        try {
            EXPECT_TRUE(support::runSideBySide(
                [&] {
                    besidesThread = std::this_thread::get_id();
                    if (row.besidesThrows)
                        throw std::runtime_error("besides");
                },
                [&] {
                    hereRan = true;
                    if (row.hereThrows)
                        throw std::runtime_error("here");
                }));
        } catch (std::runtime_error const& e) {
            error = e.what();
        }
        EXPECT_EQ(error, row.error) << row.besidesThrows << row.hereThrows;
        EXPECT_TRUE(hereRan);
        EXPECT_NE(besidesThread, std::thread::id());
        EXPECT_NE(besidesThread, std::this_thread::get_id());
    }
}

} // namespace
