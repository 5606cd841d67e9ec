#pragma once

#include "core/db/attachment.h"
#include "core/db/event_listener.h"
#include "core/db/query.h"
#include "core/db/transaction.h"

#include <QObject>

namespace taxi {

class Settings;

// The data module DANNI: both database connections with their transactions, statement
// objects and event listeners.
class DataModule : public QObject {
    Q_OBJECT
public:
    static inline const QString kSettingsDatabaseFile = QStringLiteral("TAXI_GPRS.FDB");
    static inline const QString kConnectionMark = QStringLiteral("{GPRS}");

    explicit DataModule(Settings& settings, QObject* parent = nullptr);

    // Opens the settings database, marks every record inactive and opens the records list.
    void OPEN_BAZA_TAXI_GPRS();
    // Opens the dispatcher database and clears the marks an earlier run left behind.
    void OPEN_BAZA_TAXI();
    // Creates TAXI_GPRS.FDB in the working folder unless the file exists; false when nothing was made.
    bool CREATE_BAZA_TAXI_GPRS();

    // The dispatcher link test: open and answering. A connection that stopped answering is let go.
    bool testDispatcherLink();
    // Disconnects BAZA and BAZA_GPRS, committing whatever is open.
    void disconnectBoth();
    // After a lost link: lets go of every transaction, registration and connection without asking the server.
    void abandonBoth();
    // Takes the connection mark off every car that carries it (errors skip the row).
    void clearConnectionMarks();
    // Commits every transaction of the service's own statements that is open; each is tried, the first
    // failure is thrown after all of them.
    void commitOpenWrites();

    bool bothConnected() const { return baza.isAttached() && bazaGprs.isAttached(); }
    QString dispatcherDatabaseName() const;
    db::Credentials credentials() const;

    // Reads the records list anew (TABL_GPRS_SET_VOD).
    void reopenConnectionRecords();
    const db::ResultSet& connectionRecords() const { return m_connectionRecords; }

    // Removes the connection mark that the service puts in front of a car model.
    static QString withoutConnectionMark(const QString& model);

    db::Attachment baza;
    db::Transaction tranzRizne{baza};
    db::Query rizne{tranzRizne};
    db::Query dodatRizne{tranzRizne};
    db::Transaction tranzDaniActivVod{baza};
    db::Query tableDaniActivVod{tranzDaniActivVod};
    db::Transaction tranzDyaVodya{baza};
    db::Query tableDyaVodya{tranzDyaVodya};
    db::EventListener dispatcherEvents; // IBEvents1_BAZA_TAXI

    db::Attachment bazaGprs;
    db::Transaction tranzGprsRizne{bazaGprs};
    db::Query tablGprsRizne{tranzGprsRizne};
    db::Transaction tranzGprsSettingVodiy{bazaGprs};
    db::Query tablGprsSetVod{tranzGprsSettingVodiy};
    db::EventListener settingsEvents; // IBEvents_BAZA_GPRS

signals:
    void connectionRecordsChanged();
    // The dispatcher database stopped answering the link test.
    void dispatcherLinkLost();

private:
    Settings& m_settings;
    db::ResultSet m_connectionRecords;
};

} // namespace taxi
