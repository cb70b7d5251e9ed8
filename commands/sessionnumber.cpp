#include "commands/sessionnumber.h"

#include "app/mainwindow.h"

#include <QRandomGenerator>

namespace {

int ring[RecentSessionCount];
int nextSlot = 0;

QRandomGenerator& generator()
{
    static QRandomGenerator instance(QRandomGenerator::system()->generate());
    return instance;
}

bool isRecent(int number)
{
    for (int recent : ring) {
        if (recent == number)
            return true;
    }
    return false;
}

} // namespace

void clearRecentSessions()
{
    for (int& slot : ring)
        slot = 0;
    nextSlot = 0;
}

void seedSessionNumbers(quint32 seed)
{
    generator().seed(seed);
}

const int* recentSessions()
{
    return ring;
}

int nextRecentSessionSlot()
{
    return nextSlot;
}

int MainWindow::uniqueSessionNumber(int low, int high)
{
    const qint64 span = qint64(high) - low + 1;
    int candidate;
    do {
        const quint32 r = generator().generate() & 0x7fffffffu; // non-negative, as an int draw
        candidate = int(low + qint64(r % quint64(span)));
    } while (isRecent(candidate));
    ring[nextSlot] = candidate;
    nextSlot = (nextSlot + 1) % RecentSessionCount;
    return candidate;
}
