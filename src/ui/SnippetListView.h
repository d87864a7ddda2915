// The settings window's "Snippets" page: on the left a search field ("Search snippets..."), the
// list of snippets (several may be selected) and a bar with "+" (a new snippet, in the "New
// Snippet" sheet), "−" (deletes every selected snippet, also those the search hides; so does the
// Delete key in the list) and the import/export menu; on the right the editor of the selected
// snippet, or "Select a snippet or create a new one".
//
// The selection is a set of snippet ids and outlives a search that hides its rows: the editor
// keeps showing a selected snippet that no row shows. With several selected, the editor shows the
// first of them in list order.
//
// Below the list a line tells what the last delete, import or export did. After a delete it
// offers "Undo" (also Ctrl+Z in the list), which puts the snippets back where they were and
// saves.
//
// Another line above it stays while the snippets file is in trouble: it names the reason a file
// does not read, or says that another program deleted it. While changes made here are held back
// from a file that does not read, it offers "Reload the File" (the file's list, giving the changes
// up) and "Write the List Over It".
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QPointer>
#include <QWidget>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
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
    // Puts the snippets of the last delete back at their places and selects them; nothing when
    // there is nothing to undo.
    void undoDelete();
    // Opens the "New Snippet" sheet.
    void addNew();

    QLineEdit* searchField() const { return search_; }
    QListView* list() const { return list_; }
    SnippetListModel* listModel() const { return model_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }
    ImportExportButtons* importExport() const { return importExport_; }
    // What the last delete, import or export did; hidden when there was none.
    QLabel* message() const { return message_; }
    QToolButton* undoButton() const { return undo_; }
    // What is wrong with the snippets file; hidden when nothing is.
    QLabel* fileMessage() const { return fileMessage_; }
    QPushButton* reloadButton() const { return reload_; }
    QPushButton* overwriteButton() const { return overwrite_; }
    QLabel* placeholder() const { return placeholder_; }
    SnippetEditorView* editor() const { return editor_; }
    // The sheet while it is open.
    NewSnippetSheet* newSnippetSheet() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void storeChanged();
    // Shows the selection in the list's rows.
    void showSelection();
    void listSelectionChanged();
    void updateDetail();
    void showMessage(const QString& text, bool failure, bool canUndo = false);
    void showFileStatus();

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
    QToolButton* undo_;
    QWidget* messageLine_;
    QWidget* fileLine_;
    QLabel* fileMessage_;
    QPushButton* reload_;
    QPushButton* overwrite_;
    model::SnippetStore::FileProblem shownProblem_ = model::SnippetStore::FileProblem::none;
    // The snippets of the last delete with their places in the list.
    std::vector<std::pair<std::size_t, model::Snippet>> deleted_;
    QStackedWidget* detail_;
    QLabel* placeholder_;
    SnippetEditorView* editor_;
    QPointer<NewSnippetSheet> sheet_;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
