#pragma once

#include <QtGlobal>

namespace taxi::bench {

// The resident memory of this process in KiB (VmRSS), 0 when it cannot be read.
qint64 residentKb();

} // namespace taxi::bench
