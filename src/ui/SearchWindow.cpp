#include "ui/SearchWindow.h"

#include "model/SnippetSearch.h"
#include "ui/SnippetRow.h"
#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QAbstractListModel>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo::ui {

// The matches, as positions in the store's list, read in place.
class SearchResultsModel : public QAbstractListModel {
  public:
    SearchResultsModel(const model::SnippetStore& store,
                       const platform::KeyboardLayout& keyboardLayout, QObject* parent)
        : QAbstractListModel(parent), store_(store), keyboardLayout_(keyboardLayout) {}

    void search(const QString& text) {
        // Folded once for each version of the list, not for each keystroke.
        if (!index_ || revision_ != store_.revision()) {
            index_.emplace(store_.snippets());
            revision_ = store_.revision();
        }
        beginResetModel();
        rows_ = index_->ranked(text.toStdString());
        endResetModel();
    }
    // The folded texts are kept only while the window is open.
    void forget() {
        beginResetModel();
        index_.reset();
        rows_.clear();
        endResetModel();
    }
    const model::Snippet& snippetAt(int row) const {
        return store_.snippets()[rows_[static_cast<std::size_t>(row)]];
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        return SnippetRow::data(snippetAt(index.row()), role, keyboardLayout_);
    }

  private:
    const model::SnippetStore& store_;
    const platform::KeyboardLayout& keyboardLayout_;
    std::optional<model::RankedSnippetSearch> index_;
    std::uint64_t revision_ = 0;
    std::vector<std::size_t> rows_;
};

namespace {

constexpr int visibleRows = 8;
constexpr int windowWidth = 440;
constexpr std::chrono::milliseconds retryInterval{25};

} // namespace

SearchWindow::SearchWindow(app::AppDelegate& delegate, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      delegate_(delegate), results_(new SearchResultsModel(
                               delegate.snippetStore(), delegate.services().keyboardLayout, this)) {
    setObjectName(QStringLiteral("searchWindow"));
    setWindowTitle(tr("Quillo Search"));
    // Frameless: the border is the window's own.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("searchFrame"));
    frame->setStyleSheet(QStringLiteral("QFrame#searchFrame { background: palette(window); "
                                        "border: 1px solid palette(mid); }"));
    outer->addWidget(frame);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);

    field_ = new QLineEdit(frame);
    field_->setObjectName(QStringLiteral("search"));
    field_->setPlaceholderText(tr("Search snippets..."));
    field_->addAction(symbolIcon(QStringLiteral("magnifyingglass"), typography::secondaryColor()),
                      QLineEdit::LeadingPosition);
    field_->installEventFilter(this);
    column->addWidget(field_);

    reason_ = new QLabel(frame);
    reason_->setObjectName(QStringLiteral("reason"));
    reason_->setWordWrap(true);
    typography::setTextColor(reason_, QColor(215, 58, 73));
    reason_->hide();
    column->addWidget(reason_);

    list_ = new QListView(frame);
    list_->setObjectName(QStringLiteral("matches"));
    list_->setModel(results_);
    auto* rows = new SnippetRow(list_);
    list_->setItemDelegate(rows);
    list_->setUniformItemSizes(true);
    // The keys stay in the field; the list follows Up and Down from there.
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    const int rowHeight = rows->sizeHint(QStyleOptionViewItem(), QModelIndex()).height();
    list_->setFixedHeight(visibleRows * rowHeight + 2 * list_->frameWidth());
    column->addWidget(list_);
    setFixedWidth(windowWidth);

    connect(field_, &QLineEdit::textChanged, this, [this] {
        reason_->hide();
        refill();
    });
    connect(list_, &QListView::clicked, this,
            [this](const QModelIndex& index) { choose(index.row()); });
    storeSubscription_ = delegate_.snippetStore().subscribe([this] {
        if (isVisible()) {
            refill();
        }
    });
}

SearchWindow::~SearchWindow() = default;

std::vector<model::Snippet> SearchWindow::listed() const {
    std::vector<model::Snippet> snippets;
    for (int row = 0; row < results_->rowCount(); ++row) {
        snippets.push_back(results_->snippetAt(row));
    }
    return snippets;
}

