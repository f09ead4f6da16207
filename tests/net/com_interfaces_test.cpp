// tests/net/com_interfaces_test.cpp
// The system COM objects of the network tools, pinned against their public definitions:
// the identifiers typed in net/com_ids.cpp against the published GUID strings and the
// SDK headers' own (__uuidof), and every method the tools call against its slot in the
// published interface (IUnknown 0-2, IDispatch 3-6, then the interface's methods in IDL
// order). A fake object with a recording function in each used slot is called through
// the same declarations the program uses, so a slot or calling-convention mismatch calls
// the wrong function (or none) and the test fails, in the 32-bit and the 64-bit build.
#include "net/com_ids.h"

#include <gtest/gtest.h>

#include <netfw.h>
#include <netlistmgr.h>

#include <string>
#include <vector>

namespace {

GUID parse(const wchar_t* text) {
    GUID g = {};
    EXPECT_EQ(CLSIDFromString(const_cast<wchar_t*>(text), &g), S_OK) << "bad GUID text";
    return g;
}

TEST(ComInterfaces, IdentifiersAreThePublishedOnes) {
    // Published in the Windows SDK documentation of netfw.h and netlistmgr.h.
    EXPECT_TRUE(IsEqualGUID(kClsidNetFwPolicy2, parse(L"{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}")));
    EXPECT_TRUE(IsEqualGUID(kIidNetFwPolicy2, parse(L"{98325047-C671-4174-8D81-DEFCD3F03186}")));
    EXPECT_TRUE(IsEqualGUID(kClsidNetworkListManager, parse(L"{DCB00C01-570F-4A9B-8D69-199FDBA5723B}")));
    EXPECT_TRUE(IsEqualGUID(kIidNetworkListManager, parse(L"{DCB00000-570F-4A9B-8D69-199FDBA5723B}")));
    // And the headers the calls are compiled against agree.
    EXPECT_TRUE(IsEqualGUID(kClsidNetFwPolicy2, __uuidof(NetFwPolicy2)));
    EXPECT_TRUE(IsEqualGUID(kIidNetFwPolicy2, __uuidof(INetFwPolicy2)));
    EXPECT_TRUE(IsEqualGUID(kClsidNetworkListManager, __uuidof(NetworkListManager)));
    EXPECT_TRUE(IsEqualGUID(kIidNetworkListManager, __uuidof(INetworkListManager)));
    // The interfaces the manager hands out: IEnumNetworks and INetwork.
    EXPECT_TRUE(IsEqualGUID(__uuidof(IEnumNetworks), parse(L"{DCB00003-570F-4A9B-8D69-199FDBA5723B}")));
    EXPECT_TRUE(IsEqualGUID(__uuidof(INetwork), parse(L"{DCB00002-570F-4A9B-8D69-199FDBA5723B}")));
}

// ---- a fake object: a table of 32 slots, each used one recording its number and arguments

std::vector<std::string> g_calls;

struct FakeObject {
    void** table;
};

void* g_table[32];

template <typename Interface>
Interface* fake() {
    static FakeObject object;
    object.table = g_table;
    return reinterpret_cast<Interface*>(&object);
}

ULONG STDMETHODCALLTYPE release_slot(void*) {
    g_calls.push_back("2 Release");
    return 0;
}

HRESULT STDMETHODCALLTYPE get_enabled_slot(void*, NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL* enabled) {
    g_calls.push_back("8 get_FirewallEnabled " + std::to_string((int)profile));
    *enabled = VARIANT_TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE put_enabled_slot(void*, NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL enabled) {
    g_calls.push_back("9 put_FirewallEnabled " + std::to_string((int)profile) + " " + std::to_string((int)enabled));
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE get_networks_slot(void*, NLM_ENUM_NETWORK flags, IEnumNetworks** out) {
    g_calls.push_back("7 GetNetworks " + std::to_string((int)flags));
    *out = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE next_slot(void*, ULONG count, INetwork** items, ULONG* fetched) {
    g_calls.push_back("8 Next " + std::to_string(count));
    *items = nullptr;
    *fetched = 0;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE get_category_slot(void*, NLM_NETWORK_CATEGORY* category) {
    g_calls.push_back("18 GetCategory");
    *category = NLM_NETWORK_CATEGORY_PUBLIC;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE set_category_slot(void*, NLM_NETWORK_CATEGORY category) {
    g_calls.push_back("19 SetCategory " + std::to_string((int)category));
    return S_OK;
}

void reset_table() {
    for (void*& slot : g_table) slot = nullptr;
    g_calls.clear();
    g_table[2] = reinterpret_cast<void*>(release_slot);
}

TEST(ComInterfaces, FirewallPolicyMethodsAreInTheirPublishedSlots) {
    reset_table();
    // INetFwPolicy2 : IDispatch (0-6); get_CurrentProfileTypes 7, get_FirewallEnabled 8,
    // put_FirewallEnabled 9.
    g_table[8] = reinterpret_cast<void*>(get_enabled_slot);
    g_table[9] = reinterpret_cast<void*>(put_enabled_slot);
    INetFwPolicy2* policy = fake<INetFwPolicy2>();
    VARIANT_BOOL enabled = VARIANT_FALSE;
    EXPECT_EQ(policy->get_FirewallEnabled(NET_FW_PROFILE2_PRIVATE, &enabled), S_OK);
    EXPECT_EQ(enabled, VARIANT_TRUE);
    EXPECT_EQ(policy->put_FirewallEnabled(NET_FW_PROFILE2_PUBLIC, VARIANT_FALSE), S_FALSE);
    policy->Release();
    EXPECT_EQ(g_calls, std::vector<std::string>({"8 get_FirewallEnabled 2", "9 put_FirewallEnabled 4 0", "2 Release"}));
    // The profile bits the reports use.
    EXPECT_EQ((int)NET_FW_PROFILE2_DOMAIN, 1);
    EXPECT_EQ((int)NET_FW_PROFILE2_PRIVATE, 2);
    EXPECT_EQ((int)NET_FW_PROFILE2_PUBLIC, 4);
}

TEST(ComInterfaces, NetworkListMethodsAreInTheirPublishedSlots) {
    reset_table();
    // INetworkListManager : IDispatch; GetNetworks 7.
    g_table[7] = reinterpret_cast<void*>(get_networks_slot);
    IEnumNetworks* networks = reinterpret_cast<IEnumNetworks*>(1);
    EXPECT_EQ(fake<INetworkListManager>()->GetNetworks(NLM_ENUM_NETWORK_CONNECTED, &networks), S_OK);
    EXPECT_EQ(networks, nullptr);
    // IEnumNetworks : IDispatch; get__NewEnum 7, Next 8.
    reset_table();
    g_table[8] = reinterpret_cast<void*>(next_slot);
    INetwork* network = reinterpret_cast<INetwork*>(1);
    ULONG fetched = 9;
    EXPECT_EQ(fake<IEnumNetworks>()->Next(1, &network, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    // INetwork : IDispatch; GetName 7 ... GetConnectivity 17, GetCategory 18, SetCategory 19.
    g_table[18] = reinterpret_cast<void*>(get_category_slot);
    g_table[19] = reinterpret_cast<void*>(set_category_slot);
    INetwork* item = fake<INetwork>();
    NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PRIVATE;
    EXPECT_EQ(item->GetCategory(&category), S_OK);
    EXPECT_EQ(category, NLM_NETWORK_CATEGORY_PUBLIC);
    EXPECT_EQ(item->SetCategory(NLM_NETWORK_CATEGORY_PRIVATE), S_OK);
    item->Release();
    EXPECT_EQ(g_calls, std::vector<std::string>({"8 Next 1", "18 GetCategory", "19 SetCategory 1", "2 Release"}));
    EXPECT_EQ((int)NLM_ENUM_NETWORK_CONNECTED, 1);
    EXPECT_EQ((int)NLM_NETWORK_CATEGORY_PUBLIC, 0);
    EXPECT_EQ((int)NLM_NETWORK_CATEGORY_PRIVATE, 1);
}

}  // namespace
