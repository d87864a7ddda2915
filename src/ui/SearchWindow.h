// The search window: a small window at the pointer, opened by a global hotkey
// (AppSettings::searchWindowHotkey), with a search field over the enabled snippets and the best
// matches under it, each shown by its shortcut (or key combination) and the first line of its
// replacement. The order is model::SnippetSearch's: shortcut starting with the text, then
// shortcut containing it, then replacement containing it, each in store order; with an empty
// field, every enabled snippet. Up and Down move in the list while the keys stay in the field;
// Enter or a click writes the chosen snippet; Escape, or the focus going elsewhere, closes it.
//
// The snippet is written into the window that had the focus when the search window opened:
// this window hides, the focus is given back to that window, and once it has it the engine
// writes the snippet there as a hotkey would (TextExpansionEngine::insert), with nothing to
// erase and under the rules of typing. When it cannot (a password field, the snippet not allowed
// in that application, expansion paused, the focus not given back, one of Quillo's own windows),
// the search window comes back with the reason under the field and writes nothing.
#pragma once

#include "app/AppDelegate.h"
#include "model/Observable.h"
#include "model/Snippet.h"
#include "platform/Platform.h"

#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QListView;

namespace quillo::ui {

class SearchResultsModel;

class SearchWindow : public QWidget {
    Q_OBJECT
  public:
    // The longest the window that had the focus may take to have it back; a field that the
    // desktop still counts as a password field is asked again until then, as the desktop learns
    // of the focus a moment after the window manager.
    static constexpr std::chrono::milliseconds focusLimit{1000};

    explicit SearchWindow(app::AppDelegate& delegate, QWidget* parent = nullptr);
    ~SearchWindow() override;

    // Remembers the window that has the focus and shows this one at the pointer, with an empty
    // field and every enabled snippet.
    void open();

    QLineEdit* searchField() const { return field_; }
    QListView* list() const { return list_; }
    // Why the last choice was not written; hidden while there is nothing to say.
    QLabel* reasonLine() const { return reason_; }
    // The snippets listed, in their order.
    std::vector<model::Snippet> listed() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void present();
    void refill();
    void moveCurrent(int step);
    void choose(int row);
    void focusedBack(bool focused);
    void tryInsert();
    void showReason(const QString& reason);

    app::AppDelegate& delegate_;
    SearchResultsModel* results_;
    QLineEdit* field_;
    QListView* list_;
    QLabel* reason_;
    model::Observable::Subscription storeSubscription_;

    std::optional<platform::WindowId> target_;
    std::optional<model::Snippet> chosen_;
    // Each choice counts, so that the answer of a focus request made for an earlier one is
    // dropped.
    unsigned attempt_ = 0;
    platform::Clock::time_point deadline_;
    std::unique_ptr<platform::Timer> retry_;
    // The focus went elsewhere only after the window had it.
    bool wasActive_ = false;
};

} // namespace quillo::ui
