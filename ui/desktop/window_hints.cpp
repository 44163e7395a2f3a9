#include "ui/desktop/window_hints.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <vector>

namespace ui {

void setBoxHints(QWidget* window)
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    // The offscreen platform answers too, without a connection.
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr || window->isVisible())
        return;
    xcb_ewmh_connection_t ewmh{};
    if (xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(connection, &ewmh), nullptr) == 0)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());

    // On a window that is not mapped yet the state is a plain property, which the window
    // manager reads when the window appears. Qt merges its own states into what it finds here.
    std::vector<xcb_atom_t> states;
    xcb_ewmh_get_atoms_reply_t current{};
    if (xcb_ewmh_get_wm_state_reply(&ewmh, xcb_ewmh_get_wm_state(&ewmh, id), &current, nullptr) != 0) {
        states.assign(current.atoms, current.atoms + current.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&current);
    }
    for (const xcb_atom_t skip : {ewmh._NET_WM_STATE_SKIP_TASKBAR, ewmh._NET_WM_STATE_SKIP_PAGER}) {
        if (std::find(states.begin(), states.end(), skip) == states.end())
            states.push_back(skip);
    }
    xcb_ewmh_set_wm_state(&ewmh, id, static_cast<std::uint32_t>(states.size()), states.data());

    // The type of a torn-off menu: the one type that KWin, mutter and openbox all give a title
    // and a close box but no minimize and no maximize, and keep out of their window switchers.
    // KWin and openbox offer to minimize a plain window or a dialog whatever the Motif hints say,
    // and openbox a utility window too. Qt writes its own type when it creates the window.
    xcb_atom_t menu = ewmh._NET_WM_WINDOW_TYPE_MENU;
    xcb_ewmh_set_wm_window_type(&ewmh, id, 1, &menu);

    // A group of its own: openbox and mutter keep a torn-off menu above the other windows of its
    // group, as they would a dialog, and Qt puts every window of the program in one group, so the
    // box would hide the main window's menus and controls for as long as it is open. Alone in its
    // group, it goes behind the main window when the user turns to that. Qt keeps the group when
    // it writes these hints again.
    xcb_icccm_wm_hints_t hints{};
    if (xcb_icccm_get_wm_hints_reply(connection, xcb_icccm_get_wm_hints(connection, id), &hints, nullptr) != 0) {
        xcb_icccm_wm_hints_set_window_group(&hints, id);
        xcb_icccm_set_wm_hints(connection, id, &hints);
    }
    xcb_flush(connection);
    xcb_ewmh_connection_wipe(&ewmh);
}

} // namespace ui
