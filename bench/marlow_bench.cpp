// Measures the tuner against its floors, side by side in one run, and prints
// one Markdown table: figure, ours, reference, ratio, goal, met.
//
// The command figures drive the real main window and firmware window on the
// offscreen platform, on the real clock (RealMisc), with the virtual module
// behind the transport; the floor of each is the sum of the waits the protocol
// makes it take. The start-up and memory figures start the tuner and a bare Qt
// window as processes on the X display that bench/run.sh provides, both
// measured through the same preloaded hook. The S-record figure runs s19-pass
// and srec_cat as processes on the same generated file. The marlow-vgt
// figures run the command-line tool in this process on the same floors, and
// start it as a process against the tuner's own start.
//
// Benchmarks are not tests: nothing here fails on a time. The exit status is
// non-zero only when a figure could not be measured at all.
#include "cellchangecommand.h"
#include "dialogs.h"
#include "flexgridview.h"
#include "frmbootloader.h"
#include "frmvgt_tuner.h"
#include "graph_figures.h"
#include "marlowvgt.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "reflashaccess.h"
#include "virtualmodule.h"

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QQueue>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// ---------------------------------------------------------------- clocks

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double wallMs() { return double(monotonicNs()) / 1e6; }

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString fixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

// Lets the window paint what a command changed: part of what the user waits
// for. Twice, so that work one event queues for the next is done too.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------- the table

struct Row {
    QString figure;
    QString ours;
    QString reference;
    QString ratio;
    QString goal;
    std::optional<bool> met; // empty: reported only
};

QList<Row> rows;
bool failed = false;

void add(Row row)
{
    std::fprintf(stderr, "  %s: %s / %s = %s\n", qPrintable(row.figure), qPrintable(row.ours),
                 qPrintable(row.reference), qPrintable(row.ratio));
    rows << std::move(row);
}

void notMeasured(const QString &figure, const QString &why, const QString &goal)
{
    std::fprintf(stderr, "  %s: not measured: %s\n", qPrintable(figure), qPrintable(why));
    rows << Row{figure, QStringLiteral("not measured: ") + why, {}, {}, goal, std::nullopt};
    failed = true;
}

void printTable()
{
    std::printf("| Figure | Ours | Reference | Ratio | Goal | Met |\n|---|---:|---:|---:|---|---|\n");
    for (const Row &r : rows)
        std::printf("| %s | %s | %s | %s | %s | %s |\n", qPrintable(r.figure), qPrintable(r.ours),
                    qPrintable(r.reference), qPrintable(r.ratio), qPrintable(r.goal),
                    !r.met   ? "report"
                    : *r.met ? "yes"
                             : "**no**");
}

// ---------------------------------------------------------------- dialogs

// Answers every box at once and keeps what was shown, so the commands run
// without a person and each run can be checked for the ending it should have.
class BenchDialogs final : public Dialogs {
public:
    QStringList messages;
    QQueue<QString> files;

    void MsgBox(const QString &text, const QString &) override { messages << text; }
    bool YesNo(const QString &, const QString &) override { return true; }
    QString InputBox(const QString &, const QString &, const QString &) override { return {}; }
    QString OpenFileName(const FileDialogRequest &) override { return files.isEmpty() ? QString() : files.dequeue(); }
    QString SaveFileName(const FileDialogRequest &) override { return files.isEmpty() ? QString() : files.dequeue(); }
    QString ClipboardText() override { return m_clipboard; }
    void SetClipboardText(const QString &text) override { m_clipboard = text; }

private:
    QString m_clipboard;
};

// ---------------------------------------------------------------- the window on the virtual module

// The real clock, keeping count of how far its waits ran past their length:
// that part of a command's overhead is the operating system's wake-up, not
// our work.
class TimedMisc final : public Misc {
public:
    qint64 Now() const override { return m_real.Now(); }
    void Sleep(int ms) override
    {
        const double t0 = wallMs();
        m_real.Sleep(ms);
        overrunMs += wallMs() - t0 - ms;
    }
    void Wait(int ms) override
    {
        const double t0 = wallMs();
        m_real.Wait(ms);
        overrunMs += wallMs() - t0 - ms;
    }
    void DoEvents() override { m_real.DoEvents(); }

    double overrunMs = 0;

private:
    RealMisc m_real;
};

struct Bench {
    TimedMisc misc;
    VirtualModule module{misc};
    BenchDialogs dialogs;
    std::unique_ptr<frmVGT_Tuner> window;
    // CPU time of each run timed last: what our code costs, whatever the
    // machine's load does to the wall time; and how far its waits overran.
    QList<double> cpu, overrun;

    Bench()
    {
        NonBlockingUSB::UseBackend(&module);
        window = std::make_unique<frmVGT_Tuner>(misc, dialogs);
        window->show();
        settle();
        window->mnuConnect_Click();
        settle();
    }
    ~Bench()
    {
        window.reset();
        NonBlockingUSB::UseBackend(nullptr);
    }

    // Runs a command `runs` times after one run that is not counted, checking
    // each ends with the message it should, and returns the wall times.
    QList<double> time(int runs, const std::function<void()> &command, const QStringList &expected)
    {
        QList<double> times;
        cpu.clear();
        overrun.clear();
        for (int i = 0; i <= runs; ++i) {
            dialogs.messages.clear();
            settle();
            misc.overrunMs = 0;
            const double c0 = cpuMs();
            const double t0 = wallMs();
            command();
            settle();
            const double t = wallMs() - t0;
            const double c = cpuMs() - c0;
            if (dialogs.messages != expected) {
                std::fprintf(stderr, "    run ended with \"%s\", not \"%s\"\n",
                             qPrintable(dialogs.messages.join(QStringLiteral(" / "))),
                             qPrintable(expected.join(QStringLiteral(" / "))));
                return {};
            }
            if (i > 0) {
                times << t;
                cpu << c;
                overrun << misc.overrunMs;
            }
        }
        return times;
    }
};

