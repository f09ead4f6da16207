// net/com_ids.h
// The class and interface identifiers of the two system COM objects the network tools
// create: the firewall policy (NetFwPolicy2 / INetFwPolicy2) and the Network List Manager
// (NetworkListManager / INetworkListManager). Typed here from the published values, so
// the program does not depend on an import library providing them; a test holds them
// and the method slots the tools call against the public definitions.
#ifndef ZAN_NET_COM_IDS_H
#define ZAN_NET_COM_IDS_H

#include <windows.h>

extern const CLSID kClsidNetFwPolicy2;         // {E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}
extern const IID kIidNetFwPolicy2;             // {98325047-C671-4174-8D81-DEFCD3F03186}
extern const CLSID kClsidNetworkListManager;   // {DCB00C01-570F-4A9B-8D69-199FDBA5723B}
extern const IID kIidNetworkListManager;       // {DCB00000-570F-4A9B-8D69-199FDBA5723B}

#endif
