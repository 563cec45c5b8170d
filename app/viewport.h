#pragma once

namespace vek {

// the console picture, before overscan is cut off
static const int PICTURE_W = 256;
static const int PICTURE_H = 240;

// The arithmetic behind the picture's size in the display and the window's place on its
// monitor, kept apart from the display so that it can be checked on its own.

struct ViewportResult {
    int w, h;
    bool fixed;  // a fixed multiple: the window may be fitted to its monitor
};

// zoom: -1 stretch to the height, 0 largest whole multiple, n >= 1 that multiple, any other
// negative value keeps the stored size
ViewportResult computeViewport(int zoom, int displayW, int displayH, int overscanTop, int overscanBottom,
                               int storedW, int storedH);

struct WindowFit {
    int x, y;  // window position
    int w, h;  // window size
    bool moved;
};

// Keeps a window of the picture size (vw, vh) at (wx, wy) on the monitor (x1, y1)-(x2, y2):
// pushed back from the right and bottom edges, never past the left and top ones, and
// narrowed to the monitor when the picture is larger than it.
WindowFit fitWindowToMonitor(int wx, int wy, int vw, int vh, int x1, int y1, int x2, int y2);

struct MonitorRect {
    int x1, y1, x2, y2;
};

// A window (w x h) whose position (x, y) lies on none of the monitors is moved onto the
// nearest one, as far in as its size allows. Returns whether it moved.
bool bringOntoMonitor(int& x, int& y, int w, int h, const MonitorRect* monitors, int count);

}  // namespace vek
