// The 3D graph commands.
#include "frmgraph.h"
#include "frmvgt_tuner.h"

void frmVGT_Tuner::mnuGraph_Click()
{
    if (GraphShown && m_graph) {
        m_graph->Demo7();
        // A refill of a window minimised or hidden behind this one would go unseen.
        if (m_graph->isMinimized())
            m_graph->showNormal();
        m_graph->raise();
        m_graph->activateWindow();
        return;
    }
    m_graph = new frmGraph(*this); // its start-up fills the chart
    m_graph->show();
    GraphShown = true;
}

void frmVGT_Tuner::cmdGraph_Click() { mnuGraph_Click(); }
