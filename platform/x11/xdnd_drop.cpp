// xdnd-drop WINDOW X Y FILE...: drops the files on an X window at the screen point (X, Y), as a
// file manager does through the XDND protocol (version 5, type text/uri-list). The on-screen
// tests use it to drop files on the SDL viewer and on the Windows program under Wine. Exits 0
// once the target has taken the drop, 1 when it refused or did not answer within 10 s.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

Display* s_display = nullptr;
Window s_source = 0, s_target = 0;
Atom s_aware, s_proxy, s_enter, s_position, s_status, s_drop, s_finished, s_leave, s_selection,
    s_copy, s_uri_list;
std::string s_uris;

Atom atom(const char* name) {
    return XInternAtom(s_display, name, False);
}

// Where XDND messages for the window go: its proxy when it names one.
Window message_window(Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    Window result = w;
    if (XGetWindowProperty(s_display, w, s_proxy, 0, 1, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) == Success &&
        data && count == 1 && format == 32)
        result = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    return result;
}

void send(Atom type, long l1, long l2, long l3, long l4) {
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = s_target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(s_source);
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(s_display, message_window(s_target), False, NoEventMask, &e);
    XFlush(s_display);
}

// Hands the file list to the target that asks for the selection.
void answer(const XSelectionRequestEvent& r) {
    XEvent reply;
    std::memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = None;
    if (r.target == s_uri_list) {
        Atom property = r.property != None ? r.property : r.target;
        XChangeProperty(s_display, r.requestor, property, s_uri_list, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(s_uris.data()),
                        static_cast<int>(s_uris.size()));
        reply.xselection.property = property;
    }
    XSendEvent(s_display, r.requestor, False, NoEventMask, &reply);
    XFlush(s_display);
}

enum Wait { WAIT_STATUS, WAIT_FINISHED };

// Runs the event loop until the awaited message comes; answers selection requests meanwhile.
bool wait_for(Wait what, bool* accepted) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(s_display)) {
            XEvent e;
            XNextEvent(s_display, &e);
            if (e.type == SelectionRequest) {
                answer(e.xselectionrequest);
            } else if (e.type == ClientMessage) {
                if (what == WAIT_STATUS && e.xclient.message_type == s_status) {
                    *accepted = e.xclient.data.l[1] & 1;
                    return true;
                }
                if (what == WAIT_FINISHED && e.xclient.message_type == s_finished) {
                    *accepted = true;
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string uri_of(const char* path) {
    std::string uri = "file://";
    for (const char* p = path; *p; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (std::isalnum(c) || std::strchr("/-_.~", c)) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri + "\r\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: xdnd-drop WINDOW X Y FILE...\n");
        return 2;
    }
    s_display = XOpenDisplay(nullptr);
    if (!s_display) {
        std::fprintf(stderr, "xdnd-drop: no display\n");
        return 2;
    }
    s_target = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
    long x = std::strtol(argv[2], nullptr, 10), y = std::strtol(argv[3], nullptr, 10);
    for (int i = 4; i < argc; i++) s_uris += uri_of(argv[i]);
    s_aware = atom("XdndAware");
    s_proxy = atom("XdndProxy");
    s_enter = atom("XdndEnter");
    s_position = atom("XdndPosition");
    s_status = atom("XdndStatus");
    s_drop = atom("XdndDrop");
    s_finished = atom("XdndFinished");
    s_leave = atom("XdndLeave");
    s_selection = atom("XdndSelection");
    s_copy = atom("XdndActionCopy");
    s_uri_list = atom("text/uri-list");

    s_source = XCreateSimpleWindow(s_display, DefaultRootWindow(s_display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(s_display, s_selection, s_source, CurrentTime);
    const long version = 5;
    send(s_enter, version << 24, static_cast<long>(s_uri_list), 0, 0);
    send(s_position, 0, (x << 16) | (y & 0xFFFF), CurrentTime, static_cast<long>(s_copy));
    bool accepted = false;
    if (!wait_for(WAIT_STATUS, &accepted) || !accepted) {
        send(s_leave, 0, 0, 0, 0);
        std::fprintf(stderr, "xdnd-drop: the window did not accept the drop\n");
        return 1;
    }
    send(s_drop, 0, CurrentTime, 0, 0);
    bool finished = false;
    if (!wait_for(WAIT_FINISHED, &finished)) {
        std::fprintf(stderr, "xdnd-drop: the window did not finish the drop\n");
        return 1;
    }
    XCloseDisplay(s_display);
    return 0;
}
