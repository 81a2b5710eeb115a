#include "ui/frame_status_bar.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include "app/minute_clock.h"

namespace korvane {
namespace {

constexpr int kPaneMargin = 4;
// The message pane's idle text.
constexpr const char* kReady = "Ready";

}  // namespace

FrameStatusBar::FrameStatusBar(QWidget* parent)
    : QStatusBar(parent), clock_([] { return std::time(nullptr); }) {
    message_ = new QLabel(QString::fromLatin1(kReady), this);
    date_ = new QLabel(this);
    time_ = new QLabel(this);
    for (QLabel* pane : {message_, date_, time_}) {
        pane->setTextFormat(Qt::PlainText);
        pane->setContentsMargins(kPaneMargin, 0, kPaneMargin, 0);
    }
    date_->setObjectName(QStringLiteral("DatePane"));
    time_->setObjectName(QStringLiteral("TimePane"));
    addWidget(message_, 1);
    addPermanentWidget(date_);
    addPermanentWidget(time_);
    first_timer_.setSingleShot(true);
    connect(&first_timer_, &QTimer::timeout, this, &FrameStatusBar::OnFirstTimer);
    connect(&minute_timer_, &QTimer::timeout, this, &FrameStatusBar::OnMinuteTimer);
}

std::tm FrameStatusBar::Now() const {
    const std::time_t when = clock_();
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

void FrameStatusBar::SetPaneText(QLabel* pane, const QString& text) {
    // A pane is exactly as wide as its text in the bar's font.
    pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(text) + 2 * kPaneMargin);
    pane->setText(text);
}

void FrameStatusBar::FillDatePane(const std::tm& now) {
    SetPaneText(date_, QString::fromStdString(StatusDateText(now)));
}

void FrameStatusBar::FillTimePane(const std::tm& now) {
    SetPaneText(time_, QString::fromStdString(StatusTimeText(now)));
}

void FrameStatusBar::StartClock() {
    const std::tm now = Now();
    minute_timer_.stop();
    first_timer_.start(FirstClockDelayMs(now));
    FillDatePane(now);
    FillTimePane(now);
}

void FrameStatusBar::StopClock() {
    first_timer_.stop();
    minute_timer_.stop();
}

void FrameStatusBar::OnFirstTimer() {
    minute_timer_.start(kMinuteMilliseconds);
    first_timer_.stop();
    OnMinuteTimer();
}

void FrameStatusBar::OnMinuteTimer() {
    const std::tm now = Now();
    // The date pane follows the clock too, so it turns over at midnight.
    FillDatePane(now);
    FillTimePane(now);
}

void FrameStatusBar::OnMenuSelect(bool menu_closed) {
    if (menu_closed && saved_width_ >= 0) {
        message_->setMinimumWidth(0);
        date_->setVisible(saved_date_visible_);
        time_->setVisible(saved_time_visible_);
        saved_width_ = -1;
        menu_select_seen_ = false;
        clearMessage();
        return;
    }
    menu_select_seen_ = true;
}

void FrameStatusBar::OnMenuPopup() {
    if (saved_width_ >= 0 || !menu_select_seen_)
        return;
    saved_width_ = message_->width();
    saved_date_visible_ = date_->isVisible();
    saved_time_visible_ = time_->isVisible();
    // The prompt takes the whole bar: the clock panes step aside.
    date_->hide();
    time_->hide();
}

void FrameStatusBar::WatchMenu(QMenu* menu) {
    if (menu->property("korvanePromptWatched").toBool())
        return;
    menu->setProperty("korvanePromptWatched", true);
    connect(menu, &QMenu::aboutToShow, this, [this] {
        OnMenuSelect(false);
        OnMenuPopup();
    });
    connect(menu, &QMenu::hovered, this, [this] { OnMenuSelect(false); });
    connect(menu, &QMenu::aboutToHide, this, [this] {
        // Moving from one menu to the next hides one and shows the other; only
        // when no menu is left open have the menus closed.
        QTimer::singleShot(0, this, [this] {
            if (QApplication::activePopupWidget() == nullptr)
                OnMenuSelect(true);
        });
    });
}

void FrameStatusBar::WatchMenus(QMenuBar* bar) {
    if (!bar->property("korvanePromptWatched").toBool()) {
        bar->setProperty("korvanePromptWatched", true);
        connect(bar, &QMenuBar::hovered, this, [this] { OnMenuSelect(false); });
    }
    for (QAction* action : bar->actions()) {
        if (QMenu* menu = action->menu()) {
            WatchMenu(menu);
            for (QAction* item : menu->actions()) {
                if (QMenu* sub = item->menu())
                    WatchMenu(sub);
            }
        }
    }
}

}  // namespace korvane
