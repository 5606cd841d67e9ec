#include "core/data_module.h"
#include "core/event_runner.h"
#include "core/main_timer.h"
#include "core/settings.h"
#include "support/scripted_operator.h"

#include <QTest>

using namespace taxi;

// The order of the one-second tick, with every step replaced by a recorder.
class MainTimerTest : public QObject {
    Q_OBJECT

private:
    Settings m_settings;
    DataModule m_data{m_settings}; // never connected: the commit after each tick has nothing to do
    test::ScriptedOperator m_operator;
    EventRunner m_runner{m_operator, m_data};
    std::unique_ptr<MainTimer> m_timer;
    QStringList m_calls;
    bool m_linkUp = true;
    bool m_offersPending = false;

    // Runs the ticks and returns the steps each of them took.
    QList<QStringList> tick(int count) {
        QList<QStringList> ticks;
        for (int i = 0; i < count; ++i) {
            m_calls.clear();
            m_timer->tick();
            ticks.append(m_calls);
        }
        return ticks;
    }
    static QStringList steps(const QStringList& afterLinkTest) {
        return QStringList{QStringLiteral("link")} + afterLinkTest;
    }

private slots:
    void init() {
        m_linkUp = true;
        m_offersPending = false;
        m_timer = std::make_unique<MainTimer>(m_runner);
        m_timer->setHooks({
            .linkTest =
                [this] {
                    m_calls.append(QStringLiteral("link"));
                    return m_linkUp;
                },
            .timeMark = [this] { m_calls.append(QStringLiteral("mark")); },
            .keeper = [this] { m_calls.append(QStringLiteral("keeper")); },
            .offersPending = [this] { return m_offersPending; },
            .timeoutPass = [this] { m_calls.append(QStringLiteral("timeout")); },
        });
    }

    void markEveryMinuteKeeperEveryTenSeconds() {
        const QList<QStringList> ticks = tick(2 * MainTimer::kTicksPerMark);
        for (int n = 1; n <= ticks.size(); ++n) {
            QStringList expected{QStringLiteral("link")};
            if (n % 60 == 0)
                expected << QStringLiteral("mark");
            if (n % 10 == 0)
                expected << QStringLiteral("keeper"); // at 60 right after the mark
            QCOMPARE(ticks.at(n - 1), expected);
        }
        QCOMPARE(m_timer->tickCount(), 0);
        tick(1);
        QCOMPARE(m_timer->tickCount(), 1);
        QVERIFY(m_operator.errors.isEmpty());
    }

    void timeoutPassRunsOnlyWhileOffersWait() {
        QCOMPARE(tick(3), QList<QStringList>(3, steps({})));
        m_offersPending = true;
        QCOMPARE(tick(2), QList<QStringList>(2, steps({QStringLiteral("timeout")})));
        QCOMPARE(tick(5).last(), steps({QStringLiteral("keeper"), QStringLiteral("timeout")}));
    }

    void failedLinkTestStopsTheTimerAndTheTick() {
        m_offersPending = true;
        tick(9);
        m_timer->start();
        m_linkUp = false;
        QCOMPARE(tick(1).first(), steps({})); // the tenth tick: no keeper, no time-out pass
        QVERIFY(!m_timer->isActive());
        QCOMPARE(m_timer->tickCount(), 9);
    }
};

QTEST_GUILESS_MAIN(MainTimerTest)
#include "test_main_timer.moc"
