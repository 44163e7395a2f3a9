#include "ui/windows/layout.h"

#include "check/poll_cycle.h"
#include "ui/base/local_text.h"
#include "ui/base/texts.h"

#include <QWidget>

#include <algorithm>
#include <ctime>
#include <string_view>

namespace ui::layout {

namespace {

// The status line's verdict forms, with the locale's timestamp at two-digit fields in the
// morning and in the evening, since an "AM" and a "PM" need not be equally wide.
std::vector<QString> verdictForms()
{
    std::vector<QString> forms;
    for (const int hour : {10, 22}) {
        std::tm local{};
        local.tm_year = 2026 - 1900;
        local.tm_mon = 11;
        local.tm_mday = 28;
        local.tm_hour = hour;
        local.tm_min = 58;
        local.tm_sec = 58;
        local.tm_isdst = -1;
        const std::time_t when = std::mktime(&local);
        try {
            for (const auto verdict : {check::Verdict::Down, check::Verdict::Up})
                forms.push_back(fromLocal(check::verdictStatus(verdict, std::chrono::system_clock::from_time_t(when))));
        } catch (const std::exception&) {
            // Without a clock the status line shows no verdict to make room for.
        }
    }
    return forms;
}

} // namespace

const Window& mainWindow()
{
    static const Window window = [] {
        constexpr Box kStatusLine{105, 525, 6015, 255};
        Window drawn{6105, 1275,
            {
                // The caption's box runs on under the URL box.
                {"urlCaption", Kind::Label, texts::kUrlLabel, {105, 165, 3015, 255}},
                {"urlBox", Kind::TextBox, texts::kInitialUrl, {1250, 135, 4095, 285}},
                {"startStopButton", Kind::Button, texts::kStart, {5400, 120, 615, 320}},
                {"startStopButton", Kind::Button, texts::kStop, {5400, 120, 615, 320}},
                {"statusLine", Kind::Label, texts::kStatusReady, kStatusLine},
                {"statusLine", Kind::Label, texts::kStatusConnecting, kStatusLine},
                {"bannerFrame", Kind::Frame, {}, {75, 840, 5955, 375}},
                {"sponsorBanner", Kind::Label, texts::bannerText(), {90, 915, 5760, 285}},
            }};
        // The longest form the status line takes: "Status: SITE DOWN (" and the locale's timestamp.
        for (const QString& form : verdictForms())
            drawn.controls.push_back({"statusLine", Kind::Label, form, kStatusLine});
        return drawn;
    }();
    return window;
}

const Window& aboutBox()
{
    static const Window window{4995, 870,
        {
            {"heading", Kind::Heading, texts::aboutName(), {120, 120, 4110, 255}},
            {"description", Kind::WrappedLabel, texts::aboutText(), {120, 360, 4740, 495}},
        }};
    return window;
}

const Window& sponsorBox()
{
    static const Window window{4695, 1260,
        {
            {"heading", Kind::Heading, texts::kSponsorName, {120, 105, 4110, 255}},
            // Its box runs on behind the button.
            {"description", Kind::WrappedLabel, texts::kSponsorText, {120, 360, 4740, 840}},
            {"moreInformationButton", Kind::Button, texts::kMoreInformation, {105, 825, 1485, 315}},
        }};
    return window;
}

QString place(QWidget* widget, const Window& window, const char* name, const Twips& twips)
{
    const auto control = std::ranges::find(window.controls, std::string_view(name), &Control::name);
    if (control == window.controls.end())
        qFatal("no control %s in the layout", name);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(twips.rect(control->box));
    return control->text;
}

} // namespace ui::layout
