#include "ui/schedule/schedule_time_dialog.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/text_helpers.h"

namespace korvane {
namespace {

// The buttons' texts in the order of ScheduleInterval.
constexpr std::array<const char*, 6> kIntervalButtons = {"None",  "Monthly", "Weekly",
                                                         "Daily", "Hourly",  "User Defined..."};

}  // namespace

HourSpinBox::HourSpinBox(QWidget* parent) : TwoDigitSpinBox(parent) {
    setRange(0, 12);
    setWrapping(true);
}

void HourSpinBox::stepBy(int steps) {
    // 0 is only ever the midnight read from a Startup: stepping keeps 1 to 12.
    int hour = value() == 0 ? 12 : value();
    hour = ((hour - 1 + steps) % 12 + 12) % 12 + 1;
    setValue(hour);
}

ScheduleTimeDialog::ScheduleTimeDialog(const ScheduleTimeFields& fields, const std::string& startup,
                                       QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Schedule Time"));
    setObjectName(QStringLiteral("ScheduleTimeDialog"));

    calendar_ = new QCalendarWidget(this);
    calendar_->setAccessibleName(QStringLiteral("Start date"));
    calendar_->setGridVisible(true);
    calendar_->setSelectedDate(QDate(fields.year, fields.month, fields.day));

    hour_ = new HourSpinBox(this);
    hour_->setValue(fields.hour);
    minute_ = new TwoDigitSpinBox(this);
    minute_->setRange(0, 59);
    minute_->setWrapping(true);
    minute_->setValue(fields.minute);
    pm_ = new QCheckBox(QStringLiteral("PM"), this);
    pm_->setChecked(fields.pm);
    auto* hour_label = new QLabel(QStringLiteral("&Hour:"), this);
    hour_label->setBuddy(hour_);
    auto* minute_label = new QLabel(QStringLiteral("&Minute:"), this);
    minute_label->setBuddy(minute_);

    auto* time_box = new QGroupBox(QStringLiteral("Start time"), this);
    auto* time_layout = new QGridLayout(time_box);
    time_layout->addWidget(hour_label, 0, 0);
    time_layout->addWidget(hour_, 0, 1);
    time_layout->addWidget(minute_label, 1, 0);
    time_layout->addWidget(minute_, 1, 1);
    time_layout->addWidget(pm_, 2, 1);

    auto* interval_box = new QGroupBox(QStringLiteral("Interval"), this);
    auto* interval_layout = new QVBoxLayout(interval_box);
    for (std::size_t i = 0; i < intervals_.size(); ++i) {
        intervals_[i] = new QRadioButton(QString::fromLatin1(kIntervalButtons[i]), interval_box);
        interval_layout->addWidget(intervals_[i]);
    }
    IntervalButton(fields.interval)->setChecked(true);

    auto* side = new QVBoxLayout;
    side->addWidget(time_box);
    side->addWidget(interval_box);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(calendar_, 1);
    top->addLayout(side);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    if (!fields.startup_is_time) {
        // A new schedule's Startup is no time: the job runs whenever the
        // scheduler starts until a time is set here.
        auto* note =
            new QLabel(QStringLiteral("Start is now \"%1\": the schedule runs when korvane-scheduler "
                                      "starts. OK sets the date and time shown.")
                           .arg(QString::fromStdString(DisplayText(startup))),
                       this);
        note->setWordWrap(true);
        note->setObjectName(QStringLiteral("UntimedNote"));
        layout->addWidget(note);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ScheduleTimeFields ScheduleTimeDialog::Fields() const {
    ScheduleTimeFields fields;
    const QDate date = calendar_->selectedDate();
    fields.year = date.year();
    fields.month = date.month();
    fields.day = date.day();
    fields.hour = hour_->value();
    fields.minute = minute_->value();
    fields.pm = pm_->isChecked();
    fields.startup_is_time = true;
    for (std::size_t i = 0; i < intervals_.size(); ++i) {
        if (intervals_[i]->isChecked())
            fields.interval = static_cast<ScheduleInterval>(i);
    }
    return fields;
}

std::string ScheduleTimeDialog::Interval() const {
    return std::string(IntervalText(Fields().interval));
}

}  // namespace korvane