// A wall-time figure over the sum of the waits the protocol makes.
void addFloorRow(const QString &figure, const QList<double> &times, const QList<double> &cpu,
                 const QList<double> &overrun, double floorMs, const QString &goal, double maxOverheadMs)
{
    if (times.isEmpty()) {
        notMeasured(figure, QStringLiteral("the command did not end as it should"), goal);
        return;
    }
    const double ours = median(times);
    const double ratio = ours / floorMs;
    const bool met = ratio <= 1.01 && ours - floorMs < maxOverheadMs;
    add({figure, fixed(ours, 1) + QStringLiteral(" ms (CPU ") + fixed(median(cpu), 1) + QStringLiteral(" ms)"),
         fixed(floorMs, 0) + QStringLiteral(" ms of waits"),
         fixed(ratio, 4) + QStringLiteral(" (+") + fixed(ours - floorMs, 1) + QStringLiteral(" ms, waits overran ") +
             fixed(median(overrun), 1) + QStringLiteral(" ms)"),
         goal, met});
}

void transferFigures(Bench &b, int runs)
{
    std::fprintf(stderr, "Send, Receive, Verify (%d runs each)\n", runs);
    frmVGT_Tuner &w = *b.window;
    const auto send = b.time(runs, [&] { w.mnuSend_Click(); }, {QStringLiteral("Download Complete")});
    addFloorRow(QStringLiteral("Send"), send, b.cpu, b.overrun, 50 + 2000 + 50, QStringLiteral("ratio <= 1.01"), 1e9);
    const auto receive = b.time(runs * 3, [&] { w.mnuReceive_Click(); }, {});
    addFloorRow(QStringLiteral("Receive"), receive, b.cpu, b.overrun, 50 + 50 + 10,
                QStringLiteral("ratio <= 1.01, overhead < 5 ms"), 5);
    const auto verify = b.time(runs * 3, [&] { w.mnuVerify_Click(); }, {QStringLiteral("Verified OK")});
    addFloorRow(QStringLiteral("Verify"), verify, b.cpu, b.overrun, 50 + 50,
                QStringLiteral("ratio <= 1.01, overhead < 5 ms"), 5);
}

// CPU time of one tick, its repaint included; its 50 ms wait takes none.
void tickFigure(Bench &b, const QString &figure, int ticks, const std::function<void()> &tick)
{
    QList<double> cpu;
    for (int i = 0; i <= ticks; ++i) {
        const double c0 = cpuMs();
        tick();
        settle();
        if (i > 0)
            cpu << cpuMs() - c0;
    }
    if (!b.dialogs.messages.isEmpty()) {
        notMeasured(figure, b.dialogs.messages.join(QStringLiteral(" / ")), QStringLiteral("< 1 %"));
        return;
    }
    const double ours = median(cpu);
    const double ratio = ours / 50.0;
    add({figure, fixed(ours, 3) + QStringLiteral(" ms CPU"), QStringLiteral("50 ms wait"),
         fixed(ratio * 100, 2) + QStringLiteral(" %"), QStringLiteral("< 1 %"), ratio < 0.01});
}

// What the graph adds to a tracking tick: the marker's move, and the frame
// the chart then draws on its own.
void graphFigures(Bench &b, int moves)
{
    std::fprintf(stderr, "Graph marker (%d moves)\n", moves);
    QString why;
    const auto f = measureMarker(*b.window, moves, &why);
    if (!f) {
        notMeasured(QStringLiteral("Graph marker move"), why, QStringLiteral("< 1 %"));
        return;
    }
    add({QStringLiteral("Graph marker move"), fixed(f->moveMs, 4) + QStringLiteral(" ms CPU"),
         QStringLiteral("50 ms wait"), fixed(f->moveMs / 50.0 * 100, 3) + QStringLiteral(" %"), QStringLiteral("< 1 %"),
         f->moveMs / 50.0 < 0.01});
    add({QStringLiteral("Graph frame after a move"), fixed(f->frameMs, 2) + QStringLiteral(" ms CPU"),
         QStringLiteral("50 ms wait"), fixed(f->frameMs / 50.0 * 100, 1) + QStringLiteral(" %"),
         QStringLiteral("report"), std::nullopt});
    add({QStringLiteral("Graph refill (data only)"),
         fixed(f->refillMs, 3) + QStringLiteral(" ms CPU"),
         {},
         {},
         QStringLiteral("report"),
         std::nullopt});
}

void tickFigures(Bench &b, int ticks)
{
    std::fprintf(stderr, "Ticks (%d each)\n", ticks);
    frmVGT_Tuner &w = *b.window;
    b.dialogs.messages.clear();
    tickFigure(b, QStringLiteral("Inputs tick"), ticks, [&] { w.tmrAutoRequest_Timer(); });
    // The tick runs only while "Index" is ticked; the timer itself stays off
    // so that every tick measured is one we called.
    w.chkIndex->setChecked(true);
    w.tmrIndex.stop();
    tickFigure(b, QStringLiteral("Tracking tick"), ticks, [&] { w.tmrIndex_Timer(); });
    w.chkIndex->setChecked(false);
    settle();
}

void datFigure(Bench &b, const QString &folder, int runs)
{
    std::fprintf(stderr, ".dat save and open (%d round trips)\n", runs);
    frmVGT_Tuner &w = *b.window;
    int n = 0;
    const auto times = b.time(runs,
                              [&] {
                                  // A new file each time, as a user saving a calibration under a new name.
                                  const QString path =
                                      QDir(folder).filePath(QStringLiteral("round-trip-%1.dat").arg(n++));
                                  b.dialogs.files.enqueue(path);
                                  w.mnuSave_Click();
                                  b.dialogs.files.enqueue(path);
                                  w.mnuOpen_Click();
                              },
                              {QStringLiteral("Save Complete")});
    const QString goal = QStringLiteral("< 2 ms");
    if (times.isEmpty()) {
        notMeasured(QStringLiteral(".dat save and open"), QStringLiteral("the round trip failed"), goal);
        return;
    }
    const double ours = median(times);
    add({QStringLiteral(".dat save and open, round trip"), fixed(ours, 3) + QStringLiteral(" ms"),
         QStringLiteral("(absolute)"), QStringLiteral("-"), goal, ours < 2});
}

