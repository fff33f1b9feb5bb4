#include "dialogs.h"
#include "frmvgt_tuner.h"
#include "hidapibackend.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "tracinghidapi.h"
#include "virtualmodule.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Marlow VGT Tuner"));
    QApplication::setApplicationVersion(QStringLiteral("2.21"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tunes a Marlow variable-geometry turbo controller over USB."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Run on the virtual module instead of USB: ktrm (default) or pndx."),
                                QStringLiteral("board"));
    QCommandLineOption trace(QStringLiteral("trace"),
                             QStringLiteral("Append every report written and read to <file>."), QStringLiteral("file"));
    parser.addOption(simulate);
    parser.addOption(trace);
    // "--simulate" alone means the turbo controller.
    QStringList args = QApplication::arguments();
    for (auto &a : args)
        if (a == QLatin1String("--simulate"))
            a = QStringLiteral("--simulate=ktrm");
    parser.process(args);

    RealMisc misc;
    std::unique_ptr<UsbHidApi> backend;
    if (parser.isSet(simulate)) {
        const QString board = parser.value(simulate).toLower();
        if (board != QLatin1String("ktrm") && board != QLatin1String("pndx")) {
            fprintf(stderr, "--simulate takes ktrm or pndx, not %s\n", qPrintable(board));
            return 2;
        }
        backend = std::make_unique<VirtualModule>(
            misc, board == QLatin1String("pndx") ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
    } else {
        backend = std::make_unique<HidApiBackend>();
    }
    std::unique_ptr<TracingHidApi> tracer;
    UsbHidApi *link = backend.get();
    if (parser.isSet(trace)) {
        tracer = std::make_unique<TracingHidApi>(*backend, misc, parser.value(trace));
        if (!tracer->isOpen()) {
            fprintf(stderr, "cannot write the trace file %s: %s\n", qPrintable(parser.value(trace)),
                    qPrintable(tracer->errorString()));
            return 2;
        }
        link = tracer.get();
    }
    NonBlockingUSB::UseBackend(link);

    QtDialogs dialogs;
    frmVGT_Tuner window(misc, dialogs);
    window.show();
    return QApplication::exec();
}
