#include "ui/ReplacementBox.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace quillo::ui {

ReplacementBox::ReplacementBox(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(false);
    setToolTip(tr("Tab types a tab. Ctrl+Tab moves to the next field, Shift+Tab to the previous "
                  "one."));
}

QString ReplacementBox::text() const {
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void ReplacementBox::setText(const QString& text) {
    if (text != this->text()) {
        setPlainText(text);
    }
}

void ReplacementBox::keyPressEvent(QKeyEvent* event) {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    const auto modifiers = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier |
                                                 Qt::AltModifier | Qt::MetaModifier);
    if (tab && modifiers != Qt::NoModifier &&
        (modifiers & ~(Qt::ControlModifier | Qt::ShiftModifier)) == 0) {
        const bool forward = event->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier);
        // QWidget's own walk: QPlainTextEdit's keeps the focus while Tab types.
        QWidget::focusNextPrevChild(forward);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        modifiers == Qt::ShiftModifier) {
        // A plain line break, not the U+2028 that QPlainTextEdit types for Shift+Return.
        insertPlainText(QStringLiteral("\n"));
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

} // namespace quillo::ui
