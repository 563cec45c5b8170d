#include "app/viewport.h"

namespace vek {

ViewportResult computeViewport(int zoom, int displayW, int displayH, int overscanTop, int overscanBottom,
                               int storedW, int storedH) {
    int picH = PICTURE_H - overscanTop - overscanBottom;
    if (picH < 1) picH = 1;  // the configuration keeps overscan sane; never divide by zero here

    ViewportResult r{storedW, storedH, false};
    if (zoom == 0) {
        int f = displayW / PICTURE_W;
        int fy = displayH / picH;
        if (fy < f) f = fy;
        if (f < 1) f = 1;
        r.w = PICTURE_W * f;
        r.h = picH * f;
    } else if (zoom == -1) {
        r.h = displayH;
        r.w = (int)((long long)displayH * PICTURE_W / picH);
    } else if (zoom >= 1) {
        r.w = PICTURE_W * zoom;
        r.h = picH * zoom;
        r.fixed = true;
    }
    return r;
}

static void fitAxis(int& pos, int& size, int picture, int lo, int hi, bool& moved) {
    if (pos + picture < hi) {
        size = picture;
        if (pos < lo) {
            pos = lo;
            moved = true;
        }
    } else {
        pos = hi - picture;
        size = picture;
        moved = true;
        if (pos < lo) {
            pos = lo;
            size = hi - lo;
        }
    }
}

WindowFit fitWindowToMonitor(int wx, int wy, int vw, int vh, int x1, int y1, int x2, int y2) {
    WindowFit fit{wx, wy, vw, vh, false};
    fitAxis(fit.x, fit.w, vw, x1, x2, fit.moved);
    fitAxis(fit.y, fit.h, vh, y1, y2, fit.moved);
    return fit;
}

bool bringOntoMonitor(int& x, int& y, int w, int h, const MonitorRect* monitors, int count) {
    int best = -1;
    long long bestDistance = 0;
    for (int i = 0; i < count; i++) {
        const MonitorRect& m = monitors[i];
        long long dx = x < m.x1 ? (long long)m.x1 - x : (x > m.x2 ? (long long)x - m.x2 : 0);
        long long dy = y < m.y1 ? (long long)m.y1 - y : (y > m.y2 ? (long long)y - m.y2 : 0);
        if (dx == 0 && dy == 0) return false;
        long long d = dx * dx + dy * dy;
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    if (best < 0) return false;
    const MonitorRect& m = monitors[best];
    auto clampTo = [](int v, int lo, int hi) { return v > hi ? hi : (v < lo ? lo : v); };
    x = clampTo(x, m.x1, m.x2 - w > m.x1 ? m.x2 - w : m.x1);
    y = clampTo(y, m.y1, m.y2 - h > m.y1 ? m.y2 - h : m.y1);
    return true;
}

}  // namespace vek
