#include "ui/SnippetListModel.h"

#include "model/SnippetSearch.h"
#include "ui/SnippetRow.h"

#include <algorithm>

namespace quillo::ui {

namespace {

std::vector<model::Uuid> idsOf(const std::vector<model::Snippet>& snippets) {
    std::vector<model::Uuid> ids;
    ids.reserve(snippets.size());
    for (const model::Snippet& snippet : snippets) {
        ids.push_back(snippet.id);
    }
    return ids;
}

bool sameIds(const std::vector<model::Uuid>& ids, const std::vector<model::Snippet>& snippets) {
    return std::equal(ids.begin(), ids.end(), snippets.begin(), snippets.end(),
                      [](const model::Uuid& id, const model::Snippet& s) { return id == s.id; });
}

} // namespace

SnippetListModel::SnippetListModel(model::SnippetStore& store,
                                   const platform::KeyboardLayout& keyboardLayout, QObject* parent)
    : QAbstractListModel(parent), store_(store), keyboardLayout_(keyboardLayout) {
    rows_ = filteredRows();
    ids_ = idsOf(store_.snippets());
}

std::vector<std::size_t> SnippetListModel::filteredRows() const {
    return model::SnippetSearch(searchText_.toStdString()).found(store_.snippets());
}

void SnippetListModel::setSearchText(const QString& text) {
    if (text == searchText_) {
        return;
    }
    beginResetModel();
    searchText_ = text;
    rows_ = filteredRows();
    endResetModel();
}

void SnippetListModel::storeChanged() {
    const auto& snippets = store_.snippets();
    if (sameIds(ids_, snippets)) {
        std::vector<std::size_t> rows = filteredRows();
        if (rows == rows_) {
            if (!rows_.empty()) {
                emit dataChanged(index(0), index(static_cast<int>(rows_.size()) - 1));
            }
            return;
        }
    }
    beginResetModel();
    rows_ = filteredRows();
    ids_ = idsOf(snippets);
    endResetModel();
}

int SnippetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

const model::Snippet& SnippetListModel::snippetAt(int row) const {
    return store_.snippets()[rows_[static_cast<std::size_t>(row)]];
}

std::optional<int> SnippetListModel::rowOf(const model::Uuid& id) const {
    const auto& snippets = store_.snippets();
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (snippets[rows_[row]].id == id) {
            return static_cast<int>(row);
        }
    }
    return std::nullopt;
}

QVariant SnippetListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    return SnippetRow::data(snippetAt(index.row()), role, keyboardLayout_);
}

} // namespace quillo::ui
