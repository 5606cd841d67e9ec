#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace taxi {

// The order flow as the console's flow page shows it: the open orders nobody has taken, in the order of
// the time they are for. Replaced whole by each rebuild; "@LNZ@" serves the last one.
class OrderFlow : public QObject {
    Q_OBJECT
public:
    static inline const QString kPushFlagAtStart = QStringLiteral("Сигнал створення замовлення");
    static inline const QString kPushOn = QStringLiteral("1");
    static inline const QString kPushOff = QStringLiteral("0");

    explicit OrderFlow(QObject* parent = nullptr) : QObject(parent) {}

    // ListBox3: each order's ZAMOVL_NUMBER as text; ListBox4: its display line, same order and count.
    const QStringList& numbers() const { return m_numbers; }
    const QStringList& lines() const { return m_lines; }
    // Label39 and Label40: the orders listed and how many of them are free rides.
    int count() const { return int(m_numbers.size()); }
    int freeRideCount() const { return m_freeRideCount; }

    // Label36: "1" makes the next rebuild tell the terminals showing the flow; set by the order events.
    const QString& pushFlag() const { return m_pushFlag; }
    void setPushFlag(const QString& flag) { m_pushFlag = flag; }
    bool pushRequested() const { return m_pushFlag == kPushOn; }

    void replace(QStringList numbers, QStringList lines, int freeRideCount);

signals:
    void changed();

private:
    QStringList m_numbers;
    QStringList m_lines;
    int m_freeRideCount = 0;
    QString m_pushFlag = kPushFlagAtStart;
};

} // namespace taxi
