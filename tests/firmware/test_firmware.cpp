// The S-record reader, the Reflash prompt, the firmware window it opens, and
// the programming run against the virtual module's bootloader, on virtual time.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"
#include "srecord.h"

#include <QFile>
#include <QTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(SimBootloader::Faults)

namespace {
// One record line; the checksum is never read, so it is left 00.
QByteArray rec(const char *type, const char *address, const QByteArray &dataHex = "00000000")
{
    const int count = int(qstrlen(address)) / 2 + int(dataHex.size()) / 2 + 1;
    return type + QByteArray::number(count, 16).toUpper().rightJustified(2, '0') + address + dataHex + "00\r\n";
}

// One S3 record of 4 bytes at each address.
QByteArray at(std::initializer_list<int> addresses)
{
    QByteArray file;
    for (int a : addresses)
        file += rec("S3", QByteArray::number(a, 16).toUpper().rightJustified(8, '0').constData());
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

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

// Answers the prompt as service staff would, from the key it shows.
void answerWith(Rig &rig, std::function<QString(qint32 key)> answer)
{
    rig.dialogs.onShow = [&rig, answer](const ShownBox &box) {
        const auto m = QRegularExpression(QStringLiteral("^Enter password for key of ([1-9][0-9]*)$")).match(box.text);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() <= ReflashAccess::MaxKey, qPrintable(box.text));
        rig.dialogs.inputAnswers.enqueue(answer(m.captured(1).toInt()));
    };
}

QString response(qint32 key) { return QString::number(ReflashAccess::Response(key)); }

// The firmware window as Reflash opens it, on a connected module.
struct Bench {
    Rig rig;
    frmBootloader &window = open(rig);
    SimBootloader &bootloader = rig.module.bootloader();

