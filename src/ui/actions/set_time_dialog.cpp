#include "ui/actions/set_time_dialog.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/text_helpers.h"

namespace korvane {
namespace {

QString Text(const std::string& bytes) {
    return QString::fromStdString(DisplayText(bytes));
}

class PaddedSpin : public QSpinBox {
  public:
    using QSpinBox::QSpinBox;
    QString textFromValue(int value) const override { return QString::asprintf("%02d", value); }
};

}  // namespace

SetTimeDialog::SetTimeDialog(QWidget* parent, const TimeSummary& summary, const QDateTime& now)
    : QDialog(parent) {
    setWindowTitle(tr("Set File Time"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto add_text = [this, form](const QString& label, const std::string& text) {
        auto* value = new QLabel(Text(text), this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, value);
    };
    add_text(tr("File:"), summary.file_text);
    add_text(tr("Create:"), summary.create_text);
    add_text(tr("Access:"), summary.access_text);
    add_text(tr("Modify:"), summary.modify_text);
    layout->addLayout(form);

    calendar_ = new QCalendarWidget(this);
    calendar_->setSelectedDate(now.date());
    calendar_->setAccessibleName(tr("Date"));
    layout->addWidget(calendar_);

    int hour12 = 0;
    bool pm = false;
    To12Hour(now.time().hour(), hour12, pm);
    auto* clock = new QHBoxLayout;
    hour_ = new PaddedSpin(this);
    hour_->setRange(0, 12);
    hour_->setValue(hour12);
    hour_->setWrapping(true);
    minute_ = new PaddedSpin(this);
    minute_->setRange(0, 59);
    minute_->setValue(now.time().minute());
    minute_->setWrapping(true);
    auto* hour_label = new QLabel(tr("Hour"), this);
    hour_label->setBuddy(hour_);
    auto* minute_label = new QLabel(tr("Minute"), this);
    minute_label->setBuddy(minute_);
    hour_->setAccessibleName(tr("Hour"));
    minute_->setAccessibleName(tr("Minute"));
    pm_ = new QCheckBox(tr("PM"), this);
    pm_->setChecked(pm);
    clock->addWidget(hour_label);
    clock->addWidget(hour_);
    clock->addWidget(minute_label);
    clock->addWidget(minute_);
    clock->addWidget(pm_);
    clock->addStretch();
    layout->addLayout(clock);

    auto* apply = new QGroupBox(tr("Apply to:"), this);
    auto* apply_layout = new QHBoxLayout(apply);
    create_ = new QCheckBox(tr("Create Date"), apply);
    create_->setEnabled(false);
    create_->setToolTip(tr(kCreationTimeTip));
    access_ = new QCheckBox(tr("Access Date"), apply);
    modify_ = new QCheckBox(tr("Modify Date"), apply);
    apply_layout->addWidget(create_);
    apply_layout->addWidget(access_);
    apply_layout->addWidget(modify_);
    layout->addWidget(apply);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::int64_t SetTimeDialog::ChosenTime() const {
    const QDate date = calendar_->selectedDate();
    return LocalTimeToUnix(date.year(), date.month(), date.day(),
                           From12Hour(hour_->value(), pm_->isChecked()), minute_->value());
}

TimeChoice SetTimeDialog::Choice() const {
    return TimeChoice{access_->isChecked(), modify_->isChecked()};
}

}  // namespace korvane
