#pragma once

#include <QDir>
#include <QString>

namespace taxi::test {

// The process works in a folder for as long as this lives, as the service works in its own
// (SETSERVER.INI and TAXI_GPRS.FDB are names relative to it); the folder before comes back after.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& path) : m_previous(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    QString m_previous;
};

} // namespace taxi::test
