#include "push/order_flow.h"

namespace taxi {

void OrderFlow::replace(QStringList numbers, QStringList lines, int freeRideCount) {
    Q_ASSERT(numbers.size() == lines.size());
    m_numbers = std::move(numbers);
    m_lines = std::move(lines);
    m_freeRideCount = freeRideCount;
    emit changed();
}

} // namespace taxi
