// marlow-vgt in-process, on the virtual module and virtual time.
#include "calibrationfile.h"
#include "journal.h"
#include "marlowvgt.h"
#include "misc.h"
#include "simcalibration.h"
#include "tablediff.h"
#include "virtualmodule.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

namespace {

const QString examples = QStringLiteral(EXAMPLES_DIR "/"), factory = examples + "factory-calibration.dat",
              towing = examples + "towing-calibration.dat";

// A fault plus the written report it hits, e.g. LoseAt + 36.
enum Setup { Ktrm, Pndx, Absent, Denied, TwoKtrm, UnplugAt = 1000, LoseAt = 2000, ShortAt = 3000, LongName = 4000 };

// Two KTRMs, instances 0 and 1, the second one closed to this user, and a PNDX; each answers version 12.34.
struct TwoModules final : UsbHidApi {
    int instance = -1, asked = 0;
    void SetInstance(int i) override { instance = i; }
    int Open(int, int, const char *, const char *, const char *name, int) override
    {
        return name[0] == 'K' && instance < 2;
    }
    void GetReportLengths(int *in, int *out) override { *in = *out = 9; }
    int Write(ConstReportBuffer) override { return asked = 9; }
    int Read(ReportBuffer r) override { return r[1] = 0x12, r[2] = 0x34, std::exchange(asked, 0); }
    std::vector<DeviceInfo> Enumerate(int, int) override
    {
        return {{"KTRM", "/dev/hidraw4", true}, {"KTRM", "/dev/hidraw5", false}, {"PNDX", "/dev/hidraw6"}};
    }
};

// The virtual clock, raising the interrupt flag once it reaches `at` (-1: at the first DoEvents), as Ctrl+C would.
struct Interrupting final : Misc {
    Interrupting(VirtualMisc &c, qint64 when) : clock(c), at(when) {}
    VirtualMisc &clock;
    qint64 at;
    volatile std::sig_atomic_t flag = at == 0;
    qint64 Now() const override { return clock.Now(); }
    void Sleep(int ms) override { clock.Sleep(ms), raise(at >= 0 && Now() >= at); }
    void Wait(int ms) override { clock.Wait(ms), raise(at >= 0 && Now() >= at); }
    void DoEvents() override { clock.DoEvents(), raise(at < 0); }
    void raise(bool due) { flag = flag || due; }
};

struct Run {
    int code = -1;
    QString out, err, journal;
};

// An argument "@ms" interrupts the run when the virtual clock reaches ms, "@-1" at the first DoEvents; "<text"
// is typed as the response to the reflash key, which is always 1; "TTY" makes stderr a terminal.
Run marlowVgt(QStringList args, int setup = Ktrm)
{
    const QString response = args.filter(QRegularExpression("^<")).value(0), at = args.filter("@").value(0);
    const bool terminal = args.removeAll("TTY") > 0;
    args.removeAll(response), args.removeAll(at);
    Journal journal;
    VirtualMisc clock(&journal);
    Interrupting misc(clock, at.isEmpty() ? 1 << 30 : at.mid(1).toInt());
    VirtualModule module(clock, setup == Pndx ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
    module.setJournal(&journal);
    module.faults = {setup == Absent, setup == Denied, setup / 1000 == 1 ? setup - UnplugAt : 0,
                     setup / 1000 == 2 ? setup - LoseAt : 0, setup / 1000 == 3 ? setup - ShortAt : 0};
    if (setup == LongName) // longer than a setup block carries
        module.calibration().setHeld({.boardName = QByteArray(300, 'N')});
    TwoModules two;
    Run run;
    QTextStream out(&run.out), err(&run.err);
    UsbHidApi *device = setup == TwoKtrm ? &two : static_cast<UsbHidApi *>(&module);
    auto typed = [&response] { return response.mid(1); };
    MarlowVgt::Context context{out, err, misc, device, terminal, &misc.flag, typed, [] { return 1; }};
    run.code = runMarlowVgt(QStringList{QStringLiteral("marlow-vgt")} + args, context);
    out.flush(), err.flush();
    run.journal = journal.summary();
    return run;
}

// The factory calibration with the cells named changed, as a file.
QString changedFactory(const QString &path, const QList<std::tuple<int, int, int, QString>> &cells)
{
    CalibrationTables tables;
    SetUpGrids(tables);
    QFile in(factory), out(path);
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
    QString few, bad, image, truncated;

private slots:
    void initTestCase()
    {
        few = changedFactory(dir.filePath("few.dat"), {{0, 3, 5, "99"}, {1, 0, 16, "7"}, {2, 2, 1, "250"}});
        bad = changedFactory(dir.filePath("bad.dat"), {{0, 1, 2, "300"}, {2, LoadIncrement, 1, "256"}});
        QVERIFY(QFile::copy(factory, truncated = dir.filePath("truncated.dat")) && QFile::resize(truncated, 100));
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
        const QString
            noModule = "marlow-vgt: No module found on USB",
            help = "Usage: marlow-vgt [options] send "
                   "FILE.dat\nFILE.dat into the module; refused before the first report if a field "
                   "cannot be carried.\n\nOptions:\n...\n  --verify            Verify the module against the file "
                   "afterwards.\n\nExit status:\n...\n  5  interrupted (Ctrl+C or SIGTERM): the "
                   "message says what the module now holds\nWith --json a failure prints no JSON: its "
                   "message goes to stderr.";
        row("version json", {"--json", "version"}, Pndx, 0,
            R"({"board":"PNDX","major":2,"minor":33,"text":"Board Version 0221"})", "", "R- W72 S50 R");
        row("version denied", {"version"}, Denied, 3, "",
            "marlow-vgt: Module found but not accessible: install the udev rule (see README)", "");
        row("list json", {"list", "--json"}, Pndx, 0,
            R"({"modules":[{"board":"PNDX","instance":0,"mayOpen":true,"path":"virtual"}]})", "", "");
        row("list none", {"list", "--json"}, Absent, 3, R"({"modules":[]})", noModule, "");
        row("list of three", {"list"}, TwoKtrm, 0,
            "0  KTRM  /dev/hidraw4  may open\n1  KTRM  /dev/hidraw5  may not open: install the udev rule (see "
            "README)\n0  PNDX  /dev/hidraw6  may open",
            "", "");
        row("two alike", {"version"}, TwoKtrm, 2, "",
            "marlow-vgt: 2 modules answer as KTRM: choose one with --instance (marlow-vgt list shows them)", "");
        row("the second of two", {"version", "--instance", "1"}, TwoKtrm, 0, "Board Version 1234", "", "S50");
        row("a third of two", {"version", "--instance", "2"}, TwoKtrm, 3, "", noModule, "");
        row("receive on the other board", {"receive", "x.dat"}, Pndx, 1, "", "marlow-vgt: KTRM not found", "R-");
        row("send refused", {"send", "BAD", "--verify", "--json"}, Ktrm, 1,
            R"({"refused":[{"field":"map row 1, column 2","problem":"it holds 300, outside the range 0 to 255"},)"
            R"({"field":"LOAD Increment","problem":"it holds 256, outside the range 0 to 255"}],"sent":false})",
            "marlow-vgt: map row 1, column 2: it holds 300, outside the range 0 to 255\n"
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
        row("verify cut", {"verify", "FEW", "--json", "TTY"}, LoseAt + 2, 4, R"({"verified":false})",
            "Verifying...\nmarlow-vgt: The module's answer was incomplete: the differing fields are unknown. Verify "
            "again.",
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
        row("log of a drive", {"log", "--interval", "4000", "--duration", "20.01"}, Ktrm, 0,
            head + row0 + "\n   4.000    756      6    25" + idle +
                "\n   8.000   1691     79    59  off     off           map row 13, column 6\n"
                "  12.000   1712     53    41  off     off           map row 10, column 6\n"
                "  16.000   2942    100    53  off     off           map row 16, column 12\n"
                "  20.000   2810      0    92  on      on            brake column 11",
            "", "R- " + QString(logRow + " S250*15 S150 ").repeated(5) + logRow);
        row("log json through a lost reply", {"log", "--json", "--interval", "12000", "--duration", "12.1"}, LoseAt + 3,
            0,
            R"({"atIdle":true,"cell":{"column":1,"grid":"map","row":1},"exhaustBrake":false,"load":6,"rpm":750,)"
            R"("time":0,"user":25})"
            "\n"
            R"({"atIdle":null,"cell":{"column":6,"grid":"map","row":10},"exhaustBrake":null,"load":null,"rpm":null,)"
            R"("time":12,"user":null})",
            "", "R- " + logRow + " S250*47 S150 W80 S50 R- WA0 S50 R");
        const QString threeRows =
            head + row0 + "\n   0.300    744      6    25" + idle + "\n   0.600    754      6    25" + idle;
        row("log to Ctrl+C", {"log", "@700"}, Ktrm, 0, threeRows, "", toCtrlC);
        row("log cut by Ctrl+C", {"log", "--duration", "3", "--csv", "LOG", "@700"}, Ktrm, 5,
            threeRows +
                "\ntime_s,rpm,load_percent,user,at_idle,exhaust_brake,grid,row,column\n0.000,750,6,25,1,0,map,1,1\n"
                "0.300,744,6,25,1,0,map,1,1\n0.600,754,6,25,1,0,map,1,1",
            "marlow-vgt: Interrupted: the log ends early.", toCtrlC);
        const QString lost = QString(44, ' ') + "no answer";
        row("log through a second of silence", {"log", "--interval", "999", "--csv", "LOG"}, UnplugAt + 1, 4,
            head + "   0.000" + lost + "\n   0.999" + lost + "\n   1.998" + lost +
                "\ntime_s,rpm,load_percent,user,at_idle,exhaust_brake,grid,row,column\n0.000,,,,,,,,\n"
                "0.999,,,,,,,,\n1.998,,,,,,,,",
            "marlow-vgt: The module stopped answering.",
            "R- " + QString("W80 S50 R- WA0 S50 R- S250*3 S149 ").repeated(2) + "W80 S50 R- WA0 S50 R-");
        row("log into no folder", {"log", "--csv", "none/x.csv"}, Ktrm, 2, "",
            "marlow-vgt: none/x.csv: No such file or directory", "R-");
        row("log of no length", {"log", "--duration", "0"}, Ktrm, 2, "",
            "marlow-vgt: --duration takes seconds above 0, not 0", "");
        row("log too often", {"log", "--interval", "99"}, Ktrm, 2, "",
            "marlow-vgt: --interval takes milliseconds from 100, not 99", "");
        row("send Ctrl+C first", {"send", "FEW", "@0"}, Ktrm, 5, "",
            "marlow-vgt: Interrupted: nothing was sent to the module.", "R-");
        row("send Ctrl+C", {"send", "FEW", "--verify", "@50", "TTY"}, Ktrm, 5, "",
            "Sending FEW...\nmarlow-vgt: Interrupted: the module holds all of FEW, as a send is never cut part-way. It "
            "was not "
            "verified.",
            send);
        const QString key = "Enter password for key of 1\n",
                      programmed = "R- E W27 Wt250 W00 Wt250 W10 W00*3 S50 R W00 Wt250 WF0 WF8 W00*2 S50 R";
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
        row("flash Ctrl+C before the start", {"flash", "IMAGE", "<284618", "@-1"}, Ktrm, 5, "",
            key + "marlow-vgt: Interrupted: nothing was sent to the module.", "R- E");
        row("flash Ctrl+C at the key", {"flash", "IMAGE", "<284618", "@0"}, Ktrm, 5, "",
            key + "marlow-vgt: Interrupted: nothing was sent to the module.", "");
        row("flash wrong response", {"flash", "IMAGE", "<284617"}, Ktrm, 1, "",
            key + "marlow-vgt: The response does not belong to key 1; nothing was sent.", "");
        row("flash not multiple of 4", {"flash", "IMAGE", "--bootloader-start", "2000"}, Ktrm, 1, "",
            "marlow-vgt: Line 1000 not multiple of 4.  Please recreate s19 file", "");
        row("flash bad micro", {"flash", "IMAGE", "--micro", "jm16"}, Ktrm, 2, "",
            "marlow-vgt: --micro takes jm64, jm32, ac256 or ac128, not jm16", "");
        row("flash bad field", {"flash", "IMAGE", "--flash-start", "0x410"}, Ktrm, 2, "",
            "marlow-vgt: --flash-start takes 1 to 8 hex digits, not 0x410", "");
        row("flash no image", {"flash", "none.s19"}, Ktrm, 2, "",
            "marlow-vgt: The file none.s19 could not be opened: No such file or directory.", "");
        row("receive a name too long", {"receive", "NEW"}, LongName, 1, "Save Complete",
            "marlow-vgt: The module's board name did not end within 236 characters; only the first 236 are shown.",
            "R-*2 W90 S50 R*35 W77 S50 R S10 R*38 R-");
        row("receive json on a terminal", {"receive", "NEW", "--json", "TTY"}, Ktrm, 0,
            R"({"boardName":"Marlow VGT","file":"NEW"})", "Receiving the calibration...", "R-*2" + received.mid(3));
        row("flash on a terminal", {"flash", "--json", "IMAGE", "<284618", "TTY"}, Ktrm, 0,
            R"({"done":true,"message":"Done!!!","records":2})",
            "Enter password for key of 1\n\r[#############...........................] 8/24\r[################"
            "########################] 24/24",
            programmed + " WFF S100 R");
        row("diff truncated", {"diff", "FACTORY", "TRUNC"}, Absent, 2, "",
            "marlow-vgt: TRUNC: Input past end of file (error 62)", "");
        row("diff foreign", {"diff", "IMAGE", "FACTORY"}, Absent, 2, "",
            "marlow-vgt: IMAGE: Not a calibration file (error 13)", "");
        row("version after a command", {"log", "--version"}, Absent, 0, "marlow-vgt 2.21", "", "");
        row("receive over a file", {"receive", "OLD", "--force"}, Ktrm, 0, "Save Complete", "",
            "R-*2" + received.mid(3));
        row("receive over a file cut", {"receive", "OLD", "--force"}, UnplugAt + 2, 4, "",
            "marlow-vgt: Receive stopped: the module did not send its axis scaling. The map, brake row and limits "
            "show the module's values; the axis scaling and board name are as they were. Receive again to read the "
            "whole calibration. OLD was not written.",
            "R-*2 W90 S50 R*35 W77 S50 R-");
        row("receive over a file refused", {"receive", "OLD"}, Ktrm, 2, "",
            "marlow-vgt: OLD is there already, and receive writes over it only with --force", "");
        row("receive into no folder", {"receive", "none/x.dat"}, Ktrm, 2, "",
            "marlow-vgt: none/x.dat: Path not found (error 76)", "");
        row("diff examples", {"diff", "FACTORY", "TOWING"}, Absent, 1,
            "...FACTORY Marlow VGT, TOWING Marlow VGT Tow\n273 differences", "", "");
        row("diff missing", {"diff", "FACTORY", "none.dat"}, Absent, 2, "",
            "marlow-vgt: none.dat: File not found (error 53)", "");
        row("help", {"--help"}, Ktrm, 0,
            "Usage: marlow-vgt [options] <command> [arguments]\nReads, writes, checks and compares the calibration of "
            "a "
            "Marlow variable-geometry turbo controller, logs its live inputs and programs its firmware.\n\nCommands:\n"
            "  list     The modules present and whether this user may open them.\n...\n  help     The help of a "
            "command: help "
            "<command>.\n\nOptions:\n...",
            "", "");
        row("help of a command", {"help", "send"}, Ktrm, 0, help, "", "");
        row("help asked after the command", {"send", "--help"}, Ktrm, 0, help, "", "");
        row("no command", {}, Ktrm, 2, "", "marlow-vgt: no command given; marlow-vgt --help lists them", "");
        row("unknown option", {"list", "--bogus"}, Ktrm, 2, "", "marlow-vgt: Unknown option 'bogus'.", "");
        row("bad instance", {"list", "--instance", "-1"}, Ktrm, 2, "",
            "marlow-vgt: --instance takes a number from 0, not -1", "");
    }
    void eachCommandAnswersWithItsTextExitCodeAndJournal()
    {
        QFETCH(QStringList, args);
        QFETCH(int, setup);
        const QString log = dir.filePath("log.csv"), fresh = dir.filePath("new.dat"), old = dir.filePath("old.dat");
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        file.close();
        const QList<std::pair<QString, QString>> names{{"FEW", few},         {"IMAGE", image},     {"BAD", bad},
                                                       {"NEW", fresh},       {"TRUNC", truncated}, {"TOWING", towing},
                                                       {"FACTORY", factory}, {"OLD", old},         {"LOG", log}};
        auto named = [&names](QString text) {
            for (const auto &[name, path] : names)
                text.replace(path, name);
            return text;
        };
        for (const auto &[name, path] : names)
            args.replaceInStrings(name, path);
        Run run = marlowVgt(args, setup);
        QFile::remove(fresh);
        if (QFile csv(log); csv.open(QIODevice::ReadOnly)) // the rows written, after the rows shown
            run.out += csv.readAll(), csv.remove();
        // Every line printed ends with a line feed, the last one included.
        QFETCH(QString, out); // "...": what comes between is not given; the pieces come in their order
        if (const QStringList pieces = out.split("..."); pieces.size() > 1) {
            const QString got = named(run.out);
            qsizetype at = 0;
            for (const QString &piece : pieces)
                at = at < 0 ? at : got.indexOf(piece, at) < 0 ? -1 : got.indexOf(piece, at) + piece.size();
            QVERIFY2(got.startsWith(pieces.first()) && got.endsWith(pieces.last() + '\n') && at >= 0, qPrintable(got));
        } else
            QCOMPARE(named(run.out).chopped(run.out.isEmpty() ? 0 : 1), out);
        QTEST(named(run.err).chopped(run.err.isEmpty() ? 0 : 1), "err");
        QVERIFY((run.out.isEmpty() || run.out.endsWith(u'\n')) && (run.err.isEmpty() || run.err.endsWith(u'\n')));
        QTEST(run.journal, "journal");
        QTEST(run.code, "code");
        QVERIFY(file.open(QIODevice::ReadOnly)); // written over whole, as Save writes it, or left as it was
        QFile example(factory);
        const bool written = !run.code && args.contains(old) && example.open(QIODevice::ReadOnly);
        QCOMPARE(file.readAll(), written ? example.readAll() : QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList({"old*"}), QStringList{"old.dat"}); // and no copy left beside it
    }

    // Numbers compare by the value their text stands for; one difference is counted in the singular.
    void diffComparesValuesNotTexts()
    {
        CalibrationTables a, b;
        for (auto [t, cell, rpm] : {std::tuple(&a, "33", "100"), std::tuple(&b, "33.0", "101")})
            SetUpGrids(*t), t->map().setTextMatrix(3, 5, cell), t->params().setTextMatrix(RpmIncrement, 1, rpm);
        QCOMPARE(TableDiff::toText(TableDiff::diff(a, b), "a", "b"), "RPM Increment: a 100, b 101\n1 difference\n");
    }
};

QTEST_GUILESS_MAIN(TestMarlowVgt)
#include "test_marlowvgt.moc"
