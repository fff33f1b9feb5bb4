// marlow-vgt: builds the real context (the terminal, the wall clock, hidapi)
// around the in-process entry point.
#include "marlowvgt.h"
#include "misc.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    RealMisc misc;
    MarlowVgt::Context context{out, err, misc, nullptr, ::isatty(STDERR_FILENO) == 1};
    const int code = runMarlowVgt(QCoreApplication::arguments(), context);
    out.flush();
    err.flush();
    return code;
}
