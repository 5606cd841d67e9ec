#pragma once

#include "core/db/attachment.h"

#include <chrono>

namespace taxi::test {
struct DemoDriver;
}

namespace taxi::bench {

// How many requests a second the database alone allows: the statements of a driver's "@PZ7@" and "@S@"
// (the count of his unread messages, the journal entry of the stand table), in the transactions the
// service runs them in, run one pair after the other by the data layer on a connection of its own,
// without sockets, framing or replies.
struct StatementLimit {
    qint64 requests = 0; // or statements, for Workload::Statement
    double seconds = 0;
    double perSecond() const { return seconds > 0 ? double(requests) / seconds : 0; }
};

enum class Preparing {
    EachTime, // every use prepares its statement, as the data layer did before it kept them
    Once,     // the statements are kept by the connection
};

enum class Workload {
    Requests,  // "@PZ7@" and "@S@" by turns, each in its transactions
    Statement, // the count of "@PZ7@" alone, a hundred in a transaction: what a prepare costs one statement
};

// Runs for that long for a driver in the pool (no stand, so "@PZ7@" reads no stand rows).
StatementLimit measureStatementLimit(const QString& databaseName, const db::Credentials& credentials,
                                     const test::DemoDriver& driver, Preparing preparing,
                                     std::chrono::milliseconds duration,
                                     Workload workload = Workload::Requests);

} // namespace taxi::bench
