#include "frmvgt_tuner.h"
#include "cellvalue.h"
#include "dialogs.h"
#include "flexgridview.h"
#include "frmbootloader.h"
#include "frmgraph.h"
#include "helptext.h"
#include "linkcommands.h"
#include "misc.h"
#include "nonblockingusb.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

frmVGT_Tuner::frmVGT_Tuner(Misc &misc, Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_misc(misc), m_dialogs(dialogs)
{
    m_dialogs.setParentWidget(this);
    buildWindow();
    buildMenus();
    buildMapTools();
    rememberLayout();
    Form_Load();
}

frmVGT_Tuner::~frmVGT_Tuner() = default;

void frmVGT_Tuner::buildWindow()
{
    setWindowTitle(QStringLiteral("Marlow VGT Tuner v2.21"));
    // The window is designed in twips, 15 to a pixel at 96 dpi, as the grids are; placed
    // here in whole pixels, which is what the twips come to. The client area is 11040 x 7050
    // twips above the status bar; the grids sit at (240, 360) 10335 x 3930, (240, 4320)
    // 10335 x 315 and (240, 4680) 2715 x 1905 twips in the map frame.
    auto *outer = new QGroupBox(QStringLiteral("VGT Tuner"));
    outer->setObjectName(QStringLiteral("outerFrame"));
    outer->setMinimumSize(736, 470);
    setCentralWidget(outer);

    auto *mapFrame = new QGroupBox(QStringLiteral("Turbo Position Map (0=Full Open, 100=Full Close)"), outer);
    mapFrame->setObjectName(QStringLiteral("mapFrame"));
    mapFrame->setGeometry(8, 16, 720, 447);

    auto *rpm = new QLabel(QStringLiteral("RPM"), mapFrame);
    rpm->setGeometry(333, 10, 60, 14);
    rpm->setAlignment(Qt::AlignCenter);
    const QString load = QStringLiteral("LOAD");
    for (int i = 0; i < load.size(); ++i) {
        auto *letter = new QLabel(load.mid(i, 1), mapFrame);
        letter->setGeometry(2, 100 + i * 20, 13, 19);
        letter->setAlignment(Qt::AlignCenter);
    }

    msflexgrid1 = new FlexGridView(tables.map(), mapFrame);
    msflexgrid1->setObjectName(QStringLiteral("msflexgrid1"));
    msflexgrid1->setGeometry(16, 24, 689, 262);
    MSFlexGrid2 = new FlexGridView(tables.brake(), mapFrame);
    MSFlexGrid2->setObjectName(QStringLiteral("MSFlexGrid2"));
    MSFlexGrid2->setGeometry(16, 288, 689, 21);
    MSFlexGrid3 = new FlexGridView(tables.params(), mapFrame);
    MSFlexGrid3->setObjectName(QStringLiteral("MSFlexGrid3"));
    MSFlexGrid3->setGeometry(16, 312, 181, 127);

    auto makeEditor = [mapFrame](const char *name) {
        auto *box = new QLineEdit(mapFrame);
        box->setObjectName(QString::fromLatin1(name));
        box->hide();
        return box;
    };
    Text1 = makeEditor("Text1");
    Text2 = makeEditor("Text2");
    Text3 = makeEditor("Text3");

    lblBoard = new QLabel(mapFrame);
    lblBoard->setObjectName(QStringLiteral("lblBoard"));
    lblBoard->setGeometry(208, 316, 100, 24);
    lblBoard->setFrameShape(QFrame::Panel);
    lblBoard->setFrameShadow(QFrame::Sunken);
    lblBoard->setAlignment(Qt::AlignCenter);

    Frame1 = new QGroupBox(QStringLiteral("Graph"), mapFrame);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(208, 348, 100, 91);
    chkIndex = new QCheckBox(QStringLiteral("Index"), Frame1);
    chkIndex->setObjectName(QStringLiteral("chkIndex"));
    chkIndex->setGeometry(8, 20, 84, 22);
    cmdGraph = new QPushButton(QStringLiteral("3D Graph"), Frame1);
    cmdGraph->setObjectName(QStringLiteral("cmdGraph"));
    cmdGraph->setGeometry(8, 52, 84, 28);

    Frame4 = new QGroupBox(QStringLiteral("Inputs"), mapFrame);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(320, 312, 385, 127);
    cmdRequestInputs = new QPushButton(QStringLiteral("Request"), Frame4);
    cmdRequestInputs->setObjectName(QStringLiteral("cmdRequestInputs"));
    cmdRequestInputs->setGeometry(10, 22, 73, 27);
    chkAutoRequest = new QCheckBox(QStringLiteral("Auto"), Frame4);
    chkAutoRequest->setObjectName(QStringLiteral("chkAutoRequest"));
    chkAutoRequest->setGeometry(10, 55, 73, 22);
    cmdClear = new QPushButton(QStringLiteral("Clear"), Frame4);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClear->setGeometry(10, 87, 73, 27);
    const char *inputLabels[3] = {"RPM", "Load %", "User"};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(QString::fromLatin1(inputLabels[i]), Frame4);
        label->setGeometry(97, 22 + i * 32, 60, 27);
        txtInputs[i] = new QLineEdit(Frame4);
        txtInputs[i]->setObjectName(QStringLiteral("txtInputs%1").arg(i));
        txtInputs[i]->setReadOnly(true);
        txtInputs[i]->setAlignment(Qt::AlignRight);
        txtInputs[i]->setGeometry(160, 22 + i * 32, 73, 27);
        // Opaque (filled with the window's colour round the box's own
        // drawing), so that a reading every 300 ms repaints the box alone and
        // not the three frames around it.
        txtInputs[i]->setBackgroundRole(QPalette::Window);
        txtInputs[i]->setAutoFillBackground(true);
    }
    lblAtIdle = new QLabel(QStringLiteral("At Idle"), Frame4);
    lblAtIdle->setObjectName(QStringLiteral("lblAtIdle"));
    lblAtIdle->setGeometry(247, 22, 130, 27);
    lblExhBrakeSwPressed = new QLabel(QStringLiteral("Exh Brake Switch On"), Frame4);
    lblExhBrakeSwPressed->setObjectName(QStringLiteral("lblExhBrakeSwPressed"));
    lblExhBrakeSwPressed->setGeometry(247, 54, 130, 27);

    statusPanel = new QLabel;
    statusPanel->setObjectName(QStringLiteral("StatusBar1Panel1"));
    statusPanel->setMinimumWidth(160);
    statusBar()->addWidget(statusPanel);
    statusReason = new QLabel;
    statusReason->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusBar()->addWidget(statusReason, 1);
    statusBar()->setSizeGripEnabled(false);

    tmrAutoRequest.setInterval(300);
    tmrIndex.setInterval(187);
    connect(&tmrAutoRequest, &QTimer::timeout, this, &frmVGT_Tuner::tmrAutoRequest_Timer);
    connect(&tmrIndex, &QTimer::timeout, this, &frmVGT_Tuner::tmrIndex_Timer);
    // toggled, not clicked: the handler runs when code changes the box too.
    connect(chkAutoRequest, &QCheckBox::toggled, this, &frmVGT_Tuner::chkAutoRequest_Click);
    connect(chkIndex, &QCheckBox::toggled, this, &frmVGT_Tuner::chkIndex_Click);
    connect(cmdRequestInputs, &QPushButton::clicked, this, &frmVGT_Tuner::cmdRequestInputs_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmVGT_Tuner::cmdClear_Click);
    connect(cmdGraph, &QPushButton::clicked, this, &frmVGT_Tuner::cmdGraph_Click);
    wireEditing();
}

