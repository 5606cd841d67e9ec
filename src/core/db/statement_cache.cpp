#include "core/db/statement_cache.h"

#include "core/db/attachment.h"
#include "core/db/firebird_client.h"
#include "core/db/transaction.h"

#include <algorithm>

using namespace Firebird;

namespace taxi::db {

PreparedStatement::~PreparedStatement() {
    for (IReferenceCounted* object :
         {static_cast<IReferenceCounted*>(output), static_cast<IReferenceCounted*>(input),
          static_cast<IReferenceCounted*>(handle)}) {
        if (object)
            object->release();
    }
}

std::shared_ptr<PreparedStatement> StatementCache::prepared(Transaction& transaction,
                                                            const QByteArray& text) {
    if (const auto kept = m_entries.find(text); kept != m_entries.end()) {
        kept->lastUse = ++m_uses;
        return kept->statement;
    }
    auto statement = std::make_shared<PreparedStatement>();
    const unsigned flags = fb::guarded([&] {
        fb::Status status;
        statement->handle = transaction.attachment().handle()->prepare(
            &status, transaction.ensureStarted(), unsigned(text.size()), text.constData(), 3,
            IStatement::PREPARE_PREFETCH_METADATA);
        statement->input = statement->handle->getInputMetadata(&status);
        statement->output = statement->handle->getOutputMetadata(&status);
        statement->type = statement->handle->getType(&status);
        auto columns = QSharedPointer<QStringList>::create();
        const unsigned count = statement->output->getCount(&status);
        for (unsigned i = 0; i < count; ++i)
            columns->append(QString::fromUtf8(statement->output->getAlias(&status, i)));
        statement->columns = columns;
        return statement->handle->getFlags(&status);
    });
    if (m_capacity > 0 && (flags & IStatement::FLAG_REPEAT_EXECUTE)) {
        makeRoom();
        m_entries.insert(text, {statement, ++m_uses});
    }
    return statement;
}

void StatementCache::setCapacity(int capacity) {
    m_capacity = std::max(0, capacity);
    while (size() > m_capacity)
        makeRoom();
}

void StatementCache::makeRoom() {
    if (m_entries.isEmpty() || size() < m_capacity)
        return;
    const auto leastRecent =
        std::min_element(m_entries.begin(), m_entries.end(),
                         [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
    m_entries.erase(leastRecent);
}

} // namespace taxi::db
