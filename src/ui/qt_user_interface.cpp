#include "ui/qt_user_interface.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "ui/actions/name_conflict_dialog.h"

namespace korvane {
namespace {

QString Text(std::string_view text) {
    return QString::fromStdString(DisplayText(text));
}

QWidget* MessageParent(QWidget* preferred) {
    if (preferred != nullptr && preferred->isVisible() && preferred->isEnabled())
        return preferred;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow(); active != nullptr && active->isEnabled())
        return active;
    return preferred != nullptr && preferred->isEnabled() ? preferred : nullptr;
}

// Lets a new window be mapped and painted before the caller goes on working.
void WaitUntilPainted(QWidget* window) {
    QElapsedTimer waited;
    waited.start();
    while (window->windowHandle() != nullptr && !window->windowHandle()->isExposed() &&
           waited.elapsed() < 500) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    window->repaint();
}

// A modeless window whose close button and Escape only ask to stop.
class CancelDialog : public QDialog {
  public:
    explicit CancelDialog(std::function<void()> on_cancel) : on_cancel_(std::move(on_cancel)) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        on_cancel_();
    }
    void reject() override { on_cancel_(); }

  private:
    std::function<void()> on_cancel_;
};

// A window without a close button: it goes when its owner destroys it.
class PinnedDialog : public QDialog {
  protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
    void reject() override {}
};

}  // namespace

