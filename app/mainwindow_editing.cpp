// In-place editing, copy and paste, Clear, and the calibration file commands.
//
// Each grid has an edit box laid over its current cell. Whatever is typed is
// kept as text; it reaches the grid when the grid takes the focus again or
// leaves its current cell, and then fills every cell of the selection. The
// box's "Tag" property is "1" while that commit runs, so the leave-cell events
// of the commit's own moves do nothing.
#include "calibrationfile.h"
#include "dialogs.h"
#include "flexgridview.h"
#include "frmvgt_tuner.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

const char *const TagProperty = "Tag";

QString tag(const QLineEdit *box) { return box->property(TagProperty).toString(); }
void setTag(QLineEdit *box, const QString &text) { box->setProperty(TagProperty, text); }

// Hands the key presses of an edit box to the window before the box sees them.
class EditBoxKeys final : public QObject {
public:
    EditBoxKeys(QObject *parent, std::function<bool(int)> keyDown) : QObject(parent), m_keyDown(std::move(keyDown)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            return m_keyDown(static_cast<QKeyEvent *>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(int)> m_keyDown;
};

QString dataFileFilter() { return QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*"); }

} // namespace

FlexGridView *frmVGT_Tuner::gridView(int grid) const
{
    return grid == 1 ? msflexgrid1 : grid == 2 ? MSFlexGrid2 : MSFlexGrid3;
}

QLineEdit *frmVGT_Tuner::editBox(int grid) const { return grid == 1 ? Text1 : grid == 2 ? Text2 : Text3; }

void frmVGT_Tuner::wireEditing()
{
    auto gridEdit = [this](int grid, int code) {
        if (grid == 1)
            GridEdit1(code);
        else if (grid == 2)
            GridEdit2(code);
        else
            GridEdit3(code);
    };
    for (int grid = 1; grid <= 3; ++grid) {
        FlexGridView *view = gridView(grid);
        QLineEdit *box = editBox(grid);
        setTag(box, QString());
        // The box is drawn as a piece of the grid: same font, no frame, text
        // where the grid draws it.
        box->setFont(view->font());
        box->setFrame(false);
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setTextMargins(1, 0, 1, 0);
        box->installEventFilter(new EditBoxKeys(box, [this, grid](int key) { return editBoxKeyDown(grid, key); }));

        connect(view, &FlexGridView::KeyPress, this, [gridEdit, grid](int code) { gridEdit(grid, code); });
        connect(view, &FlexGridView::DblClick, this, [gridEdit, grid] { gridEdit(grid, 32); });
        connect(view, &FlexGridView::GotFocus, this, [this, grid] {
            const UndoStep step(*this, QStringLiteral("Edit"));
            CommitEdit(grid);
            if (grid == 3)
                headingCheck();
        });
        connect(&view->grid(), &FlexGrid::LeaveCell, this, [this, grid] { CommitEdit(grid); });
        connect(view, &FlexGridView::geometryMoved, this, [this, grid] {
            if (!editBox(grid)->isHidden())
                placeEditBox(grid);
        });
    }
    connect(msflexgrid1, &FlexGridView::KeyDown, this, &frmVGT_Tuner::msflexgrid1_KeyDown);
    connect(msflexgrid1, &FlexGridView::MouseDown, this, [this] {
        AnchorRow = tables.map().RowSel();
        AnchorCol = tables.map().ColSel();
    });
    connect(msflexgrid1, &FlexGridView::MouseUp, this, [this] {
        EndRow = tables.map().RowSel();
        EndCol = tables.map().ColSel();
    });
}

void frmVGT_Tuner::GridEdit1(int &keyAscii)
{
    if (SuppressGridEdit)
        return;
    openEditor(1, keyAscii);
}

void frmVGT_Tuner::GridEdit2(int &keyAscii) { openEditor(2, keyAscii); }

void frmVGT_Tuner::GridEdit3(int &keyAscii) { openEditor(3, keyAscii); }

void frmVGT_Tuner::openEditor(int grid, int keyAscii)
{
    FlexGrid &g = gridView(grid)->grid();
    QLineEdit *box = editBox(grid);
    // Code leaves the map's current cell in a heading (the heading rebuild
    // ends in column 0); typing there edits the nearest data cell instead, so
    // headings are only ever written by the system.
    if (g.Row() < g.FixedRows() || g.Col() < g.FixedCols())
        g.setCurrent(std::max(g.Row(), g.FixedRows()), std::max(g.Col(), g.FixedCols()));
    if (keyAscii >= 0 && keyAscii <= 32) {
        // Space, a control key or a double click: edit the cell's own text.
        const QString text = g.Text();
        box->setText(text);
        const int length = int(text.size());
        box->setSelection(length, -length); // all selected, caret at the start
    } else {
        // A typed character replaces the text.
        const char32_t code = keyAscii < 0 ? char32_t(keyAscii & 0xFFFF) : char32_t(keyAscii);
        box->setText(QString::fromUcs4(&code, 1));
        box->setCursorPosition(int(box->text().size()));
    }
    placeEditBox(grid);
    box->show();
    box->raise();
    box->setFocus();
}

void frmVGT_Tuner::placeEditBox(int grid)
{
    FlexGridView *view = gridView(grid);
    QLineEdit *box = editBox(grid);
    const FlexGrid &g = view->grid();
    const QRect cell = view->cellRect(g.Row(), g.Col());
    box->setGeometry(QRect(view->mapTo(box->parentWidget(), cell.topLeft()), cell.size()));
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, QColor::fromRgba(g.cellBackColor(g.Row(), g.Col())));
    box->setPalette(pal);
    // A cell scrolled partly out of view shows only its visible part, as the
    // grid would draw it; a cell scrolled right out leaves the box open but unseen.
    const QRect visible = view->dataArea().intersected(cell);
    if (visible == cell)
        box->clearMask();
    else if (visible.isEmpty())
        box->setMask(QRegion(-1, -1, 1, 1));
    else
        box->setMask(QRegion(visible.translated(-cell.topLeft())));
}

void frmVGT_Tuner::focusGrid(int grid)
{
    FlexGridView *view = gridView(grid);
    view->setFocus();
    // While the window is not active no focus event arrives; the commit that
    // the focus brings must still happen.
    if (!view->hasFocus())
        emit view->GotFocus();
}

bool frmVGT_Tuner::editBoxKeyDown(int grid, int key)
{
    FlexGrid &g = gridView(grid)->grid();
    const bool rowsMove = grid != 2; // the brake row has one row
    const bool colsMove = grid != 3; // the parameters have one value column
    switch (key) {
    case Qt::Key_Escape:
        editBox(grid)->hide();
        focusGrid(grid); // finds the box hidden: the edit is discarded
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter: focusGrid(grid); return true;
    case Qt::Key_Down:
        if (!rowsMove)
            return false;
        focusGrid(grid);
        g.setRow(g.Row() + 1); // the grid keeps its row when this is past the last
        return true;
    case Qt::Key_Up:
        if (!rowsMove)
            return false;
        focusGrid(grid);
        if (g.Row() > g.FixedRows())
            g.setRow(g.Row() - 1);
        return true;
    case Qt::Key_Right:
        if (!colsMove)
            return false;
        focusGrid(grid);
        g.setCol(g.Col() + 1);
        return true;
    case Qt::Key_Left:
        if (!colsMove)
            return false;
        focusGrid(grid);
        if (g.Col() > g.FixedCols())
            g.setCol(g.Col() - 1);
        return true;
    default: return false;
    }
}

void frmVGT_Tuner::CommitEdit(int grid)
{
    QLineEdit *box = editBox(grid);
    if (grid == 1 && SuppressGridEdit) {
        SuppressGridEdit = false;
        box->hide();
        setTag(box, QString());
        return;
    }
    if (box->isHidden() || !tag(box).isEmpty())
        return;
    const UndoStep step(*this, QStringLiteral("Edit"));
    setTag(box, QStringLiteral("1"));
    FlexGrid &g = gridView(grid)->grid();
    const int r0 = g.Row(), c0 = g.Col(), r1 = g.RowSel(), c1 = g.ColSel();
    // A selection dragged up or to the left is filled as well: the rectangle
    // between the two corners, whichever way round they lie. Headings never.
    const int top = std::max(std::min(r0, r1), g.FixedRows()), bottom = std::max(r0, r1);
    const int left = std::max(std::min(c0, c1), g.FixedCols()), right = std::max(c0, c1);
    const QString text = box->text();
    for (int c = left; c <= right; ++c) {
        for (int r = top; r <= bottom; ++r) {
            g.setCurrent(r, c);
            g.setText(text);
        }
    }
    box->hide();
    g.setCurrent(r0, c0);
    setTag(box, QString());
}

void frmVGT_Tuner::headingCheck()
{
    for (ParamRow row : {RpmStart, RpmIncrement, LoadStart, LoadIncrement})
        if (tables.param(row).isEmpty())
            return;
    UpdateAxisHeadings();
}

frmVGT_Tuner::CommitOnFirstReach::CommitOnFirstReach(frmVGT_Tuner &w)
{
    for (int grid = 1; grid <= 3; ++grid) {
        if (w.editBox(grid)->isHidden())
            continue;
        // A reach that moves the current cell commits through the leave-cell
        // event. One that lands on the current cell fires no such event and
        // collapses the selection before anyone hears of it, so the block's
        // end is taken now and put back for the commit.
        FlexGrid &g = w.gridView(grid)->grid();
        const int rowSel = g.RowSel(), colSel = g.ColSel();
        auto watch = std::make_shared<QMetaObject::Connection>();
        *watch = connect(&g, &FlexGrid::changed, &w, [&w, &g, grid, rowSel, colSel, watch] {
            QObject::disconnect(*watch);
            if (w.editBox(grid)->isHidden())
                return;
            g.setRowSel(rowSel);
            g.setColSel(colSel);
            w.CommitEdit(grid);
        });
        m_watches << *watch;
    }
}

frmVGT_Tuner::CommitOnFirstReach::~CommitOnFirstReach()
{
    for (const auto &watch : std::as_const(m_watches))
        QObject::disconnect(watch);
}

void frmVGT_Tuner::msflexgrid1_KeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (shift != Qt::ControlModifier)
        return;
    if (key == Qt::Key_C) {
        CopyCols = EndCol - AnchorCol;
        CopyRows = EndRow - AnchorRow;
        CopySelection();
        SuppressGridEdit = true;
    } else if (key == Qt::Key_V) {
        const UndoStep step(*this, QStringLiteral("Paste"));
        PasteClipboard();
        SuppressGridEdit = true;
        Text1->hide();
    }
}

