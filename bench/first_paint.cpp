// Preloaded (LD_PRELOAD) into a Qt Widgets program by marlow-bench, so that the
// tuner and the bare window are measured by the same code and neither carries
// any of its own. When the first top-level window has painted, it appends
//   paint <CLOCK_MONOTONIC ns at the first paint> <peak resident set, kB>
// to the file named by MARLOW_BENCH_REPORT. With MARLOW_BENCH_CLICK set to a
// button's object name it then clicks that button, waits for the window the
// click opens to paint and settle, and appends
//   opened <CLOCK_MONOTONIC ns> <peak resident set, kB>
// Then the program is told to quit.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <ctime>

namespace {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void report(const char *what, qint64 ns)
{
    QFile out(qEnvironmentVariable("MARLOW_BENCH_REPORT"));
    if (out.open(QIODevice::WriteOnly | QIODevice::Append))
        out.write(QByteArray(what) + ' ' + QByteArray::number(ns) + ' ' + QByteArray::number(peakResidentKb()) + '\n');
}

// Time allowed for deferred start-up work (and, for a 3D chart, its first
// frames) before the peak resident set is read.
constexpr int SettleMs = 300;
constexpr int OpenedSettleMs = 1500;

class FirstPaint : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        QWidget *window = static_cast<QWidget *>(watched)->window();
        if (m_stage == Stage::Starting) {
            m_stage = Stage::Painting;
            m_first = window;
            // The paint is delivered inside the window's backing-store sync;
            // a queued call runs once that sync has flushed the pixels.
            QTimer::singleShot(0, this, [this] { painted(); });
        } else if (m_stage == Stage::Opening && window != m_first) {
            m_stage = Stage::Done;
            QTimer::singleShot(OpenedSettleMs, this, [] {
                report("opened", monotonicNs());
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    void painted()
    {
        const qint64 ns = monotonicNs();
        QTimer::singleShot(SettleMs, this, [this, ns] {
            report("paint", ns);
            const QString click = qEnvironmentVariable("MARLOW_BENCH_CLICK");
            auto *button = click.isEmpty() || !m_first ? nullptr : m_first->findChild<QAbstractButton *>(click);
            if (!button) {
                QCoreApplication::quit();
                return;
            }
            m_stage = Stage::Opening;
            button->click();
        });
    }

    enum class Stage { Starting, Painting, Opening, Done };
    Stage m_stage = Stage::Starting;
    QPointer<QWidget> m_first;
};

void installFirstPaint()
{
    if (qEnvironmentVariableIsEmpty("MARLOW_BENCH_REPORT"))
        return;
    QCoreApplication *app = QCoreApplication::instance();
    app->installEventFilter(new FirstPaint(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installFirstPaint)