// ---------------------------------------------------------------- map tools

// Wall time of one map tool with the repaint it causes; `prepare` runs untimed
// before each run so that every run has cells to change.
void toolFigure(Bench &b, const QString &figure, int runs, const std::function<void()> &prepare,
                const std::function<void()> &tool)
{
    frmVGT_Tuner &w = *b.window;
    QList<double> times, cpu;
    for (int i = 0; i <= runs; ++i) {
        prepare();
        settle();
        const int steps = w.undoStack->index();
        const double c0 = cpuMs();
        const double t0 = wallMs();
        tool();
        settle();
        const double t = wallMs() - t0;
        const double c = cpuMs() - c0;
        if (w.undoStack->index() == steps || !b.dialogs.messages.isEmpty()) {
            notMeasured(figure, QStringLiteral("the tool changed no cell"), QStringLiteral("< 5 ms"));
            return;
        }
        if (i > 0) {
            times << t;
            cpu << c;
        }
    }
    const double ours = median(times);
    add({figure, fixed(ours, 2) + QStringLiteral(" ms (CPU ") + fixed(median(cpu), 2) + QStringLiteral(" ms)"),
         QStringLiteral("5 ms"), fixed(ours / 5, 2), QStringLiteral("< 5 ms"), ours < 5});
}

void mapToolFigures(Bench &b, int runs)
{
    std::fprintf(stderr, "Map tools on the whole map (%d runs each)\n", runs);
    frmVGT_Tuner &w = *b.window;
    b.dialogs.messages.clear();
    const QString towing = QStringLiteral(MARLOW_SOURCE_DIR "/examples/towing-calibration.dat");
    b.dialogs.files.enqueue(towing);
    w.mnuOpen_Click();
    FlexGrid &map = w.tables.map();
    map.setCurrent(1, 1);
    map.setRowSel(MapSize);
    map.setColSel(MapSize);
    auto apply = [&w](MapTools::Arithmetic op, const char *value) {
        w.askValue(op);
        w.valueEdit->setText(QString::fromLatin1(value));
        w.applyValue();
    };
    auto undo = [&w] { w.mnuUndo_Click(); };
    toolFigure(b, QStringLiteral("Scale the whole map by 110 %"), runs, undo,
               [&] { apply(MapTools::Arithmetic::ScalePercent, "110"); });
    toolFigure(b, QStringLiteral("Interpolate the whole map both ways"), runs, undo,
               [&] { w.interpolateSelection(MapTools::Interpolation::Bilinear); });
    toolFigure(b, QStringLiteral("Smooth the whole map"), runs, undo, [&] { w.smoothSelection(); });
    toolFigure(
        b, QStringLiteral("Undo a whole-map change"), runs, [&] { apply(MapTools::Arithmetic::Add, "1"); }, undo);
    toolFigure(
        b, QStringLiteral("Redo a whole-map change"), runs,
        [&] {
            apply(MapTools::Arithmetic::Add, "1");
            settle();
            w.mnuUndo_Click();
        },
        [&w] { w.mnuRedo_Click(); });
    // Compare again after a change, the list already open: the marks of the
    // run before are spent by the change, and every map cell is marked anew.
    b.dialogs.files.clear();
    QList<double> times;
    for (int i = 0; i <= runs; ++i) {
        apply(i % 2 ? MapTools::Arithmetic::Subtract : MapTools::Arithmetic::Add, "1");
        settle();
        b.dialogs.files.enqueue(towing);
        const double t0 = wallMs();
        w.mnuCompareFile_Click();
        settle();
        if (i > 0)
            times << wallMs() - t0;
    }
    const int marked = w.msflexgrid1->markCount();
    w.clearCompareMarks();
    if (!b.dialogs.messages.isEmpty() || marked == 0)
        notMeasured(QStringLiteral("Compare with a file"), QStringLiteral("no difference was marked"),
                    QStringLiteral("< 5 ms"));
    else
        add({QStringLiteral("Compare with a file again (%1 map cells differ)").arg(marked),
             fixed(median(times), 2) + QStringLiteral(" ms"), QStringLiteral("5 ms"), fixed(median(times) / 5, 2),
             QStringLiteral("< 5 ms"), median(times) < 5});

    // The history a long session keeps: whole-map steps, each pushed by the
    // window as a user's would be.
    w.undoStack->clear();
    auto rssMb = [] {
        QFile status(QStringLiteral("/proc/self/statm"));
        const QList<QByteArray> pages =
            status.open(QIODevice::ReadOnly) ? status.readAll().split(' ') : QList<QByteArray>();
        return pages.size() > 1 ? pages[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0.0;
    };
    const double rss0 = rssMb();
    for (int i = 0; i < 1000; ++i)
        apply(i % 2 ? MapTools::Arithmetic::Subtract : MapTools::Arithmetic::Add, "1");
    qsizetype bytes = 0;
    for (int i = 0; i < w.undoStack->count(); ++i)
        bytes += qsizetype(sizeof(CellChangeCommand)) +
                 static_cast<const CellChangeCommand *>(w.undoStack->command(i))->changes().bytes();
    const double mb = double(bytes) / (1024.0 * 1024.0);
    add({QStringLiteral("History of %1 whole-map steps").arg(w.undoStack->count()),
         fixed(mb, 2) + QStringLiteral(" MB held (the process grew ") + fixed(rssMb() - rss0, 1) +
             QStringLiteral(" MB)"),
         QStringLiteral("10 MB"), fixed(mb / 10, 3), QStringLiteral("< 10 MB"), mb < 10});
    w.undoStack->clear();
}

// ---------------------------------------------------------------- resizing

// The main window resized with every grid full, until the whole window is
// painted again: the layout, the grids' new zoom and every cell drawn.
// Each run starts from another size, untimed, so that it scales anew.
class PaintCount final : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

void resizeFigure(Bench &b, const QString &figure, QSize from, QSize to, int runs)
{
    frmVGT_Tuner &w = *b.window;
    PaintCount mapPaints;
    w.msflexgrid1->viewport()->installEventFilter(&mapPaints);
    QList<double> times, cpu;
    for (int i = 0; i <= runs; ++i) {
        w.resize(from);
        settle();
        mapPaints.count = 0;
        const double c0 = cpuMs();
        const double t0 = wallMs();
        w.resize(to);
        settle();
        const double t = wallMs() - t0;
        if (i > 0 && w.size() == to && mapPaints.count > 0) {
            times << t;
            cpu << cpuMs() - c0;
        }
    }
    if (times.size() != runs) {
        notMeasured(figure, QStringLiteral("the window did not take the size or paint"), QStringLiteral("< 16 ms"));
        return;
    }
    const double ours = median(times);
    add({figure, fixed(ours, 2) + QStringLiteral(" ms (CPU ") + fixed(median(cpu), 2) + QStringLiteral(" ms)"),
         QStringLiteral("16 ms (one frame at 60 Hz)"), fixed(ours / 16, 2), QStringLiteral("< 16 ms"), ours < 16});
}

void resizeFigures(Bench &b, int runs)
{
    std::fprintf(stderr, "Resizing the main window, grids full (%d runs each)\n", runs);
    frmVGT_Tuner &w = *b.window;
    b.dialogs.files.enqueue(QStringLiteral(MARLOW_SOURCE_DIR "/examples/towing-calibration.dat"));
    w.mnuOpen_Click();
    settle();
    const QSize start = w.size(), full(1920, 1080);
    resizeFigure(b, QStringLiteral("Maximise from the start-up size to 1920 x 1080, repainted"), start, full, runs);
    resizeFigure(b, QStringLiteral("Drag-resize step from 1900 x 1064 to 1920 x 1080, repainted"), QSize(1900, 1064),
                 full, runs);
    w.resize(start);
    settle();
}

// ---------------------------------------------------------------- programming runs

// The waits a programming run must make for a file, from the protocol alone:
// events once, 250 ms after the start report, 250 ms at each record more than
// 0x400 beyond the last pause point, 50 ms per record, 100 ms at the end.
double programmingFloorMs(const QString &path, qint64 flashStart, qint64 bootStart, qint64 bootEnd, qint64 flashEnd,
                          int *records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nan("");
    double waits = 250 + 100;
    qint64 lastPause = 0;
    *records = 0;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.size() < 4 || line[0] != 'S' || line[1] < '1' || line[1] > '3')
            continue;
        const int digits = 2 * (line[1] - '0') + 2;
        const qint64 address = line.mid(4, digits).toLongLong(nullptr, 16);
        if (address < flashStart || address > flashEnd || (address >= bootStart && address <= bootEnd))
            continue;
        ++*records;
        waits += 50;
        if (address > lastPause + 0x400) {
            waits += 250;
            lastPause = address;
        }
    }
    return waits;
}

