// The settings window's "Snippets" page.
//
// For now it lists the snippets' shortcuts and what they expand to, read-only, so that the page
// is not empty; the searchable list with its editor takes this class's place and its
// constructor.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/SnippetStore.h"

#include <QWidget>

class QListWidget;

namespace quillo::ui {

class SnippetListView : public QWidget {
    Q_OBJECT
  public:
    SnippetListView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                    QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }

  private:
    void refresh();

    model::SnippetStore& snippetStore_;
    QListWidget* list_;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
