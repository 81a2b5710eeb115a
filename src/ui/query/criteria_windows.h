// The three criteria dialogs: names (Text), sizes (Size) and dates (Date
// with a calendar of picked days and the EZ-Date count). Each opens on a
// value text and, on OK, gives the value text the query keeps.
#pragma once

#include <QCalendarWidget>
#include <QDialog>
#include <string>

#include "query/criteria_dialogs.h"
#include "query/query_profile.h"

class QButtonGroup;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace korvane {

class CTextCriteriaDialog : public QDialog {
    Q_OBJECT
  public:
    CTextCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent = nullptr);
    // The value text on OK; the old one when the edit holds no value.
    std::string ValueText() const;

    QRadioButton* find_button = nullptr;
    QRadioButton* exclude_button = nullptr;
    QLineEdit* edit = nullptr;

  private:
    std::string old_value_text_;
};

class CSizeCriteriaDialog : public QDialog {
    Q_OBJECT
  public:
    CSizeCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent = nullptr);
    std::string ValueText() const;
    // OK is enabled only while the typed sizes can be read.
    bool OkEnabled() const;

    QRadioButton* include_button = nullptr;
    QRadioButton* exclude_button = nullptr;
    QLineEdit* edit = nullptr;
    QDialogButtonBox* buttons = nullptr;
};

// A month calendar on which days are picked and unpicked by clicking; a
// click with Shift held picks every day from the last clicked one. The
// picked days are drawn highlighted.
class SECCalendar : public QCalendarWidget {
    Q_OBJECT
  public:
    SECCalendar(DateCriteriaState& state, QWidget* parent = nullptr);
    // Where the cell of a date of the shown month is, in the calendar's
    // table; an empty rectangle when it is not shown.
    QRect CellRect(const QDate& date) const;
    QWidget* Table() const;

  signals:
    void PickedDaysChanged();

  protected:
    void paintCell(QPainter* painter, const QRect& rect, QDate date) const override;
    // Notes the keys held with the last click on a day.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnClicked(QDate date);

    DateCriteriaState& state_;
    QDate anchor_;
    Qt::KeyboardModifiers click_modifiers_;
};

class CDateCriteriaDialog : public QDialog {
    Q_OBJECT
  public:
    CDateCriteriaDialog(const QString& title, const std::string& value_text, QWidget* parent = nullptr);
    std::string ValueText() const { return state_.ValueText(); }
    const DateCriteriaState& State() const { return state_; }

    QRadioButton* include_button = nullptr;
    QRadioButton* exclude_button = nullptr;
    SECCalendar* calendar = nullptr;
    QListWidget* items = nullptr;
    QLineEdit* count = nullptr;
    QComboBox* unit = nullptr;
    QPushButton* clear_dates = nullptr;

  private:
    void RefreshItems();
    void OnClearDates();

    DateCriteriaState state_;
};

// Opens the dialog of the field's type ("Number" fields open none) titled
// "%s %s" with the table and field name; true on OK with the new text.
bool EditCriteria(QWidget* parent, const QueryField& field, std::string& value_text);

}  // namespace korvane
