// tests/scan/wia_com_test.cpp
// Pins the hand-declared WIA 2.0 interfaces to the slot numbers of Microsoft's wia_lh.h
// (IUnknown takes slots 0-2) and the WIA 1.0 ones taken from MinGW to the same header,
// in the bitness of the build: the test is built in the 32-bit product too. A slot read
// from a pointer to member is, in the compiler's ABI, 1 + the byte offset in the vtable.
// The calling convention is exercised across a binary boundary by the scan tests and the
// 32-bit smoke test, which drive the program against the stand-in's C-style vtables.
#include "scan/wia_com.h"

#include <gtest/gtest.h>

#include <cstring>

template <typename Method> static long slot_of(Method method) {
    struct Representation {
        ptrdiff_t pointer;
        ptrdiff_t adjustment;
    } r;
    static_assert(sizeof(Method) == sizeof(Representation), "Itanium pointer to member");
    std::memcpy(&r, &method, sizeof(r));
    return (long)((r.pointer - 1) / (ptrdiff_t)sizeof(void*));
}

TEST(WiaCom, DeviceManager2Slots) {
    EXPECT_EQ(slot_of(&IWiaDevMgr2::EnumDeviceInfo), 3);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::CreateDevice), 4);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::SelectDeviceDlg), 5);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::SelectDeviceDlgID), 6);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::RegisterEventCallbackInterface), 7);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::RegisterEventCallbackProgram), 8);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::RegisterEventCallbackCLSID), 9);
    EXPECT_EQ(slot_of(&IWiaDevMgr2::GetImageDlg), 10);
}

TEST(WiaCom, Item2Slots) {
    EXPECT_EQ(slot_of(&IWiaItem2::CreateChildItem), 3);
    EXPECT_EQ(slot_of(&IWiaItem2::DeleteItem), 4);
    EXPECT_EQ(slot_of(&IWiaItem2::EnumChildItems), 5);
    EXPECT_EQ(slot_of(&IWiaItem2::FindItemByName), 6);
    EXPECT_EQ(slot_of(&IWiaItem2::GetItemCategory), 7);
    EXPECT_EQ(slot_of(&IWiaItem2::GetItemType), 8);
    EXPECT_EQ(slot_of(&IWiaItem2::DeviceDlg), 9);
    EXPECT_EQ(slot_of(&IWiaItem2::DeviceCommand), 10);
    EXPECT_EQ(slot_of(&IWiaItem2::EnumDeviceCapabilities), 11);
    EXPECT_EQ(slot_of(&IWiaItem2::CheckExtension), 12);
    EXPECT_EQ(slot_of(&IWiaItem2::GetExtension), 13);
    EXPECT_EQ(slot_of(&IWiaItem2::GetParentItem), 14);
    EXPECT_EQ(slot_of(&IWiaItem2::GetRootItem), 15);
    EXPECT_EQ(slot_of(&IWiaItem2::GetPreviewComponent), 16);
    EXPECT_EQ(slot_of(&IWiaItem2::EnumRegisterEventInfo), 17);
    EXPECT_EQ(slot_of(&IWiaItem2::Diagnostic), 18);
}

TEST(WiaCom, EnumeratorTransferAndCallbackSlots) {
    EXPECT_EQ(slot_of(&IEnumWiaItem2::Next), 3);
    EXPECT_EQ(slot_of(&IEnumWiaItem2::Skip), 4);
    EXPECT_EQ(slot_of(&IEnumWiaItem2::Reset), 5);
    EXPECT_EQ(slot_of(&IEnumWiaItem2::Clone), 6);
    EXPECT_EQ(slot_of(&IEnumWiaItem2::GetCount), 7);
    EXPECT_EQ(slot_of(&IWiaTransfer::Download), 3);
    EXPECT_EQ(slot_of(&IWiaTransfer::Upload), 4);
    EXPECT_EQ(slot_of(&IWiaTransfer::Cancel), 5);
    EXPECT_EQ(slot_of(&IWiaTransfer::EnumWIA_FORMAT_INFO), 6);
    EXPECT_EQ(slot_of(&IWiaTransferCallback::TransferCallback), 3);
    EXPECT_EQ(slot_of(&IWiaTransferCallback::GetNextStream), 4);
}

TEST(WiaCom, SharedWia1InterfacesMatchTheHeader) {
    EXPECT_EQ(slot_of(&IEnumWIA_DEV_INFO::Next), 3);
    EXPECT_EQ(slot_of(&IWiaPropertyStorage::ReadMultiple), 3);
    EXPECT_EQ(slot_of(&IWiaPropertyStorage::WriteMultiple), 4);
    EXPECT_EQ(slot_of(&IWiaPropertyStorage::GetPropertyAttributes), 15);
    EXPECT_EQ(slot_of(&IWiaPropertyStorage::SetPropertyStream), 18);
    EXPECT_EQ(slot_of(&IWiaDevMgr::SelectDeviceDlgID), 6);
}

TEST(WiaCom, TransferParamsLayout) {
    EXPECT_EQ(sizeof(WiaTransferParams), 24u);
    EXPECT_EQ(offsetof(WiaTransferParams, lPercentComplete), 4u);
    EXPECT_EQ(offsetof(WiaTransferParams, ulTransferredBytes), 8u);
    EXPECT_EQ(offsetof(WiaTransferParams, hrErrorStatus), 16u);
    // PROPSPEC and PROPVARIANT cross into the service: their published sizes.
    EXPECT_EQ(sizeof(PROPSPEC), sizeof(void*) == 8 ? 16u : 8u);
    EXPECT_EQ(sizeof(PROPVARIANT), sizeof(void*) == 8 ? 24u : 16u);
}

TEST(WiaCom, Identifiers) {
    // The first field of each published GUID, and one byte from its tail.
    EXPECT_EQ(ZAN_CLSID_WiaDevMgr2.Data1, 0xB6C292BCu);
    EXPECT_EQ(ZAN_CLSID_WiaDevMgr2.Data4[7], 0x99);
    EXPECT_EQ(ZAN_IID_IWiaDevMgr2.Data1, 0x79C07CF1u);
    EXPECT_EQ(ZAN_IID_IWiaItem2.Data1, 0x6CBA0075u);
    EXPECT_EQ(ZAN_IID_IEnumWiaItem2.Data1, 0x59970AF4u);
    EXPECT_EQ(ZAN_IID_IWiaTransfer.Data1, 0xC39D6942u);
    EXPECT_EQ(ZAN_IID_IWiaTransferCallback.Data1, 0x27D4EAAFu);
    EXPECT_EQ(ZAN_IID_IWiaPropertyStorage.Data1, 0x98B5E8A0u);
    EXPECT_TRUE(IsEqualGUID(ZAN_IID_IWiaPropertyStorage, IID_IWiaPropertyStorage));
    EXPECT_TRUE(IsEqualGUID(ZAN_IID_IWiaDevMgr, IID_IWiaDevMgr));
    EXPECT_TRUE(IsEqualGUID(ZAN_CLSID_WiaDevMgr, CLSID_WiaDevMgr));
    EXPECT_TRUE(IsEqualGUID(ZAN_WiaImgFmt_BMP, WiaImgFmt_BMP));
}
