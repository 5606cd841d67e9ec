#include "app/service.h"
#include "console/records_page.h"
#include "support/service_fixture.h"
#include "support/widget_lookup.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using namespace taxi;
using namespace taxi::test;

namespace {

bool collapsed(QWidget& page, const QString& group) {
    return child<QFrame>(page, group)->maximumHeight() == 25;
}

} // namespace

// The records page over the running service: its controls reach the records and show what they hold.
class RecordsPageTest : public QObject {
    Q_OBJECT

private slots:
    void buttonsAndListsReachTheRecords() {
        if (!serverCredentials())
            QSKIP("no local Firebird server password");
        ServiceFolder folder;
        folder.writeSettings();
        folder.createSettingsDatabase();
        RunningService running(folder, false);
        RecordsPage page(running->records);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));

        auto* grid = child<QTableView>(page, QStringLiteral("DBGrid1"));
        QCOMPARE(grid->model()->rowCount(), 7);
        QCOMPARE(grid->currentIndex().row(), 0);
        auto* panel = child<QWidget>(page, QStringLiteral("recordPanel"));
        QVERIFY(!panel->isVisible());

        child<QToolButton>(page, QStringLiteral("newRecordButton"))->click();
        QVERIFY(panel->isVisible());
        QVERIFY(!collapsed(page, QStringLiteral("createGroup")));
        QVERIFY(collapsed(page, QStringLiteral("editGroup")));
        auto* callsigns = child<QComboBox>(page, QStringLiteral("createCallsignList"));
        QCOMPARE(callsigns->count(), 0);
        callsigns->showPopup(); // opening the list fills it
        callsigns->hidePopup();
        QCOMPARE(callsigns->count(), 8);
        QCOMPARE(callsigns->currentIndex(), -1);
        child<QToolButton>(page, QStringLiteral("createGroupClose"))->click();
        QVERIFY(!panel->isVisible());

        grid->setCurrentIndex(grid->model()->index(2, 1));
        QCOMPARE(running->records.currentRow(), 2);
        child<QToolButton>(page, QStringLiteral("editRecordButton"))->click();
        QVERIFY(panel->isVisible());
        QVERIFY(collapsed(page, QStringLiteral("createGroup")));
        QVERIFY(!collapsed(page, QStringLiteral("editGroup")));
        QCOMPARE(child<QLabel>(page, QStringLiteral("editCallsignLabel"))->text(), QStringLiteral("13"));
        QCOMPARE(child<QComboBox>(page, QStringLiteral("editPortList"))->currentText(),
                 QString::number(folder.driver(13).port));

        // A re-read of the list keeps the grid on its row.
        running->data.reopenConnectionRecords();
        QCOMPARE(grid->currentIndex().row(), 2);
        QVERIFY(running.op().errors.isEmpty());
    }
};

QTEST_MAIN(RecordsPageTest)
#include "test_records_page.moc"
