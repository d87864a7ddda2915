#include "ui/SnippetListView.h"

#include "ui/ImportExportButtons.h"
#include "ui/NewSnippetSheet.h"
#include "ui/SnippetEditorView.h"
#include "ui/SnippetListModel.h"
#include "ui/SnippetRow.h"
#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo::ui {

namespace {

QToolButton* barButton(const QString& symbol, const QString& objectName, const QString& tip,
                       QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(14, 14));
    button->setAutoRaise(true);
    button->setToolTip(tip);
    return button;
}

} // namespace

SnippetListView::SnippetListView(model::SnippetStore& store, model::AppSettings& settings,
                                 const platform::KeyboardLayout& keyboardLayout,
                                 const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent), store_(store), settings_(settings), keyboardLayout_(keyboardLayout),
      model_(new SnippetListModel(store, keyboardLayout, this)) {
    setObjectName(QStringLiteral("snippetList"));
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    outer->addWidget(split);

    // The list pane.
    auto* listPane = new QWidget(split);
    listPane->setMinimumWidth(300);
    auto* listColumn = new QVBoxLayout(listPane);
    listColumn->setContentsMargins(0, 0, 0, 0);
    listColumn->setSpacing(0);

    search_ = new QLineEdit(listPane);
    search_->setObjectName(QStringLiteral("search"));
    search_->setPlaceholderText(tr("Search snippets..."));
    search_->setFrame(false);
    search_->addAction(symbolIcon(QStringLiteral("magnifyingglass"), typography::secondaryColor()),
                       QLineEdit::LeadingPosition);
    auto* searchBar = new QWidget(listPane);
    auto* searchLine = new QHBoxLayout(searchBar);
    searchLine->setContentsMargins(8, 8, 8, 8);
    searchLine->addWidget(search_);
    listColumn->addWidget(searchBar);

    list_ = new QListView(listPane);
    list_->setObjectName(QStringLiteral("snippets"));
    list_->setModel(model_);
    list_->setItemDelegate(new SnippetRow(list_));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setUniformItemSizes(true);
    list_->setFrameShape(QFrame::NoFrame);
    listColumn->addWidget(list_, 1);

    messageLine_ = new QWidget(listPane);
    auto* messageRow = new QHBoxLayout(messageLine_);
    messageRow->setContentsMargins(8, 4, 8, 4);
    message_ = new QLabel(messageLine_);
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    undo_ = new QToolButton(messageLine_);
    undo_->setObjectName(QStringLiteral("undo"));
    undo_->setText(tr("Undo"));
    undo_->setToolTip(tr("Bring the deleted snippets back (Ctrl+Z)"));
    messageRow->addWidget(message_, 1);
    messageRow->addWidget(undo_, 0, Qt::AlignTop);
    messageLine_->hide();

    fileLine_ = new QWidget(listPane);
    auto* fileColumn = new QVBoxLayout(fileLine_);
    fileColumn->setContentsMargins(8, 4, 8, 4);
    fileMessage_ = new QLabel(fileLine_);
    fileMessage_->setObjectName(QStringLiteral("fileMessage"));
    fileMessage_->setWordWrap(true);
    fileMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    reload_ = new QPushButton(tr("Reload the File"), fileLine_);
    reload_->setToolTip(tr("Take the file's list and give up the changes made here"));
    overwrite_ = new QPushButton(tr("Write the List Over It"), fileLine_);
    overwrite_->setToolTip(tr("Keep the file that does not read beside it, then write this list"));
    auto* choices = new QHBoxLayout;
    choices->addStretch(1);
    for (QPushButton* button : {reload_, overwrite_}) {
        button->setAutoDefault(false);
        choices->addWidget(button);
    }
    fileColumn->addWidget(fileMessage_);
    fileColumn->addLayout(choices);
    fileLine_->hide();
    listColumn->addWidget(fileLine_);
    listColumn->addWidget(messageLine_);

    auto* bar = new QFrame(listPane);
    bar->setObjectName(QStringLiteral("bottomBar"));
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Window);
    auto* barLine = new QHBoxLayout(bar);
    barLine->setContentsMargins(8, 8, 8, 8);
    barLine->setSpacing(4);
    add_ = barButton(QStringLiteral("plus"), QStringLiteral("add"), tr("New snippet"), bar);
    remove_ = barButton(QStringLiteral("minus"), QStringLiteral("remove"),
                        tr("Delete the selected snippets"), bar);
    importExport_ = new ImportExportButtons(store_, bar);
    barLine->addWidget(add_);
    barLine->addWidget(remove_);
    barLine->addStretch(1);
    barLine->addWidget(importExport_);
    listColumn->addWidget(bar);

    // The detail pane.
    detail_ = new QStackedWidget(split);
    detail_->setMinimumWidth(300);
    placeholder_ = new QLabel(tr("Select a snippet or create a new one"), detail_);
    placeholder_->setObjectName(QStringLiteral("placeholder"));
    placeholder_->setAlignment(Qt::AlignCenter);
    typography::makeTertiary(placeholder_);
    editor_ = new SnippetEditorView(store_, settings_, keyboardLayout_, workspace, detail_);
    detail_->addWidget(placeholder_);
    detail_->addWidget(editor_);
    split->addWidget(listPane);
    split->addWidget(detail_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 380});

    search_->installEventFilter(this);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setSearchText(text);
        showSelection();
        updateDetail();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SnippetListView::listSelectionChanged);
    connect(add_, &QToolButton::clicked, this, &SnippetListView::addNew);
    connect(remove_, &QToolButton::clicked, this, &SnippetListView::deleteSelected);
    connect(importExport_, &ImportExportButtons::failed, this,
            [this](const QString& text) { showMessage(text, true); });
    connect(importExport_, &ImportExportButtons::succeeded, this,
            [this](const QString& text) { showMessage(text, false); });
    connect(importExport_->menu(), &QMenu::aboutToShow, messageLine_, &QWidget::hide);
    connect(undo_, &QToolButton::clicked, this, &SnippetListView::undoDelete);
    connect(reload_, &QPushButton::clicked, this, [this] { store_.reloadFile(); });
    connect(overwrite_, &QPushButton::clicked, this, [this] { store_.writeListOverFile(); });
    auto* deleteKey = new QShortcut(QKeySequence::Delete, list_);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &SnippetListView::deleteSelected);
    auto* undoKey = new QShortcut(QKeySequence::Undo, list_);
    undoKey->setContext(Qt::WidgetShortcut);
    connect(undoKey, &QShortcut::activated, this, &SnippetListView::undoDelete);

    subscription_ = store_.subscribe([this] { storeChanged(); });
    updateDetail();
    showFileStatus();
}

