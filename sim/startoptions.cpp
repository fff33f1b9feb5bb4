#include "startoptions.h"
#include "hidapibackend.h"

#include <QCommandLineParser>

namespace StartOptions {

namespace {
const QString simulateName = QStringLiteral("simulate");
const QString traceName = QStringLiteral("trace");
} // namespace

void add(QCommandLineParser &parser)
{
    parser.addOption({simulateName,
                      QStringLiteral("Run on the virtual module instead of USB: ktrm (the default) or pndx."),
                      QStringLiteral("board")});
    parser.addOption(
        {traceName, QStringLiteral("Append every report written and read to <file>."), QStringLiteral("file")});
}

QStringList normalised(const QStringList &arguments)
{
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        const bool bare = a == QLatin1String("--simulate") || a == QLatin1String("-simulate");
        const bool valueFollows = i + 1 < arguments.size() && !arguments[i + 1].startsWith(u'-');
        out << (bare && !valueFollows ? QStringLiteral("--simulate=ktrm") : a);
    }
    return out;
}

Choice read(const QCommandLineParser &parser)
{
    Choice choice = readOptions(parser);
    if (choice.error.isEmpty() && !parser.positionalArguments().isEmpty())
        choice.error = QStringLiteral("unexpected argument: ") + parser.positionalArguments().constFirst();
    return choice;
}

Choice readOptions(const QCommandLineParser &parser)
{
    Choice choice;
    choice.simulate = parser.isSet(simulateName);
    if (choice.simulate) {
        const QString board = parser.value(simulateName).toLower();
        if (board == QLatin1String("pndx"))
            choice.board = VirtualModule::Board::PNDX;
        else if (board != QLatin1String("ktrm"))
            choice.error = QStringLiteral("--simulate takes ktrm or pndx, not ") + parser.value(simulateName);
    }
    choice.tracePath = parser.value(traceName);
    return choice;
}

Link::Link(const Choice &choice, const Misc &clock, UsbHidApi *device)
{
    if (choice.simulate) {
        auto module = std::make_unique<VirtualModule>(clock, choice.board);
        m_module = module.get();
        m_backend = std::move(module);
    } else if (!device) {
        m_backend = std::make_unique<HidApiBackend>();
    }
    m_link = m_backend ? m_backend.get() : device;
    if (choice.tracePath.isEmpty())
        return;
    m_tracer = std::make_unique<TracingHidApi>(*m_link, clock, choice.tracePath);
    if (m_tracer->isOpen()) {
        m_link = m_tracer.get();
    } else {
        m_error = QStringLiteral("cannot write the trace file ") + choice.tracePath + QStringLiteral(": ") +
                  m_tracer->errorString();
        m_link = nullptr;
    }
}

Link::~Link() = default;

} // namespace StartOptions