MessageAnswer AskPerson(QWidget* parent, std::string_view text, MessageIcon icon, MessageButtons buttons) {
    QMessageBox box(MessageParent(parent));
    box.setWindowTitle(QStringLiteral("Korvane"));
    box.setText(Text(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Stop:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    QMessageBox::StandardButtons standard;
    QMessageBox::StandardButton escape = QMessageBox::NoButton;
    switch (buttons) {
        case MessageButtons::Ok:
            standard = QMessageBox::Ok;
            escape = QMessageBox::Ok;
            break;
        case MessageButtons::OkCancel:
            standard = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MessageButtons::YesNo:
            standard = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MessageButtons::YesNoCancel:
            standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MessageButtons::RetryCancel:
            standard = QMessageBox::Retry | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
    }
    box.setStandardButtons(standard);
    box.setEscapeButton(escape);
    // The first button is the default, as the platform's message boxes have it.
    switch (buttons) {
        case MessageButtons::Ok:
        case MessageButtons::OkCancel:
            box.setDefaultButton(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel:
            box.setDefaultButton(QMessageBox::Yes);
            break;
        case MessageButtons::RetryCancel:
            box.setDefaultButton(QMessageBox::Retry);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Retry:
            return MessageAnswer::Retry;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    }
}

QtProgressWindow::QtProgressWindow(QWidget* owner) : owner_(owner) {}

QtProgressWindow::~QtProgressWindow() {
    Close();
}

void QtProgressWindow::Pump() {
    QCoreApplication::processEvents();
}

bool QtProgressWindow::Show() {
    if (dialog_ != nullptr)
        return true;
    if (owner_ != nullptr && owner_->isEnabled()) {
        owner_->setEnabled(false);
        disabled_owner_ = owner_;
    }
    auto* dialog = new CancelDialog([this] {
        if (show_cancel_)
            cancel_requested_ = true;
    });
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setWindowTitle(title_);
    dialog->setModal(false);
    dialog->setMinimumWidth(380);

    auto* layout = new QVBoxLayout(dialog);
    first_line_ = new QLabel(dialog);
    second_line_ = new QLabel(dialog);
    for (QLabel* line : {first_line_, second_line_}) {
        line->setTextFormat(Qt::PlainText);
        line->setMinimumWidth(340);
        line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    layout->addWidget(first_line_);
    layout->addWidget(second_line_);
    auto* row = new QHBoxLayout;
    bar_ = new QProgressBar(dialog);
    bar_->setTextVisible(false);
    bar_->setRange(low_, high_);
    bar_->setValue(low_);
    position_ = low_;
    percent_ = new QLabel(QStringLiteral(" 0 %"), dialog);
    percent_->setMinimumWidth(percent_->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8);
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(bar_, 1);
    row->addWidget(percent_);
    layout->addLayout(row);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel_->setAutoDefault(false);
    QObject::connect(cancel_, &QPushButton::clicked, dialog, [this] { cancel_requested_ = true; });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    dialog_ = dialog;
    ApplyCancelState();

    dialog->winId();
    if (owner_ != nullptr && owner_->window()->windowHandle() != nullptr) {
        // Kept above the owner by the window manager, yet not disabled with it.
        dialog->windowHandle()->setTransientParent(owner_->window()->windowHandle());
        dialog->adjustSize();
        dialog->move(owner_->window()->geometry().center() - dialog->rect().center());
    }
    dialog->show();
    WaitUntilPainted(dialog);
    return true;
}

void QtProgressWindow::ApplyCancelState() {
    if (dialog_ == nullptr)
        return;
    cancel_->setVisible(show_cancel_);
    cancel_->setEnabled(show_cancel_);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (show_cancel_)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    const bool visible = dialog_->isVisible();
    dialog_->setWindowFlags(flags);
    if (visible)
        dialog_->show();
}

void QtProgressWindow::SetShowCancel(bool show) {
    show_cancel_ = show;
    ApplyCancelState();
}

void QtProgressWindow::SetTitle(std::string_view text) {
    Pump();
    title_ = Text(text);
    if (dialog_ != nullptr)
        dialog_->setWindowTitle(title_);
}

void QtProgressWindow::SetFirstLine(std::string_view text) {
    Pump();
    if (first_line_ != nullptr && dialog_ != nullptr)
        first_line_->setText(Text(text));
}

void QtProgressWindow::SetSecondLine(std::string_view text) {
    Pump();
    if (second_line_ != nullptr && dialog_ != nullptr)
        second_line_->setText(Text(text));
}

void QtProgressWindow::SetRange(int low, int high) {
    low_ = low;
    high_ = high;
    if (dialog_ != nullptr)
        bar_->setRange(low_, high_);
}

int QtProgressWindow::SetPosition(int value) {
    Pump();
    const int previous = position_;
    position_ = value;
    if (dialog_ == nullptr)
        return previous;
    bar_->setValue(value);
    const QString text = QStringLiteral("%1%").arg(value);
    // Only a changed text is drawn again, so the number does not flicker.
    if (percent_->text() != text)
        percent_->setText(text);
    return previous;
}

bool QtProgressWindow::PollCancel() {
    Pump();
    if (!cancel_requested_)
        return false;
    cancel_requested_ = false;
    return AskPerson(dialog_, kConfirmCancel, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

void QtProgressWindow::Close() {
    if (disabled_owner_ != nullptr)
        disabled_owner_->setEnabled(true);
    disabled_owner_ = nullptr;
    if (dialog_ != nullptr) {
        dialog_->hide();
        delete dialog_.data();
    }
    dialog_ = nullptr;
    bar_ = nullptr;
    percent_ = first_line_ = second_line_ = nullptr;
    cancel_ = nullptr;
}

QtStatusWindow::QtStatusWindow(std::string_view title, std::string_view line1, std::string_view line2,
                               std::string_view line3, std::string_view line4) {
    auto* dialog = new PinnedDialog;
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    dialog->setWindowTitle(Text(title));
    dialog->setModal(false);
    auto* layout = new QVBoxLayout(dialog);
    const std::string_view texts[4] = {line1, line2, line3, line4};
    for (int i = 0; i < 4; ++i) {
        lines_[i] = new QLabel(Text(texts[i]), dialog);
        lines_[i]->setTextFormat(Qt::PlainText);
        lines_[i]->setMinimumWidth(300);
        layout->addWidget(lines_[i]);
    }
    dialog_ = dialog;
    dialog->show();
    WaitUntilPainted(dialog);
}

QtStatusWindow::~QtStatusWindow() {
    if (dialog_ != nullptr) {
        dialog_->hide();
        delete dialog_.data();
    }
}

void QtStatusWindow::SetLine2(std::string_view text) {
    if (dialog_ == nullptr)
        return;
    lines_[1]->setText(Text(text));
    lines_[1]->repaint();
}

MessageAnswer QtUserInterface::ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) {
    if (!unattended_log_.empty()) {
        std::string line(text);
        for (char& c : line) {
            if (c == '\r' || c == '\n')
                c = ' ';
        }
        const bool error = icon == MessageIcon::Stop || icon == MessageIcon::Exclamation;
        WriteEvent(unattended_log_, "Korvane", error ? "Error" : "Info", line);
        return SilentUserInterface().ShowMessage(text, icon, buttons);
    }
    return AskPerson(main_window_, text, icon, buttons);
}

std::unique_ptr<ProgressWindow> QtUserInterface::CreateProgressWindow() {
    return std::make_unique<QtProgressWindow>(main_window_);
}

std::unique_ptr<StatusWindow> QtUserInterface::ShowStatus(std::string_view title, std::string_view line1,
                                                          std::string_view line2, std::string_view line3,
                                                          std::string_view line4) {
    return std::make_unique<QtStatusWindow>(title, line1, line2, line3, line4);
}

void QtUserInterface::PumpMessages() {
    QCoreApplication::processEvents();
}

bool QtUserInterface::ChooseFolder(std::string_view title, std::string& folder) {
    const QString chosen = QFileDialog::getExistingDirectory(MessageParent(main_window_), Text(title),
                                                             QFile::decodeName(folder.c_str()));
    if (chosen.isEmpty())
        return false;
    folder = QFile::encodeName(chosen).toStdString();
    return true;
}

NameConflictReply QtUserInterface::AskNameConflict(std::string_view source, std::string_view target,
                                                   bool target_is_folder) {
    return AskNameConflictInWindow(MessageParent(main_window_), source, target, target_is_folder);
}

}  // namespace korvane
