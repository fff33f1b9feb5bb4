// The map tools: the history of cell changes, the grids' own menu, arithmetic,
// interpolation and smoothing of a block, the range marks and the compares.
//
// None of them has a key that types a character: every such key opens a
// grid's editor, and Ctrl+C and Ctrl+V copy and paste in the map. Their
// shortcuts are function keys, live only while a grid has the focus, so an
// open edit box still takes every key as typing. The menu bar stays as it is.
#include "calibrationfile.h"
#include "cellchangecommand.h"
#include "dialogs.h"
#include "flexgridview.h"
#include "frmvgt_tuner.h"
#include "transfer.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <cmath>
#include <functional>
#include <utility>

namespace {

// A whole-calibration step keeps about 5 kB of packed texts, so a full
// history stays near 5 MB.
constexpr int HistorySteps = 1000;

// Which grids a tool works on.
enum GridMask { MapOnly = 1, MapAndBrake = 3, AnyGrid = 7 };

struct ValueOp {
    const char *item;
    const char *prompt;
};
const ValueOp valueOps[] = {{"Add...", "Add to the selected cells:"},
                            {"Subtract...", "Subtract from the selected cells:"},
                            {"Scale by %...", "Scale the selected cells by (%):"},
                            {"Set to...", "Set the selected cells to:"}};

// Esc in the number box closes it, as it leaves an edit box.
class ValueKeys final : public QObject {
public:
    ValueKeys(QObject *parent, std::function<void()> close) : QObject(parent), m_close(std::move(close)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            m_close();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_close;
};

} // namespace

frmVGT_Tuner::UndoStep::UndoStep(frmVGT_Tuner &window, const QString &name)
    : m_window(window), m_outer(window.m_step), m_name(name)
{
    if (!m_outer) {
        m_before = TableSnapshot(window.tables);
        window.m_step = this;
    }
}

frmVGT_Tuner::UndoStep::~UndoStep()
{
    if (m_outer)
        return;
    m_window.m_step = nullptr;
    CellChanges changes = CellChanges::between(m_before, TableSnapshot(m_window.tables));
    if (!changes.isEmpty())
        m_window.undoStack->push(new CellChangeCommand(m_name, std::move(changes), m_window.tables));
    if (m_clean)
        m_window.undoStack->setClean();
}

void frmVGT_Tuner::UndoStep::markClean() { (m_outer ? m_outer : this)->m_clean = true; }

void frmVGT_Tuner::buildMapTools()
{
    undoStack = new QUndoStack(this);
    undoStack->setUndoLimit(HistorySteps);
    statusModified = new QLabel;
    statusModified->setObjectName(QStringLiteral("StatusBar1Modified"));
    statusModified->setMinimumWidth(70);
    statusBar()->addPermanentWidget(statusModified);
    // The stack tells of its last change as it goes, after the status bar.
    connect(undoStack, &QUndoStack::cleanChanged, statusModified,
            [label = statusModified](bool clean) { label->setText(clean ? QString() : QStringLiteral("Modified")); });

    gridMenu = new QMenu(this);
    gridMenu->setObjectName(QStringLiteral("gridMenu"));
    auto add = [this](const QString &text, const QKeySequence &key, int grids, std::function<void()> run) {
        QAction *action = gridMenu->addAction(text);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setData(grids);
        connect(action, &QAction::triggered, this, std::move(run));
        for (int grid = 1; grid <= 3; ++grid)
            gridView(grid)->addAction(action);
        return action;
    };
    QAction *undo = add(QStringLiteral("Undo"), Qt::Key_F5, AnyGrid, [this] { mnuUndo_Click(); });
    QAction *redo = add(QStringLiteral("Redo"), Qt::SHIFT | Qt::Key_F5, AnyGrid, [this] { mnuRedo_Click(); });
    undo->setEnabled(false);
    redo->setEnabled(false);
    connect(undoStack, &QUndoStack::canUndoChanged, undo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::canRedoChanged, redo, &QAction::setEnabled);
    connect(undoStack, &QUndoStack::undoTextChanged, undo,
            [undo](const QString &step) { undo->setText((QStringLiteral("Undo ") + step).trimmed()); });
    connect(undoStack, &QUndoStack::redoTextChanged, redo,
            [redo](const QString &step) { redo->setText((QStringLiteral("Redo ") + step).trimmed()); });
    gridMenu->addSeparator();
    const QKeySequence valueKeys[] = {Qt::Key_F6, Qt::SHIFT | Qt::Key_F6, Qt::Key_F7, Qt::SHIFT | Qt::Key_F7};
    for (int op = 0; op < 4; ++op)
        add(QString::fromLatin1(valueOps[op].item), valueKeys[op], MapAndBrake,
            [this, op] { askValue(MapTools::Arithmetic(op)); });
    gridMenu->addSeparator();
    using I = MapTools::Interpolation;
    add(QStringLiteral("Interpolate across"), Qt::Key_F8, MapOnly, [this] { interpolateSelection(I::Horizontal); });
    add(QStringLiteral("Interpolate down"), Qt::SHIFT | Qt::Key_F8, MapOnly,
        [this] { interpolateSelection(I::Vertical); });
    add(QStringLiteral("Interpolate both ways"), Qt::CTRL | Qt::Key_F8, MapOnly,
        [this] { interpolateSelection(I::Bilinear); });
    add(QStringLiteral("Smooth"), Qt::Key_F9, MapOnly, [this] { smoothSelection(); });
    gridMenu->addSeparator();
    add(QStringLiteral("Compare with file..."), {}, AnyGrid, [this] { mnuCompareFile_Click(); });
    add(QStringLiteral("Compare with module"), {}, AnyGrid, [this] { mnuCompareModule_Click(); });
    add(QStringLiteral("Clear compare marks"), {}, AnyGrid, [this] { clearCompareMarks(); });
    // The tools a grid lacks are greyed in its menu; their keys are ignored there.
    connect(gridMenu, &QMenu::aboutToShow, this, [this] {
        m_menuOpen = true;
        for (QAction *action : gridMenu->actions())
            if (action->data().isValid() && action->data().toInt() != AnyGrid)
                action->setEnabled(action->data().toInt() & (1 << (m_menuGrid - 1)));
    });
    connect(gridMenu, &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, this, [this] { m_menuOpen = false; });
        for (QAction *action : gridMenu->actions())
            if (action->data().isValid() && action->data().toInt() != AnyGrid)
                action->setEnabled(true);
    });

    for (int grid = 1; grid <= 3; ++grid) {
        FlexGridView *view = gridView(grid);
        if (grid != 3) // the parameters have encodings of their own
            view->setWarnRule(&MapTools::carriable);
        connect(view, &FlexGridView::menuRequested, this, [this, grid](QPoint at) { showGridMenu(grid, at); });
    }

    valueInput = new QWidget(this, Qt::Tool);
    valueInput->setObjectName(QStringLiteral("valueInput"));
    auto *row = new QHBoxLayout(valueInput);
    row->setContentsMargins(6, 4, 6, 4);
    valuePrompt = new QLabel(valueInput);
    valueEdit = new QLineEdit(valueInput);
    valueEdit->setObjectName(QStringLiteral("valueEdit"));
    valueEdit->setMaximumWidth(90);
    valueEdit->installEventFilter(new ValueKeys(valueInput, [this] { closeValueInput(); }));
    row->addWidget(valuePrompt);
    row->addWidget(valueEdit);
    connect(valueEdit, &QLineEdit::returnPressed, this, &frmVGT_Tuner::applyValue);
}