// One S-record line with its count and checksum.
QByteArray srecord(char type, int addressBytes, quint32 address, const QByteArray &data)
{
    const int count = addressBytes + int(data.size()) + 1;
    QByteArray line = QByteArray("S") + type;
    unsigned sum = 0;
    auto put = [&](unsigned byte) {
        line += QByteArray::number(byte & 0xFF, 16).toUpper().rightJustified(2, '0');
        sum += byte & 0xFF;
    };
    put(unsigned(count));
    for (int i = addressBytes - 1; i >= 0; --i)
        put(address >> (8 * i));
    for (const char c : data)
        put(std::uint8_t(c));
    put(~sum);
    return line + "\r\n";
}

// 32 bytes of made-up code, the same on every run.
QByteArray code(quint32 &seed)
{
    QByteArray bytes;
    for (int i = 0; i < 32; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += char(seed >> 16 & 0xFF);
    }
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The whole JM64 flash outside the bootloader, 0x4000 to 0xFFFF, in 32-byte S1 records.
QString writeFullJm64Image(const QString &folder)
{
    QByteArray text = srecord('0', 2, 0, "full-jm64");
    quint32 seed = 0x4A4D3634;
    for (quint32 address = 0x4000; address < 0x10000; address += 32)
        text += srecord('1', 2, address, code(seed));
    text += srecord('9', 2, 0x4000, {});
    const QString path = QDir(folder).filePath(QStringLiteral("full-jm64.s19"));
    return writeFile(path, text) ? path : QString();
}

void programmingFigure(Bench &b, frmBootloader &window, const QString &figure, const QString &path, int runs)
{
    std::fprintf(stderr, "%s (%d runs)\n", qPrintable(figure), runs);
    int records = 0;
    // The firmware window's defaults: flash 410 to FFFF (JM64), bootloader 410 to 3FFF.
    const double floorMs = programmingFloorMs(path, 0x410, 0x410, 0x3FFF, 0xFFFF, &records);
    window.txtFilename->setText(path);
    QList<double> times, cpu, overrun;
    for (int i = 0; i < runs; ++i) {
        b.dialogs.messages.clear();
        settle();
        b.misc.overrunMs = 0;
        const double c0 = cpuMs();
        const double t0 = wallMs();
        window.cmdProgram_Click();
        settle();
        times << wallMs() - t0;
        cpu << cpuMs() - c0;
        overrun << b.misc.overrunMs;
        if (b.dialogs.messages != QStringList{QStringLiteral("Done!!!")}) {
            times.clear();
            break;
        }
    }
    addFloorRow(figure + QStringLiteral(" (%1 records)").arg(records), times, cpu, overrun, floorMs,
                QStringLiteral("ratio <= 1.01"), 1e9);
}

// ---------------------------------------------------------------- processes

struct Exit {
    bool ok = false;
    double wallMs = 0;
    qint64 startNs = 0;
};

// Starts a program with extra environment, its output thrown away, and waits
// for it; one that outlives the timeout is killed.
Exit runProcess(const QStringList &argv, const QStringList &extraEnv, int timeoutMs)
{
    QList<QByteArray> args, env;
    for (const QString &a : argv)
        args << a.toLocal8Bit();
    QStringList names;
    for (const QString &e : extraEnv)
        names << e.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
    for (char **e = environ; *e; ++e) {
        const QString entry = QString::fromLocal8Bit(*e);
        if (std::none_of(names.begin(), names.end(), [&](const QString &n) { return entry.startsWith(n); }))
            env << QByteArray(*e);
    }
    for (const QString &e : extraEnv)
        env << e.toLocal8Bit();
    std::vector<char *> argp, envp;
    for (QByteArray &a : args)
        argp.push_back(a.data());
    argp.push_back(nullptr);
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Exit result;
    pid_t pid = 0;
    result.startNs = monotonicNs();
    const int rc = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return result;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if ((monotonicNs() - result.startNs) / 1000000 > timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return result;
        }
        usleep(200);
    }
    result.wallMs = double(monotonicNs() - result.startNs) / 1e6;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

struct Painted {
    bool ok = false;
    double startMs = 0;  // process start to first paint
    double startKb = 0;  // peak resident set after start
    double openedKb = 0; // peak resident set after the clicked window opened
};

// One start of a Widgets program under the first-paint hook.
Painted startUntilPainted(const QString &program, const QString &hook, const QString &folder, const QString &click)
{
    const QString report = QDir(folder).filePath(QStringLiteral("paint-report"));
    QFile::remove(report);
    QStringList env{QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("LD_PRELOAD=") + hook,
                    QStringLiteral("MARLOW_BENCH_REPORT=") + report};
    if (!click.isEmpty())
        env << QStringLiteral("MARLOW_BENCH_CLICK=") + click;
    const Exit exit = runProcess({program}, env, 60000);
    Painted p;
    QFile file(report);
    if (!exit.startNs || !file.open(QIODevice::ReadOnly))
        return p;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 3)
            continue;
        if (f[0] == "paint") {
            p.startMs = double(f[1].toLongLong() - exit.startNs) / 1e6;
            p.startKb = f[2].toDouble();
            p.ok = true;
        } else if (f[0] == "opened") {
            p.openedKb = f[2].toDouble();
        }
    }
    return p;
}

