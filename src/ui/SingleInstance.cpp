#include "ui/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace quillo::ui {

namespace {
constexpr int answerTimeoutMs = 1000;
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).filePath(QStringLiteral("quillo.socket"));
}

bool SingleInstance::sendToRunningInstance(const QByteArray& message) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(answerTimeoutMs)) {
        return false;
    }
    socket.write(message + '\n');
    socket.waitForBytesWritten(answerTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

std::optional<QByteArray> SingleInstance::request(const QByteArray& request, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(answerTimeoutMs)) {
        return std::nullopt;
    }
    socket.write(request + '\n');
    QByteArray answer;
    while (!answer.endsWith('\n')) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            // An instance that left before answering counts as none only when it said nothing.
            answer += socket.readAll();
            break;
        }
        answer += socket.readAll();
    }
    if (!answer.endsWith('\n')) {
        return std::nullopt;
    }
    answer.chop(1);
    return answer;
}

bool SingleInstance::claim(const QByteArray& message) {
    if (sendToRunningInstance(message)) {
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        // Another instance may have started in the meantime; otherwise the socket is left over
        // from one that crashed.
        if (sendToRunningInstance(message)) {
            return false;
        }
        QLocalServer::removeServer(socketPath_);
        server_->listen(socketPath_);
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::readConnections);
    return true;
}

void SingleInstance::readConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto drain = [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray message = socket->readLine().trimmed();
                if (message.startsWith('{') && requestHandler_) {
                    socket->write(requestHandler_(message) + '\n');
                    socket->flush();
                } else {
                    emit messageReceived(message);
                }
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, drain);
        // The sender leaves as soon as it has written: what it wrote may still be unread.
        connect(socket, &QLocalSocket::disconnected, this, [socket, drain] {
            drain();
            socket->deleteLater();
        });
        drain();
    }
}

} // namespace quillo::ui
