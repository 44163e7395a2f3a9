#pragma once

#include <QProcess>
#include <QString>
#include <QVariantList>

// NetworkManager and logind on a system bus of their own, played by python3-dbusmock's templates:
// a private dbus-daemon and one dbusmock for each, started and stopped by their process ids. The
// bus's address goes into DBUS_SYSTEM_BUS_ADDRESS for the program under test. The services
// answer from processes of their own, so the test's thread may wait meanwhile.
class SystemBusStandIn {
public:
    // NetworkManager's states and connectivities, as its D-Bus API numbers them.
    static constexpr uint kDisconnected = 20;
    static constexpr uint kConnectedSite = 60;
    static constexpr uint kConnectedGlobal = 70;
    static constexpr uint kNoConnectivity = 1;
    static constexpr uint kPortal = 2;
    static constexpr uint kLimited = 3;
    static constexpr uint kFull = 4;

    SystemBusStandIn() = default;
    ~SystemBusStandIn();
    SystemBusStandIn(const SystemBusStandIn&) = delete;
    SystemBusStandIn& operator=(const SystemBusStandIn&) = delete;

    // Starts the bus with NetworkManager connected, at full connectivity and its own check off,
    // and logind; false when it could not.
    bool start();

    // Each tells of the change as the service does, by its signals.
    void setState(uint state);
    void setConnectivity(uint connectivity);
    void setConnectivityCheck(bool enabled);
    // logind's PrepareForSleep: true as the computer goes to sleep, false once it has woken.
    void prepareForSleep(bool sleeping);

    // The bus stops answering anyone, as a hung system bus does.
    void freeze();

private:
    bool call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments);

    QString connection_;
    QProcess daemon_;
    QProcess networkManager_;
    QProcess logind_;
};
