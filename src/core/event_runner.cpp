#include "core/event_runner.h"

#include "core/data_module.h"
#include "core/db/db_error.h"
#include "core/operator.h"

#include <QScopedValueRollback>
#include <QThread>
#include <exception>

namespace taxi {

void EventRunner::reportCurrentException() {
    try {
        throw;
    } catch (const db::DbError& error) {
        m_operator.showError(error.message());
    } catch (const std::exception& error) {
        m_operator.showError(QString::fromUtf8(error.what()));
    }
}

void EventRunner::run(const std::function<void()>& handler) {
    if (m_eventLoopLevel == QThread::currentThread()->loopLevel()) {
        handler(); // raised by the event being handled: its failure is that event's failure
        return;
    }
    runOutermost(handler);
}

void EventRunner::runOutermost(const std::function<void()>& handler) {
    const QScopedValueRollback handling(m_eventLoopLevel, QThread::currentThread()->loopLevel());
    try {
        handler();
    } catch (...) {
        reportCurrentException();
    }
    try {
        m_data.commitOpenWrites();
    } catch (...) {
        reportCurrentException();
    }
}

} // namespace taxi
