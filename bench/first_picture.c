/* Starts the program and measures the time from its start until its window first shows
 * something other than black, by reading the window back from the X server every
 * millisecond or two. Prints the milliseconds; exits 1 when nothing shows within 20 s.
 * The program is left running (its pid goes to standard error) for the caller to end.
 * usage: first-picture DIR PROGRAM   (DIR becomes the program's working directory) */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

/* an unmapped or vanished window is not an error here: it is looked at again later */
static int ignoreErrors(Display* dpy, XErrorEvent* e) {
    (void)dpy;
    (void)e;
    return 0;
}

static long windowPid(Display* dpy, Window w) {
    Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", True);
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    long pid = -1;
    if (pidAtom != None &&
        XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
            Success &&
        data && n == 1)
        pid = (long)*(unsigned long*)data;
    if (data) XFree(data);
    return pid;
}

/* the window of process `pid`, searched for through the whole tree (a window manager puts
 * its frame around it) */
static Window findWindow(Display* dpy, Window w, long pid) {
    if (windowPid(dpy, w) == pid) return w;
    Window root, parent, *children = NULL;
    unsigned int n = 0;
    Window found = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
    for (unsigned int i = 0; i < n && !found; i++) found = findWindow(dpy, children[i], pid);
    if (children) XFree(children);
    return found;
}

/* The window is read back through shared memory: a full read over the socket every
 * millisecond would keep the single-threaded X server busy copying and slow down the very
 * program being measured. One image is kept and made again when the window's size changes. */
static XImage* shot;
static XShmSegmentInfo shm;

static void dropShot(Display* dpy) {
    if (!shot) return;
    XShmDetach(dpy, &shm);
    XDestroyImage(shot);
    shmdt(shm.shmaddr);
    shot = NULL;
}

static int makeShot(Display* dpy, const XWindowAttributes* a) {
    if (shot && shot->width == a->width && shot->height == a->height) return 1;
    dropShot(dpy);
    shot = XShmCreateImage(dpy, a->visual, (unsigned)a->depth, ZPixmap, NULL, &shm, (unsigned)a->width,
                           (unsigned)a->height);
    if (!shot) return 0;
    shm.shmid = shmget(IPC_PRIVATE, (size_t)shot->bytes_per_line * shot->height, IPC_CREAT | 0600);
    shm.shmaddr = shot->data = shm.shmid >= 0 ? shmat(shm.shmid, NULL, 0) : (char*)-1;
    shm.readOnly = False;
    if (shm.shmid >= 0) shmctl(shm.shmid, IPC_RMID, NULL); /* gone once both sides let go */
    if (shot->data == (char*)-1 || !XShmAttach(dpy, &shm)) {
        if (shot->data != (char*)-1) shmdt(shm.shmaddr);
        shot->data = NULL;
        XDestroyImage(shot);
        shot = NULL;
        return 0;
    }
    return 1;
}

static int showsSomething(Display* dpy, Window w) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable || a.width < 1) return 0;
    if (a.depth != 24 && a.depth != 32) return 0;
    if (!makeShot(dpy, &a) || !XShmGetImage(dpy, w, shot, 0, 0, AllPlanes)) return 0;
    for (int y = 0; y < a.height; y += 3) {
        const unsigned int* row = (const unsigned int*)(shot->data + (size_t)y * shot->bytes_per_line);
        for (int x = 0; x < a.width; x += 3) {
            if (row[x] & 0xFFFFFF) return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: first-picture DIR PROGRAM\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "first-picture: cannot open display\n");
        return 2;
    }
    if (!XShmQueryExtension(dpy)) {
        fprintf(stderr, "first-picture: the X server has no shared memory extension\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    fflush(NULL);
    double t0 = now();
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(argv[1]) != 0) _exit(127);
        if (!freopen("stdout.log", "w", stdout) || !freopen("stderr.log", "w", stderr)) _exit(127);
        execl(argv[2], argv[2], (char*)NULL);
        _exit(127);
    }
    fprintf(stderr, "%ld\n", (long)pid);
    Window w = 0;
    while (now() - t0 < 20.0) {
        if (!w) w = findWindow(dpy, DefaultRootWindow(dpy), pid);
        if (w && showsSomething(dpy, w)) {
            printf("%.0f\n", (now() - t0) * 1000.0);
            dropShot(dpy);
            return 0;
        }
        usleep(1000);
    }
    fprintf(stderr, "first-picture: nothing shown after 20 s\n");
    return 1;
}
