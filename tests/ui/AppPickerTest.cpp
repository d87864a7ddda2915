#include "ui/AppPicker.h"

#include "UiTest.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>

using namespace quillo;
using ui::AppPicker;

class AppPickerTest : public QObject {
    Q_OBJECT
  private slots:
    void theChosenRowGivesItsId() {
        AppPicker picker({{"Gedit", "Text Editor", {}, false}, {"XTerm", "XTerm", {}, true}});
        QCOMPARE(picker.chosenId(), QString());
        QTest::keyClicks(picker.searchField(), QStringLiteral("xte"));
        QVERIFY(picker.list()->item(0)->isHidden());
        picker.list()->setCurrentRow(1);
        QCOMPARE(picker.chosenId(), QStringLiteral("XTerm"));
    }
};

QUILLO_UI_TEST(AppPickerTest);
#include "AppPickerTest.moc"
