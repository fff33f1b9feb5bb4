// The S-record reader, the Reflash prompt, the firmware window it opens, and
// the programming run against the virtual module's bootloader, on virtual time.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"
#include "srecord.h"

#include <QTest>
#include <QtWidgets>

namespace {
// One record line at each address; the checksum is never read, so it is left 00.
QByteArray rec(const char *type, const QByteArray &addresses, const QByteArray &dataHex = "00000000")
{
    QByteArray file;
    for (const QByteArray &a : addresses.split(' '))
        file += type + QByteArray::number(a.size() / 2 + dataHex.size() / 2 + 1, 16).toUpper().rightJustified(2, '0') +
                a + dataHex + "00\r\n";
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

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    // Any warning is a fault, but for what the offscreen platform cannot do.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )"))); }

    // Hex text as the run reads it (HexStrToDec, "overflow" when it clears ok; ReadHexField), the response to keys
    // on both sides of each threshold of the derivation, the typed entry taken to the nearest whole number (halves
    // to even) and whether it opens for key 1, and two keys drawn in the same millisecond.
    void numbersComeOutExactly()
    {
        QStringList got;
        for (const QString text : {"80000000", "FFFFFFFF", "100000000"}) {
            bool ok = false;
            const qint32 value = HexStrToDec(text, &ok);
            got << (ok ? "" : "overflow ") + QString::number(value) + " " + QString::number(ReadHexField(text));
        }
        for (const qint32 key : {1, 9461, 9462, 26893, 26894, 45127, 45128, 67309, 67310, 88741, 88742, 100000})
            got << QString::number(ReflashAccess::Response(key));
        for (const QString entry :
             {"284618.5 please", "284617.5", "2147483647.4", "2147483647.5", "-2147483648.5", "-2147483649"}) {
            const auto value = ReflashAccess::EnteredValue(entry);
            got << (value ? QString::number(*value) : "none") + (ReflashAccess::Accepts(1, entry) ? " opens" : "");
        }
        ReflashAccess::KeyGenerator keys(1);
        const qint32 drawn = keys.draw(43200000);
        got << QStringLiteral("%1 %2").arg(drawn).arg(keys.draw(43200000));
        QCOMPARE(got.join(u','), "overflow 0 2147483648,overflow 0 4294967295,268435456 4294967295,284618,294078,"
                                 "320022,337453,373671,391904,464956,487137,505767,527198,571382,582640,284618 opens,"
                                 "284618 opens,2147483647,none,-2147483648,none,69785 10587");
    }

    // The validation pass, then each record of the sending pass: its header
    // report and its data, which the data reports carry.
    void readerTakesTheRecordsInTheWindow_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields");  // Flash Start, Bootloader End and micro; none: the defaults
        QTest::addColumn<QString>("outcome"); // "total/records" and the records, or the message refusing the file
        const QString defaults;
        auto line = [](const char *why) { return "Line " + QString(why) + "  Please recreate s19 file"; };
        // Only a record's start address is tested against the window; a skipped record is never checked.
        row("flash start in, below out", rec("S1", "0200 01FF"), "200 3FFF 0", "4/1 0000020004000000:00000000");
        row("bootloader start and end out", rec("S1", "040F 0410 3FFF") + rec("S1", "1000", "00"), defaults, "0/0");
        row("JM64 flash end", rec("S3", "0000FFFF 00010000"), defaults, "4/1 0000FFFF04000000:00000000");
        row("JM32 flash end", rec("S1", "7FFF 8000"), "410 3FFF 1", "4/1 00007FFF04000000:00000000");
        row("AC256 flash end", rec("S2", "03FFFF 040000"), "410 3FFF 2", "4/1 0003FFFF04000000:00000000");
        row("AC128 flash end", rec("S2", "01FFFF 020000"), "410 3FFF 3", "4/1 0001FFFF04000000:00000000");
        row("fields stop at a non-hex character", rec("S1", "0002 0001"), "2G0 3FFF 0",
            "4/1 0000000204000000:00000000");
        // Fields sit at fixed positions; other lines, lower-case "s1" among them, never count; checksums are not read.
        row("every kind of line",
            QByteArray("S00600004844521B\r\nS107500011223344AA\r\ns107600011223344AA\r\nS20801F000556677889900\r\n"
                       "S3090002000099AABBCC00\r\nS1134000AB\r\nS9030000FC\r\n"),
            "410 3FFF 2",
            "28/4 0000500004000000:11223344 0001F00004000000:55667788 0002000004000000:99AABBCC "
            "0000400010000000:AB");
        // Accepted at 0x4000, but the header is the text "40001" widened to 00040001.
        row("address cut short by the line's end", QByteArray("S20840001\r\n"), defaults, "4/1 0004000104000000:");
        row("no data", QByteArray("S1034000FF\r\nS204004000FF\r\n"), defaults,
            "0/2 0000400000000000: 0000400000000000:");
        row("S1 count 02", QByteArray("S1024000FF\r\n"), defaults, line("4000 not multiple of 4."));
        row("S3 count 01", QByteArray("S30100004000\r\n"), defaults,
            line("00004000 has a byte count too small for its address."));
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        row("32 bytes", rec("S1", "4000", bytes), defaults, "32/1 0000400020000000:" + QString(bytes));
        row("36 bytes", rec("S1", "4000", bytes + "21222324") + rec("S1", "4020"), defaults,
            line("4000 has more than 32 data bytes."));
        row("S3 address above 7FFFFFFF", rec("S3", "00004000 7FFFFFFF 80000000"), defaults,
            line("80000000 has an address above 7FFFFFFF, more than the tuner can handle."));
        const QByteArray s4 = "S107400009afAF0000"; // every edge of the hex digits
        row("every line end", s4 + "\r\n\r\n" + s4 + "\n\r" + s4 + "\r" + s4, defaults,
            "16/4" + QString(" 0000400004000000:09AFAF00").repeated(4));
        // A long line, and a record that straddles the end of the first 64 KiB read.
        row("lines across chunks", s4 + QByteArray(65508, 'F') + "\n" + s4, defaults,
            "8/2 0000400004000000:09AFAF00 0000400004000000:09AFAF00");
    }
    void readerTakesTheRecordsInTheWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        const QStringList f = fields.split(u' ');
        const auto window =
            fields.isEmpty() ? AddressWindow{} : AddressWindow::fromFields(f[0], u"410", f[1], Micro(f[2].toInt()));
        static S19Reader reader; // one for every row, as the window keeps one from run to run
        QVERIFY(reader.open(write(file, QTest::currentDataTag() + QStringLiteral(".s19"))));
        const auto v = reader.validate(window);
        QVERIFY(reader.rewind());
        QString outcome = v.ok ? QStringLiteral("%1/%2").arg(v.total).arg(v.records) : v.message;
        auto bytes = [](const auto &report) { return QByteArray(reinterpret_cast<const char *>(report.data()), 8); };
        for (S19Record r; v.ok && reader.next(window, r);) {
            QByteArray reports;
            for (int j = 0; j < 4; ++j)
                reports += bytes(BootloaderReports::data(r, j));
            QCOMPARE(reports, r.data().leftJustified(32, '\0', true));
            outcome += " " + bytes(BootloaderReports::header(r)).toHex().toUpper() + ":" + r.data().toHex().toUpper();
        }
        QTEST(outcome, "outcome");
    }

    // Reflash opens the window once for the key's response; Program runs with the main window closed meanwhile,
    // and when the firmware window, the last, closes, the application's event loop ends.
    void firmwareWindowOpensWithItsDefaultsAndClosesLast()
    {
        Rig rig;
        QVERIFY(!reflash(rig, QStringLiteral("0")));
        rig.window->mnuReflash_Click();        // cancelled
        QCOMPARE(rig.dialogs.shown.size(), 2); // no message, no second prompt
        QCOMPARE(rig.dialogs.shown[1].title + "|" + rig.dialogs.shown[1].defaultText, "Marlow VGT Tuner|000000");

        QPointer<frmBootloader> fw = reflash(rig, QStringLiteral(".4")); // no module needed
        QStringList shown{fw->objectName() + " " + fw->windowTitle()};
        for (const QWidget *w : fw->findChildren<QWidget *>()) {
            const bool opaque = w->autoFillBackground() && w->backgroundRole() == QPalette::Window;
            shown << QString::number(w->parentWidget()->layout()->indexOf(w)) + w->objectName() + "=" +
                         w->property(w->inherits("QGroupBox") ? "title" : "text").toString() +
                         (w->property("checked").toBool() ? "*" : "") + (opaque ? "#" : "");
        }
        QCOMPARE(
            shown.join(u' '),
            "frmBootloader Coldfire Bootloader 2.0 0Frame1=Settings 1txtflstart=410 3txtblstart=410 5txtblend=3FFF "
            "0=Flash Start 2=Bootloader Start 4=Bootloader End 1Frame2=Options 0optMicro0=JM64* 1optMicro1=JM32 "
            "2optMicro2=AC256 3optMicro3=AC128 4txtFlashOK=F800 5chkSkipFlashOK=Skip Flash OK* 2Frame3=Info "
            "1txtAddress=0# 3txtFilename= 0=Address 2=Filename 4cmdProgram=Program 5ProgressBar1=0%#");
        // A double-click offers the S19 files and takes the name chosen, empty when the dialog is cancelled.
        rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton);
        QCOMPARE(fw->txtFilename->text() + QString::number(rig.dialogs.shown.last().filterIndex) +
                     fw->txtFilename->toolTip() + QString::number(fw->txtFilename->minimumWidth()),
                 "/images/new.s192Double-click to choose the S19 file260");
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton);

        // The same window comes forward again, its fields as they were. Closed, it goes; the next has the defaults.
        fw->txtblend->setText(QStringLiteral("7FFF"));
        rig.window->show();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), rig.window.get());
        QCOMPARE(reflash(rig), fw.get());
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), fw.get());
        QVERIFY(fw->isVisible() && fw->txtblend->text() == u"7FFF" && fw->txtFilename->text().isEmpty() && fw->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!fw && (fw = reflash(rig))->txtblend->text() == u"3FFF");

        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));
        fw->txtFilename->setText(write(rec("S1", "4000")));
        rig.misc.duringEvents = [&] {
            rig.window->close();
            QCoreApplication::processEvents(); // the application tries to quit; the run's window refuses
        };
        QTimer::singleShot(0, fw, [&fw] {
            fw->cmdProgram_Click();
            fw->close();
        });
        QTimer::singleShot(10000, rig.window.get(),
                           [] { QCoreApplication::exit(1); }); // only when the loop would not end
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    // How a run ends by the replies, a second press on Program, the link and the file. While it lets events run,
    // it holds the link and its window stays open; every way out closes the file and leaves the window ready.
    void runEndsAsTheModuleTheUserAndTheFileDecide_data()
    {
        QTest::addColumn<QString>("setup");   // a file, "" (dialog cancelled), "unplugged", "held", or six records and
                                              // a fault or the pass of events where Program is pressed again
        QTest::addColumn<QString>("outcome"); // boxes | journal | progress at events | address | values painted
        // Pauses at 0x401 (0x400 is not beyond 0 + 0x400), 0x4000 and 0x4420 (0x4400 is not beyond 0x4000 + 0x400).
        const QString first = QStringLiteral("E W27 Wt250 W00*5 S50 R W00 Wt250 W00*4 S50 R");
        const QString twice = first + " W00 Wt250 W00*4 S50 R";
        const QString rest = QStringLiteral(" W00*5 S50 R W00*5 S50 R W00 Wt250 W00*4 S50 R WFF S100 R");
        const QString events = QStringLiteral(" | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 24 0");
        row("all taken", "six records", "Done!!! | " + twice + rest + events);
        row("0xFF to the third record stops it", "refuse 3",
            "Error! | " + twice + " | 0/24 0/24 4/24 8/24 | 004000 | 8 12 0");
        row("no reply to the second record", "drop 2",
            "USB timeout; Done!!! | " + first + "- W00 Wt250 W00*4 S50 R" + rest + events);
        row("no final reply", "drop end", "Error! | " + twice + rest + "-" + events);
        const QString stopped = QStringLiteral("Error, all ready programming.  Current programming stopped | ");
        row("pressed before the start report", "press 1", stopped + "E | 0/24 | 0 | ");
        row("pressed after the start report", "press 2", stopped + "E W27 Wt250 | 0/24 0/24 | 0 | ");
        row("pressed during the last pause", "press 5",
            stopped + twice + " W00*5 S50 R W00*5 S50 R W00 Wt250 | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 0");
        const QString nothing = QStringLiteral(" |  |  | 0 | ");
        row("not connected", "unplugged", "Not connected to module." + nothing);
        row("link held", "held", "The module is busy with a transfer. Try again when it has finished." + nothing);
        row("cancelled file dialog", "", "Open All Files (*.*)|*.*|S19 Files (*.s19)|*.s19" + nothing);
        row("malformed example", EXAMPLES_DIR "/malformed-jm64.s19",
            "Line 8000 not multiple of 4.  Please recreate s19 file" + nothing);
        const QString outside = write(rec("S1", "1000") + rec("S2", "020000", ""), QStringLiteral("outside.s19"));
        row("nothing in the window", outside,
            QStringLiteral("No record of %1 starts in the flash to be programmed (400 to 1FFFF, outside the bootloader "
                           "from 410 to 3FFF).  Nothing was sent.")
                    .arg(outside) +
                nothing);
        row("missing file", "/nonexistent/image.s19",
            "The file /nonexistent/image.s19 could not be opened: No such file or directory." + nothing);
        row("a folder", "/", "The file / could not be opened: it is not a regular file." + nothing);
        row("a file that cannot be read", "/proc/self/mem",
            "The file /proc/self/mem could not be read: Input/output error." + nothing);
    }
    void runEndsAsTheModuleTheUserAndTheFileDecide()
    {
        QFETCH(QString, setup);
        Rig rig;
        frmBootloader &fw = *reflash(rig);
        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")) && setup != u"unplugged";
        rig.dialogs.clear();
        rig.journal.clear();
        const int n = setup.section(u' ', 1).toInt();
        SimBootloader::Faults &faults = rig.module.bootloader().faults;
        faults.refuseRecord = setup.startsWith(u"refuse") ? n : 0;
        faults.dropReplyToRecord = setup.startsWith(u"drop") ? n : 0;
        faults.dropEndReply = setup == u"drop end";
        if (setup == u"held")
            rig.window->holdLink(true);
        fw.txtflstart->setText(QStringLiteral("400"));
        fw.optMicro[3]->click(); // AC128
        const QString file =
            setup.isEmpty() || setup.contains(u'/') ? setup : write(rec("S1", "0400 0401 4000 4020 4400 4420"));
        auto isOpen = [&file] { return QFileInfo::exists(file) && fileIsOpen(file); };
        QStringList events;
        rig.misc.duringEvents = [&] {
            QVERIFY(!fw.close() && isOpen() && rig.window->linkBusy());
            events << QStringLiteral("%1/%2").arg(fw.ProgressBar1->value()).arg(fw.ProgressBar1->maximum());
            if (setup == "press " + QString::number(events.size()))
                fw.cmdProgram->click();
        };
        QCoreApplication::processEvents(); // the window shown and painted long before the run
        rig.misc.advance(1000);
        PaintLog painted;
        fw.ProgressBar1->installEventFilter(&painted);
        fw.txtFilename->setText(file);
        fw.cmdProgram->click();
        QStringList shown;
        for (const ShownBox &box : rig.dialogs.shown)
            shown << (box.title == u"Marlow VGT Tuner" ? box.text : box.kind + " " + box.filter);
        QTEST(shown.join("; ") + " | " + rig.journal.summary() + " | " + events.join(' ') + " | " +
                  fw.txtAddress->text() + " | " + painted.values.join(' '),
              "outcome");
        QVERIFY(!isOpen() && !fw.busy() && fw.ProgressBar1->value() == 0);
        QCOMPARE(rig.window->linkBusy(), setup == u"held");
    }
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
