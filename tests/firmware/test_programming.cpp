// The firmware window and its programming run against the virtual module's
// bootloader, on virtual time.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"

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

QByteArray zeros(int bytes) { return QByteArray(2 * bytes, '0'); }

QString write(const QByteArray &content)
{
    static QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("image.s19")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(f.fileName()));
    return f.fileName();
}

// The firmware window as Reflash opens it from the main window, on a connected module.
struct Bench {
    Rig rig;
    frmBootloader &window = open(rig);
    SimBootloader &bootloader = rig.module.bootloader();

    Bench() { NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")); }
    static frmBootloader &open(Rig &rig)
    {
        rig.dialogs.onShow = [&rig](const ShownBox &box) {
            rig.dialogs.inputAnswers << QString::number(ReflashAccess::Response(box.text.section(u' ', -1).toInt()));
        };
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
    QByteArrayList writes() const
    {
        QByteArrayList out;
        for (const auto &e : rig.journal.writes())
            out << e.payload.toHex().toUpper();
        return out;
    }
    // The window is idle again, its file closed: another run can open it.
    void verifyIdle()
    {
        QVERIFY(!window.busy());
        QCOMPARE(window.ProgressBar1->value(), 0);
        QVERIFY(!rig.window->linkBusy());
    }
};

void replyRow(const char *name, SimBootloader::Faults faults, int unplugAtWrite, const QStringList &messages, int sent)
{
    QTest::newRow(name) << faults << unplugAtWrite << messages << sent;
}

void refusalRow(const char *name, const QString &link, const QString &file, const QString &message)
{
    QTest::newRow(name) << link << file << message;
}

} // namespace

class TestProgramming : public QObject {
    Q_OBJECT
private slots:
    void windowShowsItsControlsAndDefaults()
    {
        Bench b;
        auto &w = b.window;
        QStringList texts{w.windowTitle(),          w.Frame1->title(),    w.Frame2->title(),     w.Frame3->title(),
                          w.txtflstart->text(),     w.txtblstart->text(), w.txtblend->text(),    w.txtFlashOK->text(),
                          w.chkSkipFlashOK->text(), w.txtAddress->text(), w.txtFilename->text(), w.cmdProgram->text()};
        for (auto *label : w.findChildren<QLabel *>())
            texts << label->text();
        QCOMPARE(texts, QStringList({"Coldfire Bootloader 2.0", "Settings", "Options", "Info", "410", "410", "3FFF",
                                     "F800", "Skip Flash OK", "0", "", "Program", "Flash Start", "Bootloader Start",
                                     "Bootloader End", "Address", "Filename"}));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(w.optMicro[i]->text(), QStringList({"JM64", "JM32", "AC256", "AC128"})[i]);
            QCOMPARE(w.optMicro[i]->isChecked(), i == 0);
            QCOMPARE(w.Frame2->layout()->indexOf(w.optMicro[i]), i); // top to bottom
        }
        QVERIFY(w.chkSkipFlashOK->isChecked());
        QCOMPARE(w.ProgressBar1->value(), 0);

        // A double-click offers the S19 files; cancelled, the dialog leaves the name the user had.
        b.rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(w.txtFilename, Qt::LeftButton);
        w.txtFilename_DblClick();
        QCOMPARE(w.txtFilename->text(), QStringLiteral("/images/new.s19"));
        QCOMPARE(b.rig.dialogs.shown.size(), 2);
        QCOMPARE(b.rig.dialogs.shown[0].filter, QStringLiteral("All Files (*.*)|*.*|S19 Files (*.s19)|*.s19"));
        QCOMPARE(b.rig.dialogs.shown[0].filterIndex, 2);
    }

