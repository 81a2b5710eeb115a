#include "platform/open_request_channel.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

namespace korvane {
namespace {

constexpr const char* kAnswerWords[] = {"none", "opened", "queued", "failed"};

OpenRequestAnswer AnswerOf(const QByteArray& line) {
    const QByteArray word = line.trimmed();
    if (word == "opened")
        return OpenRequestAnswer::Opened;
    if (word == "queued")
        return OpenRequestAnswer::Queued;
    return OpenRequestAnswer::Failed;
}

}  // namespace

std::string OpenRequestSocketPath(const std::string& lock_path) {
    std::string path = lock_path;
    const std::size_t dot = path.rfind(".lock");
    if (dot != std::string::npos && dot + 5 == path.size())
        path.resize(dot);
    return path + ".open";
}

OpenRequestAnswer SendOpenRequest(const std::string& socket_path, const std::string& document_path,
                                  int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socket_path));
    if (!socket.waitForConnected(timeout_ms))
        return OpenRequestAnswer::NoInstance;
    const QString absolute = QFileInfo(QString::fromStdString(document_path)).absoluteFilePath();
    socket.write(absolute.toUtf8() + "\n");
    if (!socket.waitForBytesWritten(timeout_ms))
        return OpenRequestAnswer::Failed;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeout_ms))
            return OpenRequestAnswer::Failed;
    }
    return AnswerOf(socket.readLine());
}

OpenRequestServer::OpenRequestServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &OpenRequestServer::OnConnection);
}

bool OpenRequestServer::Listen(const std::string& socket_path) {
    const QString name = QString::fromStdString(socket_path);
    if (server_.listen(name))
        return true;
    // The lock is ours, so a socket there belongs to an instance that ended.
    QLocalServer::removeServer(name);
    return server_.listen(name);
}

void OpenRequestServer::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const std::string path = QString::fromUtf8(socket->readLine()).trimmed().toStdString();
            const OpenRequestAnswer answer = handler_ ? handler_(path) : OpenRequestAnswer::Failed;
            socket->write(QByteArray(kAnswerWords[static_cast<int>(answer)]) + "\n");
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

}  // namespace korvane