// The grid whose menu is open (an item runs just after the menu closes), else
// the grid with the focus: a tool's key only reaches the window from a grid.
int frmVGT_Tuner::toolGrid() const
{
    for (int grid = 1; !m_menuOpen && grid <= 3; ++grid)
        if (QApplication::focusWidget() == gridView(grid))
            return grid;
    return m_menuGrid;
}

MapTools::CellRange frmVGT_Tuner::selection(int grid)
{
    const FlexGrid &g = gridView(grid)->grid();
    return {g.Row(), g.Col(), g.RowSel(), g.ColSel()};
}

bool frmVGT_Tuner::refuseWhileBusy()
{
    // A send lets events run between its blocks; cells changed then would
    // mix two calibrations on the wire. A step still being taken (a box of
    // a command open) takes no other inside it. A beep, not a box: a box
    // would open in the middle of the transfer.
    if (!m_step && !linkBusy())
        return false;
    QApplication::beep();
    return true;
}

void frmVGT_Tuner::showGridMenu(int grid, QPoint globalPos)
{
    m_menuGrid = grid;
    gridMenu->popup(globalPos);
}

void frmVGT_Tuner::mnuUndo_Click()
{
    if (!refuseWhileBusy())
        undoStack->undo();
}

void frmVGT_Tuner::mnuRedo_Click()
{
    if (!refuseWhileBusy())
        undoStack->redo();
}

