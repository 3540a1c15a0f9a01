// The toolbar commands of the working windows. Each lives with its window's subsystem;
// the view only dispatches.
#pragma once

class CQuelmaView;

void RunRegistrationCommand(CQuelmaView& view); // 32773, members/
void RunMeasureCommand(CQuelmaView& view);      // 32774, measure/
void RunResultCommand(CQuelmaView& view);       // 32775, results/
void RunSettingCommand(CQuelmaView& view);      // 32776, settings/
void RunBackupCommand(CQuelmaView& view);       // 32777, settings/
// 32782: a record was stored; an open Result dialog takes it in. results/
void OnRecordStored(CQuelmaView& view);
