// scan/wia_com.h
// The WIA 2.0 COM interfaces that MinGW's headers lack (IWiaDevMgr2, IWiaItem2,
// IEnumWiaItem2, IWiaTransfer, IWiaTransferCallback, WiaTransferParams), declared from
// Microsoft's published wia_lh.h, plus the identifiers the scan code uses. The WIA 1.0
// interfaces shared by both versions (IWiaPropertyStorage, IEnumWIA_DEV_INFO, IWiaDevMgr)
// and the property ids come from MinGW's wia.h. Methods keep the header's slot order and
// STDMETHODCALLTYPE (__stdcall in the 32-bit process); tests/scan/wia_com_test.cpp calls
// every slot the program uses through a raw vtable in both bitnesses.
#ifndef ZAN_SCAN_WIA_COM_H
#define ZAN_SCAN_WIA_COM_H

#include <windows.h>
#include <objbase.h>
#include <wia.h>

#include <stddef.h>

struct IWiaItem2;
struct IEnumWiaItem2;
struct IWiaTransferCallback;

// ---- identifiers (values as published for WIA 2.0)
const CLSID ZAN_CLSID_WiaDevMgr2 = {0xB6C292BC, 0x7C88, 0x41EE, {0x8B, 0x54, 0x8E, 0xC9, 0x26, 0x17, 0xE5, 0x99}};
const IID ZAN_IID_IWiaDevMgr2 = {0x79C07CF1, 0xCBDD, 0x41EE, {0x8E, 0xC3, 0xF0, 0x00, 0x80, 0xCA, 0xDA, 0x7A}};
const CLSID ZAN_CLSID_WiaDevMgr = {0xA1F4E726, 0x8CF1, 0x11D1, {0xBF, 0x92, 0x00, 0x60, 0x08, 0x1E, 0xD8, 0x11}};
const IID ZAN_IID_IWiaDevMgr = {0x5EB2502A, 0x8CF1, 0x11D1, {0xBF, 0x92, 0x00, 0x60, 0x08, 0x1E, 0xD8, 0x11}};
const IID ZAN_IID_IWiaPropertyStorage = {0x98B5E8A0, 0x29CC, 0x491A, {0xAA, 0xC0, 0xE6, 0xDB, 0x4F, 0xDC, 0xCE, 0xB6}};
const IID ZAN_IID_IWiaItem2 = {0x6CBA0075, 0x1287, 0x407D, {0x9B, 0x77, 0xCF, 0x0E, 0x03, 0x04, 0x35, 0xCC}};
const IID ZAN_IID_IEnumWiaItem2 = {0x59970AF4, 0xCD0D, 0x44D9, {0xAB, 0x24, 0x52, 0x29, 0x56, 0x30, 0xE5, 0x82}};
const IID ZAN_IID_IWiaTransfer = {0xC39D6942, 0x2F4E, 0x4D04, {0x92, 0xFE, 0x4E, 0xF4, 0xD3, 0xA1, 0xDE, 0x5A}};
const IID ZAN_IID_IWiaTransferCallback = {0x27D4EAAF, 0x28A6, 0x4CA5, {0x9A, 0xAB, 0xE6, 0x78, 0x16, 0x8B, 0x95, 0x27}};
const GUID ZAN_WIA_CATEGORY_FEEDER = {0xFE131934, 0xF84C, 0x42AD, {0x8D, 0xA4, 0x61, 0x29, 0xCD, 0xDD, 0x72, 0x88}};
const GUID ZAN_WIA_CATEGORY_FLATBED = {0xFB607B1F, 0x43F3, 0x488B, {0x85, 0x5B, 0xFB, 0x70, 0x3E, 0xC3, 0x42, 0xA6}};
const GUID ZAN_WiaImgFmt_BMP = {0xB96B3CAB, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// ---- values
const LONG ZAN_WIA_DEVINFO_ENUM_LOCAL = 16;
const LONG ZAN_WIA_ITEM_TYPE_IMAGE = 0x1;         // WiaItemTypeImage
const LONG ZAN_WIA_ITEM_TYPE_TRANSFER = 0x2000;   // WiaItemTypeTransfer
const LONG ZAN_WIA_TRANSFER_MSG_STATUS = 1;
const LONG ZAN_WIA_TRANSFER_MSG_END_OF_STREAM = 2;
const LONG ZAN_WIA_TRANSFER_MSG_END_OF_TRANSFER = 3;
const ULONG ZAN_WIA_PROP_RANGE = 0x10;
const HRESULT ZAN_WIA_ERROR_GENERAL = (HRESULT)0x80210001u;
const HRESULT ZAN_WIA_ERROR_PAPER_JAM = (HRESULT)0x80210002u;
const HRESULT ZAN_WIA_ERROR_PAPER_EMPTY = (HRESULT)0x80210003u;

// Property ids (the same numbers as wiadef.h, typed, so they can be switched on).
const PROPID ZAN_WIA_DIP_DEV_ID = 2;
const PROPID ZAN_WIA_DIP_VEND_DESC = 3;
const PROPID ZAN_WIA_DIP_DEV_DESC = 4;
const PROPID ZAN_WIA_DIP_DEV_TYPE = 5;
const PROPID ZAN_WIA_DIP_DEV_NAME = 7;
const PROPID ZAN_WIA_DPS_HORIZONTAL_BED_SIZE = 3074;
const PROPID ZAN_WIA_DPS_VERTICAL_BED_SIZE = 3075;
const PROPID ZAN_WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE = 3076;
const PROPID ZAN_WIA_DPS_VERTICAL_SHEET_FEED_SIZE = 3077;
const PROPID ZAN_WIA_DPS_DOCUMENT_HANDLING_SELECT = 3088;
const PROPID ZAN_WIA_DPS_PAGES = 3096;
const PROPID ZAN_WIA_IPA_DATATYPE = 4103;
const PROPID ZAN_WIA_IPA_DEPTH = 4104;
const PROPID ZAN_WIA_IPA_FORMAT = 4106;
const PROPID ZAN_WIA_IPS_XRES = 6147;
const PROPID ZAN_WIA_IPS_YRES = 6148;
const PROPID ZAN_WIA_IPS_XPOS = 6149;
const PROPID ZAN_WIA_IPS_YPOS = 6150;
const PROPID ZAN_WIA_IPS_XEXTENT = 6151;
const PROPID ZAN_WIA_IPS_YEXTENT = 6152;
const PROPID ZAN_WIA_IPS_BRIGHTNESS = 6154;
const PROPID ZAN_WIA_IPS_CONTRAST = 6155;
const PROPID ZAN_WIA_IPS_THRESHOLD = 6159;

// ---- WIA 2.0 interfaces (wia_lh.h order)
struct WiaTransferParams {
    LONG lMessage;
    LONG lPercentComplete;
    ULONG64 ulTransferredBytes;
    HRESULT hrErrorStatus;
};
// The published layout: the 64-bit count is 8-aligned in both bitnesses.
static_assert(offsetof(WiaTransferParams, ulTransferredBytes) == 8, "WiaTransferParams layout");
static_assert(offsetof(WiaTransferParams, hrErrorStatus) == 16, "WiaTransferParams layout");
static_assert(sizeof(WiaTransferParams) == 24, "WiaTransferParams size");

struct IWiaDevMgr2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG lFlags, IEnumWIA_DEV_INFO** ppIEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDevice(LONG lFlags, BSTR bstrDeviceID, IWiaItem2** ppWiaItem2Root) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND hwndParent, LONG lDeviceType, LONG lFlags,
                                                      BSTR* pbstrDeviceID, IWiaItem2** ppItemRoot) = 0;
    virtual HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND hwndParent, LONG lDeviceType, LONG lFlags,
                                                        BSTR* pbstrDeviceID) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG lFlags, BSTR bstrDeviceID,
                                                                     const GUID* pEventGUID,
                                                                     IWiaEventCallback* pIWiaEventCallback,
                                                                     IUnknown** pEventObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG lFlags, BSTR bstrDeviceID,
                                                                   const GUID* pEventGUID, BSTR bstrFullAppName,
                                                                   BSTR bstrCommandLineArg, BSTR bstrName,
                                                                   BSTR bstrDescription, BSTR bstrIcon) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG lFlags, BSTR bstrDeviceID,
                                                                 const GUID* pEventGUID, const GUID* pClsID,
                                                                 BSTR bstrName, BSTR bstrDescription,
                                                                 BSTR bstrIcon) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImageDlg(LONG lFlags, BSTR bstrDeviceID, HWND hwndParent,
                                                  BSTR bstrFolderName, BSTR bstrFilename, LONG* plNumFiles,
                                                  BSTR** ppbstrFilePaths, IWiaItem2** ppItem) = 0;
};

