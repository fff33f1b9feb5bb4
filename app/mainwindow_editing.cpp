// In-place editing, copy and paste, Clear, and the calibration file commands.
#include "frmvgt_tuner.h"

void frmVGT_Tuner::wireEditing() {}
void frmVGT_Tuner::GridEdit1(int &) {}
void frmVGT_Tuner::GridEdit2(int &) {}
void frmVGT_Tuner::GridEdit3(int &) {}
void frmVGT_Tuner::mnuClearTable_Click() { ClearTables(tables); }
void frmVGT_Tuner::mnuOpen_Click() {}
void frmVGT_Tuner::mnuSave_Click() {}
