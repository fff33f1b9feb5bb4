#pragma once
// The main window. Its handlers are short: each runs the board check where the
// command talks to the module, then calls the subsystem that does the work.
#include "calibrationtables.h"
#include "maptools.h"
#include "tablediff.h"
#include "tablesnapshot.h"

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QTimer>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QStyle;
class QUndoStack;
class Dialogs;
class FlexGridView;
class Misc;
class frmGraph;
class frmBootloader;

class frmVGT_Tuner : public QMainWindow {
    Q_OBJECT
public:
    frmVGT_Tuner(Misc &misc, Dialogs &dialogs, QWidget *parent = nullptr);
    ~frmVGT_Tuner() override;

    // The caption and the title of every message box.
    static QString productTitle() { return QStringLiteral("Marlow VGT Tuner"); }

    CalibrationTables tables;

    // --- controls, named as the window's users and tests know them ---
    FlexGridView *msflexgrid1 = nullptr;
    FlexGridView *MSFlexGrid2 = nullptr;
    FlexGridView *MSFlexGrid3 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLabel *lblBoard = nullptr;
    QGroupBox *Frame1 = nullptr; // "Graph"
    QCheckBox *chkIndex = nullptr;
    QPushButton *cmdGraph = nullptr;
    QGroupBox *Frame4 = nullptr; // "Inputs"
    QPushButton *cmdRequestInputs = nullptr;
    QCheckBox *chkAutoRequest = nullptr;
    QPushButton *cmdClear = nullptr;
    QLineEdit *txtInputs[3] = {};
    QLabel *lblAtIdle = nullptr;
    QLabel *lblExhBrakeSwPressed = nullptr;
    QLabel *statusPanel = nullptr;  // StatusBar1, first panel
    QLabel *statusReason = nullptr; // second panel: why a connect found no module
    QTimer tmrAutoRequest;
    QTimer tmrIndex;
    bool GraphShown = false;

    QAction *menuItem(const QString &menu, const QString &item) const;

public slots:
    // Application shell
    void mnuAbout_Click();
    // Module link
    void mnuConnect_Click();
    void mnuDisconnect_Click();
    void mnuRequestVersion_Click();
    void cmdRequestInputs_Click();
    void chkAutoRequest_Click();
    void tmrAutoRequest_Timer();
    void cmdClear_Click();
    void mnuTest_Click();
    void chkIndex_Click();
    void tmrIndex_Timer();
    // Calibration transfer
    void mnuSend_Click();
    void mnuReceive_Click();
    void mnuVerify_Click();
    // Tables and files
    void mnuOpen_Click();
    void mnuSave_Click();
    void mnuClearTable_Click();
    void mnuGraph_Click();
    void cmdGraph_Click();
    // Firmware
    void mnuReflash_Click();

public:
    static QString myformat(const QString &text);
    // The check every module command makes first. Shows "Board not connected"
    // or, when needKtrm, "KTRM not found", and returns false when it fails.
    bool boardCheck(bool needKtrm = true);
    // Same tests without a message, for the timers that untick first.
    enum class BoardState { Ready, NotConnected, NotKtrm };
    BoardState boardState(bool needKtrm = true) const;
    static QString boardMessage(BoardState state);
    static QString busyMessage()
    {
        return QStringLiteral("The module is busy with a transfer. Try again when it has finished.");
    }
    // Unticks "Auto" then "Index", as every transfer does before it starts.
    void stopPeriodicRequests();
    // While true, the timers and module commands keep off the link: a transfer
    // or a programming run owns it. Module commands are refused with
    // busyMessage() by boardCheck; timer ticks are skipped silently and resume
    // when the link is released.
    bool linkBusy() const { return m_linkBusy > 0; }
    void holdLink(bool hold) { m_linkBusy += hold ? 1 : -1; }
    void UpdateAxisHeadings();

    Misc &misc() { return m_misc; }
    Dialogs &dialogs() { return m_dialogs; }
    void MsgBox(const QString &text);