void SearchWindow::open() {
    ++attempt_;
    retry_.reset();
    chosen_.reset();
    target_ = delegate_.services().workspace.focusedWindow();
    reason_->hide();
    {
        const QSignalBlocker quiet(field_);
        field_->clear();
    }
    adjustSize();
    const QPoint pointer = QCursor::pos();
    const QScreen* screen = QGuiApplication::screenAt(pointer);
    const QRect area = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
    move(std::clamp(pointer.x(), area.left(), std::max(area.left(), area.right() - width())),
         std::clamp(pointer.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    present();
}

void SearchWindow::present() {
    wasActive_ = false;
    refill();
    show();
    raise();
    activateWindow();
    // A window manager that guards the focus against programs lets a pager's request through.
    delegate_.services().workspace.focusWindow(winId(), focusLimit, [](bool) {});
    field_->setFocus();
}

void SearchWindow::refill() {
    results_->search(field_->text());
    if (results_->rowCount() > 0) {
        list_->setCurrentIndex(results_->index(0));
    }
}

void SearchWindow::moveCurrent(int step) {
    const int count = results_->rowCount();
    if (count == 0) {
        return;
    }
    const int row = std::clamp(list_->currentIndex().row() + step, 0, count - 1);
    list_->setCurrentIndex(results_->index(row));
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != field_ || event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
        moveCurrent(-1);
        return true;
    case Qt::Key_Down:
        moveCurrent(1);
        return true;
    case Qt::Key_PageUp:
        moveCurrent(-visibleRows);
        return true;
    case Qt::Key_PageDown:
        moveCurrent(visibleRows);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (list_->currentIndex().isValid()) {
            choose(list_->currentIndex().row());
        }
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void SearchWindow::hideEvent(QHideEvent* event) {
    results_->forget();
    QWidget::hideEvent(event);
}

void SearchWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isVisible()) {
        if (isActiveWindow()) {
            wasActive_ = true;
        } else if (wasActive_) {
            hide();
        }
    }
    QWidget::changeEvent(event);
}

void SearchWindow::choose(int row) {
    platform::Workspace& workspace = delegate_.services().workspace;
    if (!target_) {
        showReason(tr("No window had the keyboard focus when the search window opened, so there "
                      "is nowhere to write."));
        return;
    }
    if (workspace.isOwnWindow(*target_)) {
        showReason(tr("The search window was opened over one of Quillo's own windows, which "
                      "snippets are never written into."));
        return;
    }
    chosen_ = results_->snippetAt(row);
    hide();
    const unsigned attempt = ++attempt_;
    workspace.focusWindow(*target_, focusLimit,
                          [self = QPointer<SearchWindow>(this), attempt](bool focused) {
                              if (self && self->attempt_ == attempt) {
                                  self->focusedBack(focused);
                              }
                          });
    deadline_ = delegate_.services().time.now() + focusLimit;
}

void SearchWindow::focusedBack(bool focused) {
    if (!focused) {
        showReason(tr("The window to write into did not take the keyboard focus back."));
        return;
    }
    tryInsert();
}

void SearchWindow::tryInsert() {
    engine::TextExpansionEngine* engine = delegate_.engine();
    if (!engine || !chosen_) {
        return;
    }
    const auto refusal = engine->insert(*chosen_);
    if (!refusal) {
        retry_.reset();
        chosen_.reset();
        return;
    }
    platform::Time& time = delegate_.services().time;
    if (*refusal == engine::TextExpansionEngine::InsertRefusal::passwordField &&
        time.now() < deadline_) {
        if (!retry_) {
            retry_ = time.startRepeating(retryInterval, [this] { tryInsert(); });
        }
        return;
    }
    retry_.reset();
    showReason(tr(engine::TextExpansionEngine::describe(*refusal)));
}

void SearchWindow::showReason(const QString& reason) {
    reason_->setText(reason);
    reason_->show();
    adjustSize();
    if (!isVisible()) {
        present();
    }
}

} // namespace quillo::ui
