// "Set File Time": the selection's times, a calendar, hour and minute with a
// PM box, and which times to apply. Linux keeps a file's creation time
// itself, so "Create Date" is shown but cannot be chosen.
#pragma once

#include <QDialog>
#include <QTime>
#include <cstdint>

#include "actions/file_properties.h"

class QCalendarWidget;
class QCheckBox;
class QSpinBox;

namespace korvane {

inline constexpr const char* kCreationTimeTip = "Linux cannot set a file's creation time.";

class SetTimeDialog : public QDialog {
    Q_OBJECT
  public:
    // now: the date and time the controls start with.
    SetTimeDialog(QWidget* parent, const TimeSummary& summary, const QDateTime& now);

    // The chosen local date and time (seconds 0) as seconds since 1970.
    std::int64_t ChosenTime() const;
    TimeChoice Choice() const;

    QCalendarWidget* Calendar() const { return calendar_; }
    QSpinBox* Hour() const { return hour_; }
    QSpinBox* Minute() const { return minute_; }
    QCheckBox* Pm() const { return pm_; }
    QCheckBox* CreateDate() const { return create_; }
    QCheckBox* AccessDate() const { return access_; }
    QCheckBox* ModifyDate() const { return modify_; }

  private:
    QCalendarWidget* calendar_ = nullptr;
    QSpinBox* hour_ = nullptr;
    QSpinBox* minute_ = nullptr;
    QCheckBox* pm_ = nullptr;
    QCheckBox* create_ = nullptr;
    QCheckBox* access_ = nullptr;
    QCheckBox* modify_ = nullptr;
};

}  // namespace korvane