    void recordGoesOutAsHeaderAndFourDataReports_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("micro");
        QTest::addColumn<QByteArray>("reports"); // the header and four data reports, back to back
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        QTest::newRow("S1 at 4000, n = 16")
            << rec("S1", "4000", bytes.left(32)) << 0 << "0000400010000000" + bytes.left(32) + zeros(16);
        QTest::newRow("n = 32") << rec("S1", "4000", bytes) << 0 << "0000400020000000" + bytes;
        QTest::newRow("n = 0") << rec("S1", "4000", "") << 0 << "0000400000000000" + zeros(32);
        QTest::newRow("S3 at 1F000 on AC128")
            << rec("S3", "0001F000", bytes.left(8)) << 3 << "0001F00004000000" + bytes.left(8) + zeros(28);
    }
    void recordGoesOutAsHeaderAndFourDataReports()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, micro);
        Bench b;
        b.window.optMicro[micro]->setChecked(true);
        b.bootloader.setFlash(0x3FFFF, 0x410, 0x3FFF);
        b.program(line);
        const auto w = b.writes();
        QCOMPARE(w.size(), 1 + 5 + 1);
        QTEST(w.mid(1, 5).join(), "reports");
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
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
        QCOMPARE(progress, QList<int>({0, 0, 0, 33 * 4}));
        QCOMPARE(b.window.ProgressBar1->maximum(), 34 * 4);
        QCOMPARE(closed, QList<bool>({false, false, false, false}));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(b.window.txtAddress->text(), QStringLiteral("004420"));
        b.verifyIdle();

        QPointer<frmBootloader> window(&b.window);
        QVERIFY(window->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window); // the next Reflash opens it afresh
    }

    void repliesDecideHowTheRunEnds_data()
    {
        QTest::addColumn<SimBootloader::Faults>("faults");
        QTest::addColumn<int>("unplugAtWrite");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("sent");
        const int all = 1 + 4 * 5 + 1;
        replyRow("all taken", {}, 0, {"Done!!!"}, all);
        replyRow("0xFF to the third record stops it", {.refuseRecord = 3}, 0, {"Error!"}, 1 + 3 * 5);
        replyRow("lost reply goes on", {.dropReplyToRecord = 2}, 0, {"USB timeout", "Done!!!"}, all);
        replyRow("refusal never heard", {.refuseRecord = 2, .dropReplyToRecord = 2}, 0, {"USB timeout", "Error!"}, all);
        replyRow("no final reply", {.dropEndReply = true}, 0, {"Error!"}, all);
        replyRow("module gone at the second header", {}, 7, {"USB timeout", "USB timeout", "USB timeout", "Error!"},
                 all);
    }
    void repliesDecideHowTheRunEnds()
    {
        QFETCH(SimBootloader::Faults, faults);
        QFETCH(int, unplugAtWrite);
        QFETCH(int, sent);
        Bench b;
        b.bootloader.faults = faults;
        b.rig.module.faults.unplugAtWrite = unplugAtWrite;
        b.program(rec("S1", "4000") + rec("S1", "4020") + rec("S1", "4040") + rec("S1", "4060"));
        QTEST(b.rig.dialogs.messages(), "messages");
        const auto w = b.writes();
        QCOMPARE(w.size(), sent);
        QCOMPARE(w.contains("FFFFFFFF00000000"), sent == 1 + 4 * 5 + 1);
        b.verifyIdle();
    }

    void secondPressStopsTheRun_data()
    {
        QTest::addColumn<int>("eventPass");
        QTest::addColumn<int>("sent");
        QTest::newRow("before the start report") << 1 << 0;
        QTest::newRow("after the start report") << 2 << 1;
        QTest::newRow("during a pause") << 3 << 2;
    }
    void secondPressStopsTheRun()
    {
        QFETCH(int, eventPass);
        Bench b;
        int pass = 0;
        b.rig.misc.duringEvents = [&] {
            if (++pass == eventPass)
                b.window.cmdProgram_Click();
        };
        b.program(rec("S1", "4000") + rec("S1", "4800"));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Error, all ready programming.  Current programming stopped"});
        QTEST(int(b.writes().size()), "sent");
        b.verifyIdle();

        // Nothing is left behind: the next run programs the whole image.
        b.rig.misc.duringEvents = nullptr;
        b.rig.dialogs.clear();
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.bootloader.bytesProgrammed(), 8);
    }

    void runEndsBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("link"); // "connected", "unplugged", or "held" by another command
        QTest::addColumn<QString>("file"); // empty: the file dialog is cancelled
        QTest::addColumn<QString>("message");
        refusalRow("not connected", "unplugged", "", "Not connected to module.");
        refusalRow("link held", "held", "", frmVGT_Tuner::busyMessage());
        refusalRow("cancelled file dialog", "connected", "", "");
        refusalRow("malformed example", "connected", EXAMPLES_DIR "/malformed-jm64.s19",
                   "Line 8000 not multiple of 4.  Please recreate s19 file");
        const QString outside = write(rec("S1", "1000") + rec("S2", "010000", ""));
        refusalRow("nothing in the window", "connected", outside,
                   "No record of " + outside +
                       " starts in the flash to be programmed (410 to FFFF, outside the bootloader from 410 to 3FFF).  "
                       "Nothing was sent.");
        refusalRow("missing file", "connected", "/nonexistent/image.s19",
                   "The file /nonexistent/image.s19 could not be opened: ");
    }
    void runEndsBeforeAnythingIsSent()
    {
        QFETCH(QString, link);
        QFETCH(QString, file);
        QFETCH(QString, message);
        Bench b;
        NonBlockingUSB::Connected = link != u"unplugged";
        const bool held = link == u"held";
        if (held)
            b.rig.window->holdLink(true);
        b.window.txtFilename->setText(file);
        b.window.cmdProgram_Click();
        if (held)
            b.rig.window->holdLink(false);
        const auto &shown = b.rig.dialogs.shown;
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, message.isEmpty() ? QStringLiteral("Open") : QStringLiteral("MsgBox"));
        QVERIFY2(message.isEmpty() || shown[0].text.startsWith(message), qPrintable(shown[0].text));
        QVERIFY(b.rig.journal.entries().isEmpty());
        b.verifyIdle();
    }

    void moduleHoldsTheExampleImageByteForByte()
    {
        Bench b;
        const QString path = QStringLiteral(EXAMPLES_DIR "/example-jm64.s19");
        b.window.txtFilename->setText(path);
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});

        // The module's flash as the file's records describe it, erased elsewhere.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray expected(0x10000, char(0xFF));
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QByteArray fields = QByteArray::fromHex(line.trimmed().mid(2));
            if (line.startsWith("S1"))
                expected.replace((quint8(fields[1]) << 8) | quint8(fields[2]), fields[0] - 3,
                                 fields.mid(3, fields[0] - 3));
        }
        QCOMPARE(b.bootloader.image(), expected);
        QCOMPARE(b.bootloader.bytesProgrammed(), 4112);
    }
};

QTEST_MAIN(TestProgramming)
#include "test_programming.moc"
