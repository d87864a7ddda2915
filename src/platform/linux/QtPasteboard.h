// The CLIPBOARD selection, through Qt's clipboard.
//
// X keeps no clipboard: the contents live in the program that owns the selection, which hands
// them out format by format. So the contents are read eagerly, every format the owner offers,
// as bytes, and given back by owning the selection with exactly those bytes. The X clipboard
// holds one item; what the seam calls items are merged into it.
//
// Emptying the contents leaves the selection with its owner for a moment, reading as empty: an
// expansion empties it only to write at once, and a selection with no owner in between would
// have clipboard managers (Klipper's "prevent empty clipboard") put their last entry back. Only
// when nothing is written within that moment is the selection given up.
//
// Qt's clipboard belongs to the main thread. Calls from the background worker are carried out
// there and waited for; calls on the main thread run at once.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/TaskReceiver.h"

#include <QObject>
#include <atomic>
#include <functional>

class QMimeData;
class QTimer;

namespace quillo::linuxdesktop {

class QtPasteboard final : public QObject, public platform::Pasteboard {
  public:
    // Created on the main thread, after the QGuiApplication.
    QtPasteboard();

    std::int64_t changeCount() const override { return changeCount_; }
    std::vector<platform::PasteboardItem> items() const override;
    void clearContents() override;
    void writeItems(const std::vector<platform::PasteboardItem>& items) override;
    void setString(std::string_view text) override;
    void setConcealedString(std::string_view text) override;
    std::optional<std::string> string() const override;
    bool ownsContents() const override;
    std::int64_t focusedReads() const override { return focusedReads_; }

    // The program is quitting: calls from the worker return at once without touching the
    // clipboard (the main loop that would carry them out has ended).
    void stop() { stopped_ = true; }
    // The focused application has read contents this program wrote (told by the backend, which
    // sees the requests).
    void noteFocusedRead() { ++focusedReads_; }

  private:
    void onMain(const std::function<void()>& work) const;
    // The contents after adding to them: a copy of this program's own data if it owns the
    // clipboard, else nothing.
    QMimeData* ownContentsCopy() const;
    void replaceContents(QMimeData* data);
    // Emptied, and nobody has copied since: the contents read as none.
    bool isEmptied() const;

    std::atomic<std::int64_t> changeCount_ = 0;
    std::atomic<std::int64_t> focusedReads_ = 0;
    std::atomic<bool> stopped_ = false;
    // Main thread only: emptied, the selection not yet given up, at this change count.
    bool emptied_ = false;
    std::int64_t emptiedAt_ = 0;
    QTimer* giveUp_;
    // Lives on the main thread, where the clipboard is.
    mutable TaskReceiver mainThread_;
};

} // namespace quillo::linuxdesktop
