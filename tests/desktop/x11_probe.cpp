#include "tests/desktop/x11_probe.h"

#include <QGuiApplication>
#include <QTest>

#include <xcb/xcb_icccm.h>

// The XKB header names a member `explicit`, which C++ reserves.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <utility>

namespace {

struct FreeReply {
    void operator()(void* reply) const noexcept { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// Returns once the server has handled every request sent on `connection` before.
void roundTrip(xcb_connection_t* connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

X11Probe::X11Probe()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr)
        throw std::runtime_error("not running on X11");
    connection_ = x11->connection();
    if (xcb_ewmh_init_atoms_replies(&ewmh_, xcb_ewmh_init_atoms(connection_, &ewmh_), nullptr) == 0)
        throw std::runtime_error("cannot intern the EWMH atoms");
}

X11Probe::~X11Probe()
{
    xcb_ewmh_connection_wipe(&ewmh_);
}

QString X11Probe::netWmName(xcb_window_t window) const
{
    xcb_ewmh_get_utf8_strings_reply_t name{};
    if (xcb_ewmh_get_wm_name_reply(&ewmh_, xcb_ewmh_get_wm_name(&ewmh_, window), &name, nullptr) == 0)
        return {};
    const QString text = QString::fromUtf8(name.strings, name.strings_len);
    xcb_ewmh_get_utf8_strings_reply_wipe(&name);
    return text;
}

QStringList X11Probe::wmClass(xcb_window_t window) const
{
    xcb_icccm_get_wm_class_reply_t names{};
    if (xcb_icccm_get_wm_class_reply(connection_, xcb_icccm_get_wm_class(connection_, window), &names, nullptr) == 0)
        return {};
    const QStringList both{QString::fromLatin1(names.instance_name), QString::fromLatin1(names.class_name)};
    xcb_icccm_get_wm_class_reply_wipe(&names);
    return both;
}

bool X11Probe::holds(xcb_window_t window, xcb_atom_t property, const char* name) const
{
    xcb_ewmh_get_atoms_reply_t atoms{};
    const auto cookie = xcb_get_property(connection_, 0, window, property, XCB_ATOM_ATOM, 0, UINT32_MAX);
    if (xcb_ewmh_get_atoms_reply(&ewmh_, cookie, &atoms, nullptr) == 0)
        return false;
    const std::span<const xcb_atom_t> all(atoms.atoms, atoms.atoms_len);
    const bool found = std::ranges::find(all, internAtom(connection_, name)) != all.end();
    xcb_ewmh_get_atoms_reply_wipe(&atoms);
    return found;
}

bool X11Probe::hasState(xcb_window_t window, const char* state) const
{
    return holds(window, ewmh_._NET_WM_STATE, state);
}

bool X11Probe::allows(xcb_window_t window, const char* action) const
{
    return holds(window, ewmh_._NET_WM_ALLOWED_ACTIONS, action);
}

bool X11Probe::iconic(xcb_window_t window) const
{
    // xcb-icccm writes WM_STATE's values but has no reader for the property itself.
    const xcb_atom_t wmState = internAtom(connection_, "WM_STATE");
    const ReplyPtr<xcb_get_property_reply_t> state(xcb_get_property_reply(connection_,
        xcb_get_property(connection_, 0, window, wmState, wmState, 0, 1), nullptr));
    return state && xcb_get_property_value_length(state.get()) == 4
        && *static_cast<const std::uint32_t*>(xcb_get_property_value(state.get())) == XCB_ICCCM_WM_STATE_ICONIC;
}

QSize X11Probe::fixedSize(xcb_window_t window) const
{
    constexpr std::uint32_t kMinAndMax = XCB_ICCCM_SIZE_HINT_P_MIN_SIZE | XCB_ICCCM_SIZE_HINT_P_MAX_SIZE;
    xcb_size_hints_t hints{};
    xcb_icccm_get_wm_normal_hints_reply(connection_, xcb_icccm_get_wm_normal_hints(connection_, window), &hints,
        nullptr);
    const QSize least(hints.min_width, hints.min_height);
    const bool fixed = (hints.flags & kMinAndMax) == kMinAndMax && least == QSize(hints.max_width, hints.max_height);
    return fixed ? least : QSize();
}

std::vector<QSize> X11Probe::iconSizes(xcb_window_t window) const
{
    xcb_ewmh_get_wm_icon_reply_t icon{};
    if (xcb_ewmh_get_wm_icon_reply(&ewmh_, xcb_ewmh_get_wm_icon(&ewmh_, window), &icon, nullptr) == 0)
        return {};
    std::vector<QSize> sizes;
    for (auto picture = xcb_ewmh_get_wm_icon_iterator(&icon); picture.rem > 0; xcb_ewmh_get_wm_icon_next(&picture))
        sizes.emplace_back(static_cast<int>(picture.width), static_cast<int>(picture.height));
    xcb_ewmh_get_wm_icon_reply_wipe(&icon);
    return sizes;
}

xcb_window_t X11Probe::activeWindow() const
{
    xcb_window_t active = 0;
    return xcb_ewmh_get_active_window_reply(&ewmh_, xcb_ewmh_get_active_window(&ewmh_, 0), &active, nullptr) != 0
        ? active
        : 0;
}

DisplayPeer::DisplayPeer()
{
    connection_ = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection_))
        throw std::runtime_error("no X display");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    protocols_ = internAtom(connection_, "WM_PROTOCOLS");
    ping_ = internAtom(connection_, "_NET_WM_PING");

    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection_, &xcb_xkb_id);
    const ReplyPtr<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(connection_,
        xcb_xkb_use_extension(connection_, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (xkb == nullptr || !xkb->present || !use || !use->supported)
        throw std::runtime_error("no XKB");
    xkbEvent_ = xkb->first_event;
    xcb_xkb_select_events(connection_, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0,
        XCB_XKB_EVENT_TYPE_BELL_NOTIFY, 0, 0, nullptr);
    // Answers to pings are sent to the root, for whoever selects its structure or redirects it.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    // So the selections are in place before anything can happen.
    roundTrip(connection_);
}

DisplayPeer::~DisplayPeer()
{
    xcb_disconnect(connection_);
}

void DisplayPeer::readEvents()
{
    if (xcb_connection_has_error(connection_))
        throw std::runtime_error("X connection lost");
    while (const ReplyPtr<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
        const std::uint8_t type = event->response_type & 0x7f;
        const auto* bell = reinterpret_cast<const xcb_xkb_bell_notify_event_t*>(event.get());
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if (type == xkbEvent_ && bell->xkbType == XCB_XKB_BELL_NOTIFY)
            ++bells_;
        else if (type == XCB_CLIENT_MESSAGE && message->type == protocols_ && message->data.data32[0] == ping_)
            pongSeen_ = std::max(pongSeen_, message->data.data32[1]);
        else if (type == XCB_CLIENT_MESSAGE && message->type == trayOpcode_ && message->data.data32[1] == 0)
            docked_ = message->data.data32[2]; // SYSTEM_TRAY_REQUEST_DOCK
        else if (type == XCB_PROPERTY_NOTIFY)
            stamped_ = reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time;
    }
}

int DisplayPeer::takeBellCount(xcb_connection_t* sender)
{
    // Once the sender's round trip is answered, the server has rung its bells and queued their
    // events for this connection, ahead of the answer to this connection's own round trip.
    roundTrip(sender);
    roundTrip(connection_);
    readEvents();
    return std::exchange(bells_, 0);
}

bool DisplayPeer::ping(xcb_window_t window, std::chrono::milliseconds patience)
{
    const std::uint32_t stamp = ++pingsSent_;
    const xcb_client_message_event_t message{.response_type = XCB_CLIENT_MESSAGE, .format = 32, .sequence = 0,
        .window = window, .type = protocols_, .data = {.data32 = {ping_, stamp, window}}};
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
    return QTest::qWaitFor([&] { return readEvents(), pongSeen_ >= stamp; }, static_cast<int>(patience.count()));
}

bool DisplayPeer::repaintsWhenUncovered(xcb_window_t window, std::chrono::milliseconds patience)
{
    constexpr std::uint32_t kMagenta = 0xff00ff;
    const ReplyPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    const ReplyPtr<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(connection_,
        xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr));
    if (!geometry || !origin)
        return false;
    const std::int16_t x = origin->dst_x;
    const std::int16_t y = origin->dst_y;

    // Unmanaged, so the window manager neither frames nor moves it.
    const xcb_window_t cover = xcb_generate_id(connection_);
    const std::uint32_t values[] = {kMagenta, 1};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, cover, root_, x, y, geometry->width, geometry->height, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, cover);
    roundTrip(connection_);
    xcb_destroy_window(connection_, cover);
    xcb_flush(connection_);

    const auto stillMagenta = [&] {
        const ReplyPtr<xcb_get_image_reply_t> image(xcb_get_image_reply(connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, x, y, geometry->width, geometry->height, ~0u),
            nullptr));
        if (!image || image->depth != 24)
            return true;
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
        const int count = xcb_get_image_data_length(image.get()) / 4;
        return std::any_of(pixels, pixels + count, [](std::uint32_t pixel) { return (pixel & 0xffffff) == kMagenta; });
    };
    return QTest::qWaitFor([&] { return !stillMagenta(); }, static_cast<int>(patience.count()));
}

