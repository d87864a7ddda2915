#include "platform/linux/QtPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <chrono>

namespace quillo::linuxdesktop {

namespace {

// Long enough for the write that follows an emptying on the worker to arrive.
constexpr int giveUpDelayMs = 100;

// Qt calls UTF-8 plain text "text/plain"; the seam names the encoding.
const QString qtPlainText = QStringLiteral("text/plain");
const QString utf8PlainText =
    QString::fromLatin1(platform::Pasteboard::plainTextType.data(),
                        static_cast<qsizetype>(platform::Pasteboard::plainTextType.size()));

// Formats that are not the owner's data: those Qt makes up from others (an image it decoded),
// which written back would offer the image twice, and the selection's own questions (the list of
// types, its time), which whoever owns it answers itself.
bool isNotData(const QString& format) {
    static const QStringList protocol = {
        QStringLiteral("TARGETS"), QStringLiteral("TIMESTAMP"),    QStringLiteral("MULTIPLE"),
        QStringLiteral("DELETE"),  QStringLiteral("SAVE_TARGETS"), QStringLiteral("INCR")};
    return format.startsWith(QStringLiteral("application/x-qt-")) || protocol.contains(format);
}

std::string seamType(const QString& format, const QStringList& all) {
    if (format == qtPlainText && !all.contains(utf8PlainText)) {
        return std::string(platform::Pasteboard::plainTextType);
    }
    return format.toStdString();
}

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

} // namespace

QtPasteboard::QtPasteboard() : giveUp_(new QTimer(this)) {
    connect(clipboard(), &QClipboard::dataChanged, this, [this] { ++changeCount_; });
    giveUp_->setSingleShot(true);
    giveUp_->setInterval(giveUpDelayMs);
    connect(giveUp_, &QTimer::timeout, this, [this] {
        if (isEmptied()) {
            clipboard()->clear(QClipboard::Clipboard);
        }
        emptied_ = false;
    });
}

bool QtPasteboard::isEmptied() const {
    // A copy by anyone since counts as a change.
    return emptied_ && changeCount_ == emptiedAt_;
}

void QtPasteboard::onMain(const std::function<void()>& work) const {
    mainThread_.runAndWait(work, stopped_);
}

std::vector<platform::PasteboardItem> QtPasteboard::items() const {
    std::vector<platform::PasteboardItem> result;
    onMain([this, &result] {
        const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
        if (data == nullptr || isEmptied()) {
            return;
        }
        const QStringList formats = data->formats();
        platform::PasteboardItem item;
        for (const QString& format : formats) {
            if (isNotData(format)) {
                continue;
            }
            const QByteArray bytes = data->data(format);
            item.representations.emplace_back(seamType(format, formats),
                                              platform::Bytes(bytes.begin(), bytes.end()));
        }
        if (!item.representations.empty()) {
            result.push_back(std::move(item));
        }
    });
    return result;
}

void QtPasteboard::clearContents() {
    onMain([this] {
        emptied_ = true;
        emptiedAt_ = ++changeCount_;
        giveUp_->start();
    });
}

QMimeData* QtPasteboard::ownContentsCopy() const {
    auto* copy = new QMimeData;
    if (clipboard()->ownsClipboard() && !isEmptied()) {
        if (const QMimeData* own = clipboard()->mimeData(QClipboard::Clipboard)) {
            for (const QString& format : own->formats()) {
                copy->setData(format, own->data(format));
            }
        }
    }
    return copy;
}

void QtPasteboard::replaceContents(QMimeData* data) {
    emptied_ = false;
    giveUp_->stop();
    clipboard()->setMimeData(data, QClipboard::Clipboard);
    ++changeCount_;
}

void QtPasteboard::writeItems(const std::vector<platform::PasteboardItem>& items) {
    onMain([this, &items] {
        QMimeData* data = ownContentsCopy();
        for (const auto& item : items) {
            for (const auto& [type, bytes] : item.representations) {
                const QString format = QString::fromStdString(type);
                const QByteArray value(reinterpret_cast<const char*>(bytes.data()),
                                       static_cast<qsizetype>(bytes.size()));
                // One X selection holds one value per format: the first item's wins. Each type
                // goes back under its own name; UTF-8 text also as Qt's text/plain, from which
                // Qt makes the X text types (UTF8_STRING, STRING, TEXT).
                if (!data->hasFormat(format)) {
                    data->setData(format, value);
                }
                if (format == utf8PlainText && !data->hasFormat(qtPlainText)) {
                    data->setData(qtPlainText, value);
                }
            }
        }
        replaceContents(data);
    });
}

void QtPasteboard::setString(std::string_view text) {
    onMain([this, text] {
        QMimeData* data = ownContentsCopy();
        data->setData(qtPlainText, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
        replaceContents(data);
    });
}

void QtPasteboard::setConcealedString(std::string_view text) {
    onMain([this, text] {
        QMimeData* data = ownContentsCopy();
        const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
        data->setData(qtPlainText, bytes);
        // Asked for first by GTK; Qt does not make it from text/plain on its own.
        data->setData(utf8PlainText, bytes);
        // The marks KDE's Klipper and CopyQ honour: a password manager's "keep out of history".
        data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
        data->setData(QStringLiteral("application/x-copyq-hidden"), QByteArrayLiteral("1"));
        data->setData(QStringLiteral("application/x-copyq-secret"), QByteArrayLiteral("1"));
        replaceContents(data);
    });
}

bool QtPasteboard::ownsContents() const {
    bool owns = false;
    onMain([&owns] { owns = clipboard()->ownsClipboard(); });
    return owns;
}

std::optional<std::string> QtPasteboard::string() const {
    std::optional<std::string> result;
    onMain([this, &result] {
        const QMimeData* data = clipboard()->mimeData(QClipboard::Clipboard);
        if (data != nullptr && !isEmptied() && data->hasFormat(qtPlainText)) {
            const QByteArray bytes = data->data(qtPlainText);
            result = std::string(bytes.begin(), bytes.end());
        }
    });
    return result;
}

} // namespace quillo::linuxdesktop
