// The 3D graph commands.
#include "frmvgt_tuner.h"

void frmVGT_Tuner::mnuGraph_Click() {}
void frmVGT_Tuner::cmdGraph_Click() { mnuGraph_Click(); }
