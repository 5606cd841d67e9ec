#pragma once

namespace taxi {

// Raises the process's limit of open files to the most the system allows it. Every terminal holds a
// connection and every driver port a listener; the usual default of 1024 is soon reached.
void raiseOpenFilesLimit();

} // namespace taxi