void frmVGT_Tuner::buildMenus()
{
    struct Item {
        const char *text;
        void (frmVGT_Tuner::*handler)();
    };
    auto addMenu = [this](const char *title, const char *objectName, std::initializer_list<Item> items) {
        QMenu *menu = menuBar()->addMenu(QString::fromLatin1(title));
        menu->setObjectName(QString::fromLatin1(objectName));
        for (const auto &item : items) {
            QAction *action = menu->addAction(QString::fromLatin1(item.text));
            connect(action, &QAction::triggered, this, item.handler);
        }
    };
    addMenu("&File", "mnuFile",
            {{"Open", &frmVGT_Tuner::mnuOpen_Click},
             {"Save", &frmVGT_Tuner::mnuSave_Click},
             {"Graph", &frmVGT_Tuner::mnuGraph_Click},
             {"Clear", &frmVGT_Tuner::mnuClearTable_Click}});
    addMenu("Connections", "mnuConnections",
            {{"Connect", &frmVGT_Tuner::mnuConnect_Click}, {"Disconnect", &frmVGT_Tuner::mnuDisconnect_Click}});
    addMenu("&Communication", "mnuCommunication",
            {{"&Send", &frmVGT_Tuner::mnuSend_Click},
             {"&Receive", &frmVGT_Tuner::mnuReceive_Click},
             {"&Verify", &frmVGT_Tuner::mnuVerify_Click},
             {"Reflash", &frmVGT_Tuner::mnuReflash_Click}});
    addMenu("&Help", "mnuHelp",
            {{"Board Version", &frmVGT_Tuner::mnuRequestVersion_Click},
             {"Test Turbo", &frmVGT_Tuner::mnuTest_Click},
             {"About", &frmVGT_Tuner::mnuAbout_Click}});
}

