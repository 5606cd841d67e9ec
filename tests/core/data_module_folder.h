#pragma once

#include "core/data_module.h"
#include "core/settings.h"
#include "support/service_fixture.h"
#include "support/working_folder.h"

namespace taxi::test {

// Another program's connection to the settings database TAXI_GPRS.FDB of a folder.
class SettingsDatabaseReader {
public:
    explicit SettingsDatabaseReader(const QString& folder);
    ~SettingsDatabaseReader();
    SettingsDatabaseReader(const SettingsDatabaseReader&) = delete;
    SettingsDatabaseReader& operator=(const SettingsDatabaseReader&) = delete;

    db::Attachment& attachment() { return m_attachment; }
    db::ResultSet select(const QString& statement);
    // The first column of the first row.
    int number(const QString& select);
    void execute(const QString& statement);

private:
    db::Attachment m_attachment;
};

// The data module alone, without the rest of the service, in a ServiceFolder: the process works in
// the folder (TAXI_GPRS.FDB is a name relative to it) and the settings come from its SETSERVER.INI.
class DataModuleFolder {
public:
    DataModuleFolder();
    DataModuleFolder(const DataModuleFolder&) = delete;
    DataModuleFolder& operator=(const DataModuleFolder&) = delete;

    // Connects BAZA to the demo dispatcher database through the folder's relay, as the start-up does.
    void attachDispatcher();
    // Creates TAXI_GPRS.FDB with the demo drivers' records and connects BAZA_GPRS to it.
    void attachSettingsDatabase();
    int dispatcherNumber(const QString& select, const db::SqlParams& params = {}) {
        return folder.dispatcherNumber(select, params);
    }

    ServiceFolder folder;
    WorkingFolder workingFolder{folder.path()};
    Settings settings;
    DataModule data{settings};
};

} // namespace taxi::test
