#include "data_module_folder.h"

#include "core/db/query.h"
#include "core/db/transaction.h"
#include "core/service_control.h"

#include <QDir>

namespace taxi::test {

SettingsDatabaseReader::SettingsDatabaseReader(const QString& folder) {
    m_attachment.attach(QDir(folder).filePath(DataModule::kSettingsDatabaseFile), embeddedCredentials());
}

SettingsDatabaseReader::~SettingsDatabaseReader() {
    m_attachment.detach();
}

db::ResultSet SettingsDatabaseReader::select(const QString& statement) {
    db::Transaction transaction(m_attachment);
    return db::Query(transaction).select({statement});
}

int SettingsDatabaseReader::number(const QString& select) {
    return this->select(select).first().at(0).toInt();
}

void SettingsDatabaseReader::execute(const QString& statement) {
    db::Transaction transaction(m_attachment);
    db::Query(transaction).execute({statement});
    transaction.commitIfActive();
}

DataModuleFolder::DataModuleFolder() {
    folder.writeSettings();
    settings.load(ServiceControl::kSettingsFile);
}

void DataModuleFolder::attachDispatcher() {
    data.baza.attach(data.dispatcherDatabaseName(), data.credentials());
}

void DataModuleFolder::attachSettingsDatabase() {
    folder.createSettingsDatabase();
    data.bazaGprs.attach(DataModule::kSettingsDatabaseFile, data.credentials());
}

} // namespace taxi::test
