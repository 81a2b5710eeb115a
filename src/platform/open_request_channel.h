// Open requests handed from a second start to the running instance: a local
// socket beside the instance lock, private to the user. The second start
// sends one document path and waits for the answer; the running instance
// opens the document (or keeps it until its window is free) and answers.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>

namespace korvane {

// The socket beside the lock file ("Korvane.lock" -> "Korvane.open").
std::string OpenRequestSocketPath(const std::string& lock_path);

enum class OpenRequestAnswer {
    NoInstance,  // nobody listens: this start is the only one
    Opened,      // the running window opened the document
    Queued,      // the running window is busy and opens it when free
    Failed,      // the running instance could not open it
};
// Sends the path (made absolute against the current folder) and waits up
// to timeout_ms for the answer.
OpenRequestAnswer SendOpenRequest(const std::string& socket_path, const std::string& document_path,
                                  int timeout_ms = 10000);

// The running instance's end. Each request is given to the handler, which
// answers Opened, Queued or Failed.
class OpenRequestServer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<OpenRequestAnswer(const std::string& path)>;
    explicit OpenRequestServer(Handler handler, QObject* parent = nullptr);
    // Listens at the path; a socket left by an instance that ended is replaced.
    bool Listen(const std::string& socket_path);

  private:
    void OnConnection();
    Handler handler_;
    QLocalServer server_;
};

}  // namespace korvane
