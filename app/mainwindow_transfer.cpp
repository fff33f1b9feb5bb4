// Send, Receive and Verify handlers.
#include "frmvgt_tuner.h"

void frmVGT_Tuner::mnuSend_Click() {}
void frmVGT_Tuner::mnuReceive_Click() {}
void frmVGT_Tuner::mnuVerify_Click() {}
