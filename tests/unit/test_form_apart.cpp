// links: form
// The form and notices shown from a child process: without a display the child cannot
// show them, and the player learns so as it would in-process; a notice still reaches
// standard error.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/form/form_apart.h"

namespace {

int calls = 0;
bool countingProc(platform::DialogForm&, platform::DialogMessage, std::uintptr_t, std::intptr_t) {
    ++calls;
    return false;
}

class NoDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        calls = 0;
    }
};

}  // namespace

TEST_F(NoDisplay, TheFormCannotBeShownAndTheProcedureHearsNothing) {
    EXPECT_EQ(platform::runSettingsFormApart(101, countingProc, 0), -1);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(platform::runSettingsFormApart(101, nullptr, 0), -1);
    EXPECT_EQ(platform::formOwnerProcess(), 0);  // only a child names an owner
}

TEST_F(NoDisplay, ANoticeGoesToStandardErrorFromTheChild) {
    testing::internal::CaptureStderr();
    platform::showNoticeApart("Error creating window.", "Error", platform::MessageIcon::error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: Error creating window.\n");
}
