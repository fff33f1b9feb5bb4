#pragma once
// The firmware window, "Coldfire Bootloader 2.0": the address window, the
// micro, the S19 file and the "Program" button. The run itself lives in the
// firmware library; this window only holds the fields and shows the progress.
#include "programmingrun.h"

#include <QWidget>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class Dialogs;
class Misc;

class frmBootloader : public QWidget, private ProgrammingView {
    Q_OBJECT
public:
    frmBootloader(Dialogs &dialogs, Misc &misc, QWidget *parent = nullptr);

    // How the window keeps the rest of the tuner off the link during a run:
    // `hold` takes and releases the main window's hold, `busy` tells whether
    // some other command holds it, and `busyText` is what the user is told then.
    void setLinkControl(std::function<void(bool)> hold, std::function<bool()> busy, QString busyText);

    QGroupBox *Frame1 = nullptr; // "Settings"
    QLineEdit *txtflstart = nullptr;
    QLineEdit *txtblstart = nullptr;
    QLineEdit *txtblend = nullptr;
    QGroupBox *Frame2 = nullptr; // "Options"
    QRadioButton *optMicro[4] = {};
    QLineEdit *txtFlashOK = nullptr;
    QCheckBox *chkSkipFlashOK = nullptr;
    QGroupBox *Frame3 = nullptr; // "Info"
    QLineEdit *txtAddress = nullptr;
    QLineEdit *txtFilename = nullptr;
    QPushButton *cmdProgram = nullptr;
    QProgressBar *ProgressBar1 = nullptr;

    // True from the start of a run until it ends.
    bool busy() const { return m_run.busy(); }
    // For when the main window has gone while a run kept this one open: this
    // is the last window, and closing it ends the tuner.
    void quitWhenClosed() { m_quitWhenClosed = true; }

public slots:
    void cmdProgram_Click();
    void txtFilename_DblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    void Form_Load();
    Micro selectedMicro() const;

    // ProgrammingView
    QString imageFileName() override;
    AddressWindow addressWindow() override;
    void showAddress(const QString &text) override;
    int progressMaximum() const override;
    void setProgressMaximum(int maximum) override;
    int progressValue() const override;
    void setProgressValue(int value) override;
    void message(const QString &text) override;
    QString linkRefusal() const override;
    void holdLink(bool hold) override;

    QButtonGroup *m_micros = nullptr;
    Dialogs &m_dialogs;
    Misc &m_misc;
    ProgrammingRun m_run;
    QString m_initialDir;
    std::function<void(bool)> m_holdLink;
    std::function<bool()> m_linkBusy;
    QString m_linkBusyText;
    bool m_quitWhenClosed = false;
    static constexpr int ProgressPaintMs = 250;
    qint64 m_progressPaintedAt = 0; // when the bar was last painted at once, on the run's clock
};
