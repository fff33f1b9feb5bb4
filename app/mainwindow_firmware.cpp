// The Reflash entry to the firmware window.
#include "frmvgt_tuner.h"

void frmVGT_Tuner::mnuReflash_Click() {}
