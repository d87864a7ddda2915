// A labelled on/off switch: the label on the leading side, the switch on the trailing side, as
// in a settings form. Clicking anywhere on the row flips it.
#pragma once

#include <QAbstractButton>

namespace quillo::ui {

class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ToggleSwitch(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QRect trackRect() const;
};

} // namespace quillo::ui
