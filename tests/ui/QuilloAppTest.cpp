#include "ui/QuilloApp.h"

#include "UiTest.h"
#include "ui/AboutView.h"
#include "ui/OnboardingView.h"
#include "ui/SettingsView.h"
#include "ui/SingleInstance.h"
#include "ui/TrayIcon.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillo;

namespace {

ui::QuilloApp::Options options(bool trayAvailable) {
    ui::QuilloApp::Options result;
    result.trayAvailable = trayAvailable;
    return result;
}

} // namespace

class QuilloAppTest : public QObject {
    Q_OBJECT
  private slots:
    void withATrayOnlyTheTrayIconAppears() {
        uitest::Desktop desktop({.onboardingCompleted = true});
        ui::QuilloApp app(desktop.delegate(), options(true));
        app.launch();
        desktop.sim().runUntilIdle();
        QVERIFY(app.trayIcon() != nullptr);
        QCOMPARE(app.trayIcon()->imageName(), QStringLiteral("MenuBarIcon"));
        QVERIFY(app.settingsWindow() == nullptr);
        QVERIFY(!app.onboarding().isVisible());
    }

    void withoutATrayTheSettingsWindowOpensAtStart() {
        uitest::Desktop desktop({.onboardingCompleted = true});
        ui::QuilloApp app(desktop.delegate(), options(false));
        app.launch();
        desktop.sim().runUntilIdle();
        QVERIFY(app.settingsWindow() != nullptr);
        QVERIFY(app.settingsWindow()->isVisible());
    }

    void theWindowsSayWhenPasswordFieldsCanGoUnnoticed() {
        // Read when the windows are made, and again when the desktop says it changed (the
        // accessibility switch turned off while Quillo runs).
        const QString note = QStringLiteral("Without the accessibility bus, password fields…");
        for (const auto& [atStart, later] :
             {std::pair{QString(), note}, std::pair{note, QString()}}) {
            uitest::Desktop desktop({.onboardingCompleted = false});
            desktop.sim().setSecureInputLimitation(atStart.toStdString());
            ui::QuilloApp app(desktop.delegate(), options(true));
            app.launch();
            app.openSettings();
            const auto expectNote = [&app](const QString& expected) {
                for (QLabel* label : {app.onboarding().passwordFieldsNote(),
                                      app.settingsWindow()->about()->passwordFieldsNote()}) {
                    QCOMPARE(label->text(), expected);
                    QCOMPARE(!label->isHidden(), !expected.isEmpty());
                }
            };
            expectNote(atStart);
            desktop.sim().setSecureInputLimitation(later.toStdString());
            app.refreshPasswordFieldsNote();
            expectNote(later);
        }
    }

    void launchWithAccessStartsTheEngineAtOnce() {
        uitest::Desktop desktop({.trusted = true});
        ui::QuilloApp app(desktop.delegate(), options(true));
        QVERIFY(desktop.delegate().engine() == nullptr);
        app.launch();
        QVERIFY(desktop.delegate().engine() != nullptr);
        QVERIFY(!desktop.delegate().isWaitingForAccess());
    }

    void launchWithoutAccessWaitsAndStartsWithinASecondOfTheGrant() {
        uitest::Desktop desktop({.trusted = false, .onboardingCompleted = true});
        ui::QuilloApp app(desktop.delegate(), options(true));
        app.launch();
        QCOMPARE(desktop.sim().trustRequests(), 0);
        QVERIFY(desktop.delegate().isWaitingForAccess());
        desktop.sim().runFor(std::chrono::milliseconds(2500));
        desktop.sim().setTrusted(true);
        desktop.sim().runFor(std::chrono::milliseconds(500));
        QVERIFY(desktop.delegate().engine() != nullptr);
        QVERIFY(!desktop.delegate().isWaitingForAccess());
        QVERIFY(desktop.delegate().permissionsManager().isAccessibilityGranted());
    }

    void aSecondInstanceHandsOverItsMessageAndLeaves() {
        QTemporaryDir folder;
        const QString socket = folder.filePath(QStringLiteral("quillo.socket"));
        ui::SingleInstance first(socket);
        QVERIFY(first.claim("show-settings"));
        QSignalSpy received(&first, &ui::SingleInstance::messageReceived);

        ui::SingleInstance second(socket);
        QVERIFY(!second.claim("show-settings"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("show-settings"));
    }

    void aSocketLeftByACrashedInstanceIsTakenOver() {
        QTemporaryDir folder;
        const QString socket = folder.filePath(QStringLiteral("quillo.socket"));
        {
            QFile stale(socket);
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        ui::SingleInstance instance(socket);
        QVERIFY(instance.claim("show-settings"));
        ui::SingleInstance later(socket);
        QVERIFY(!later.claim("show-settings"));
    }
};

QUILLO_UI_TEST(QuilloAppTest);
#include "QuilloAppTest.moc"