QString mb(double kb) { return fixed(kb / 1024, 1) + QStringLiteral(" MB"); }

void startFigures(const QString &tuner, const QString &bare, const QStringList &also, const QString &hook,
                  const QString &folder, int runs, int graphRuns)
{
    const QString startGoal = QStringLiteral("ratio <= 1.5");
    const QString memoryGoal = QStringLiteral("<= bare + 40 MB");
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        notMeasured(QStringLiteral("Cold start to first paint"), QStringLiteral("no X display (run bench/run.sh)"),
                    startGoal);
        return;
    }
    std::fprintf(stderr, "Cold start and memory (%d starts each, alternating; %d with the graph)\n", runs, graphRuns);
    QList<double> tunerMs, bareMs, tunerKb, bareKb, graphKb;
    // Other programs named with --also, measured the same way in turn with
    // the two, for finding out where start-up time goes.
    QList<QList<double>> alsoMs(also.size());
    // One start of each first, not counted: it pages the libraries in for all.
    for (int i = 0; i <= runs; ++i) {
        const Painted t = startUntilPainted(tuner, hook, folder, {});
        const Painted r = startUntilPainted(bare, hook, folder, {});
        if (!t.ok || !r.ok) {
            notMeasured(QStringLiteral("Cold start to first paint"),
                        QStringLiteral("%1 reported no paint").arg(t.ok ? bare : tuner), startGoal);
            return;
        }
        for (qsizetype k = 0; k < also.size(); ++k)
            if (const Painted a = startUntilPainted(also[k], hook, folder, {}); a.ok && i > 0)
                alsoMs[k] << a.startMs;
        if (i == 0)
            continue;
        tunerMs << t.startMs;
        bareMs << r.startMs;
        tunerKb << t.startKb;
        bareKb << r.startKb;
    }
    for (int i = 0; i < graphRuns; ++i) {
        const Painted g = startUntilPainted(tuner, hook, folder, QStringLiteral("cmdGraph"));
        if (g.openedKb > 0)
            graphKb << g.openedKb;
    }
    const double ours = median(tunerMs), ref = median(bareMs);
    add({QStringLiteral("Cold start to first painted main window (Xvfb)"), fixed(ours, 1) + QStringLiteral(" ms"),
         fixed(ref, 1) + QStringLiteral(" ms (bare window)"), fixed(ours / ref, 2), startGoal, ours / ref <= 1.5});
    for (qsizetype k = 0; k < also.size(); ++k) {
        const double a = median(alsoMs[k]);
        add({QStringLiteral("Cold start of ") + QFileInfo(also[k]).fileName(), fixed(a, 1) + QStringLiteral(" ms"),
             fixed(ref, 1) + QStringLiteral(" ms (bare window)"), fixed(a / ref, 2), QStringLiteral("report"),
             std::nullopt});
    }
    const double kb = median(tunerKb), bareMedian = median(bareKb);
    add({QStringLiteral("Peak resident set after start"), mb(kb), mb(bareMedian) + QStringLiteral(" (bare window)"),
         fixed(kb / bareMedian, 2) + QStringLiteral(" (+") + mb(kb - bareMedian) + QLatin1Char(')'), memoryGoal,
         kb - bareMedian <= 40 * 1024});
    if (graphKb.isEmpty()) {
        notMeasured(QStringLiteral("Peak resident set with the graph open"),
                    QStringLiteral("the graph window never painted"), QStringLiteral("report"));
        return;
    }
    const double g = median(graphKb);
    add({QStringLiteral("Peak resident set with the graph open"), mb(g),
         mb(bareMedian) + QStringLiteral(" (bare window)"),
         fixed(g / bareMedian, 2) + QStringLiteral(" (+") + mb(g - bareMedian) + QLatin1Char(')'),
         QStringLiteral("report"), std::nullopt});
}

// About 1 MiB of S2 records, 32 data bytes each, from 0x4000 up.
QString writeMebibyteS19(const QString &folder)
{
    QByteArray text = srecord('0', 2, 0, "mebibyte");
    quint32 seed = 0x53313921;
    quint32 records = 0;
    for (quint32 address = 0x4000; text.size() < 1024 * 1024; address += 32, ++records)
        text += srecord('2', 3, address, code(seed));
    text += srecord('5', 2, records & 0xFFFF, {});
    text += srecord('8', 3, 0x4000, {});
    const QString path = QDir(folder).filePath(QStringLiteral("mebibyte.s19"));
    return writeFile(path, text) ? path : QString();
}

