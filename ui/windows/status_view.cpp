#include "ui/windows/status_view.h"

#include "ui/base/program_icon.h"
#include "ui/base/texts.h"

namespace ui {

namespace {

// A line under the text, when there is one.
QString under(const QString& text, const QString& line)
{
    return line.isEmpty() ? text : text + u'\n' + line;
}

} // namespace

StatusView::StatusView() : line_(texts::kStatusReady), program_(programIcon()), up_(siteUpIcon()), down_(siteDownIcon())
{
}

StatusView::Notification StatusView::notificationOf(const Status& status)
{
    return {status.verdict ? texts::marker(*status.verdict) : QString(),
        under(status.url + u'\n' + status.line, status.cause)};
}

void StatusView::take(const Status& status)
{
    line_ = status.line;
    if (status.verdict) {
        verdict_ = status.verdict;
        cause_ = status.cause;
    }
}

QString StatusView::toolTip() const
{
    return under(texts::kProductTitle + u'\n' + line_, cause_);
}

const QIcon& StatusView::icon() const
{
    if (!verdict_)
        return program_;
    return *verdict_ == check::Verdict::Up ? up_ : down_;
}

} // namespace ui
