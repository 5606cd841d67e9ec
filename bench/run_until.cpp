#include "bench/run_until.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace taxi::bench {

bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    if (condition())
        return true;
    const QDeadlineTimer deadline(limit);
    QEventLoop loop;
    QTimer look; // the condition is met on other threads: look now and then
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    look.start(5);
    loop.exec();
    return condition();
}

} // namespace taxi::bench
