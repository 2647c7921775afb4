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

TEST(DesktopRules, ClientSizeKeepsItsMinimum) {
    struct Row {
        Size now, minimum, kept;
    };
    const Row rows[] = {
        {{640, 480}, {160, 120}, {640, 480}},
        {{60, 40}, {160, 120}, {160, 120}},
        {{60, 480}, {160, 120}, {160, 480}},
        {{640, 40}, {160, 120}, {640, 120}},
        {{0, 0}, {0, 0}, {0, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::rules::keptClientSize(row.now, row.minimum), row.kept)
            << row.now.w << "x" << row.now.h;
    }
}

}  // namespace