void frmVGT_Tuner::CopySelection() { m_dialogs.SetClipboardText(tables.map().Clip()); }

void frmVGT_Tuner::PasteClipboard()
{
    // The paste block has the size of the last copy and starts where the mouse
    // last went down. Where it reaches into the headings or past the last row
    // or column it is cut to the data cells; the clipboard cells that would
    // have landed outside are dropped, the rest land where they would have.
    FlexGrid &map = tables.map();
    const int rowA = AnchorRow, rowB = AnchorRow + CopyRows, colA = AnchorCol, colB = AnchorCol + CopyCols;
    const int top = std::min(rowA, rowB), left = std::min(colA, colB);
    // The anchor is a cell of the map, so only the headings can leave the block without a data cell.
    const int firstRow = std::max(top, map.FixedRows()), lastRow = std::max(rowA, rowB);
    const int firstCol = std::max(left, map.FixedCols()), lastCol = std::max(colA, colB);
    auto clampRow = [&](int r) { return std::clamp(r, map.FixedRows(), map.Rows() - 1); };
    auto clampCol = [&](int c) { return std::clamp(c, map.FixedCols(), map.Cols() - 1); };
    map.setCurrent(clampRow(rowA), clampCol(colA));
    if (firstRow > lastRow || firstCol > lastCol)
        return; // nothing of the block lies on data cells
    map.setRowSel(clampRow(rowB));
    map.setColSel(clampCol(colB));

    QString text = m_dialogs.ClipboardText();
    if (text.isEmpty())
        return;
    if (firstRow > top || firstCol > left) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\r")).replace(QLatin1Char('\n'), QLatin1Char('\r'));
        QStringList lines = text.split(QLatin1Char('\r')).mid(firstRow - top);
        for (QString &line : lines)
            line = line.split(QLatin1Char('\t')).mid(firstCol - left).join(QLatin1Char('\t'));
        text = lines.join(QLatin1Char('\r'));
    }
    map.setClip(text);
}

