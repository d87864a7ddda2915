#include "ui/SegmentedPicker.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>

namespace quillo::ui {

SegmentedPicker::SegmentedPicker(const QStringList& options, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(0);
    group_->setExclusive(true);
    for (int i = 0; i < options.size(); ++i) {
        auto* button = new QPushButton(options[i], this);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
        // Joined segments: only the outer corners are rounded.
        QString corners;
        if (i == 0) {
            corners +=
                QStringLiteral("border-top-left-radius: 6px; border-bottom-left-radius: 6px;");
        } else {
            corners += QStringLiteral("border-left: none;");
        }
        if (i == options.size() - 1) {
            corners +=
                QStringLiteral("border-top-right-radius: 6px; border-bottom-right-radius: 6px;");
        }
        button->setStyleSheet(
            QStringLiteral("QPushButton { padding: 3px 12px; border: 1px solid palette(mid); "
                           "background: palette(button); %1 }"
                           "QPushButton:checked { background: palette(highlight); "
                           "color: palette(highlighted-text); }"
                           // A style sheet hides the style's own focus frame, so the ring is
                           // drawn here: in the highlight colour, and in the text colour around
                           // the chosen segment, whose face is the highlight colour already.
                           "QPushButton:focus { border: 2px solid palette(highlight); "
                           "padding: 2px 11px; }"
                           "QPushButton:checked:focus { border-color: palette(text); }")
                .arg(corners));
        group_->addButton(button, i);
        line->addWidget(button);
    }
    line->addStretch(1);
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::chosen);
}

int SegmentedPicker::currentIndex() const {
    return group_->checkedId();
}

void SegmentedPicker::setCurrentIndex(int index) {
    const QSignalBlocker blocker(group_);
    if (QAbstractButton* b = group_->button(index)) {
        b->setChecked(true);
    }
}

QAbstractButton* SegmentedPicker::button(int index) const {
    return group_->button(index);
}

} // namespace quillo::ui
