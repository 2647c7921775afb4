// links: desktop
// The desktop room's decisions, one table each, without any window system.
#include <gtest/gtest.h>

#include <vector>

#include "platform/desktop/desktop_rules.h"

namespace {

using platform::rules::Rect;
using platform::rules::Size;

TEST(DesktopRules, ModeSwitchIsSafeOnlyWhereNoMonitorIsLeftOff) {
    struct Row {
        const char* what;
        Rect show;
        Size desktop;
        std::vector<Rect> others;
        Size wanted;
        bool safe;
    };
    const Row rows[] = {
        {"one monitor", {0, 0, 1024, 768}, {1024, 768}, {}, {800, 600}, true},
        {"primary at the top left", {0, 0, 1024, 768}, {1024, 768}, {{1024, 0, 1024, 768}}, {640, 480}, true},
        {"equal monitors, primary on the right", {1024, 0, 1024, 768}, {1024, 768}, {{0, 0, 1024, 768}},
         {800, 600}, false},
        {"a wider monitor on the left refuses both resizes", {1280, 0, 1024, 768}, {1024, 768},
         {{0, 0, 1280, 720}}, {800, 600}, true},
        {"the other monitor fits the desktop mode", {1280, 0, 1280, 720}, {1280, 720}, {{0, 0, 1024, 768}},
         {1024, 768}, false},
        {"the other monitor fits the wanted mode", {1024, 0, 800, 600}, {800, 600}, {{0, 0, 1024, 600}},
         {1024, 768}, false},
        {"primary below a taller one", {0, 1080, 1024, 768}, {1024, 768}, {{0, 0, 1920, 1080}}, {800, 600}, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::modeSwitchIsSafe(row.show, row.desktop, row.others, row.wanted), row.safe)
            << row.what;
    }
}

TEST(DesktopRules, FocusLossGivesASwitchedModeBackAndLeavesTheTop) {
    using platform::rules::Fullscreen;
    using Loss = platform::rules::FocusLoss;
    struct Row {
        Fullscreen fullscreen;
        bool keptAbove, minimised;
        Loss loss;
    };
    const Row rows[] = {
        {Fullscreen::no, false, false, {false, false}},
        {Fullscreen::no, true, false, {false, true}},
        {Fullscreen::desktopMode, true, false, {false, true}},
        {Fullscreen::desktopMode, false, false, {false, false}},
        {Fullscreen::switchedMode, true, false, {true, true}},
        {Fullscreen::switchedMode, false, false, {true, true}},
        {Fullscreen::switchedMode, true, true, {false, false}},  // already out of the way
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::onFocusLoss(row.fullscreen, row.keptAbove, row.minimised), row.loss)
            << static_cast<int>(row.fullscreen) << " above " << row.keptAbove << " minimised " << row.minimised;
    }
}

TEST(DesktopRules, AFocusLossSdlNeverReportedIsTakenFromTheXServerAfterASecond) {
    using platform::rules::Fullscreen;
    struct Row {
        Fullscreen fullscreen;
        bool minimised, sdlFocused, elsewhere;
        std::uint32_t elsewhereMs;
        bool loss;
    };
    const Row rows[] = {
        {Fullscreen::switchedMode, false, false, true, 1000, true},
        {Fullscreen::switchedMode, false, false, true, 999, false},    // the window manager's grace
        {Fullscreen::switchedMode, false, true, true, 5000, false},    // SDL knows: its own event acts
        {Fullscreen::switchedMode, false, false, false, 5000, false},  // nobody else has it
        {Fullscreen::switchedMode, true, false, true, 5000, false},    // minimised already
        {Fullscreen::desktopMode, false, false, true, 5000, false},    // no mode to give back
        {Fullscreen::no, false, false, true, 5000, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::unheardFocusLoss(row.fullscreen, row.minimised, row.sdlFocused, row.elsewhere,
                                                    row.elsewhereMs),
                  row.loss)
            << static_cast<int>(row.fullscreen) << " minimised " << row.minimised << " focused " << row.sdlFocused
            << " elsewhere " << row.elsewhere << " for " << row.elsewhereMs;
    }
}

