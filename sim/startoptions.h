#pragma once
// The start-up options the programs share: which module they talk to (USB, or
// the virtual module with --simulate[=ktrm|pndx] or --simulate pndx) and where
// the protocol trace goes (--trace FILE). A bad option is a usage error: the
// caller prints the message and exits with status 2.
#include "tracinghidapi.h"
#include "virtualmodule.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>
#include <memory>

class QCommandLineParser;
class Misc;

namespace StartOptions {

// Adds --simulate and --trace to a parser.
void add(QCommandLineParser &parser);

// Gives a bare --simulate its default board, so the parser (which has no
// optional values) reads "--simulate" and "--simulate pndx" alike.
QStringList normalised(const QStringList &arguments);

// What the options ask for, read from a parser that has parsed.
struct Choice {
    bool simulate = false;
    VirtualModule::Board board = VirtualModule::Board::KTRM;
    QString tracePath;
    QString error; // empty when the options are good
};
Choice read(const QCommandLineParser &parser);
// The same, for a program whose own arguments follow the options.
Choice readOptions(const QCommandLineParser &parser);

// The HID layer the options chose, with the trace wrapped around it.
class Link {
public:
    // On failure, link() is null and error() says why. `device`, when given,
    // stands in for hidapi's layer unless the choice is to simulate.
    Link(const Choice &choice, const Misc &clock, UsbHidApi *device = nullptr);
    ~Link();
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    UsbHidApi *link() const { return m_link; }
    VirtualModule *module() const { return m_module; }
    QString error() const { return m_error; }

private:
    std::unique_ptr<UsbHidApi> m_backend;
    std::unique_ptr<TracingHidApi> m_tracer;
    UsbHidApi *m_link = nullptr;
    VirtualModule *m_module = nullptr;
    QString m_error;
};

} // namespace StartOptions
