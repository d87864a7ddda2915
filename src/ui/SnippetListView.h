// The settings window's "Snippets" page: on the left a search field ("Search snippets..."), the
// list of snippets (several may be selected) and a bar with "+" (a new snippet, in the "New
// Snippet" sheet), "−" (deletes every selected snippet, also those the search hides) and the
// import/export menu; on the right the editor of the selected snippet, or "Select a snippet or
// create a new one".
//
// The selection is a set of snippet ids and outlives a search that hides its rows: the editor
// keeps showing a selected snippet that no row shows. With several selected, the editor shows the
// first of them in list order.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QPointer>
#include <QWidget>
#include <optional>
#include <set>

class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolButton;

namespace quillo::ui {

class ImportExportButtons;
class NewSnippetSheet;
class SnippetEditorView;
class SnippetListModel;

class SnippetListView : public QWidget {
    Q_OBJECT
  public:
    SnippetListView(model::SnippetStore& store, model::AppSettings& settings,
                    const platform::KeyboardLayout& keyboardLayout,
                    const platform::Workspace& workspace, QWidget* parent = nullptr);
    ~SnippetListView() override;

    const std::set<model::Uuid>& selection() const { return selection_; }
    void setSelection(std::set<model::Uuid> ids);
    // The snippet the editor shows; none when nothing (still existing) is selected.
    std::optional<model::Snippet> selectedSnippet() const;

    // Removes every selected snippet, saves, and clears the selection.
    void deleteSelected();
    // Opens the "New Snippet" sheet.
    void addNew();

    QLineEdit* searchField() const { return search_; }
    QListView* list() const { return list_; }
    SnippetListModel* listModel() const { return model_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }
    ImportExportButtons* importExport() const { return importExport_; }
    // The failure of the last import or export; hidden when there was none.
    QLabel* message() const { return message_; }
    QLabel* placeholder() const { return placeholder_; }
    SnippetEditorView* editor() const { return editor_; }
    // The sheet while it is open.
    NewSnippetSheet* newSnippetSheet() const;

  private:
    void storeChanged();
    // Shows the selection in the list's rows.
    void showSelection();
    void listSelectionChanged();
    void updateDetail();

    model::SnippetStore& store_;
    model::AppSettings& settings_;
    const platform::KeyboardLayout& keyboardLayout_;
    std::set<model::Uuid> selection_;
    bool showingSelection_ = false;

    SnippetListModel* model_;
    QLineEdit* search_;
    QListView* list_;
    QToolButton* add_;
    QToolButton* remove_;
    ImportExportButtons* importExport_;
    QLabel* message_;
    QStackedWidget* detail_;
    QLabel* placeholder_;
    SnippetEditorView* editor_;
    QPointer<NewSnippetSheet> sheet_;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
