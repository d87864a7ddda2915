#include "ui/ToggleSwitch.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quillo::ui {

namespace {
constexpr int trackWidth = 38;
constexpr int trackHeight = 22;
constexpr int gap = 16;
} // namespace

ToggleSwitch::ToggleSwitch(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

QSize ToggleSwitch::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + gap + trackWidth + 4,
            std::max(metrics.height(), trackHeight) + 12};
}

QSize ToggleSwitch::minimumSizeHint() const {
    return sizeHint();
}

QRect ToggleSwitch::trackRect() const {
    return {width() - trackWidth - 2, (height() - trackHeight) / 2, trackWidth, trackHeight};
}

bool ToggleSwitch::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void ToggleSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QRect track = trackRect();

    painter.setPen(
        colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(0, 0, track.left() - gap, height()),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());

    QColor fill = isChecked() ? colours.color(QPalette::Highlight) : colours.color(QPalette::Mid);
    if (!isEnabled()) {
        fill.setAlphaF(0.4f);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, track.height() / 2.0, track.height() / 2.0);

    const int knobMargin = 2;
    const int knobSide = track.height() - 2 * knobMargin;
    const int knobX =
        isChecked() ? track.right() - knobMargin - knobSide + 1 : track.left() + knobMargin;
    painter.setBrush(QColor(Qt::white));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRect(knobX, track.top() + knobMargin, knobSide, knobSide));

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = track.adjusted(-2, -2, 2, 2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace quillo::ui
