#include "frmvgt_tuner.h"
#include "cellvalue.h"
#include "dialogs.h"
#include "flexgridview.h"
#include "frmbootloader.h"
#include "frmgraph.h"
#include "helptext.h"
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

namespace {
// Window geometry is designed in twips, as the grids are; 15 twips a pixel.
QRect twips(int left, int top, int width, int height)
{
    return {FlexGridView::pixels(left), FlexGridView::pixels(top), FlexGridView::pixels(width),
            FlexGridView::pixels(height)};
}
} // namespace

frmVGT_Tuner::frmVGT_Tuner(Misc &misc, Dialogs &dialogs, QWidget *parent)
    : QMainWindow(parent), m_misc(misc), m_dialogs(dialogs)
{
    m_dialogs.setParentWidget(this);
    buildWindow();
    buildMenus();
    Form_Load();
}

frmVGT_Tuner::~frmVGT_Tuner() = default;

void frmVGT_Tuner::buildWindow()
{
    setWindowTitle(QStringLiteral("Marlow VGT Tuner v2.21"));
    auto *outer = new QGroupBox(QStringLiteral("VGT Tuner"));
    outer->setObjectName(QStringLiteral("outerFrame"));
    outer->setMinimumSize(twips(0, 0, 11040, 7050).size());
    setCentralWidget(outer);

    auto *mapFrame = new QGroupBox(QStringLiteral("Turbo Position Map (0=Full Open, 100=Full Close)"), outer);
    mapFrame->setObjectName(QStringLiteral("mapFrame"));
    mapFrame->setGeometry(twips(120, 240, 10800, 6700));

    auto *rpm = new QLabel(QStringLiteral("RPM"), mapFrame);
    rpm->setGeometry(twips(5000, 150, 900, 210));
    rpm->setAlignment(Qt::AlignCenter);
    const QString load = QStringLiteral("LOAD");
    for (int i = 0; i < load.size(); ++i) {
        auto *letter = new QLabel(load.mid(i, 1), mapFrame);
        letter->setGeometry(twips(30, 1500 + i * 300, 200, 280));
        letter->setAlignment(Qt::AlignCenter);
    }

    msflexgrid1 = new FlexGridView(tables.map(), mapFrame);
    msflexgrid1->setObjectName(QStringLiteral("msflexgrid1"));
    msflexgrid1->setGeometry(twips(240, 360, 10335, 3930));
    MSFlexGrid2 = new FlexGridView(tables.brake(), mapFrame);
    MSFlexGrid2->setObjectName(QStringLiteral("MSFlexGrid2"));
    MSFlexGrid2->setGeometry(twips(240, 4320, 10335, 315));
    MSFlexGrid3 = new FlexGridView(tables.params(), mapFrame);
    MSFlexGrid3->setObjectName(QStringLiteral("MSFlexGrid3"));
    MSFlexGrid3->setGeometry(twips(240, 4680, 2715, 1905));

    auto makeEditor = [mapFrame](const char *name) {
        auto *box = new QLineEdit(mapFrame);
        box->setObjectName(QString::fromLatin1(name));
        box->setFrame(false);
        box->hide();
        return box;
    };
    Text1 = makeEditor("Text1");
    Text2 = makeEditor("Text2");
    Text3 = makeEditor("Text3");

    lblBoard = new QLabel(mapFrame);
    lblBoard->setObjectName(QStringLiteral("lblBoard"));
    lblBoard->setGeometry(twips(3120, 4740, 1500, 360));
    lblBoard->setFrameShape(QFrame::Panel);
    lblBoard->setFrameShadow(QFrame::Sunken);
    lblBoard->setAlignment(Qt::AlignCenter);

    Frame1 = new QGroupBox(QStringLiteral("Graph"), mapFrame);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(3120, 5220, 1500, 1365));
    chkIndex = new QCheckBox(QStringLiteral("Index"), Frame1);
    chkIndex->setObjectName(QStringLiteral("chkIndex"));
    chkIndex->setGeometry(twips(120, 300, 1260, 330));
    cmdGraph = new QPushButton(QStringLiteral("3D Graph"), Frame1);
    cmdGraph->setObjectName(QStringLiteral("cmdGraph"));
    cmdGraph->setGeometry(twips(120, 780, 1260, 420));

    Frame4 = new QGroupBox(QStringLiteral("Inputs"), mapFrame);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(twips(4800, 4680, 5775, 1905));
    cmdRequestInputs = new QPushButton(QStringLiteral("Request"), Frame4);
    cmdRequestInputs->setObjectName(QStringLiteral("cmdRequestInputs"));
    cmdRequestInputs->setGeometry(twips(150, 330, 1100, 400));
    chkAutoRequest = new QCheckBox(QStringLiteral("Auto"), Frame4);
    chkAutoRequest->setObjectName(QStringLiteral("chkAutoRequest"));
    chkAutoRequest->setGeometry(twips(150, 820, 1100, 330));
    cmdClear = new QPushButton(QStringLiteral("Clear"), Frame4);
    cmdClear->setObjectName(QStringLiteral("cmdClear"));
    cmdClear->setGeometry(twips(150, 1300, 1100, 400));
    const char *inputLabels[3] = {"RPM", "Load %", "User"};
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(QString::fromLatin1(inputLabels[i]), Frame4);
        label->setGeometry(twips(1450, 330 + i * 480, 900, 400));
        txtInputs[i] = new QLineEdit(Frame4);
        txtInputs[i]->setObjectName(QStringLiteral("txtInputs%1").arg(i));
        txtInputs[i]->setReadOnly(true);
        txtInputs[i]->setAlignment(Qt::AlignRight);
        txtInputs[i]->setGeometry(twips(2400, 330 + i * 480, 1100, 400));
        // Opaque (filled with the window's colour round the box's own
        // drawing), so that a reading every 300 ms repaints the box alone and
        // not the three frames around it.
        txtInputs[i]->setBackgroundRole(QPalette::Window);
        txtInputs[i]->setAutoFillBackground(true);
    }
    lblAtIdle = new QLabel(QStringLiteral("At Idle"), Frame4);
    lblAtIdle->setObjectName(QStringLiteral("lblAtIdle"));
    lblAtIdle->setGeometry(twips(3700, 330, 1950, 400));
    lblExhBrakeSwPressed = new QLabel(QStringLiteral("Exh Brake Switch On"), Frame4);
    lblExhBrakeSwPressed->setObjectName(QStringLiteral("lblExhBrakeSwPressed"));
    lblExhBrakeSwPressed->setGeometry(twips(3700, 810, 1950, 400));

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
    return state == BoardState::NotConnected ? QStringLiteral("Board not connected") : QStringLiteral("KTRM not found");
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
