// The program's command line: names and switches. Only '-' starts a
// switch here, since '/' starts an absolute path.
#pragma once

#include <QString>
#include <QStringList>

namespace tolvan {

struct TCommandLine {
    QString source;       // the first parameter that is no switch; empty when none
    QString destination;  // the second one; empty when none
    QStringList switches; // every parameter that begins with '-'

    // True when some switch is '-' followed by letter alone, in either case.
    bool Has(char letter) const;
};

TCommandLine ParseCommandLine(const QStringList& parameters);

// True when the parameters ask for the usage ("--help", "-h", "-?"); the
// program then prints kUsage and ends without opening a window.
bool HelpRequested(const QStringList& parameters);

inline constexpr char kUsage[] =
    "Usage: tolvan [SOURCE [OUTPUT-FOLDER]] [-o] [-e]\n"
    "Recovers Outlook Express messages from a disk, a volume or a disk-image file.\n"
    "\n"
    "Without parameters the window opens for you to choose. With a SOURCE (a disk-image\n"
    "file or a device such as /dev/sdb) the Recovery page is filled in and the recovery\n"
    "starts at once, into OUTPUT-FOLDER (made when it does not exist; by default the\n"
    "source's path with \".recovered\" appended).\n"
    "\n"
    "  -o          open the output folder when the recovery has written messages\n"
    "  -e          end the program when the recovery is over, without waiting for a\n"
    "              click; the exit status is then 0 when every message was written,\n"
    "              3 when some could not be (or the run was stopped), 1 on failure\n"
    "  -h, --help  print this text and exit\n";

}  // namespace tolvan