void DisplayPeer::becomeTray()
{
    const xcb_window_t tray = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, tray, root_, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
        XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t selection = internAtom(connection_, "_NET_SYSTEM_TRAY_S0");
    trayOpcode_ = internAtom(connection_, "_NET_SYSTEM_TRAY_OPCODE");
    xcb_set_selection_owner(connection_, tray, selection, XCB_CURRENT_TIME);
    const xcb_client_message_event_t manager{.response_type = XCB_CLIENT_MESSAGE, .format = 32, .sequence = 0,
        .window = root_, .type = internAtom(connection_, "MANAGER"),
        .data = {.data32 = {XCB_CURRENT_TIME, selection, tray, 0, 0}}};
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&manager));
    roundTrip(connection_);
}

xcb_window_t DisplayPeer::docked()
{
    readEvents();
    return docked_;
}

xcb_timestamp_t DisplayPeer::serverTime()
{
    if (own_ == 0) {
        own_ = xcb_generate_id(connection_);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, own_, root_, 0, 0, 200, 100, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    }
    // The server stamps the change with its time.
    stamped_ = 0;
    const xcb_atom_t clock = internAtom(connection_, "_TEST_CLOCK");
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, own_, clock, XCB_ATOM_INTEGER, 32, 0, nullptr);
    roundTrip(connection_);
    readEvents();
    return stamped_;
}

