#include "ui/network_monitor.h"

#include "ui/diagnostics.h"

#include <systemd/sd-bus.h>

#include <array>
#include <cstring>
#include <memory>
#include <string_view>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace ui {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kPath = "/org/freedesktop/NetworkManager";
constexpr const char* kInterface = "org.freedesktop.NetworkManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr std::string_view kStateProperty = "State";
// NM_STATE_CONNECTED_LOCAL: every state below it (asleep, disconnected, disconnecting,
// connecting) means this computer reaches no network.
constexpr std::uint32_t kFirstOnlineState = 50;

// Closed without flushing: a bus that never answers would hold the program's exit.
struct BusClose {
    void operator()(sd_bus* bus) const noexcept { sd_bus_close_unref(bus); }
};

NetworkMonitor& monitorOf(void* self)
{
    return *static_cast<NetworkMonitor*>(self);
}

} // namespace

NetworkMonitor::NetworkMonitor() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

NetworkMonitor::~NetworkMonitor()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (wake_ >= 0)
        ::close(wake_);
}

void NetworkMonitor::start()
{
    if (!thread_.joinable() && wake_ >= 0)
        thread_ = std::jthread([this](const std::stop_token& stop) { follow(stop); });
}

bool NetworkMonitor::offline() const
{
    const std::lock_guard lock(mutex_);
    return state_ && *state_ < kFirstOnlineState;
}

bool NetworkMonitor::waitUntilOnline(std::chrono::steady_clock::time_point deadline) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [this] { return !state_ || *state_ >= kFirstOnlineState; });
}

void NetworkMonitor::setState(std::uint32_t state)
{
    {
        const std::lock_guard lock(mutex_);
        state_ = state;
    }
    qCDebug(lcCheck) << "NetworkManager's state is now" << state;
    changed_.notify_all();
}

void NetworkMonitor::follow(const std::stop_token& stop)
{
    sd_bus* opened = nullptr;
    if (const int error = sd_bus_open_system(&opened); error < 0) {
        qCDebug(lcCheck) << "NetworkManager is not followed: no system bus:" << ::strerror(-error);
        return;
    }
    const std::unique_ptr<sd_bus, BusClose> bus(opened);

    // Everything asked without waiting: the bus may be slow to answer, or never answer at all.
    const auto onChange = [](sd_bus_message* message, void* self, sd_bus_error*) {
        // StateChanged (u), or PropertiesChanged (s a{sv} as) naming State among the changes.
        std::uint32_t state = 0;
        if (sd_bus_message_is_signal(message, kInterface, "StateChanged")) {
            if (sd_bus_message_read(message, "u", &state) > 0)
                monitorOf(self).setState(state);
            return 0;
        }
        const char* changedInterface = nullptr;
        if (sd_bus_message_read(message, "s", &changedInterface) <= 0 || std::string_view(changedInterface) != kInterface
            || sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
            return 0;
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* name = nullptr;
            if (sd_bus_message_read(message, "s", &name) > 0 && name == kStateProperty
                && sd_bus_message_read(message, "v", "u", &state) > 0)
                monitorOf(self).setState(state);
            else
                sd_bus_message_skip(message, "v");
            sd_bus_message_exit_container(message);
        }
        return 0;
    };
    const auto onAnswer = [](sd_bus_message* answer, void* self, sd_bus_error*) {
        std::uint32_t state = 0;
        if (!sd_bus_message_is_method_error(answer, nullptr) && sd_bus_message_read(answer, "v", "u", &state) > 0)
            monitorOf(self).setState(state);
        else
            qCDebug(lcCheck) << "NetworkManager did not tell its state; the computer counts as online";
        return 0;
    };
    sd_bus_match_signal_async(bus.get(), nullptr, kService, kPath, kProperties, "PropertiesChanged", onChange,
        nullptr, this);
    sd_bus_match_signal_async(bus.get(), nullptr, kService, kPath, kInterface, "StateChanged", onChange, nullptr, this);
    sd_bus_call_method_async(bus.get(), nullptr, kService, kPath, kProperties, "Get", onAnswer, this, "ss", kInterface,
        kStateProperty.data());

    while (!stop.stop_requested()) {
        int processed = 0;
        while ((processed = sd_bus_process(bus.get(), nullptr)) > 0) {
        }
        if (processed < 0) {
            qCDebug(lcCheck) << "NetworkManager is no longer followed: the system bus went away";
            return;
        }
        // The bus's time-out is a moment on the monotonic clock, or none at all.
        std::uint64_t until = UINT64_MAX;
        sd_bus_get_timeout(bus.get(), &until);
        int milliseconds = -1;
        if (until != UINT64_MAX) {
            const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                std::chrono::steady_clock::now().time_since_epoch());
            milliseconds = until > static_cast<std::uint64_t>(now.count())
                ? static_cast<int>((until - static_cast<std::uint64_t>(now.count()) + 999) / 1000)
                : 0;
        }
        std::array<pollfd, 2> waits{{{sd_bus_get_fd(bus.get()), static_cast<short>(sd_bus_get_events(bus.get())), 0},
            {wake_, POLLIN, 0}}};
        ::poll(waits.data(), waits.size(), milliseconds);
    }
}

} // namespace ui
