#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace ui {

// What NetworkManager says of this computer's connection, followed on the system bus (the one
// DBUS_SYSTEM_BUS_ADDRESS names, else the default) from a thread of its own: a system bus that
// is missing or never answers can hold up that thread, never the window nor a check. Until
// NetworkManager has answered, the computer counts as online, as it does without one.
class NetworkMonitor {
public:
    NetworkMonitor();
    ~NetworkMonitor();
    NetworkMonitor(const NetworkMonitor&) = delete;
    NetworkMonitor& operator=(const NetworkMonitor&) = delete;

    // Asks for the state and follows its changes from then on; once is enough.
    void start();
    // NetworkManager says the computer is asleep, disconnected, disconnecting or connecting.
    bool offline() const;
    // Waits until the computer is online again or `deadline` has passed; true when online.
    bool waitUntilOnline(std::chrono::steady_clock::time_point deadline) const;

private:
    void follow(const std::stop_token& stop);
    void setState(std::uint32_t state);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::optional<std::uint32_t> state_;
    int wake_ = -1; // an eventfd that ends the following thread's wait
    std::jthread thread_;
};

} // namespace ui
