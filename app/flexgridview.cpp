#include "flexgridview.h"
#include "flexgrid.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <utility>

namespace {
constexpr int startFontPixels = 11;
}

FlexGridView::FlexGridView(FlexGrid &grid, QWidget *parent) : QAbstractScrollArea(parent), m_grid(grid)
{
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    connect(&m_grid, &FlexGrid::changed, this, &FlexGridView::gridChanged);
    QFont f = font();
    f.setPixelSize(startFontPixels);
    setFont(f);
    // The cells cover nearly all of the view: painting the background under
    // them first would fill a maximised map twice. paintEvent fills the rest.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

int FlexGridView::colX(int col) const { return px(m_grid.CellLeftTwips(col)); }
int FlexGridView::rowY(int row) const { return px(m_grid.CellTopTwips(row)); }

void FlexGridView::setZoom(double zoom)
{
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    // The text grows in step with the cells, in whole pixels as it started.
    QFont f = font();
    f.setPixelSize(std::max(1, int(std::lround(startFontPixels * zoom))));
    setFont(f);
    updateScrollBars();
    viewport()->update();
    emit geometryMoved();
}

QSize FlexGridView::sizeHint() const
{
    const int f = 2 * frameWidth();
    return {colX(m_grid.Cols()) + f, rowY(m_grid.Rows()) + f};
}

QRect FlexGridView::cellRect(int row, int col) const
{
    // Fixed rows and columns do not scroll, just as headings should not.
    int x = colX(col), y = rowY(row);
    if (col >= m_grid.FixedCols())
        x -= horizontalScrollBar()->value();
    if (row >= m_grid.FixedRows())
        y -= verticalScrollBar()->value();
    const QPoint origin = viewport()->geometry().topLeft();
    // Sizes from the rounded edges, not the rounded sizes, so that neighbours
    // meet without a gap or an overlap (220 twips is not a whole pixel).
    return QRect(origin.x() + x, origin.y() + y, colX(col + 1) - colX(col), rowY(row + 1) - rowY(row));
}

QRect FlexGridView::dataArea() const
{
    const QRect view = viewport()->geometry();
    return view.adjusted(colX(m_grid.FixedCols()), rowY(m_grid.FixedRows()), 0, 0);
}

QPoint FlexGridView::cellAt(QPoint pos) const
{
    for (int r = 0; r < m_grid.Rows(); ++r)
        for (int c = 0; c < m_grid.Cols(); ++c)
            if (cellRect(r, c).contains(pos))
                return {c, r};
    return {-1, -1};
}

QString FlexGridView::shownText(int row, int col) const
{
    // Right-aligned text wider than its cell would lose its start, the part
    // that says what it is ("arlow VGT Tow"); the end gives way instead.
    const int room = cellRect(row, col).width() - 4; // none left elides to nothing, as a negative room does
    const QString text = m_grid.TextMatrix(row, col);
    if (room != m_elidedRoom || m_elidedCache.size() > 4096) { // one width serves all the cells but the parameters'
        m_elidedCache.clear();
        m_elidedRoom = room;
    }
    auto cached = m_elidedCache.constFind(text);
    if (cached == m_elidedCache.constEnd())
        cached = m_elidedCache.insert(text, fontMetrics().elidedText(text, Qt::ElideRight, room));
    return *cached;
}

bool FlexGridView::inSelection(int row, int col) const
{
    const int r0 = std::min(m_grid.Row(), m_grid.RowSel()), r1 = std::max(m_grid.Row(), m_grid.RowSel());
    const int c0 = std::min(m_grid.Col(), m_grid.ColSel()), c1 = std::max(m_grid.Col(), m_grid.ColSel());
    return row >= r0 && row <= r1 && col >= c0 && col <= c1;
}

bool FlexGridView::warned(int row, int col) const
{
    if (!m_warnRule || row < m_grid.FixedRows() || col < m_grid.FixedCols() || !m_grid.contains(row, col))
        return false;
    const QString text = m_grid.TextMatrix(row, col);
    if (text.isEmpty())
        return false;
    if (m_warnCache.size() > 4096)
        m_warnCache.clear();
    auto cached = m_warnCache.constFind(text);
    if (cached == m_warnCache.constEnd())
        cached = m_warnCache.insert(text, !m_warnRule(text));
    return *cached;
}

void FlexGridView::setMarks(const QList<QPoint> &cells)
{
    m_marks.clear();
    for (const QPoint &cell : cells)
        if (m_grid.contains(cell.y(), cell.x()))
            m_marks.insert(qsizetype(cell.y()) * m_grid.Cols() + cell.x(), m_grid.TextMatrix(cell.y(), cell.x()));
    gridChanged();
}

bool FlexGridView::marked(int row, int col) const
{
    const auto mark = m_marks.constFind(qsizetype(row) * m_grid.Cols() + col);
    return m_grid.contains(row, col) && mark != m_marks.constEnd() && *mark == m_grid.TextMatrix(row, col);
}

int FlexGridView::markCount() const
{
    int n = 0;
    for (auto i = m_marks.cbegin(); i != m_marks.cend(); ++i)
        n += int(marked(int(i.key() / m_grid.Cols()), int(i.key() % m_grid.Cols())));
    return n;
}

FlexGridView::CellLook FlexGridView::look(int row, int col) const
{
    const bool current = row == m_grid.Row() && col == m_grid.Col();
    return {m_grid.TextMatrix(row, col),
            m_grid.cellBackColor(row, col),
            current,
            !current && inSelection(row, col),
            warned(row, col),
            marked(row, col)};
}

// Changes come in bursts (a transfer moves the current cell hundreds of times
// before the window paints again), so the cells are compared once per burst.
void FlexGridView::gridChanged()
{
    if (!std::exchange(m_repaintQueued, true))
        QMetaObject::invokeMethod(this, &FlexGridView::repaintChangedCells, Qt::QueuedConnection);
}

void FlexGridView::repaintChangedCells()
{
    m_repaintQueued = false;
    QVector<int> lefts, tops;
    for (int c = 0; c <= m_grid.Cols(); ++c)
        lefts << colX(c);
    for (int r = 0; r <= m_grid.Rows(); ++r)
        tops << rowY(r);
    const bool moved = lefts != m_shownLefts || tops != m_shownTops;
    if (moved) {
        m_shownLefts = lefts;
        m_shownTops = tops;
        viewport()->update();
    }
    m_shown.resize(qsizetype(m_grid.Rows()) * m_grid.Cols());
    const QPoint origin = viewport()->geometry().topLeft();
    for (int r = 0; r < m_grid.Rows(); ++r) {
        for (int c = 0; c < m_grid.Cols(); ++c) {
            CellLook now = look(r, c);
            const qsizetype i = qsizetype(r) * m_grid.Cols() + c;
            if (!now.marked)
                m_marks.remove(i); // edited since the compare: the mark is spent
            CellLook &shown = m_shown[i];
            if (now != shown && !moved)
                viewport()->update(cellRect(r, c).translated(-origin));
            shown = std::move(now);
        }
    }
}

void FlexGridView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const QPoint origin = viewport()->geometry().topLeft();
    const QPalette pal = palette();
    const int r0 = std::min(m_grid.Row(), m_grid.RowSel()), r1 = std::max(m_grid.Row(), m_grid.RowSel());
    const int c0 = std::min(m_grid.Col(), m_grid.ColSel()), c1 = std::max(m_grid.Col(), m_grid.ColSel());
    const bool focused = hasFocus();
    const QRect cells(0, 0, colX(m_grid.Cols()) - horizontalScrollBar()->value(),
                      rowY(m_grid.Rows()) - verticalScrollBar()->value());
    for (const QRect &rest : event->region() - cells)
        p.fillRect(rest, pal.color(viewport()->backgroundRole()));
    // Scrolling cells first, then the headings over them, which scroll one way only, and last the corner
    // that does not scroll at all.
    for (const int pass : {0, 1, 2}) {
        for (int r = 0; r < m_grid.Rows(); ++r) {
            for (int c = 0; c < m_grid.Cols(); ++c) {
                const int fixedWays = int(r < m_grid.FixedRows()) + int(c < m_grid.FixedCols());
                const QRect rect = cellRect(r, c).translated(-origin);
                if (fixedWays != pass || !rect.intersects(event->rect()))
                    continue;
                const bool fixed = fixedWays > 0;
                const bool current = r == m_grid.Row() && c == m_grid.Col();
                const bool selected = !fixed && !current && r >= r0 && r <= r1 && c >= c0 && c <= c1;
                QColor back = fixed ? pal.color(QPalette::Button) : QColor(m_grid.cellBackColor(r, c));
                const bool warn = !fixed && warned(r, c);
                QColor fore = warn ? warnColor() : pal.color(QPalette::Text);
                if (selected) {
                    back = pal.color(QPalette::Highlight);
                    fore = warn ? QColor(0xFF, 0xA0, 0xA0) : pal.color(QPalette::HighlightedText);
                }
                p.fillRect(rect, back);
                p.setPen(pal.color(QPalette::Mid));
                p.drawLine(rect.topRight(), rect.bottomRight());
                p.drawLine(rect.bottomLeft(), rect.bottomRight());
                p.setPen(fixed ? pal.color(QPalette::ButtonText) : fore);
                const auto align = fixed && c < m_grid.FixedCols() ? Qt::AlignLeft : Qt::AlignRight;
                p.drawText(rect.adjusted(2, 0, -2, 0), int(align | Qt::AlignVCenter), shownText(r, c));
                if (marked(r, c)) { // two pixels inside the cell's edges; filled, as a wide pen strokes slowly
                    const QRect in = rect.adjusted(1, 1, -1, -1);
                    for (const QRect &edge :
                         {QRect(in.left(), in.top(), in.width(), 2), QRect(in.left(), in.bottom() - 1, in.width(), 2),
                          QRect(in.left(), in.top(), 2, in.height()), QRect(in.right() - 1, in.top(), 2, in.height())})
                        p.fillRect(edge, markColor());
                }
                if (current && !fixed && focused) {
                    QPen pen(pal.color(QPalette::Text));
                    pen.setStyle(Qt::DotLine);
                    p.setPen(pen);
                    p.drawRect(rect.adjusted(1, 1, -2, -2));
                }
            }
        }
    }
}

