// scan/twain.h
// The TWAIN structures, constants and entry-point types that the program, the virtual
// scanner and the test source manager share, declared from the published TWAIN 2.x
// standard document (the cross compiler ships no TWAIN header). Declarations only.
#ifndef ZAN_SCAN_TWAIN_H
#define ZAN_SCAN_TWAIN_H

#include <stdint.h>

// ---- basic types
typedef uint8_t TW_UINT8;
typedef int16_t TW_INT16;
typedef uint16_t TW_UINT16;
typedef int32_t TW_INT32;
typedef uint32_t TW_UINT32;
typedef uint16_t TW_BOOL;
typedef void* TW_HANDLE;
typedef void* TW_MEMREF;
typedef char TW_STR32[34];

// Every TWAIN record is laid out with 2-byte packing: managers and sources built by other
// compilers read these bytes directly.
#pragma pack(push, 2)

struct TW_FIX32 {
    TW_INT16 Whole;
    TW_UINT16 Frac;
};

struct TW_VERSION {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language;
    TW_UINT16 Country;
    TW_STR32 Info;
};

struct TW_IDENTITY {
    TW_UINT32 Id;
    TW_VERSION Version;
    TW_UINT16 ProtocolMajor;
    TW_UINT16 ProtocolMinor;
    TW_UINT32 SupportedGroups;
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName;
};

struct TW_CAPABILITY {
    TW_UINT16 Cap;
    TW_UINT16 ConType;
    TW_HANDLE hContainer;
};

struct TW_ONEVALUE {
    TW_UINT16 ItemType;
    TW_UINT32 Item;
};

struct TW_ENUMERATION {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
    TW_UINT8 ItemList[1];
};

struct TW_RANGE {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
};

struct TW_USERINTERFACE {
    TW_BOOL ShowUI;
    TW_BOOL ModalUI;
    TW_HANDLE hParent;
};

struct TW_EVENT {
    TW_MEMREF pEvent;
    TW_UINT16 TWMessage;
};

struct TW_PENDINGXFERS {
    TW_UINT16 Count;
    TW_UINT32 EOJ;
};

struct TW_IMAGEINFO {
    TW_FIX32 XResolution;
    TW_FIX32 YResolution;
    TW_INT32 ImageWidth;
    TW_INT32 ImageLength;
    TW_INT16 SamplesPerPixel;
    TW_INT16 BitsPerSample[8];
    TW_INT16 BitsPerPixel;
    TW_BOOL Planar;
    TW_INT16 PixelType;
    TW_UINT16 Compression;
};

struct TW_STATUS {
    TW_UINT16 ConditionCode;
    TW_UINT16 Data;
};

struct TW_CALLBACK {
    TW_MEMREF CallBackProc;
    TW_UINT32 RefCon;
    TW_INT16 Message;
};

// Memory services a 2.x manager hands to 2.x sources.
typedef TW_HANDLE(__stdcall* TwMemAllocateProc)(TW_UINT32 size);
typedef void(__stdcall* TwMemFreeProc)(TW_HANDLE handle);
typedef TW_MEMREF(__stdcall* TwMemLockProc)(TW_HANDLE handle);
typedef void(__stdcall* TwMemUnlockProc)(TW_HANDLE handle);

