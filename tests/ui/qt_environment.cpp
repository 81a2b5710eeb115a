#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <memory>

namespace korvane::testing {
namespace {

QtMessageHandler previous_handler = nullptr;

// The offscreen platform says this for every window that has size hints.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QStringLiteral("does not support propagateSizeHints")))
        return;
    if (previous_handler != nullptr)
        previous_handler(type, context, message);
}

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        previous_handler = qInstallMessageHandler(QuietMessages);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    char name_[9] = "ui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers)
    : answers_(std::move(answers)) {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxAnswerer::Look);
    timer_.start(5);
}

void MessageBoxAnswerer::Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    boxes.push_back({box->text().toStdString(), box->icon(), box->standardButtons()});
    QAbstractButton* button = nullptr;
    if (!answers_.empty()) {
        button = box->button(answers_.front());
        answers_.pop_front();
    }
    if (button == nullptr)
        button = box->button(QMessageBox::Cancel);
    if (button == nullptr)
        button = box->escapeButton();
    if (button != nullptr)
        button->click();
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > milliseconds)
            return done();
        QTest::qWait(10);
    }
    return true;
}

void AcceptFileDialogWith(QFileDialog* dialog, const QString& path) {
    auto* retry = new QTimer(dialog);
    auto tries = std::make_shared<int>(0);
    // The name field decides what the dialog answers; the folder listing that
    // ends after an early accept may have emptied it, so it is typed again.
    auto choose = [dialog, path] {
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        else
            dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
    QObject::connect(retry, &QTimer::timeout, dialog, [dialog, retry, tries, choose] {
        if (!dialog->isVisible()) {
            retry->stop();
            return;
        }
        if (++*tries > 50) {
            retry->stop();
            dialog->reject();
            return;
        }
        choose();
    });
    choose();
    retry->start(200);
}

}  // namespace korvane::testing
