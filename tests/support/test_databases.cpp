#include "support/test_databases.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <stdexcept>

namespace taxi::test {

namespace {

void openToEveryone(const QString& path) {
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                    QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                    QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
}

QString escaped(QString text) {
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

// Building a database with isql takes a while: each kind is built once per test program and copied.
QString templateDatabase(bool withDemoData) {
    static QTemporaryDir folder;
    const QString path =
        folder.filePath(withDemoData ? QStringLiteral("demo.fdb") : QStringLiteral("schema.fdb"));
    if (!QFile::exists(path)) {
        QStringList scripts{sourcePath(QStringLiteral("db/dispatcher.sql"))};
        if (withDemoData)
            scripts.append(sourcePath(QStringLiteral("db/demo-data.sql")));
        createDatabaseFromScripts(path, embeddedCredentials(), scripts);
    }
    return path;
}

} // namespace

QString sourcePath(const QString& relative) {
    return QDir(QStringLiteral(TAXI_GPRS_SOURCE_DIR)).filePath(relative);
}

db::Credentials embeddedCredentials() {
    return {QStringLiteral("SYSDBA"), QStringLiteral("masterkey")};
}

std::optional<db::Credentials> serverCredentials() {
    QString fileName = qEnvironmentVariable("TAXI_GPRS_SYSDBA_PASSWORD_FILE");
    if (fileName.isEmpty())
        fileName = QStringLiteral("/etc/firebird/3.0/SYSDBA.password");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString content = QString::fromUtf8(file.readAll());
    const auto match = QRegularExpression(QStringLiteral("^ISC_PASSWORD=\"?([^\"\\n]*)\"?"),
                                          QRegularExpression::MultilineOption)
                           .match(content);
    if (!match.hasMatch())
        return std::nullopt;
    return db::Credentials{QStringLiteral("SYSDBA"), match.captured(1)};
}

void createDatabaseFromScripts(const QString& databaseName, const db::Credentials& credentials,
                               const QStringList& scripts) {
    QString input = QStringLiteral("SET SQL DIALECT 3;\nCREATE DATABASE '%1' USER '%2' PASSWORD '%3' "
                                   "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1251;\n")
                        .arg(escaped(databaseName), escaped(credentials.user), escaped(credentials.password));
    for (const QString& script : scripts)
        input += QStringLiteral("INPUT '%1';\nCOMMIT;\n").arg(escaped(script));
    QProcess isql;
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(QStringLiteral("isql-fb"),
               {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-ch"), QStringLiteral("UTF8")});
    if (!isql.waitForStarted())
        throw std::runtime_error("isql-fb could not be started");
    isql.write(input.toUtf8());
    isql.closeWriteChannel();
    isql.waitForFinished(120000);
    const QByteArray output = isql.readAll();
    if (isql.exitStatus() != QProcess::NormalExit || isql.exitCode() != 0 ||
        output.contains("Statement failed"))
        throw std::runtime_error("isql-fb failed to build " + databaseName.toStdString() + ":\n" +
                                 output.toStdString());
}

TestDatabases::TestDatabases() {
    if (!m_folder.isValid())
        throw std::runtime_error("no temporary folder");
    openToEveryone(m_folder.path());
}

QString TestDatabases::freshDispatcherDatabase(bool withDemoData) {
    const QString path = m_folder.filePath(QStringLiteral("dispatcher%1.fdb").arg(++m_counter));
    if (!QFile::copy(templateDatabase(withDemoData), path))
        throw std::runtime_error("could not copy the template database");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                    QFileDevice::WriteGroup | QFileDevice::ReadOther |
                                    QFileDevice::WriteOther);
    return path;
}

QString TestDatabases::freshServerDispatcherDatabase(bool withDemoData) {
    return QStringLiteral("localhost:") + freshDispatcherDatabase(withDemoData);
}

} // namespace taxi::test
