// marlow-vgt: builds the real context (the terminal, the wall clock, hidapi,
// the signals) around the in-process entry point.
#include "marlowvgt.h"
#include "misc.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t interruptRequested = 0;

// Async-signal-safe: the flag, and a fixed line with write(2). A second
// Ctrl+C does not kill the process either: a send cut there would leave the
// module with new tables under the old axis scaling. Each command stops
// within a fraction of a second, or two for a send; SIGKILL is still there.
void onInterrupt(int)
{
    static const char again[] = "marlow-vgt: stopping where the module is left whole; a moment, please\n";
    if (interruptRequested)
        (void)!::write(STDERR_FILENO, again, sizeof again - 1);
    interruptRequested = 1;
}

// A line from standard input; when that is a terminal, typed without echo.
QString readHidden()
{
    termios saved{};
    const bool terminal = ::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char line[64] = {};
    const bool got = std::fgets(line, sizeof line, stdin) != nullptr;
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    const QString entry = got ? QString::fromLocal8Bit(line).trimmed() : QString();
    ::explicit_bzero(line, sizeof line); // a plain fill of a dying buffer may be optimised away
    return entry;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: Ctrl+C at the response prompt ends its read
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    QTextStream out(stdout);
    QTextStream err(stderr);
    RealMisc misc;
    MarlowVgt::Context context{out,        err, misc, nullptr, ::isatty(STDERR_FILENO) == 1, &interruptRequested,
                               readHidden, {}};
    const int code = runMarlowVgt(QCoreApplication::arguments(), context);
    out.flush();
    return code;
}
