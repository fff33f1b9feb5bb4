#pragma once
// Draws a FlexGrid and turns mouse and keyboard into its events. Sizes come
// from the grid in twips; the view scrolls when its cells do not fit. A zoom
// above 1 draws every twip and the text larger, for a window grown past its
// start-up size; the grid's own sizes stay as they are.
#include "flexgrid.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QRect>
#include <QVector>

#include <cmath>
#include <functional>

class FlexGridView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit FlexGridView(FlexGrid &grid, QWidget *parent = nullptr);
    FlexGrid &grid() { return m_grid; }

    // Cell rectangle in this widget's coordinates (scrolling included).
    QRect cellRect(int row, int col) const;
    // Where the scrolling cells show, in this widget's coordinates: the
    // viewport less the fixed rows and columns.
    QRect dataArea() const;
    // The cell under a point of this widget, or (-1, -1).
    QPoint cellAt(QPoint widgetPos) const;
    static int pixels(int twips) { return (twips + 7) / 15; } // 96 dpi
    // Twips to this view's pixels at its zoom: pixels() at 1.
    int px(int twips) const { return int(std::floor((twips * m_zoom + 7) / 15)); }
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    // A cell's text as drawn: cut at the end, with an ellipsis, when it is
    // wider than the cell.
    QString shownText(int row, int col) const;

    QSize sizeHint() const override;

    // Data cells whose text the rule refuses show their text in the warning
    // colour; backgrounds stay as the grid has them.
    void setWarnRule(std::function<bool(const QString &text)> rule)
    {
        m_warnRule = std::move(rule);
        m_warnCache.clear();
    }
    bool warned(int row, int col) const;
    // Cells marked by a compare carry a frame until their text changes from
    // the one they were marked with.
    void setMarks(const QList<QPoint> &cells); // (column, row)
    bool marked(int row, int col) const;
    int markCount() const;
    static QColor warnColor() { return QColor(0xC0, 0x00, 0x00); }
    static QColor markColor() { return QColor(0xE0, 0x00, 0xE0); }

signals:
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The character a key typed: printable text (a code point, so above 0xFFFF
    // for characters outside the basic plane), or the control code of Enter
    // (13), Backspace (8), Esc (27) and Ctrl+letter (1 to 26).
    void KeyPress(int charCode);
    void DblClick();
    void MouseDown();
    void MouseUp();
    void GotFocus();
    // A right click, the Menu key or Shift+F10: the grid's own menu, at this point of the screen.
    void menuRequested(QPoint globalPos);
    // The cells moved on screen (scrolled or resized): an open editor follows.
    void geometryMoved();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    int colX(int col) const;
    int rowY(int row) const;
    void gridChanged();
    void repaintChangedCells();
    FlexGrid &m_grid;
    double m_zoom = 1;
    bool m_dragging = false;
    bool inSelection(int row, int col) const;
    std::function<bool(const QString &)> m_warnRule;
    // A whole-map repaint asks for the same few hundred texts again and
    // again: the rule's answer and the elided text are kept per text.
    mutable QHash<QString, bool> m_warnCache;
    mutable QHash<QString, QString> m_elidedCache;
    mutable int m_elidedRoom = -1;
    QHash<qsizetype, QString> m_marks; // cell index -> the text it was marked with

    // What a cell shows. A change of the grid repaints only the cells whose
    // look changed since the last change was seen: a tracking tick, a cell
    // typed or a transfer walking the current cell through the map would
    // otherwise draw all 289 cells each time.
    struct CellLook {
        QString text;
        GridColor back{};
        bool current = false;
        bool selected = false;
        bool warned = false;
        bool marked = false;
        bool operator==(const CellLook &) const = default;
    };
    CellLook look(int row, int col) const;
    QVector<CellLook> m_shown;
    QVector<int> m_shownLefts, m_shownTops;
    bool m_repaintQueued = false;
};
