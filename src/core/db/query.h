#pragma once

#include "core/db/result_set.h"
#include "core/db/sql_value.h"

#include <QStringList>

namespace taxi::db {

class Transaction;

// A statement object of the data module: each use takes the statement of the given lines (joined by
// line breaks), prepared on the transaction's attachment by the first use of that text and kept there,
// binds the values to its "?" marks and runs it in the object's transaction.
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
