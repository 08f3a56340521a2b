// The tolvan program: the main window, run until it closes.
#include <cstdio>

#include <QApplication>

#include "MainFrm.h"
#include "TolvanCommandLine.h"
#include "TolvanLook.h"

int main(int argc, char** argv) {
    // The usage needs no window, nor a display to put one on.
    QStringList parameters;
    for (int i = 1; i < argc; ++i) parameters.append(QString::fromLocal8Bit(argv[i]));
    if (tolvan::HelpRequested(parameters)) {
        std::fputs(tolvan::kUsage, stdout);
        return 0;
    }

    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(QString());  // the window names the program
    tolvan::ApplyApplicationLook();
    tolvan::TMainFormOptions options;
    options.parameters = QApplication::arguments().mid(1);
    tolvan::TMainForm window(options);
    window.show();
    const int loop = QApplication::exec();
    // An unattended run (-e) ends the program with its outcome.
    return loop != 0 ? loop : window.ExitStatus();
}
