#include <gtest/gtest.h>

#include "app/viewport.h"

using vek::computeViewport;
using vek::fitWindowToMonitor;

TEST(Viewport, SizeOfEachZoomMode) {
    const struct {
        const char* what;
        int zoom, displayW, displayH, overscanTop, overscanBottom, storedW, storedH;
        int w, h;
        bool fixed;
    } cases[] = {
        {"stretch follows the display height", -1, 768, 720, 0, 0, 1, 1, 768, 720, false},
        // 224 picture rows: 720 * 256 / 224 = 822.857..., truncated
        {"stretch of a cut picture", -1, 500, 720, 8, 8, 1, 1, 822, 720, false},
        {"integral: the largest whole multiple that fits", 0, 1000, 700, 0, 0, 1, 1, 512, 480, false},
        {"integral: too small for one multiple is 1x, cut off", 0, 200, 200, 0, 0, 1, 1, 256, 240, false},
        // 720 / 224 = 3, 1000 / 256 = 3
        {"integral: overscan gives more room vertically", 0, 1000, 720, 8, 8, 1, 1, 768, 672, false},
        {"a fixed multiple ignores the display", 3, 10, 10, 0, 0, 1, 1, 768, 720, true},
        {"a fixed multiple of a cut picture", 2, 10, 10, 4, 4, 1, 1, 512, 464, true},
        {"another negative zoom keeps the stored size", -2, 1000, 1000, 0, 0, 333, 222, 333, 222, false},
    };
    for (const auto& c : cases) {
        auto r = computeViewport(c.zoom, c.displayW, c.displayH, c.overscanTop, c.overscanBottom, c.storedW, c.storedH);
        EXPECT_EQ(r.w, c.w) << c.what;
        EXPECT_EQ(r.h, c.h) << c.what;
        EXPECT_EQ(r.fixed, c.fixed) << c.what;
    }
    // overscan that leaves no rows does not divide by zero
    EXPECT_GT(computeViewport(-1, 768, 720, 120, 120, 1, 1).w, 0);
    EXPECT_GT(computeViewport(0, 768, 720, 200, 200, 1, 1).h, 0);
}

TEST(MonitorFit, WindowIsMovedAndCutOntoTheMonitor) {
    const struct {
        const char* what;
        int wx, wy, vw, vh, x1, y1, x2, y2;
        int x, y, w, h;
        bool moved;
    } cases[] = {
        {"a window that fits stays", 100, 100, 512, 480, 0, 0, 1920, 1080, 100, 100, 512, 480, false},
        {"near the right edge: pushed back", 1820, 50, 768, 720, 0, 0, 1920, 1080, 1920 - 768, 50, 768, 720, true},
        {"left of a second monitor: brought in", 1900, 100, 512, 480, 1920, 0, 3840, 1080, 1920, 100, 512, 480, true},
        // 5x zoom on a 1280 x 1024 monitor: at the top-left corner, the monitor's size
        {"larger than the monitor: cut to it", 200, 100, 1280, 1200, 0, 0, 1280, 1024, 0, 0, 1280, 1024, true},
    };
    for (const auto& c : cases) {
        auto f = fitWindowToMonitor(c.wx, c.wy, c.vw, c.vh, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(f.x, c.x) << c.what;
        EXPECT_EQ(f.y, c.y) << c.what;
        EXPECT_EQ(f.w, c.w) << c.what;
        EXPECT_EQ(f.h, c.h) << c.what;
        EXPECT_EQ(f.moved, c.moved) << c.what;
    }
}

TEST(MonitorFit, AWindowOnNoMonitorIsBroughtOntoTheNearest) {
    const vek::MonitorRect two[2] = {{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}};
    const struct {
        const char* what;
        int x, y, w, h;
        int count;
        int wantX, wantY;
        bool moved;
    } cases[] = {
        {"on the monitor: left alone", 100, 100, 512, 480, 1, 100, 100, false},
        {"partly over the right edge: left alone", 1800, 100, 512, 480, 1, 1800, 100, false},
        {"right of a 1920-wide screen", 3000, 100, 512, 480, 1, 1920 - 512, 100, true},
        {"title bar above the top edge", 300, -40, 768, 720, 1, 300, 0, true},
        {"beyond both corners", -500, 5000, 768, 720, 1, 0, 1080 - 720, true},
        {"on the second monitor: left alone", 3000, 100, 512, 480, 2, 3000, 100, false},
        {"below the second monitor: onto it", 2500, 1050, 512, 480, 2, 2500, 1024 - 480, true},
        {"larger than the monitor: its top-left corner", 5000, 5000, 2000, 1200, 1, 0, 0, true},
        {"no monitors at all: left alone", 3000, 100, 512, 480, 0, 3000, 100, false},
    };
    for (const auto& c : cases) {
        int x = c.x, y = c.y;
        EXPECT_EQ(vek::bringOntoMonitor(x, y, c.w, c.h, two, c.count), c.moved) << c.what;
        EXPECT_EQ(x, c.wantX) << c.what;
        EXPECT_EQ(y, c.wantY) << c.what;
    }
}
