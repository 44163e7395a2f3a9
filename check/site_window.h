#pragma once

#include <string>

namespace check {

enum class WindowState { Normal, Minimized, Maximized };

// What a check needs of the window that shows it. Any operation may throw; the check carries
// on with its next step.
class SiteWindow {
public:
    virtual ~SiteWindow() = default;

    virtual std::string urlText() const = 0;
    virtual std::string statusText() const = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual WindowState state() const = 0;
    virtual void setState(WindowState state) = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void bringToFront() = 0;
    virtual void beep() = 0;
    // Tells the desktop in a notification; the texts are plain, the body may span lines.
    virtual void notify(const std::string& summary, const std::string& body) = 0;
};

} // namespace check