TEST(DesktopRules, ClientSizeKeepsBetweenItsMinimumAndTheLargestMonitor) {
    const std::vector<Rect> monitors = {{0, 0, 1280, 720}, {1280, 0, 1024, 768}};
    const Size largest = platform::rules::largestMonitor(monitors);
    EXPECT_EQ(largest, (Size{1280, 768}));
    EXPECT_EQ(platform::rules::largestMonitor({}), (Size{0, 0}));
    struct Row {
        Size now, minimum, maximum, kept;
    };
    const Row rows[] = {
        {{640, 480}, {160, 120}, largest, {640, 480}},
        {{60, 40}, {160, 120}, largest, {160, 120}},
        {{60, 480}, {160, 120}, largest, {160, 480}},
        {{9000, 9000}, {160, 120}, largest, {1280, 768}},
        {{9000, 600}, {160, 120}, largest, {1280, 600}},
        {{9000, 9000}, {160, 120}, {0, 0}, {9000, 9000}},  // no monitor known: no maximum
        {{9000, 9000}, {160, 120}, {100, 100}, {160, 120}},  // the minimum wins
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::keptClientSize(row.now, row.minimum, row.maximum), row.kept)
            << row.now.w << "x" << row.now.h << " max " << row.maximum.w << "x" << row.maximum.h;
    }
}

TEST(DesktopRules, OnlyRandrRefusalsAreOutlived) {
    struct Row {
        int request, randr;
        bool outlived;
    };
    const Row rows[] = {{140, 140, true}, {1, 140, false}, {0, 0, false}, {140, 0, false}};
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::outlivesXError(row.request, row.randr), row.outlived) << row.request;
    }
}

TEST(DesktopRules, OneClaimPerDisplay) {
    struct Row {
        const char *driver, *x11, *wayland, *runtime;
        const char* path;
    };
    const Row rows[] = {
        {nullptr, ":0", nullptr, "/run/user/1000", "/run/user/1000/sunmarrow-x11-:0.lock"},
        {nullptr, ":0.1", nullptr, "/run/user/1000", "/run/user/1000/sunmarrow-x11-:0.lock"},
        {nullptr, "unix:0", nullptr, "/run/user/1000", "/run/user/1000/sunmarrow-x11-:0.lock"},
        {nullptr, "localhost:10.0", nullptr, "/run/user/1000", "/run/user/1000/sunmarrow-x11-localhost:10.lock"},
        {"x11", "/tmp/.X11-unix/X0", "wayland-0", "/r", "/r/sunmarrow-x11-_tmp_.X11-unix_X0.lock"},
        {nullptr, ":0", "wayland-0", "/r", "/r/sunmarrow-x11-:0.lock"},  // SDL takes X first
        {nullptr, "", "wayland-1", "/r", "/r/sunmarrow-wayland-wayland-1.lock"},
        {"wayland", ":0", nullptr, "/r", "/r/sunmarrow-wayland-wayland-0.lock"},
        {"wayland,x11", ":0", "../x", "/r", "/r/sunmarrow-wayland-.._x.lock"},
        {nullptr, ":220", nullptr, nullptr, "/tmp/sunmarrow-1000-x11-:220.lock"},
        {nullptr, ":220", nullptr, "run", "/tmp/sunmarrow-1000-x11-:220.lock"},
        {"x11", nullptr, "wayland-0", "/r", ""},
        {"offscreen", ":0", nullptr, "/r", ""},
        {nullptr, nullptr, nullptr, "/r", ""},
    };
    for (const Row& row : rows) {
        platform::rules::DisplayNames names{row.driver, row.x11, row.wayland, row.runtime, 1000};
        EXPECT_EQ(platform::rules::displayClaimPath(names), row.path)
            << (row.driver ? row.driver : "-") << " " << (row.x11 ? row.x11 : "-") << " "
            << (row.wayland ? row.wayland : "-");
    }
}

}  // namespace
