#include "ui/desktop/x11_tray.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ui {

namespace {

xcb_intern_atom_cookie_t intern(xcb_connection_t* connection, const char* name)
{
    return xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
}

xcb_atom_t atom(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

} // namespace

X11Tray::X11Tray(QObject* parent) : QObject(parent)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers too, without a connection.
    connection_ = x11 != nullptr ? x11->connection() : nullptr;
    if (connection_ == nullptr)
        return;
    const xcb_intern_atom_cookie_t selection = intern(connection_, "_NET_SYSTEM_TRAY_S0");
    const xcb_intern_atom_cookie_t manager = intern(connection_, "MANAGER");
    selection_ = atom(connection_, selection);
    manager_ = atom(connection_, manager);
    // A tray that takes the selection tells every client on the root window, where Qt listens
    // for its own tray icons.
    QCoreApplication::instance()->installNativeEventFilter(this);
}

bool X11Tray::present() const
{
    if (connection_ == nullptr || selection_ == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection_), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}

bool X11Tray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    // Told once Qt has handled the news too: an icon made before would be docked twice.
    if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && client->type == manager_ && client->format == 32
        && client->data.data32[1] == selection_)
        QMetaObject::invokeMethod(this, &X11Tray::appeared, Qt::QueuedConnection);
    return false;
}

} // namespace ui