    Bench() { NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")); }
    static frmBootloader &open(Rig &rig)
    {
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        rig.dialogs.onShow = nullptr;
        rig.dialogs.clear();
        return *rig.window->findChild<frmBootloader *>();
    }
    void program(const QByteArray &content)
    {
        window.txtFilename->setText(write(content));
        window.cmdProgram_Click();
    }
};
} // namespace

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    void hexTextReadsAsTheRunNeedsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result"); // HexStrToDec in decimal, or "overflow" when it clears ok; MakeLen8
        row("odd length drops the last digit, a pair stops at a non-hex character, lower case", "4g1f5",
            "1055 0004g1f5");
        row("largest address", "7FFFFFFF", "2147483647 7FFFFFFF");
        row("beyond 32 bits signed, longer text kept", "800000001", "overflow 800000001");
    }
    void hexTextReadsAsTheRunNeedsIt()
    {
        QFETCH(QString, text);
        bool ok = false;
        const qint32 value = HexStrToDec(text, &ok);
        QVERIFY(ok || value == 0);
        const QString padded = MakeLen8(text);
        QCOMPARE(text, padded); // stored back in place
        QTEST((ok ? QString::number(value) : QStringLiteral("overflow")) + " " + padded, "result");
    }

    void validationChecksAcceptedRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields"); // Flash Start and Bootloader End
        QTest::addColumn<int>("micro");
        QTest::addColumn<QString>("outcome"); // "total/records", or the message refusing the file
        const QString defaults = QStringLiteral("410 3FFF");
        // Only a record's start address is tested against the window.
        row("flash start in, below out", at({0x200, 0x1FF}), "200 3FFF", 0, "4/1");
        row("bootloader start and end out", at({0x410, 0x3FFF}), defaults, 0, "0/0");
        row("JM64 flash end in, beyond out", at({0xFFFF, 0x10000}), defaults, 0, "4/1");
        row("JM32 flash end in, beyond out", at({0x7FFF, 0x8000}), defaults, 1, "4/1");
        row("AC256 flash end in, beyond out", at({0x3FFFF, 0x40000}), defaults, 2, "4/1");
        row("AC128 flash end in, beyond out", at({0x1FFFF, 0x20000}), defaults, 3, "4/1");
        // Fields read unsigned up to the first non-hex character: "8000" neither widens nor empties the window.
        row("bootloader end 8000 is 0x8000", at({0x8000, 0x8001}), "410 8000", 0, "4/1");
        row("flash start stops at a non-hex character", at({0x2, 0x1}), "2G0 3FFF", 0, "4/1");
        const QByteArray s16 = "S113400000112233445566778899AABBCCDDEEFF00";
        const QByteArray s15At8000 = "S1128000000102030405060708090A0B0C0D0E00";
        row("fifteen bytes at 8000 fail", s16 + "\r\n" + s15At8000, defaults, 0,
            "Line 8000 not multiple of 4.  Please recreate s19 file");
        row("more than 32 bytes", "S1274000" + QByteArray(72, '0'), defaults, 0,
            "Line 4000 has more than 32 data bytes.  Please recreate s19 file");
        row("S3 address above 7FFFFFFF", at({0x4000}) + rec("S3", "90000000"), defaults, 0,
            "Line 90000000 has an address above 7FFFFFFF, more than the tuner can handle.  Please recreate s19 file");
        row("every line end", s16 + "\r\n\r\n" + s16 + "\n\r" + s16 + "\r" + s16, defaults, 0, "64/4");
        row("long line across chunks", s16 + QByteArray(100000, 'F') + "\n" + s16, defaults, 0, "32/2");
    }
    void validationChecksAcceptedRecords()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, fields);
        QFETCH(int, micro);
        S19Reader reader;
        QVERIFY(reader.open(write(file)));
        const auto v = reader.validate(
            AddressWindow::fromFields(fields.section(' ', 0, 0), u"410", fields.section(' ', 1), Micro(micro)));
        QCOMPARE(v.ok, v.message.isEmpty());
        QTEST(v.ok ? QStringLiteral("%1/%2").arg(v.total).arg(v.records) : v.message, "outcome");
    }

    void sendingPassYieldsAcceptedRecordsInFileOrder()
    {
        // Fields sit at fixed positions: S1 addresses get "00" in front, S2 and
        // S3 keep theirs; other lines, lower-case "s1" among them, never count.
        const auto window = AddressWindow::fromFields(u"410", u"410", u"3FFF", Micro::AC256);
        S19Reader reader;
        QVERIFY(
            reader.open(write("S00600004844521B\r\nS107500011223344AA\r\ns107600011223344AA\r\nS10704100000000000\r\n"
                              "S20801F000556677889900\r\nS3090002000099AABBCC00\r\nS1134000AB\r\nS9030000FC\r\n")));
        QVERIFY(reader.validate(window).ok && reader.rewind());
        S19Record r;
        QStringList seen;
        while (reader.next(window, r))
            seen << QStringLiteral("%1 %2:%3").arg(r.addressText).arg(r.n).arg(QString::fromLatin1(r.data().toHex()));
        QCOMPARE(seen, QStringList({"005000 4:11223344", "01F000 4:55667788", "00020000 4:99aabbcc", "004000 16:ab"}));
    }

    void promptShowsTheKeyAndOnlyItsResponseOpens()
    {
        // One generator, the time of day mixed in: the same millisecond twice gives two keys.
        ReflashAccess::KeyGenerator keys(1);
        const qint32 drawn = keys.draw(43200000);
        QCOMPARE(QStringLiteral("%1 %2").arg(drawn).arg(keys.draw(43200000)), "69785 10587");

        Rig rig;
        answerWith(rig, [](qint32 key) { return response(key + 1 > ReflashAccess::MaxKey ? key - 1 : key + 1); });
        rig.window->mnuReflash_Click();
        answerWith(rig, [](qint32) { return ReflashAccess::DefaultEntry(); }); // the prefilled text unchanged
        rig.window->mnuReflash_Click();
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty() && rig.journal.entries().isEmpty());
        QCOMPARE(rig.dialogs.shown.size(), 2); // no message, no second prompt
        QCOMPARE(rig.dialogs.shown[0].kind + " " + rig.dialogs.shown[0].title, "InputBox Marlow VGT Tuner");
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{6}$")).match(rig.dialogs.shown[1].defaultText).hasMatch());

        // The leading number, rounded, opens the window without a module; the
        // same window comes forward again, its fields as they were.
        answerWith(rig, [](qint32 key) { return response(key) + ".4 please"; });
        rig.window->mnuReflash_Click();
        auto *first = rig.window->findChild<frmBootloader *>();
        QVERIFY(first && first->isVisible());
        first->txtblend->setText(QStringLiteral("7FFF"));
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.window->findChildren<frmBootloader *>(), QList<frmBootloader *>{first});
        QCOMPARE(first->txtblend->text(), QStringLiteral("7FFF"));
    }

    void windowShowsItsControlsAndDefaults()
    {
        Bench b;
        auto &w = b.window;
        QStringList texts{w.windowTitle(),      w.Frame1->title(),    w.Frame2->title(),  w.Frame3->title(),
                          w.txtflstart->text(), w.txtblstart->text(), w.txtblend->text(), w.txtFlashOK->text(),
                          w.txtAddress->text(), w.txtFilename->text()};
        for (auto *label : w.findChildren<QLabel *>())
            texts << label->text();
        for (auto *button : w.findChildren<QAbstractButton *>())
            texts << button->text() + (button->isChecked() ? "*" : "");
        QCOMPARE(texts.join(u'|'), "Coldfire Bootloader 2.0|Settings|Options|Info|410|410|3FFF|F800|0||Flash Start|"
                                   "Bootloader Start|Bootloader End|Address|Filename|JM64*|JM32|AC256|AC128|"
                                   "Skip Flash OK*|Program");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(w.Frame2->layout()->indexOf(w.optMicro[i]), i); // top to bottom

        // A double-click offers the S19 files; cancelled, the dialog's empty name replaces the one chosen before.
        b.rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(w.txtFilename, Qt::LeftButton);
        const auto &shown = b.rig.dialogs.shown;
        QCOMPARE(w.txtFilename->text() + " " + shown[0].filter + " " + QString::number(shown[0].filterIndex),
                 "/images/new.s19 All Files (*.*)|*.*|S19 Files (*.s19)|*.s19 2");
        w.txtFilename_DblClick();
        QCOMPARE(w.txtFilename->text() + " " + QString::number(shown.size()), " 2");
    }

    void recordGoesOutAsHeaderAndFourDataReports_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("micro");
        QTest::addColumn<QByteArray>("reports"); // the header and four data reports, back to back
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        row("S1 at 4000, n = 32", rec("S1", "4000", bytes), 0, "0000400020000000" + bytes);
        row("n = 0", rec("S1", "4000", ""), 0, "0000400000000000" + QByteArray(64, '0'));
        row("S3 at 1F000 on AC128", rec("S3", "0001F000", bytes.left(8)), 3,
            "0001F00004000000" + bytes.left(8) + QByteArray(56, '0'));
        // Accepted at 0x4000, but the header is the text "40001" widened to 00040001.
        row("S2 address cut short by the line's end", QByteArray("S20840001\r\n"), 0,
            "0004000104000000" + QByteArray(64, '0'));
    }
    void recordGoesOutAsHeaderAndFourDataReports()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, micro);
        Bench b;
        b.window.optMicro[micro]->setChecked(true);
        b.bootloader.setFlash(0xFFFFF, 0x410, 0x3FFF);
        b.program(line);
        QByteArray sent;
        for (const auto &e : b.rig.journal.writes().mid(1, 5))
            sent += e.payload.toHex().toUpper();
        QTEST(sent, "reports");
        QCOMPARE(b.rig.journal.writes().size(), 1 + 5 + 1);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    // While the run lets events run, the main window's timers tick and the
    // user tries to close the window: neither reaches the link or ends the run.
    void exampleImageEndsUpInTheModuleByteForByte()
    {
        Bench b;
        QFile file(QStringLiteral(EXAMPLES_DIR "/example-jm64.s19"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        b.program(content);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        int records = 0;
        for (const QByteArray &line : content.split('\n')) {
            if (!line.startsWith("S1"))
                continue;
            const int n = line.mid(2, 2).toInt(nullptr, 16) - 3;
            const QByteArray data = QByteArray::fromHex(line.mid(8, 2 * n));
            QCOMPARE(b.bootloader.image().mid(line.mid(4, 4).toInt(nullptr, 16), n), data);
            ++records;
        }
        QVERIFY(records > 100);
    }

    void runPausesOnVirtualTimeAndKeepsTheLinkToItself()
    {
        Bench b;
        b.rig.window->lblBoard->setText(QStringLiteral("KTRM")); // the ticks would otherwise send
        b.rig.window->chkAutoRequest->setChecked(true);
        b.rig.window->chkIndex->setChecked(true);
        b.rig.journal.clear();
        QList<int> progress;
        QList<bool> closed;
        b.rig.misc.duringEvents = [&] {
            b.rig.window->tmrAutoRequest_Timer();
            b.rig.window->tmrIndex_Timer();
            progress << b.window.ProgressBar1->value();
            closed << b.window.close();
        };
        QByteArray file = rec("S0", "0000", "");
        for (int a = 0x4000; a <= 0x4420; a += 0x20)
            file += rec("S1", QByteArray::number(a, 16).toUpper().constData());
        b.program(file + rec("S9", "4000", ""));
        // Pauses at 0x4000 and at 0x4420; 0x4400 is not beyond 0x4000 + 0x400.
        QCOMPARE(b.rig.journal.summary(), "E W27 Wt250 W00 Wt250 W00*4 S50 R" + QString(" W00*5 S50 R").repeated(32) +
                                              " W00 Wt250 W00*4 S50 R WFF S100 R");
        QCOMPARE(b.rig.misc.Now(), qint64(3 * 250 + 34 * 50 + 100));
        QCOMPARE(progress << b.window.ProgressBar1->maximum(), QList<int>({0, 0, 0, 33 * 4, 34 * 4}));
        QCOMPARE(closed, QList<bool>({false, false, false, false}));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.rig.dialogs.shown[0].title + " " + b.window.txtAddress->text(), "Marlow VGT Tuner 004420");
        QVERIFY(!b.window.busy() && b.window.ProgressBar1->value() == 0 && !b.rig.window->linkBusy());
    }

    // Closed during a run, the main window leaves the firmware window to finish
    // it; when that last window closes, the application's event loop ends.
    void tunerEndsWithItsLastWindow()
    {
        Bench b;
        b.rig.window->show();
        b.rig.misc.duringEvents = [&] {
            if (b.rig.window->isVisible()) {
                b.rig.window->close();
                QCoreApplication::processEvents(); // the application tries to quit; the run's window refuses
            }
        };
        QTimer::singleShot(0, &b.window, [&b] {
            b.program(rec("S1", "4000"));
            QVERIFY(b.window.isVisible());
            b.window.close();
        });
        QTimer stuck; // fires only when the loop would not end
        connect(&stuck, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        stuck.start(10000);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    // How a run ends by the replies, a second press on Program, the link and the
    // file. Nothing is left behind: the next run programs the whole file.
    void runEndsAsTheModuleTheUserAndTheFileDecide_data()
    {
        QTest::addColumn<SimBootloader::Faults>("faults");
        QTest::addColumn<int>("pressAtEvents"); // the pass of events in which Program is pressed again
        QTest::addColumn<QString>("setup");     // "unplugged", "held", a file, "" (dialog cancelled), or four records
        QTest::addColumn<QString>("outcome");   // every box shown | reports written, "ended" by the end report
        const SimBootloader::Faults none{};
        const QString four = QStringLiteral("four records");
        row("all taken", none, 0, four, "Done!!! | 22 ended");
        row("0xFF to the third record stops it", SimBootloader::Faults{.refuseRecord = 3}, 0, four, "Error! | 16");
        row("no final reply", SimBootloader::Faults{.dropEndReply = true}, 0, four, "Error! | 22 ended");
        const QString stopped = QStringLiteral("Error, all ready programming.  Current programming stopped");
        row("pressed before the start report", none, 1, four, stopped + " | 0");
        row("pressed during a pause", none, 3, four, stopped + " | 2");
        row("not connected", none, 0, "unplugged", "Not connected to module. | 0");
        row("link held", none, 0, "held", frmVGT_Tuner::busyMessage() + " | 0");
        row("cancelled file dialog", none, 0, QString(), "[Open] | 0");
        row("malformed example", none, 0, QStringLiteral(EXAMPLES_DIR "/malformed-jm64.s19"),
            "Line 8000 not multiple of 4.  Please recreate s19 file | 0");
        const QString outside = write(rec("S1", "1000") + rec("S2", "010000", ""), QStringLiteral("outside.s19"));
        row("nothing in the window", none, 0, outside,
            "No record of " + outside +
                " starts in the flash to be programmed (410 to FFFF, outside the bootloader from 410 to 3FFF).  "
                "Nothing was sent. | 0");
        row("missing file", none, 0, "/nonexistent/image.s19",
            "The file /nonexistent/image.s19 could not be opened: No such file or directory. | 0");
    }
    void runEndsAsTheModuleTheUserAndTheFileDecide()
    {
        QFETCH(SimBootloader::Faults, faults);
        QFETCH(int, pressAtEvents);
        QFETCH(QString, setup);
        Bench b;
        b.bootloader.faults = faults;
        NonBlockingUSB::Connected = setup != u"unplugged";
        const bool held = setup == u"held";
        if (held)
            b.rig.window->holdLink(true);
        int pass = 0;
        b.rig.misc.duringEvents = [&] {
            if (++pass == pressAtEvents)
                b.window.cmdProgram_Click();
        };
        const QByteArray four = rec("S1", "4000") + rec("S1", "4020") + rec("S1", "4040") + rec("S1", "4800");
        b.window.txtFilename->setText(setup.isEmpty() || setup.contains(u'/') ? setup : write(four));
        b.window.cmdProgram_Click();
        QStringList shown;
        for (const auto &box : b.rig.dialogs.shown)
            shown << (box.kind == u"MsgBox" ? box.text : "[" + box.kind + "]");
        const auto writes = b.rig.journal.writes();
        const bool ended = !writes.isEmpty() && writes.last().payload == QByteArray::fromHex("ffffffff00000000");
        QTEST(shown.join("; ") + " | " + QString::number(writes.size()) + (ended ? " ended" : ""), "outcome");
        if (held)
            b.rig.window->holdLink(false);
        QVERIFY(!b.window.busy() && b.window.ProgressBar1->value() == 0 && !b.rig.window->linkBusy());

        b.rig.misc.duringEvents = nullptr;
        b.bootloader.faults = {};
        NonBlockingUSB::Connected = true;
        b.rig.dialogs.clear();
        b.program(four);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.bootloader.bytesProgrammed(), 16);
    }
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
