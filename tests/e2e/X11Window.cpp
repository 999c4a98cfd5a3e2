#include "tests/e2e/X11Window.h"

#include <X11/Xatom.h>

#include "tests/e2e/WaitUntil.h"

namespace {

// Enough 32-bit items for the largest property read: an icon of 256 x 256.
constexpr long kMaxPropertyItems = 2 + 256 * 256;

// The items of a property of the given type and 32-bit format.
std::vector<long> PropertyItems(Display* display, Window window, const char* property, Atom type) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<long> items;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0,
                           kMaxPropertyItems, False, type, &actualType, &actualFormat, &count,
                           &remaining, &data) == Success &&
        data) {
        // Xlib hands 32-bit items over as longs.
        if (actualFormat == 32) {
            const long* values = reinterpret_cast<const long*>(data);
            items.assign(values, values + count);
        }
        XFree(data);
    }
    return items;
}

std::optional<Window> MappedWindowOf(Display* display, pid_t pid) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::optional<Window> found;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        return found;
    }
    for (unsigned int i = 0; i < count && !found; ++i) {
        const std::vector<long> owner =
            PropertyItems(display, children[i], "_NET_WM_PID", XA_CARDINAL);
        if (!owner.empty() && owner[0] == pid && IsMapped(display, children[i])) {
            found = children[i];
        }
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

XConnection::XConnection() : m_display(XOpenDisplay(nullptr)) {}

XConnection::~XConnection() {
    if (m_display) XCloseDisplay(m_display);
}

std::optional<Window> FindMappedWindowOf(Display* display, pid_t pid,
                                         std::chrono::milliseconds limit) {
    std::optional<Window> window;
    WaitUntil([&] { return (window = MappedWindowOf(display, pid)).has_value(); }, limit);
    return window;
}

bool IsMapped(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

WindowGeometry GeometryOf(Display* display, Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    WindowGeometry geometry;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &geometry.x,
                          &geometry.y, &child);
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    return geometry;
}

WindowGeometry ScreenSize(Display* display) {
    WindowGeometry screen;
    screen.width = DisplayWidth(display, DefaultScreen(display));
    screen.height = DisplayHeight(display, DefaultScreen(display));
    return screen;
}

std::vector<std::string> AtomNames(Display* display, Window window, const char* property) {
    std::vector<std::string> names;
    for (long atom : PropertyItems(display, window, property, XA_ATOM)) {
        if (char* name = XGetAtomName(display, static_cast<Atom>(atom))) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

std::vector<long> CardinalValues(Display* display, Window window, const char* property) {
    return PropertyItems(display, window, property, AnyPropertyType);
}

void SendCloseRequest(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);  // handled by the server before any later request of a test
}
