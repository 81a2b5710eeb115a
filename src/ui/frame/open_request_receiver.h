// The running window's side of open requests from a second start: a
// document is opened at once when the window is free, and kept until it is
// free while a build, a modal dialog or a progress window holds it, so no
// request can reach the catalogue in the middle of a build.
#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <string>

#include "platform/open_request_channel.h"

namespace korvane {

class CMainFrame;

class OpenRequestReceiver : public QObject {
    Q_OBJECT
  public:
    explicit OpenRequestReceiver(CMainFrame& frame, QObject* parent = nullptr);
    bool Listen(const std::string& socket_path) { return server_.Listen(socket_path); }
    // Whether the window may open a document now.
    bool WindowFree() const;
    std::size_t Waiting() const { return waiting_.size(); }

  private:
    OpenRequestAnswer Receive(const std::string& path);
    void OpenWaiting();

    CMainFrame& frame_;
    OpenRequestServer server_;
    std::deque<std::string> waiting_;
    QTimer retry_;
};

}  // namespace korvane
