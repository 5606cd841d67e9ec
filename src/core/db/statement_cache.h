#pragma once

#include <QByteArray>
#include <QHash>
#include <QSharedPointer>
#include <QStringList>
#include <memory>

namespace Firebird {
class IStatement;
class IMessageMetadata;
} // namespace Firebird

namespace taxi::db {

class Transaction;

// A statement prepared on an attachment, with what every run of it reads: the described parameters and
// columns. It can run in any transaction of its attachment.
struct PreparedStatement {
    PreparedStatement() = default;
    ~PreparedStatement();
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    Firebird::IStatement* handle = nullptr;
    Firebird::IMessageMetadata* input = nullptr;
    Firebird::IMessageMetadata* output = nullptr;
    QSharedPointer<const QStringList> columns; // the output's column names, shared by the rows read
    unsigned type = 0;                         // isc_info_sql_stmt_*
};

// The statements one attachment has prepared, kept by their text (Windows-1251, lines joined) for as long
// as the attachment lives. A statement's text never holds a value, so the service has a few dozen texts
// and each is prepared once instead of on every use, which costs the server as much as running it.
//
// Only statements that may run again are kept (not DDL); a statement whose run failed is dropped, so that
// whatever went wrong with it is prepared afresh. The capacity bounds what the server holds for us should
// texts ever vary; the least recently used statement makes room. Capacity 0 keeps nothing: every use
// prepares its statement, as the layer did before it had the cache.
class StatementCache {
public:
    static constexpr int kDefaultCapacity = 128;

    StatementCache() = default;
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement of that text, prepared on the transaction's attachment when it is not kept yet.
    std::shared_ptr<PreparedStatement> prepared(Transaction& transaction, const QByteArray& text);
    // Drops the statement of that text, after a failure of its run.
    void forget(const QByteArray& text) { m_entries.remove(text); }
    // Lets go of every statement (the attachment is going away). Nothing is asked of the server here:
    // a lost link must not hold the service up.
    void clear() { m_entries.clear(); }

    int size() const { return int(m_entries.size()); }
    int capacity() const { return m_capacity; }
    void setCapacity(int capacity);

private:
    struct Entry {
        std::shared_ptr<PreparedStatement> statement;
        quint64 lastUse = 0;
    };
    void makeRoom();

    QHash<QByteArray, Entry> m_entries;
    int m_capacity = kDefaultCapacity;
    quint64 m_uses = 0;
};

} // namespace taxi::db