QAction *frmVGT_Tuner::menuItem(const QString &menu, const QString &item) const
{
    for (QAction *top : menuBar()->actions()) {
        if (top->text() != menu || !top->menu())
            continue;
        for (QAction *a : top->menu()->actions())
            if (a->text() == item)
                return a;
    }
    return nullptr;
}

void frmVGT_Tuner::Form_Load()
{
    NonBlockingUSB::Connected = false;
    SetUpGrids(tables);
    setStatus(QStringLiteral("Not Connected"));
    lblBoard->setText(QStringLiteral("No Module"));
    lblAtIdle->setEnabled(false);
    lblExhBrakeSwPressed->setEnabled(false);
}

void frmVGT_Tuner::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QMainWindow::closeEvent(event);
}

void frmVGT_Tuner::Form_Unload()
{
    tmrAutoRequest.stop();
    // The graph and firmware windows belong to this window: they go with it,
    // and so does the process. A programming run keeps its window open until
    // the run ends; the process then ends when that window closes, instead of
    // running on with no window at all.
    if (m_graph)
        m_graph->close();
    if (m_bootloader && !m_bootloader->close())
        m_bootloader->quitWhenClosed();
}

void frmVGT_Tuner::setStatus(const QString &text) { statusPanel->setText(text); }

void frmVGT_Tuner::MsgBox(const QString &text) { m_dialogs.MsgBox(text, productTitle()); }

frmVGT_Tuner::BoardState frmVGT_Tuner::boardState(bool needKtrm) const
{
    if (!NonBlockingUSB::Connected)
        return BoardState::NotConnected;
    if (needKtrm && lblBoard->text() != QLatin1String("KTRM"))
        return BoardState::NotKtrm;
    return BoardState::Ready;
}

QString frmVGT_Tuner::boardMessage(BoardState state)
{
    return state == BoardState::NotConnected ? QStringLiteral("Board not connected") : KtrmNotFoundText();
}

bool frmVGT_Tuner::boardCheck(bool needKtrm)
{
    // A transfer or programming run that lets events run owns the link until
    // it ends: another command's reports would land in the middle of its stream.
    if (linkBusy()) {
        MsgBox(busyMessage());
        return false;
    }
    const BoardState state = boardState(needKtrm);
    if (state != BoardState::Ready) {
        MsgBox(boardMessage(state));
        return false;
    }
    return true;
}

void frmVGT_Tuner::stopPeriodicRequests()
{
    if (chkAutoRequest->isChecked())
        chkAutoRequest->setChecked(false);
    if (chkIndex->isChecked())
        chkIndex->setChecked(false);
}

void frmVGT_Tuner::UpdateAxisHeadings() { ::UpdateAxisHeadings(tables); }

QString frmVGT_Tuner::myformat(const QString &text) { return text.size() == 1 ? QStringLiteral("0") + text : text; }

void frmVGT_Tuner::mnuAbout_Click()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/help.txt");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MsgBox(QStringLiteral("The help file %1 could not be read: %2").arg(path, file.errorString()));
        return;
    }
    MsgBox(HelpText(file.readAll()));
}
