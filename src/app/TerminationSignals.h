#pragma once

class QObject;

namespace app {

// Makes SIGINT, SIGTERM and SIGHUP (a closed terminal, the end of the session, `kill`) remove this
// run's private folder before the program ends, as a normal exit does: it may hold attachments of
// the mail being read. The program then ends at once with 128 + the signal's number. Call once,
// from the main thread, with the application as parent; nothing on systems without these signals.
void removeRunFolderOnTermination(QObject* parent);

} // namespace app
