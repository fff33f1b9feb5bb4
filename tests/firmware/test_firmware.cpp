// The S-record reader, the Reflash prompt, its firmware window and its runs against the virtual bootloader.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"

#include <QTest>
#include <QtWidgets>

namespace {
// One record line at each address; the checksum is never read, so it is left 00.
QByteArray rec(const char *type, const QByteArray &addresses, const QByteArray &data = "00000000")
{
    QByteArray file;
    for (const QByteArray &a : addresses.split(' '))
        file += type + QByteArray::number(0x100 + (a.size() + data.size()) / 2 + 1, 16).mid(1) + a + data + "00\r\n";
    return file;
}

QString write(const QByteArray &content, const QString &name = QStringLiteral("image.s19"))
{
    static QTemporaryDir dir;
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size() ? f.fileName() : QString();
}

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

frmBootloader *reflash(Rig &rig, const QString &suffix = {})
{
    rig.dialogs.onShow = [&rig, suffix](const ShownBox &box) {
        const qint32 key = box.text.section(u' ', -1).toInt();
        rig.dialogs.inputAnswers.enqueue(QString::number(ReflashAccess::Response(key)) + suffix);
    };
    rig.window->mnuReflash_Click();
    rig.dialogs.onShow = nullptr;
    return rig.window->findChild<frmBootloader *>();
}

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
    QStringList painted; // the values the progress bar shows each time it is painted
    bool eventFilter(QObject *bar, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted << QString::number(static_cast<QProgressBar *>(bar)->value());
        return false;
    }
private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )"))); }

    // Hex two ways (0: overflow), responses around thresholds, entries rounded half to even, same-millisecond keys.
    void hexTextKeysAndEntriesGiveExactNumbers()
    {
        QStringList got;
        for (const QString text : {"80000000", "FFFFFFFF", "100000000"}) {
            bool ok = false;
            const qint32 value = HexStrToDec(text, &ok);
            got << QString::number(value) + (ok ? "" : "!") << QString::number(ReadHexField(text));
        }
        for (const qint32 key : {1, 9461, 9462, 26893, 26894, 45127, 45128, 67309, 67310, 88741, 88742, 100000})
            got << QString::number(ReflashAccess::Response(key));
        for (const QString entry :
             {"284618.5 please", "284617.5", "2147483647.4", "2147483647.5", "-2147483648.5", "-2147483649"}) {
            const auto value = ReflashAccess::EnteredValue(entry);
            got << (value ? QString::number(*value) : "none") + (ReflashAccess::Accepts(1, entry) ? " opens" : "");
        }
        ReflashAccess::KeyGenerator keys(1);
        got << QString::number(keys.draw(43200000)) << QString::number(keys.draw(43200000));
        QCOMPARE(got.join(u','), "0!,2147483648,0!,4294967295,268435456,4294967295,284618,294078,"
                                 "320022,337453,373671,391904,464956,487137,505767,527198,571382,582640,284618 opens,"
                                 "284618 opens,2147483647,none,-2147483648,none,69785,10587");
    }

    void readerTakesTheRecordsInTheWindow_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields");  // Flash Start, Bootloader End and micro; none: the defaults
        QTest::addColumn<QString>("outcome"); // "total/records" and the records, or the message refusing the file
        auto line = [](const char *why) { return "Line " + QString(why) + "  Please recreate s19 file"; };
        row("flash start in, below out; JM32 end", rec("S1", "0200 01FF 7FFF 8000"), "200 3FFF 1",
            "8/2 0000020004000000:00000000 00007FFF04000000:00000000");
        row("fields stop at a non-hex character; AC256 end", rec("S1", "0002 0001") + rec("S2", "03FFFF 040000"),
            "2G0 3FFF 2", "8/2 0000000204000000:00000000 0003FFFF04000000:00000000");
        // "S20840001" is accepted at 0x4000, but its header is the text "40001" widened to 00040001.
        row("every kind of line, fields at fixed places, an address cut short, no data, bootloader and JM64 ends",
            "S00600004844521B\r\nS107500011223344AA\r\ns107600011223344AA\r\nS1134000AB\r\nS9030000FC\r\nS20840001\r\n"
            "S1034000FF\r\nS204004000FF\r\n" +
                rec("S1", "040F 0410 3FFF") + rec("S1", "1000", "00") + rec("S3", "0000FFFF 00010000"),
            "",
            "28/6 0000500004000000:11223344 0000400010000000:AB 0004000104000000: 0000400000000000: "
            "0000400000000000: 0000FFFF04000000:00000000");
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        row("32 bytes", rec("S1", "4000", bytes), "", "32/1 0000400020000000:" + QString(bytes));
        row("36 bytes", rec("S1", "4000", bytes + "21222324"), "", line("4000 has more than 32 data bytes."));
        row("S3 address above 7FFFFFFF, a record after it", rec("S3", "00004000 7FFFFFFF 80000000 00004000"), "",
            line("80000000 has an address above 7FFFFFFF, more than the tuner can handle."));
        const QByteArray s4 = "S107400009afAF0000"; // every edge of the hex digits
        // Every line end; then a long line, and a record that straddles the end of the first 64 KiB read.
        row("every line end, lines across chunks",
            s4 + "\r\n\r\n" + s4 + "\n\r" + s4 + "\r" + s4 + QByteArray(65447, 'F') + "\n" + s4, "",
            "20/5" + QString(" 0000400004000000:09AFAF00").repeated(5));
    }
    void readerTakesTheRecordsInTheWindow()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        const QStringList f = fields.split(u' ');
        const auto w =
            fields.isEmpty() ? AddressWindow{} : AddressWindow::fromFields(f[0], u"410", f[1], Micro(f[2].toInt()));
        static S19Reader reader; // one for every row, as the window keeps one from run to run
        QVERIFY(reader.open(write(file, QTest::currentDataTag() + QStringLiteral(".s19"))));
        const auto v = reader.validate(w);
        QVERIFY(reader.rewind());
        QString outcome = v.ok ? QStringLiteral("%1/%2").arg(v.total).arg(v.records) : v.message;
        auto bytes = [](const auto &report) { return QByteArray(reinterpret_cast<const char *>(report.data()), 8); };
        for (S19Record r; v.ok && reader.next(w, r);) {
            using BootloaderReports::data;
            QCOMPARE(bytes(data(r, 0)) + bytes(data(r, 1)) + bytes(data(r, 2)) + bytes(data(r, 3)),
                     r.data().leftJustified(32, '\0', true));
            outcome += " " + bytes(BootloaderReports::header(r)).toHex().toUpper() + ":" + r.data().toHex().toUpper();
        }
        QTEST(outcome, "outcome");
    }

    void reflashOpensTheFirmwareWindowWithItsDefaults()
    {
        Rig rig;
        QVERIFY(!reflash(rig, QStringLiteral("0")));
        QPointer<frmBootloader> fw = reflash(rig, QStringLiteral(".4")); // no module needed
        QStringList shown{rig.dialogs.shown[0].defaultText, fw->objectName(), fw->windowTitle()};
        for (const QWidget *w : fw->findChildren<QWidget *>()) {
            const bool opaque = w->autoFillBackground() && w->backgroundRole() == QPalette::Window;
            shown << QString::number(w->parentWidget()->layout()->indexOf(w)) + w->objectName() + "=" +
                         w->property(w->inherits("QGroupBox") ? "title" : "text").toString() +
                         (w->property("checked").toBool() ? "*" : "") + (opaque ? "#" : "");
        }
        QCOMPARE(
            shown.join(u' '),
            "000000 frmBootloader Coldfire Bootloader 2.0 0Frame1=Settings 1txtflstart=410 3txtblstart=410 "
            "5txtblend=3FFF 0=Flash Start 2=Bootloader Start 4=Bootloader End 1Frame2=Options 0optMicro0=JM64* "
            "1optMicro1=JM32 2optMicro2=AC256 3optMicro3=AC128 4txtFlashOK=F800 5chkSkipFlashOK=Skip Flash OK* "
            "2Frame3=Info 1txtAddress=0# 3txtFilename= 0=Address 2=Filename 4cmdProgram=Program 5ProgressBar1=0%#");
        rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19"); // a double-click offers the S19 files
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton);
        QCOMPARE(fw->txtFilename->text() + QString::number(rig.dialogs.shown.last().filterIndex) +
                     fw->txtFilename->toolTip() + QString::number(fw->txtFilename->minimumWidth()),
                 "/images/new.s192Double-click to choose the S19 file260");
        QTest::mouseDClick(fw->txtFilename, Qt::LeftButton); // cancelled: the dialog's empty name is taken
        QVERIFY(fw->txtFilename->text().isEmpty());
        QVERIFY(reflash(rig) == fw && fw->close()); // the same window, until closed
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!fw);
    }

    // Closing the main window mid-run leaves the run's window as the last one; closing that ends the process.
    void tunerEndsWithItsLastWindow()
    {
        Rig rig;
        frmBootloader &fw = *reflash(rig);
        rig.window->show();
        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));
        fw.txtFilename->setText(write(rec("S1", "4000"), QStringLiteral("last.s19")));
        rig.misc.duringEvents = [&] {
            rig.window->close();
            QCoreApplication::processEvents(); // the run's window refuses to close
        };
        QTimer::singleShot(0, &fw, [&fw] {
            fw.cmdProgram->click();
            fw.close();
        });
        // Only when the loop would not end.
        QTimer::singleShot(10000, rig.window.get(), [] { QCoreApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(rig.dialogs.messages(), QStringList{QStringLiteral("Done!!!")});
    }

    void runEndsAsTheModuleTheUserAndTheFileDecide_data()
    {
        QTest::addColumn<QString>("setup");   // a file, "" (dialog cancelled), "unplugged", "held", or six records
        QTest::addColumn<QString>("outcome"); // boxes | journal | progress at events | address | values painted
        // Pauses at 0x401 (0x400 is not beyond 0 + 0x400), 0x4000 and 0x4420 (0x4400 is not beyond 0x4000 + 0x400).
        const QString first = QStringLiteral("E W27 Wt250 W00*5 S50 R W00 Wt250 W00*4 S50 R");
        const QString twice = first + " W00 Wt250 W00*4 S50 R";
        const QString rest = QStringLiteral(" W00*5 S50 R W00*5 S50 R W00 Wt250 W00*4 S50 R WFF S100 R");
        const QString events = QStringLiteral(" | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 24 0");
        row("all taken", "six records", "Done!!! | " + twice + rest + events);
        row("refused", "refuse 3", "Error! | " + twice + " | 0/24 0/24 4/24 8/24 | 004000 | 8 12 0");
        row("no reply", "drop 2", "USB timeout | Done!!! | " + first + "- W00 Wt250 W00*4 S50 R" + rest + events);
        const QString stopped = QStringLiteral("Error, all ready programming.  Current programming stopped | ");
        row("pressed before the start report", "press 1", stopped + "E | 0/24 | 0 | ");
        row("pressed after the start report", "press 2", stopped + "E W27 Wt250 | 0/24 0/24 | 0 | ");
        row("pressed during the last pause", "press 5",
            stopped + twice + " W00*5 S50 R W00*5 S50 R W00 Wt250 | 0/24 0/24 4/24 8/24 20/24 | 004420 | 8 12 0");
        const QString nothing = QStringLiteral(" |  |  | 0 | ");
        row("a record without data first", write(rec("S1", "4000", "") + rec("S1", "4020"), "empty.s19"),
            "Done!!! | E W27 Wt250 W00 Wt250 W00*4 S50 R W00*5 S50 R WFF S100 R | 0/4 0/4 0/4 | 004020 | ");
        row("not connected", "unplugged", "Not connected to module." + nothing);
        row("link held", "held", "The module is busy with a transfer. Try again when it has finished." + nothing);
        row("cancelled file dialog", "", "Open All Files (*.*)|*.*|S19 Files (*.s19)|*.s19" + nothing);
        row("malformed example", EXAMPLES_DIR "/malformed-jm64.s19",
            "Line 8000 not multiple of 4.  Please recreate s19 file" + nothing);
        const QString outside = write(rec("S1", "1000") + rec("S2", "020000", ""), QStringLiteral("outside.s19"));
        const QString window =
            " starts in the flash to be programmed (400 to 1FFFF, outside the bootloader from 410 to 3FFF).";
        row("nothing in the window", outside, "No record of " + outside + window + "  Nothing was sent." + nothing);
        row("missing", "/no.s19", "The file /no.s19 could not be opened: No such file or directory." + nothing);
        row("a folder", "/", "The file / could not be opened: it is not a regular file." + nothing);
        row("unreadable", "/proc/self/mem", "The file /proc/self/mem could not be read: Input/output error." + nothing);
    }
    void runEndsAsTheModuleTheUserAndTheFileDecide()
    {
        QFETCH(QString, setup);
        Rig rig;
        frmBootloader &fw = *reflash(rig);
        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")) && setup != u"unplugged";
        rig.module.bootloader().faults = {.refuseRecord = setup == u"refuse 3" ? 3 : 0,
                                          .dropReplyToRecord = setup == u"drop 2" ? 2 : 0};
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
        painted.clear();
        fw.ProgressBar1->installEventFilter(this);
        fw.txtFilename->setText(file);
        fw.cmdProgram->click();
        QStringList out;
        for (const ShownBox &box : rig.dialogs.shown.mid(1)) // after the prompt
            out << (box.title == u"Marlow VGT Tuner" ? box.text : box.kind + " " + box.filter);
        out << rig.journal.summary() << events.join(' ') << fw.txtAddress->text() << painted.join(' ');
        QTEST(out.join(" | "), "outcome");
        QVERIFY(!isOpen() && !fw.busy() && fw.ProgressBar1->value() == 0 &&
                rig.window->linkBusy() == (setup == u"held"));
    }
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
