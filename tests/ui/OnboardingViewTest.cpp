#include "ui/OnboardingView.h"

#include "UiTest.h"
#include "ui/QuilloApp.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace quillo;
using ui::OnboardingView;

namespace {

ui::QuilloApp::Options options() {
    ui::QuilloApp::Options result;
    result.trayAvailable = true;
    return result;
}

// Every text the window shows, in order, skipping what is hidden.
QStringList shownTexts(const QWidget& window) {
    QStringList texts;
    for (const QWidget* child : window.findChildren<QWidget*>()) {
        if (!child->isVisibleTo(&window)) {
            continue;
        }
        if (const auto* label = qobject_cast<const QLabel*>(child);
            label && !label->text().isEmpty()) {
            texts << label->text();
        } else if (const auto* button = qobject_cast<const QPushButton*>(child)) {
            texts << button->text();
        }
    }
    return texts;
}

} // namespace

class OnboardingViewTest : public QObject {
    Q_OBJECT
  private slots:
    void withAccessMissingItOffersTheGrant() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        OnboardingView& window = app.onboarding();
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Welcome to Quillo"));
        QCOMPARE(window.size(), QSize(500, 400));
        QCOMPARE(shownTexts(window),
                 (QStringList{QStringLiteral("Welcome to Quillo"),
                              QStringLiteral("Quillo needs Accessibility access to monitor your "
                                             "typing and expand text shortcuts globally."),
                              QStringLiteral("Grant Accessibility Access"),
                              QStringLiteral("After granting access, return here.")}));
    }

    void withAccessGrantedItOffersGetStartedAndNeverTheGrant() {
        uitest::Desktop desktop({.trusted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        OnboardingView& window = app.onboarding();
        QCOMPARE(shownTexts(window),
                 (QStringList{QStringLiteral("Welcome to Quillo"),
                              QStringLiteral("Quillo needs Accessibility access to monitor your "
                                             "typing and expand text shortcuts globally."),
                              QStringLiteral("Accessibility Access Granted"),
                              QStringLiteral("Get Started")}));
    }

    void theGrantButtonAsksAndSaysWhatIsMissing() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        OnboardingView& window = app.onboarding();
        QVERIFY(window.reasonLabel()->isHidden());
        QTest::mouseClick(window.grantButton(), Qt::LeftButton);
        QCOMPARE(desktop.sim().trustRequests(), 1);
        QVERIFY(desktop.delegate().permissionsManager().isPolling());
        QVERIFY(window.reasonLabel()->isVisibleTo(&window));
        QCOMPARE(window.reasonLabel()->text().toStdString(),
                 desktop.sim().services().accessibilityTrust.untrustedReason());
    }

    void theWindowTurnsToGrantedWithinASecondOfTheGrant() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        OnboardingView& window = app.onboarding();
        QTest::mouseClick(window.grantButton(), Qt::LeftButton);
        desktop.sim().runFor(std::chrono::milliseconds(300));
        desktop.sim().setTrusted(true);
        QVERIFY(window.notGrantedGroup()->isVisibleTo(&window));
        desktop.sim().runFor(std::chrono::milliseconds(700));
        QVERIFY(window.grantedGroup()->isVisibleTo(&window));
        QVERIFY(!window.notGrantedGroup()->isVisibleTo(&window));
        QVERIFY(window.reasonLabel()->isHidden());
    }

    void getStartedCompletesOnboardingClosesTheWindowAndStartsTheEngine() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        desktop.sim().setTrusted(true);
        desktop.delegate().permissionsManager().checkPermission();
        QVERIFY(desktop.delegate().engine() == nullptr);

        QTest::mouseClick(app.onboarding().getStartedButton(), Qt::LeftButton);
        QVERIFY(desktop.delegate().settings().hasCompletedOnboarding());
        QCOMPARE(desktop.sim().preference("hasCompletedOnboarding"), std::optional<bool>(true));
        QVERIFY(!app.onboarding().isVisible());
        QVERIFY(desktop.delegate().engine() != nullptr);
        QVERIFY(!desktop.delegate().isWaitingForAccess());
    }

    void getStartedWhileTheEngineRunsStartsNoSecondOne() {
        uitest::Desktop desktop({.trusted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        const auto* engine = desktop.delegate().engine();
        QVERIFY(engine != nullptr);
        QTest::mouseClick(app.onboarding().getStartedButton(), Qt::LeftButton);
        QCOMPARE(desktop.delegate().engine(), engine);
        QCOMPARE(desktop.sim().trustRequests(), 0);
    }

    void closingTheWindowDoesNotCompleteOnboarding() {
        uitest::Desktop desktop({.trusted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        app.onboarding().close();
        QVERIFY(!desktop.delegate().settings().hasCompletedOnboarding());
    }

    void aCompletedOnboardingLeavesTheWindowClosedAtLaunch() {
        uitest::Desktop desktop({.trusted = true, .onboardingCompleted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        desktop.sim().runUntilIdle();
        QVERIFY(!app.onboarding().isVisible());
    }

    void anUnfinishedOnboardingKeepsTheWindowOpenAfterLaunch() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        desktop.sim().runFor(std::chrono::seconds(3));
        QVERIFY(app.onboarding().isVisible());
    }
};

QUILLO_UI_TEST(OnboardingViewTest);
#include "OnboardingViewTest.moc"
