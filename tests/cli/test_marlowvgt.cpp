// marlow-vgt in-process, on the virtual module and virtual time.
#include "calibrationfile.h"
#include "journal.h"
#include "marlowvgt.h"
#include "misc.h"
#include "simcalibration.h"
#include "virtualmodule.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

namespace {

const QString examples = QStringLiteral(EXAMPLES_DIR "/");

// A fault plus the written report it hits, e.g. LoseAt + 36.
enum Setup { Ktrm, Pndx, Absent, Denied, TwoKtrm, UnplugAt = 1000, LoseAt = 2000, ShortAt = 3000, LongName = 4000 };

// Two KTRMs, instances 0 and 1, the second one closed to this user, and a PNDX.
struct TwoModules final : UsbHidApi {
    int instance = -1;
    void SetInstance(int i) override { instance = i; }
    int Open(int, int, const char *, const char *, const char *name, int) override
    {
        return name[0] == 'K' && instance < 2;
    }
    void GetReportLengths(int *in, int *out) override { *in = *out = 9; }
    bool asked = false; // answers each report once, with version 12.34
    int Write(ConstReportBuffer) override { return asked = true, 9; }
    int Read(ReportBuffer r) override { return std::exchange(asked, false) ? r[1] = 0x12, r[2] = 0x34, 9 : 0; }
    std::vector<DeviceInfo> Enumerate(int vendor, int product) override
    {
        if (vendor != 0xC1CA || product != 0xFFFF)
            return {};
        return {{"KTRM", "/dev/hidraw4", true}, {"KTRM", "/dev/hidraw5", false}, {"PNDX", "/dev/hidraw6"}};
    }
};

// The virtual clock, raising the interrupt flag once it reaches `at`, as Ctrl+C would.
struct Interrupting final : Misc {
    VirtualMisc &clock;
    qint64 at;
    volatile std::sig_atomic_t flag = at <= 0;
    Interrupting(VirtualMisc &c, qint64 when) : clock(c), at(when) {}
    qint64 Now() const override { return clock.Now(); }
    void Sleep(int ms) override { clock.Sleep(ms), raise(); }
    void Wait(int ms) override { clock.Wait(ms), raise(); }
    std::function<void()> whenRaised;
    void raise()
    {
        if (Now() >= at && !std::exchange(flag, 1) && whenRaised)
            whenRaised();
    }
    bool atEvents = false; // raises at the first DoEvents instead
    void DoEvents() override
    {
        clock.DoEvents();
        if (atEvents)
            at = 0, raise();
    }
};

struct Run {
    int code = -1;
    QString out, err, journal;
};

// An argument "@ms" interrupts the run when the virtual clock reaches ms, "@events" at the first DoEvents;
// "<text" is typed as the response to the reflash key, which is always 1.
Run marlowVgt(QStringList args, int setup = Ktrm, const std::function<void()> &whenInterrupted = {},
              bool errIsTerminal = false)
{
    const QString response = args.filter(QRegularExpression("^<")).value(0);
    args.removeAll(response);
    errIsTerminal = args.removeAll("TTY") > 0 || errIsTerminal; // progress as a terminal shows it
    Journal journal;
    VirtualMisc clock(&journal);
    const auto at = args.filter(QRegularExpression("^@"));
    Interrupting misc(clock, at.isEmpty() || at[0] == "@events" ? 1 << 30 : at[0].mid(1).toInt());
    misc.atEvents = at.value(0) == "@events";
    args.removeAll(at.value(0));
    misc.whenRaised = whenInterrupted;
    VirtualModule module(clock, setup == Pndx ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
    module.setJournal(&journal);
    module.faults.absent = setup == Absent;
    module.faults.denied = setup == Denied;
    module.faults.unplugAtWrite = setup / 1000 == 1 ? setup - UnplugAt : 0;
    module.faults.loseReplyToWrite = setup / 1000 == 2 ? setup - LoseAt : 0;
    module.faults.shortReplyToWrite = setup / 1000 == 3 ? setup - ShortAt : 0;
    HeldCalibration held = HeldCalibration::factory();
    held.boardName = QByteArray(300, 'N'); // longer than a setup block carries
    if (setup == LongName)
        module.calibration().setHeld(held);
    TwoModules two;
    Run run;
    QTextStream out(&run.out), err(&run.err);
    MarlowVgt::Context context{out,
                               err,
                               misc,
                               setup == TwoKtrm ? &two : static_cast<UsbHidApi *>(&module),
                               errIsTerminal,
                               &misc.flag,
                               [&response] { return response.mid(1); },
                               [] { return 1; }};
    run.code = runMarlowVgt(QStringList{QStringLiteral("marlow-vgt")} + args, context);
    out.flush();
    err.flush();
    run.journal = journal.summary();
    return run;
}

// The factory calibration with the cells named changed, as a file.
QString changedFactory(const QString &path, const QList<std::tuple<int, int, int, QString>> &cells)
{
    CalibrationTables tables;
    SetUpGrids(tables);
    QFile in(examples + QStringLiteral("factory-calibration.dat")), out(path);
    in.open(QIODevice::ReadOnly);
    CalibrationFile::read(tables, in);
    FlexGrid *grids[] = {&tables.map(), &tables.brake(), &tables.params()};
    for (const auto &[grid, row, col, text] : cells)
        grids[grid]->setTextMatrix(row, col, text);
    out.open(QIODevice::WriteOnly);
    CalibrationFile::write(tables, out);
    return path;
}

} // namespace

class TestMarlowVgt : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString few, bad, image;

private slots:
    void initTestCase()
    {
        few = changedFactory(dir.filePath(QStringLiteral("few.dat")),
                             {{0, 3, 5, QStringLiteral("99")}, {1, 0, 16, QStringLiteral("7")}, {2, 2, 1, "250"}});
        bad = changedFactory(dir.filePath(QStringLiteral("bad.dat")), {{0, 1, 2, QStringLiteral("300")},
                                                                       {1, 0, 16, QStringLiteral("-1")},
                                                                       {2, RpmStart, 1, QStringLiteral("70000")},
                                                                       {2, LoadIncrement, 1, QStringLiteral("256")}});
        // Below the flash start, programmed, pausing again 0x800 on, and beyond the JM64 flash.
        QFile s19(image = dir.filePath("image.s19"));
        QVERIFY(s19.open(QIODevice::WriteOnly) &&
                s19.write("S0030000FC\r\nS1121000112233445566778899AABBCCDDEEFF\r\nS10B4000101112131415161700\r\n"
                          "S1134800F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF00\r\nS2080100000A0B0C0DFF\r\nS9030000FC\r\n") > 0);
    }

