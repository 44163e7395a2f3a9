#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <optional>

class QWidget;
struct xcb_connection_t;

namespace ui {

// A top-level window as the X11 window manager has it, read from the X server rather than taken
// from what the program last asked for: a window manager may refuse a restore (mutter keeps a
// minimized window so while another program has the focus), and Qt then takes the window for
// restored until the user restores it. Where the program does not run on X11 there is nothing to
// read, and nothing is done.
class X11Window : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11Window)

public:
    explicit X11Window(QWidget* window);

    // Whether the window manager has the window minimized (WM_STATE Iconic, or
    // _NET_WM_STATE_HIDDEN); nullopt where this cannot be read.
    std::optional<bool> minimized() const;
    // Asks the window manager to restore the window, which Qt may take for restored already.
    void restore();
    // Asks the window manager to show that the window wants the user (_NET_WM_STATE_DEMANDS_ATTENTION),
    // unless it is the active window and in view. False where the program does not run on X11.
    bool demandAttention();
    // Takes that wish back, once the user has come (the window is active) or it is closing: a
    // window manager may leave the mark on, and openbox fails when a window it flashes goes.
    void takeAttentionBack();

    // Restores, raises and activates the window for a user who has just asked for it (a click on a
    // notification or on the status indicator), at a time the window manager's focus-stealing
    // prevention accepts: the one `startupId` carries ("..._TIME<n>"), else the X server's time
    // now. A startup id is also handed to the window manager as the window's, and its launch
    // sequence ended. False where the program does not run on X11.
    bool activateForUser(const QByteArray& startupId);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    // The window manager has changed the window's WM_STATE or _NET_WM_STATE.
    void stateChanged();

private:
    // X11's ids, atoms and times are 32-bit numbers.
    using Id = std::uint32_t;

    Id id() const;
    void activateAt(Id time);
    void changeState(bool add, Id state);
    void endLaunch(const QByteArray& startupId);

    QWidget* window_;
    xcb_connection_t* connection_ = nullptr;
    Id root_ = 0;
    struct Atoms {
        Id wmState = 0;
        Id netWmState = 0;
        Id hidden = 0;
        Id demandsAttention = 0;
        Id activeWindow = 0;
        Id startupId = 0;
        Id startupInfoBegin = 0;
        Id startupInfo = 0;
        Id utf8String = 0;
        Id clock = 0; // a property of ours, changed to read the server's time
    } atoms_;
    bool attentionAsked_ = false;
    // Waiting for the server's time, to activate with this startup id.
    std::optional<QByteArray> pendingActivation_;
};

} // namespace ui
