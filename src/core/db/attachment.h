#pragma once

#include "core/db/statement_cache.h"

#include <QList>
#include <QString>
#include <chrono>
#include <functional>

namespace Firebird {
class IAttachment;
}

namespace taxi::db {

class Transaction;

// Who connects and how: user, password and the database name as the client library reads it.
struct Credentials {
    QString user;
    QString password;
};

// One connection to a database. Text travels as Windows-1251 (lc_ctype), SQL dialect 3.
class Attachment {
public:
    Attachment() = default;
    ~Attachment();
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

    void attach(const QString& databaseName, const Credentials& credentials);
    // Executes a CREATE DATABASE statement for the database of that name, then attaches to it.
    void create(const QString& databaseName, const QString& createDatabaseStatement,
                const Credentials& credentials);
    // Commits every open transaction of this connection, then detaches. The statements kept go with it.
    void detach();
    // Lets go of a connection that no longer answers, with its transactions and statements, without a
    // word to the server.
    void abandon();

    bool isAttached() const { return m_handle != nullptr; }
    const QString& databaseName() const { return m_databaseName; }
    // Asks the server for database information; false when it does not answer.
    bool probe() const;

    Firebird::IAttachment* handle() const;
    // The statements prepared on this connection, reused by every Query of its transactions.
    StatementCache& statements() { return m_statements; }

    // Told how long each statement on this connection took, preparing and fetching included.
    using StatementObserver = std::function<void(std::chrono::nanoseconds took)>;
    void setStatementObserver(StatementObserver observer) { m_statementObserver = std::move(observer); }
    void noteStatement(std::chrono::nanoseconds took) const {
        if (m_statementObserver)
            m_statementObserver(took);
    }

private:
    friend class Transaction;
    void enlist(Transaction* transaction) { m_transactions.append(transaction); }
    void delist(Transaction* transaction) { m_transactions.removeAll(transaction); }
    void forgetTransactions();

    Firebird::IAttachment* m_handle = nullptr;
    QString m_databaseName;
    QList<Transaction*> m_transactions;
    StatementCache m_statements;
    StatementObserver m_statementObserver;
};

} // namespace taxi::db
