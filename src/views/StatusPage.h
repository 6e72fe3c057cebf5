#pragma once

#include <QString>

namespace views {

// The status pages the scan shows (scan started, scan completed) and the file they are written
// to: named after the program's file with every ".exe" removed, followed by "temp.html", in the
// program run's private folder (not beside the program: that folder may be shared or read-only),
// with the status pictures copied beside the page so that it finds them by relative name. Any
// thread.
class StatusPage
{
public:
    static QString loadingFragment();
    static QString doneFragment();
    // After a scan the user stopped: its results are gone.
    static QString stoppedFragment();
    // After a scan that failed: `message` as the program said it, `reason` in the store
    // reader's words (may be empty). Both are escaped.
    static QString failedFragment(const QString& message, const QString& reason);
    // The picture files the fragments name ("loading.gif", "done.gif").
    static QStringList pictureNames();

    // The page path by the program-path rule, without regard to whether it is writable.
    static QString pagePathBesideProgram(const QString& programPath);
    // The page path to use: in `folder`, under the file name the program-path rule gives. Empty
    // without a folder: no page rather than one in whatever the working directory is.
    static QString pagePath(const QString& programPath, const QString& folder);

    // Writes `fragment` to `pagePath`; when the page is not beside the program, copies the
    // pictures found in `programFolder` next to it first (missing pictures are no failure).
    // Returns false when the page could not be written.
    static bool write(const QString& pagePath, const QString& fragment, const QString& programFolder);
};

} // namespace views
