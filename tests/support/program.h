#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <sys/resource.h>
#include <utility>

namespace taxi::test {

// A program of this build (e.g. "/src/app/taxi-gprs"): the build folder comes from the test's environment.
QString builtProgram(const QString& relative);

// A program of this build run as its own process, with its output collected as it comes.
class Program {
public:
    // The temporary folder holds the single-instance lock: one per test keeps tests apart from each other
    // and from a service really running on this machine.
    Program(const QString& relativePath, const QString& tempFolder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool start(const QStringList& arguments);
    // Only to a program still running: a pid of 0 would signal the test's own process group.
    void signal(int signalNumber) const;
    qint64 processId() const { return m_process.processId(); }

    // The program's stdout goes to this descriptor instead of being collected.
    void sendOutputTo(int descriptor);
    // The program starts with this limit of open files, as a system's default would give it.
    void startWithOpenFilesLimit(rlim_t softLimit);
    // The limit of open files the running program has now: soft and hard.
    std::pair<QString, QString> openFilesLimit() const;

    // Runs the event loop meanwhile, so that terminals of the test keep working.
    bool waitForExit(int timeoutMs);
    bool waitForOutputLine(const QString& line, int timeoutMs = 15000);

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Exit status 0..255 of a program that ended by itself; -1 when a signal ended it.
    int exitCode() const;

    QStringList outputLines();
    QString output();
    QString errors();
    // For a failed check: what the program said.
    QByteArray transcript();

private:
    void collect();

    QString m_path;
    QProcess m_process;
    QByteArray m_output;
    QByteArray m_errors;
};

} // namespace taxi::test
