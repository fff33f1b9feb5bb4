#include "flexgridview.h"
#include "frmvgt_tuner.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QProxyStyle>

#include <cmath>

// The window keeps its start-up arrangement at any size: every control, the
// grids' cells and all text grow by one factor, the smaller of the two ways
// the window grew, so nothing is stretched out of proportion. The block is
// centred in the outer frame: anchored top-left, a maximised window would show
// the block in one corner and a dead strip beside it; centred, the spare room
// is an even margin and the frame still fills the window.
namespace {
// Point sizes stay fractional, pixel sizes round: both as sharp as the screen draws them.
QFont scaledFont(QFont f, double s)
{
    if (f.pixelSize() > 0)
        f.setPixelSize(int(std::lround(f.pixelSize() * s)));
    else
        f.setPointSizeF(f.pointSizeF() * s);
    return f;
}

// The style draws a check box's box at a fixed size; beside text grown with
// the window it would look left behind.
class ScaledIndicators final : public QProxyStyle {
public:
    explicit ScaledIndicators(const frmVGT_Tuner &window) : m_window(window) {}
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        const bool box = metric == PM_IndicatorWidth || metric == PM_IndicatorHeight;
        return box ? int(std::lround(base * m_window.layoutScale())) : base;
    }

private:
    const frmVGT_Tuner &m_window;
};
} // namespace

void frmVGT_Tuner::rememberLayout()
{
    QWidget *outer = centralWidget();
    m_startLayout.clear();
    m_startLayout.append({outer, outer->geometry(), outer->font(), outer->testAttribute(Qt::WA_SetFont)});
    for (QWidget *w : outer->findChildren<QWidget *>())
        if (qobject_cast<QGroupBox *>(w->parentWidget()))
            m_startLayout.append({w, w->geometry(), w->font(), w->testAttribute(Qt::WA_SetFont)});
    outer->installEventFilter(this);
}

bool frmVGT_Tuner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        scaleLayout();
    return QMainWindow::eventFilter(watched, event);
}

void frmVGT_Tuner::scaleLayout()
{
    QWidget *outer = centralWidget();
    const QSize start = outer->minimumSize();
    const double s =
        std::max(1.0, std::min(double(outer->width()) / start.width(), double(outer->height()) / start.height()));
    const auto scaled = [s](int v) { return int(std::lround(v * s)); };
    const QPoint centre((outer->width() - scaled(start.width())) / 2, (outer->height() - scaled(start.height())) / 2);
    if (s == m_layoutScale && centre == m_layoutOffset)
        return;
    const bool newScale = s != m_layoutScale;
    m_layoutScale = s;
    m_layoutOffset = centre;
    if (newScale && !m_indicatorStyle) { // once the window first grows: the start-up look is the style's own
        m_indicatorStyle = new ScaledIndicators(*this);
        m_indicatorStyle->setParent(this);
        for (QCheckBox *box : {chkIndex, chkAutoRequest})
            box->setStyle(m_indicatorStyle);
    }
    for (FlexGridView *view : {msflexgrid1, MSFlexGrid2, MSFlexGrid3})
        view->setZoom(s); // before the grids take their size, so an open edit box lands on its cell
    // Fonts from the innermost control out: each then has its own before the
    // frames around it change theirs, so no change travels down twice.
    for (auto p = m_startLayout.crbegin(); newScale && p != m_startLayout.crend(); ++p) {
        auto *edit = qobject_cast<QLineEdit *>(p->widget.data());
        const int grid = edit == Text1 ? 1 : edit == Text2 ? 2 : edit == Text3 ? 3 : 0;
        if (grid)
            edit->setFont(gridView(grid)->font()); // drawn as a piece of its grid
        else if (p->widget && !qobject_cast<FlexGridView *>(p->widget.data()))
            p->widget->setFont(s == 1 ? (p->ownFont ? p->font : QFont()) : scaledFont(p->font, s));
    }
    for (const Placed &p : std::as_const(m_startLayout)) {
        if (!p.widget || p.widget == outer || p.widget == Text1 || p.widget == Text2 || p.widget == Text3)
            continue; // the frame fills the window; an edit box follows its cell
        const QRect r = p.start;
        const QPoint shift = p.widget->parentWidget() == outer ? centre : QPoint();
        p.widget->setGeometry(
            QRect(QPoint(scaled(r.left()), scaled(r.top())) + shift,
                  QPoint(scaled(r.left() + r.width()) - 1, scaled(r.top() + r.height()) - 1) + shift));
    }
}