void FlexGridView::mousePressEvent(QMouseEvent *event)
{
    const QPoint cell = cellAt(event->position().toPoint() + viewport()->geometry().topLeft());
    // A right press on the selection keeps it for the menu that follows.
    const bool keep = event->button() == Qt::RightButton && inSelection(cell.y(), cell.x());
    if (!keep && cell.x() >= m_grid.FixedCols() && cell.y() >= m_grid.FixedRows()) {
        if (event->modifiers() & Qt::ShiftModifier) {
            m_grid.setRowSel(cell.y());
            m_grid.setColSel(cell.x());
        } else {
            m_grid.setCurrent(cell.y(), cell.x());
        }
        m_dragging = event->button() != Qt::RightButton;
    }
    emit MouseDown();
}

void FlexGridView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QPoint cell = cellAt(event->position().toPoint() + viewport()->geometry().topLeft());
    if (cell.x() >= m_grid.FixedCols() && cell.y() >= m_grid.FixedRows()) {
        m_grid.setRowSel(cell.y());
        m_grid.setColSel(cell.x());
    }
}

void FlexGridView::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
    emit MouseUp();
}

void FlexGridView::mouseDoubleClickEvent(QMouseEvent *) { emit DblClick(); }

void FlexGridView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        m_elidedCache.clear();
    QAbstractScrollArea::changeEvent(event);
}

