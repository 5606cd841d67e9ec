#pragma once

#include "core/db/result_set.h"
#include "core/db/sql_value.h"

#include <QStringList>

namespace taxi::db {

class Transaction;

// A statement object of the data module: each use prepares the given lines (joined by line
// breaks) on the object's transaction, binds the values to its "?" marks and runs it.
class Query {
public:
    explicit Query(Transaction& transaction) : m_transaction(transaction) {}

    ResultSet select(const QStringList& lines, const SqlParams& params = {});
    void execute(const QStringList& lines, const SqlParams& params = {});

    Transaction& transaction() const { return m_transaction; }

private:
    Transaction& m_transaction;
};

} // namespace taxi::db
