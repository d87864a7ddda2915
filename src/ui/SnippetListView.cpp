#include "ui/SnippetListView.h"

#include <QListWidget>
#include <QVBoxLayout>

namespace quillo::ui {

namespace {

QString describe(const model::Snippet& snippet) {
    const QString shortcut = snippet.triggerMode == model::Snippet::TriggerMode::hotkey
                                 ? QStringLiteral("Hotkey")
                                 : QString::fromStdString(snippet.shortcut);
    // One line per snippet: the first line of what it expands to.
    const QString text =
        snippet.isMacro()
            ? QStringLiteral("Macro")
            : QString::fromStdString(snippet.replacement).section(QLatin1Char('\n'), 0, 0);
    return shortcut + QStringLiteral("  →  ") + text;
}

} // namespace

SnippetListView::SnippetListView(model::SnippetStore& snippetStore, model::AppSettings&,
                                 QWidget* parent)
    : QWidget(parent), snippetStore_(snippetStore) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    column->addWidget(list_);
    refresh();
    subscription_ = snippetStore_.subscribe([this] { refresh(); });
}

void SnippetListView::refresh() {
    list_->clear();
    for (const model::Snippet& snippet : snippetStore_.snippets()) {
        auto* item = new QListWidgetItem(describe(snippet), list_);
        if (!snippet.isEnabled) {
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        }
    }
}

} // namespace quillo::ui
