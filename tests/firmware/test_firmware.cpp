// The S-record reader, the Reflash prompt, the firmware window it opens, and
// the programming run against the virtual module's bootloader, on virtual time.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"
#include "srecord.h"

#include <QTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SimBootloader::Faults)

namespace {
// One record line; the checksum is never read, so it is left 00.
QByteArray rec(const char *type, const QByteArray &address, const QByteArray &dataHex = "00000000")
{
    const auto count = QByteArray::number(address.size() / 2 + dataHex.size() / 2 + 1, 16).toUpper();
    return type + count.rightJustified(2, '0') + address + dataHex + "00\r\n";
}

// One S3 record of 4 bytes at each address.
QByteArray at(std::initializer_list<qint64> addresses)
{
    QByteArray file;
    for (qint64 a : addresses)
        file += rec("S3", QByteArray::number(a, 16).toUpper().rightJustified(8, '0'));
    return file;
}

QString write(const QByteArray &content, const QString &name = QStringLiteral("image.s19"))
{
    static QTemporaryDir dir;
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(f.fileName()));
    return f.fileName();
}

// Whether some descriptor of this process is open on the file.
bool isOpen(const QString &fileName)
{
    const QString path = QFileInfo(fileName).canonicalFilePath();
    const auto fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System);
    return !path.isEmpty() &&
           std::any_of(fds.begin(), fds.end(), [&](const QFileInfo &fd) { return fd.symLinkTarget() == path; });
}

// The values the progress bar shows each time it is painted.
struct PaintLog : QObject {
    QStringList values;
    bool eventFilter(QObject *bar, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            values << QString::number(static_cast<QProgressBar *>(bar)->value());
        return false;
    }
};

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

// Reflash, answered as service staff would from the key shown, with `suffix` typed after the response.
frmBootloader *reflash(Rig &rig, const QString &suffix = {})
{
    rig.dialogs.onShow = [&rig, suffix](const ShownBox &box) {
        const auto m = QRegularExpression(QStringLiteral("^Enter password for key of ([1-9][0-9]*)$")).match(box.text);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() <= 100000, qPrintable(box.text));
        rig.dialogs.inputAnswers.enqueue(QString::number(ReflashAccess::Response(m.captured(1).toInt())) + suffix);
    };
    rig.window->mnuReflash_Click();
    rig.dialogs.onShow = nullptr;
    return rig.window->findChild<frmBootloader *>();
}

