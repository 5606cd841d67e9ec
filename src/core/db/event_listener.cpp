#include "core/db/event_listener.h"

#include "core/db/attachment.h"
#include "core/db/firebird_client.h"

#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <mutex>

using namespace Firebird;

namespace taxi::db {

namespace {
constexpr char kEventBlockVersion = 1;
constexpr int kCountSize = 4;

quint32 countAt(const QByteArray& block, qsizetype offset) {
    quint32 value = 0;
    for (int i = kCountSize - 1; i >= 0; --i)
        value = (value << 8) | quint8(block.at(offset + i));
    return value;
}
} // namespace

// Called by the client library on its own thread; hands every alert over to the listener's thread.
class EventCallback final : public IEventCallbackImpl<EventCallback, ThrowStatusWrapper> {
public:
    EventCallback(EventListener* target, quint64 generation) : m_target(target), m_generation(generation) {}

    void addRef() override { ++m_references; }
    int release() override {
        const int left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    void eventCallbackFunction(unsigned length, const ISC_UCHAR* events) override {
        if (length == 0 || events == nullptr)
            return; // the registration was cancelled
        const QByteArray counts(reinterpret_cast<const char*>(events), qsizetype(length));
        std::lock_guard lock(m_mutex);
        if (!m_target)
            return;
        EventListener* target = m_target;
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            target, [target, generation, counts] { target->deliver(generation, counts); },
            Qt::QueuedConnection);
    }

    // After this returns no alert is handed over any more.
    void disarm() {
        std::lock_guard lock(m_mutex);
        m_target = nullptr;
    }

private:
    std::atomic<int> m_references{1};
    std::mutex m_mutex;
    EventListener* m_target;
    quint64 m_generation;
};

EventListener::EventListener(QObject* parent) : QObject(parent) {}

EventListener::~EventListener() {
    try {
        cancel();
    } catch (const DbError&) {
        abandon();
    }
}

void EventListener::registerEvents(Attachment& attachment, const QStringList& names) {
    cancel();
    m_attachment = &attachment;
    m_names = names;
    m_block = QByteArray(1, kEventBlockVersion);
    for (const QString& name : names) {
        const QByteArray bytes = name.toLatin1();
        m_block.append(char(bytes.size()));
        m_block.append(bytes);
        m_block.append(QByteArray(kCountSize, '\0'));
    }
    m_primed = false;
    m_callback = new EventCallback(this, ++m_generation);
    queue();
}

void EventListener::queue() {
    fb::guarded([&] {
        fb::Status status;
        m_handle =
            m_attachment->handle()->queEvents(&status, m_callback, unsigned(m_block.size()),
                                              reinterpret_cast<const unsigned char*>(m_block.constData()));
    });
}

void EventListener::disarm() {
    if (m_callback) {
        m_callback->disarm();
        m_callback->release();
        m_callback = nullptr;
    }
    ++m_generation; // alerts already on their way are dropped on arrival
}

void EventListener::cancel() {
    disarm();
    if (!m_handle)
        return;
    IEvents* handle = std::exchange(m_handle, nullptr);
    fb::guarded([&] {
        fb::Status status;
        try {
            handle->cancel(&status); // releases the interface
        } catch (...) {
            handle->release();
            throw;
        }
    });
}

void EventListener::abandon() {
    disarm();
    if (m_handle) {
        m_handle->release();
        m_handle = nullptr;
    }
}

void EventListener::deliver(quint64 generation, const QByteArray& counts) {
    if (generation != m_generation || counts.size() != m_block.size())
        return;
    // The alert ends this registration: register again with the counts now known.
    if (m_handle) {
        m_handle->release();
        m_handle = nullptr;
    }
    QStringList firedNames;
    qsizetype offset = 1;
    for (const QString& name : std::as_const(m_names)) {
        offset += 1 + name.size();
        if (m_primed && countAt(counts, offset) > countAt(m_block, offset))
            firedNames.append(name);
        offset += kCountSize;
    }
    // The first alert after a registration only reports the counts so far.
    m_primed = true;
    m_block = counts;
    try {
        queue();
    } catch (const DbError&) {
        // The connection is gone; its loss is found and handled by the link test.
    }
    for (const QString& name : std::as_const(firedNames))
        emit fired(name);
}

} // namespace taxi::db
