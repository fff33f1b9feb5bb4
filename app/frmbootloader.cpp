#include "frmbootloader.h"
#include "dialogs.h"
#include "frmvgt_tuner.h"
#include "misc.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

frmBootloader::frmBootloader(Dialogs &dialogs, Misc &misc, QWidget *parent)
    : QWidget(parent, Qt::Window), m_dialogs(dialogs), m_misc(misc), m_run(misc)
{
    buildWindow();
    Form_Load();
}

void frmBootloader::buildWindow()
{
    setObjectName(QStringLiteral("frmBootloader"));
    setWindowTitle(QStringLiteral("Coldfire Bootloader 2.0"));
    auto *outer = new QHBoxLayout(this);

    Frame1 = new QGroupBox(QStringLiteral("Settings"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *settings = new QFormLayout(Frame1);
    auto field = [](QWidget *parent, const char *name, const char *text) {
        auto *edit = new QLineEdit(QString::fromLatin1(text), parent);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    txtflstart = field(Frame1, "txtflstart", "410");
    txtblstart = field(Frame1, "txtblstart", "410");
    txtblend = field(Frame1, "txtblend", "3FFF");
    settings->addRow(QStringLiteral("Flash Start"), txtflstart);
    settings->addRow(QStringLiteral("Bootloader Start"), txtblstart);
    settings->addRow(QStringLiteral("Bootloader End"), txtblend);
    outer->addWidget(Frame1);

    Frame2 = new QGroupBox(QStringLiteral("Options"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *options = new QVBoxLayout(Frame2);
    const char *micros[4] = {"JM64", "JM32", "AC256", "AC128"};
    m_micros = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        optMicro[i] = new QRadioButton(QString::fromLatin1(micros[i]), Frame2);
        optMicro[i]->setObjectName(QStringLiteral("optMicro%1").arg(i));
        m_micros->addButton(optMicro[i], i); // its id is its Micro
        options->addWidget(optMicro[i]);
    }
    optMicro[0]->setChecked(true);
    // Shown for the service technician's reference; a run reads neither.
    txtFlashOK = field(Frame2, "txtFlashOK", "F800");
    options->addWidget(txtFlashOK);
    chkSkipFlashOK = new QCheckBox(QStringLiteral("Skip Flash OK"), Frame2);
    chkSkipFlashOK->setObjectName(QStringLiteral("chkSkipFlashOK"));
    chkSkipFlashOK->setChecked(true);
    options->addWidget(chkSkipFlashOK);
    outer->addWidget(Frame2);

    Frame3 = new QGroupBox(QStringLiteral("Info"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *info = new QFormLayout(Frame3);
    txtAddress = field(Frame3, "txtAddress", "0");
    txtFilename = field(Frame3, "txtFilename", "");
    txtFilename->setMinimumWidth(260);
    txtFilename->setToolTip(QStringLiteral("Double-click to choose the S19 file"));
    txtFilename->installEventFilter(this);
    info->addRow(QStringLiteral("Address"), txtAddress);
    info->addRow(QStringLiteral("Filename"), txtFilename);
    cmdProgram = new QPushButton(QStringLiteral("Program"), Frame3);
    cmdProgram->setObjectName(QStringLiteral("cmdProgram"));
    info->addRow(cmdProgram);
    ProgressBar1 = new QProgressBar(Frame3);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setValue(0);
    // Opaque, filled with the window's colour round their own drawing, so that
    // painting either during a run leaves the frames around them alone.
    for (QWidget *box : {static_cast<QWidget *>(ProgressBar1), static_cast<QWidget *>(txtAddress)}) {
        box->setBackgroundRole(QPalette::Window);
        box->setAutoFillBackground(true);
    }
    info->addRow(ProgressBar1);
    outer->addWidget(Frame3);

    connect(cmdProgram, &QPushButton::clicked, this, &frmBootloader::cmdProgram_Click);
}

// The file name field is built empty; the file dialog opens in the folder the tuner started in.
void frmBootloader::Form_Load() { m_initialDir = QDir::currentPath(); }

void frmBootloader::setLinkControl(std::function<void(bool)> hold, std::function<bool()> busy, QString busyText)
{
    m_holdLink = std::move(hold);
    m_linkBusy = std::move(busy);
    m_linkBusyText = std::move(busyText);
}

bool frmBootloader::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtFilename && event->type() == QEvent::MouseButtonDblClick) {
        txtFilename_DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// A run under way is never abandoned by closing the window: the module would
// be left half programmed. "Program" stops a run; the window closes after.
void frmBootloader::closeEvent(QCloseEvent *event)
{
    if (m_run.running()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    if (m_quitWhenClosed)
        QCoreApplication::quit();
}

void frmBootloader::cmdProgram_Click() { m_run.program(*this); }

// The field takes whatever the dialog gives, an empty name when cancelled;
// a run with no name then ends quietly.
void frmBootloader::txtFilename_DblClick()
{
    FileDialogRequest request;
    request.filter = QStringLiteral("All Files (*.*)|*.*|S19 Files (*.s19)|*.s19");
    request.filterIndex = 2;
    request.initialDir = m_initialDir;
    txtFilename->setText(m_dialogs.OpenFileName(request));
}

Micro frmBootloader::selectedMicro() const { return Micro(m_micros->checkedId()); }

QString frmBootloader::imageFileName()
{
    if (txtFilename->text().isEmpty())
        txtFilename_DblClick();
    return txtFilename->text();
}

AddressWindow frmBootloader::addressWindow()
{
    return AddressWindow::fromFields(txtflstart->text(), txtblstart->text(), txtblend->text(), selectedMicro());
}

void frmBootloader::showAddress(const QString &text) { txtAddress->setText(text); }
int frmBootloader::progressMaximum() const { return ProgressBar1->maximum(); }
void frmBootloader::setProgressMaximum(int maximum) { ProgressBar1->setMaximum(maximum); }
int frmBootloader::progressValue() const { return ProgressBar1->value(); }
// QProgressBar paints itself at once on every visible step, and with it every
// other change waiting to be painted (the address). A run sets the value once
// a record and lets events run only at its pauses, so that paint is the one
// way the user sees it advance, but painting every record cost the run more
// than all its own work. The bar and the address are painted at once at most
// every ProgressPaintMs; the steps in between are painted with the next.
// Every run starts from 0, painted at once.
void frmBootloader::setProgressValue(int value)
{
    const qint64 now = m_misc.Now();
    if (value == 0 || now - m_progressPaintedAt > ProgressPaintMs) {
        m_progressPaintedAt = now;
        ProgressBar1->setValue(value);
    } else {
        ProgressBar1->setUpdatesEnabled(false);
        ProgressBar1->setValue(value);
        ProgressBar1->setUpdatesEnabled(true); // asks for an ordinary paint
    }
}
void frmBootloader::message(const QString &text) { m_dialogs.MsgBox(text, frmVGT_Tuner::productTitle()); }

QString frmBootloader::linkRefusal() const { return m_linkBusy && m_linkBusy() ? m_linkBusyText : QString(); }

void frmBootloader::holdLink(bool hold)
{
    if (m_holdLink)
        m_holdLink(hold);
}
