// tools/wia_standin/wia_standin.h
// The stand-in WIA 2.0 device manager for machines without the WIA service (Wine): built
// into the scan tests and as zan_wia_standin.dll, which zancli loads when the environment
// variable ZAN_WIA_MANAGER names it. The script is the INI file named by ZAN_WIA_SCRIPT.
#ifndef ZAN_TOOLS_WIA_STANDIN_WIA_STANDIN_H
#define ZAN_TOOLS_WIA_STANDIN_WIA_STANDIN_H

#include <windows.h>

// A new manager (reference count 1) as an IWiaDevMgr2 pointer, reading the script now.
extern "C" HRESULT zan_wia_standin_create(void** manager);

#endif
