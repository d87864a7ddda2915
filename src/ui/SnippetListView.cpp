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
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
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
    search_->setPlaceholderText(QStringLiteral("Search snippets..."));
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

    message_ = new QLabel(listPane);
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    message_->setContentsMargins(8, 4, 8, 4);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    typography::setTextColor(message_, QColor(215, 0, 21));
    message_->hide();
    listColumn->addWidget(message_);

    auto* bar = new QFrame(listPane);
    bar->setObjectName(QStringLiteral("bottomBar"));
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::Window);
    auto* barLine = new QHBoxLayout(bar);
    barLine->setContentsMargins(8, 8, 8, 8);
    barLine->setSpacing(4);
    add_ = barButton(QStringLiteral("plus"), QStringLiteral("add"), QStringLiteral("New snippet"),
                     bar);
    remove_ = barButton(QStringLiteral("minus"), QStringLiteral("remove"),
                        QStringLiteral("Delete the selected snippets"), bar);
    importExport_ = new ImportExportButtons(store_, bar);
    barLine->addWidget(add_);
    barLine->addWidget(remove_);
    barLine->addStretch(1);
    barLine->addWidget(importExport_);
    listColumn->addWidget(bar);

    // The detail pane.
    detail_ = new QStackedWidget(split);
    detail_->setMinimumWidth(300);
    placeholder_ = new QLabel(QStringLiteral("Select a snippet or create a new one"), detail_);
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

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setSearchText(text);
        showSelection();
        updateDetail();
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SnippetListView::listSelectionChanged);
    connect(add_, &QToolButton::clicked, this, &SnippetListView::addNew);
    connect(remove_, &QToolButton::clicked, this, &SnippetListView::deleteSelected);
    connect(importExport_, &ImportExportButtons::failed, this, [this](const QString& text) {
        message_->setText(text);
        message_->show();
    });
    connect(importExport_->menu(), &QMenu::aboutToShow, message_, &QLabel::hide);

    subscription_ = store_.subscribe([this] { storeChanged(); });
    updateDetail();
}

SnippetListView::~SnippetListView() {
    subscription_.reset();
}

void SnippetListView::storeChanged() {
    model_->storeChanged();
    // A change of rows resets the list's own selection; the ids say what to select again.
    showSelection();
    updateDetail();
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
    std::vector<model::Snippet> snippets = store_.snippets();
    std::erase_if(snippets, [this](const model::Snippet& s) { return selection_.contains(s.id); });
    selection_.clear();
    store_.setSnippets(std::move(snippets));
    store_.save();
    showSelection();
    updateDetail();
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
