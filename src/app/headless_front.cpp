#include "app/headless_front.h"

#include "app/service.h"
#include "app/termination_signals.h"

#include <QCoreApplication>
#include <cstdio>

namespace taxi {

namespace {
void writeLine(FILE* stream, const QString& text) {
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stream);
    std::fflush(stream);
}

// A monitoring line is one line on stdout, whatever the dispatchers' data put into it.
void writeMonitoringLine(const QString& line) {
    QString oneLine = line;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    writeLine(stdout, oneLine);
}
} // namespace

void HeadlessOperator::inform(const QString& message) {
    writeLine(stderr, message);
}

bool HeadlessOperator::confirm(const QString& question) {
    writeLine(stderr, question + QStringLiteral(" -> Yes"));
    return true;
}

void HeadlessOperator::showError(const QString& message) {
    writeLine(stderr, QStringLiteral("ERROR: ") + message);
}

HeadlessFront::HeadlessFront(Service& service, QObject* parent) : QObject(parent), m_service(service) {
    connect(&service.log, &MonitoringLog::appended, this,
            [](const QString& line) { writeMonitoringLine(line); });
    connect(&service, &Service::endRequested, this, [this](int status) {
        m_endStatus = status;
        QCoreApplication::exit(status);
    });
}

int HeadlessFront::run(bool pressStart) {
    TerminationSignals terminationSignals;
    connect(&terminationSignals, &TerminationSignals::received, this, [this] {
        m_service.shutDown();
        QCoreApplication::exit(0);
    });
    for (const QString& line : m_service.log.lines())
        writeMonitoringLine(line);
    m_service.startUp();
    // An end decided before the event loop runs is not seen by the loop: return it here.
    if (m_endStatus)
        return *m_endStatus;
    if (pressStart) {
        m_service.pressStartStop();
        if (!m_service.control.isDistributing())
            return kExitStartFailed;
    }
    return QCoreApplication::exec();
}

} // namespace taxi
