#pragma once
// marlow-vgt, the tuner's command-line sibling: the whole program as one call,
// so that main() only builds the real context and tests run it in-process on
// the virtual module and virtual time. Nothing here exits the process or
// touches a display.
#include <QStringList>
#include <QTextStream>

class Misc;
class UsbHidApi;

namespace MarlowVgt {

// Every command ends with one of these, and --help prints this table:
//   0  done
//   1  differences found, or refused (a field the module cannot carry, the wrong board)
//   2  usage: a bad command, option or argument, or a file that cannot be read or written
//   3  no module: none found, or one this user may not open
//   4  the link failed: the module stopped answering
enum ExitCode { Done = 0, DifferencesOrRefused = 1, Usage = 2, NoModule = 3, LinkFailed = 4 };

struct Context {
    QTextStream &out; // results: text, or JSON with --json
    QTextStream &err; // messages, and progress when errIsTerminal
    Misc &misc;       // every wait of every exchange
    // The HID layer to use unless --simulate asks for the virtual module;
    // null means hidapi's.
    UsbHidApi *device = nullptr;
    bool errIsTerminal = false;
};

} // namespace MarlowVgt

// `args` as the process got them, the program's name first; returns the exit code.
int runMarlowVgt(const QStringList &args, MarlowVgt::Context &context);
