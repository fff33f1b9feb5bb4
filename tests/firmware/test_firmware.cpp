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
QByteArray rec(const char *type, const char *address, const QByteArray &dataHex = "00000000")
{
    const int count = int(qstrlen(address)) / 2 + int(dataHex.size()) / 2 + 1;
    return type + QByteArray::number(count, 16).toUpper().rightJustified(2, '0') + address + dataHex + "00\r\n";
}

// One S3 record of 4 bytes at each address.
QByteArray at(std::initializer_list<qint64> addresses)
{
    QByteArray file;
    for (qint64 a : addresses)
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

// Whether some descriptor of this process is open on the file.
bool isOpen(const QString &fileName)
{
    const QString path = QFileInfo(fileName).canonicalFilePath();
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System))
        if (!path.isEmpty() && fd.symLinkTarget() == path)
            return true;
    return false;
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
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() <= 100000, qPrintable(box.text));
        rig.dialogs.inputAnswers.enqueue(answer(m.captured(1).toInt()));
    };
}

QString response(qint32 key) { return QString::number(ReflashAccess::Response(key)); }

// The firmware window as Reflash opens it, on a connected module.
struct Bench {
    Rig rig;
    frmBootloader &window = open(rig);
    SimBootloader &bootloader = rig.module.bootloader();
    QString image;

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
        window.txtFilename->setText(image = write(content));
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
        QTest::addColumn<QString>("result"); // HexStrToDec ("overflow" when it clears ok), MakeLen8, ReadHexField
        row("empty", "", "0 00000000 0");
        row("odd length drops the last digit", "3FF", "63 000003FF 1023");
        row("a pair stops at a non-hex character", "4g1f5", "1055 0004g1f5 4");
        row("every edge of the hex digits", "09afAF", "634799 0009afAF 634799");
        row("largest address", "7FFFFFFF", "2147483647 7FFFFFFF 2147483647");
        row("smallest beyond 32 bits signed", "80000000", "overflow 80000000 2147483648");
        row("field below 32 bits unsigned", "FFFFFFFE", "overflow FFFFFFFE 4294967294");
        row("field at 32 bits unsigned", "FFFFFFFF", "overflow FFFFFFFF 4294967295");
        row("field beyond 32 bits saturates", "100000000", "268435456 100000000 4294967295");
        row("overflow with the last digit dropped", "800000001", "overflow 800000001 4294967295");
    }
    void hexTextReadsAsTheRunNeedsIt()
    {
        QFETCH(QString, text);
        bool ok = false;
        const qint32 value = HexStrToDec(text, &ok);
        QVERIFY(ok || value == 0);
        const QString field = QString::number(ReadHexField(text));
        const QString padded = MakeLen8(text);
        QCOMPARE(text, padded); // stored back in place
        QTEST((ok ? QString::number(value) : QStringLiteral("overflow")) + " " + padded + " " + field, "result");
    }

    void validationChecksAcceptedRecords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("fields"); // Flash Start and Bootloader End
        QTest::addColumn<int>("micro");
        QTest::addColumn<QString>("outcome"); // "total/records", or the message refusing the file
        const QString defaults = QStringLiteral("410 3FFF");
        // Only a record's start address is tested against the window; a skipped record is never checked.
        row("flash start in, below out", at({0x200, 0x1FF}), "200 3FFF", 0, "4/1");
        row("bootloader start and end out", at({0x410, 0x3FFF}) + rec("S1", "1000", "00"), defaults, 0, "0/0");
        row("JM64 flash end in, beyond out", at({0xFFFF, 0x10000}), defaults, 0, "4/1");
        row("JM32 flash end in, beyond out", at({0x7FFF, 0x8000}), defaults, 1, "4/1");
        row("AC256 flash end in, beyond out", at({0x3FFFF, 0x40000}), defaults, 2, "4/1");
        row("AC128 flash end in, beyond out", at({0x1FFFF, 0x20000}), defaults, 3, "4/1");
        // Fields read unsigned up to the first non-hex character: "8000" neither widens nor empties the window.
        row("bootloader end 8000 is 0x8000", at({0x8000, 0x8001}), "410 8000", 0, "4/1");
        row("flash start stops at a non-hex character", at({0x2, 0x1}), "2G0 3FFF", 0, "4/1");
        // Record lengths at their edges; checksums are never checked.
        row("S1 count 03 has no data", QByteArray("S1034000FF\r\n"), defaults, 0, "0/1");
        row("S1 count 02", QByteArray("S1024000FF\r\n"), defaults, 0,
            "Line 4000 not multiple of 4.  Please recreate s19 file");
        row("S3 count 01", QByteArray("S30100004000\r\n"), defaults, 0,
            "Line 00004000 has a byte count too small for its address.  Please recreate s19 file");
        row("S2 count 04 has no data", QByteArray("S204004000FF\r\n"), defaults, 0, "0/1");
        const QByteArray bytes32 = QByteArray(64, 'A');
        row("32 bytes", rec("S1", "4000", bytes32) + rec("S2", "004020", bytes32), defaults, 0, "64/2");
        row("36 bytes", rec("S1", "4000", bytes32 + "00000000"), defaults, 0,
            "Line 4000 has more than 32 data bytes.  Please recreate s19 file");
        const QByteArray s16 = "S113400000112233445566778899AABBCCDDEEFF00";
        row("fifteen bytes at 8000 fail", s16 + "\r\nS1128000000102030405060708090A0B0C0D0E00", defaults, 0,
            "Line 8000 not multiple of 4.  Please recreate s19 file");
        row("S3 address above 7FFFFFFF", at({0x4000, 0x7FFFFFFF, 0x80000000}), defaults, 0,
            "Line 80000000 has an address above 7FFFFFFF, more than the tuner can handle.  Please recreate s19 file");
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

    void entryOpensOnlyWithItsKeysResponse_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("result"); // the entered value, or "none", and whether it opens
        // Keys on each threshold of the derivation and one above.
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
        row("one below", 100000, "582639", "582639");
        row("one above", 100000, "582641", "582641");
        // The leading number taken to the nearest whole number, halves to even.
        row("half rounds down to even", 1, "284618.5", "284618 opens");
        row("half rounds up to even", 1, "284617.5", "284618 opens");
        row("just under a half", 9461, "294077.49 please", "294077");
        row("just over a half", 9461, "294077.51", "294078 opens");
        row("empty", 1, "", "0");
        row("prefilled", 1, "000000", "0");
        row("largest", 1, "2147483647.4", "2147483647");
        row("beyond largest", 1, "2147483647.5", "none");
        row("smallest", 1, "-2147483648.5", "-2147483648");
        row("beyond smallest", 1, "-2147483649", "none");
        row("far beyond", 1, "1e400", "none");
    }
    void entryOpensOnlyWithItsKeysResponse()
    {
        QFETCH(int, key);
        QFETCH(QString, entry);
        const auto value = ReflashAccess::EnteredValue(entry);
        QTEST((value ? QString::number(*value) : "none") + (ReflashAccess::Accepts(key, entry) ? " opens" : ""),
              "result");
    }

    void promptShowsTheKeyAndOnlyItsResponseOpens()
    {
        // One generator, the time of day mixed in: the same millisecond twice gives two keys.
        ReflashAccess::KeyGenerator keys(1);
        const qint32 drawn = keys.draw(43200000);
        QCOMPARE(QStringLiteral("%1 %2").arg(drawn).arg(keys.draw(43200000)), "69785 10587");

        Rig rig;
        answerWith(rig, [](qint32 key) { return response(key) + "0"; });
        rig.window->mnuReflash_Click();
        rig.dialogs.onShow = nullptr;
        rig.window->mnuReflash_Click(); // cancelled
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty() && rig.journal.entries().isEmpty());
        QCOMPARE(rig.dialogs.shown.size(), 2); // no message, no second prompt
        const ShownBox &box = rig.dialogs.shown[1];
        QCOMPARE(box.kind + "|" + box.title + "|" + box.defaultText, "InputBox|Marlow VGT Tuner|000000");

        // Opens without a module; the same window comes forward again, its
        // fields as they were. Closed, it goes, and opens afresh.
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        QPointer<frmBootloader> first = rig.window->findChild<frmBootloader *>();
        QVERIFY(first && first->isVisible());
        first->txtblend->setText(QStringLiteral("7FFF"));
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.window->findChildren<frmBootloader *>(), QList<frmBootloader *>{first});
        QCOMPARE(first->txtblend->text(), QStringLiteral("7FFF"));
        QVERIFY(first->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!first);
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.window->findChild<frmBootloader *>()->txtblend->text(), QStringLiteral("3FFF"));
    }

    void windowShowsItsControlsAndDefaults()
    {
        Bench b;
        auto &w = b.window;
        auto describe = [](QWidget *x) {
            if (auto *label = qobject_cast<QLabel *>(x))
                return label->text();
            QString text = x->objectName();
            if (auto *edit = qobject_cast<QLineEdit *>(x))
                text += "=" + edit->text();
            if (auto *button = qobject_cast<QAbstractButton *>(x))
                text += "=" + button->text() + (button->isChecked() ? "*" : "");
            if (auto *bar = qobject_cast<QProgressBar *>(x))
                text += QStringLiteral("=%1..%2..%3").arg(bar->minimum()).arg(bar->value()).arg(bar->maximum());
            return text;
        };
        QStringList shown{w.windowTitle()};
        for (QGroupBox *frame : {w.Frame1, w.Frame2, w.Frame3}) {
            QCOMPARE(w.layout()->indexOf(frame), int(shown.size()) - 1); // left to right
            shown << frame->objectName() + " " + frame->title() + ":";
            for (int i = 0; i < frame->layout()->count(); ++i)
                shown.last() += " " + describe(frame->layout()->itemAt(i)->widget());
        }
        QCOMPARE(shown.join(u'|'),
                 "Coldfire Bootloader 2.0|Frame1 Settings: Flash Start txtflstart=410 Bootloader Start "
                 "txtblstart=410 Bootloader End txtblend=3FFF|Frame2 Options: optMicro0=JM64* optMicro1=JM32 "
                 "optMicro2=AC256 optMicro3=AC128 txtFlashOK=F800 chkSkipFlashOK=Skip Flash OK*|Frame3 Info: "
                 "Address txtAddress=0 Filename txtFilename= cmdProgram=Program ProgressBar1=0..0..100");
        QCOMPARE(w.txtFilename->toolTip() + " " + QString::number(w.txtFilename->minimumWidth()),
                 "Double-click to choose the S19 file 260");
        for (QWidget *box : {static_cast<QWidget *>(w.ProgressBar1), static_cast<QWidget *>(w.txtAddress)})
            QVERIFY(box->autoFillBackground() && box->backgroundRole() == QPalette::Window);

        // A double-click offers the S19 files; cancelled, the dialog's empty name replaces the one chosen before.
        b.rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(w.txtFilename, Qt::LeftButton);
        const auto &shownBoxes = b.rig.dialogs.shown;
        QCOMPARE(w.txtFilename->text() + " " + shownBoxes[0].filter + " " + QString::number(shownBoxes[0].filterIndex),
                 "/images/new.s19 All Files (*.*)|*.*|S19 Files (*.s19)|*.s19 2");
        QTest::mouseDClick(w.txtFilename, Qt::LeftButton);
        QCOMPARE(w.txtFilename->text() + " " + QString::number(shownBoxes.size()), " 2");
    }

    void recordGoesOutAsHeaderAndFourDataReports_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("micro");
        QTest::addColumn<QByteArray>("reports"); // the header and four data reports, back to back
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        row("S1 at 4000, n = 32", rec("S1", "4000", bytes), 0, "0000400020000000" + bytes);
        row("n = 16", rec("S1", "4000", bytes.left(32)), 0, "0000400010000000" + bytes.left(32) + QByteArray(32, '0'));
        row("n = 0", rec("S1", "4000", ""), 0, "0000400000000000" + QByteArray(64, '0'));
        row("S3 at 1F000 on AC128", rec("S3", "0001F000", bytes.left(8)), 3,
            "0001F00004000000" + bytes.left(8) + QByteArray(56, '0'));
        row("S2 at 3FFFC on AC256", rec("S2", "03FFFC", bytes.left(8)), 2,
            "0003FFFC04000000" + bytes.left(8) + QByteArray(56, '0'));
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
        for (const auto &e : b.rig.journal.writes())
            sent += e.payload.toHex().toUpper();
        QTEST(sent.mid(16, 5 * 16), "reports");
        QCOMPARE(sent.left(16) + sent.mid(6 * 16), "2727272727272727FFFFFFFF00000000");
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    void exampleImageEndsUpInTheModuleByteForByte()
    {
        Bench b;
        b.window.txtFilename->setText(QStringLiteral(EXAMPLES_DIR "/example-jm64.s19"));
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.bootloader.bytesProgrammed(), 4112);
        QCOMPARE(QCryptographicHash::hash(b.bootloader.image(), QCryptographicHash::Sha1).toHex(),
                 "8d132e54f9284529beca7bb8b07b67217c508fa5");
    }

    // While the run lets events run, the main window's timers tick and the
    // user tries to close the window: neither reaches the link or ends the run.
    void runPausesOnVirtualTimeAndKeepsTheLinkToItself()
    {
        Bench b;
        b.rig.window->lblBoard->setText(QStringLiteral("KTRM")); // the ticks would otherwise send
        b.rig.window->chkAutoRequest->setChecked(true);
        b.rig.window->chkIndex->setChecked(true);
        b.rig.journal.clear();
        QStringList seen;
        b.rig.misc.duringEvents = [&] {
            b.rig.window->tmrAutoRequest_Timer();
            b.rig.window->tmrIndex_Timer();
            seen << QStringLiteral("%1 %2 %3")
                        .arg(b.window.ProgressBar1->value())
                        .arg(b.window.close())
                        .arg(isOpen(b.image));
        };
        QByteArray file = rec("S0", "0000", "");
        for (int a = 0x4000; a <= 0x4420; a += 0x20)
            file += rec("S1", QByteArray::number(a, 16).toUpper().constData());
        b.program(file + rec("S9", "4000", ""));
        // Pauses at 0x4000 and at 0x4420; 0x4400 is not beyond 0x4000 + 0x400.
        QCOMPARE(b.rig.journal.summary(), "E W27 Wt250 W00 Wt250 W00*4 S50 R" + QString(" W00*5 S50 R").repeated(32) +
                                              " W00 Wt250 W00*4 S50 R WFF S100 R");
        QCOMPARE(b.rig.misc.Now(), qint64(3 * 250 + 34 * 50 + 100));
        QCOMPARE(seen, QStringList({"0 0 1", "0 0 1", "0 0 1", "132 0 1"}));
        QCOMPARE(b.rig.dialogs.shown[0].title + " " + b.window.txtAddress->text(), "Marlow VGT Tuner 004420");
        QCOMPARE(b.window.ProgressBar1->maximum(), 136);
        QVERIFY(!b.window.busy() && b.window.ProgressBar1->value() == 0 && !b.rig.window->linkBusy());
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
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
    // file. Nothing is left behind: the file is closed, and the next run
    // programs the whole file.
    void runEndsAsTheModuleTheUserAndTheFileDecide_data()
    {
        QTest::addColumn<SimBootloader::Faults>("faults");
        QTest::addColumn<int>("pressAtEvents"); // the pass of events in which Program is pressed again
        QTest::addColumn<QString>("setup");     // "unplugged", "held", a file, "" (dialog cancelled), or four records
        QTest::addColumn<QString>("outcome");   // every box shown | the journal
        const SimBootloader::Faults none{};
        const QString four = QStringLiteral("four records");
        const QString start = QStringLiteral("E W27 Wt250 W00 Wt250 W00*4 S50 R W00*5 S50 R W00*5 S50 R");
        row("all taken", none, 0, four, "Done!!! | " + start + " W00 Wt250 W00*4 S50 R WFF S100 R");
        row("0xFF to the third record stops it", SimBootloader::Faults{.refuseRecord = 3}, 0, four,
            "Error! | " + start);
        row("no reply to the second record", SimBootloader::Faults{.dropReplyToRecord = 2}, 0, four,
            "USB timeout; Done!!! | E W27 Wt250 W00 Wt250 W00*4 S50 R W00*5 S50 R- W00*5 S50 R W00 Wt250 W00*4 S50 R "
            "WFF S100 R");
        row("no final reply", SimBootloader::Faults{.dropEndReply = true}, 0, four,
            "Error! | " + start + " W00 Wt250 W00*4 S50 R WFF S100 R-");
        const QString stopped = QStringLiteral("Error, all ready programming.  Current programming stopped | ");
        row("pressed before the start report", none, 1, four, stopped + "E");
        row("pressed after the start report", none, 2, four, stopped + "E W27 Wt250");
        row("pressed during a pause", none, 3, four, stopped + "E W27 Wt250 W00 Wt250");
        row("not connected", none, 0, "unplugged", "Not connected to module. | ");
        row("link held", none, 0, "held", "The module is busy with a transfer. Try again when it has finished. | ");
        row("cancelled file dialog", none, 0, QString(), "[Open] | ");
        row("malformed example", none, 0, QStringLiteral(EXAMPLES_DIR "/malformed-jm64.s19"),
            "Line 8000 not multiple of 4.  Please recreate s19 file | ");
        const QString outside = write(rec("S1", "1000") + rec("S2", "010000", ""), QStringLiteral("outside.s19"));
        row("nothing in the window", none, 0, outside,
            "No record of " + outside +
                " starts in the flash to be programmed (410 to FFFF, outside the bootloader from 410 to 3FFF).  "
                "Nothing was sent. | ");
        row("missing file", none, 0, "/nonexistent/image.s19",
            "The file /nonexistent/image.s19 could not be opened: No such file or directory. | ");
        const QString folder = QFileInfo(outside).path();
        row("a folder", none, 0, folder, "The file " + folder + " could not be opened: it is not a regular file. | ");
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
        const QString file = setup.isEmpty() || setup.contains(u'/') ? setup : write(four);
        b.window.txtFilename->setText(file);
        b.rig.journal.clear();
        b.window.cmdProgram_Click();
        QStringList shown;
        for (const auto &box : b.rig.dialogs.shown)
            shown << (box.kind == u"MsgBox" ? box.text : "[" + box.kind + "]");
        QTEST(shown.join("; ") + " | " + b.rig.journal.summary(), "outcome");
        QVERIFY(!isOpen(file));
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
