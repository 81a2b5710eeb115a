#include "ui/query/criteria_windows.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QVBoxLayout>

#include "app/text_helpers.h"
#include "query/civil_time.h"
#include "query/query_editing.h"

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(DisplayText(text));
}

std::string Bytes(const QString& text) {
    return text.toStdString();
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// Two radio buttons in one group, the second checked when exclude is set.
void MakeChoice(QDialog* dialog, QRadioButton*& first, const QString& first_text, QRadioButton*& second,
                const QString& second_text, bool exclude) {
    first = new QRadioButton(first_text, dialog);
    second = new QRadioButton(second_text, dialog);
    auto* group = new QButtonGroup(dialog);
    group->addButton(first);
    group->addButton(second);
    (exclude ? second : first)->setChecked(true);
}

std::int64_t DayOf(const QDate& date) {
    return DaysFromCivil(date.year(), date.month(), date.day());
}

QDate DateOfDay(std::int64_t day) {
    const CivilTime civil = CivilFromDays(day);
    return QDate(civil.year, civil.month, civil.day);
}

constexpr const char* kSizeSuffixes[][3] = {
    {"K", "Kilo", "1,000"},
    {"M", "Mega", "1,000,000"},
    {"G", "Giga", "1,000,000,000"},
    {"T", "Tera", "1,000,000,000,000"},
    {"P", "Peta", "1,000,000,000,000,000"},
    {"E", "Exa", "1,000,000,000,000,000,000"},
};

}  // namespace

CTextCriteriaDialog::CTextCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent)
    : QDialog(parent), old_value_text_(value_text) {
    setWindowTitle(title);
    const CriteriaEditState state = TextDialogOpen(value_text);
    auto* group = new QGroupBox(QStringLiteral("Enter Search Criteria"), this);
    MakeChoice(this, find_button, QStringLiteral("Find:"), exclude_button, QStringLiteral("Exclude:"),
               state.exclude);
    edit = new QLineEdit(Text(state.edit_text), this);
    edit->setAccessibleName(QStringLiteral("Values"));
    edit->setMinimumWidth(360);
    auto* prompt = new QLabel(QString::fromStdString(TextDialogPrompt(title.toStdString())), this);
    prompt->setBuddy(edit);

    auto* choice = new QHBoxLayout;
    choice->addWidget(find_button);
    choice->addWidget(exclude_button);
    choice->addStretch();
    auto* inner = new QVBoxLayout(group);
    inner->addLayout(choice);
    inner->addWidget(edit);
    inner->addWidget(prompt);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(OkCancel(this));
}

std::string CTextCriteriaDialog::ValueText() const {
    return TextDialogValueText(exclude_button->isChecked(), Bytes(edit->text()), old_value_text_);
}

CSizeCriteriaDialog::CSizeCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    const CriteriaEditState state = SizeDialogOpen(value_text);
    MakeChoice(this, include_button, QStringLiteral("Include"), exclude_button, QStringLiteral("Exclude:"),
               state.exclude);
    edit = new QLineEdit(Text(state.edit_text), this);
    edit->setAccessibleName(QStringLiteral("Sizes"));
    auto* prompt = new QLabel(
        QStringLiteral(
            "Enter the size of the files you would like to search for.  (Ranges can be seperated by "
            "a hyphen and lists are seperated by commas.)"),
        this);
    prompt->setWordWrap(true);
    prompt->setBuddy(edit);

    auto* suffixes = new QGroupBox(QStringLiteral("Size suffixes"), this);
    auto* table = new QGridLayout(suffixes);
    for (int i = 0; i < 6; ++i) {
        for (int column = 0; column < 3; ++column) {
            auto* cell = new QLabel(QString::fromLatin1(kSizeSuffixes[i][column]), suffixes);
            if (column == 2)
                cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->addWidget(cell, i, column);
        }
    }
    auto* example = new QLabel(QStringLiteral("Examples:   100K      25K - 25G      0 - 1M"), this);

    buttons = OkCancel(this);
    const auto check = [this] { buttons->button(QDialogButtonBox::Ok)->setEnabled(OkEnabled()); };
    connect(edit, &QLineEdit::textChanged, this, check);
    check();

    auto* choice = new QHBoxLayout;
    choice->addWidget(include_button);
    choice->addWidget(exclude_button);
    choice->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    layout->addWidget(edit);
    layout->addWidget(prompt);
    layout->addWidget(suffixes);
    layout->addWidget(example);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

