#include "core/data_module.h"

#include "core/db/db_error.h"
#include "core/settings.h"

#include <QFile>
#include <exception>

namespace taxi {

namespace {

const QStringList kDispatcherEvents{
    QStringLiteral("EV_InsertMSG_FOR_VODIY"), QStringLiteral("EV_InsertZAMOVLENNIA"),
    QStringLiteral("EV_REFLESH_DANI_VODIY_GPRS"), QStringLiteral("EV_REFLESH_ZAD_AVTO"),
    QStringLiteral("EV_UpdateZAMOVLENNIA")};
const QStringList kSettingsEvents{QStringLiteral("EV_UpdateGPRS_OPEN_KLIENT"),
                                  QStringLiteral("EV_UpdateGPRS_SET_KLIENT"),
                                  QStringLiteral("EV_UpdateGPRS_STOYNKI")};

// CREATE DATABASE takes no parameters: a quote in the login or password is doubled so that it
// stays inside its literal.
QString quotedLiteral(QString value) {
    return value.replace(QLatin1Char('\''), QStringLiteral("''"));
}

} // namespace

DataModule::DataModule(Settings& settings, QObject* parent) : QObject(parent), m_settings(settings) {}

db::Credentials DataModule::credentials() const {
    return {m_settings.text(keys::LOGIN), m_settings.text(keys::PASS)};
}

QString DataModule::dispatcherDatabaseName() const {
    const QString path = m_settings.text(keys::PATH_BAZA);
    // A path of a Linux server is joined with its own separator.
    const QString separator = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QStringLiteral("\\");
    return m_settings.text(keys::SERVER) + path + separator + m_settings.text(keys::NAME_BAZA);
}

QString DataModule::withoutConnectionMark(const QString& model) {
    QString result = model;
    const qsizetype at = result.indexOf(kConnectionMark);
    if (at >= 0)
        result.remove(at, kConnectionMark.size());
    return result;
}

void DataModule::OPEN_BAZA_TAXI_GPRS() {
    bazaGprs.detach();
    bazaGprs.attach(kSettingsDatabaseFile, credentials());
    settingsEvents.registerEvents(bazaGprs, kSettingsEvents);

    tranzGprsRizne.commitIfActive();
    tablGprsRizne.execute({QStringLiteral("UPDATE GPRS_SET_KLIENT"),
                           QStringLiteral("SET GPRS_SET_KLIENT_ACTIVNIST = 'неактивний'")});
    tranzGprsRizne.commitIfActive();
    reopenConnectionRecords();
}

void DataModule::reopenConnectionRecords() {
    tranzGprsSettingVodiy.commitIfActive();
    m_connectionRecords = tablGprsSetVod.select(
        {QStringLiteral("SELECT * FROM GPRS_SET_KLIENT"), QStringLiteral("order by GPRS_SET_KLIENT_POZ")});
    // The rows are kept here: a snapshot held open all night would only hold back the server's clean-up.
    tranzGprsSettingVodiy.commitIfActive();
    emit connectionRecordsChanged();
}

void DataModule::OPEN_BAZA_TAXI() {
    baza.detach();
    baza.attach(dispatcherDatabaseName(), credentials());
    dispatcherEvents.registerEvents(baza, kDispatcherEvents);

    clearConnectionMarks();

    rizne.execute({QStringLiteral("DELETE FROM REFLESH_DANI_VODIY_GPRS")});
    tranzRizne.commitIfActive();
}

void DataModule::clearConnectionMarks() {
    tranzRizne.commitIfActive();
    const db::ResultSet marked =
        rizne.select({QStringLiteral("SELECT ZAD_AVTO_POZIVNIY, ZAD_AVTO_MARKA_AVTO FROM ZADIANI_AVTO"),
                      QStringLiteral("WHERE (ZAD_AVTO_MARKA_AVTO LIKE '%' || '{GPRS}' || '%')"),
                      QStringLiteral("GROUP BY ZAD_AVTO_POZIVNIY, ZAD_AVTO_MARKA_AVTO")});
    for (const db::Row& row : marked.rows()) {
        try {
            dodatRizne.execute({QStringLiteral("UPDATE ZADIANI_AVTO"),
                                QStringLiteral("SET ZAD_AVTO_MARKA_AVTO = ?"),
                                QStringLiteral("WHERE (ZAD_AVTO_POZIVNIY = ?)")},
                               {withoutConnectionMark(row[QStringLiteral("ZAD_AVTO_MARKA_AVTO")].toText()),
                                row[QStringLiteral("ZAD_AVTO_POZIVNIY")].toInt64()});
        } catch (const db::DbError&) {
            // One car that cannot be cleaned must not keep the others marked.
        }
    }
    tranzRizne.commitIfActive();
}

bool DataModule::CREATE_BAZA_TAXI_GPRS() {
    if (QFile::exists(kSettingsDatabaseFile))
        return false;
    bazaGprs.detach();
    const db::Credentials login = credentials();
    const QString statement =
        QStringLiteral("CREATE DATABASE '") + kSettingsDatabaseFile + QStringLiteral("' ") +
        QStringLiteral("USER '") + quotedLiteral(login.user) + QStringLiteral("'\n") +
        QStringLiteral("PASSWORD '") + quotedLiteral(login.password) + QStringLiteral("'\n") +
        QStringLiteral("PAGE_SIZE 4096\n") + QStringLiteral("DEFAULT CHARACTER SET WIN1251\n");
    bazaGprs.create(kSettingsDatabaseFile, statement, login);

    tablGprsRizne.execute({QStringLiteral("CREATE TABLE GPRS_SET_KLIENT"),
                           QStringLiteral("(GPRS_SET_KLIENT_POZ INTEGER NOT NULL, "),
                           QStringLiteral(" GPRS_SET_KLIENT_FIO  VARCHAR(40) NOT NULL, "),
                           QStringLiteral(" GPRS_SET_KLIENT_PORT INTEGER NOT NULL, "),
                           QStringLiteral(" GPRS_SET_KLIENT_ACTIVNIST VARCHAR(10), "),
                           QStringLiteral(" GPRS_SET_KLIENT_PASS  VARCHAR(20) NOT NULL) ")});
    // Firebird defines no trigger on a table its own transaction has not committed yet.
    tranzGprsRizne.commitIfActive();
    const QList<std::pair<QString, QString>> triggers{
        {QStringLiteral("UpdateGPRS_SET_KLIENT"), QStringLiteral("AFTER UPDATE")},
        {QStringLiteral("InsertGPRS_SET_KLIENT"), QStringLiteral("AFTER INSERT")},
        {QStringLiteral("DeleteGPRS_SET_KLIENT"), QStringLiteral("AFTER DELETE")}};
    for (const auto& [name, moment] : triggers) {
        tablGprsRizne.execute(
            {QStringLiteral("CREATE TRIGGER ") + name + QStringLiteral(" FOR GPRS_SET_KLIENT"),
             QStringLiteral("ACTIVE"), moment, QStringLiteral("AS"), QStringLiteral("BEGIN"),
             QStringLiteral("   POST_EVENT 'EV_UpdateGPRS_SET_KLIENT';"), QStringLiteral("END")});
    }
    bazaGprs.detach();
    baza.detach();
    return true;
}

bool DataModule::testDispatcherLink() {
    if (!baza.isAttached())
        return false;
    if (baza.probe())
        return true;
    dispatcherEvents.abandon();
    baza.abandon();
    emit dispatcherLinkLost();
    return false;
}

void DataModule::disconnectBoth() {
    for (db::EventListener* listener : {&dispatcherEvents, &settingsEvents}) {
        try {
            listener->cancel();
        } catch (const db::DbError&) {
            listener->abandon();
        }
    }
    for (db::Attachment* attachment : {&baza, &bazaGprs}) {
        try {
            attachment->detach();
        } catch (const db::DbError&) {
            attachment->abandon();
        }
    }
}

void DataModule::abandonBoth() {
    dispatcherEvents.abandon();
    settingsEvents.abandon();
    baza.abandon();
    bazaGprs.abandon();
    m_connectionRecords = db::ResultSet();
}

void DataModule::commitOpenWrites() {
    // A commit that is refused must not keep the other transactions' rows hidden and locked.
    std::exception_ptr firstError;
    for (db::Transaction* transaction : {&tranzGprsRizne, &tranzRizne, &tranzDaniActivVod, &tranzDyaVodya}) {
        try {
            transaction->commitIfActive();
        } catch (const db::DbError&) {
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

} // namespace taxi
