#include "app/mainwindow.h"
#include "commands/sessionnumber.h"

#include <QProcess>
#include <QSet>
#include <QTest>

class TestSessionNumber : public QObject {
    Q_OBJECT

private:
    static QList<int> draw(int count)
    {
        QList<int> numbers;
        for (int i = 0; i < count; ++i)
            numbers.append(MainWindow::uniqueSessionNumber(0, 999999));
        return numbers;
    }

private slots:
    void init()
    {
        clearRecentSessions();
        seedSessionNumbers(1234);
    }

    void firstHundredAreDistinctAndNeverZero()
    {
        const QList<int> numbers = draw(100);
        QCOMPARE(QSet<int>(numbers.begin(), numbers.end()).size(), 100);
        for (int n : numbers) {
            QVERIFY(n > 0);
            QVERIFY(n <= 999999);
        }
        // The 101st differs from each of the 100 before it.
        QVERIFY(!numbers.contains(MainWindow::uniqueSessionNumber(0, 999999)));
    }

    void ringWrapsToTheFirstSlot()
    {
        const QList<int> numbers = draw(100);
        QCOMPARE(nextRecentSessionSlot(), 0);
        QCOMPARE(recentSessions()[0], numbers.first());
        const int next = MainWindow::uniqueSessionNumber(0, 999999);
        QCOMPARE(recentSessions()[0], next);
        QCOMPARE(recentSessions()[1], numbers.at(1));
        QCOMPARE(nextRecentSessionSlot(), 1);
    }

    void neverRepeatsARecentNumberInATightRange()
    {
        // With 101 values and 100 remembered, every draw is forced to the one
        // value that is not in the ring, so a repeat would show at once.
        QList<int> numbers = draw(0);
        for (int i = 0; i < 300; ++i) {
            const int n = MainWindow::uniqueSessionNumber(1, 101);
            QVERIFY(n >= 1 && n <= 101);
            for (int back = 1; back <= qMin(99, int(numbers.size())); ++back)
                QVERIFY2(numbers.at(numbers.size() - back) != n, "a number drawn again within 100 draws");
            numbers.append(n);
        }
    }

    void sameSeedSameSequence()
    {
        const QList<int> first = draw(20);
        clearRecentSessions();
        seedSessionNumbers(1234);
        QCOMPARE(draw(20), first);
        clearRecentSessions();
        seedSessionNumbers(4321);
        QVERIFY(draw(20) != first);
    }

    void differentRunsDiffer()
    {
        auto run = [] {
            QProcess process;
            process.start(QStringLiteral(SESSIONDRAWS_PATH), QStringList());
            if (!process.waitForFinished(10000))
                return QByteArray();
            return process.readAllStandardOutput();
        };
        const QByteArray first = run();
        const QByteArray second = run();
        QCOMPARE(first.count('\n'), 5);
        QCOMPARE(second.count('\n'), 5);
        QVERIFY2(first != second, "two runs drew the same session numbers");
    }
};

QTEST_GUILESS_MAIN(TestSessionNumber)
#include "tst_sessionnumber.moc"
