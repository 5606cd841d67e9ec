#include "app/open_files_limit.h"

#include <sys/resource.h>

namespace taxi {

void raiseOpenFilesLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    // A refusal leaves the old limit, which still works, only for fewer terminals.
    (void)setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace taxi
