#pragma once

#include "net/records_grid_model.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

namespace taxi {
struct Services;
}

namespace taxi::net {

// The choices of a port list: the ports in order and the one preselected.
struct PortList {
    QList<int> ports;
    int selected = -1; // index into ports; -1 when none is preselected
};

// The drivers' connection records as the operator manages them: the grid and its current row, the lists
// the record panel offers, and the operations on records. Each operation is an event of its own: a
// database error ends it and goes to the operator's error display. Questions and messages go through
// the Operator.
class ConnectionRecords : public QObject {
    Q_OBJECT
public:
    static inline const QString kCreateQuestion =
        QStringLiteral("Створити новий запис в таблиці налаштувань підключень водіїв ?");
    static inline const QString kDuplicateRecord =
        QStringLiteral("Запис з вказаним позивним і ФІО вжк існує !!!");
    static inline const QString kEditQuestion =
        QStringLiteral("Редагувати запис таблиці зєднань водіїв (Зміни порта і пароля відбудуться після "
                       "перезєндання / наступного зєднання клієнта) ?");
    static inline const QString kDeleteQuestion =
        QStringLiteral("Знищити вибраного клієнта (після виконання процесу знищення - перезагрузіть роздачи, "
                       "так як можливі помилки ідентифікації портів) ?");
    static inline const QString kCleanUpQuestion = QStringLiteral(
        "Очистити неактивні водії (водії які вже не відповідають позивним) ?\nПісля виконання "
        "процесу знищення - перезагрузіть роздачи, так як можливі помилки ідентифікації портів.");
    static inline const QString kPortNotNumber =
        QStringLiteral("Порт водія має бути числом від 1 до 65535 !!!");
    static QString forceOffQuestion(int callsign);

    explicit ConnectionRecords(Services& services, QObject* parent = nullptr);

    // The grid, read anew with every change of the records list.
    RecordsGridModel& grid() { return m_grid; }
    int rowCount() const { return m_grid.rowCount(); }
    // The grid's current row, from 0; -1 while it has no rows.
    int currentRow() const { return m_currentRow; }
    // The number of the last current row, from 1; 0 before the grid first had rows. A re-read of the list
    // goes back to it, or to the last row when there are fewer now.
    int rememberedRow() const { return m_rememberedRow; }
    std::optional<ConnectionRecord> currentRecord() const;
    // The grid's own moves to one of its rows; currentRowChanged follows only a move to another row.
    void setCurrentRow(int row);

    // The create group's lists: the callsigns of the cars, and the names of the drivers of a callsign's
    // cars (none before a callsign is chosen).
    QStringList callsigns();
    QStringList names(const QString& callsign);
    // The ports between the lowest and the highest port in use that no record has, or the one port after
    // them when the records use at most one.
    PortList freePorts();
    // The port after the highest one in use.
    PortList autoPort();

    // A new record, asked first, with a port slot and a listener of its own at once; false when no
    // record was made (an input empty, the operator said No, the record exists, or it failed).
    bool create(const QString& callsign, const QString& name, const QString& password, const QString& port);
    // New password and port for the current row's record, asked first.
    void edit(const QString& password, const QString& port);
    // Removes the current row's record, asked first. The slots stay until the next start.
    void deleteCurrent();
    // Removes, asked first, every record whose callsign's car is no longer assigned to its driver.
    void cleanUp();
    // Takes the current row's driver off the air, asked first: his port's connections closed and the port
    // shut until he logs in again, his records inactive and his car's connection mark gone.
    void forceOffCurrent();

signals:
    // The current row moved, or the grid was read anew; -1 when it has no rows.
    void currentRowChanged(int row);

private:
    void moveTo(int row);
    void restoreRow();
    void run(const std::function<void()>& operation);
    int portBound(const QString& select);
    int portAfterMainPort() const;
    std::optional<int> portNumber(const QString& port);
    void takeOffAir(const ConnectionRecord& record);

    Services& m_services;
    RecordsGridModel m_grid;
    int m_currentRow = -1;
    int m_rememberedRow = 0;
};

} // namespace taxi::net
