#include "platform/linux/X11PasteWatch.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <string_view>
#include <xcb/xcb.h>

namespace quillo::linuxdesktop {

namespace {

xcb_atom_t atom(xcb_connection_t* connection, std::string_view name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return result;
}

} // namespace

X11PasteWatch::X11PasteWatch(std::function<std::uint32_t()> target, std::function<void()> read)
    : target_(std::move(target)), read_(std::move(read)) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    auto* connection = x11->connection();
    connection_ = connection;
    // Resource ids are the client's base with its own bits below; the rest names the client.
    clientMask_ = ~xcb_get_setup(connection)->resource_id_mask;
    clipboard_ = atom(connection, "CLIPBOARD");
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11PasteWatch::~X11PasteWatch() {
    if (connection_ != nullptr && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool X11PasteWatch::nativeEventFilter(const QByteArray& eventType, void* message,
                                      qintptr* /*result*/) {
    if (connection_ == nullptr || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_SELECTION_REQUEST) {
        return false;
    }
    const auto* request = static_cast<const xcb_selection_request_event_t*>(message);
    const std::uint32_t target = target_ ? target_() : 0;
    if (request->selection != clipboard_ || target == 0 ||
        (request->requestor & clientMask_) != (target & clientMask_) || !offered(request->target)) {
        return false;
    }
    // Qt answers the request once this filter lets it go; counted after a round trip that
    // follows the answer.
    QTimer::singleShot(0, [connection = static_cast<xcb_connection_t*>(connection_), read = read_] {
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        if (read) {
            read();
        }
    });
    return false;
}

bool X11PasteWatch::offered(std::uint32_t type) {
    auto known = names_.find(type);
    if (known == names_.end()) {
        auto* connection = static_cast<xcb_connection_t*>(connection_);
        xcb_get_atom_name_reply_t* reply =
            xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, type), nullptr);
        QString name;
        if (reply != nullptr) {
            name = QString::fromLatin1(xcb_get_atom_name_name(reply),
                                       xcb_get_atom_name_name_length(reply));
            free(reply);
        }
        known = names_.emplace(type, name).first;
    }
    const QString& name = known->second;
    const QMimeData* contents = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (contents == nullptr || name.isEmpty()) {
        return false;
    }
    // The X names of plain text, which Qt makes from text/plain.
    static const QStringList textTypes = {QStringLiteral("UTF8_STRING"), QStringLiteral("STRING"),
                                          QStringLiteral("TEXT"), QStringLiteral("COMPOUND_TEXT")};
    return contents->hasFormat(name) || (textTypes.contains(name) && contents->hasText());
}

} // namespace quillo::linuxdesktop
