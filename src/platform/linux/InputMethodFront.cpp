#include "platform/linux/InputMethodFront.h"

#include "platform/linux/AtspiPasswordFields.h"
#include "platform/linux/IBusInputMethod.h"
#include "platform/linux/ProcessApplication.h"

namespace quillo::linuxdesktop {

InputMethodFront::InputMethodFront(const AtspiPasswordFields& accessibility,
                                   const IBusInputMethod& inputMethod)
    : accessibility_(accessibility), inputMethod_(inputMethod) {}

std::optional<std::string> InputMethodFront::applicationId() const {
    Front front{accessibility_.focusedProcess(), inputMethod_.focusedClient()};
    if (front_ == front) {
        return id_;
    }
    id_.reset();
    if (front.process) {
        id_ = launcherIdOfProcess(*front.process);
    }
    if (!id_) {
        id_ = IBusInputMethod::programOfClient(front.client);
    }
    if (!id_ && front.process) {
        id_ = programOfProcess(*front.process);
    }
    front_ = std::move(front);
    return id_;
}

} // namespace quillo::linuxdesktop
