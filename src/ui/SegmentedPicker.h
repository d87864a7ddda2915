// A row of joined buttons of which exactly one is chosen, for a choice among a few options that
// should all stay in view ("After Delimiter", "Instant", "Hotkey"; "Text", "Macro").
#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace quillo::ui {

class SegmentedPicker : public QWidget {
    Q_OBJECT
  public:
    explicit SegmentedPicker(const QStringList& options, QWidget* parent = nullptr);

    int currentIndex() const;
    // Chooses the option without emitting `chosen`.
    void setCurrentIndex(int index);
    QAbstractButton* button(int index) const;

  signals:
    // The user chose an option (also the one already chosen).
    void chosen(int index);

  private:
    QButtonGroup* group_;
};

} // namespace quillo::ui
