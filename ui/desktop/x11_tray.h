#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

namespace ui {

// The X11 system tray, the older kind of status area: whichever client owns the
// _NET_SYSTEM_TRAY_S0 selection. Read through Qt's own connection to the X server, a quick round
// trip with no bus involved. Where the program does not run on X11 there is never one.
class X11Tray : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11Tray)

public:
    explicit X11Tray(QObject* parent = nullptr);

    // Whether a tray owns the selection now.
    bool present() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // A tray has just taken the selection.
    void appeared();

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
};

} // namespace ui
