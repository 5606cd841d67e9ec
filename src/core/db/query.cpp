#include "core/db/query.h"

#include "core/date_time_text.h"
#include "core/db/attachment.h"
#include "core/db/firebird_client.h"
#include "core/db/statement_cache.h"
#include "core/db/transaction.h"
#include "core/text_codec.h"

#include <QElapsedTimer>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

using namespace Firebird;

namespace taxi::db {

namespace {

constexpr unsigned kCharsetWin1251 = 52;
constexpr unsigned kCharsetUnicodeFss = 3;
constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kStatementDelete = 4; // isc_info_sql_stmt_delete
constexpr unsigned kBlobSegment = 16384;

// Releases a reference-counted interface of the client library at the end of a scope.
struct Releaser {
    template <typename T> void operator()(T* object) const {
        if (object)
            object->release();
    }
};
template <typename T> using Owned = std::unique_ptr<T, Releaser>;

// The statement's parameters, with the types of the values we bind rather than the described ones:
// the server converts them, so a text can stand where a number is expected and the other way round.
struct InputMessage {
    Owned<IMessageMetadata> metadata;
    QByteArray buffer;
    unsigned char* data() {
        return buffer.isEmpty() ? nullptr : reinterpret_cast<unsigned char*>(buffer.data());
    }
};

// How many characters a text parameter holds, as the statement describes it (the column it is compared
// with or stored in); nullopt for a parameter that is not text.
std::optional<unsigned> textCapacity(fb::Status& status, IMessageMetadata* described, unsigned i) {
    const unsigned type = described->getType(&status, i) & ~1u;
    if (type != SQL_TEXT && type != SQL_VARYING)
        return std::nullopt;
    const unsigned charset = described->getCharSet(&status, i) & 0xFF;
    const unsigned bytesPerCharacter = charset == kCharsetUtf8 ? 4 : charset == kCharsetUnicodeFss ? 3 : 1;
    return described->getLength(&status, i) / bytesPerCharacter;
}

// A text longer than its parameter can hold (blanks at its end aside, which comparisons ignore) equals
// nothing stored there. Such a value is a mismatch, not an error for the operator.
bool holdsOverlongText(fb::Status& status, IMessageMetadata* described, const SqlParams& params) {
    const unsigned count = described->getCount(&status);
    if (count != unsigned(params.size()))
        return false; // the binding reports it
    for (unsigned i = 0; i < count; ++i) {
        const QString* text = std::get_if<QString>(&params.at(i).storage());
        if (!text)
            continue;
        const std::optional<unsigned> capacity = textCapacity(status, described, i);
        qsizetype length = text->size();
        while (length > 0 && text->at(length - 1) == QLatin1Char(' '))
            --length;
        if (capacity && length > qsizetype(*capacity))
            return true;
    }
    return false;
}

InputMessage bindParameters(fb::Status& status, IMessageMetadata* described, const SqlParams& params) {
    const unsigned count = described->getCount(&status);
    if (count != unsigned(params.size())) {
        throw DbError(QStringLiteral("The statement has %1 parameters, %2 values were given")
                          .arg(count)
                          .arg(params.size()));
    }
    InputMessage message;
    if (count == 0)
        return message;

    QList<QByteArray> texts(params.size());
    Owned<IMetadataBuilder> builder(described->getBuilder(&status));
    for (unsigned i = 0; i < count; ++i) {
        const SqlValue::Storage& value = params.at(i).storage();
        if (std::holds_alternative<qint64>(value)) {
            builder->setType(&status, i, SQL_INT64);
            builder->setLength(&status, i, sizeof(qint64));
            builder->setScale(&status, i, 0);
        } else if (const QString* text = std::get_if<QString>(&value)) {
            texts[i] = toWin1251(*text);
            builder->setType(&status, i, SQL_VARYING);
            builder->setLength(&status, i, unsigned(qMax<qsizetype>(1, texts[i].size())));
            builder->setCharSet(&status, i, kCharsetWin1251);
            builder->setScale(&status, i, 0);
        } else if (std::holds_alternative<QDateTime>(value)) {
            builder->setType(&status, i, SQL_TIMESTAMP);
            builder->setLength(&status, i, sizeof(ISC_TIMESTAMP));
            builder->setScale(&status, i, 0);
        }
    }
    message.metadata.reset(builder->getMetadata(&status));
    IMessageMetadata* metadata = message.metadata.get();
    message.buffer = QByteArray(qsizetype(metadata->getMessageLength(&status)), '\0');
    char* base = message.buffer.data();

    for (unsigned i = 0; i < count; ++i) {
        const SqlValue::Storage& value = params.at(i).storage();
        auto* nullFlag = reinterpret_cast<short*>(base + metadata->getNullOffset(&status, i));
        char* field = base + metadata->getOffset(&status, i);
        *nullFlag = std::holds_alternative<std::monostate>(value) ? -1 : 0;
        if (const qint64* number = std::get_if<qint64>(&value)) {
            std::memcpy(field, number, sizeof *number);
        } else if (std::holds_alternative<QString>(value)) {
            const auto length = static_cast<unsigned short>(texts[i].size());
            std::memcpy(field, &length, sizeof length);
            std::memcpy(field + sizeof length, texts[i].constData(), length);
        } else if (const QDateTime* moment = std::get_if<QDateTime>(&value)) {
            const QDate date = moment->date();
            const QTime time = moment->time();
            ISC_TIMESTAMP stamp;
            stamp.timestamp_date =
                fb::util()->encodeDate(unsigned(date.year()), unsigned(date.month()), unsigned(date.day()));
            stamp.timestamp_time =
                fb::util()->encodeTime(unsigned(time.hour()), unsigned(time.minute()),
                                       unsigned(time.second()), unsigned(time.msec()) * 10);
            std::memcpy(field, &stamp, sizeof stamp);
        }
    }
    return message;
}

QString decodeDate(ISC_DATE value) {
    unsigned year = 0, month = 0, day = 0;
    fb::util()->decodeDate(value, &year, &month, &day);
    return databaseDate(QDate(int(year), int(month), int(day)));
}

QString decodeTime(ISC_TIME value) {
    unsigned hours = 0, minutes = 0, seconds = 0, fractions = 0;
    fb::util()->decodeTime(value, &hours, &minutes, &seconds, &fractions);
    return databaseTime(QTime(int(hours), int(minutes), int(seconds)));
}

Field scaledNumber(qint64 value, int scale) {
    if (scale == 0)
        return Field::integer(value);
    const double number = double(value) * std::pow(10.0, scale);
    return Field::number(QString::number(number, 'f', -scale), qint64(std::llround(number)));
}

QByteArray readBlob(fb::Status& status, Transaction& transaction, ISC_QUAD blobId) {
    Owned<IBlob> blob(transaction.attachment().handle()->openBlob(&status, transaction.ensureStarted(),
                                                                  &blobId, 0, nullptr));
    QByteArray content;
    char segment[kBlobSegment];
    for (;;) {
        unsigned length = 0;
        const int result = blob->getSegment(&status, sizeof segment, segment, &length);
        if (result != IStatus::RESULT_OK && result != IStatus::RESULT_SEGMENT)
            break;
        content.append(segment, length);
    }
    blob->close(&status);
    (void)blob.release(); // close() released the interface
    return content;
}

Field decodeField(fb::Status& status, Transaction& transaction, IMessageMetadata* metadata, unsigned i,
                  const char* base) {
    if (*reinterpret_cast<const short*>(base + metadata->getNullOffset(&status, i)))
        return Field::null();
    const char* field = base + metadata->getOffset(&status, i);
    const int scale = metadata->getScale(&status, i);
    switch (metadata->getType(&status, i) & ~1u) {
    case SQL_TEXT: {
        // CHAR columns come padded with blanks, which no reader of them wants.
        QString text = fromWin1251(QByteArrayView(field, metadata->getLength(&status, i)));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return Field::text(text);
    }
    case SQL_VARYING: {
        unsigned short length = 0;
        std::memcpy(&length, field, sizeof length);
        return Field::text(fromWin1251(QByteArrayView(field + sizeof length, length)));
    }
    case SQL_SHORT: {
        short value = 0;
        std::memcpy(&value, field, sizeof value);
        return scaledNumber(value, scale);
    }
    case SQL_LONG: {
        qint32 value = 0;
        std::memcpy(&value, field, sizeof value);
        return scaledNumber(value, scale);
    }
    case SQL_INT64: {
        qint64 value = 0;
        std::memcpy(&value, field, sizeof value);
        return scaledNumber(value, scale);
    }
    case SQL_FLOAT: {
        float value = 0;
        std::memcpy(&value, field, sizeof value);
        return Field::number(QString::number(double(value), 'g', 7), qint64(std::llround(value)));
    }
    case SQL_DOUBLE: {
        double value = 0;
        std::memcpy(&value, field, sizeof value);
        return Field::number(QString::number(value, 'g', 15), qint64(std::llround(value)));
    }
    case SQL_BOOLEAN:
        return Field::integer(*reinterpret_cast<const unsigned char*>(field) ? 1 : 0);
    case SQL_TYPE_DATE: {
        ISC_DATE value;
        std::memcpy(&value, field, sizeof value);
        return Field::date(decodeDate(value));
    }
    case SQL_TYPE_TIME: {
        ISC_TIME value;
        std::memcpy(&value, field, sizeof value);
        return Field::time(decodeTime(value));
    }
    case SQL_TIMESTAMP: {
        ISC_TIMESTAMP value;
        std::memcpy(&value, field, sizeof value);
        return Field::timestamp(decodeDate(value.timestamp_date) + QLatin1Char(' ') +
                                decodeTime(value.timestamp_time));
    }
    case SQL_BLOB: {
        ISC_QUAD blobId;
        std::memcpy(&blobId, field, sizeof blobId);
        return Field::text(fromWin1251(readBlob(status, transaction, blobId)));
    }
    default:
        throw DbError(QStringLiteral("Unsupported column type %1").arg(metadata->getType(&status, i)));
    }
}

// Runs the statement of the lines, prepared on the transaction's attachment or kept there from an earlier
// use. A statement whose run the client library refuses is dropped, and prepared afresh by its next use.
// Tells the connection how long a statement took, however it ended.
class StatementTiming {
public:
    explicit StatementTiming(const Attachment& attachment) : m_attachment(attachment) { m_took.start(); }
    ~StatementTiming() { m_attachment.noteStatement(std::chrono::nanoseconds(m_took.nsecsElapsed())); }
    StatementTiming(const StatementTiming&) = delete;
    StatementTiming& operator=(const StatementTiming&) = delete;

private:
    const Attachment& m_attachment;
    QElapsedTimer m_took;
};

template <typename Run> auto runPrepared(Transaction& transaction, const QStringList& lines, Run&& run) {
    const StatementTiming timing(transaction.attachment());
    StatementCache& statements = transaction.attachment().statements();
    const QByteArray text = toWin1251(lines.join(QLatin1Char('\n')));
    const std::shared_ptr<PreparedStatement> statement = statements.prepared(transaction, text);
    return fb::guarded([&] {
        try {
            return run(*statement);
        } catch (const FbException&) {
            statements.forget(text);
            throw;
        }
    });
}

} // namespace

ResultSet Query::select(const QStringList& lines, const SqlParams& params) {
    return runPrepared(m_transaction, lines, [&](PreparedStatement& statement) {
        fb::Status status;
        const QSharedPointer<const QStringList>& columns = statement.columns;
        if (holdsOverlongText(status, statement.input, params))
            return ResultSet(columns, {});
        InputMessage input = bindParameters(status, statement.input, params);

        IMessageMetadata* output = statement.output;
        Owned<IResultSet> cursor(statement.handle->openCursor(&status, m_transaction.ensureStarted(),
                                                              input.metadata.get(), input.data(), output, 0));
        const unsigned count = output->getCount(&status);
        QByteArray buffer(qsizetype(output->getMessageLength(&status)), '\0');
        QList<Row> rows;
        while (cursor->fetchNext(&status, buffer.data()) == IStatus::RESULT_OK) {
            QList<Field> fields;
            fields.reserve(count);
            for (unsigned i = 0; i < count; ++i)
                fields.append(decodeField(status, m_transaction, output, i, buffer.constData()));
            rows.append(Row(columns, std::move(fields)));
        }
        cursor->close(&status);
        (void)cursor.release(); // close() released the interface
        return ResultSet(columns, std::move(rows));
    });
}

void Query::execute(const QStringList& lines, const SqlParams& params) {
    runPrepared(m_transaction, lines, [&](PreparedStatement& statement) {
        fb::Status status;
        if (holdsOverlongText(status, statement.input, params)) {
            // A deletion finds nothing to delete; a value that was to be stored must not be lost quietly.
            if (statement.type == kStatementDelete)
                return;
            throw DbError(
                QStringLiteral("A value is longer than the field it is written to or compared with"));
        }
        InputMessage input = bindParameters(status, statement.input, params);
        statement.handle->execute(&status, m_transaction.ensureStarted(), input.metadata.get(), input.data(),
                                  nullptr, nullptr);
    });
}

} // namespace taxi::db
