#include "support/program.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>
#include <csignal>
#include <unistd.h>

namespace taxi::test {

QString builtProgram(const QString& relative) {
    return qEnvironmentVariable("TAXI_GPRS_BINARY_DIR") + relative;
}

Program::Program(const QString& relativePath, const QString& tempFolder)
    : m_path(builtProgram(relativePath)) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tempFolder);
    m_process.setProcessEnvironment(environment);
}

Program::~Program() {
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Program::start(const QStringList& arguments) {
    m_process.start(m_path, arguments);
    return m_process.waitForStarted(5000);
}

void Program::signal(int signalNumber) const {
    if (const qint64 pid = m_process.processId(); pid > 0)
        ::kill(pid_t(pid), signalNumber);
}

void Program::sendOutputTo(int descriptor) {
    m_process.setChildProcessModifier([descriptor] { ::dup2(descriptor, STDOUT_FILENO); });
}

void Program::startWithOpenFilesLimit(rlim_t softLimit) {
    m_process.setChildProcessModifier([softLimit] {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = softLimit;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    });
}

std::pair<QString, QString> Program::openFilesLimit() const {
    QFile limits(QStringLiteral("/proc/%1/limits").arg(m_process.processId()));
    if (!limits.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : limits.readAll().split('\n')) {
        if (line.startsWith("Max open files")) {
            const QStringList fields = QString::fromLatin1(line.mid(26)).simplified().split(QLatin1Char(' '));
            return {fields.value(0), fields.value(1)};
        }
    }
    return {};
}

bool Program::waitForExit(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (isRunning() && !deadline.hasExpired())
        QTest::qWait(5);
    collect();
    return !isRunning();
}

bool Program::waitForOutputLine(const QString& line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!outputLines().contains(line) && !deadline.hasExpired() && isRunning())
        QTest::qWait(5);
    return outputLines().contains(line);
}

int Program::exitCode() const {
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QStringList Program::outputLines() {
    collect();
    return QString::fromUtf8(m_output).split(QLatin1Char('\n'));
}

QString Program::output() {
    collect();
    return QString::fromUtf8(m_output);
}

QString Program::errors() {
    collect();
    return QString::fromUtf8(m_errors);
}

QByteArray Program::transcript() {
    return (output() + QStringLiteral("\n--- stderr ---\n") + errors()).toUtf8();
}

void Program::collect() {
    m_output += m_process.readAllStandardOutput();
    m_errors += m_process.readAllStandardError();
}

} // namespace taxi::test
