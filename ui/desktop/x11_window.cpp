#include "ui/desktop/x11_window.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace ui {

namespace {

// What a launcher or a notification service writes into a startup id to tell when the user acted.
constexpr std::string_view kTimeMark = "_TIME";
// More than any desktop's ids; a longer one from the bus is no id at all.
constexpr qsizetype kLongestStartupId = 512;
// The startup-notification protocol's pieces: a message goes in client messages of 20 bytes.
constexpr std::size_t kStartupChunk = 20;
// _NET_ACTIVE_WINDOW's source: a request from the application itself.
constexpr std::uint32_t kFromApplication = 1;

struct Free {
    void operator()(void* reply) const noexcept { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, Free>;

xcb_atom_t intern(xcb_connection_t* connection, std::string_view name)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The time a startup id carries, when it carries one: "..._TIME" and a decimal count of X
// server milliseconds.
std::optional<xcb_timestamp_t> timeIn(const QByteArray& startupId)
{
    const qsizetype mark = startupId.lastIndexOf(QByteArray::fromRawData(kTimeMark.data(), kTimeMark.size()));
    if (mark < 0)
        return std::nullopt;
    bool ok = false;
    const ulong time = startupId.mid(mark + kTimeMark.size()).toULong(&ok);
    if (!ok || time == XCB_CURRENT_TIME || time > UINT32_MAX)
        return std::nullopt;
    return static_cast<xcb_timestamp_t>(time);
}

// A startup id as the protocol quotes a value: in double quotes, with backslashes before quotes
// and backslashes.
QByteArray quoted(const QByteArray& value)
{
    QByteArray text = value;
    text.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + text + '"';
}

} // namespace

X11Window::X11Window(QWidget* window) : QObject(window), window_(window)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers too, without a connection.
    connection_ = x11 != nullptr ? x11->connection() : nullptr;
    if (connection_ == nullptr)
        return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const auto named = [this](std::string_view name) { return intern(connection_, name); };
    atoms_ = {named("WM_STATE"), named("_NET_WM_STATE"), named("_NET_WM_STATE_HIDDEN"),
        named("_NET_WM_STATE_DEMANDS_ATTENTION"), named("_NET_ACTIVE_WINDOW"),
        named("_NET_STARTUP_ID"), named("_NET_STARTUP_INFO_BEGIN"), named("_NET_STARTUP_INFO"), named("UTF8_STRING"),
        named("_SENTRILO_CLOCK")};
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Window::Id X11Window::id() const
{
    // Zero until the window exists on the server; asking for it here would create it early.
    return static_cast<xcb_window_t>(window_->internalWinId());
}

std::optional<bool> X11Window::minimized() const
{
    if (connection_ == nullptr)
        return std::nullopt;
    const xcb_window_t window = id();
    if (window == XCB_WINDOW_NONE)
        return false;
    const xcb_get_property_cookie_t wmState =
        xcb_get_property(connection_, 0, window, atoms_.wmState, atoms_.wmState, 0, 2);
    const xcb_get_property_cookie_t netWmState =
        xcb_get_property(connection_, 0, window, atoms_.netWmState, XCB_ATOM_ATOM, 0, 64);
    const ReplyPtr<xcb_get_property_reply_t> state(xcb_get_property_reply(connection_, wmState, nullptr));
    const ReplyPtr<xcb_get_property_reply_t> states(xcb_get_property_reply(connection_, netWmState, nullptr));
    if (state && state->format == 32 && xcb_get_property_value_length(state.get()) >= 4
        && *static_cast<const std::uint32_t*>(xcb_get_property_value(state.get())) == XCB_ICCCM_WM_STATE_ICONIC)
        return true;
    if (!states || states->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(states.get()));
    const auto count = static_cast<std::size_t>(xcb_get_property_value_length(states.get())) / sizeof(xcb_atom_t);
    return std::find(atoms, atoms + count, atoms_.hidden) != atoms + count;
}

void X11Window::restore()
{
    // A client restores its minimized window by mapping it again (ICCCM 4.1.4).
    if (connection_ != nullptr && id() != XCB_WINDOW_NONE) {
        xcb_map_window(connection_, id());
        xcb_flush(connection_);
    }
}

bool X11Window::demandAttention()
{
    const Id window = id();
    if (connection_ == nullptr || window == 0)
        return false;
    const ReplyPtr<xcb_get_property_reply_t> active(xcb_get_property_reply(connection_,
        xcb_get_property(connection_, 0, root_, atoms_.activeWindow, XCB_ATOM_WINDOW, 0, 1), nullptr));
    const bool isActive = active && xcb_get_property_value_length(active.get()) == 4
        && *static_cast<const xcb_window_t*>(xcb_get_property_value(active.get())) == window;
    if (isActive && !minimized().value_or(false))
        return true;
    attentionAsked_ = true;
    changeState(true, atoms_.demandsAttention);
    return true;
}

void X11Window::takeAttentionBack()
{
    if (std::exchange(attentionAsked_, false))
        changeState(false, atoms_.demandsAttention);
}

// Asks the window manager, which keeps _NET_WM_STATE for a window that is not withdrawn.
void X11Window::changeState(bool add, Id state)
{
    xcb_client_message_event_t change{};
    change.response_type = XCB_CLIENT_MESSAGE;
    change.format = 32;
    change.window = id();
    change.type = atoms_.netWmState;
    change.data.data32[0] = add ? 1 : 0; // _NET_WM_STATE_ADD, _NET_WM_STATE_REMOVE
    change.data.data32[1] = state;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&change));
    xcb_flush(connection_);
}

