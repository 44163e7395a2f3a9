#include "ui/desktop/network_and_sleep.h"

#include "ui/base/diagnostics.h"

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
constexpr std::string_view kConnectivityProperty = "Connectivity";
constexpr std::string_view kCheckEnabledProperty = "ConnectivityCheckEnabled";
// NM_STATE_CONNECTED_LOCAL: every state below it (asleep, disconnected, disconnecting,
// connecting) means this computer reaches no network.
constexpr std::uint32_t kFirstOnlineState = 50;
// NM_CONNECTIVITY_PORTAL and NM_CONNECTIVITY_LIMITED, as NetworkManager's own check finds them.
constexpr std::uint32_t kPortalConnectivity = 2;
constexpr std::uint32_t kLimitedConnectivity = 3;

constexpr const char* kLoginService = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginInterface = "org.freedesktop.login1.Manager";

// Closed without flushing: a bus that never answers would hold the program's exit.
struct BusClose {
    void operator()(sd_bus* bus) const noexcept { sd_bus_close_unref(bus); }
};

NetworkAndSleep& followerOf(void* self)
{
    return *static_cast<NetworkAndSleep*>(self);
}

// How far each reach goes: a portal's network and the local one are both short of the internet.
int rank(check::Reach reach)
{
    switch (reach) {
    case check::Reach::Nowhere:
        return 0;
    case check::Reach::Portal:
    case check::Reach::LocalNetwork:
        return 1;
    case check::Reach::Internet:
        break;
    }
    return 2;
}

} // namespace

NetworkAndSleep::NetworkAndSleep(std::function<void()> resumed)
    : resumed_(std::move(resumed)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

NetworkAndSleep::~NetworkAndSleep()
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

void NetworkAndSleep::start()
{
    if (!thread_.joinable() && wake_ >= 0)
        thread_ = std::jthread([this](const std::stop_token& stop) { follow(stop); });
}

check::Reach NetworkAndSleep::reachOf(const Facts& facts)
{
    if (!facts.state)
        return check::Reach::Internet;
    if (*facts.state < kFirstOnlineState)
        return check::Reach::Nowhere;
    // Without its own check, NetworkManager's connectivity is a guess that says nothing.
    if (facts.connectivityChecked && facts.connectivity == kPortalConnectivity)
        return check::Reach::Portal;
    if (facts.connectivityChecked && facts.connectivity == kLimitedConnectivity)
        return check::Reach::LocalNetwork;
    return check::Reach::Internet;
}

check::Reach NetworkAndSleep::reach() const
{
    const std::lock_guard lock(mutex_);
    return reachOf(facts_);
}

bool NetworkAndSleep::waitBeyond(check::Reach reach, std::chrono::steady_clock::time_point deadline) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] { return rank(reachOf(facts_)) > rank(reach); });
}

// Only the following thread changes the facts, so it may change a copy and set that.
void NetworkAndSleep::set(const Facts& facts)
{
    {
        const std::lock_guard lock(mutex_);
        facts_ = facts;
    }
    qCDebug(lcCheck).nospace() << "NetworkManager says: state " << facts.state.value_or(0) << ", connectivity "
                               << facts.connectivity << ", its own check " << (facts.connectivityChecked ? "on" : "off");
    changed_.notify_all();
}

void NetworkAndSleep::takeState(std::uint32_t state)
{
    Facts facts = facts_;
    facts.state = state;
    set(facts);
}

void NetworkAndSleep::takeProperties(sd_bus_message* message)
{
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0)
        return;
    Facts facts = facts_;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        std::uint32_t number = 0;
        int flag = 0;
        const std::string_view property = sd_bus_message_read(message, "s", &name) > 0 ? name : "";
        if (property == kStateProperty && sd_bus_message_read(message, "v", "u", &number) > 0)
            facts.state = number;
        else if (property == kConnectivityProperty && sd_bus_message_read(message, "v", "u", &number) > 0)
            facts.connectivity = number;
        else if (property == kCheckEnabledProperty && sd_bus_message_read(message, "v", "b", &flag) > 0)
            facts.connectivityChecked = flag != 0;
        else
            sd_bus_message_skip(message, "v");
        sd_bus_message_exit_container(message);
    }
    set(facts);
}

void NetworkAndSleep::follow(const std::stop_token& stop)
{
    sd_bus* opened = nullptr;
    if (const int error = sd_bus_open_system(&opened); error < 0) {
        qCDebug(lcCheck) << "NetworkManager and logind are not followed: no system bus:" << ::strerror(-error);
        return;
    }
    const std::unique_ptr<sd_bus, BusClose> bus(opened);

    // Everything asked without waiting: the bus may be slow to answer, or never answer at all.
    const auto onChange = [](sd_bus_message* message, void* self, sd_bus_error*) {
        // StateChanged (u), or PropertiesChanged (s a{sv} as) of NetworkManager's own interface.
        std::uint32_t state = 0;
        const char* changedInterface = nullptr;
        if (sd_bus_message_is_signal(message, kInterface, "StateChanged")) {
            if (sd_bus_message_read(message, "u", &state) > 0)
                followerOf(self).takeState(state);
        } else if (sd_bus_message_read(message, "s", &changedInterface) > 0
            && std::string_view(changedInterface) == kInterface) {
            followerOf(self).takeProperties(message);
        }
        return 0;
    };
    const auto onAnswer = [](sd_bus_message* answer, void* self, sd_bus_error*) {
        if (!sd_bus_message_is_method_error(answer, nullptr))
            followerOf(self).takeProperties(answer);
        else
            qCDebug(lcCheck) << "NetworkManager did not tell its state; the network counts as reaching the internet";
        return 0;
    };
    // PrepareForSleep (b): true as the computer goes to sleep, false once it has woken.
    const auto onSleep = [](sd_bus_message* message, void* self, sd_bus_error*) {
        int sleeping = 0;
        if (sd_bus_message_read(message, "b", &sleeping) > 0 && !sleeping) {
            qCDebug(lcCheck) << "The computer woke from sleep";
            followerOf(self).resumed_();
        }
        return 0;
    };
    sd_bus_match_signal_async(bus.get(), nullptr, kService, kPath, kProperties, "PropertiesChanged", onChange,
        nullptr, this);
    sd_bus_match_signal_async(bus.get(), nullptr, kService, kPath, kInterface, "StateChanged", onChange, nullptr, this);
    sd_bus_call_method_async(bus.get(), nullptr, kService, kPath, kProperties, "GetAll", onAnswer, this, "s",
        kInterface);
    sd_bus_match_signal_async(bus.get(), nullptr, kLoginService, kLoginPath, kLoginInterface, "PrepareForSleep",
        onSleep, nullptr, this);

    while (!stop.stop_requested()) {
        int processed = 0;
        while ((processed = sd_bus_process(bus.get(), nullptr)) > 0) {
        }
        if (processed < 0) {
            qCDebug(lcCheck) << "NetworkManager and logind are no longer followed: the system bus went away";
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
