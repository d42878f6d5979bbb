#include "gui/base/taskbar.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>

namespace {
xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}
}  // namespace

void KeepOffTaskbar(QWidget* window)
{
    // The offscreen platform offers the interface too, without a connection.
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 && QGuiApplication::platformName() == u"xcb" ? x11->connection() : nullptr;
    if (!connection) return;
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE) return;
    // Set on the unmapped window, the state is read by the manager when the window is mapped;
    // Qt adds its own states to it then.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, static_cast<xcb_window_t>(window->winId()), state,
                        XCB_ATOM_ATOM, 32, 1, &skip);
    xcb_flush(connection);
}
