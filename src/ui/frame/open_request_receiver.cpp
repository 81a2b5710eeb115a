#include "ui/frame/open_request_receiver.h"

#include <QApplication>
#include <QFileInfo>

#include "ui/main_frame.h"

namespace korvane {

OpenRequestReceiver::OpenRequestReceiver(CMainFrame& frame, QObject* parent)
    : QObject(parent), frame_(frame), server_([this](const std::string& path) { return Receive(path); }) {
    retry_.setInterval(250);
    connect(&retry_, &QTimer::timeout, this, &OpenRequestReceiver::OpenWaiting);
}

bool OpenRequestReceiver::WindowFree() const {
    return frame_.isEnabled() && QApplication::activeModalWidget() == nullptr &&
           QApplication::activePopupWidget() == nullptr;
}

OpenRequestAnswer OpenRequestReceiver::Receive(const std::string& path) {
    if (!QFileInfo(QString::fromStdString(path)).isReadable())
        return OpenRequestAnswer::Failed;
    if (!WindowFree() || !waiting_.empty()) {
        waiting_.push_back(path);
        retry_.start();
        return OpenRequestAnswer::Queued;
    }
    if (frame_.OpenDocumentFile(path) == nullptr)
        return OpenRequestAnswer::Failed;
    frame_.raise();
    frame_.activateWindow();
    return OpenRequestAnswer::Opened;
}

void OpenRequestReceiver::OpenWaiting() {
    while (!waiting_.empty() && WindowFree()) {
        const std::string path = waiting_.front();
        waiting_.pop_front();
        frame_.OpenDocumentFile(path);
    }
    if (waiting_.empty())
        retry_.stop();
}

}  // namespace korvane
