#pragma once

#include <QString>

namespace taxi {

class DataModule;

// The driver action journal DYA_VODIY_GPRS, written through a statement and transaction of its own
// so that an entry never commits or disturbs a command's unfinished work.
class Journal {
public:
    static constexpr int kActionLength = 50;

    explicit Journal(DataModule& data) : m_data(data) {}

    // Appends one entry; a failure loses the entry and nothing else. The caller tests the switch.
    void writeJournal(int callsign, int orderNumber, const QString& action);

private:
    DataModule& m_data;
};

} // namespace taxi
