#include "core/single_instance.h"

#include <QDir>

namespace taxi {

SingleInstance::SingleInstance()
    : m_lock(QDir(QDir::tempPath()).filePath(kMutexName + QStringLiteral(".lock"))) {
    m_lock.setStaleLockTime(0); // only a lock whose owner process is gone is stale
}

bool SingleInstance::acquire() {
    return m_lock.tryLock(0);
}

} // namespace taxi
