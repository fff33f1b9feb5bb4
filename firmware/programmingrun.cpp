#include "programmingrun.h"
#include "misc.h"
#include "nonblockingusb.h"

#include <QtEndian>
#include <algorithm>

namespace BootloaderReports {

Report start()
{
    Report r;
    r.fill(0x27);
    return r;
}

Report end() { return {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}; }

Report header(const S19Record &record)
{
    // The address text widened to 8 digits and read in pairs, most significant
    // first (as HexStrToDec reads it). For a whole address field that is the
    // address the window accepted; a field cut short by the line's end widens
    // to another address, and the header carries that one: it is built from
    // the text, not the number. A text that would overflow names an address
    // the reader never yields.
    QString text = record.addressText;
    Report r{};
    qToBigEndian(quint32(HexStrToDec(MakeLen8(text))), r.data());
    r[4] = std::uint8_t(record.n);
    return r;
}

Report data(const S19Record &record, int j)
{
    Report r{};
    int k = 8 * j;
    for (std::uint8_t &byte : r)
        byte = record.dataByte(++k);
    return r;
}

} // namespace BootloaderReports

namespace {

QString hex(qint64 value) { return QString::number(value, 16).toUpper(); }

} // namespace

namespace {
QString noRecordMessage(const QString &fileName, const AddressWindow &w)
{
    return QStringLiteral("No record of %1 starts in the flash to be programmed (%2 to %3, outside the bootloader "
                          "from %4 to %5).  Nothing was sent.")
        .arg(fileName, hex(w.flashStart), hex(w.flashEnd), hex(w.bootloaderStart), hex(w.bootloaderEnd));
}
} // namespace

ProgrammingRun::Check ProgrammingRun::check(S19Reader &reader, const QString &fileName, const AddressWindow &window)
{
    if (!reader.open(fileName))
        return {reader.errorMessage()};
    const S19Reader::Validation validation = reader.validate(window);
    if (!validation.ok)
        return {validation.message, true};
    // Programming nothing would still send the start and end reports and end
    // with "Done!!!": the user is told instead that the window took nothing.
    if (validation.records == 0)
        return {noRecordMessage(fileName, window), true};
    return {{}, true, validation.records, validation.total};
}

void ProgrammingRun::send(const BootloaderReports::Report &report)
{
    std::copy(report.begin(), report.end(), NonBlockingUSB::OutBuffer.begin());
    NonBlockingUSB::WriteReport();
}

void ProgrammingRun::finish(ProgrammingView &view)
{
    view.setProgressValue(0);
    m_reader.close();
    m_busy = false;
}

void ProgrammingRun::program(ProgrammingView &view)
{
    using namespace BootloaderReports;
    if (!NonBlockingUSB::Connected) {
        view.message(QStringLiteral("Not connected to module."));
        return;
    }
    if (m_busy) {
        view.message(QStringLiteral("Error, all ready programming.  Current programming stopped"));
        m_reader.close();
        m_busy = false;
        ++m_run;
        return;
    }
    // A transfer that lets events run owns the link until it ends; so does a
    // run just stopped, until its wait is over. Our reports would land in the
    // middle of theirs.
    if (const QString refusal = view.linkRefusal(); !refusal.isEmpty()) {
        view.message(refusal);
        return;
    }

    const int run = ++m_run;
    m_busy = true;
    view.setProgressValue(0);
    // No timer's report may reach the module between ours, however the run ends.
    view.holdLink(true);
    ++m_active;
    struct Release {
        ProgrammingView &view;
        int &active;
        ~Release()
        {
            --active;
            view.holdLink(false);
        }
    } release{view, m_active};
    // A run stopped by another press of "Program" ends at once after the wait
    // it was in: no further record, no end report, no further message. The
    // press has closed the file and cleared the busy flag; the bar goes back
    // to 0 as after every other way out of a run.
    auto stoppedHere = [&] {
        if (!stopped(run))
            return false;
        view.setProgressValue(0);
        return true;
    };

    const QString fileName = view.imageFileName();
    // A cancelled file dialog is the user's own choice: the run ends quietly.
    if (fileName.isEmpty()) {
        finish(view);
        return;
    }
    const AddressWindow window = view.addressWindow();
    const Check checked = check(m_reader, fileName, window);
    if (!checked.refusal.isEmpty()) {
        view.message(checked.refusal);
        finish(view);
        return;
    }
    view.setProgressMaximum(checked.total);
    m_reader.rewind();
    m_misc.DoEvents();
    if (stoppedHere())
        return;

    send(start());
    m_misc.Wait(StartWaitMs);
    if (stoppedHere())
        return;

    qint64 lastPause = 0;
    S19Record record;
    while (m_reader.next(window, record)) {
        if (view.stopBeforeNextRecord()) {
            finish(view);
            return;
        }
        view.showAddress(record.addressText);
        send(header(record));
        if (record.address > lastPause + PauseSpacing) {
            m_misc.Wait(PauseWaitMs);
            if (stoppedHere())
                return;
            lastPause = record.address;
        }
        for (int j = 0; j < 4; ++j)
            send(data(record, j));
        const int maximum = view.progressMaximum();
        const int value = view.progressValue();
        // The bounds only matter if the file changed between the two passes.
        if (maximum > value)
            view.setProgressValue(int(std::clamp<qint64>(qint64(value) + record.n, 0, maximum)));
        m_misc.Sleep(ReplySleepMs);
        // A lost reply is reported, and the run goes on judging whatever reply
        // was read last.
        if (!NonBlockingUSB::ReadReport())
            view.message(QStringLiteral("USB timeout"));
        if (NonBlockingUSB::InBuffer[0] == 0xFF) {
            view.message(QStringLiteral("Error!"));
            finish(view);
            return;
        }
    }

    send(end());
    m_misc.Sleep(EndSleepMs);
    NonBlockingUSB::ReadReport();
    view.message(NonBlockingUSB::InBuffer[0] == 0x55 ? QStringLiteral("Done!!!") : QStringLiteral("Error!"));
    finish(view);
}