bool CSizeCriteriaDialog::OkEnabled() const {
    return SizeDialogAccepts(Bytes(edit->text()));
}

std::string CSizeCriteriaDialog::ValueText() const {
    return SizeDialogValueText(exclude_button->isChecked(), Bytes(edit->text()));
}

SECCalendar::SECCalendar(DateCriteriaState& state, QWidget* parent) : QCalendarWidget(parent), state_(state) {
    setAccessibleName(QStringLiteral("Calendar"));
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setGridVisible(true);
    setMinimumDate(QDate(100, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    connect(this, &QCalendarWidget::clicked, this, &SECCalendar::OnClicked);
    if (auto* table = qobject_cast<QAbstractItemView*>(Table()))
        table->viewport()->installEventFilter(this);
}

bool SECCalendar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)
        click_modifiers_ = static_cast<QMouseEvent*>(event)->modifiers();
    return QCalendarWidget::eventFilter(watched, event);
}

QWidget* SECCalendar::Table() const {
    return findChild<QTableView*>(QStringLiteral("qt_calendar_calendarview"));
}

QRect SECCalendar::CellRect(const QDate& date) const {
    auto* table = qobject_cast<QTableView*>(Table());
    if (table == nullptr || date.year() != yearShown() || date.month() != monthShown())
        return {};
    const QAbstractItemModel* model = table->model();
    // Row 0 holds the day names; days of the next and previous months fill
    // the first and last rows.
    for (int row = 1; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            const QModelIndex index = model->index(row, column);
            if (index.data().toInt() != date.day())
                continue;
            if ((row == 1 && date.day() > 14) || (row >= 5 && date.day() < 15))
                continue;
            return table->visualRect(index);
        }
    }
    return {};
}

void SECCalendar::paintCell(QPainter* painter, const QRect& rect, QDate date) const {
    const bool picked = state_.picked_days.Contains(DayOf(date));
    const bool in_month = date.month() == monthShown();
    painter->save();
    painter->fillRect(rect, palette().color(picked ? QPalette::Highlight : QPalette::Base));
    QColor text = palette().color(picked ? QPalette::HighlightedText : QPalette::Text);
    if (!in_month && !picked)
        text = palette().color(QPalette::Disabled, QPalette::Text);
    painter->setPen(text);
    if (date == QDate::currentDate()) {
        QFont bold = painter->font();
        bold.setBold(true);
        painter->setFont(bold);
    }
    painter->drawText(rect, Qt::AlignCenter, QString::number(date.day()));
    painter->restore();
}

void SECCalendar::OnClicked(QDate date) {
    const std::int64_t day = DayOf(date);
    if ((click_modifiers_ & Qt::ShiftModifier) && anchor_.isValid()) {
        state_.PickDays(DayOf(anchor_), day);
    } else if (state_.picked_days.Contains(day)) {
        state_.UnpickDay(day);
        state_.count.clear();
    } else {
        state_.PickDay(day);
    }
    anchor_ = date;
    updateCells();
    emit PickedDaysChanged();
}

