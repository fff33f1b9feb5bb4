// Connection, live inputs and operating-point tracking handlers.
#include "frmvgt_tuner.h"

void frmVGT_Tuner::mnuConnect_Click() {}
void frmVGT_Tuner::mnuDisconnect_Click() {}
void frmVGT_Tuner::mnuRequestVersion_Click() {}
void frmVGT_Tuner::cmdRequestInputs_Click() {}
void frmVGT_Tuner::chkAutoRequest_Click() {}
void frmVGT_Tuner::tmrAutoRequest_Timer() {}
void frmVGT_Tuner::cmdClear_Click() {}
void frmVGT_Tuner::mnuTest_Click() {}
void frmVGT_Tuner::chkIndex_Click() {}
void frmVGT_Tuner::tmrIndex_Timer() {}
