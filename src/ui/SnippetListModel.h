// The snippet list's rows: the store's snippets in store order, or, while a search text is set,
// those that model::SnippetSearch finds (shortcut or replacement containing the text, ignoring
// case), still in store order.
//
// The model reads the store's list in place rather than copying it. A change of the store that
// keeps the same rows (an edit in the editor, one keystroke at a time) repaints the rows without
// resetting the view, so that a list of ten thousand snippets keeps up with typing.
#pragma once

#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QAbstractListModel>
#include <QString>
#include <optional>
#include <vector>

namespace quillo::ui {

class SnippetListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    SnippetListModel(model::SnippetStore& store, const platform::KeyboardLayout& keyboardLayout,
                     QObject* parent = nullptr);

    void setSearchText(const QString& text);
    const QString& searchText() const { return searchText_; }

    // Brings the rows in line with the store; called on each of its notifications.
    void storeChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const model::Snippet& snippetAt(int row) const;
    std::optional<int> rowOf(const model::Uuid& id) const;

  private:
    // The store indexes of the rows, for the current search text.
    std::vector<std::size_t> filteredRows() const;

    model::SnippetStore& store_;
    const platform::KeyboardLayout& keyboardLayout_;
    QString searchText_;
    std::vector<std::size_t> rows_;
    // The ids in store order when the rows were last built: a change of these is a change of
    // rows, anything else is an edit of a row's contents.
    std::vector<model::Uuid> ids_;
};

} // namespace quillo::ui
