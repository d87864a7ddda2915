#include "ui/Typography.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace quillo::ui::typography {

namespace {

QFont scaled(qreal factor, QFont::Weight weight) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * factor);
    } else {
        font.setPixelSize(qRound(font.pixelSize() * factor));
    }
    font.setWeight(weight);
    return font;
}

QColor textWithAlpha(float alpha) {
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(alpha);
    return color;
}

} // namespace

QFont title() {
    return scaled(1.7, QFont::Bold);
}
QFont headline() {
    return scaled(1.1, QFont::DemiBold);
}
QFont caption() {
    return scaled(0.85, QFont::Normal);
}
QFont medium() {
    return scaled(1.0, QFont::Medium);
}

QColor secondaryColor() {
    return textWithAlpha(0.68f);
}
QColor tertiaryColor() {
    return textWithAlpha(0.48f);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void makeSecondary(QWidget* widget) {
    setTextColor(widget, secondaryColor());
}
void makeTertiary(QWidget* widget) {
    setTextColor(widget, tertiaryColor());
}

} // namespace quillo::ui::typography
