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

}  // namespace tolvan
