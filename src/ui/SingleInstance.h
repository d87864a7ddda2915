// One Quillo per user: the first instance listens on a local socket in the user's runtime
// folder; a later one hands it a message (show the settings window) and leaves.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

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

  signals:
    void messageReceived(const QByteArray& message);

  private:
    bool sendToRunningInstance(const QByteArray& message);
    void readConnections();

    QString socketPath_;
    QLocalServer* server_ = nullptr;
};

} // namespace quillo::ui
