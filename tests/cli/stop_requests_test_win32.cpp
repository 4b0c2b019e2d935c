// How listen's loop learns that it is asked to end on Windows: every console
// event sets the flag; after a close, a logoff or a shutdown Windows ends the
// process once the handler returns, so the handler returns only when the
// guard is gone and the loop has ended with every file whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <thread>

#include "cli/platform.h"

namespace zelo::cli {
namespace {

volatile std::sig_atomic_t flag = 0;

TEST(StopRequests, InterruptAndBreakOnlyAsk) {
    for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
        flag = 0;
        const StopRequests stops(flag);
        EXPECT_EQ(handleConsoleEvent(event), TRUE) << event;
        EXPECT_EQ(flag, 1) << event;
    }
    // Without a guard the next handler (the default: the process ends) acts.
    EXPECT_EQ(handleConsoleEvent(CTRL_BREAK_EVENT), FALSE);
}

TEST(StopRequests, CloseLogoffAndShutdownWaitForTheLoopToEnd) {
    for (const DWORD event : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        flag = 0;
        std::optional<StopRequests> stops(std::in_place, flag);
        std::atomic<int> answer{-1};
        std::thread console([&] { answer = handleConsoleEvent(event); });
        while (!flag) std::this_thread::yield();
        // The loop is still running: the handler must not have let the
        // process end.
        Sleep(100);
        EXPECT_EQ(answer.load(), -1) << event;
        stops.reset();  // the loop has ended
        console.join();
        EXPECT_EQ(answer.load(), TRUE) << event;
    }
}

}  // namespace
}  // namespace zelo::cli