// The firmware window on a connected module.
struct Bench : Rig {
    frmBootloader &fw = *reflash(*this);
    Bench()
    {
        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));
        dialogs.clear();
        journal.clear();
    }
};
} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    // Any warning is a fault, but for what the offscreen platform cannot do.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )"))); }
    void hexTextReadsAsTheRunNeedsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // HexStrToDec ("overflow" when it clears ok), ReadHexField
        row("beyond 32 bits signed", "80000000", "overflow 0 2147483648");
        row("field at 32 bits unsigned", "FFFFFFFF", "overflow 0 4294967295");
        row("field beyond saturates", "100000000", "268435456 4294967295");
    }
    void hexTextReadsAsTheRunNeedsIt()
    {
        QFETCH(QString, text);
        bool ok = false;
        const qint32 value = HexStrToDec(text, &ok);
        QTEST((ok ? "" : "overflow ") + QString::number(value) + " " + QString::number(ReadHexField(text)), "result");
    }

    // The validation pass, then each record of the sending pass: its header
    // report and its data, which the data reports carry.
    void readerTakesTheRecordsInTheWindow_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields"); // Flash Start and Bootloader End; none: the defaults
        QTest::addColumn<int>("micro");
        QTest::addColumn<QString>("outcome"); // "total/records" and the records, or the message refusing the file
        const QString defaults, fields = QStringLiteral("410 3FFF");
        auto line = [](const char *why) { return "Line " + QString(why) + "  Please recreate s19 file"; };
        // Only a record's start address is tested against the window; a skipped record is never checked.
        row("flash start in, below out", at({0x200, 0x1FF}), "200 3FFF", 0, "4/1 0000020004000000:00000000");
        row("bootloader start and end out", at({0x40F, 0x410, 0x3FFF}) + rec("S1", "1000", "00"), defaults, 0, "0/0");
        row("JM64 flash end", at({0xFFFF, 0x10000}), defaults, 0, "4/1 0000FFFF04000000:00000000");
        row("JM32 flash end", at({0x7FFF, 0x8000}), fields, 1, "4/1 00007FFF04000000:00000000");
        row("AC256 flash end", at({0x3FFFF, 0x40000}), fields, 2, "4/1 0003FFFF04000000:00000000");
        row("AC128 flash end", at({0x1FFFF, 0x20000}), fields, 3, "4/1 0001FFFF04000000:00000000");
        // Fields read unsigned up to the first non-hex character: "8000" neither widens nor empties the window.
        row("bootloader end 8000 is 0x8000", at({0x8000, 0x8001}), "410 8000", 0, "4/1 0000800104000000:00000000");
        row("flash start stops at a non-hex character", at({0x2, 0x1}), "2G0 3FFF", 0, "4/1 0000000204000000:00000000");
        // Fields sit at fixed positions; other lines, lower-case "s1" among them, never count; checksums are not read.
        row("every kind of line",
            QByteArray("S00600004844521B\r\nS107500011223344AA\r\ns107600011223344AA\r\nS20801F000556677889900\r\n"
                       "S3090002000099AABBCC00\r\nS1134000AB\r\nS9030000FC\r\n"),
            fields, 2,
            "28/4 0000500004000000:11223344 0001F00004000000:55667788 0002000004000000:99AABBCC "
            "0000400010000000:AB");
        // Accepted at 0x4000, but the header is the text "40001" widened to 00040001.
        row("address cut short by the line's end", QByteArray("S20840001\r\n"), defaults, 0, "4/1 0004000104000000:");
        row("no data", QByteArray("S1034000FF\r\nS204004000FF\r\n"), defaults, 0,
            "0/2 0000400000000000: 0000400000000000:");
        row("S1 count 02", QByteArray("S1024000FF\r\n"), defaults, 0, line("4000 not multiple of 4."));
        row("S3 count 01", QByteArray("S30100004000\r\n"), defaults, 0,
            line("00004000 has a byte count too small for its address."));
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        row("32 bytes", rec("S1", "4000", bytes), defaults, 0, "32/1 0000400020000000:" + QString(bytes));
        row("36 bytes", rec("S1", "4000", bytes + "21222324") + rec("S1", "4020"), defaults, 0,
            line("4000 has more than 32 data bytes."));
        row("S3 address above 7FFFFFFF", at({0x4000, 0x7FFFFFFF, 0x80000000}), defaults, 0,
            line("80000000 has an address above 7FFFFFFF, more than the tuner can handle."));
        const QByteArray s4 = "S107400009afAF0000"; // every edge of the hex digits
        row("every line end", s4 + "\r\n\r\n" + s4 + "\n\r" + s4 + "\r" + s4, defaults, 0,
            "16/4" + QString(" 0000400004000000:09AFAF00").repeated(4));
        // A long line, and a record that straddles the end of the first 64 KiB read.
        row("lines across chunks", s4 + QByteArray(65508, 'F') + "\n" + s4, defaults, 0,
            "8/2 0000400004000000:09AFAF00 0000400004000000:09AFAF00");
    }
    void readerTakesTheRecordsInTheWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        QFETCH(int, micro);
        const auto window = fields.isEmpty() ? AddressWindow{}
                                             : AddressWindow::fromFields(fields.section(' ', 0, 0), u"410",
                                                                         fields.section(' ', 1), Micro(micro));
        static S19Reader reader; // one for every row, as the window keeps one from run to run
        QVERIFY(reader.open(write(file, QTest::currentDataTag() + QStringLiteral(".s19"))));
        const auto v = reader.validate(window);
        QVERIFY(reader.rewind());
        QString outcome = v.ok ? QStringLiteral("%1/%2").arg(v.total).arg(v.records) : v.message;
        auto bytes = [](const BootloaderReports::Report &report) {
            return QByteArray(reinterpret_cast<const char *>(report.data()), 8);
        };
        for (S19Record r; v.ok && reader.next(window, r);) {
            QByteArray reports;
            for (int j = 0; j < 4; ++j)
                reports += bytes(BootloaderReports::data(r, j));
            QCOMPARE(reports, r.data().leftJustified(32, '\0', true));
            outcome += " " + bytes(BootloaderReports::header(r)).toHex().toUpper() + ":" + r.data().toHex().toUpper();
        }
        QTEST(outcome, "outcome");
    }

    void entryOpensOnlyWithItsKeysResponse_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("result"); // the entered value, or "none", and whether it opens
        // Keys on each threshold of the derivation and one above it.
        row("lowest key", 1, "284618", "284618 opens");
        row("9461", 9461, "294078", "294078 opens");
        row("9462", 9462, "320022", "320022 opens");
        row("26893", 26893, "337453", "337453 opens");
        row("26894", 26894, "373671", "373671 opens");
        row("45127", 45127, "391904", "391904 opens");
        row("45128", 45128, "464956", "464956 opens");
        row("67309", 67309, "487137", "487137 opens");
        row("67310", 67310, "505767", "505767 opens");
        row("88741", 88741, "527198", "527198 opens");
        row("88742", 88742, "571382", "571382 opens");
        row("highest key", 100000, "582640", "582640 opens");
        // The leading number taken to the nearest whole number, halves to even.
        row("half rounds down to even", 1, "284618.5 please", "284618 opens");
        row("half rounds up to even", 1, "284617.5", "284618 opens");
        row("largest", 1, "2147483647.4", "2147483647");
        row("beyond largest", 1, "2147483647.5", "none");
        row("smallest", 1, "-2147483648.5", "-2147483648");
        row("beyond smallest", 1, "-2147483649", "none");
    }
    void entryOpensOnlyWithItsKeysResponse()
    {
        QFETCH(int, key);
        QFETCH(QString, entry);
        const auto value = ReflashAccess::EnteredValue(entry);
        QTEST((value ? QString::number(*value) : "none") + (ReflashAccess::Accepts(key, entry) ? " opens" : ""),
              "result");
    }

    void reflashOpensTheFirmwareWindowWithItsDefaults()
    {
        // One generator, the time of day mixed in: the same millisecond twice gives two keys.
        ReflashAccess::KeyGenerator keys(1);
        const qint32 drawn = keys.draw(43200000);
        QCOMPARE(QStringLiteral("%1 %2").arg(drawn).arg(keys.draw(43200000)), "69785 10587");

        Rig rig;
        QVERIFY(!reflash(rig, QStringLiteral("0")));
        rig.window->mnuReflash_Click(); // cancelled
        QVERIFY(!rig.window->findChild<frmBootloader *>() && rig.journal.entries().isEmpty());
        QCOMPARE(rig.dialogs.shown.size(), 2); // no message, no second prompt
        QCOMPARE(rig.dialogs.shown[1].title + "|" + rig.dialogs.shown[1].defaultText, "Marlow VGT Tuner|000000");

        QPointer<frmBootloader> fw = reflash(rig, QStringLiteral(".4")); // no module needed
        QStringList shown{fw->objectName() + " " + fw->windowTitle()};
        for (QGroupBox *frame : {fw->Frame1, fw->Frame2, fw->Frame3}) {
            QCOMPARE(fw->layout()->indexOf(frame), int(shown.size()) - 1); // left to right
            shown << frame->objectName() + " " + frame->title() + ":";
            for (int i = 0; i < frame->layout()->count(); ++i) {
                const QWidget *w = frame->layout()->itemAt(i)->widget();
                shown.last() += " " + w->objectName() + "=" + w->property("text").toString() +
                                (w->property("checked").toBool() ? "*" : "");
            }
        }
        QCOMPARE(shown.join(u'|'),
                 "frmBootloader Coldfire Bootloader 2.0|Frame1 Settings: =Flash Start txtflstart=410 =Bootloader Start "
                 "txtblstart=410 =Bootloader End txtblend=3FFF|Frame2 Options: optMicro0=JM64* optMicro1=JM32 "
                 "optMicro2=AC256 optMicro3=AC128 txtFlashOK=F800 chkSkipFlashOK=Skip Flash OK*|Frame3 Info: "
                 "=Address txtAddress=0 =Filename txtFilename= cmdProgram=Program ProgressBar1=0%");
        QCOMPARE(fw->txtFilename->toolTip() + QString::number(fw->txtFilename->minimumWidth()),
                 "Double-click to choose the S19 file260");
        for (QWidget *box : {static_cast<QWidget *>(fw->ProgressBar1), static_cast<QWidget *>(fw->txtAddress)})
            QVERIFY(box->autoFillBackground() && box->backgroundRole() == QPalette::Window);
        // A double-click offers the S19 files and takes the name chosen, empty when the dialog is cancelled.
        rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton);
        QCOMPARE(fw->txtFilename->text() + QString::number(rig.dialogs.shown.last().filterIndex), "/images/new.s192");
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton);

        // The same window comes forward again, its fields as they were. Closed,
        // it goes, and the next one has the defaults.
        fw->txtblend->setText(QStringLiteral("7FFF"));
        rig.window->show();
        rig.window->activateWindow();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), rig.window.get());
        QCOMPARE(reflash(rig), fw.get());
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), fw.get());
        QVERIFY(fw->isVisible() && fw->txtblend->text() == u"7FFF" && fw->txtFilename->text().isEmpty());
        QVERIFY(fw->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!fw);
        QCOMPARE(reflash(rig)->txtblend->text(), QStringLiteral("3FFF"));
    }

    // Closed during a run, the main window leaves the firmware window to finish
    // it; when that last window closes, the application's event loop ends.
    void tunerEndsWithItsLastWindow()
    {
        Bench b;
        b.window->show();
        b.fw.txtFilename->setText(write(rec("S1", "4000")));
        b.misc.duringEvents = [&] {
            b.window->close();
            QCoreApplication::processEvents(); // the application tries to quit; the run's window refuses
        };
        QTimer::singleShot(0, &b.fw, [&b] {
            b.fw.cmdProgram_Click();
            b.fw.close();
        });
        QTimer::singleShot(10000, &b.fw, [] { QCoreApplication::exit(1); }); // only when the loop would not end
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(b.dialogs.messages(), QStringList{"Done!!!"});
    }

    // How a run ends by the replies, a second press on Program, the link and the
    // file. While it lets events run, it holds the link and its window stays
    // open; every way out closes the file and leaves the window ready.
    void runEndsAsTheModuleTheUserAndTheFileDecide_data()
    {
        QTest::addColumn<SimBootloader::Faults>("faults");
        QTest::addColumn<int>("pressAtEvents"); // the pass of events in which Program is pressed again
        QTest::addColumn<QString>("setup");     // "unplugged", "held", a file, "" (dialog cancelled), or six records
        QTest::addColumn<QString>("outcome");   // boxes | journal | progress at events | address | values painted
        const SimBootloader::Faults none{};
        const QString six = QStringLiteral("six records");
        // Pauses at 0x401 (0x400 is not beyond 0 + 0x400), 0x4000 and 0x4420 (0x4400 is not beyond 0x4000 + 0x400).
        const QString twice = QStringLiteral("E W27 Wt250 W00*5 S50 R W00 Wt250 W00*4 S50 R W00 Wt250 W00*4 S50 R");
        const QString rest = QStringLiteral(" W00*5 S50 R W00*5 S50 R W00 Wt250 W00*4 S50 R WFF S100 R");
        const QString events = QStringLiteral(" | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 24 0");
        row("all taken", none, 0, six, "Done!!! | " + twice + rest + events);
        row("0xFF to the third record stops it", SimBootloader::Faults{.refuseRecord = 3}, 0, six,
            "Error! | " + twice + " | 0/24 0/24 4/24 8/24 | 004000 | 8 12 0");
        row("no reply to the second record", SimBootloader::Faults{.dropReplyToRecord = 2}, 0, six,
            "USB timeout; Done!!! | E W27 Wt250 W00*5 S50 R W00 Wt250 W00*4 S50 R- W00 Wt250 W00*4 S50 R" + rest +
                events);
        row("no final reply", SimBootloader::Faults{.dropEndReply = true}, 0, six,
            "Error! | " + twice + rest + "-" + events);
        const QString stopped = QStringLiteral("Error, all ready programming.  Current programming stopped | ");
        row("pressed before the start report", none, 1, six, stopped + "E | 0/24 | 0 | ");
        row("pressed after the start report", none, 2, six, stopped + "E W27 Wt250 | 0/24 0/24 | 0 | ");
        row("pressed during the last pause", none, 5, six,
            stopped + twice + " W00*5 S50 R W00*5 S50 R W00 Wt250 | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 0");
        const QString nothing = QStringLiteral(" |  |  | 0 | ");
        row("not connected", none, 0, "unplugged", "Not connected to module." + nothing);
        row("link held", none, 0, "held",
            "The module is busy with a transfer. Try again when it has finished." + nothing);
        row("cancelled file dialog", none, 0, QString(), "Open All Files (*.*)|*.*|S19 Files (*.s19)|*.s19" + nothing);
        row("malformed example", none, 0, QStringLiteral(EXAMPLES_DIR "/malformed-jm64.s19"),
            "Line 8000 not multiple of 4.  Please recreate s19 file" + nothing);
        const QString outside = write(rec("S1", "1000") + rec("S2", "020000", ""), QStringLiteral("outside.s19"));
        row("nothing in the window", none, 0, outside,
            "No record of " + outside +
                " starts in the flash to be programmed (400 to 1FFFF, outside the bootloader from 410 to 3FFF).  "
                "Nothing was sent." +
                nothing);
        row("missing file", none, 0, "/nonexistent/image.s19",
            "The file /nonexistent/image.s19 could not be opened: No such file or directory." + nothing);
        const QString folder = QFileInfo(outside).path();
        row("a folder", none, 0, folder,
            "The file " + folder + " could not be opened: it is not a regular file." + nothing);
        row("a file that cannot be read", none, 0, "/proc/self/mem",
            "The file /proc/self/mem could not be read: Input/output error." + nothing);
    }
    void runEndsAsTheModuleTheUserAndTheFileDecide()
    {
        QFETCH(SimBootloader::Faults, faults);
        QFETCH(int, pressAtEvents);
        QFETCH(QString, setup);
        Bench b;
        b.module.bootloader().faults = faults;
        NonBlockingUSB::Connected = setup != u"unplugged";
        if (setup == u"held")
            b.window->holdLink(true);
        b.fw.txtflstart->setText(QStringLiteral("400"));
        b.fw.optMicro[3]->click(); // AC128
        QByteArray six;
        for (const char *address : {"0400", "0401", "4000", "4020", "4400", "4420"})
            six += rec("S1", address);
        const QString file = setup.isEmpty() || setup.contains(u'/') ? setup : write(six);
        QStringList events;
        b.misc.duringEvents = [&] {
            QVERIFY(!b.fw.close() && isOpen(file) && b.window->linkBusy());
            events << QStringLiteral("%1/%2").arg(b.fw.ProgressBar1->value()).arg(b.fw.ProgressBar1->maximum());
            if (events.size() == pressAtEvents)
                b.fw.cmdProgram->click();
        };
        QCoreApplication::processEvents(); // the window shown and painted long before the run
        b.misc.advance(1000);
        PaintLog painted;
        b.fw.ProgressBar1->installEventFilter(&painted);
        b.fw.txtFilename->setText(file);
        b.fw.cmdProgram->click();
        QStringList shown;
        for (const ShownBox &box : b.dialogs.shown)
            shown << (box.title == u"Marlow VGT Tuner" ? box.text : box.kind + " " + box.filter);
        QTEST(shown.join("; ") + " | " + b.journal.summary() + " | " + events.join(' ') + " | " +
                  b.fw.txtAddress->text() + " | " + painted.values.join(' '),
              "outcome");
        QVERIFY(!isOpen(file) && !b.fw.busy() && b.fw.ProgressBar1->value() == 0);
        QCOMPARE(b.window->linkBusy(), setup == u"held");
    }
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
