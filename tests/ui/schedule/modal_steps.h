// Drives the modal dialogs a window opens one inside another: each step
// waits until the active modal window has the given object name (or class
// name), then acts on it. An action that opens a further dialog must do it
// later (Later()), so that the next step can run while that dialog waits.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>

namespace korvane::testing {

class ModalSteps : public QObject {
  public:
    ModalSteps() {
        connect(&timer_, &QTimer::timeout, this, &ModalSteps::Look);
        timer_.start(10);
        since_step_.start();
    }
    // name: the dialog's object name, or its class name.
    ModalSteps& Then(std::string name, std::function<void(QWidget*)> action) {
        if (steps_.empty())
            since_step_.restart();
        steps_.push_back({std::move(name), std::move(action)});
        return *this;
    }
    bool Done() const { return steps_.empty() && unexpected_.empty(); }
    // The step still waited for, and what stood in its way when it gave up.
    std::string Waiting() const {
        return (steps_.empty() ? std::string() : steps_.front().name) + unexpected_;
    }

  private:
    struct Step {
        std::string name;
        std::function<void(QWidget*)> action;
    };
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || steps_.empty() || !modal->isVisible())
            return;
        const std::string object = modal->objectName().toStdString();
        const std::string type = modal->metaObject()->className();
        if (steps_.front().name != object && steps_.front().name != type) {
            if (since_step_.elapsed() > kPatienceMs)
                GiveUp(modal, type, object);
            return;
        }
        const Step step = std::move(steps_.front());
        steps_.pop_front();
        since_step_.restart();
        step.action(modal);
    }
    // A dialog nobody expected would keep the test waiting for ever: it is
    // named for the failure message and closed, and the steps end.
    void GiveUp(QWidget* modal, const std::string& type, const std::string& object) {
        unexpected_ = " (instead: " + type + " '" + object + "'";
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            unexpected_ += " saying \"" + box->text().toStdString() + "\"";
        unexpected_ += ")";
        steps_.clear();
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    static constexpr qint64 kPatienceMs = 30000;
    QElapsedTimer since_step_;
    std::string unexpected_;
    QTimer timer_;
    std::deque<Step> steps_;
};

// Runs f from the event loop, after the current step has returned.
inline void Later(QObject* context, std::function<void()> f) {
    QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
}

}  // namespace korvane::testing
