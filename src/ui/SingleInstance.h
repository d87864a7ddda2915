// One Quillo per user: the first instance listens on a local socket in the user's runtime
// folder; a later one hands it a message (show the settings window) and leaves. A `quillo`
// command asks the running instance for a request's answer the same way: a request is one line
// of JSON, and so is its answer.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QLocalServer;

namespace quillo::ui {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket in $XDG_RUNTIME_DIR (or Qt's stand-in for it when unset).
    static QString defaultSocketPath();

    // Becomes the running instance, or, when another one answers, hands it `message` and
    // returns false.
    bool claim(const QByteArray& message);

    const QString& socketPath() const { return socketPath_; }

    // The running instance's answer to a request (one line of compact JSON, without the line
    // feed); none when no instance answers within the time.
    std::optional<QByteArray> request(const QByteArray& request, int timeoutMs = 10'000) const;
    // How the running instance answers requests.
    void setRequestHandler(std::function<QByteArray(const QByteArray&)> handler) {
        requestHandler_ = std::move(handler);
    }

  signals:
    void messageReceived(const QByteArray& message);

  private:
    bool sendToRunningInstance(const QByteArray& message);
    void readConnections();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
    std::function<QByteArray(const QByteArray&)> requestHandler_;
};

} // namespace quillo::ui
