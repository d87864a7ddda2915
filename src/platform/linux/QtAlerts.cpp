#include "platform/linux/QtAlerts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <iostream>
#include <vector>

namespace quillo::linuxdesktop {

std::size_t QtAlerts::run(const platform::Alert& alert) {
    // A program without widgets (the headless runs) can still be told: in one line, taking the
    // default answer.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::cout << alert.messageText;
        if (!alert.informativeText.empty()) {
            std::cout << " " << alert.informativeText;
        }
        std::cout << std::endl;
        return 0;
    }
    QMessageBox box;
    // Quillo's own icon, as the program's alerts show on every desktop; the generic
    // information sign where no icon was set (a program run without its windows).
    if (const QIcon icon = QApplication::windowIcon(); !icon.isNull()) {
        box.setIconPixmap(icon.pixmap(QSize(64, 64), box.devicePixelRatioF()));
    } else {
        box.setIcon(QMessageBox::Information);
    }
    box.setWindowTitle(QStringLiteral("Quillo"));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    std::vector<QAbstractButton*> buttons;
    const std::vector<std::string> labels =
        alert.buttons.empty() ? std::vector<std::string>{"OK"} : alert.buttons;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        QPushButton* button = box.addButton(QString::fromStdString(labels[i]), role);
        if (i == 0) {
            box.setDefaultButton(button);
        }
        buttons.push_back(button);
    }
    box.setEscapeButton(buttons.back());
    // A tray program has no window of its own in front: the alert must come forward by itself.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) {
            return i;
        }
    }
    return buttons.size() - 1;
}

} // namespace quillo::linuxdesktop