// DSM_Entry, DS_Entry and the application's callback all have this shape; a source's
// DS_Entry is called without the destination.
typedef TW_UINT16(__stdcall* DsmEntryProc)(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg,
                                           TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
typedef TW_UINT16(__stdcall* DsEntryProc)(TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat,
                                          TW_UINT16 msg, TW_MEMREF data);

struct TW_ENTRYPOINT {
    TW_UINT32 Size;
    DsmEntryProc DSM_Entry;
    TwMemAllocateProc DSM_MemAllocate;
    TwMemFreeProc DSM_MemFree;
    TwMemLockProc DSM_MemLock;
    TwMemUnlockProc DSM_MemUnlock;
};

#pragma pack(pop)

// The sizes every TWAIN component agrees on (pointer-sized members grow on 64-bit).
static_assert(sizeof(TW_FIX32) == 4, "TW_FIX32 is 4 bytes");
static_assert(sizeof(TW_VERSION) == 42, "TW_VERSION is 42 bytes");
static_assert(sizeof(TW_IDENTITY) == 156, "TW_IDENTITY is 156 bytes");
static_assert(sizeof(TW_ONEVALUE) == 6, "TW_ONEVALUE is 6 bytes");
static_assert(sizeof(TW_ENUMERATION) == 16, "TW_ENUMERATION header is 14 bytes plus one item, padded");
static_assert(sizeof(TW_RANGE) == 22, "TW_RANGE is 22 bytes");
static_assert(sizeof(TW_PENDINGXFERS) == 6, "TW_PENDINGXFERS is 6 bytes");
static_assert(sizeof(TW_IMAGEINFO) == 42, "TW_IMAGEINFO is 42 bytes");
static_assert(sizeof(TW_STATUS) == 4, "TW_STATUS is 4 bytes");
static_assert(sizeof(TW_CAPABILITY) == 4 + sizeof(void*), "TW_CAPABILITY is 4 bytes and a handle");
static_assert(sizeof(TW_USERINTERFACE) == 4 + sizeof(void*), "TW_USERINTERFACE is 4 bytes and a handle");
static_assert(sizeof(TW_EVENT) == sizeof(void*) + 2, "TW_EVENT is a pointer and 2 bytes");
static_assert(sizeof(TW_CALLBACK) == sizeof(void*) + 6, "TW_CALLBACK is a pointer and 6 bytes");
static_assert(sizeof(TW_ENTRYPOINT) == 4 + 5 * sizeof(void*), "TW_ENTRYPOINT is 4 bytes and five pointers");

// ---- data groups and feature flags
const TW_UINT32 DG_CONTROL = 0x0001;
const TW_UINT32 DG_IMAGE = 0x0002;
const TW_UINT32 DF_DSM2 = 0x10000000;
const TW_UINT32 DF_APP2 = 0x20000000;
const TW_UINT32 DF_DS2 = 0x40000000;

// ---- data argument types
const TW_UINT16 DAT_NULL = 0x0000;
const TW_UINT16 DAT_CAPABILITY = 0x0001;
const TW_UINT16 DAT_EVENT = 0x0002;
const TW_UINT16 DAT_IDENTITY = 0x0003;
const TW_UINT16 DAT_PARENT = 0x0004;
const TW_UINT16 DAT_PENDINGXFERS = 0x0005;
const TW_UINT16 DAT_STATUS = 0x0008;
const TW_UINT16 DAT_USERINTERFACE = 0x0009;
const TW_UINT16 DAT_CALLBACK = 0x0010;
const TW_UINT16 DAT_ENTRYPOINT = 0x0403;
const TW_UINT16 DAT_IMAGEINFO = 0x0101;
const TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;

// ---- messages
const TW_UINT16 MSG_NULL = 0x0000;
const TW_UINT16 MSG_GET = 0x0001;
const TW_UINT16 MSG_GETCURRENT = 0x0002;
const TW_UINT16 MSG_GETDEFAULT = 0x0003;
const TW_UINT16 MSG_GETFIRST = 0x0004;
const TW_UINT16 MSG_GETNEXT = 0x0005;
const TW_UINT16 MSG_SET = 0x0006;
const TW_UINT16 MSG_RESET = 0x0007;
const TW_UINT16 MSG_XFERREADY = 0x0101;
const TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
const TW_UINT16 MSG_CLOSEDSOK = 0x0103;
const TW_UINT16 MSG_OPENDSM = 0x0301;
const TW_UINT16 MSG_CLOSEDSM = 0x0302;
const TW_UINT16 MSG_OPENDS = 0x0401;
const TW_UINT16 MSG_CLOSEDS = 0x0402;
const TW_UINT16 MSG_USERSELECT = 0x0403;
const TW_UINT16 MSG_DISABLEDS = 0x0501;
const TW_UINT16 MSG_ENABLEDS = 0x0502;
const TW_UINT16 MSG_PROCESSEVENT = 0x0601;
const TW_UINT16 MSG_ENDXFER = 0x0701;
const TW_UINT16 MSG_REGISTER_CALLBACK = 0x0902;
const TW_UINT16 MSG_INVOKE_CALLBACK = 0x0903;

// ---- return codes
const TW_UINT16 TWRC_SUCCESS = 0;
const TW_UINT16 TWRC_FAILURE = 1;
const TW_UINT16 TWRC_CHECKSTATUS = 2;
const TW_UINT16 TWRC_CANCEL = 3;
const TW_UINT16 TWRC_DSEVENT = 4;
const TW_UINT16 TWRC_NOTDSEVENT = 5;
const TW_UINT16 TWRC_XFERDONE = 6;
const TW_UINT16 TWRC_ENDOFLIST = 7;

// ---- condition codes
const TW_UINT16 TWCC_SUCCESS = 0;
const TW_UINT16 TWCC_BUMMER = 1;
const TW_UINT16 TWCC_LOWMEMORY = 2;
const TW_UINT16 TWCC_NODS = 3;
const TW_UINT16 TWCC_OPERATIONERROR = 5;
const TW_UINT16 TWCC_BADCAP = 6;
const TW_UINT16 TWCC_BADPROTOCOL = 9;
const TW_UINT16 TWCC_BADVALUE = 10;
const TW_UINT16 TWCC_SEQERROR = 11;
const TW_UINT16 TWCC_BADDEST = 12;
const TW_UINT16 TWCC_CAPUNSUPPORTED = 13;
const TW_UINT16 TWCC_DENIED = 16;
const TW_UINT16 TWCC_PAPERJAM = 20;
const TW_UINT16 TWCC_CHECKDEVICEONLINE = 23;
const TW_UINT16 TWCC_NOMEDIA = 29;

// ---- containers and item types
const TW_UINT16 TWON_ENUMERATION = 4;
const TW_UINT16 TWON_ONEVALUE = 5;
const TW_UINT16 TWON_RANGE = 6;
const TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
const TW_UINT16 TWTY_INT16 = 0x0001;
const TW_UINT16 TWTY_UINT16 = 0x0004;
const TW_UINT16 TWTY_BOOL = 0x0006;
const TW_UINT16 TWTY_FIX32 = 0x0007;

// ---- capabilities
const TW_UINT16 CAP_XFERCOUNT = 0x0001;
const TW_UINT16 ICAP_PIXELTYPE = 0x0101;
const TW_UINT16 ICAP_UNITS = 0x0102;
const TW_UINT16 ICAP_XFERMECH = 0x0103;
const TW_UINT16 CAP_FEEDERENABLED = 0x1002;
const TW_UINT16 CAP_FEEDERLOADED = 0x1003;
const TW_UINT16 CAP_AUTOFEED = 0x1007;
const TW_UINT16 CAP_DEVICEONLINE = 0x100F;
const TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
const TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
const TW_UINT16 ICAP_CONTRAST = 0x1103;
const TW_UINT16 ICAP_XRESOLUTION = 0x1118;
const TW_UINT16 ICAP_YRESOLUTION = 0x1119;
const TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
const TW_UINT16 ICAP_THRESHOLD = 0x1123;

// ---- capability values
const TW_UINT16 TWSX_NATIVE = 0;
const TW_UINT16 TWUN_INCHES = 0;
const TW_UINT16 TWPT_BW = 0;
const TW_UINT16 TWPT_GRAY = 1;
const TW_UINT16 TWPT_RGB = 2;
const TW_UINT16 TWSS_A4 = 1;
const TW_UINT16 TWSS_USLETTER = 3;
const TW_UINT16 TWSS_USLEGAL = 4;
const TW_UINT16 TWSS_A5 = 5;
const TW_UINT16 TWSS_A3 = 11;

// ---- identity values
const TW_UINT16 TWLG_ENGLISH = 2;
const TW_UINT16 TWCY_USA = 1;

#endif
