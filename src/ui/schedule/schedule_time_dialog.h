// The "Schedule Time" dialog: the day on a calendar, the hour in 12-hour
// form with PM, the minute, and how often the schedule repeats.
#pragma once

#include <QDialog>
#include <QSpinBox>
#include <array>

#include "schedule/schedule_editing.h"

class QCalendarWidget;
class QCheckBox;
class QLabel;
class QRadioButton;

namespace korvane {

// A spin box that shows its value with two digits ("%02d").
class TwoDigitSpinBox : public QSpinBox {
    Q_OBJECT
  public:
    using QSpinBox::QSpinBox;

  protected:
    QString textFromValue(int value) const override { return QString::asprintf("%02d", value); }
};

// The hour: 1 to 12 when stepped; midnight is shown as 00 as it was read.
class HourSpinBox : public TwoDigitSpinBox {
    Q_OBJECT
  public:
    explicit HourSpinBox(QWidget* parent = nullptr);
    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class ScheduleTimeDialog : public QDialog {
    Q_OBJECT
  public:
    ScheduleTimeDialog(const ScheduleTimeFields& fields, const std::string& startup,
                       QWidget* parent = nullptr);

    ScheduleTimeFields Fields() const;
    // What OK writes: the Startup text and the Interval word.
    std::string Startup() const { return StartupOfFields(Fields()); }
    std::string Interval() const;

    QCalendarWidget* Calendar() const { return calendar_; }
    QSpinBox* Hour() const { return hour_; }
    QSpinBox* Minute() const { return minute_; }
    QCheckBox* Pm() const { return pm_; }
    QRadioButton* IntervalButton(ScheduleInterval interval) const {
        return intervals_[static_cast<std::size_t>(interval)];
    }

  private:
    QCalendarWidget* calendar_;
    HourSpinBox* hour_;
    TwoDigitSpinBox* minute_;
    QCheckBox* pm_;
    std::array<QRadioButton*, 6> intervals_{};
};

}  // namespace korvane
