// The firmware window and its programming run against the virtual module's
// bootloader, on virtual time.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"
#include "simbootloader.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One record line; the checksum is never read, so it is left 00.
QByteArray rec(const char *type, const char *address, const QByteArray &dataHex)
{
    const int count = int(qstrlen(address)) / 2 + int(dataHex.size()) / 2 + 1;
    return QByteArray(type) + QByteArray::number(count, 16).toUpper().rightJustified(2, '0') + address + dataHex +
           "00\r\n";
}

QByteArray zeros(int bytes) { return QByteArray(2 * bytes, '0'); }

// The firmware window as Reflash opens it from the main window, on a connected module.
struct Bench {
    Rig rig;
    frmBootloader &window = open(rig);
    QTemporaryDir dir;
    SimBootloader &bootloader = rig.module.bootloader();

    Bench() { NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")); }
    static frmBootloader &open(Rig &rig)
    {
        rig.dialogs.onShow = [&rig](const ShownBox &box) {
            const qint32 key = box.text.section(QLatin1Char(' '), -1).toInt();
            rig.dialogs.inputAnswers.enqueue(QString::number(ReflashAccess::Response(key)));
        };
        rig.window->mnuReflash_Click();
        rig.dialogs.onShow = nullptr;
        rig.dialogs.clear();
        return *rig.window->findChild<frmBootloader *>();
    }
    QString write(const QByteArray &content)
    {
        const QString path = dir.filePath(QStringLiteral("image.s19"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    void program(const QByteArray &content)
    {
        window.txtFilename->setText(write(content));
        window.cmdProgram_Click();
    }
    QList<QByteArray> writes() const
    {
        QList<QByteArray> out;
        for (const auto &e : rig.journal.writes())
            out << e.payload.toHex().toUpper();
        return out;
    }
    // How many reports had gone out at each wait with events.
    QList<int> waitsAfterWrites() const
    {
        QList<int> out;
        int written = 0;
        for (const auto &e : rig.journal.entries()) {
            written += e.kind == JournalEntry::Write;
            if (e.kind == JournalEntry::Wait)
                out << written;
        }
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

const QByteArray EndReport = "FFFFFFFF00000000";

} // namespace

class TestProgramming : public QObject {
    Q_OBJECT
private slots:
    void windowShowsItsControlsAndDefaults()
    {
        Bench b;
        auto &w = b.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Coldfire Bootloader 2.0"));
        QCOMPARE(w.Frame1->title(), QStringLiteral("Settings"));
        QCOMPARE(w.Frame2->title(), QStringLiteral("Options"));
        QCOMPARE(w.Frame3->title(), QStringLiteral("Info"));
        QCOMPARE(w.txtflstart->text(), QStringLiteral("410"));
        QCOMPARE(w.txtblstart->text(), QStringLiteral("410"));
        QCOMPARE(w.txtblend->text(), QStringLiteral("3FFF"));
        const QStringList micros{"JM64", "JM32", "AC256", "AC128"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(w.optMicro[i]->text(), micros[i]);
            QCOMPARE(w.optMicro[i]->isChecked(), i == 0);
        }
        for (int i = 0; i < 3; ++i)
            QVERIFY(w.Frame2->layout()->indexOf(w.optMicro[i]) < w.Frame2->layout()->indexOf(w.optMicro[i + 1]));
        QCOMPARE(w.txtFlashOK->text(), QStringLiteral("F800"));
        QCOMPARE(w.chkSkipFlashOK->text(), QStringLiteral("Skip Flash OK"));
        QVERIFY(w.chkSkipFlashOK->isChecked());
        QCOMPARE(w.txtAddress->text(), QStringLiteral("0"));
        QVERIFY(w.txtFilename->text().isEmpty());
        QCOMPARE(w.cmdProgram->text(), QStringLiteral("Program"));
        QCOMPARE(w.ProgressBar1->value(), 0);
        QStringList labels;
        for (auto *l : w.findChildren<QLabel *>())
            labels << l->text();
        for (const char *t : {"Flash Start", "Bootloader Start", "Bootloader End", "Address", "Filename"})
            QVERIFY2(labels.contains(QString::fromLatin1(t)), t);
    }

    void doubleClickOffersS19Files()
    {
        Bench b;
        b.rig.dialogs.fileAnswers << QStringLiteral("/images/new.s19");
        QTest::mouseDClick(b.window.txtFilename, Qt::LeftButton);
        QCOMPARE(b.rig.dialogs.shown.size(), 1);
        const ShownBox &box = b.rig.dialogs.shown[0];
        QCOMPARE(box.kind, QStringLiteral("Open"));
        QCOMPARE(box.filter, QStringLiteral("All Files (*.*)|*.*|S19 Files (*.s19)|*.s19"));
        QCOMPARE(box.filterIndex, 2);
        QCOMPARE(b.window.txtFilename->text(), QStringLiteral("/images/new.s19"));
        // Cancelled, the dialog leaves the name the user had.
        b.window.txtFilename_DblClick();
        QCOMPARE(b.window.txtFilename->text(), QStringLiteral("/images/new.s19"));
    }

    void headerCarriesAddressAndCount_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("micro");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("S1 at 4000") << rec("S1", "4000", zeros(16)) << 0 << QByteArray("0000400010000000");
        QTest::newRow("S3 at 1F000 on AC128") << rec("S3", "0001F000", zeros(4)) << 3 << QByteArray("0001F00004000000");
    }
    void headerCarriesAddressAndCount()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, micro);
        Bench b;
        b.window.optMicro[micro]->setChecked(true);
        b.bootloader.setFlash(0x3FFFF, 0x410, 0x3FFF);
        b.program(line);
        QTEST(b.writes().value(1), "header");
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    void dataReportsCarryThirtyTwoPositions_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray bytes = "0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F20";
        QTest::newRow("n = 0") << QByteArray();
        QTest::newRow("n = 16") << bytes.left(32);
        QTest::newRow("n = 32") << bytes;
    }
    void dataReportsCarryThirtyTwoPositions()
    {
        QFETCH(QByteArray, data);
        Bench b;
        b.program(rec("S1", "4000", data));
        const auto w = b.writes();
        QCOMPARE(w.size(), 1 + 5 + 1);
        QCOMPARE(w[1].mid(8, 2), QByteArray::number(data.size() / 2, 16).toUpper().rightJustified(2, '0'));
        QCOMPARE(w[2] + w[3] + w[4] + w[5], data.leftJustified(64, '0'));
    }

    void runKeepsItsWaits()
    {
        Bench b;
        b.program(rec("S0", "0000", "") + rec("S1", "4000", zeros(4)) + rec("S1", "4020", zeros(4)) +
                  rec("S9", "4000", ""));
        QCOMPARE(b.rig.journal.summary(), QStringLiteral("E W27 Wt250 W00 Wt250 W00*4 S50 R W00*5 S50 R WFF S100 R"));
        QCOMPARE(b.rig.misc.Now(), qint64(250 + 250 + 50 + 50 + 100));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QCOMPARE(b.rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(b.window.txtAddress->text(), QStringLiteral("004020"));
        b.verifyIdle();
    }

    void pausesOnceAKilobyteIsPassed()
    {
        Bench b;
        QByteArray file;
        for (int a = 0x4000; a <= 0x4420; a += 0x20)
            file += rec("S1", QByteArray::number(a, 16).toUpper().constData(), "11223344");
        QList<int> progress;
        b.rig.misc.duringEvents = [&] { progress << b.window.ProgressBar1->value(); };
        b.program(file);
        // After the start report, after the header at 0x4000 and after the one
        // at 0x4420; 0x4400 is not beyond 0x4000 + 0x400.
        const int header4420 = 1 + 33 * 5 + 1;
        QCOMPARE(b.waitsAfterWrites(), QList<int>({1, 2, header4420}));
        QCOMPARE(progress, QList<int>({0, 0, 0, 33 * 4}));
        QCOMPARE(b.window.ProgressBar1->maximum(), 34 * 4);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
    }

    void refusedThirdRecordEndsTheRun()
    {
        Bench b;
        b.bootloader.faults.refuseRecord = 3;
        QByteArray file;
        for (const char *a : {"4000", "4020", "4040", "4060", "4080"})
            file += rec("S1", a, zeros(32));
        b.program(file);
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Error!"});
        const auto w = b.writes();
        QCOMPARE(w.size(), 1 + 3 * 5);
        QVERIFY(!w.contains(EndReport));
        b.verifyIdle();
    }

    void endReplyDecides_data()
    {
        QTest::addColumn<int>("refuse");
        QTest::addColumn<int>("dropReply");
        QTest::addColumn<bool>("dropEnd");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("all taken") << 0 << 0 << false << QStringList{"Done!!!"};
        QTest::newRow("lost reply goes on") << 0 << 2 << false << QStringList{"USB timeout", "Done!!!"};
        QTest::newRow("refusal never heard") << 2 << 2 << false << QStringList{"USB timeout", "Error!"};
        QTest::newRow("no final reply") << 0 << 0 << true << QStringList{"Error!"};
    }
    void endReplyDecides()
    {
        QFETCH(int, refuse);
        QFETCH(int, dropReply);
        QFETCH(bool, dropEnd);
        Bench b;
        b.bootloader.faults = {refuse, dropReply, dropEnd};
        b.program(rec("S1", "4000", zeros(4)) + rec("S1", "4020", zeros(4)) + rec("S1", "4040", zeros(4)));
        QTEST(b.rig.dialogs.messages(), "messages");
        const auto w = b.writes();
        QCOMPARE(w.size(), 1 + 3 * 5 + 1);
        QCOMPARE(w.last(), EndReport);
        b.verifyIdle();
    }

    void silentModuleEndsInErrorAfterItsTimeouts()
    {
        Bench b;
        b.rig.module.faults.unplugAtWrite = 7; // the second record's header
        b.program(rec("S1", "4000", zeros(4)) + rec("S1", "4020", zeros(4)) + rec("S1", "4040", zeros(4)));
        QCOMPARE(b.rig.dialogs.messages(), QStringList({"USB timeout", "USB timeout", "Error!"}));
        QCOMPARE(b.writes().last(), EndReport);
        b.verifyIdle();
    }

    void windowStaysOpenWhileItProgramsOnly()
    {
        Bench b;
        QList<bool> closed;
        b.rig.misc.duringEvents = [&] { closed << b.window.close(); };
        b.program(rec("S1", "4000", zeros(4)));
        QCOMPARE(closed, QList<bool>({false, false, false}));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QPointer<frmBootloader> window(&b.window);
        QVERIFY(window->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window); // the next Reflash opens it afresh
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
        const QByteArray file = rec("S1", "4000", zeros(4)) + rec("S1", "4800", zeros(4));
        int pass = 0;
        b.rig.misc.duringEvents = [&] {
            if (++pass == eventPass)
                b.window.cmdProgram_Click();
        };
        b.program(file);
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

    void timersKeepOffTheLinkDuringARun()
    {
        Bench b;
        b.rig.window->lblBoard->setText(QStringLiteral("KTRM")); // the ticks would otherwise send
        b.rig.window->chkAutoRequest->setChecked(true);
        b.rig.window->chkIndex->setChecked(true);
        b.rig.journal.clear();
        b.rig.misc.duringEvents = [&] {
            b.rig.window->tmrAutoRequest_Timer();
            b.rig.window->tmrIndex_Timer();
        };
        b.program(rec("S1", "4000", zeros(4)));
        QCOMPARE(b.rig.journal.summary(), QStringLiteral("E W27 Wt250 W00 Wt250 W00*4 S50 R WFF S100 R"));
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});
        QVERIFY(!b.rig.window->linkBusy());
        b.rig.window->chkAutoRequest->setChecked(false);
        b.rig.window->chkIndex->setChecked(false);

        b.rig.journal.clear();
        b.rig.dialogs.clear();
        b.rig.window->holdLink(true);
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{frmVGT_Tuner::busyMessage()});
        QVERIFY(b.rig.journal.entries().isEmpty());
        QVERIFY(!b.window.busy());
        b.rig.window->holdLink(false);
    }

    void badFilesEndBeforeAnythingIsSent_data()
    {
        QTest::addColumn<QString>("file"); // empty: written from `content`
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("malformed example") << QStringLiteral(EXAMPLES_DIR "/malformed-jm64.s19") << QByteArray()
                                           << "Line 8000 not multiple of 4.  Please recreate s19 file";
        QTest::newRow("nothing in the window")
            << QString() << rec("S1", "1000", zeros(4)) + rec("S2", "010000", "") << "No record of ";
        QTest::newRow("missing file") << QStringLiteral("/nonexistent/image.s19") << QByteArray()
                                      << "The file /nonexistent/image.s19 could not be opened";
        const QByteArray binary = QByteArray::fromHex("7F454C46020101000000") + "S1\xFF\r";
        QTest::newRow("binary file") << QString() << binary << "No record of ";
    }
    void badFilesEndBeforeAnythingIsSent()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Bench b;
        b.window.txtFilename->setText(file.isEmpty() ? b.write(content) : file);
        b.window.cmdProgram_Click();
        const QStringList shown = b.rig.dialogs.messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(message), qPrintable(shown[0]));
        QVERIFY(b.rig.journal.writes().isEmpty());
        b.verifyIdle();
    }

    void cancelledDialogEndsTheRunQuietly()
    {
        Bench b;
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.shown.size(), 1);
        QCOMPARE(b.rig.dialogs.shown[0].kind, QStringLiteral("Open"));
        QVERIFY(b.rig.journal.entries().isEmpty());
        b.verifyIdle();
    }

    void notConnectedTouchesNothing()
    {
        Bench b;
        NonBlockingUSB::Connected = false;
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Not connected to module."});
        QCOMPARE(b.rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(b.rig.dialogs.shown.size(), 1);
        QVERIFY(b.rig.journal.entries().isEmpty());
        QVERIFY(!b.window.busy());
    }

    void moduleHoldsTheExampleImageByteForByte()
    {
        Bench b;
        const QString path = QStringLiteral(EXAMPLES_DIR "/example-jm64.s19");
        b.window.txtFilename->setText(path);
        b.window.cmdProgram_Click();
        QCOMPARE(b.rig.dialogs.messages(), QStringList{"Done!!!"});

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        int bytes = 0;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QByteArray line = raw.trimmed();
            if (!line.startsWith("S1"))
                continue;
            const QByteArray fields = QByteArray::fromHex(line.mid(2));
            const int address = (quint8(fields[1]) << 8) | quint8(fields[2]);
            const QByteArray data = fields.mid(3, quint8(fields[0]) - 3);
            QCOMPARE(b.bootloader.image().mid(address, data.size()), data);
            bytes += int(data.size());
        }
        QCOMPARE(bytes, 4112);
        QCOMPARE(b.bootloader.bytesProgrammed(), bytes);
        QCOMPARE(b.bootloader.image().mid(0x4000 + bytes), QByteArray(0x10000 - 0x4000 - bytes, char(0xFF)));
    }
};

QTEST_MAIN(TestProgramming)
#include "test_programming.moc"