bool X11Window::activateForUser(const QByteArray& startupId)
{
    if (connection_ == nullptr || id() == XCB_WINDOW_NONE)
        return false;
    const QByteArray usable = startupId.size() <= kLongestStartupId ? startupId : QByteArray();
    if (const std::optional<xcb_timestamp_t> time = timeIn(usable)) {
        pendingActivation_ = usable;
        activateAt(*time);
        return true;
    }
    // The server stamps every property change with its time, and tells the window's owner.
    pendingActivation_ = usable;
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, id(), atoms_.clock, XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(connection_);
    return true;
}

void X11Window::activateAt(Id time)
{
    const xcb_window_t window = id();
    const QByteArray startupId = pendingActivation_.value_or(QByteArray());
    pendingActivation_.reset();
    if (!startupId.isEmpty())
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, atoms_.startupId, atoms_.utf8String, 8,
            static_cast<std::uint32_t>(startupId.size()), startupId.constData());
    if (minimized().value_or(false))
        restore();
    xcb_client_message_event_t activate{};
    activate.response_type = XCB_CLIENT_MESSAGE;
    activate.format = 32;
    activate.window = window;
    activate.type = atoms_.activeWindow;
    activate.data.data32[0] = kFromApplication;
    activate.data.data32[1] = time;
    // The program's window that has the focus now, if one does.
    if (const QWindow* focused = QGuiApplication::focusWindow())
        activate.data.data32[2] = static_cast<std::uint32_t>(focused->winId());
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&activate));
    if (!startupId.isEmpty())
        endLaunch(startupId);
    xcb_flush(connection_);
}

// Tells the desktop that what the startup id announced has happened, so that it stops waiting
// for it (and shows no busy pointer).
void X11Window::endLaunch(const QByteArray& startupId)
{
    const QByteArray message = "remove: ID=" + quoted(startupId) + '\0';
    xcb_client_message_event_t chunk{};
    chunk.response_type = XCB_CLIENT_MESSAGE;
    chunk.format = 8;
    chunk.window = id();
    for (std::size_t sent = 0; sent < static_cast<std::size_t>(message.size()); sent += kStartupChunk) {
        chunk.type = sent == 0 ? atoms_.startupInfoBegin : atoms_.startupInfo;
        const std::size_t count = std::min(kStartupChunk, static_cast<std::size_t>(message.size()) - sent);
        std::memset(chunk.data.data8, 0, sizeof chunk.data.data8);
        std::memcpy(chunk.data.data8, message.constData() + sent, count);
        xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&chunk));
    }
}

bool X11Window::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
    if (change->window != id())
        return false;
    if (change->atom == atoms_.wmState || change->atom == atoms_.netWmState) {
        // Told once Qt has taken the change in too.
        QMetaObject::invokeMethod(this, &X11Window::stateChanged, Qt::QueuedConnection);
    } else if (change->atom == atoms_.clock && pendingActivation_) {
        const xcb_timestamp_t time = change->time;
        QMetaObject::invokeMethod(this, [this, time] { activateAt(time); }, Qt::QueuedConnection);
    }
    return false;
}

} // namespace ui
