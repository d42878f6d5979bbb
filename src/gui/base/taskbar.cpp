#include "gui/base/taskbar.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QWidget>
#include <xcb/xcb.h>

namespace {
// The program's X11 connection; none on other platforms (the offscreen platform offers the
// interface too, without a connection).
xcb_connection_t* X11Connection()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 && QGuiApplication::platformName() == u"xcb" ? x11->connection() : nullptr;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The window's native id, its native window made if need be. QWidget::winId() on a window that
// has a parent widget (a tool window, a dialog) would make every other child of that parent
// native too, unless the application says otherwise; and native children lose the transparency
// of the labels drawn over a picture, which then show black or whatever the screen held.
WId NativeId(QWidget* window)
{
    const bool before = QCoreApplication::testAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    const WId id = window->winId();
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, before);
    return id;
}

// Adds or removes a _NET_WM_STATE state. Added to an unmapped window, the state is read by the
// manager when the window is mapped (Qt adds its own states to it then); a mapped window's
// states belong to the manager, which is asked for the change.
void ChangeWindowState(QWidget* window, const char* name, bool add)
{
    // Made on every platform alike, so that tests off X11 see the windows X11 gets.
    const auto id = static_cast<xcb_window_t>(NativeId(window));
    xcb_connection_t* connection = X11Connection();
    if (!connection) return;
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const xcb_atom_t added = Atom(connection, name);
    if (state == XCB_ATOM_NONE || added == XCB_ATOM_NONE) return;
    if (!window->isVisible()) {
        if (!add) return;  // an unmapped window keeps only what was added since it was last shown
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &added);
    } else {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = state;
        message.data.data32[0] = add ? 1 : 0;
        message.data.data32[1] = added;
        message.data.data32[3] = 1;  // asked by an application
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&message));
    }
    xcb_flush(connection);
}
}  // namespace

void KeepOffTaskbar(QWidget* window)
{
    ChangeWindowState(window, "_NET_WM_STATE_SKIP_TASKBAR", true);
}

void MarkForAttention(QWidget* window)
{
    // Not isActiveWindow(), nor QApplication::alert on X11: Qt counts a window as active, and
    // leaves it unmarked, while any window it owns is active, as the main window is while the
    // user works in a tool window.
    if (QApplication::activeWindow() == window) return;
    if (X11Connection())
        ChangeWindowState(window, "_NET_WM_STATE_DEMANDS_ATTENTION", true);
    else
        QApplication::alert(window);
}

void CallForAttention(QWidget* window)
{
    if (!window->isHidden()) {
        MarkForAttention(window);
        return;
    }
    // The attribute first: closing destroyed the native window, and the one made anew (by the
    // mark, which goes with the showing) takes the attribute as it is then.
    const bool quiet = window->testAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    MarkForAttention(window);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void AwaitAttention(QWidget* toolWindow)
{
    MarkForAttention(toolWindow->parentWidget());
    CallForAttention(toolWindow);
}

void ClearAttention(QWidget* window)
{
    ChangeWindowState(window, "_NET_WM_STATE_DEMANDS_ATTENTION", false);
}
