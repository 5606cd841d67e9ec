#pragma once

namespace Firebird {
class ITransaction;
}

namespace taxi::db {

class Attachment;

// A transaction that starts by itself with the first statement run on it
// (snapshot isolation, waiting on lock conflicts, read-write).
class Transaction {
public:
    explicit Transaction(Attachment& attachment);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool isActive() const { return m_handle != nullptr; }
    // Waits at most this long for a row another transaction holds, from the next start on
    // (0: the default, wait as long as it takes).
    void setLockTimeout(int seconds) { m_lockTimeoutSeconds = seconds; }
    void commitIfActive();
    void rollbackIfActive();

    Attachment& attachment() const { return m_attachment; }
    // The running transaction, started when none runs.
    Firebird::ITransaction* ensureStarted();

private:
    friend class Attachment;
    // The connection went away: the handle is released without a call to the server.
    void forget();

    Attachment& m_attachment;
    Firebird::ITransaction* m_handle = nullptr;
    int m_lockTimeoutSeconds = 0;
};

} // namespace taxi::db
