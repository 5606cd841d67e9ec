#include "core/db/attachment.h"

#include "core/db/firebird_client.h"
#include "core/db/transaction.h"
#include "core/text_codec.h"

#include <QScopeGuard>
#include <ibase.h>

using namespace Firebird;

namespace taxi::db {

namespace {

QByteArray connectionParameters(const Credentials& credentials) {
    fb::Status status;
    IXpbBuilder* dpb = fb::util()->getXpbBuilder(&status, IXpbBuilder::DPB, nullptr, 0);
    const auto disposeDpb = qScopeGuard([dpb] { dpb->dispose(); });
    dpb->insertString(&status, isc_dpb_user_name, toWin1251(credentials.user).constData());
    dpb->insertString(&status, isc_dpb_password, toWin1251(credentials.password).constData());
    dpb->insertString(&status, isc_dpb_lc_ctype, "WIN1251");
    dpb->insertInt(&status, isc_dpb_sql_dialect, 3);
    return QByteArray(reinterpret_cast<const char*>(dpb->getBuffer(&status)), dpb->getBufferLength(&status));
}

} // namespace

Attachment::~Attachment() {
    if (!m_handle)
        return;
    try {
        detach();
    } catch (const DbError&) {
        abandon();
    }
}

IAttachment* Attachment::handle() const {
    if (!m_handle)
        throw DbError(QStringLiteral("Немає з'єднання з базою даних"));
    return m_handle;
}

void Attachment::attach(const QString& databaseName, const Credentials& credentials) {
    if (m_handle)
        detach();
    fb::guarded([&] {
        fb::Status status;
        const QByteArray dpb = connectionParameters(credentials);
        IProvider* provider = fb::master()->getDispatcher();
        IAttachment* handle = nullptr;
        try {
            handle =
                provider->attachDatabase(&status, toWin1251(databaseName).constData(), unsigned(dpb.size()),
                                         reinterpret_cast<const unsigned char*>(dpb.constData()));
        } catch (...) {
            provider->release();
            throw;
        }
        provider->release();
        m_handle = handle;
    });
    m_databaseName = databaseName;
}

void Attachment::create(const QString& databaseName, const QString& createDatabaseStatement,
                        const Credentials& credentials) {
    if (m_handle)
        detach();
    // The statement makes the file; the connection is then made anew with our own parameters.
    fb::guarded([&] {
        fb::Status status;
        const QByteArray statement = toWin1251(createDatabaseStatement);
        FB_BOOLEAN isCreateDatabase = FB_FALSE;
        IAttachment* created = fb::util()->executeCreateDatabase(&status, unsigned(statement.size()),
                                                                 statement.constData(), 3, &isCreateDatabase);
        if (!isCreateDatabase) {
            if (created)
                created->release();
            throw DbError(QStringLiteral("Not a CREATE DATABASE statement"));
        }
        created->detach(&status);
        created->release();
    });
    attach(databaseName, credentials);
}

void Attachment::detach() {
    if (!m_handle)
        return;
    m_statements.clear();
    for (Transaction* transaction : std::as_const(m_transactions)) {
        try {
            transaction->commitIfActive();
        } catch (const DbError&) {
            transaction->forget();
        }
    }
    fb::guarded([&] {
        fb::Status status;
        try {
            m_handle->detach(&status);
        } catch (...) {
            m_handle->release();
            m_handle = nullptr;
            throw;
        }
        m_handle->release();
        m_handle = nullptr;
    });
}

void Attachment::abandon() {
    m_statements.clear();
    forgetTransactions();
    if (m_handle) {
        m_handle->release();
        m_handle = nullptr;
    }
}

void Attachment::forgetTransactions() {
    for (Transaction* transaction : std::as_const(m_transactions))
        transaction->forget();
}

bool Attachment::probe() const {
    if (!m_handle)
        return false;
    try {
        fb::Status status;
        const unsigned char items[] = {isc_info_reads};
        unsigned char buffer[64];
        m_handle->getInfo(&status, sizeof items, items, sizeof buffer, buffer);
        return buffer[0] == isc_info_reads;
    } catch (const FbException&) {
        return false;
    }
}

} // namespace taxi::db