void s19Figure(const QString &s19Pass, const QString &srecCat, const QString &folder, int runs)
{
    const QString figure = QStringLiteral("S19 validation and sending pass, no waits, 1 MiB");
    const QString goal = QStringLiteral("ratio <= 0.5");
    if (srecCat.isEmpty()) {
        notMeasured(figure, QStringLiteral("srec_cat is not installed (Debian package srecord)"), goal);
        return;
    }
    const QString file = writeMebibyteS19(folder);
    std::fprintf(stderr, "S19 pass vs srec_cat (%d runs each, alternating)\n", runs);
    QList<double> ours, ref;
    for (int i = 0; i <= runs; ++i) {
        const Exit o = runProcess({s19Pass, file}, {}, 60000);
        const Exit r = runProcess({srecCat, file, QStringLiteral("-o"), QStringLiteral("/dev/null")}, {}, 60000);
        if (!o.ok || !r.ok) {
            notMeasured(figure, QStringLiteral("%1 failed on %2").arg(o.ok ? srecCat : s19Pass, file), goal);
            return;
        }
        if (i > 0) {
            ours << o.wallMs;
            ref << r.wallMs;
        }
    }
    const double o = median(ours), r = median(ref);
    add({figure, fixed(o, 1) + QStringLiteral(" ms"), fixed(r, 1) + QStringLiteral(" ms (srec_cat)"), fixed(o / r, 2),
         goal, o / r <= 0.5});
}

// ---------------------------------------------------------------- marlow-vgt

struct CliRun {
    int code = -1;
    QString out, err;
};

// The command-line tool's whole program in this process, its output kept:
// what a script waits for beyond the process start.
CliRun runCli(const QStringList &args, Misc &misc, bool withResponse = false)
{
    CliRun run;
    QTextStream out(&run.out), err(&run.err);
    MarlowVgt::Context context{out, err, misc, nullptr, false, nullptr, {}, {}};
    if (withResponse) { // a fixed key and its response, as the service tool gives it
        context.drawKey = [] { return qint32(48213); };
        context.readResponse = [] { return QString::number(ReflashAccess::Response(48213)); };
    }
    run.code = runMarlowVgt(QStringList{QStringLiteral("marlow-vgt")} + args, context);
    out.flush();
    err.flush();
    return run;
}

// Start-up of the tool as a script sees it, spawn to exit, against the
// tuner's cold start to its first painted window, alternating.
void vgtStartFigures(const QString &vgt, const QString &tuner, const QString &hook, const QString &folder, int runs)
{
    const QString goal = QStringLiteral("ratio < 0.2");
    const QList<QStringList> commands{{vgt, QStringLiteral("--version")},
                                      {vgt, QStringLiteral("--simulate"), QStringLiteral("list")}};
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        notMeasured(QStringLiteral("marlow-vgt start"), QStringLiteral("no X display for the tuner (run bench/run.sh)"),
                    goal);
        return;
    }
    std::fprintf(stderr, "marlow-vgt start against the tuner's (%d starts each, alternating)\n", runs);
    QList<double> tunerMs;
    QList<QList<double>> vgtMs(commands.size());
    for (int i = 0; i <= runs; ++i) {
        const Painted t = startUntilPainted(tuner, hook, folder, {});
        QList<Exit> exits;
        for (const QStringList &command : commands)
            exits << runProcess(command, {}, 10000);
        if (!t.ok || std::any_of(exits.begin(), exits.end(), [](const Exit &e) { return !e.ok; })) {
            notMeasured(QStringLiteral("marlow-vgt start"),
                        t.ok ? QStringLiteral("marlow-vgt failed") : tuner + QStringLiteral(" reported no paint"),
                        goal);
            return;
        }
        if (i == 0)
            continue; // pages the libraries in for all
        tunerMs << t.startMs;
        for (qsizetype k = 0; k < commands.size(); ++k)
            vgtMs[k] << exits[k].wallMs;
    }
    const double ref = median(tunerMs);
    for (qsizetype k = 0; k < commands.size(); ++k) {
        const double ours = median(vgtMs[k]);
        add({QStringLiteral("`marlow-vgt ") + commands[k].mid(1).join(u' ') + QStringLiteral("`, start to exit"),
             fixed(ours, 1) + QStringLiteral(" ms"), fixed(ref, 1) + QStringLiteral(" ms (tuner's cold start)"),
             fixed(ours / ref, 3), goal, ours / ref < 0.2});
    }
}

// In this process: loading both files, the comparison and the report, as
// text (the goal) and as JSON (reported).
void vgtDiffFigures(int runs)
{
    std::fprintf(stderr, "marlow-vgt diff (%d runs each)\n", runs);
    RealMisc misc;
    const QStringList files{QStringLiteral(MARLOW_SOURCE_DIR "/examples/factory-calibration.dat"),
                            QStringLiteral(MARLOW_SOURCE_DIR "/examples/towing-calibration.dat")};
    for (const bool json : {false, true}) {
        const QString figure = QStringLiteral("`marlow-vgt %1diff` of the two example calibrations (273 differences)")
                                   .arg(json ? QStringLiteral("--json ") : QString());
        const QString goal = json ? QStringLiteral("report") : QStringLiteral("< 1 ms");
        const QStringList args = (json ? QStringList{QStringLiteral("--json")} : QStringList{}) +
                                 QStringList{QStringLiteral("diff")} + files;
        QList<double> times;
        for (int i = 0; i <= runs; ++i) {
            const double t0 = wallMs();
            const CliRun run = runCli(args, misc);
            const double t = wallMs() - t0;
            if (run.code != 1 ||
                !run.out.endsWith(json ? QLatin1String("}]}\n") : QLatin1String("\n273 differences\n"))) {
                notMeasured(figure, QStringLiteral("exit %1: %2").arg(run.code).arg(run.err.trimmed()), goal);
                return;
            }
            if (i > 0)
                times << t;
        }
        const double ours = median(times);
        add({figure, fixed(ours, 3) + QStringLiteral(" ms"), QStringLiteral("(absolute)"), QStringLiteral("-"), goal,
             json ? std::nullopt : std::optional<bool>(ours < 1)});
    }
}

