#include <gtest/gtest.h>

#include "app/viewport.h"

using vek::computeViewport;
using vek::fitWindowToMonitor;

TEST(Viewport, StretchFollowsTheDisplayHeight) {
    auto r = computeViewport(-1, 768, 720, 0, 0, 1, 1);
    EXPECT_EQ(r.w, 768);
    EXPECT_EQ(r.h, 720);
    EXPECT_FALSE(r.fixed);

    // 224 picture rows: 720 * 256 / 224 = 822.857..., truncated
    r = computeViewport(-1, 500, 720, 8, 8, 1, 1);
    EXPECT_EQ(r.w, 822);
    EXPECT_EQ(r.h, 720);
}

TEST(Viewport, IntegralTakesTheLargestWholeMultipleThatFits) {
    auto r = computeViewport(0, 1000, 700, 0, 0, 1, 1);
    EXPECT_EQ(r.w, 512);
    EXPECT_EQ(r.h, 480);

    // too small for even one multiple: 1x, cut off at the edges
    r = computeViewport(0, 200, 200, 0, 0, 1, 1);
    EXPECT_EQ(r.w, 256);
    EXPECT_EQ(r.h, 240);

    // overscan gives more room vertically: 720 / 224 = 3, 1000 / 256 = 3
    r = computeViewport(0, 1000, 720, 8, 8, 1, 1);
    EXPECT_EQ(r.w, 768);
    EXPECT_EQ(r.h, 672);
}

TEST(Viewport, FixedMultipleIgnoresTheDisplay) {
    auto r = computeViewport(3, 10, 10, 0, 0, 1, 1);
    EXPECT_EQ(r.w, 768);
    EXPECT_EQ(r.h, 720);
    EXPECT_TRUE(r.fixed);
    r = computeViewport(2, 10, 10, 4, 4, 1, 1);
    EXPECT_EQ(r.h, 464);
}

TEST(Viewport, OtherNegativeZoomKeepsTheStoredSize) {
    auto r = computeViewport(-2, 1000, 1000, 0, 0, 333, 222);
    EXPECT_EQ(r.w, 333);
    EXPECT_EQ(r.h, 222);
    EXPECT_FALSE(r.fixed);
}

TEST(Viewport, OverscanThatLeavesNoRowsDoesNotDivideByZero) {
    auto r = computeViewport(-1, 768, 720, 120, 120, 1, 1);
    EXPECT_GT(r.w, 0);
    r = computeViewport(0, 768, 720, 200, 200, 1, 1);
    EXPECT_GT(r.w, 0);
    EXPECT_GT(r.h, 0);
}

TEST(MonitorFit, WindowNearTheRightEdgeIsPushedBack) {
    // left edge 100 pixels from the right edge of a 1920-wide monitor, 3x zoom
    auto f = fitWindowToMonitor(1820, 50, 768, 720, 0, 0, 1920, 1080);
    EXPECT_EQ(f.x, 1920 - 768);
    EXPECT_EQ(f.w, 768);
    EXPECT_EQ(f.y, 50);
    EXPECT_EQ(f.h, 720);
    EXPECT_TRUE(f.moved);
}

TEST(MonitorFit, PictureLargerThanTheMonitorIsCutToIt) {
    // 5x zoom on a 1280 x 1024 monitor: placed at the top-left corner, sized to the monitor
    auto f = fitWindowToMonitor(200, 100, 1280, 1200, 0, 0, 1280, 1024);
    EXPECT_EQ(f.x, 0);
    EXPECT_EQ(f.y, 0);
    EXPECT_EQ(f.w, 1280);
    EXPECT_EQ(f.h, 1024);
    EXPECT_TRUE(f.moved);
}

TEST(MonitorFit, WindowThatFitsStaysAndOneLeftOfTheMonitorComesIn) {
    auto f = fitWindowToMonitor(100, 100, 512, 480, 0, 0, 1920, 1080);
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.y, 100);
    EXPECT_FALSE(f.moved);

    // second monitor to the right of the first
    f = fitWindowToMonitor(1900, 100, 512, 480, 1920, 0, 3840, 1080);
    EXPECT_EQ(f.x, 1920);
    EXPECT_TRUE(f.moved);
}

TEST(Viewport, AWindowOnNoMonitorIsBroughtOntoTheNearest) {
    const vek::MonitorRect two[2] = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
    struct Case {
        const char* what;
        int x, y, w, h;
        const vek::MonitorRect* monitors;
        int count;
        int wantX, wantY;
        bool moved;
    } cases[] = {
        {"on the monitor: left alone", 100, 100, 512, 480, two, 1, 100, 100, false},
        {"partly over the right edge: left alone", 1800, 100, 512, 480, two, 1, 1800, 100, false},
        {"right of a 1920-wide screen", 3000, 100, 512, 480, two, 1, 1920 - 512, 100, true},
        {"title bar above the top edge", 300, -40, 768, 720, two, 1, 300, 0, true},
        {"beyond both corners", -500, 5000, 768, 720, two, 1, 0, 1080 - 720, true},
        {"on the second monitor: left alone", 3000, 100, 512, 480, two, 2, 3000, 100, false},
        {"below the second monitor: onto it", 2500, 1050, 512, 480, two, 2, 2500, 1024 - 480, true},
        {"larger than the monitor: its top-left corner", 5000, 5000, 2000, 1200, two, 1, 0, 0, true},
        {"no monitors at all: left alone", 3000, 100, 512, 480, two, 0, 3000, 100, false},
    };
    for (const Case& c : cases) {
        int x = c.x, y = c.y;
        EXPECT_EQ(vek::bringOntoMonitor(x, y, c.w, c.h, c.monitors, c.count), c.moved) << c.what;
        EXPECT_EQ(x, c.wantX) << c.what;
        EXPECT_EQ(y, c.wantY) << c.what;
    }
}