void frmVGT_Tuner::askValue(MapTools::Arithmetic op)
{
    const int grid = toolGrid();
    if (grid == 3)
        return;
    m_valueGrid = grid;
    m_valueOp = op;
    const ValueOp &shown = valueOps[int(op)];
    valueInput->setWindowTitle(QString::fromLatin1(shown.item).remove(QStringLiteral("...")));
    valuePrompt->setStyleSheet({});
    valuePrompt->setText(QString::fromLatin1(shown.prompt));
    valueEdit->clear();
    // Under the selection's first cell, where the eye already is.
    FlexGridView *view = gridView(grid);
    const FlexGrid &g = view->grid();
    const QRect cell = view->cellRect(std::max(g.Row(), g.RowSel()), std::min(g.Col(), g.ColSel()));
    valueInput->adjustSize();
    valueInput->move(view->mapToGlobal(cell.bottomLeft() + QPoint(0, 4)));
    valueInput->show();
    valueInput->raise();
    valueInput->activateWindow();
    valueEdit->setFocus();
}

// Back to the grid the number was for, so its keys work again at once.
void frmVGT_Tuner::closeValueInput()
{
    valueInput->hide();
    activateWindow();
    gridView(m_valueGrid)->setFocus();
}

void frmVGT_Tuner::applyValue()
{
    QString text = valueEdit->text().trimmed();
    if (m_valueOp == MapTools::Arithmetic::ScalePercent && text.endsWith(u'%'))
        text.chop(1);
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) {
        valuePrompt->setStyleSheet(QStringLiteral("color: #c00000"));
        valuePrompt->setText(QStringLiteral("Type a number, as 12 or -2.5:"));
        return;
    }
    if (refuseWhileBusy())
        return;
    closeValueInput();
    const UndoStep step(*this, valueInput->windowTitle());
    MapTools::apply(gridView(m_valueGrid)->grid(), selection(m_valueGrid), m_valueOp, value);
}

void frmVGT_Tuner::interpolateSelection(MapTools::Interpolation how)
{
    if (toolGrid() != 1 || refuseWhileBusy())
        return;
    bool done = false;
    {
        const UndoStep step(*this, QStringLiteral("Interpolate"));
        done = MapTools::interpolate(tables, selection(1), how);
    }
    if (done)
        return;
    using I = MapTools::Interpolation;
    MsgBox(how == I::Horizontal ? QStringLiteral("Select at least three columns of the map to interpolate across.")
           : how == I::Vertical ? QStringLiteral("Select at least three rows of the map to interpolate down.")
                                : QStringLiteral("Select at least three rows and three columns of the map to "
                                                 "interpolate both ways."));
}

void frmVGT_Tuner::smoothSelection()
{
    if (toolGrid() != 1 || refuseWhileBusy())
        return;
    bool done = false;
    {
        const UndoStep step(*this, QStringLiteral("Smooth"));
        done = MapTools::smooth(tables.map(), selection(1));
    }
    if (!done)
        MsgBox(QStringLiteral("Select at least two cells of the map to smooth."));
}

