// The main window on virtual time: its layout, Qt's boxes, Save over a file, and steps a user takes.
#include "flexgridview.h"
#include "rig.h"

#include <QtTest>
#include <QtWidgets>

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

// The cells from (firstRow, firstCol) on that hold text, as "row,col=text", or that are yellow, as "row,col".
QStringList cells(const FlexGrid &g, int firstRow, int firstCol, bool yellow = false)
{
    QStringList out;
    for (int r = firstRow; r < g.Rows(); ++r)
        for (int c = firstCol; c < g.Cols(); ++c)
            if (yellow ? g.cellBackColor(r, c) == GridYellow : !g.TextMatrix(r, c).isEmpty())
                out << QStringLiteral("%1,%2").arg(r).arg(c) + (yellow ? "" : '=' + g.TextMatrix(r, c));
    return out;
}

// A KTRM's window (a PNDX's after "PNDX") run by steps: a control by its caption, the reply after ": ", or an
// act on grid g ("1" map, "2" brake row, "3" parameters). Each starts a fresh journal; no tick while a box is open.
struct Session : Rig {
    QTemporaryDir dir; // holding cal.dat
    int g = 0;
    QStringList trail; // what "show" and "look" saw on the way
    explicit Session(const QString &steps)
        : Rig(steps.startsWith("PNDX") ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM)
    {
        put(dir.filePath("cal.dat"), "old");
        window->show();
        QApplication::setActiveWindow(window.get());
        dialogs.onShow = [this](const ShownBox &b) {
            QVERIFY(b.title != "Error" || !fileIsOpen(dir.filePath("cal.dat")));
            QVERIFY(!window->tmrAutoRequest.isActive() && !window->tmrIndex.isActive());
        };
        run(QString(steps).remove("PNDX; "));
    }
    auto *view() { return g == 1 ? window->msflexgrid1 : g == 2 ? window->MSFlexGrid2 : window->MSFlexGrid3; }
    QLineEdit *box() { return g == 1 ? window->Text1 : g == 2 ? window->Text2 : window->Text3; }
    FlexGrid &grid() { return view()->grid(); }
    static int rc(const QString &cell, int i) { return cell.section(u'=', 0, 0).section(u',', i, i).toInt(); }
    QPoint at(const QString &cell)
    {
        return view()->cellRect(rc(cell, 0), rc(cell, 1)).center() - view()->viewport()->geometry().topLeft();
    }
    // Typed keys go where the focus is: the first to the grid, the rest to the edit box it opens.
    void run(const QString &steps)
    {
        auto &w = *window;
        auto &f = module.faults;
        const QHash<QString, std::function<void()>> acts{{"left over", [&] { module.queueReply({0x55}); }},
                                                         {"absent", [&] { f.absent = true; }},
                                                         {"denied", [&] { f.denied = true; }},
                                                         {"connect", [&] { connect(); }},
                                                         {"empty", [&] { ClearTables(w.tables); }},
                                                         {"close", [&] { w.close(); }},
                                                         {"hold", [&] { w.holdLink(true); }},
                                                         {"Headings", [&] { w.UpdateAxisHeadings(); }},
                                                         {"Auto on", [&] { w.chkAutoRequest->setChecked(true); }},
                                                         {"Index on", [&] { w.chkIndex->setChecked(true); }},
                                                         {"Index off", [&] { w.chkIndex->setChecked(false); }},
                                                         {"Request", [&] { w.cmdRequestInputs->click(); }},
                                                         {"Clear", [&] { w.cmdClear->click(); }},
                                                         {"deactivate", [] { QApplication::setActiveWindow(nullptr); }},
                                                         {"focus", [&] { view()->setFocus(); }},
                                                         {"towing", [&] { dialogs.fileAnswers << towing(); }},
                                                         {"show", [&] { trail << shown().section(" / ", -1); }},
                                                         {"look", [&] { trail << look(); }},
                                                         {"layout", [&] { trail << layout(); }}};
        for (const QString &step : steps.split("; ")) {
            const QString command = step.section(": ", 0, 0), reply = step.section(": ", 1);
            const QString verb = command.section(u' ', 0, 0), arg = command.section(u' ', 1);
            journal.clear();
            dialogs.clear();
            f.loseReplyToWrite = reply.isEmpty() ? 0 : module.writesReceived() + 1;
            VirtualModule::Payload payload{};
            const QByteArray bytes = QByteArray::fromHex(reply.toLatin1());
            std::copy(bytes.begin(), bytes.end(), payload.begin());
            if (reply.contains(' '))
                module.queueReply(payload);
            QAction *item = w.menuItem(command.section(u'/', 0, 0), command.section(u'/', 1));
            for (const char *menu : {"&File", "Connections", "&Communication", "&Help"})
                item = item ? item : w.menuItem(menu, command);
            if (acts.contains(command))
                acts[command]();
            else if (QTimer &timer = verb == "Auto" ? w.tmrAutoRequest : w.tmrIndex;
                     arg == "tick" && timer.isActive()) {
                timer.setInterval(1); // through the event loop
                QVERIFY(QSignalSpy(&timer, &QTimer::timeout).wait(1000));
            } else if (arg == "tick") // one already queued as the timer stopped
                verb == "Auto" ? w.tmrAutoRequest_Timer() : w.tmrIndex_Timer();
            else if (item)
                item->trigger();
            else if (command.size() == 1)
                g = command.toInt();
            else if (verb == "set")
                grid().setTextMatrix(rc(arg, 0), rc(arg, 1), arg.section(u'=', 1));
            else if (verb == "dblclick")
                QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at(arg));
            else if (verb == "click" || verb == "drag") { // a drag lets go on its second cell
                QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, at(arg.section(u' ', 0, 0)));
                QTest::mouseMove(view()->viewport(), at(arg.section(u' ', -1)));
                QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, at(arg.section(u' ', -1)));
            } else if (verb == "type") {
                for (QChar ch : arg)
                    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key(ch.toUpper().unicode()),
                                        QString(ch), {});
            } else if (verb == "key") { // as "Return", "Up" or "Ctrl+C"; to the box in a window left inactive
                const QKeyCombination key = QKeySequence(arg)[0];
                QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : box();
                QTest::keyClick(focus, key.key(), key.keyboardModifiers());
            } else if (verb == "help") // beside the program
                put(helpFile(), arg.toUtf8());
            else if (verb == "file")
                dialogs.fileAnswers << dir.filePath(arg);
            else if (verb == "resize") // the grid's view, as a smaller window would make it
                view()->resize(arg.section(u' ', 0, 0).toInt(), arg.section(u' ', 1).toInt());
            else if (verb == "window") { // the main window, as a user or the desktop sizes it
                w.resize(arg.section(u' ', 0, 0).toInt(), arg.section(u' ', 1).toInt());
                QCoreApplication::processEvents();
            } else if (verb == "clip") { // as a 2 by 2 copy would leave it
                dialogs.clipboard = QString(arg).replace(u'/', u'\t').replace(u'R', u'\r').replace(u'N', u'\n');
                w.CopyRows = w.CopyCols = 1;
            } else if (verb == "menu") { // grid g's own menu, an item by its caption's start
                w.showGridMenu(g, view()->mapToGlobal(QPoint(5, 5)));
                const QList<QAction *> items = w.gridMenu->actions();
                auto it =
                    std::find_if(items.begin(), items.end(), [&](QAction *a) { return a->text().startsWith(arg); });
                QVERIFY(it != items.end());
                const bool enabled = (*it)->isEnabled();
                w.gridMenu->hide();
                enabled ? (*it)->trigger() : void(trail << arg + " greyed");
                trail << dialogs.messages();
            } else if (verb == "value") { // typed into the box the arithmetic opened
                QVERIFY(w.valueInput->isVisible());
                w.valueEdit->setText(arg);
                QTest::keyClick(w.valueEdit, Qt::Key_Return);
            } else if (verb == "pick") { // a line of the compare list
                w.compareList->setCurrentRow(arg.toInt());
                QTest::keyClick(w.compareList, Qt::Key_Return);
            } else if (verb == "rclick")
                QTest::mouseClick(view()->viewport(), Qt::RightButton, {}, at(arg));
            else
                QFAIL(qPrintable(step));
        }
    }
    static QString towing() { return QStringLiteral(EXAMPLES_DIR "/towing-calibration.dat"); }
    // Grid g's cells in the warning colour and in a compare's frame, the Modified panel, the compare list's ends.
    QString look()
    {
        QStringList out{"warn"};
        for (const bool frames : {false, true}) {
            out << (frames ? "frame" : "");
            for (int r = 0; r < grid().Rows(); ++r)
                for (int c = 0; c < grid().Cols(); ++c)
                    if (frames ? view()->marked(r, c) : view()->warned(r, c))
                        out << QStringLiteral("%1,%2").arg(r).arg(c);
        }
        const QWidget *input = window->valueInput; // the number box, where it lies from the grid's corner
        const QPoint p = input->pos() - view()->mapToGlobal(QPoint());
        out << window->statusModified->text()
            << (input->isVisible() ? QString::asprintf("%s %d,%d %dx%d", qPrintable(window->valuePrompt->text()), p.x(),
                                                       p.y(), input->width(), input->height())
                                   : "")
            << (window->gridMenu->isVisible() ? "menu" : "");
        if (const QListWidget *list = window->compareList; list && list->isVisible())
            out << "| " + list->windowTitle() + ": " + list->item(0)->text() + " ... " +
                       list->item(list->count() - 1)->text();
        return out.join(u' ').simplified();
    }
    // The window's size, scale, text and check box; each grid where it lies, its first cell and text; the open edit
    // box; then each control outside its frame or over another one.
    QString layout()
    {
        const auto &w = *window;
        const auto at = [&](const QWidget *c, QSize size) {
            const QPoint p = c->mapTo(&w, QPoint());
            return QString::asprintf(" %d,%d %dx%d", p.x(), p.y(), size.width(), size.height());
        };
        QStringList out{QString::asprintf("%dx%d x%.3f %.2fpt box %d", w.width(), w.height(), w.layoutScale(),
                                          w.Frame4->font().pointSizeF(),
                                          w.chkAutoRequest->style()->pixelMetric(QStyle::PM_IndicatorWidth))};
        for (FlexGridView *v : {w.msflexgrid1, w.MSFlexGrid2, w.MSFlexGrid3}) {
            const QRect first = v->cellRect(0, 0), last = v->cellRect(v->grid().Rows() - 1, v->grid().Cols() - 1);
            out << at(v, v->size()) +
                       QString::asprintf(" %dx%d %d", first.width(), first.height(), v->font().pixelSize()) +
                       (v->viewport()->geometry().contains(last) ? "" : " cut");
        }
        if (box()->isVisible())
            out << " box" + at(box(), box()->size());
        const QList<const QWidget *> top{w.menuBar(), w.centralWidget(), w.statusBar()};
        for (const QWidget *c : w.findChildren<QWidget *>()) {
            const QWidget *p = c->parentWidget();
            if (c->isHidden() || c == box() || (p == &w ? !top.contains(c) : !qobject_cast<const QGroupBox *>(p)))
                continue;
            const QString name = c->objectName() + c->property("text").toString();
            if (!p->rect().contains(c->geometry()))
                out << name + " outside";
            for (const QWidget *o : p->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (o != c && o != box() && !o->isHidden() && (p != &w || top.contains(o)) &&
                    o->geometry().intersects(c->geometry()))
                    out << name + " over " + o->objectName() + o->property("text").toString();
        }
        return out.join(",");
    }
    // The open edit box: "|" at the caret, the selected text in brackets, the part shown.
    QString edit()
    {
        const QLineEdit *b = box();
        const QRect m = b->mask().boundingRect();
        const QString shown = QStringLiteral(" shown %1,%2 %3x%4").arg(m.x()).arg(m.y()).arg(m.width()).arg(m.height());
        return !b->isVisible()
                   ? QString()
                   : b->text().insert(b->cursorPosition(), u'|') +
                         (b->hasSelectedText() ? " [" + b->selectedText() + ']' : "") + (m.isNull() ? "" : shown);
    }
    // Grid g's cells @ the current one, the edit, first report | clipboard; else all that a quiet KTRM lacks.
    QString shown()
    {
        auto &w = *window;
        QStringList out;
        if (g) {
            const FlexGrid &f = grid();
            const QString sel = QStringLiteral("-%1,%2").arg(f.RowSel()).arg(f.ColSel()); // the selection's far corner
            const int fixed = g == 1 ? 0 : 1; // the map's headings are empty till a rebuild, the others' captions
            out << cells(f, fixed * f.FixedRows(), fixed)
                << QStringLiteral("@%1,%2").arg(f.Row()).arg(f.Col()) +
                       (f.RowSel() != f.Row() || f.ColSel() != f.Col() ? sel : "")
                << edit();
            if (!journal.writes().isEmpty())
                out << "| " + journal.writes()[0].payload.toHex(' ');
            if (!dialogs.clipboard.isEmpty())
                out << "| " + QString(dialogs.clipboard).replace(u'\t', u' ').replace(u'\r', u'/');
            return (trail + QStringList{out.join(u' ').simplified()}).join(" / ");
        }
        if (w.statusPanel->text() + w.lblBoard->text() != "ConnectedKTRM")
            out << w.statusPanel->text() + " / " + w.lblBoard->text() + " / " + w.statusReason->text();
        for (const auto *box : w.txtInputs)
            out << box->text();
        for (const auto *lit : {w.lblAtIdle, w.lblExhBrakeSwPressed})
            out << (lit->isEnabled() ? lit->text() : QString());
        out << cells(w.tables.map(), 0, 0, true)
            << cells(w.tables.brake(), 0, 0, true).replaceInStrings("0,", "brake ");
        for (const auto &[box, timer] :
             {std::pair(w.chkAutoRequest, &w.tmrAutoRequest), std::pair(w.chkIndex, &w.tmrIndex)})
            if (box->isChecked() || timer->isActive())
                out << box->text() + (box->isChecked() ? " checked" : "") + (timer->isActive() ? " running" : "");
        for (const ShownBox &b : dialogs.shown)
            out << (b.kind == "MsgBox" ? QString(b.text).replace(QCoreApplication::applicationDirPath(), "~")
                                       : b.kind + ' ' + b.title + ' ' + QString::number(b.filterIndex));
        for (const QWidget *shown : QApplication::topLevelWidgets()) // other windows shown, this one closed
            out << (shown->isVisible() == (shown == &w) ? "" : shown->metaObject()->className());
        out.removeAll(QString());
        return out.join(", ") + " | " + journal.summary();
    }
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QFile::remove(helpFile()); }

    // Title, status, timer intervals, menus, and every control by name or caption, where it lies, how it looks.
    void startsDisconnectedWithItsMenusAndControlsInPlace()
    {
        Rig rig;
        auto &w = *rig.window;
        QVERIFY(!w.statusBar()->isSizeGripEnabled() && w.statusPanel->parentWidget() == w.statusBar() &&
                w.statusReason->parentWidget() == w.statusBar() && w.statusModified->parentWidget() == w.statusBar() &&
                rig.dialogs.parentWidget() == &w);
        QStringList shown{w.windowTitle(), w.statusPanel->objectName(), w.statusPanel->text(),
                          w.statusReason->objectName()};
        for (int n : {w.statusPanel->minimumWidth(), w.tmrAutoRequest.interval(), w.tmrIndex.interval(),
                      w.undoStack->undoLimit()})
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
            const auto *edit = qobject_cast<const QLineEdit *>(c);
            QString text =
                (c->objectName() + ' ' + c->property("text").toString() + c->property("title").toString()).trimmed() +
                QStringLiteral(" %1,%2 %3x%4").arg(c->x()).arg(c->y()).arg(c->width()).arg(c->height());
            if (label)
                text += QStringLiteral(" a%1 f%2").arg(label->alignment(), 0, 16).arg(label->frameStyle(), 0, 16);
            const QMargins m = edit ? edit->textMargins() : QMargins();
            if (edit)
                text += " a" + QString::number(edit->alignment(), 16) + (edit->isReadOnly() ? " ro" : "") +
                        (edit->hasFrame() ? "" : " frameless") +
                        QStringLiteral(" m%1,%2,%3,%4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom()) +
                        (edit->autoFillBackground() && edit->backgroundRole() == QPalette::Window ? " filled" : "");
            shown << text + (c->isHidden() ? " hidden" : "");
        }
        QCOMPARE(
            shown.join(", "),
            "Marlow VGT Tuner v2.21, StatusBar1Panel1, Not Connected, StatusBar1Panel2, 160, 300, 187, 1000, mnuFile "
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

    // Qt's own boxes as a user meets and answers them: title, over the window, text, icon and buttons | answer.
    void qtDialogsShowWhatTheyAreAsked()
    {
        QWidget window;
        QtDialogs dialogs;
        dialogs.setParentWidget(&window);
        QStringList shown;
        QTimer user; // answers each box as it opens
        user.callOnTimeout([&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                shown << modal->windowTitle() + (modal->parentWidget() == &window ? " over: " : ": ");
                if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                    shown.last() +=
                        box->text() + QStringLiteral(" %1 %2").arg(box->icon()).arg(box->standardButtons(), 0, 16);
                    box->button(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok)->click();
                } else if (auto *input = qobject_cast<QInputDialog *>(modal)) {
                    shown.last() += input->labelText() + " [" + input->textValue() + ']';
                    input->setTextValue("typed");
                    input->accept();
                }
            }
        });
        user.start(0);
        dialogs.MsgBox("text", "T");
        shown << (dialogs.YesNo("text", "T") ? "Yes" : "No");
        shown << dialogs.InputBox("text", "T", "default");
        dialogs.SetClipboardText(QStringLiteral("a\tb"));
        shown << dialogs.ClipboardText();
        for (int index : {0, 1, 2, 3}) {
            QString selected;
            shown << qtFilter("A (*.a)|*.a|B (*.*)|*.*", &selected, index) + " [" + selected + ']';
        }
        QCOMPARE(shown.join(" | "),
                 "T over: text 0 400 | T over: text 0 14000 | Yes | T over: text [default] | typed | a\tb | "
                 "A (*.a);;B (*) [] | A (*.a);;B (*) [A (*.a)] | A (*.a);;B (*) [B (*)] | A (*.a);;B (*) []");
        QCOMPARE(qtFilter("A|a|B", nullptr, 1), "A");
    }

    // Saving over the factory calibration: the old file waits beside it until the new one is whole.
    void savingOverAFileKeepsItUntilTheNewOneIsWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("taken"); // backup names taken before, each holding "mine"
        QTest::addColumn<QString>("outcome");
        QTest::newRow("complete") << "AB" << 1 << "Save Complete | cal.dat=new";
        QTest::newRow("failed") << "A\u03a9" << 1
                                << "Error #  5 was generated by Marlow VGT Tuner / Board name character 2, \"\u03a9\" "
                                   "(U+03A9), has no code in Windows-1252 / The file you saved over is kept as "
                                   "~/cal.dat.2.bak. | cal.dat=new cal.dat.2.bak=old";
        QTest::newRow("no backup name free")
            << "AB" << 99
            << "Error #  70 was generated by Marlow VGT Tuner / The file was left as it was: no backup of it could be "
               "made, as every backup name from ~/cal.dat.bak to ~/cal.dat.99.bak is taken. | cal.dat=old";
        QTest::newRow("full") << "AB" << -1 << "Error #  57 was generated by Marlow VGT Tuner / Device I/O error |";
        QTest::newRow("backup name too long")
            << "AB" << -2
            << "Error #  70 was generated by Marlow VGT Tuner / The file was left as it was: no backup of it could be "
               "made, as ~/c*248.dat.bak could not be written: Cannot create ~/c*248.dat.bak for output: File name too "
               "long. | c*248.dat=old";
    }
    void savingOverAFileKeepsItUntilTheNewOneIsWhole()
    {
        QFETCH(QString, name);
        QFETCH(int, taken);
        QTemporaryDir dir;
        const QString fileName = taken == -2 ? QString(248, u'c') + ".dat" : QStringLiteral("cal.dat"); // 255 at most
        const QString path = taken == -1 ? QStringLiteral("/dev/full") : dir.filePath(fileName);
        const QByteArray old = contents(QStringLiteral(EXAMPLES_DIR "/factory-calibration.dat"));
        if (taken == -2)
            put(path, old);
        for (int i = 0; i <= taken; ++i)
            put(i ? path + (i == 1 ? QStringLiteral(".bak") : QStringLiteral(".%1.bak").arg(i)) : path,
                i ? "mine" : old);
        Rig rig;
        rig.window->tables.params().setTextMatrix(BoardName, 1, name);
        rig.dialogs.fileAnswers << path;
        rig.dialogs.yesNoAnswers << true;
        rig.dialogs.onShow = [&](const ShownBox &b) { QVERIFY(b.title != "Error" || !fileIsOpen(path)); };
        rig.window->mnuSave_Click();
        QStringList files{rig.dialogs.messages().join(u'|').replace(u'\r', " / ").replace(dir.path(), "~"), "|"};
        for (const QString &file : QDir(dir.path()).entryList(QDir::Files)) // but the taken ones, left alone
            if (const QByteArray bytes = contents(dir.filePath(file)); bytes != "mine")
                files << file + '=' + (bytes == old ? "old" : "new");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size() + 2 - files.size(), qMax(taken, 0));
        QTEST(files.join(u' ').replace(QString(248, u'c'), "c*248"), "outcome");
    }

    void stepsShowTheirOutcome_data()
    {
        QTest::addColumn<QString>("shown");
        const QString off = "Not Connected / No Module / ";
        QTest::newRow("connect; &File/Open") << "Open Open file to Program 1 | ";
        QTest::newRow("connect; &File/Save") << "Save Save Calibration As 1 | ";
        QTest::newRow("connect; Auto on; Index on; Graph; close")
            << "Auto checked, Index checked running, frmVGT_Tuner | ";
        QTest::addRow("connect; help %s; About", "\n") << " | ";
        QTest::addRow("connect; help %s; About", "\r\n\r\n") << "\r\n\r\n | ";
        QTest::addRow("connect; help %s; About", "a\n\rb") << "a\r\n\r\nb\r\n | ";
        QTest::addRow("connect; help %s; About", "one,  two  ,three\n") << "one\r\ntwo\r\nthree\r\n | ";
        QTest::addRow("connect; help %s; About", " \"a, b\" x,\"\",\"c") << "a, b\r\n\r\nc\r\n | ";
        QTest::addRow("connect; help %s; About", ",x,") << "\r\nx\r\n\r\n | ";
        QTest::newRow("About") << off + ", The help file ~/help.txt could not be read: No such file or directory | ";
        QTest::newRow("left over; Connect") << " | R R-*2 W90 S50 R*35 W77 S50 R S10 R*2";
        QTest::newRow("PNDX; Connect") << "Connected / PNDX /  | ";
        QTest::newRow("absent; Connect") << off + "No module found on USB | ";
        QTest::newRow("connect; absent; Connect") << "Not Connected / KTRM / No module found on USB | ";
        QTest::newRow("denied; Connect")
            << off + "Module found but not accessible: install the udev rule (see README) | ";
        for (const char *command :
             {"Request", "Test Turbo", "Board Version", "Auto on; Auto tick", "Index on; Index tick"})
            QTest::addRow("%s", command) << off + ", Board not connected | ";
        for (const char *command : {"Request", "Test Turbo", "Auto on; Auto tick", "Index on; Index tick"})
            QTest::addRow("PNDX; connect; %s", command) << "Connected / PNDX / , KTRM not found | ";
        QTest::newRow("PNDX; connect; Board Version") << "Connected / PNDX / , Board Version 0221 | W72 S50 R";
        QTest::newRow("connect; Auto on; Disconnect") << off + ", Auto checked running | ";
        QTest::newRow("connect; Auto on; Disconnect; Auto tick") << off + ", Board not connected | ";
        QTest::newRow("connect; hold; Auto on; Auto tick") << "Auto checked running | ";
        QTest::newRow("connect; hold; Index on; Index tick") << "Index checked running | ";
        QTest::newRow("connect; Auto on; Index on; &Receive: lost") << " | R- W90 S50 R-";
        QTest::newRow("connect; Auto on; Index on; &Verify: lost") << "Verified FAILED | R- W90 S50 R-*35 W77 S50 R*3";
        QTest::newRow("connect; hold; Connect") << frmVGT_Tuner::busyMessage() + " | ";
        QTest::newRow("connect; hold; Disconnect") << frmVGT_Tuner::busyMessage() + " | ";
        QTest::newRow("connect; Test Turbo") << " | W92";
        QTest::newRow("connect; Board Version: 0A 0B; Board Version: lost") << "Board Version 0A0B | W72 S50 R-";
        QTest::newRow("connect; Request: 0B B8 2D 00 01 00") << "3000, 45, 0, At Idle | W80 S50 R";
        QTest::newRow("connect; Request: FF FF 64 FF 00 01") << "65535, 100, 255, Exh Brake Switch On | W80 S50 R";
        QTest::newRow("connect; Request: 00 00 00 07 02 FF") << "0, 0, 7 | W80 S50 R"; // a switch is on for 1 only
        const QString inputs = "1234, 33, 12, Exh Brake Switch On";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Clear") << " | ";
        QTest::newRow("connect; Auto on; Auto tick: 04 D2 21 0C 00 01")
            << inputs + ", Auto checked running | W80 S50 R";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Request: lost") << inputs + " | W80 S50 R-";
        // Only the last operating point is yellow; one the grids lack stays white.
        const QString tick = "connect; Index on; Index tick: ", ticked = ", Index checked running | WA0 S50 R";
        QTest::addRow("%s03 05 00", qPrintable(tick)) << "6,4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 10 09 00", qPrintable(tick)) << "6,4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 08 10 00", qPrintable(tick)) << "6,4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 03 05 01", qPrintable(tick)) << "brake 4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 03 05 01; Index tick: 04 06 00", qPrintable(tick)) << "7,5" + ticked;
        QTest::addRow("%s04 09 01; Index tick: 03 C8 01", qPrintable(tick)) << "brake 4, brake 5" + ticked;
        QTest::addRow("%s0F 0F 00", qPrintable(tick)) << "16,16" + ticked;
        QTest::addRow("%s00 00 00", qPrintable(tick)) << "1,1" + ticked;
        QTest::addRow("%s03 05 00; Headings; Index tick: 01 01 00", qPrintable(tick)) << "2,2, 6,4" + ticked;
        QTest::addRow("%s03 05 00; Index off", qPrintable(tick)) << " | ";
        QTest::newRow("connect; Index tick: 03 05 00") << " | ";

        QTest::newRow("1; set 4,3=45; click 4,3; type !") << "4,3=45 @4,3 !|";
        QTest::newRow("1; set 4,3=45; click 4,3; key Backspace") << "4,3=45 @4,3 |45 [45]";
        QTest::newRow("2; set 0,3=45; click 0,3; type  ") << "0,3=45 @0,3 |45 [45]";
        QTest::newRow("3; set 2,1=45; click 2,1; dblclick 2,1") << "2,1=45 @2,1 |45 [45]";
        QTest::newRow("1; drag 5,3 4,2; type 55; key Return") << "4,2=55 4,3=55 5,2=55 5,3=55 @5,3";
        QTest::newRow("1; drag 4,2 5,3; type 55; key Return") << "4,2=55 4,3=55 5,2=55 5,3=55 @4,2";
        QTest::newRow("1; set 7,5=45; click 7,5; type 31; key Escape") << "7,5=45 @7,5";
        QTest::newRow("1; set 7,5=45; click 7,5; type 31; key Return") << "7,5=31 @7,5";
        QTest::newRow("1; set 7,5=45; click 7,5; type 31; deactivate; key Return") << "7,5=31 @7,5";
        QTest::newRow("1; click 7,5; type 31; key Down") << "7,5=31 @8,5";
        QTest::newRow("1; click 16,16; type 5; resize 300 150") << "@16,16 5| shown -1,-1 1x1";
        QTest::newRow("1; click 3,3; type 5; resize 140 150") << "@3,3 5| shown 0,0 18x15";
        // The window grows all it holds by one factor, centred; it shrinks no smaller than at start.
        const QString start = "736x508 x1.000 9.00pt box 14, 24,59 689x262 40x15 11, 24,323 689x21 40x15 11, 24,347 "
                              "181x127 93x15 11";
        QTest::newRow("3; layout; window 200 100; layout") << start + " / " + start + " / @7,1";
        QTest::newRow("2; click 0,16; window 1104 800; layout; window 736 508; layout")
            << "1104x800 x1.500 13.50pt box 21, 36,107 1034x393 60x22 17, 36,503 1034x32 60x22 17, 36,539 272x191 "
               "140x22 17 / " +
                   start + " / @0,16";
        QTest::newRow("1; click 16,16; type 5; window 1920 1050; layout; key Up")
            << "1920x1050 x2.153 19.38pt box 30, 218,105 1484x564 86x32 24, 218,673 1484x45 86x32 24, 218,725 390x273 "
               "201x32 24, box 1597,611 86x32 / 16,16=5 @15,16";
        QTest::newRow("1; click 16,5; type 31; key Down") << "16,5=31 @16,5";
        QTest::newRow("1; click 1,5; type 31; key Up") << "1,5=31 @1,5";
        QTest::newRow("1; click 7,1; type 31; key Left") << "7,1=31 @7,1";
        QTest::newRow("1; click 7,16; type 31; key Right") << "7,16=31 @7,16";
        QTest::newRow("2; click 0,4; type 31; key Right") << "0,4=31 @0,5";
        QTest::newRow("2; click 0,4; type 31; key Left") << "0,4=31 @0,3";
        QTest::newRow("2; click 0,4; type 31; key Up") << "@0,4 31|";
        QTest::newRow("3; click 1,1; type 31; key Up") << "1,1=31 @0,1";
        QTest::newRow("3; click 0,1; type 31; key Up") << "0,1=31 @0,1";
        QTest::newRow("3; click 1,1; type 31; key Down") << "1,1=31 @2,1";
        QTest::newRow("3; click 2,1; type 31; key Left") << "@2,1 3|1";
        // Paste puts the last copy where the mouse last went down, cut at the grid's edge.
        const QString block = "1; set 2,2=2.2; set 2,3=2.3; set 2,4=2.4; set 3,2=3.2; set 3,3=3.3; set 3,4=3.4; "
                              "drag 2,2 3,4; key Ctrl+C; ";
        const QString copied = "2,2=2.2 2,3=2.3 2,4=2.4 3,2=3.2 3,3=3.3 3,4=3.4 %1 | 2.2 2.3 2.4/3.2 3.3 3.4";
        QTest::newRow("1; set 2,2=x; click 2,2; key Ctrl+V") << "2,2=x @2,2";
        QTest::newRow("1; clip a/bRNd/e; focus; key Ctrl+V") << "1,1=e @1,1 | a b/ d e";
        QTest::addRow("%sclip x/yR; click 10,5; key Ctrl+V", qPrintable(block))
            << "2,2=2.2 2,3=2.3 2,4=2.4 3,2=3.2 3,3=3.3 3,4=3.4 10,5=x 10,6=y @10,5-11,6 | x y/";
        QTest::addRow("%stype 5; dblclick 2,2", qPrintable(block)) << copied.arg("@2,2-3,4");
        QTest::addRow("%sclick 10,5; key Ctrl+V; type 5", qPrintable(block))
            << copied.arg("10,5=2.2 10,6=2.3 10,7=2.4 11,5=3.2 11,6=3.3 11,7=3.4 @10,5-11,7");
        QTest::addRow("%sclick 16,15; key Ctrl+V; key Up; type 5", qPrintable(block))
            << copied.arg("16,15=2.2 16,16=2.3 @15,15 5|");
        // The commit comes just before a command first reaches the map.
        const QString edit = "1; connect; empty; set 1,1=45; drag 1,1 2,2; type 7; ";
        for (const char *command :
             {"Save", "file cal.dat; Save", "file no/cal.dat; Save", "Open", "file missing.dat; Open"})
            QTest::addRow("%s%s", qPrintable(edit), command) << "1,1=45 @1,1-2,2 7|";
        QTest::addRow("%sfile cal.dat; Open", qPrintable(edit)) << "1,1=7 1,2=7 2,1=7 2,2=7 @1,1";
        QTest::addRow("%s&Receive: lost", qPrintable(edit)) << "1,1=45 @1,1-2,2 7| | 90 00 00 00 00 00 00 00";
        QTest::addRow("%s&Receive: lost; set 5,5=x", qPrintable(edit)) << "1,1=45 5,5=x @1,1-2,2 7|";
        const QString axes = "3; set 3,1=800; set 6,1=6; click 4,1; type 250; key Return; ";
        QTest::addRow("%s1; focus", qPrintable(axes)) << "@1,1";
        QTest::addRow("%sclick 5,1; type 10; key Return", qPrintable(axes)) << "3,1=800 4,1=250 5,1=10 6,1=6 @6,1";
        QTest::addRow("%s&Send", qPrintable(edit)) << "1,1=7 1,2=7 2,1=7 2,2=7 @16,16 | 91 07 07 00 00 00 00 00";
        // Each action, then Undo, then Redo: one step each, the current cell where the action left it.
        QTest::newRow("1; drag 4,2 5,3; type 55; key Return; show; menu Undo; show; menu Redo")
            << "4,2=55 4,3=55 5,2=55 5,3=55 @4,2 / @4,2 / 4,2=55 4,3=55 5,2=55 5,3=55 @4,2";
        QTest::addRow("%sclick 10,5; key Ctrl+V; show; key F5; look; show; key Shift+F5", qPrintable(block))
            << copied.arg("10,5=2.2 10,6=2.3 10,7=2.4 11,5=3.2 11,6=3.3 11,7=3.4 @10,5-11,7") + " / warn frame / " +
                   copied.arg("@10,5-11,7") + " / " +
                   copied.arg("10,5=2.2 10,6=2.3 10,7=2.4 11,5=3.2 11,6=3.3 11,7=3.4 @10,5-11,7");
        QTest::newRow("1; set 3,3=x; &File/Clear; show; menu Undo; show; menu Redo")
            << "@16,16 / 3,3=x @16,16 / @16,16";
        // Receive, also the one a connect runs, and Open leave the tables unmodified; Undo gives back what was.
        QTest::newRow("3; set 7,1=Mine; connect; look; menu Undo; show; look; menu Redo; look")
            << "warn frame / 7,1=Mine @6,1 / warn frame Modified / warn frame / 0,1=95 1,1=20 2,1=200 3,1=800 4,1=200 "
               "5,1=10 6,1=6 7,1=Marlow VGT @6,1";
        QTest::newRow(
            "3; set 7,1=Mine; towing; &File/Open; look; click 7,1; type x; key Return; look; menu Undo; look; "
            "menu Undo; look")
            << "warn frame / warn frame Modified / warn frame / warn frame Modified / 7,1=Mine @6,1";
        QTest::newRow("2; set 0,1=254.5; menu Undo; menu Interpolate; menu Add; value x; look; value 1; look")
            << "Undo greyed / Interpolate greyed / warn frame Type a number, as 12 or -2.5: 41,19 260x30 / warn frame "
               "Modified / 0,1=255 @0,1";
        // Arithmetic rounds as the module does (halves to even) and keeps to 0..255; text is left alone.
        const QString sums = "1; set 2,2=10; set 2,3=254.5; set 3,2=abc; set 3,3=11; drag 2,2 3,3; ";
        const QString before = " / 2,2=10 2,3=254.5 3,2=abc 3,3=11 @2,2-3,3";
        QTest::addRow("%smenu Add; value 0.5; show; menu Undo", qPrintable(sums))
            << "2,2=10 2,3=255 3,2=abc 3,3=12 @2,2-3,3" + before;
        QTest::addRow("%smenu Subtract; value 11; show; menu Undo", qPrintable(sums))
            << "2,2=0 2,3=244 3,2=abc 3,3=0 @2,2-3,3" + before;
        QTest::addRow("%smenu Scale; value 110%%; show; menu Undo", qPrintable(sums))
            << "2,2=11 2,3=255 3,2=abc 3,3=12 @2,2-3,3" + before;
        QTest::addRow("%smenu Set; value 300; show; menu Undo", qPrintable(sums))
            << "2,2=255 2,3=255 3,2=255 3,3=255 @2,2-3,3" + before;
        const QString rpm = "0,1=0 0,2=600 0,3=1000 0,4=4100 1,1=0 ";
        QTest::newRow("1; set 0,1=0; set 0,2=600; set 0,3=1000; set 0,4=4100; set 1,1=0; set 1,4=100; drag 1,1 1,4; "
                      "menu Interpolate across; show; menu Undo; show; menu Redo Interpolate")
            << rpm + "1,2=15 1,3=24 1,4=100 @1,1-1,4 / " + rpm + "1,4=100 @1,1-1,4 / " + rpm +
                   "1,2=15 1,3=24 1,4=100 @1,1-1,4";
        QTest::newRow("1; set 1,1=255; set 1,2=255.5; set 1,3=256; set 1,4=-1; set 1,5=abc; set 1,6=-0.5; look; 2; set "
                      "0,9=300; look; 3; set 0,1=300; look")
            << "warn 1,2 1,3 1,4 1,5 frame / warn 0,9 frame / warn frame / 0,1=300 @7,1";
        // Compare with the file opened: none, then the cells changed since, framed until edited or cleared.
        const QString towing = " | Compared with towing-calibration.dat: ";
        QTest::newRow("towing; &File/Open; 1; towing; menu Compare with file; look; drag 2,2 3,3; rclick 3,3; type 7; "
                      "key Return; towing; menu Compare with file; look; click 2,2; type 0; key Return; look; menu "
                      "Clear compare; look; 2")
            << "warn frame" + towing + "No differences ... No differences / warn frame 2,2 2,3 3,2 3,3 Modified" +
                   towing + "map row 2, column 2 (RPM 600, load 0%): here 7, file 26 ... 4 differences / warn frame " +
                   "2,3 3,2 3,3 Modified" + towing +
                   "map row 2, column 2 (RPM 600, load 0%): here 7, file 26 ... 4 differences / warn frame Modified "
                   "/ " +
                   "0,1=100 0,2=100 0,3=100 0,4=100 0,5=100 0,6=100 0,7=100 0,8=100 0,9=100 0,10=100 " +
                   "0,11=97 0,12=94 0,13=91 0,14=88 0,15=85 0,16=82 @0,16";
        QTest::newRow("1; set 2,2=10; click 2,2; menu Add; value 1; hold; menu Undo") << "2,2=11 @2,2";
        QTest::newRow("1; set 1,1=0; set 4,1=30; drag 1,1 4,1; menu Interpolate down; show; menu Undo Interpolate; "
                      "hold; menu Interpolate down")
            << "1,1=0 2,1=10 3,1=20 4,1=30 @1,1-4,1 / 1,1=0 4,1=30 @1,1-4,1";
        QTest::newRow("connect; Auto on; Index on; 1; menu Compare with module; 0") << "QListWidget | ";
        QTest::newRow("1; set 1,2=10; set 2,1=20; set 2,3=40; set 3,2=50; drag 1,1 3,3; menu Interpolate both; click "
                      "2,2; menu Interpolate down")
            << "Select at least three rows of the map to interpolate down. / 1,2=10 2,1=20 2,2=60 2,3=40 3,2=50 @2,2";
        QTest::newRow("3; focus; key F6; look") << "warn frame / @7,1";
        QTest::newRow("2; focus; key Menu; look") << "warn frame menu / @0,1";
        QTest::newRow("1; focus; key Shift+F10; look") << "warn frame menu / @1,1";
        // Compare with the module: the Verify exchange, the open edit committed first, no cell changed.
        const QString params = " / 0,1=95 1,1=20 2,1=200 3,1=800 4,1=200 5,1=10 6,1=6 7,1=Marlow VGT @7,1";
        QTest::newRow("connect; 1; set 2,2=7; click 2,3; type 8; menu Compare with module; look; 3")
            << "warn frame 2,2 2,3 Modified | Compared with the module: map row 2, column 2 (RPM 800, load 10%): here "
               "7, module 33 ... 2 differences" +
                   params;
        QTest::newRow("connect; 3; set 1,1=21; set 2,1=201; menu Compare with module; pick 0; look")
            << "warn frame 1,1 2,1 | Compared with the module: Max Adjust: here 21, module 20 ... 2 differences / "
               "0,1=95 "
               "1,1=21 2,1=201 3,1=800 4,1=200 5,1=10 6,1=6 7,1=Marlow VGT @1,1";
        QTest::newRow("connect; 2; click 0,3; type 9; menu Compare with module")
            << "0,1=95 0,2=95 0,3=9 0,4=94 0,5=94 0,6=94 0,7=93 0,8=93 0,9=93 0,10=92 0,11=92 0,12=92 0,13=91 0,14=91 "
               "0,15=91 0,16=90 @0,16 | 90 00 00 00 00 00 00 00";
        QTest::newRow("connect; 2; menu Compare with module: lost; look; 3")
            << "warn frame | Compared with the module: The module's answer was cut short: nothing was compared. ... "
               "The module's answer was cut short: nothing was compared." +
                   params;
        QTest::newRow("2; file cal.dat; menu Compare with file; towing; menu Compare with file; look; pick 273; 3; "
                      "type 5; key Return")
            << "Error #  13 was generated by Marlow VGT Tuner\rNot a calibration file / warn frame 0,1 0,2 0,3 0,4 0,5 "
               "0,6 0,7 0,8 0,9 0,10 0,11 0,12 0,13 0,14 0,15 0,16" +
                   towing + "map row 1, column 1 (RPM , load ): here , file 25 ... 279 differences / 1,1=5 @1,1";
    }
    void stepsShowTheirOutcome()
    {
        Session s(QTest::currentDataTag());
        QTEST(s.shown(), "shown");
        QCOMPARE(contents(s.dir.filePath("cal.dat")), "old");
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
