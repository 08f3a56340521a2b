#include "TolvanCommandLine.h"

namespace tolvan {

bool TCommandLine::Has(char letter) const {
    const QString wanted = QStringLiteral("-") + QLatin1Char(letter);
    for (const QString& parameter : switches) {
        if (parameter.compare(wanted, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

TCommandLine ParseCommandLine(const QStringList& parameters) {
    TCommandLine line;
    int names = 0;
    for (const QString& parameter : parameters) {
        if (parameter.startsWith(QLatin1Char('-'))) {
            line.switches.append(parameter);
        } else if (names++ == 0) {
            line.source = parameter;
        } else if (names == 2) {
            line.destination = parameter;
        }
    }
    return line;
}

bool HelpRequested(const QStringList& parameters) {
    for (const QString& parameter : parameters) {
        if (parameter == QLatin1String("--help") || parameter.compare(QLatin1String("-h"), Qt::CaseInsensitive) == 0 ||
            parameter == QLatin1String("-?"))
            return true;
    }
    return false;
}

}  // namespace tolvan
