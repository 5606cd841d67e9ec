#include "bench/bench_arguments.h"

#include "app/open_files_limit.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <stdexcept>

namespace taxi::bench {

BenchArguments::BenchArguments(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")))
            throw std::invalid_argument("unexpected argument " + argument.toStdString());
        if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1String("--"))) {
            m_options << argument << arguments.at(i + 1);
            ++i;
        } else {
            m_switches << argument;
        }
    }
}

int BenchArguments::number(const QString& name, int byDefault) const {
    const QList<int> given = numbers(name, {byDefault});
    return given.isEmpty() ? byDefault : given.first();
}

QList<int> BenchArguments::numbers(const QString& name, const QList<int>& byDefault) const {
    for (qsizetype i = 0; i + 1 < m_options.size(); i += 2) {
        if (m_options.at(i) != name)
            continue;
        QList<int> values;
        for (const QString& part : m_options.at(i + 1).split(QLatin1Char(','))) {
            bool ok = false;
            values.append(part.toInt(&ok));
            if (!ok || values.last() <= 0)
                throw std::invalid_argument("not a positive number: " + part.toStdString());
        }
        return values;
    }
    return byDefault;
}

namespace {
// The machine's load averages over 1, 5 and 15 minutes: on a shared machine they tell which runs to trust.
QByteArray loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').mid(0, 3).join(' ') : QByteArray("?");
}
} // namespace

int benchMain(int argc, char* argv[], const char* name,
              const std::function<int(const BenchArguments&)>& run) {
    try {
        QCoreApplication application(argc, argv);
        raiseOpenFilesLimit();
        std::printf("load average at the start: %s\n", loadAverage().constData());
        const int status = run(BenchArguments(application.arguments()));
        std::printf("load average at the end: %s\n", loadAverage().constData());
        return status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 2;
    }
}

} // namespace taxi::bench
