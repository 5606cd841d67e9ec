#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

namespace Firebird {
class IEvents;
}

namespace taxi::db {

class Attachment;
class EventCallback;

// Waits for named database events on the client library's threads and reports each event
// that fired on the thread that owns the listener (the Qt main thread), one report per name
// and delivery however often the event was posted in between.
class EventListener : public QObject {
    Q_OBJECT
public:
    explicit EventListener(QObject* parent = nullptr);
    ~EventListener() override;

    // Registers the names on the attachment; replaces an earlier registration.
    void registerEvents(Attachment& attachment, const QStringList& names);
    // Drops the registration; no report arrives after it returns.
    void cancel();
    // Drops the registration of a connection that no longer answers, without a call to the server.
    void abandon();
    bool isRegistered() const { return m_handle != nullptr; }

signals:
    void fired(const QString& name);

private:
    friend class EventCallback;
    void deliver(quint64 generation, const QByteArray& counts);
    void queue();
    void disarm();

    Attachment* m_attachment = nullptr;
    QStringList m_names;
    QByteArray m_block; // event parameter block with the counts last seen
    bool m_primed = false;
    quint64 m_generation = 0;
    Firebird::IEvents* m_handle = nullptr;
    EventCallback* m_callback = nullptr;
};

} // namespace taxi::db
