#pragma once
// marlow-vgt, the tuner's command-line sibling: the whole program as one call,
// so that main() only builds the real context and tests run it in-process on
// the virtual module and virtual time. Nothing here exits the process or
// touches a display.
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <functional>

class Misc;
class UsbHidApi;

namespace MarlowVgt {

// Every command ends with one of these; --help prints their meanings.
enum ExitCode { Done = 0, DifferencesOrRefused = 1, Usage = 2, NoModule = 3, LinkFailed = 4, Interrupted = 5 };
inline constexpr const char *ExitMeanings[] = {
    "done",
    "differences found, or refused (a field the module cannot carry, the wrong board)",
    "usage: a bad command, option or argument, or a file that cannot be read or written",
    "no module: none found, or one this user may not open",
    "the link failed: the module stopped answering",
    "interrupted (Ctrl+C or SIGTERM): the message says what the module now holds",
};

struct Context {
    QTextStream &out; // results: text, or JSON with --json
    QTextStream &err; // messages, and progress when errIsTerminal
    Misc &misc;       // every wait of every exchange
    // The HID layer to use unless --simulate asks for the virtual module;
    // null means hidapi's.
    UsbHidApi *device = nullptr;
    bool errIsTerminal = false;
    // Set by the signal handler, and only read here: a command looks at it
    // where it may stop without leaving the module half-written.
    const volatile std::sig_atomic_t *interrupt = nullptr;
    // The response to the reflash key, typed without echo; empty when none came.
    std::function<QString()> readResponse;
    // The reflash key to show; null draws a fresh one from the time of day.
    std::function<qint32()> drawKey;
};

} // namespace MarlowVgt

// `args` as the process got them, the program's name first; returns the exit code.
int runMarlowVgt(const QStringList &args, MarlowVgt::Context &context);
