#pragma once

#include <QLockFile>
#include <QString>

namespace taxi {

// One copy of the service per machine: a lock file named after the system mutex, in the system's
// temporary folder (TMPDIR moves it). A lock left by a crashed copy is taken over.
class SingleInstance {
public:
    static inline const QString kMutexName = QStringLiteral("Korvent - TAXI JAVA DRIVER");
    static inline const QString kSecondCopyRefused =
        QStringLiteral("Немає можливості відкриття більше однієї копії програми !!!");

    SingleInstance();
    // False when another copy holds the lock.
    bool acquire();

private:
    QLockFile m_lock;
};

} // namespace taxi
