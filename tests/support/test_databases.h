#pragma once

#include "core/db/attachment.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace taxi::test {

// A file of this source tree.
QString sourcePath(const QString& relative);

// The embedded engine takes any password; the local server's SYSDBA password is read from the
// file its Debian package wrote (TAXI_GPRS_SYSDBA_PASSWORD_FILE names another one).
db::Credentials embeddedCredentials();
std::optional<db::Credentials> serverCredentials();

// Creates a database and runs the scripts on it with isql (UTF-8 scripts, WIN1251 database).
void createDatabaseFromScripts(const QString& databaseName, const db::Credentials& credentials,
                               const QStringList& scripts);

// A temporary folder, open to the local server's own user, holding the databases of one test.
class TestDatabases {
public:
    TestDatabases();

    QString folder() const { return m_folder.path(); }
    // A fresh dispatcher database (schema only, or with the demo city) opened through the embedded engine.
    QString freshDispatcherDatabase(bool withDemoData = false);
    // The same through the local server: "localhost:" + the file's path.
    QString freshServerDispatcherDatabase(bool withDemoData = false);

private:
    QTemporaryDir m_folder;
    int m_counter = 0;
};

} // namespace taxi::test
