#include "app/Icons.h"
#include "app/MainWindow.h"
#include "files/Descriptors.h"
#include "language/Language.h"
#include "paperview/WindowPlace.h"
#include "tool/CompareRun.h"
#include "tool/Headless.h"
#include "tool/Launch.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    openClosedStandardDescriptors();
    filterSessionNotes();
    // The command line is read before the application object: --help and a bad value answer
    // at once, without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString lang = language::choose(arguments);
    const Launch launch
        = language::parseInLanguage(argc, argv, arguments, lang, QStringLiteral("printer-ruvela"), parseLaunch);
    if (launch.exitCode >= 0) {
        std::fputs(qPrintable(launch.output), launch.exitCode == 0 ? stdout : stderr);
        return launch.exitCode;
    }
    if (!launch.compareFiles.isEmpty()) { // two recordings' papers drawn: fonts, no display
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return runCompare(launch);
    }
    if (launch.headless && launch.trafficFile.isEmpty()) { // no window, so no display either
        QCoreApplication app(argc, argv);
        return runHeadless(launch);
    }
    if (launch.headless) {
        // Decoding the exchange draws the expected paper, which needs fonts but no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return runHeadless(launch);
    }
    if (!canShowWindows()) {
        std::fputs(
            "printer-ruvela: no display to show the window on; --job, --send, --replay, --compare, --identify and "
            "--monitor run without one.\n"
            "Try printer-ruvela --help.\n",
            stderr);
        return 2;
    }
    QApplication app(argc, argv);
    language::install(lang, QStringLiteral("printer-ruvela")); // the window's only; runs without one stay English
    QApplication::setStyle(new DeferredIconStyle);
    MainWindow window;
    if (!launch.place.isEmpty())
        placeOnHalf(window, launch.place == QLatin1String("right"));
    window.show();
    window.start(launch);
    return app.exec();
}