    // How much larger than at start-up the window draws its controls.
    double layoutScale() const { return m_layoutScale; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildMenus();
    void rememberLayout();
    void scaleLayout();
    void Form_Load();
    void Form_Unload();
    void setStatus(const QString &text);

    Misc &m_misc;
    Dialogs &m_dialogs;
    int m_linkBusy = 0;
    QPointer<frmGraph> m_graph;
    QPointer<frmBootloader> m_bootloader;
    struct Placed {
        QPointer<QWidget> widget;
        QRect start;
        QFont font;
        bool ownFont = false;
    };
    QList<Placed> m_startLayout;
    double m_layoutScale = 1;
    QStyle *m_indicatorStyle = nullptr; // check boxes drawn at the window's scale
    QPoint m_layoutOffset;

    // ----- table editing state (map grid only) -----
public:
    bool SuppressGridEdit = false;
    int AnchorRow = 0, AnchorCol = 0, EndRow = 0, EndCol = 0, CopyRows = 0, CopyCols = 0;
    void GridEdit1(int &keyAscii);
    void GridEdit2(int &keyAscii);
    void GridEdit3(int &keyAscii);

private:
    void wireEditing();

    // ----- module link: members added for connection, inputs and tracking -----
    // The board check of a timer tick; false when the tick must not run.
    bool tickMayRun(QCheckBox *box, QTimer &timer);

    // ----- calibration transfer: members added for Send, Receive and Verify -----

    // ----- table editing and files: members added for editing and .dat files -----
public:
    // Held by a command for as long as it may reach cells. Each grid's open
    // edit is written into its block just before the command first reaches a
    // cell of that grid, as the grid's leave-cell commit would, also when that
    // first reach lands on the current cell and so moves nothing. A grid the
    // command never reaches (a dialog cancelled, a file that cannot be opened,
    // a module that does not answer) keeps its edit open, text and all.
    class CommitOnFirstReach {
    public:
        explicit CommitOnFirstReach(frmVGT_Tuner &window);
        ~CommitOnFirstReach();
        CommitOnFirstReach(const CommitOnFirstReach &) = delete;
        CommitOnFirstReach &operator=(const CommitOnFirstReach &) = delete;

    private:
        QList<QMetaObject::Connection> m_watches;
    };

private:
    void CommitEdit(int grid);
    void headingCheck();
    void openEditor(int grid, int keyAscii);
    void placeEditBox(int grid);
    bool editBoxKeyDown(int grid, int key);
    void focusGrid(int grid);
    void msflexgrid1_KeyDown(int key, Qt::KeyboardModifiers shift);
    void CopySelection();
    void PasteClipboard();
    void showFileError(const struct FileError &error);
    FlexGridView *gridView(int grid) const;
    QLineEdit *editBox(int grid) const;

    // ----- graph: members added for the 3D graph -----

    // ----- firmware: members added for Reflash and the firmware window -----

    // ----- map tools: history, the grids' own menu, block tools, compare -----
public:
    // The history of cell changes, one step per user action, and the
    // "Modified" panel that follows its clean state.
    QUndoStack *undoStack = nullptr;
    QLabel *statusModified = nullptr;
    // Held at the top of every handler that may change cells. The outermost
    // one pushes the cells changed while it was held as one step (none when
    // nothing changed); nested ones (the Receive a Connect runs, a commit
    // inside a command) add to it.
    class UndoStep {
    public:
        UndoStep(frmVGT_Tuner &window, const QString &name);
        ~UndoStep();
        UndoStep(const UndoStep &) = delete;
        UndoStep &operator=(const UndoStep &) = delete;
        // The tables now match a file or the module: the modified mark goes
        // once the step is pushed.
        void markClean();

    private:
        frmVGT_Tuner &m_window;
        UndoStep *m_outer;
        QString m_name;
        TableSnapshot m_before;
        bool m_clean = false;
    };
    QMenu *gridMenu = nullptr;
    QWidget *valueInput = nullptr; // the number for the arithmetic, under the grid
    QLineEdit *valueEdit = nullptr;
    QLabel *valuePrompt = nullptr;
    QListWidget *compareList = nullptr;
    void showGridMenu(int grid, QPoint globalPos);
    void mnuUndo_Click();
    void mnuRedo_Click();
    void askValue(MapTools::Arithmetic op);
    void applyValue();
    void closeValueInput();
    void interpolateSelection(MapTools::Interpolation how);
    void smoothSelection();
    void mnuCompareFile_Click();
    void mnuCompareModule_Click();
    void clearCompareMarks();

private:
    void buildMapTools();
    int toolGrid() const;
    MapTools::CellRange selection(int grid);
    bool refuseWhileBusy();
    // Marks the cells that differ and lists them; `instead`, when given, is
    // the list's only line and nothing is marked.
    void showDifferences(const QList<TableDiff::Difference> &differences, const QString &title, const QString &other,
                         const QString &instead = {});
    UndoStep *m_step = nullptr;
    int m_menuGrid = 1;
    bool m_menuOpen = false;
    int m_valueGrid = 1;
    MapTools::Arithmetic m_valueOp = MapTools::Arithmetic::Add;
};