void FlexGridView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() == QContextMenuEvent::Mouse)
        emit menuRequested(event->globalPos());
    else
        emit menuRequested(mapToGlobal(cellRect(m_grid.Row(), m_grid.Col()).center()));
}

void FlexGridView::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    emit KeyDown(key, event->modifiers());
    const int row = m_grid.Row(), col = m_grid.Col();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    auto move = [&](int dr, int dc) {
        const int base_r = shift ? m_grid.RowSel() : row, base_c = shift ? m_grid.ColSel() : col;
        const int r = std::clamp(base_r + dr, m_grid.FixedRows(), m_grid.Rows() - 1);
        const int c = std::clamp(base_c + dc, m_grid.FixedCols(), m_grid.Cols() - 1);
        if (shift) {
            m_grid.setRowSel(r);
            m_grid.setColSel(c);
        } else {
            m_grid.setCurrent(r, c);
        }
    };
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier))
        return emit menuRequested(mapToGlobal(cellRect(row, col).center()));
    switch (key) {
    case Qt::Key_Up: return move(-1, 0);
    case Qt::Key_Down: return move(1, 0);
    case Qt::Key_Left: return move(0, -1);
    case Qt::Key_Right: return move(0, 1);
    case Qt::Key_Home: return move(0, -m_grid.Cols());
    case Qt::Key_End: return move(0, m_grid.Cols());
    }
    const QString text = event->text();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        emit KeyPress(13);
    else if (key == Qt::Key_Escape)
        emit KeyPress(27);
    else if (key == Qt::Key_Backspace)
        emit KeyPress(8);
    else if ((event->modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        emit KeyPress(key - Qt::Key_A + 1);
    else if (!text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127)
        emit KeyPress(int(text.toUcs4().constFirst())); // Delete types nothing
}

// The current cell's dotted frame shows only while the grid has the focus. The frame's own repaint on a
// focus change does not reach the cells.
void FlexGridView::focusInEvent(QFocusEvent *)
{
    viewport()->update();
    emit GotFocus();
}

void FlexGridView::focusOutEvent(QFocusEvent *) { viewport()->update(); }

void FlexGridView::resizeEvent(QResizeEvent *)
{
    updateScrollBars();
    emit geometryMoved();
}

void FlexGridView::scrollContentsBy(int, int)
{
    viewport()->update();
    emit geometryMoved();
}

void FlexGridView::updateScrollBars()
{
    const int fixedW = colX(m_grid.FixedCols()), fixedH = rowY(m_grid.FixedRows());
    const int fullW = colX(m_grid.Cols()), fullH = rowY(m_grid.Rows());
    // Bars shown while the cells were larger than the view would keep the
    // view too small for them after it grew: cells that fit the whole room
    // need no bars at all.
    const QSize room = maximumViewportSize();
    const QSize view = fullW <= room.width() && fullH <= room.height() ? room : viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, fullW - view.width()));
    horizontalScrollBar()->setPageStep(std::max(1, view.width() - fixedW));
    verticalScrollBar()->setRange(0, std::max(0, fullH - view.height()));
    verticalScrollBar()->setPageStep(std::max(1, view.height() - fixedH));
}