struct IEnumWiaItem2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cElt, IWiaItem2** ppIWiaItem2, ULONG* pcEltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cElt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumWiaItem2** ppIEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* cElt) = 0;
};

struct IWiaItem2 : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateChildItem(LONG lItemFlags, LONG lCreationFlags, BSTR bstrItemName,
                                                      IWiaItem2** ppIWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteItem(LONG lFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumChildItems(const GUID* pCategoryGUID, IEnumWiaItem2** ppIEnumWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindItemByName(LONG lFlags, BSTR bstrFullItemName, IWiaItem2** ppIWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemCategory(GUID* pItemCategoryGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemType(LONG* pItemType) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeviceDlg(LONG lFlags, HWND hwndParent, BSTR bstrFolderName, BSTR bstrFilename,
                                                LONG* plNumFiles, BSTR** ppbstrFilePaths, IWiaItem2** ppItem) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeviceCommand(LONG lFlags, const GUID* pCmdGUID, IWiaItem2** ppIWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG lFlags, IEnumWIA_DEV_CAPS** ppIEnumWIA_DEV_CAPS) = 0;
    virtual HRESULT STDMETHODCALLTYPE CheckExtension(LONG lFlags, BSTR bstrName, REFIID riidExtensionInterface,
                                                     BOOL* pbExtensionExists) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExtension(LONG lFlags, BSTR bstrName, REFIID riidExtensionInterface,
                                                   void** ppOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParentItem(IWiaItem2** ppIWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem2** ppIWiaItem2) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPreviewComponent(LONG lFlags, IUnknown** ppWiaPreview) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG lFlags, const GUID* pEventGUID,
                                                            IEnumWIA_DEV_CAPS** ppIEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE Diagnostic(ULONG ulSize, BYTE* pBuffer) = 0;
};

struct IWiaTransferCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE TransferCallback(LONG lFlags, WiaTransferParams* pWiaTransferParams) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNextStream(LONG lFlags, BSTR bstrItemName, BSTR bstrFullItemName,
                                                    IStream** ppDestination) = 0;
};

struct IWiaTransfer : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Download(LONG lFlags, IWiaTransferCallback* pIWiaTransferCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Upload(LONG lFlags, IStream* pSource,
                                             IWiaTransferCallback* pIWiaTransferCallback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumWIA_FORMAT_INFO(IEnumWIA_FORMAT_INFO** ppEnum) = 0;
};

#endif
