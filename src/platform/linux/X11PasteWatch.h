// Tells when the application that is pasted into has fetched the paste from this program.
//
// An X application inserts pasted text only once it has asked the clipboard's owner for it and
// had the answer: typing on, or giving the clipboard back, before then makes it paste late or
// paste the wrong thing. It asks with a SelectionRequest, which Qt answers on its connection; this
// watches those requests on the way in. A request counts when it is for the clipboard's data
// (not the list of its types, nor its time stamp) and comes from the client whose window the
// paste keys went to: clipboard managers and the desktop's selection proxies ask too, and their
// asking says nothing of the paste. Only a request for a type the contents have counts: GTK asks
// for one type after another until one is answered. It is counted once Qt's answer has reached
// the server, so that whatever the program sends afterwards reaches the application after the
// answer.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>

namespace quillo::linuxdesktop {

class X11PasteWatch final : public QAbstractNativeEventFilter {
  public:
    // `target` gives the window the paste keys go to; `read` is called on the main thread for
    // each request of its client. Needs Qt's X11 platform; without it nothing is ever counted.
    X11PasteWatch(std::function<std::uint32_t()> target, std::function<void()> read);
    ~X11PasteWatch() override;
    X11PasteWatch(const X11PasteWatch&) = delete;
    X11PasteWatch& operator=(const X11PasteWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    // Whether the clipboard's contents can be had as the type the atom names.
    bool offered(std::uint32_t type);

    std::function<std::uint32_t()> target_;
    std::function<void()> read_;
    void* connection_ = nullptr;
    std::uint32_t clientMask_ = 0;
    std::uint32_t clipboard_ = 0;
    std::map<std::uint32_t, QString> names_;
};

} // namespace quillo::linuxdesktop
