// Program-wide window state: the two modeless working windows, created once on first use.
#pragma once

class CMeasure;
class CResult;

extern CMeasure* g_pMeasureDlg;
extern CResult* g_pResultDlg;
extern int g_bResultShown; // the Result dialog's visible flag
