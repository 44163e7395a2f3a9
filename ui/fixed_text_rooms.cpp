#include "ui/fixed_text_rooms.h"

#include "check/poll_cycle.h"
#include "ui/layout.h"
#include "ui/local_text.h"
#include "ui/twips.h"
#include "ui/ui_texts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

#include <algorithm>
#include <ctime>
#include <functional>
#include <vector>

namespace ui {

namespace {

namespace main = layout::main_window;
namespace about = layout::about_box;
namespace sponsor = layout::sponsor_box;

// Each step raises the factor by one per cent; the cap only guards against a font that never fits.
constexpr double kStep = 1.01;
constexpr int kMaxSteps = 500;
constexpr int kUnbounded = 1 << 20; // a height no wrapped text reaches

enum class Control { Label, WrappedLabel, Button };

struct Room {
    Control control;
    QString text;
    std::function<QSize(const Twips&)> space; // in pixels; a height only for wrapped text
};

// The status line's verdict forms, with the locale's timestamp at two-digit fields in the
// morning and in the evening, since an "AM" and a "PM" need not be equally wide.
QStringList verdictForms()
{
    QStringList forms;
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
                forms << fromLocal(check::verdictStatus(verdict, std::chrono::system_clock::from_time_t(when)));
        } catch (const std::exception&) {
            // Without a clock the status line shows no verdict to make room for.
        }
    }
    return forms;
}

std::vector<Room> rooms()
{
    const auto width = [](const layout::Box& box) {
        return [box](const Twips& twips) { return QSize(twips.rect(box).width(), 0); };
    };
    std::vector<Room> all{
        // The URL box lies over the end of its label: only the part before it is room.
        {Control::Label, texts::kUrlLabel,
            [](const Twips& twips) {
                return QSize(twips.toPixels(main::kUrlBox.left) - twips.toPixels(main::kUrlCaption.left), 0);
            }},
        {Control::Button, texts::kStart, width(main::kStartStopButton)},
        {Control::Button, texts::kStop, width(main::kStartStopButton)},
        {Control::Label, texts::kStatusReady, width(main::kStatusLine)},
        {Control::Label, texts::kStatusConnecting, width(main::kStatusLine)},
        {Control::Label, texts::bannerText(), width(main::kSponsorBanner)},
        {Control::WrappedLabel, texts::aboutText(),
            [](const Twips& twips) { return twips.rect(about::kDescription).size(); }},
        // The sponsor text's box runs on behind the button; its words must end above it.
        {Control::WrappedLabel, texts::kSponsorText,
            [](const Twips& twips) {
                return QSize(twips.rect(sponsor::kDescription).width(),
                    twips.toPixels(sponsor::kMoreInformationButton.top) - twips.toPixels(sponsor::kDescription.top));
            }},
        {Control::Button, texts::kMoreInformation, width(sponsor::kMoreInformationButton)},
    };
    for (const QString& form : verdictForms())
        all.push_back({Control::Label, form, width(main::kStatusLine)});
    return all;
}

bool fits(const Room& room, const Twips& twips)
{
    const QSize space = room.space(twips);
    switch (room.control) {
    case Control::Label:
        return QFontMetrics(QApplication::font("QLabel")).horizontalAdvance(room.text) <= space.width();
    case Control::WrappedLabel: {
        const QRect needed = QFontMetrics(QApplication::font("QLabel"))
                                 .boundingRect(QRect(0, 0, space.width(), kUnbounded), Qt::TextWordWrap, room.text);
        return needed.width() <= space.width() && needed.height() <= space.height();
    }
    case Control::Button: {
        // What a push button adds around its caption, as the style sizes it (less the style's
        // minimum width, which is about looks, not room).
        const QStyle* style = QApplication::style();
        const int margins = style->pixelMetric(QStyle::PM_ButtonMargin)
            + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
        return QFontMetrics(QApplication::font("QPushButton")).horizontalAdvance(room.text) + margins
            <= space.width();
    }
    }
    return false;
}

} // namespace

double scaleToFitFixedTexts(double scale)
{
    const std::vector<Room> all = rooms();
    for (int step = 0; step < kMaxSteps; ++step) {
        const Twips twips(scale);
        if (std::all_of(all.begin(), all.end(), [&](const Room& room) { return fits(room, twips); }))
            break;
        scale *= kStep;
    }
    return scale;
}

} // namespace ui