CDateCriteriaDialog::CDateCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent)
    : QDialog(parent), state_(DateCriteriaState::Open(value_text)) {
    setWindowTitle(title);
    auto* group = new QGroupBox(QStringLiteral("Enter Search Criteria"), this);
    MakeChoice(this, include_button, QStringLiteral("Include"), exclude_button, QStringLiteral("Exclude"),
               state_.exclude);
    connect(exclude_button, &QRadioButton::toggled, this, [this](bool on) { state_.exclude = on; });

    calendar = new SECCalendar(state_, this);
    if (!state_.picked_days.empty())
        calendar->setCurrentPage(DateOfDay(state_.picked_days.runs().begin()->first).year(),
                                 DateOfDay(state_.picked_days.runs().begin()->first).month());
    items = new QListWidget(this);
    items->setAccessibleName(QStringLiteral("Chosen dates"));
    items->setSelectionMode(QAbstractItemView::NoSelection);

    auto* ez = new QGroupBox(QStringLiteral("EZ-Date - (Based on Query  Run Time)"), this);
    auto* previous = new QLabel(QStringLiteral("Find or Exclude the Previous:"), ez);
    count = new QLineEdit(QString::fromStdString(state_.count), ez);
    count->setAccessibleName(QStringLiteral("Count"));
    count->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), count));
    count->setMaximumWidth(70);
    previous->setBuddy(count);
    unit = new QComboBox(ez);
    unit->setAccessibleName(QStringLiteral("Unit"));
    for (const char* word : kEzUnitWords)
        unit->addItem(QString::fromLatin1(word));
    if (unit->findText(Text(state_.unit)) < 0)
        unit->addItem(Text(state_.unit));  // a unit the files accept, such as Minutes, stays as read
    unit->setCurrentText(Text(state_.unit));
    connect(count, &QLineEdit::textEdited, this,
            [this](const QString& text) { state_.SetCount(Bytes(text)); });
    connect(unit, &QComboBox::activated, this, [this](int index) {
        state_.ChooseUnit(Bytes(unit->itemText(index)));
        count->setText(QString::fromStdString(state_.count));
    });
    connect(calendar, &SECCalendar::PickedDaysChanged, this, [this] {
        count->setText(QString::fromStdString(state_.count));
        RefreshItems();
    });
    clear_dates = new QPushButton(QStringLiteral("Clear Dates"), this);
    connect(clear_dates, &QPushButton::clicked, this, &CDateCriteriaDialog::OnClearDates);

    auto* ez_layout = new QGridLayout(ez);
    ez_layout->addWidget(previous, 0, 0, 1, 2);
    ez_layout->addWidget(count, 1, 0);
    ez_layout->addWidget(unit, 1, 1);

    auto* choice = new QHBoxLayout;
    choice->addWidget(include_button);
    choice->addWidget(exclude_button);
    choice->addStretch();
    auto* hint = new QLabel(QStringLiteral("Select a Date Range  - OR - Use EZ-Date --->"), this);
    auto* left = new QVBoxLayout;
    left->addLayout(choice);
    left->addWidget(hint);
    left->addWidget(calendar);
    auto* right = new QVBoxLayout;
    right->addWidget(items, 1);
    right->addWidget(ez);
    right->addWidget(clear_dates);
    auto* columns = new QHBoxLayout(group);
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(OkCancel(this));
    RefreshItems();
}

void CDateCriteriaDialog::RefreshItems() {
    items->clear();
    for (const std::string& item : state_.Items().items)
        items->addItem(QString::fromStdString(item));
}

void CDateCriteriaDialog::OnClearDates() {
    state_.ClearDates();
    RefreshItems();
    calendar->update();
    accept();
}

bool EditCriteria(QWidget* parent, const QueryField& field, std::string& value_text) {
    const QString title = Text(FieldTitle(field));
    switch (CriteriaDialogOf(field.type_name)) {
        case CriteriaDialogKind::Text: {
            CTextCriteriaDialog dialog(title, value_text, parent);
            if (dialog.exec() != QDialog::Accepted)
                return false;
            value_text = dialog.ValueText();
            return true;
        }
        case CriteriaDialogKind::Size: {
            CSizeCriteriaDialog dialog(title, value_text, parent);
            if (dialog.exec() != QDialog::Accepted)
                return false;
            value_text = dialog.ValueText();
            return true;
        }
        case CriteriaDialogKind::Date: {
            CDateCriteriaDialog dialog(title, value_text, parent);
            if (dialog.exec() != QDialog::Accepted)
                return false;
            value_text = dialog.ValueText();
            return true;
        }
        case CriteriaDialogKind::None:
            break;
    }
    return false;
}

}  // namespace korvane
