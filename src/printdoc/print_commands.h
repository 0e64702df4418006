// The handlers of the print-session commands: opening the session (3), the
// slots and their names (4 to 9, 32 to 39, 41 to 44), the printer list (27),
// the kept text (28) and the folder names (34). The dispatcher runs each
// only once its needs in the command table hold, so a handler that needs
// the session finds it open.
#pragma once

#include "host/host_calls.h"

void LQM_OpenPrintSession(const PluginParameters& params);
void LQM_GetSlotText(const PluginParameters& params);
void LQM_SetSlotText(const PluginParameters& params);
void LQM_SlotStub6(const PluginParameters& params);
void LQM_SlotStub7(const PluginParameters& params);
void LQM_SlotStub8(const PluginParameters& params);
void LQM_SlotStub9(const PluginParameters& params);
void LQM_GetPrinterList(const PluginParameters& params);
void LQM_KeepText(const PluginParameters& params);
void LQM_SlotStub32(const PluginParameters& params);
void LQM_SlotStub33(const PluginParameters& params);
void LQM_GetFolderName(const PluginParameters& params);
void LQM_SlotStub35(const PluginParameters& params);
void LQM_SlotStub36(const PluginParameters& params);
void LQM_GetSlotName(const PluginParameters& params);
void LQM_SlotStub38(const PluginParameters& params);
void LQM_SlotStub39(const PluginParameters& params);
void LQM_SlotStub41(const PluginParameters& params);
void LQM_SlotStub42(const PluginParameters& params);
void LQM_SlotStub43(const PluginParameters& params);
void LQM_SlotStub44(const PluginParameters& params);
