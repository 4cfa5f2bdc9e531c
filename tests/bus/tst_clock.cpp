// The time seam: window timers and waits on the virtual clock, and the Qt clock's timers.
#include "core/QtClock.h"
#include "core/VirtualClock.h"

#include <QTest>
#include <map>

using namespace qvr;

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    // A script of steps on timers A and B; the fires seen up to 300 ms.
    //   "A+100" enable A with interval 100    "A-" disable A    "A=50" set A's interval
    //   "@60" advance to 60 ms    "s40" sleep 40 ms (nothing runs)    "p" process events
    void timerScript_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("fires");
        QTest::newRow("periodic, in time order")
            << "A+100 B+30"
            << "B@30 B@60 B@90 A@100 B@120 B@150 B@180 A@200 B@210 B@240 B@270 A@300 B@300";
        QTest::newRow("same moment: armed first fires first")
            << "B+100 A+100"
            << "B@100 A@100 B@200 A@200 B@300 A@300";
        QTest::newRow("enabling again restarts the countdown") << "A+100 @60 A+100"
                                                               << "A@160 A@260";
        QTest::newRow("new interval restarts an enabled timer") << "A+100 @60 A=200"
                                                                << "A@260";
        QTest::newRow("interval of a disabled timer waits") << "A=50 @100 A+50"
                                                            << "A@150 A@200 A@250 A@300";
        QTest::newRow("interval 0 never fires") << "A+0 B+0"
                                                << "";
        QTest::newRow("disabled before due") << "A+100 @99 A-"
                                             << "";
        QTest::newRow("sleep runs nothing, events run late")
            << "A+20 s50 p"
            << "A@50 A@70 A@90 A@110 A@130 A@150 A@170 A@190 A@210 A@230 A@250 A@270 A@290";
    }
    void timerScript()
    {
        QFETCH(QString, script);
        QFETCH(QString, fires);
        VirtualClock clock;
        std::map<QChar, std::unique_ptr<Timer>> timers;
        QStringList seen;
        for (QChar name : {QChar('A'), QChar('B')}) {
            timers[name] = clock.createTimer();
            timers[name]->setHandler([&seen, &clock, name] {
                seen << QStringLiteral("%1@%2").arg(name).arg(clock.nowMs());
            });
        }
        for (const QString &step : script.split(' ', Qt::SkipEmptyParts)) {
            if (step.startsWith('@')) {
                clock.advance(step.mid(1).toInt() - clock.nowMs());
            } else if (step.startsWith('s')) {
                clock.sleepMs(step.mid(1).toInt());
            } else if (step == QLatin1String("p")) {
                clock.processEvents();
            } else {
                Timer &t = *timers[step[0]];
                if (step[1] == '+') {
                    t.setInterval(step.mid(2).toInt());
                    t.setEnabled(true);
                } else if (step[1] == '-') {
                    t.setEnabled(false);
                } else {
                    t.setInterval(step.mid(2).toInt());
                }
            }
        }
        clock.advance(300 - clock.nowMs());
        QCOMPARE(seen.join(' '), fires);
    }

    // Waits end when their condition turns, or when nothing left could turn it.
    void waits()
    {
        VirtualClock clock;
        auto t = clock.createTimer();
        bool done = false;
        t->setHandler([&] {
            done = true;
            t->setEnabled(false);
        });
        t->setInterval(50);
        t->setEnabled(true);
        QVERIFY(clock.waitWhile([&] { return !done; }));
        QCOMPARE(clock.nowMs(), 50);

        // Nothing scheduled: the wait gives up instead of hanging.
        QVERIFY(!clock.waitWhile([] { return true; }));
        // A bounded wait ends at its limit.
        t->setInterval(1000);
        t->setEnabled(true);
        const qint64 start = clock.nowMs();
        QVERIFY(!clock.waitWhile([] { return true; }, 300));
        QCOMPARE(clock.nowMs() - start, 300);
    }

    // Scheduled calls run once, in order; one that reschedules itself at 0 ms runs once
    // per processEvents instead of keeping it busy forever.
    void scheduledCalls()
    {
        VirtualClock clock;
        QStringList order;
        clock.callLater(10, [&] { order << "late"; });
        clock.callLater(0, [&] { order << "first"; });
        clock.callLater(0, [&] { order << "second"; });
        std::function<void()> again = [&] {
            order << "again";
            if (order.count("again") < 2)
                clock.callLater(0, again);
        };
        clock.callLater(0, again);
        clock.processEvents();
        QCOMPARE(order, (QStringList{"first", "second", "again"}));
        clock.processEvents();
        QCOMPARE(order, (QStringList{"first", "second", "again", "again"}));
        QVERIFY(clock.runUntil([&] { return order.contains("late"); }, 20));
        QCOMPARE(clock.nowMs(), 10);
    }

    // Timers and clock may go in either order.
    void lifetimes()
    {
        std::unique_ptr<Timer> survivor;
        {
            VirtualClock clock;
            survivor = clock.createTimer();
            auto shortLived = clock.createTimer();
            shortLived->setInterval(5);
            shortLived->setEnabled(true);
            shortLived.reset();
            clock.advance(10);
        }
        survivor->setInterval(10);
        survivor->setEnabled(true);
        QVERIFY(survivor->isEnabled());
    }

    void qtTimerFires()
    {
        QtClock clock;
        auto t = clock.createTimer();
        int fired = 0;
        t->setHandler([&] {
            ++fired;
            t->setEnabled(false);
        });
        t->setInterval(5);
        t->setEnabled(true);
        QVERIFY(clock.waitWhile([&] { return fired == 0; }, 5000));
        QCOMPARE(fired, 1);
        bool called = false;
        clock.callLater(1, [&] { called = true; });
        QVERIFY(clock.waitWhile([&] { return !called; }, 5000));
        QVERIFY(!clock.waitWhile([] { return true; }, 20));
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"
