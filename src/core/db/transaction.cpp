#include "core/db/transaction.h"

#include "core/db/attachment.h"
#include "core/db/firebird_client.h"

#include <QScopeGuard>
#include <ibase.h>

using namespace Firebird;

namespace taxi::db {

Transaction::Transaction(Attachment& attachment) : m_attachment(attachment) {
    m_attachment.enlist(this);
}

Transaction::~Transaction() {
    try {
        commitIfActive();
    } catch (const DbError&) {
        forget();
    }
    m_attachment.delist(this);
}

ITransaction* Transaction::ensureStarted() {
    if (!m_handle) {
        fb::guarded([&] {
            fb::Status status;
            if (m_lockTimeoutSeconds == 0) {
                m_handle = m_attachment.handle()->startTransaction(&status, 0, nullptr);
                return;
            }
            IXpbBuilder* tpb = fb::util()->getXpbBuilder(&status, IXpbBuilder::TPB, nullptr, 0);
            const auto disposeTpb = qScopeGuard([tpb] { tpb->dispose(); });
            for (const unsigned char item : {isc_tpb_concurrency, isc_tpb_write, isc_tpb_wait})
                tpb->insertTag(&status, item);
            tpb->insertInt(&status, isc_tpb_lock_timeout, m_lockTimeoutSeconds);
            m_handle = m_attachment.handle()->startTransaction(&status, tpb->getBufferLength(&status),
                                                               tpb->getBuffer(&status));
        });
    }
    return m_handle;
}

void Transaction::commitIfActive() {
    if (!m_handle)
        return;
    fb::guarded([&] {
        fb::Status status;
        m_handle->commit(&status); // a successful commit releases the interface
        m_handle = nullptr;
    });
}

void Transaction::rollbackIfActive() {
    if (!m_handle)
        return;
    fb::guarded([&] {
        fb::Status status;
        m_handle->rollback(&status);
        m_handle = nullptr;
    });
}

void Transaction::forget() {
    if (m_handle) {
        m_handle->release();
        m_handle = nullptr;
    }
}

} // namespace taxi::db
