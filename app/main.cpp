#include "dialogs.h"
#include "frmvgt_tuner.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "startoptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

namespace {

const char *const programName = "marlow-vgt-tuner";

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Tunes a Marlow variable-geometry turbo controller over USB."));
    parser.addHelpOption();
    parser.addVersionOption();
    StartOptions::add(parser);
}

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

// --help and --version answer without a display, so they work on a terminal
// with no X server and for tools that read them.
bool answeredWithoutWindow(const QStringList &args)
{
    QCommandLineParser parser;
    describe(parser);
    parser.parse(StartOptions::normalised(args));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(
            qPrintable(parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String(programName))),
            stdout);
        return true;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("%s %s\n", programName, qPrintable(QCoreApplication::applicationVersion()));
        return true;
    }
    return false;
}

// Qt aborts with a core dump when its default platform finds no display; a
// person deserves one line instead.
bool displayMissing(const QStringList &args)
{
    if (args.contains(QLatin1String("-platform")) || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return false;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Marlow VGT Tuner"));
    QApplication::setApplicationVersion(QStringLiteral(MARLOW_VERSION));
    const QStringList raw = argumentsOf(argc, argv);
    if (answeredWithoutWindow(raw))
        return 0;
    if (displayMissing(raw)) {
        std::fprintf(stderr, "%s: no display to show the window on (DISPLAY is not set)\n", programName);
        return 1;
    }

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(StartOptions::normalised(QApplication::arguments()))) {
        std::fprintf(stderr, "%s: %s\n", programName, qPrintable(parser.errorText()));
        return 2;
    }
    const StartOptions::Choice choice = StartOptions::read(parser);
    if (!choice.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", programName, qPrintable(choice.error));
        return 2;
    }

    RealMisc misc;
    StartOptions::Link link(choice, misc);
    if (!link.link()) {
        std::fprintf(stderr, "%s: %s\n", programName, qPrintable(link.error()));
        return 2;
    }
    NonBlockingUSB::UseBackend(link.link());

    QtDialogs dialogs;
    frmVGT_Tuner window(misc, dialogs);
    window.show();
    return QApplication::exec();
}
