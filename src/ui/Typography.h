// The few text styles the windows share, named as the designs name them: the headline, caption
// and title fonts, and the secondary and tertiary (dimmer) text colours. They derive from the
// desktop's own font and palette so that they follow the user's size and colour choices.
#pragma once

#include <QColor>
#include <QFont>

class QWidget;

namespace quillo::ui::typography {

QFont title();
QFont headline();
QFont caption();
QFont medium();

// The text colour at the strength of secondary and tertiary text.
QColor secondaryColor();
QColor tertiaryColor();

// Gives the widget's text one of the dimmer colours.
void makeSecondary(QWidget* widget);
void makeTertiary(QWidget* widget);
void setTextColor(QWidget* widget, const QColor& color);

} // namespace quillo::ui::typography