bool DisplayPeer::takeFocus()
{
    const xcb_timestamp_t now = serverTime();
    // The time of the user's last act in it, which focus-stealing prevention weighs.
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, own_, internAtom(connection_, "_NET_WM_USER_TIME"),
        XCB_ATOM_CARDINAL, 32, 1, &now);
    xcb_map_window(connection_, own_);
    roundTrip(connection_);
    const bool focused = QTest::qWaitFor([&] {
        activate(own_);
        const ReplyPtr<xcb_get_property_reply_t> active(xcb_get_property_reply(connection_,
            xcb_get_property(connection_, 0, root_, internAtom(connection_, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        return active && xcb_get_property_value_length(active.get()) == 4
            && *static_cast<const xcb_window_t*>(xcb_get_property_value(active.get())) == own_;
    }, 10'000);
    // Whatever the user does next comes a moment later: a window manager stamps the activation
    // with its own clock, which may run a millisecond ahead of the server's.
    const xcb_timestamp_t at = serverTime();
    return focused && QTest::qWaitFor([&] { return serverTime() - at > 20; }, 10'000);
}

void DisplayPeer::activate(xcb_window_t window)
{
    constexpr std::uint32_t kFromPager = 2;
    const xcb_client_message_event_t message{.response_type = XCB_CLIENT_MESSAGE, .format = 32, .sequence = 0,
        .window = window, .type = internAtom(connection_, "_NET_ACTIVE_WINDOW"),
        .data = {.data32 = {kFromPager, serverTime(), 0, 0, 0}}};
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char*>(&message));
    roundTrip(connection_);
}