SnippetListView::~SnippetListView() {
    subscription_.reset();
}

void SnippetListView::storeChanged() {
    model_->storeChanged();
    // A change of rows resets the list's own selection; the ids say what to select again.
    showSelection();
    updateDetail();
    showFileStatus();
}

void SnippetListView::showFileStatus() {
    using Problem = model::SnippetStore::FileProblem;
    const auto& status = store_.fileStatus();
    if (status.problem == Problem::writtenAgain && shownProblem_ != Problem::writtenAgain) {
        showMessage(tr("Another program had deleted the snippets file; Quillo wrote this list to "
                       "it again."),
                    false);
    }
    shownProblem_ = status.problem;
    QString text;
    if (status.problem == Problem::unreadable) {
        text = tr("The snippets file does not read: %1. Quillo goes on with this list and leaves "
                  "the file alone until it reads again.")
                   .arg(QString::fromStdString(status.reason));
        if (status.unsaved) {
            text += QLatin1Char(' ') + tr("Changes made here are not saved yet.");
        }
    } else if (status.problem == Problem::deleted) {
        text = tr("Another program deleted the snippets file. Quillo writes this list to it again "
                  "at the next change.");
    }
    fileMessage_->setText(text);
    typography::setTextColor(fileMessage_, status.problem == Problem::unreadable
                                               ? QColor(215, 0, 21)
                                               : palette().color(QPalette::WindowText));
    reload_->setVisible(status.unsaved);
    overwrite_->setVisible(status.unsaved);
    fileLine_->setVisible(!text.isEmpty());
}

