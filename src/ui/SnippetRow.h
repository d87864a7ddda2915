// How one snippet looks in the snippet list: its title in a medium-weight monospaced font, the
// pause symbol at the right end when the snippet is disabled, and under it the replacement in a
// small dim font, cut to one line (macro snippets show their replacement too).
//
// The title is the shortcut (possibly empty), or for a hotkey snippet its key combination in the
// words Linux users know ("Ctrl+Alt+M"), or "Hotkey (not set)" while it has none.
#pragma once

#include "model/Snippet.h"
#include "platform/Platform.h"

#include <QString>
#include <QStyledItemDelegate>

namespace quillo::ui {

class SnippetRow : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // The data of a row beyond its title (Qt::DisplayRole).
    enum Role {
        replacementRole = Qt::UserRole + 1,
        isEnabledRole,
        idRole,
    };

    static QString title(const model::Snippet& snippet,
                         const platform::KeyboardLayout& keyboardLayout);
    // What a list model answers for a snippet's row in each of the roles above, so that every
    // list of snippets draws and reads the same.
    static QVariant data(const model::Snippet& snippet, int role,
                         const platform::KeyboardLayout& keyboardLayout);

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QFont titleFont();
};

} // namespace quillo::ui
