#include "ui/SnippetRow.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

namespace quillo::ui {

namespace {

constexpr int padding = 2;    // above and below the two lines
constexpr int lineGap = 2;    // between them
constexpr int sideMargin = 8; // left and right of the row

} // namespace

QVariant SnippetRow::data(const model::Snippet& snippet, int role,
                          const platform::KeyboardLayout& keyboardLayout) {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return title(snippet, keyboardLayout);
    case Qt::ToolTipRole:
    case replacementRole:
        return QString::fromStdString(snippet.replacement);
    case isEnabledRole:
        return snippet.isEnabled;
    case idRole:
        return QString::fromStdString(snippet.id.toString());
    default:
        return {};
    }
}

QString SnippetRow::title(const model::Snippet& snippet,
                          const platform::KeyboardLayout& keyboardLayout) {
    if (snippet.triggerMode != model::Snippet::TriggerMode::hotkey) {
        return QString::fromStdString(snippet.shortcut);
    }
    if (!snippet.hotkeyKeyCode || !snippet.hotkeyModifiers) {
        return tr("Hotkey (not set)");
    }
    return QString::fromStdString(
        model::keyComboText(*snippet.hotkeyKeyCode, *snippet.hotkeyModifiers, keyboardLayout));
}

QFont SnippetRow::titleFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QApplication::font().pointSizeF());
    font.setWeight(QFont::Medium);
    return font;
}

QSize SnippetRow::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    const int height = QFontMetrics(titleFont()).height() + lineGap +
                       QFontMetrics(typography::caption()).height() + 2 * padding + 8;
    return {200, height};
}

void SnippetRow::paint(QPainter* painter, const QStyleOptionViewItem& option,
                       const QModelIndex& index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QColor primary =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(selected ? 0.85f : 0.62f);

    const QRect area = option.rect.adjusted(sideMargin, padding + 4, -sideMargin, -padding - 4);
    const QFont titleFont = SnippetRow::titleFont();
    const QFontMetrics titleMetrics(titleFont);
    const QFont captionFont = typography::caption();
    const QFontMetrics captionMetrics(captionFont);

    int titleRight = area.right();
    if (!index.data(isEnabledRole).toBool()) {
        const int size = captionMetrics.height() + 2;
        const QRect symbol(area.right() - size + 1, area.top() + (titleMetrics.height() - size) / 2,
                           size, size);
        symbolIcon(QStringLiteral("pause.circle"), secondary).paint(painter, symbol);
        titleRight = symbol.left() - 6;
    }

    painter->save();
    painter->setPen(primary);
    painter->setFont(titleFont);
    const QRect titleRect(area.left(), area.top(), titleRight - area.left() + 1,
                          titleMetrics.height());
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                              Qt::ElideRight, titleRect.width()));
    painter->setPen(secondary);
    painter->setFont(captionFont);
    const QRect lineRect(area.left(), titleRect.bottom() + 1 + lineGap, area.width(),
                         captionMetrics.height());
    // One line: the text up to its first line break, cut off at the row's end.
    const QString replacement = index.data(replacementRole).toString();
    const QString firstLine = replacement.section(QLatin1Char('\n'), 0, 0);
    QString shown = captionMetrics.elidedText(firstLine, Qt::ElideRight, lineRect.width());
    if (firstLine.size() < replacement.size() && shown == firstLine) {
        shown = captionMetrics.elidedText(firstLine + QStringLiteral("…"), Qt::ElideRight,
                                          lineRect.width());
    }
    painter->drawText(lineRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter->restore();
}

} // namespace quillo::ui