void frmVGT_Tuner::mnuCompareFile_Click()
{
    const QString name = m_dialogs.OpenFileName(
        {QStringLiteral("Compare with file"), QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*"), 1, {}});
    if (name.isEmpty())
        return;
    CalibrationTables other;
    SetUpGrids(other);
    QFile file(name);
    FileError error = CalibrationFile::openForReading(file);
    if (!error)
        error = CalibrationFile::read(other, file);
    file.close();
    if (error) {
        m_dialogs.MsgBox(CalibrationFile::errorMessage(error, productTitle()), QStringLiteral("Error"));
        return;
    }
    showDifferences(TableDiff::diff(tables, other), QStringLiteral("Compared with ") + QFileInfo(name).fileName(),
                    QStringLiteral("file"));
}

void frmVGT_Tuner::mnuCompareModule_Click()
{
    if (!boardCheck())
        return;
    stopPeriodicRequests();
    // As in Verify, what the user was typing is part of what is compared.
    const UndoStep step(*this, QStringLiteral("Edit"));
    const CommitOnFirstReach commit(*this);
    CalibrationTables module;
    SetUpGrids(module);
    Transfer::ModuleAnswer answer{&module};
    Transfer::Verify(tables, m_misc, &answer);
    // A report that never came leaves another report's bytes in its fields:
    // nothing of such an answer can be told apart as the module's.
    if (answer.whole)
        showDifferences(TableDiff::diff(tables, module), QStringLiteral("Compared with the module"),
                        QStringLiteral("module"));
    else
        showDifferences({}, QStringLiteral("Compared with the module"), {},
                        QStringLiteral("The module's answer was cut short: nothing was compared."));
}

void frmVGT_Tuner::showDifferences(const QList<TableDiff::Difference> &differences, const QString &title,
                                   const QString &other, const QString &instead)
{
    using D = TableDiff::Difference;
    QList<QPoint> marks[3];
    QList<std::pair<int, QPoint>> places; // per difference: its grid and cell
    for (const D &d : differences) {
        int row = 0;
        for (int r = MaxPosition; r <= BoardName && d.kind == D::Parameter; ++r)
            if (parameterLabel(ParamRow(r)) == d.name)
                row = r;
        const int grid = d.kind == D::MapCell ? 1 : d.kind == D::BrakeColumn ? 2 : 3;
        const QPoint cell = d.kind == D::MapCell ? QPoint(d.column, d.row)
                            : grid == 2          ? QPoint(d.column, 0)
                                                 : QPoint(1, row);
        marks[grid - 1] << cell;
        places << std::pair(grid, cell);
    }
    for (int grid = 1; grid <= 3; ++grid)
        gridView(grid)->setMarks(marks[grid - 1]);
    if (!compareList) {
        compareList = new QListWidget(this);
        compareList->setWindowFlag(Qt::Tool);
        compareList->setObjectName(QStringLiteral("compareList"));
        compareList->resize(460, 260);
        compareList->setUniformItemSizes(true); // one line each: no need to lay out every item to size it
        compareList->move(frameGeometry().topRight() + QPoint(8, 0)); // beside the grids, not over them
        // A line takes the user to its cell.
        connect(compareList, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
            const int grid = item->data(Qt::UserRole).toInt();
            const QPoint cell = item->data(Qt::UserRole + 1).toPoint();
            if (grid < 1)
                return; // the count
            activateWindow();
            gridView(grid)->setFocus();
            gridView(grid)->grid().setCurrent(cell.y(), cell.x());
        });
    }
    compareList->clear();
    compareList->addItems(instead.isEmpty()
                              ? TableDiff::toText(differences, QStringLiteral("here"), other).trimmed().split(u'\n')
                              : QStringList{instead});
    for (int i = 0; i < places.size(); ++i) {
        compareList->item(i)->setData(Qt::UserRole, places[i].first);
        compareList->item(i)->setData(Qt::UserRole + 1, places[i].second);
    }
    compareList->setWindowTitle(title);
    compareList->show();
    compareList->raise();
}

void frmVGT_Tuner::clearCompareMarks()
{
    for (FlexGridView *view : {msflexgrid1, MSFlexGrid2, MSFlexGrid3})
        view->setMarks({});
    if (compareList)
        compareList->hide();
}