struct VgtExchange {
    QString label;
    QStringList args;
    QString output; // what the command must print, or it is not measured
    double floorMs; // the protocol's waits
    int runs;
    bool withResponse = false;
};

// Each command on the virtual module and the real clock, in this process,
// against the sum of its waits; the same command on the virtual clock must
// take exactly that sum, or the floor is wrong.
void vgtExchangeFigures(const QString &folder, bool quick)
{
    const QString factory = QStringLiteral(MARLOW_SOURCE_DIR "/examples/factory-calibration.dat");
    const QString towing = QStringLiteral(MARLOW_SOURCE_DIR "/examples/towing-calibration.dat");
    const QString image = QStringLiteral(MARLOW_SOURCE_DIR "/examples/example-jm64.s19");
    const QString received = QDir(folder).filePath(QStringLiteral("received.dat"));
    const QString simulate = QStringLiteral("--simulate");
    int records = 0;
    const double flashFloor = programmingFloorMs(image, 0x410, 0x410, 0x3FFF, 0xFFFF, &records);
    const QList<VgtExchange> exchanges{
        {QStringLiteral("version"),
         {simulate, QStringLiteral("version")},
         QStringLiteral("Board Version 0221\n"),
         50,
         quick ? 5 : 21},
        {QStringLiteral("receive"),
         {simulate, QStringLiteral("receive"), received},
         QStringLiteral("Save Complete\n"),
         50 + 50 + 10,
         quick ? 5 : 21},
        {QStringLiteral("verify"),
         {simulate, QStringLiteral("verify"), factory},
         QStringLiteral("Verified OK\n"),
         50 + 50,
         quick ? 5 : 21},
        {QStringLiteral("send"),
         {simulate, QStringLiteral("send"), towing},
         QStringLiteral("Download Complete\n"),
         50 + 2000 + 50,
         quick ? 3 : 7},
        {QStringLiteral("send --verify"),
         {simulate, QStringLiteral("send"), towing, QStringLiteral("--verify")},
         QStringLiteral("Download Complete\nVerified OK\n"),
         50 + 2000 + 50 + 50 + 50,
         quick ? 3 : 7},
        {QStringLiteral("flash example-jm64.s19 (%1 records)").arg(records),
         {simulate, QStringLiteral("flash"), image},
         QStringLiteral("Done!!!\n"),
         flashFloor,
         quick ? 2 : 5,
         true},
    };
    for (const VgtExchange &x : exchanges) {
        const QString figure = QStringLiteral("`marlow-vgt ") + x.label + u'`';
        const QString goal = QStringLiteral("ratio <= 1.01");
        std::fprintf(stderr, "marlow-vgt %s (%d runs)\n", qPrintable(x.label), x.runs);
        VirtualMisc virtualClock;
        const CliRun onVirtual = runCli(x.args, virtualClock, x.withResponse);
        if (onVirtual.out != x.output || double(virtualClock.Now()) != x.floorMs) {
            notMeasured(figure,
                        QStringLiteral("on the virtual clock it took %1 ms and printed \"%2\"")
                            .arg(virtualClock.Now())
                            .arg(onVirtual.out.trimmed() + onVirtual.err.trimmed()),
                        goal);
            continue;
        }
        TimedMisc misc;
        QList<double> times, cpu, overrun;
        for (int i = 0; i <= x.runs; ++i) {
            QFile::remove(received);
            misc.overrunMs = 0;
            const double c0 = cpuMs();
            const double t0 = wallMs();
            const CliRun run = runCli(x.args, misc, x.withResponse);
            const double t = wallMs() - t0;
            const double c = cpuMs() - c0;
            if (run.out != x.output) {
                times.clear();
                break;
            }
            if (i > 0) {
                times << t;
                cpu << c;
                overrun << misc.overrunMs;
            }
        }
        addFloorRow(figure, times, cpu, overrun, x.floorMs, goal, 1e9);
    }
}

// A log at a 300 ms interval on the real clock: how late each row is taken
// against its place in the schedule (row k at k x 300 ms from the start).
void vgtLogFigure(int seconds)
{
    const int interval = 300;
    const QString figure = QStringLiteral("`marlow-vgt log`, 300 ms interval, %1 s: drift").arg(seconds);
    const QString goal = QStringLiteral("< 300 ms (one interval)");
    std::fprintf(stderr, "marlow-vgt log for %d s\n", seconds);
    TimedMisc misc;
    const CliRun run = runCli({QStringLiteral("--simulate"), QStringLiteral("--json"), QStringLiteral("log"),
                               QStringLiteral("--interval"), QString::number(interval), QStringLiteral("--duration"),
                               QString::number(seconds)},
                              misc);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    const qsizetype expected = qsizetype(seconds) * 1000 / interval;
    if (run.code != 0 || lines.size() != expected) {
        notMeasured(figure, QStringLiteral("exit %1, %2 rows of %3").arg(run.code).arg(lines.size()).arg(expected),
                    goal);
        return;
    }
    double worst = 0, last = 0;
    for (qsizetype k = 0; k < lines.size(); ++k) {
        const double t = QJsonDocument::fromJson(lines[k].toUtf8()).object().value(QLatin1String("time")).toDouble();
        last = t * 1000 - double(k * interval);
        worst = std::max(worst, last);
    }
    add({figure, QStringLiteral("last row %1 ms late, worst %2 ms").arg(fixed(last, 0), fixed(worst, 0)),
         QStringLiteral("%1 rows due every %2 ms").arg(expected).arg(interval),
         fixed(worst / interval, 3) + QStringLiteral(" of an interval"), goal, worst < interval});
}

} // namespace

