#pragma once

#include <QObject>

namespace taxi {

// The incoming (Label17) and outgoing (Label18) byte counters of the window's header band.
class TrafficCounters : public QObject {
    Q_OBJECT
public:
    qint64 incoming() const { return m_incoming; }
    qint64 outgoing() const { return m_outgoing; }

    void addIncoming(qint64 bytes) {
        m_incoming += bytes;
        emit changed();
    }
    void addOutgoing(qint64 bytes) {
        m_outgoing += bytes;
        emit changed();
    }
    void reset() {
        m_incoming = m_outgoing = 0;
        emit changed();
    }

signals:
    void changed();

private:
    qint64 m_incoming = 0;
    qint64 m_outgoing = 0;
};

} // namespace taxi