void SnippetListView::setSelection(std::set<model::Uuid> ids) {
    selection_ = std::move(ids);
    showSelection();
    updateDetail();
}

void SnippetListView::showSelection() {
    QItemSelection rows;
    for (const model::Uuid& id : selection_) {
        if (const auto row = model_->rowOf(id)) {
            const QModelIndex index = model_->index(*row);
            rows.select(index, index);
        }
    }
    showingSelection_ = true;
    if (rows != list_->selectionModel()->selection()) {
        list_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    }
    showingSelection_ = false;
}

void SnippetListView::listSelectionChanged() {
    if (showingSelection_) {
        return;
    }
    // What the user selected in the rows; selected snippets that the search hides are let go,
    // so that the editor shows what was clicked.
    std::set<model::Uuid> ids;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) {
        ids.insert(model_->snippetAt(index.row()).id);
    }
    selection_ = std::move(ids);
    updateDetail();
}

std::optional<model::Snippet> SnippetListView::selectedSnippet() const {
    if (selection_.empty()) {
        return std::nullopt;
    }
    for (const model::Snippet& snippet : store_.snippets()) {
        if (selection_.contains(snippet.id)) {
            return snippet;
        }
    }
    return std::nullopt;
}

void SnippetListView::updateDetail() {
    remove_->setEnabled(!selection_.empty());
    if (const auto snippet = selectedSnippet()) {
        editor_->setSnippet(*snippet);
        detail_->setCurrentWidget(editor_);
    } else {
        detail_->setCurrentWidget(placeholder_);
    }
}

void SnippetListView::deleteSelected() {
    if (selection_.empty()) {
        return;
    }
    std::vector<model::Snippet> kept;
    deleted_.clear();
    for (const model::Snippet& snippet : store_.snippets()) {
        if (selection_.contains(snippet.id)) {
            deleted_.emplace_back(kept.size() + deleted_.size(), snippet);
        } else {
            kept.push_back(snippet);
        }
    }
    selection_.clear();
    store_.setSnippets(std::move(kept));
    store_.save();
    showSelection();
    updateDetail();
    const auto count = deleted_.size();
    showMessage(count == 1 ? tr("Deleted 1 snippet") : tr("Deleted %1 snippets").arg(count), false,
                true);
}

void SnippetListView::undoDelete() {
    if (deleted_.empty()) {
        return;
    }
    std::vector<model::Snippet> snippets = store_.snippets();
    std::set<model::Uuid> restored;
    // In the order of their old places, each lands where it was among those before it.
    for (auto& [place, snippet] : deleted_) {
        const model::Uuid id = snippet.id;
        if (std::any_of(snippets.begin(), snippets.end(),
                        [&id](const model::Snippet& s) { return s.id == id; })) {
            continue;
        }
        restored.insert(snippet.id);
        snippets.insert(snippets.begin() +
                            static_cast<std::ptrdiff_t>(std::min(place, snippets.size())),
                        std::move(snippet));
    }
    deleted_.clear();
    messageLine_->hide();
    store_.setSnippets(std::move(snippets));
    store_.save();
    setSelection(std::move(restored));
}

void SnippetListView::showMessage(const QString& text, bool failure, bool canUndo) {
    message_->setText(text);
    typography::setTextColor(message_,
                             failure ? QColor(215, 0, 21) : palette().color(QPalette::WindowText));
    if (!canUndo) {
        deleted_.clear();
    }
    undo_->setVisible(canUndo);
    messageLine_->show();
}

bool SnippetListView::eventFilter(QObject* watched, QEvent* event) {
    // Escape empties the search before it may close the window.
    if (watched == search_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !search_->text().isEmpty()) {
        search_->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

NewSnippetSheet* SnippetListView::newSnippetSheet() const {
    return sheet_;
}

void SnippetListView::addNew() {
    if (sheet_) {
        sheet_->raise();
        return;
    }
    sheet_ = new NewSnippetSheet(store_, settings_, keyboardLayout_, this);
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    sheet_->setWindowModality(Qt::WindowModal);
    sheet_->open();
}

} // namespace quillo::ui
