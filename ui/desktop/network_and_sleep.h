#pragma once

#include "check/page_fetcher.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

struct sd_bus_message;

namespace ui {

// What NetworkManager says of this computer's connection, and logind of its sleep, followed on
// the system bus (the one DBUS_SYSTEM_BUS_ADDRESS names, else the default) from a thread of its
// own: a system bus that is missing or never answers can hold up that thread, never the window
// nor a check. Until NetworkManager has answered, the network counts as reaching the internet,
// as it does without one.
class NetworkAndSleep {
public:
    // `resumed` is called on the following thread each time the computer wakes from sleep.
    explicit NetworkAndSleep(std::function<void()> resumed);
    ~NetworkAndSleep();
    NetworkAndSleep(const NetworkAndSleep&) = delete;
    NetworkAndSleep& operator=(const NetworkAndSleep&) = delete;

    // Asks for the state and follows its changes from then on; once is enough.
    void start();
    // Nowhere while the computer is asleep, disconnected, disconnecting or connecting; a portal
    // or the local network only when NetworkManager's own connectivity check says so.
    check::Reach reach() const;
    // Waits until the network reaches further than `reach`, or `deadline` has passed; true when
    // it does.
    bool waitBeyond(check::Reach reach, std::chrono::steady_clock::time_point deadline) const;

private:
    struct Facts {
        std::optional<std::uint32_t> state;
        std::uint32_t connectivity = 0;
        bool connectivityChecked = false;
    };

    void follow(const std::stop_token& stop);
    // Takes what NetworkManager's properties in `message`'s a{sv}, or its state alone, tell.
    void takeProperties(sd_bus_message* message);
    void takeState(std::uint32_t state);
    void set(const Facts& facts);
    static check::Reach reachOf(const Facts& facts);

    std::function<void()> resumed_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Facts facts_;
    int wake_ = -1; // an eventfd that ends the following thread's wait
    std::jthread thread_;
};

} // namespace ui
