#include "ui/HelpView.h"

#include "UiTest.h"
#include "ui/AboutView.h"
#include "ui/Symbols.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

using namespace quillo;
using namespace quillo::ui;

namespace {

const QStringList sectionTitles{QStringLiteral("Snippets"),
                                QStringLiteral("Trigger Modes"),
                                QStringLiteral("Setting Up a Hotkey"),
                                QStringLiteral("Macro Sequences"),
                                QStringLiteral("App Filters"),
                                QStringLiteral("General Settings"),
                                QStringLiteral("Accessibility Permission")};

} // namespace

class HelpViewTest : public QObject {
    Q_OBJECT
  private slots:
    // The words are the manual's own; what the program must get right is that every item
    // reaches the screen whole, as plain text, with a symbol that can be drawn and steps
    // numbered from one.
    void everySectionIsShownWholeAsPlainText() {
        HelpView help;
        QStringList shown;
        for (const QLabel* label : help.widget()->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                shown << label->text();
            }
        }
        QStringList titles;
        for (const HelpSection* section : help.sections()) {
            titles << section->title();
            QVERIFY2(hasSymbol(section->icon()), qPrintable(section->icon()));
            QVERIFY(shown.contains(section->title()));
            QVERIFY(!section->content().isEmpty());
            int step = 0;
            for (QWidget* item : section->content()) {
                if (auto* paragraph = qobject_cast<HelpParagraph*>(item)) {
                    QVERIFY(shown.contains(paragraph->heading()));
                    QVERIFY(shown.contains(paragraph->content()));
                } else if (auto* numbered = qobject_cast<HelpStep*>(item)) {
                    QCOMPARE(numbered->number(), ++step);
                    QCOMPARE(numbered->numberText(), QStringLiteral("%1.").arg(step));
                    QVERIFY(shown.contains(numbered->text()));
                } else {
                    auto* note = qobject_cast<HelpNote*>(item);
                    QVERIFY(note);
                    QVERIFY(shown.contains(note->text()));
                }
            }
        }
        QCOMPARE(titles, sectionTitles);
        // A markup example stays the characters the user would type.
        QVERIFY(std::any_of(shown.cbegin(), shown.cend(), [](const QString& text) {
            return text.contains(QStringLiteral("\"<b>{selection}</b>\""));
        }));
        for (const char* other : {"lightbulb", "checkmark.circle.fill", "text.cursor"}) {
            QVERIFY2(hasSymbol(QString::fromLatin1(other)), other);
        }
        QVERIFY(!hasSymbol(QStringLiteral("no.such.symbol")));
    }

    void longTextsWrapAndTheManualScrolls() {
        HelpView help;
        help.resize(600, 400);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY(help.verticalScrollBar()->maximum() > 0);
        QCOMPARE(help.horizontalScrollBar()->maximum(), 0);
        for (const QLabel* label : help.widget()->findChildren<QLabel*>()) {
            QVERIFY(label->width() <= help.viewport()->width());
        }
    }

    void theAboutPageNamesTheBuildsVersion() {
        AboutView about;
        QCOMPARE(AboutView::buildVersion(), QStringLiteral(QUILLO_TEST_VERSION));
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                texts << label->text();
            }
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("Quillo Snippets"),
                                     QStringLiteral("Version " QUILLO_TEST_VERSION),
                                     QStringLiteral("Global text expansion for macOS")}));
        const auto* icon = about.findChild<QLabel*>(QStringLiteral("AppIconColor"));
        QVERIFY(icon);
        QCOMPARE(icon->size(), QSize(80, 80));
        QVERIFY(!icon->pixmap().isNull());
    }

    void withoutAVersionTheAboutPageSaysOnePointZero() {
        QCOMPARE(AboutView::versionText(QString()), QStringLiteral("Version 1.0"));
        AboutView about(QString(), nullptr);
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("Version 1.0"));
    }
};

QUILLO_UI_TEST(HelpViewTest);
#include "HelpViewTest.moc"
