#include "app/windowactivation.h"

#include "platform/singleinstance.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace
{

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_window_t Root(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// The launcher shows a busy pointer until the program it started says it is up; this start is,
// through the window already there.
void EndLaunch(xcb_connection_t* connection, QByteArrayView startupId)
{
    const QByteArray message = StartupRemoveMessage(startupId);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 8;
    event.window = Root(connection);
    event.type = Atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = Atom(connection, "_NET_STARTUP_INFO");
    // Twenty bytes a message, the terminating zero included.
    const qsizetype length = message.size() + 1;
    for (qsizetype sent = 0; sent < length; sent += 20) {
        std::memset(event.data.data8, 0, sizeof event.data.data8);
        std::memcpy(event.data.data8, message.constData() + sent,
                    size_t(std::min<qsizetype>(20, message.size() - sent)));
        xcb_send_event(connection, false, event.window, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
        event.type = more;
    }
}

// Asks the window manager for the focus at the time of the user's launch, which focus-stealing
// prevention weighs against the last use of the window that has the focus now.
void RequestActivation(xcb_connection_t* connection, xcb_window_t window, quint32 time)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom(connection, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1; // from an application
    event.data.data32[1] = time;
    xcb_send_event(connection, false, Root(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
}

} // namespace

quint32 StartupIdTime(QByteArrayView startupId)
{
    const qsizetype at = startupId.lastIndexOf(QByteArrayView("_TIME"));
    if (at < 0)
        return 0;
    bool ok = false;
    const quint32 time = startupId.sliced(at + 5).toByteArray().toUInt(&ok);
    return ok ? time : 0;
}

QByteArray StartupRemoveMessage(QByteArrayView startupId)
{
    QByteArray value = startupId.toByteArray();
    if (value.contains('"') || value.contains('\\') || value.contains(' ')) {
        value.replace('\\', "\\\\").replace('"', "\\\"");
        value = '"' + value + '"';
    }
    return "remove: ID=" + value;
}

void BringToFront(QWidget* window, const QByteArray& token)
{
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    const QString platform = QGuiApplication::platformName();
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (platform == u"xcb" && x11 && !token.isEmpty()) {
        xcb_connection_t* connection = x11->connection();
        EndLaunch(connection, token);
        if (const quint32 time = StartupIdTime(token)) {
            RequestActivation(connection, xcb_window_t(window->winId()), time);
            xcb_flush(connection);
            return;
        }
        xcb_flush(connection);
    }
    // Qt's Wayland plugin hands this token to the compositor with the next activation request.
    if (platform.startsWith(u"wayland") && !token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token);
    window->activateWindow();
}

bool RaiseOnLaterStarts(CSingleInstance& instance, QWidget* window)
{
    return instance.ListenForLaterStarts(
        [target = QPointer<QWidget>(window)](const QByteArray& token) {
            if (target)
                BringToFront(target, token);
        });
}