void frmVGT_Tuner::mnuClearTable_Click()
{
    // An open edit goes in first; the clearing then empties it with the rest
    // instead of it landing in a cell that was just cleared.
    const UndoStep step(*this, QStringLiteral("Clear"));
    const CommitOnFirstReach commit(*this);
    ClearTables(tables);
}

void frmVGT_Tuner::showFileError(const FileError &error)
{
    m_dialogs.MsgBox(CalibrationFile::errorMessage(error, productTitle()), QStringLiteral("Error"));
}

void frmVGT_Tuner::mnuOpen_Click()
{
    const QString name = m_dialogs.OpenFileName({QStringLiteral("Open file to Program"), dataFileFilter(), 1, {}});
    if (name.isEmpty())
        return;
    QFile file(name);
    FileError error = CalibrationFile::openForReading(file);
    UndoStep step(*this, QStringLiteral("Open"));
    if (!error) {
        const CommitOnFirstReach commit(*this);
        error = CalibrationFile::read(tables, file);
    }
    file.close();
    if (!error)
        step.markClean();
    if (error)
        showFileError(error);
}

void frmVGT_Tuner::mnuSave_Click()
{
    const QString name = m_dialogs.SaveFileName({QStringLiteral("Save Calibration As"), dataFileFilter(), 1, {}});
    if (name.isEmpty())
        return; // a cancelled save ends without a word
    UndoStep step(*this, QStringLiteral("Save"));
    QFile file(name);
    FileError error = CalibrationFile::openForWriting(file);
    if (!error && file.size() > 0) {
        const QString path = QFileInfo(name).absoluteFilePath();
        if (!m_dialogs.YesNo(QStringLiteral("The Filename ") + path + QStringLiteral(" already exists.\r") +
                                 QStringLiteral("Would you like to overwrite this file?"),
                             QStringLiteral("Confirm Overwrite Operation")))
            return; // the file closes untouched
    }
    if (!error) {
        const CommitOnFirstReach commit(*this);
        error = CalibrationFile::writeOver(tables, file, QStringLiteral("\r"));
    }
    if (!error)
        step.markClean();
    if (!error)
        MsgBox(QStringLiteral("Save Complete"));
    file.close();
    if (error)
        showFileError(error);
}
