// The launcher's window as the X server sees it: found by the process that
// owns it, its geometry and window-manager hints, and a close request sent as
// a window manager sends one.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class XConnection {
public:
    // Connects to $DISPLAY; Get() is null when there is no display.
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;
    Display* Get() const { return m_display; }

private:
    Display* m_display;
};

struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A mapped top-level window of process pid (by _NET_WM_PID), waiting up to
// limit for one to appear.
std::optional<Window> FindMappedWindowOf(Display* display, pid_t pid,
                                         std::chrono::milliseconds limit);
bool IsMapped(Display* display, Window window);
WindowGeometry GeometryOf(Display* display, Window window);
WindowGeometry ScreenSize(Display* display);
// The atom names of an ATOM[] property (for example _NET_WM_STATE).
std::vector<std::string> AtomNames(Display* display, Window window, const char* property);
// The values of a 32-bit property (for example _MOTIF_WM_HINTS).
std::vector<long> CardinalValues(Display* display, Window window, const char* property);
// WM_DELETE_WINDOW, as a window manager asks a window to close.
void SendCloseRequest(Display* display, Window window);
