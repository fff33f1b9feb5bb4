#include "graph_figures.h"
#include "frmgraph.h"
#include "frmvgt_tuner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QList>
#include <QTimer>

#include <algorithm>
#include <ctime>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Lets the graph draw what changed. The chart draws on the window's next
// update, a few milliseconds on; 40 ms leaves room for one frame and no more
// work than the frame, since the chart draws nothing while nothing changes.
void drawFrame()
{
    QEventLoop loop;
    QTimer::singleShot(40, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

std::optional<MarkerFigures> measureMarker(frmVGT_Tuner &window, int moves, QString *why)
{
    frmGraph *graph = window.findChild<frmGraph *>();
    if (!graph || !graph->isVisible()) {
        window.mnuGraph_Click();
        graph = window.findChildren<frmGraph *>().constLast();
    }
    if (!graph->surface()) {
        *why = QStringLiteral("no OpenGL on this platform");
        return std::nullopt;
    }
    drawFrame(); // the first frames build the chart's buffers
    drawFrame();
    QList<double> move, frame, refill, idle;
    for (int i = 0; i <= moves; ++i) {
        const double c = cpuMs();
        drawFrame(); // nothing changed: what the window costs anyway
        idle << cpuMs() - c;
        // Two cells far apart, so every move changes where the marker is drawn.
        const OperatingPoint point = i % 2 ? OperatingPoint{3, 5, false} : OperatingPoint{12, 10, false};
        const double c0 = cpuMs();
        graph->markOperatingPoint(point);
        const double c1 = cpuMs();
        drawFrame();
        if (i > 0) { // the first move also builds the marker's mesh
            move << c1 - c0;
            frame << cpuMs() - c1;
        }
    }
    for (int i = 0; i < std::max(1, moves / 4); ++i) {
        const double c0 = cpuMs();
        graph->Demo7();
        refill << cpuMs() - c0;
        drawFrame();
    }
    return MarkerFigures{median(move), median(frame) - median(idle), median(refill)};
}
