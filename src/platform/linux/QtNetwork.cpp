#include "platform/linux/QtNetwork.h"

#include <QByteArray>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>
#include <algorithm>
#include <climits>

namespace quillo::linuxdesktop {

namespace {

// What one request has gathered so far.
struct Transfer {
    std::function<void(platform::HttpResponse)> completion;
    std::size_t maxBytes = 0;
    QByteArray body;
    bool tooLarge = false;
    bool done = false;

    bool exceeds(qint64 size) const {
        return size > 0 && static_cast<std::uint64_t>(size) > maxBytes;
    }
};

// Content errors (201-299) and server errors (401-499) are HTTP statuses: the server answered,
// and its body came with the answer.
bool serverAnswered(QNetworkReply::NetworkError error) {
    const int code = static_cast<int>(error);
    return error == QNetworkReply::NoError || (code >= 201 && code <= 299) ||
           (code >= 401 && code <= 499);
}

} // namespace

QtNetwork::QtNetwork() : manager_(std::make_unique<QNetworkAccessManager>()) {}

QtNetwork::~QtNetwork() {
    // The replies go with the manager; none may call back into callers that are going too.
    for (QNetworkReply* reply : manager_->findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
}

void QtNetwork::get(const std::string& url, std::chrono::milliseconds timeout, std::size_t maxBytes,
                    std::function<void(platform::HttpResponse)> completion) {
    QMetaObject::invokeMethod(manager_.get(), [this, url, timeout, maxBytes,
                                               completion = std::move(completion)]() mutable {
        start(url, timeout, maxBytes, std::move(completion));
    });
}

void QtNetwork::start(const std::string& url, std::chrono::milliseconds timeout,
                      std::size_t maxBytes,
                      std::function<void(platform::HttpResponse)> completion) {
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setTransferTimeout(
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, INT_MAX)));
    QNetworkReply* reply = manager_->get(request);

    auto transfer = std::make_shared<Transfer>();
    transfer->completion = std::move(completion);
    transfer->maxBytes = maxBytes;

    // Aborting makes the reply finish at once, as a failure.
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, transfer](qint64 received, qint64 total) {
                         if (!transfer->tooLarge &&
                             (transfer->exceeds(received) || transfer->exceeds(total))) {
                             transfer->tooLarge = true;
                             reply->abort();
                         }
                     });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, transfer] {
        if (transfer->tooLarge) {
            return;
        }
        transfer->body += reply->readAll();
        if (transfer->exceeds(transfer->body.size())) {
            transfer->tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, transfer] {
        reply->deleteLater();
        if (transfer->done) {
            return;
        }
        transfer->done = true;
        if (!transfer->tooLarge) {
            transfer->body += reply->readAll();
            transfer->tooLarge = transfer->exceeds(transfer->body.size());
        }
        platform::HttpResponse response;
        if (!transfer->tooLarge && serverAnswered(reply->error())) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(transfer->body.constData());
            response.body = platform::Bytes(data, data + transfer->body.size());
        }
        auto finish = std::move(transfer->completion);
        finish(std::move(response));
    });
}

} // namespace quillo::linuxdesktop