int main(int argc, char *argv[])
{
    // Our own windows draw offscreen; the programs we start get the X display.
    // The graph alone needs OpenGL, so "--only graph" keeps the display.
    const bool graphOnly = [&] {
        for (int i = 1; i + 1 < argc; ++i)
            if (QByteArray(argv[i]) == "--only" && QByteArray(argv[i + 1]) == "graph")
                return true;
        return false;
    }();
    if (!graphOnly)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Measures the tuner against its floors and prints one table."));
    parser.addHelpOption();
    const QString dir = QCoreApplication::applicationDirPath();
    QCommandLineOption quick(QStringLiteral("quick"), QStringLiteral("Fewer runs, for a first look."));
    QCommandLineOption only(
        QStringLiteral("only"),
        QStringLiteral("Comma-separated groups: transfer, ticks, dat, maptools, resize, graph (alone, on an X "
                       "display), programming (example "
                       "and image), start, s19, vgt (vgt-start, vgt-diff, vgt-exchanges, "
                       "vgt-log)."),
        QStringLiteral("groups"));
    QCommandLineOption tuner(QStringLiteral("tuner"), QStringLiteral("The tuner's executable."), QStringLiteral("path"),
                             dir + QStringLiteral("/../bin/marlow-vgt-tuner"));
    QCommandLineOption vgt(QStringLiteral("vgt"), QStringLiteral("The command-line tool's executable."),
                           QStringLiteral("path"), dir + QStringLiteral("/../bin/marlow-vgt"));
    QCommandLineOption logSeconds(QStringLiteral("log-seconds"),
                                  QStringLiteral("How long the log runs (600, or 30 with --quick)."),
                                  QStringLiteral("s"));
    QCommandLineOption also(QStringLiteral("also"),
                            QStringLiteral("Another Widgets program to time to its first paint beside the two."),
                            QStringLiteral("path"));
    QCommandLineOption keep(
        QStringLiteral("work"),
        QStringLiteral("Keep the generated images and files in <folder> instead of a temporary one."),
        QStringLiteral("folder"));
    parser.addOptions({quick, only, tuner, vgt, logSeconds, also, keep});
    parser.process(app);

    const bool q = parser.isSet(quick);
    QStringList groups =
        parser.isSet(only)
            ? parser.value(only).split(QLatin1Char(','))
            : QStringList{QStringLiteral("transfer"), QStringLiteral("ticks"),  QStringLiteral("dat"),
                          QStringLiteral("maptools"), QStringLiteral("resize"), QStringLiteral("programming"),
                          QStringLiteral("start"),    QStringLiteral("s19"),    QStringLiteral("vgt")};
    // "programming" is both runs: the example image and the full one.
    if (groups.contains(QStringLiteral("programming")))
        groups << QStringLiteral("example") << QStringLiteral("image");
    if (groups.contains(QStringLiteral("vgt")))
        groups << QStringLiteral("vgt-start") << QStringLiteral("vgt-diff") << QStringLiteral("vgt-exchanges")
               << QStringLiteral("vgt-log");
    auto has = [&groups](const char *group) { return groups.contains(QLatin1String(group)); };
    QTemporaryDir temporary;
    const QString workPath = parser.isSet(keep) ? parser.value(keep) : temporary.path();
    if (!QDir().mkpath(workPath) || workPath.isEmpty()) {
        std::fprintf(stderr, "cannot make a work folder: %s\n", qPrintable(temporary.errorString()));
        return 2;
    }

    if (has("transfer") || has("ticks") || has("dat") || has("maptools") || has("resize") || has("graph") ||
        has("example") || has("image")) {
        Bench b;
        if (has("transfer"))
            transferFigures(b, q ? 3 : 7);
        if (has("ticks"))
            tickFigures(b, q ? 20 : 60);
        if (has("dat"))
            datFigure(b, workPath, q ? 20 : 100);
        if (has("maptools"))
            mapToolFigures(b, q ? 10 : 50);
        if (has("resize"))
            resizeFigures(b, q ? 10 : 50);
        if (has("graph"))
            graphFigures(b, q ? 40 : 200);
        if (has("example") || has("image")) {
            frmBootloader firmware(b.dialogs, b.misc, b.window.get());
            frmVGT_Tuner &w = *b.window;
            firmware.setLinkControl([&w](bool hold) { w.holdLink(hold); }, [&w] { return w.linkBusy(); },
                                    frmVGT_Tuner::busyMessage());
            firmware.show();
            settle();
            if (has("example"))
                programmingFigure(b, firmware, QStringLiteral("Programming run, example-jm64.s19"),
                                  QStringLiteral(MARLOW_SOURCE_DIR "/examples/example-jm64.s19"), q ? 2 : 5);
            if (has("image"))
                programmingFigure(b, firmware, QStringLiteral("Programming run, full JM64 image"),
                                  writeFullJm64Image(workPath), q ? 1 : 3);
        }
    }
    if (has("start"))
        startFigures(parser.value(tuner), dir + QStringLiteral("/bare-window"),
                     // The bare window with the 3D graph's library loaded: how
                     // much of the tuner's start-up is that library's.
                     QStringList{dir + QStringLiteral("/bare-window-datavis")} + parser.values(also),
                     dir + QStringLiteral("/libmarlow-first-paint.so"), workPath, q ? 3 : 9, q ? 1 : 3);
    if (has("s19"))
        s19Figure(dir + QStringLiteral("/s19-pass"), QStandardPaths::findExecutable(QStringLiteral("srec_cat")),
                  workPath, q ? 5 : 15);
    // The tool sets the process-wide transport for each command and hands it
    // back empty, so it runs once the window above is gone.
    if (has("vgt-start"))
        vgtStartFigures(parser.value(vgt), parser.value(tuner), dir + QStringLiteral("/libmarlow-first-paint.so"),
                        workPath, q ? 3 : 9);
    if (has("vgt-diff"))
        vgtDiffFigures(q ? 20 : 200);
    if (has("vgt-exchanges"))
        vgtExchangeFigures(workPath, q);
    if (has("vgt-log"))
        vgtLogFigure(parser.isSet(logSeconds) ? parser.value(logSeconds).toInt() : q ? 30 : 600);

    printTable();
    return failed ? 1 : 0;
}
