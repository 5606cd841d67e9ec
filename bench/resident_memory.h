#pragma once

#include <QtGlobal>

namespace taxi::bench {

// The resident memory of this process, or of the process with that id, in KiB (VmRSS); 0 when it cannot be
// read.
qint64 residentKb();
qint64 residentKb(qint64 processId);

} // namespace taxi::bench
