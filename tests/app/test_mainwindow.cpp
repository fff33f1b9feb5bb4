// The main window as it starts, its menus, About, Qt's boxes and Save over a file.
#include "rig.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
QString helpFile() { return QCoreApplication::applicationDirPath() + QStringLiteral("/help.txt"); }
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanupTestCase() { QFile::remove(helpFile()); }

    // At start: not connected, nothing sent, timers stopped, switches dark; then title, status, timer
    // intervals, the menus, and every control in the order made, by name or caption, where it lies in its
    // frame, its alignment and frame style, read-only and filled.
    void startsDisconnectedWithItsMenusAndControlsInPlace()
    {
        Rig rig;
        auto &w = *rig.window;
        QVERIFY(!NonBlockingUSB::Connected && rig.journal.entries().isEmpty() && !w.tmrAutoRequest.isActive() &&
                !w.tmrIndex.isActive() && !w.lblAtIdle->isEnabled() && !w.lblExhBrakeSwPressed->isEnabled() &&
                !w.statusBar()->isSizeGripEnabled() && w.statusPanel->parentWidget() == w.statusBar() &&
                w.statusReason->parentWidget() == w.statusBar() && rig.dialogs.parentWidget() == &w);
        QStringList shown{w.windowTitle(), w.statusPanel->objectName(), w.statusPanel->text(),
                          w.statusReason->objectName()};
        for (int n : {w.statusPanel->minimumWidth(), w.tmrAutoRequest.interval(), w.tmrIndex.interval()})
            shown << QString::number(n);
        for (const QAction *top : w.menuBar()->actions()) {
            shown << top->menu()->objectName() + ' ' + top->text() + ':';
            for (const QAction *item : top->menu()->actions())
                shown.last() += ' ' + item->text() + item->shortcut().toString();
        }
        const auto *outer = qobject_cast<const QGroupBox *>(w.centralWidget());
        shown << outer->objectName() + ' ' + outer->title() +
                     QStringLiteral(" %1x%2").arg(outer->minimumWidth()).arg(outer->minimumHeight());
        for (const QWidget *c : w.centralWidget()->findChildren<QWidget *>()) {
            if (!qobject_cast<const QGroupBox *>(c->parentWidget()))
                continue;
            const auto *label = qobject_cast<const QLabel *>(c);
            const auto *button = qobject_cast<const QAbstractButton *>(c);
            const auto *frame = qobject_cast<const QGroupBox *>(c);
            const auto *edit = qobject_cast<const QLineEdit *>(c);
            QString text = label ? label->text() : button ? button->text() : frame ? frame->title() : "";
            text = (c->objectName() + ' ' + text).trimmed() +
                   QStringLiteral(" %1,%2 %3x%4").arg(c->x()).arg(c->y()).arg(c->width()).arg(c->height());
            if (label)
                text += QStringLiteral(" a%1 f%2").arg(label->alignment(), 0, 16).arg(label->frameStyle(), 0, 16);
            if (edit)
                text += QStringLiteral(" a%1").arg(edit->alignment(), 0, 16) + (edit->isReadOnly() ? " ro" : "") +
                        (edit->hasFrame() ? "" : " frameless") +
                        QStringLiteral(" m%1,%2,%3,%4")
                            .arg(edit->textMargins().left())
                            .arg(edit->textMargins().top())
                            .arg(edit->textMargins().right())
                            .arg(edit->textMargins().bottom()) +
                        (edit->autoFillBackground() && edit->backgroundRole() == QPalette::Window ? " filled" : "");
            shown << text + (c->isHidden() ? " hidden" : "");
        }
        QCOMPARE(
            shown.join(", "),
            "Marlow VGT Tuner v2.21, StatusBar1Panel1, Not Connected, StatusBar1Panel2, 160, 300, 187, mnuFile "
            "&File: Open Save Graph Clear, mnuConnections Connections: Connect Disconnect, mnuCommunication "
            "&Communication: &Send &Receive &Verify Reflash, mnuHelp &Help: Board Version Test Turbo About, "
            "outerFrame VGT Tuner 736x470, mapFrame Turbo Position Map (0=Full Open, 100=Full Close) 8,16 720x447, "
            "RPM 333,10 60x14 a84 f10, L 2,100 13x19 a84 f10, O 2,120 13x19 a84 f10, A 2,140 13x19 a84 f10, D 2,160 "
            "13x19 a84 f10, msflexgrid1 16,24 689x262, MSFlexGrid2 16,288 689x21, MSFlexGrid3 16,312 181x127, Text1 "
            "0,0 100x30 a82 frameless m1,0,1,0 hidden, Text2 0,0 100x30 a82 frameless m1,0,1,0 hidden, Text3 0,0 "
            "100x30 a82 frameless m1,0,1,0 hidden, lblBoard No Module 208,316 100x24 a84 f32, Frame1 Graph 208,348 "
            "100x91, chkIndex Index 8,20 84x22, cmdGraph 3D Graph 8,52 84x28, Frame4 Inputs 320,312 385x127, "
            "cmdRequestInputs Request 10,22 73x27, chkAutoRequest Auto 10,55 73x22, cmdClear Clear 10,87 73x27, RPM "
            "97,22 60x27 a81 f10, txtInputs0 160,22 73x27 a2 ro m0,0,0,0 filled, Load % 97,54 60x27 a81 f10, "
            "txtInputs1 160,54 73x27 a2 ro m0,0,0,0 filled, User 97,86 60x27 a81 f10, txtInputs2 160,86 73x27 a2 ro "
            "m0,0,0,0 filled, lblAtIdle At Idle 247,22 130x27 a81 f10, lblExhBrakeSwPressed Exh Brake Switch On "
            "247,54 130x27 a81 f10");
    }

    // Each item of a menu triggered on a connected KTRM whose map holds 7 in its first cell: the boxes shown,
    // the first two journal entries, the status, that cell and whether the graph is shown.
    void eachMenuItemRunsItsCommand_data()
    {
        QTest::addColumn<QString>("outcome");
        QTest::newRow("&File/Open") << "Open Open file to Program 1 |  | Connected 7";
        QTest::newRow("&File/Save") << "Save Save Calibration As 1 |  | Connected 7";
        QTest::newRow("&File/Graph") << " |  | Connected 7 graph";
        QTest::newRow("&File/Clear") << " |  | Connected ";
        QTest::newRow("Connections/Connect") << " | R-*2 W90 | Connected 30";
        QTest::newRow("Connections/Disconnect") << " |  | Not Connected 7";
        QTest::newRow("&Communication/&Send") << "MsgBox Download Complete | W91 W19 | Connected 7";
        QTest::newRow("&Communication/&Receive") << " | R- W90 | Connected 30";
        QTest::newRow("&Communication/&Verify") << "MsgBox Verified FAILED | R- W90 | Connected 7";
        QTest::newRow("&Communication/Reflash") << "InputBox Enter password for key |  | Connected 7";
        QTest::newRow("&Help/Board Version") << "MsgBox Board Version 0221 | W72 S50 | Connected 7";
        QTest::newRow("&Help/Test Turbo") << " | W92 | Connected 7";
        QTest::newRow("&Help/About") << "MsgBox help |  | Connected 7";
    }
    void eachMenuItemRunsItsCommand()
    {
        put(helpFile(), "help");
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(1, 1, QStringLiteral("7"));
        const QString tag = QTest::currentDataTag();
        QAction *item = w.menuItem(tag.section(u'/', 0, 0), tag.section(u'/', 1));
        QVERIFY(item);
        item->trigger();
        QStringList boxes;
        for (const ShownBox &b : rig.dialogs.shown)
            boxes << b.kind + ' ' +
                         (b.text.isEmpty() ? b.title + ' ' + QString::number(b.filterIndex)
                                           : b.text.section(u' ', 0, 3).trimmed());
        QTEST(boxes.join(", ") + " | " + rig.journal.summary().section(u' ', 0, 1) + " | " + w.statusPanel->text() +
                  ' ' + w.tables.map().TextMatrix(1, 1) + (w.GraphShown ? " graph" : ""),
              "outcome");
    }

    // help.txt beside the program, as About shows it: each comma-separated field on a line of its own.
    void aboutShowsTheHelpFileAFieldALine_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two fields") << QByteArray("first,second\n") << "first\r\nsecond\r\n";
        QTest::newRow("empty") << QByteArray("") << "";
        QTest::newRow("one line break") << QByteArray("\n") << "";
        QTest::newRow("two line breaks") << QByteArray("\r\n\r\n") << "\r\n\r\n";
        QTest::newRow("blank line kept, CR alone ends a line") << QByteArray("a\n\rb") << "a\r\n\r\nb\r\n";
        QTest::newRow("blanks around a field dropped") << QByteArray("one,  two  ,three") << "one\r\ntwo\r\nthree\r\n";
        QTest::newRow("quoted fields") << QByteArray(" \"a, b\" x,\"\",\"c") << "a, b\r\n\r\nc\r\n";
        QTest::newRow("commas first and last") << QByteArray(",x,") << "\r\nx\r\n\r\n";
        QTest::newRow("missing") << QByteArray()
                                 << "The help file ~/help.txt could not be read: No such file or directory";
    }
    void aboutShowsTheHelpFileAFieldALine()
    {
        QFETCH(QByteArray, file);
        QFile::remove(helpFile());
        if (!file.isNull())
            put(helpFile(), file);
        Rig rig;
        rig.window->mnuAbout_Click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QTEST(rig.dialogs.shown[0].text.replace(QCoreApplication::applicationDirPath(), "~"), "shown");
    }

    // Qt's own boxes as a user meets and answers them (the tag): title, text, icon, buttons (hex) and whether
    // over the window | the answer. File dialogs show their filters, the selected one in brackets.
    void qtDialogsShowWhatTheyAreAsked_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::newRow("MsgBox OK") << "T: text, icon 0, 400 over | ";
        QTest::newRow("YesNo Yes") << "T: text, icon 0, 14000 over | Yes";
        QTest::newRow("YesNo No") << "T: text, icon 0, 14000 over | ";
        QTest::newRow("InputBox typed") << "T: text [default] over | typed";
        QTest::newRow("InputBox ") << "T: text [default] over | ";
        QTest::newRow("OpenFileName ") << "T: A (*.a);;B (*) [B (*)] over | ";
        QTest::newRow("SaveFileName ") << "T: A (*.a);;B (*) [B (*)] over, no overwrite question | ";
    }
    void qtDialogsShowWhatTheyAreAsked()
    {
        const QString box = QString(QTest::currentDataTag()).section(u' ', 0, 0);
        const QString answer = QString(QTest::currentDataTag()).section(u' ', 1);
        QWidget window;
        QtDialogs dialogs;
        dialogs.setParentWidget(&window);
        QString shown;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            shown = modal->windowTitle() + ": " + (modal->parentWidget() == &window ? "%1 over" : "%1");
            if (auto *message = qobject_cast<QMessageBox *>(modal)) {
                shown = shown.arg(message->text() + ", icon " + QString::number(message->icon()) + ", " +
                                  QString::number(message->standardButtons(), 16));
                message->button(answer == "OK"    ? QMessageBox::Ok
                                : answer == "Yes" ? QMessageBox::Yes
                                                  : QMessageBox::No)
                    ->click();
            } else if (auto *input = qobject_cast<QInputDialog *>(modal)) {
                shown = shown.arg(input->labelText() + " [" + input->textValue() + ']');
                input->setTextValue(answer);
                answer.isEmpty() ? input->reject() : input->accept();
            } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                shown = shown.arg(files->nameFilters().join(";;") + " [" + files->selectedNameFilter() + ']') +
                        (files->testOption(QFileDialog::DontConfirmOverwrite) ? ", no overwrite question" : "");
                files->reject();
            }
        });
        const FileDialogRequest files{"T", "A (*.a)|*.a|B (*.*)|*.*", 2, {}};
        const QString answered = box == "MsgBox"         ? (dialogs.MsgBox("text", "T"), QString())
                                 : box == "YesNo"        ? (dialogs.YesNo("text", "T") ? "Yes" : "")
                                 : box == "InputBox"     ? dialogs.InputBox("text", "T", "default")
                                 : box == "OpenFileName" ? dialogs.OpenFileName(files)
                                                         : dialogs.SaveFileName(files);
        QTEST(shown + " | " + answered, "shown");
        dialogs.SetClipboardText(QStringLiteral("a\tb"));
        QCOMPARE(dialogs.ClipboardText(), QStringLiteral("a\tb"));
    }

    // A filter as the file commands give it, in Qt's form, and the entry the 1-based index selects.
    void filtersTakeQtsFormWithTheIndexedOneSelected()
    {
        QStringList out;
        for (int index : {0, 1, 2, 3}) {
            QString selected;
            out << qtFilter("A (*.a)|*.a|B (*.*)|*.*", &selected, index) + " [" + selected + ']';
        }
        QCOMPARE(out.join(", "),
                 "A (*.a);;B (*) [], A (*.a);;B (*) [A (*.a)], A (*.a);;B (*) [B (*)], A (*.a);;B (*) []");
        QCOMPARE(qtFilter("A|a|B", nullptr, 1), "A");
    }

    void saveThatCannotReachTheDiskSaysSo()
    {
        Rig rig;
        rig.dialogs.fileAnswers << QStringLiteral("/dev/full");
        rig.window->mnuSave_Click();
        QCOMPARE(rig.dialogs.messages(),
                 QStringList{"Error #  57 was generated by Marlow VGT Tuner\rDevice I/O error"});
    }

    // Saving over cal.dat, which holds the factory calibration, with Yes to the question. The old file
    // waits beside it until the new one is whole; a name beyond the 8-bit set fails the write half-way.
    void savingOverAFileKeepsItUntilTheNewOneIsWhole_data()
    {
        QTest::addColumn<QString>("name");    // the board name saved
        QTest::addColumn<int>("taken");       // backup names taken before, each holding "mine"
        QTest::addColumn<QString>("outcome"); // the message's first and last lines | the folder's other files
        auto row = [](const char *tag, const char *name, int taken, const QString &outcome) {
            QTest::newRow(tag) << QString::fromUtf8(name) << taken << outcome;
        };
        const QString kept = "Error #  5 was generated by Marlow VGT Tuner / The file you saved over is kept as ~/";
        row("complete", "AB", 0, "Save Complete | cal.dat=new");
        row("failed", "A\u03a9", 0, kept + "cal.dat.bak. | cal.dat=new cal.dat.bak=old");
        row("complete beside a backup", "AB", 1, "Save Complete | cal.dat=new");
        row("failed beside a backup", "A\u03a9", 1, kept + "cal.dat.2.bak. | cal.dat=new cal.dat.2.bak=old");
        row("no backup name free", "AB", 99,
            "Error #  70 was generated by Marlow VGT Tuner / The file was left as it was: no backup of it could be "
            "made, as every backup name from ~/cal.dat.bak to ~/cal.dat.99.bak is taken. | cal.dat=old");
    }
    void savingOverAFileKeepsItUntilTheNewOneIsWhole()
    {
        QFETCH(QString, name);
        QFETCH(int, taken);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cal.dat"));
        const QByteArray old = contents(QStringLiteral(EXAMPLES_DIR "/factory-calibration.dat"));
        put(path, old);
        for (int i = 1; i <= taken; ++i)
            put(path + (i == 1 ? QStringLiteral(".bak") : QStringLiteral(".%1.bak").arg(i)), "mine");
        Rig rig;
        rig.window->tables.params().setTextMatrix(BoardName, 1, name);
        rig.dialogs.fileAnswers << path;
        rig.dialogs.yesNoAnswers << true;
        rig.dialogs.onShow = [&](const ShownBox &b) { QVERIFY(b.title != "Error" || !fileIsOpen(path)); };
        rig.window->mnuSave_Click();
        QString message = rig.dialogs.messages().join(u'|');
        if (message.contains(u'\r')) // the description between belongs to the error
            message = message.section(u'\r', 0, 0) + " / " + message.section(u'\r', -1);
        const QStringList all = QDir(dir.path()).entryList(QDir::Files);
        QStringList files; // but the taken ones, which are never overwritten nor removed
        for (const QString &file : all)
            if (const QByteArray bytes = contents(dir.filePath(file)); bytes != "mine")
                files << file + '=' + (bytes == old ? "old" : "new");
        QCOMPARE(all.size() - files.size(), taken);
        QTEST(message.replace(dir.path(), "~") + " | " + files.join(u' '), "outcome");
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