    void eachCommandAnswersWithItsTextExitCodeAndJournal_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("journal");
        auto row = [](const char *name, const QStringList &args, int setup, int code, const QString &out,
                      const QString &err, const QString &journal) {
            QTest::newRow(name) << args << setup << code << out << err << journal;
        };
        const QString received = " R- W90 S50 R*35 W77 S50 R S10 R*2", verified = "R-*2 W90 S50 R*35 W77 S50 R*3";
        const QString send = "R- W91 W19 W14 W1C W14 W1E W14 W20 W14 W22 W14 W24 W14 W27 W14 W29 W14 W2B W14 W2D "
                             "W14 W30 W14 W32 W14 W34 W14 W36 W14 W38 W14 W3B W14 W5D W07 S50 R Wt2000 W78 W00 W6F "
                             "W00 S50 R";
        const QString noModule = "marlow-vgt: No module found on USB";
        row("version", {"version"}, Ktrm, 0, "Board Version 0221", "", "R- W72 S50 R");
        row("version json", {"--json", "version"}, Pndx, 0,
            R"({"board":"PNDX","major":2,"minor":33,"text":"Board Version 0221"})", "", "R- W72 S50 R");
        row("version silent", {"version"}, UnplugAt + 1, 4, "", "marlow-vgt: The module did not answer.",
            "R- W72 S50 R-");
        row("version no module", {"version"}, Absent, 3, "", noModule, "");
        row("version denied", {"version"}, Denied, 3, "",
            "marlow-vgt: Module found but not accessible: install the udev rule (see README)", "");
        row("list", {"list"}, Ktrm, 0, "0  KTRM  virtual  may open", "", "");
        row("list json", {"list", "--json"}, Pndx, 0,
            R"({"modules":[{"board":"PNDX","instance":0,"mayOpen":true,"path":"virtual"}]})", "", "");
        row("list denied", {"list"}, Denied, 0, "0  KTRM  virtual  may not open: install the udev rule (see README)",
            "", "");
        row("list none", {"list"}, Absent, 3, "", noModule, "");
        row("list of three", {"list"}, TwoKtrm, 0,
            "0  KTRM  /dev/hidraw4  may open\n1  KTRM  /dev/hidraw5  may not open: install the udev rule (see "
            "README)\n0  PNDX  /dev/hidraw6  may open",
            "", "");
        row("two alike", {"version"}, TwoKtrm, 2, "",
            "marlow-vgt: 2 modules answer as KTRM: choose one with --instance (marlow-vgt list shows them)", "");
        row("the second of two", {"version", "--instance", "1"}, TwoKtrm, 0, "Board Version 1234", "", "S50");
        row("a third of two", {"version", "--instance", "2"}, TwoKtrm, 3, "", noModule, "");
        row("receive on the other board", {"receive", "x.dat"}, Pndx, 1, "", "marlow-vgt: KTRM not found", "R-");
        row("receive cut", {"receive", "CUT"}, UnplugAt + 2, 4, "",
            "marlow-vgt: Receive stopped: the module did not send its axis scaling. The map, brake row and limits "
            "show the module's values; the axis scaling and board name are as they were. Receive again to read the "
            "whole calibration. CUT was not written.",
            "R-*2 W90 S50 R*35 W77 S50 R-");
        row("send refused", {"send", "BAD", "--verify"}, Ktrm, 1, "",
            "marlow-vgt: map row 1, column 2: it holds 300, outside the range 0 to 255\n"
            "marlow-vgt: brake column 16: it holds -1, outside the range 0 to 255\n"
            "marlow-vgt: RPM Start: it holds 70000, outside the range -255 to 65535\n"
            "marlow-vgt: LOAD Increment: it holds 256, outside the range 0 to 255\n"
            "marlow-vgt: Nothing was sent to the module. Correct the values and send again.",
            "");
        row("send", {"send", "FEW", "--json"}, Ktrm, 0, R"({"message":"Download Complete","sent":true})", "", send);
        row("send verify", {"send", "FEW", "--verify"}, Ktrm, 0, "Download Complete\nVerified OK", "",
            send + " R- W90 S50 R*35 W77 S50 R*3");
        row("verify", {"verify", "FEW"}, Ktrm, 1,
            "Verified FAILED\nmap row 3, column 5 (RPM 1400, load 16%): file 99, module 33\nbrake column 16: file 7, "
            "module 90\nMax Boost: file 250, module 200\n3 differences",
            "", verified);
        row("verify json", {"verify", "FEW", "--json"}, Ktrm, 1,
            R"({"differences":[{"column":5,"field":"map","file":"99","load":"16%","module":"33","row":3,"rpm":"1400"},)"
            R"({"column":16,"field":"brake","file":"7","module":"90"},)"
            R"({"field":"parameter","file":"250","module":"200","name":"Max Boost"}],"verified":false})",
            "", verified);
        row("verify cut", {"verify", "FEW"}, LoseAt + 2, 4, "Verified FAILED",
            "marlow-vgt: The module's answer was incomplete: the differing fields are unknown. Verify again.",
            "R-*2 W90 S50 R*35 W77 S50 R-*2");
        const QString sendCut = "marlow-vgt: The module stopped answering during the send: ";
        row("send unplugged", {"send", "FEW"}, UnplugAt + 1, 4, "",
            sendCut + "39 of 39 reports did not go out, and 2 of its 2 acknowledgements did not come. It holds the "
                      "calibration it had.",
            QString(send).replace("S50 R Wt", "S50 R- Wt") + "-");
        row("send unplugged in the setup block", {"send", "FEW"}, UnplugAt + 37, 4, "",
            sendCut + "3 of 39 reports did not go out, and 1 of its 2 acknowledgements did not come. It may hold "
                      "part of FEW with part of the calibration it had. Send again.",
            send + "-");
        row("send last reply lost", {"send", "FEW", "--verify"}, LoseAt + 39, 4, "",
            sendCut + "0 of 39 reports did not go out, and 1 of its 2 acknowledgements did not come. It may hold all "
                      "of FEW, or only part of it. Send again.",
            send + "-");
        row("version short reply", {"version"}, ShortAt + 1, 4, "", "marlow-vgt: The module did not answer.",
            "R- W72 S50 R");
        row("diff", {"diff", "FACTORY", "FEW"}, Absent, 1,
            "map row 3, column 5 (RPM 1400, load 16%): FACTORY 33, FEW 99\nbrake column 16: FACTORY 90, FEW 7\n"
            "Max Boost: FACTORY 200, FEW 250\n3 differences",
            "", "");
        row("diff json", {"diff", "FACTORY", "FEW", "--json"}, Absent, 1,
            R"({"differences":[{"a":"33","b":"99","column":5,"field":"map","load":"16%","row":3,"rpm":"1400"},)"
            R"({"a":"90","b":"7","column":16,"field":"brake"},)"
            R"({"a":"200","b":"250","field":"parameter","name":"Max Boost"}]})",
            "", "");
        const QString head = "  time s    RPM load %  user  at idle exh brake     cell\n",
                      idle = "  on      off           map row 1, column 1",
                      row0 = "   0.000    750      6    25" + idle;
        const QString logRow = "W80 S50 R WA0 S50 R",
                      toCtrlC = "R- W80 S50 R WA0 S50 R S200 " + logRow + " S200 " + logRow;
        row("log of a drive", {"log", "--interval", "4000", "--duration", "28"}, Ktrm, 0,
            head + row0 + "\n   4.000    756      6    25" + idle +
                "\n   8.000   1691     79    59  off     off           map row 13, column 6\n"
                "  12.000   1712     53    41  off     off           map row 10, column 6\n"
                "  16.000   2942    100    53  off     off           map row 16, column 12\n"
                "  20.000   2810      0    92  on      on            brake column 11\n"
                "  24.000   1719      0    92  on      on            brake column 6",
            "", "R- " + QString(logRow + " S250*15 S150 ").repeated(6) + logRow);
        row("log json", {"log", "--json", "--interval", "12000", "--duration", "24.1"}, Ktrm, 0,
            R"({"atIdle":true,"cell":{"column":1,"grid":"map","row":1},"exhaustBrake":false,"load":6,"rpm":750,)"
            R"("time":0,"user":25})"
            "\n"
            R"({"atIdle":false,"cell":{"column":6,"grid":"map","row":10},"exhaustBrake":false,"load":53,"rpm":1712,)"
            R"("time":12,"user":41})"
            "\n"
            R"({"atIdle":true,"cell":{"column":6,"grid":"brake"},"exhaustBrake":true,"load":0,"rpm":1719,"time":24,)"
            R"("user":92})",
            "", "R- " + QString(logRow + " S250*47 S150 ").repeated(2) + logRow);
        const QString threeRows =
            head + row0 + "\n   0.300    744      6    25" + idle + "\n   0.600    754      6    25" + idle;
        row("log to Ctrl+C", {"log", "@700"}, Ktrm, 0, threeRows, "", toCtrlC);
        row("log cut by Ctrl+C", {"log", "--duration", "3", "@700"}, Ktrm, 5, threeRows,
            "marlow-vgt: Interrupted: the log ends early.", toCtrlC);
        const QString lost = QString(44, ' ') + "no answer";
        row("log through a second of silence", {"log"}, UnplugAt + 3, 4,
            head + row0 + "\n   0.300" + lost + "\n   0.600" + lost + "\n   0.900" + lost + "\n   1.200" + lost +
                "\n   1.500" + lost,
            "marlow-vgt: The module stopped answering.",
            "R- " + logRow + QString(" S200 W80 S50 R- WA0 S50 R-").repeated(5));
        row("log too often", {"log", "--interval", "99"}, Ktrm, 2, "",
            "marlow-vgt: --interval takes milliseconds from 100, not 99", "");
        row("log for no time", {"log", "--duration", "0"}, Ktrm, 2, "",
            "marlow-vgt: --duration takes seconds above 0, not 0", "");
        row("send Ctrl+C first", {"send", "FEW", "@0"}, Ktrm, 5, "",
            "marlow-vgt: Interrupted: nothing was sent to the module.", "R-");
        row("send Ctrl+C", {"send", "FEW", "--verify", "@50"}, Ktrm, 5, "",
            "marlow-vgt: Interrupted: the module holds all of FEW, as a send is never cut part-way. It was not "
            "verified.",
            send);
        const QString key = "Enter password for key of 1\n",
                      programmed = "R- E W27 Wt250 W00 Wt250 W10 W00*3 S50 R W00 Wt250 WF0 WF8 W00*2 S50 R";
        row("flash", {"flash", "IMAGE", "<284618"}, Ktrm, 0, "Done!!!", "Enter password for key of 1",
            programmed + " WFF S100 R");
        row("flash json", {"flash", "--json", "IMAGE", "<284618"}, Ktrm, 0,
            R"({"done":true,"message":"Done!!!","records":2})", "Enter password for key of 1",
            programmed + " WFF S100 R");
        row("flash refused by the module", {"flash", "IMAGE", "--micro", "AC256", "<284618"}, Ktrm, 1, "",
            key + "marlow-vgt: Error!", programmed + " W00 Wt250 W0A W00*3 S50 R");
        row("flash cut", {"flash", "IMAGE", "<284618"}, UnplugAt + 3, 4, "",
            key + "marlow-vgt: USB timeout\nmarlow-vgt: USB timeout\nmarlow-vgt: Error!",
            "R- E W27 Wt250 W00 Wt250 W10 W00*3 S50 R- W00 Wt250 WF0 WF8 W00*2 S50 R- WFF S100 R-");
        row("flash Ctrl+C", {"flash", "IMAGE", "<284618", "@500"}, Ktrm, 5, "",
            key + "marlow-vgt: Interrupted: the module took the start report and 1 of 2 records of IMAGE; it holds no "
                  "whole program until it is flashed again.",
            "R- E W27 Wt250 W00 Wt250 W10 W00*3 S50 R");
        row("flash Ctrl+C in its last record", {"flash", "IMAGE", "<284618", "@800"}, Ktrm, 0, "Done!!!",
            "Enter password for key of 1", programmed + " WFF S100 R");
        row("flash Ctrl+C before the start", {"flash", "IMAGE", "<284618", "@events"}, Ktrm, 5, "",
            key + "marlow-vgt: Interrupted: nothing was sent to the module.", "R- E");
        row("flash Ctrl+C at the key", {"flash", "IMAGE", "<284618", "@0"}, Ktrm, 5, "",
            key + "marlow-vgt: Interrupted: nothing was sent to the module.", "");
        row("flash wrong response", {"flash", "IMAGE", "<284617"}, Ktrm, 1, "",
            key + "marlow-vgt: The response does not belong to key 1; nothing was sent.", "");
        row("flash not multiple of 4", {"flash", "IMAGE", "--bootloader-start", "2000"}, Ktrm, 1, "",
            "marlow-vgt: Line 1000 not multiple of 4.  Please recreate s19 file", "");
        row("flash nothing in the window", {"flash", "IMAGE", "--flash-start", "4801"}, Ktrm, 1, "",
            "marlow-vgt: No record of IMAGE starts in the flash to be programmed (4801 to FFFF, outside the bootloader "
            "from 410 to 3FFF).  Nothing was sent.",
            "");
        row("flash bad micro", {"flash", "IMAGE", "--micro", "jm16"}, Ktrm, 2, "",
            "marlow-vgt: --micro takes jm64, jm32, ac256 or ac128, not jm16", "");
        row("flash bad field", {"flash", "IMAGE", "--flash-start", "0x410"}, Ktrm, 2, "",
            "marlow-vgt: --flash-start takes 1 to 8 hex digits, not 0x410", "");
        row("flash no image", {"flash", "none.s19"}, Ktrm, 2, "",
            "marlow-vgt: The file none.s19 could not be opened: No such file or directory.", "");
        row("receive into no folder", {"receive", "none/x.dat"}, Ktrm, 2, "",
            "marlow-vgt: none/x.dat: Path not found (error 76)", "");
        row("diff examples", {"diff", "FACTORY", "TOWING"}, Absent, 1,
            "...FACTORY Marlow VGT, " + examples + "towing-calibration.dat Marlow VGT Tow\n273 differences", "", "");
        row("diff missing", {"diff", "FACTORY", "none.dat"}, Absent, 2, "",
            "marlow-vgt: none.dat: File not found (error 53)", "");
        row("no command", {}, Ktrm, 2, "", "marlow-vgt: no command given; marlow-vgt --help lists them", "");
        row("unknown option", {"list", "--bogus"}, Ktrm, 2, "", "marlow-vgt: Unknown option 'bogus'.", "");
        row("bad instance", {"list", "--instance", "-1"}, Ktrm, 2, "",
            "marlow-vgt: --instance takes a number from 0, not -1", "");
    }
    void eachCommandAnswersWithItsTextExitCodeAndJournal()
    {
        QFETCH(QStringList, args);
        QFETCH(int, setup);
        const QString cut = dir.filePath("cut.dat"), factory = examples + "factory-calibration.dat";
        args.replaceInStrings("FEW", few)
            .replaceInStrings("IMAGE", image)
            .replaceInStrings("BAD", bad)
            .replaceInStrings("CUT", cut)
            .replaceInStrings("TOWING", examples + "towing-calibration.dat");
        const Run run = marlowVgt(args.replaceInStrings("FACTORY", factory), Setup(setup));
        QVERIFY(!QFile::exists(cut)); // a receive cut short leaves no file behind
        auto named = [&](QString text) {
            return text.replace(few, "FEW").replace(image, "IMAGE").replace(cut, "CUT").replace(factory, "FACTORY");
        };
        // Every line printed ends with a line feed, the last one included.
        QFETCH(QString, out); // "...": only the end is given
        if (out.startsWith("..."))
            QVERIFY2(named(run.out).endsWith(out.mid(3) + '\n'), qPrintable(run.out.right(200)));
        else
            QCOMPARE(named(run.out).chopped(run.out.isEmpty() ? 0 : 1), out);
        QTEST(named(run.err).chopped(run.err.isEmpty() ? 0 : 1), "err");
        QVERIFY(run.out.isEmpty() || run.out.endsWith(u'\n'));
        QVERIFY(run.err.isEmpty() || run.err.endsWith(u'\n'));
        QTEST(run.journal, "journal");
        QTEST(run.code, "code");
    }

    // Over a file already there only with --force: it waits beside as a copy until the new one is whole, or
    // stays as it was.
    void receiveWritesWhatSaveWritesAfterAReceive_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("after"); // the example the file then equals, or none when it is as it was
        QTest::newRow("whole") << QStringList{"--force"} << int(Ktrm) << 0 << "factory-calibration.dat";
        QTest::newRow("cut") << QStringList{"--force"} << int(UnplugAt + 2) << 4 << "";
        QTest::newRow("refused") << QStringList{} << int(Ktrm) << 2 << "";
    }
    void receiveWritesWhatSaveWritesAfterAReceive()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, after);
        const QString path = dir.filePath(QStringLiteral("received.dat"));
        QFile file(path), example(examples + after);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        file.close();
        QFETCH(int, setup);
        QTEST(marlowVgt(QStringList{QStringLiteral("receive"), path} + args, setup).code, "code");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), example.open(QIODevice::ReadOnly) ? example.readAll() : QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("received*")}), QStringList{"received.dat"});
    }

    // Each row is in the file when the next is taken; a second log never writes over the first.
    void logWritesEveryRowToANewFileAsItIsTaken()
    {
        const QString path = dir.filePath(QStringLiteral("log.csv"));
        const QStringList args{"log", "--csv", path, "--interval", "4000", "--duration", "28", "@16100"};
        QFile file(path);
        QByteArray before; // what the file held when Ctrl+C came, the log still running
        QCOMPARE(marlowVgt(args, Ktrm, [&] { before = file.open(QIODevice::ReadOnly) ? file.readAll() : "none"; }).code,
                 5);
        QByteArray csv = "time_s,rpm,load_percent,user,at_idle,exhaust_brake,grid,row,column\n"
                         "0.000,750,6,25,1,0,map,1,1\n4.000,756,6,25,1,0,map,1,1\n8.000,1691,79,59,0,0,map,13,6\n"
                         "12.000,1712,53,41,0,0,map,10,6\n";
        QCOMPARE(before, csv); // Ctrl+C came in the exchanges of the row at 16 s, which is still taken
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), csv += "16.000,2942,100,53,0,0,map,16,12\n");
        const Run again = marlowVgt(args);
        QCOMPARE(again.err,
                 "marlow-vgt: " + path + ": the log writes only a new file, and this one is there already\n");
        QCOMPARE(again.code, 2);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), csv);
    }

    void helpOfACommandIsTheSameAskedEitherWay()
    {
        const Run asked = marlowVgt({QStringLiteral("help"), QStringLiteral("send")});
        QCOMPARE(marlowVgt({QStringLiteral("send"), QStringLiteral("--help")}).out, asked.out);
        QCOMPARE(asked.code, 0);
        QVERIFY(asked.out.startsWith("Usage: marlow-vgt [options] send FILE.dat\nFILE.dat into the module; refused "
                                     "before the first report if a field cannot be carried.\n\nOptions:\n"));
        QVERIFY(asked.out.endsWith("Exit status:\n  0  done\n  1  differences found, or refused (a field the "
                                   "module cannot carry, the wrong board)\n  2  usage: a bad command, option or "
                                   "argument, or a file that cannot be read or written\n  3  no module: none "
                                   "found, or one this user may not open\n  4  the link failed: the module "
                                   "stopped answering\n  5  interrupted (Ctrl+C or SIGTERM): the message says "
                                   "what the module now holds\n"));
    }
};

QTEST_GUILESS_MAIN(TestMarlowVgt)
#include "test_marlowvgt.moc"
