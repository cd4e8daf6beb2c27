// Registration against a registry of the test's own, for what Wine's registry cannot show: keys
// that may not be deleted or written (no administrator rights), and the other architecture's
// view registering the class with a DLL of its own, as on 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "AxRegistry.h"
#include "AxServer.h"

namespace {

const std::wstring kClassKey = L"CLSID\\{5641586A-5D36-4A53-A61C-B7CAD4BB3740}";
const std::wstring kProgId = L"Addin.Korvex";

// Records what registration asks for; keys in `denied` can be neither written nor deleted.
class TRecordingRegistry final : public TAxRegistry {
public:
    std::set<std::wstring> denied;
    std::set<std::wstring> absent;
    std::wstring otherViewServer;
    HRESULT typeLibUnregistration = S_OK;
    std::vector<std::wstring> deleted, written;

    bool SetString(const std::wstring& key, const std::wstring&, const std::wstring&) override {
        if (denied.count(key))
            return false;
        written.push_back(key);
        return true;
    }
    TAxKeyRemoval DeleteKey(const std::wstring& key) override {
        if (denied.count(key))
            return TAxKeyRemoval::Failed;
        if (absent.count(key))
            return TAxKeyRemoval::Absent;
        deleted.push_back(key);
        return TAxKeyRemoval::Removed;
    }
    std::wstring OtherViewString(const std::wstring& key) override {
        return key == kClassKey + L"\\InprocServer32" ? otherViewServer : L"";
    }
    HRESULT RegisterTypeLib(ITypeLib*, const std::wstring&, const std::wstring&) override {
        return S_OK;
    }
    HRESULT UnRegisterTypeLib(ITypeLib*) override { return typeLibUnregistration; }

    bool Deleted(const std::wstring& key) const {
        for (const auto& k : deleted)
            if (k == key)
                return true;
        return false;
    }
};

TEST(Registration, AnEntryThatCannotBeRemovedIsAFailureAndEveryOtherIsStillTried) {
    TAxServer& server = TAxServer::Instance();
    TRecordingRegistry everything;
    ASSERT_EQ(S_OK, server.UnregisterServer(everything));
    const size_t all = everything.deleted.size();

    // Already gone: no failure, so unregistering twice stays S_OK.
    TRecordingRegistry gone;
    gone.absent = {kClassKey + L"\\Verb\\0", kProgId, kClassKey};
    EXPECT_EQ(S_OK, server.UnregisterServer(gone));

    // Access denied on one class key, or on the type library's entries.
    TRecordingRegistry denied;
    denied.denied = {kClassKey + L"\\InprocServer32"};
    EXPECT_EQ(E_FAIL, server.UnregisterServer(denied));
    EXPECT_EQ(all - 1, denied.deleted.size());
    EXPECT_TRUE(denied.Deleted(kClassKey));

    TRecordingRegistry typeLib;
    typeLib.typeLibUnregistration = E_ACCESSDENIED;
    EXPECT_EQ(E_FAIL, server.UnregisterServer(typeLib));
    EXPECT_EQ(all, typeLib.deleted.size());

    // A value that cannot be written stops registration there.
    TRecordingRegistry readOnly;
    readOnly.denied = {kProgId};
    EXPECT_EQ(E_FAIL, server.RegisterServer(readOnly));
    EXPECT_EQ(kClassKey + L"\\InprocServer32", readOnly.written.back());
}

TEST(Registration, TheSharedProgIdStaysWhileTheOtherArchitectureRegistersTheClass) {
    TAxServer& server = TAxServer::Instance();
    const struct {
        std::wstring otherViewServer;
        bool progIdKept;
    } cases[] = {
        {L"C:\\Program Files (x86)\\Korvex\\Korvex.dll", true},
        {L"", false},
        // A registry with one view answers with this one: this module is no other registration.
        {server.ModulePath(), false},
    };
    for (const auto& c : cases) {
        TRecordingRegistry registry;
        registry.otherViewServer = c.otherViewServer;
        EXPECT_EQ(S_OK, server.UnregisterServer(registry));
        EXPECT_EQ(!c.progIdKept, registry.Deleted(kProgId));
        EXPECT_EQ(!c.progIdKept, registry.Deleted(kProgId + L"\\Clsid"));
        // This architecture's own class keys go either way.
        EXPECT_TRUE(registry.Deleted(kClassKey + L"\\InprocServer32"));
        EXPECT_TRUE(registry.Deleted(kClassKey));
    }
}

TEST(Registration, DllInstallNamesTheUsersOrTheMachinesRegistration) {
    EXPECT_EQ(&UserRegistry(), RegistryNamed(L"user"));
    EXPECT_EQ(&UserRegistry(), RegistryNamed(L"USER"));
    EXPECT_EQ(&SystemRegistry(), RegistryNamed(L""));
    EXPECT_EQ(&SystemRegistry(), RegistryNamed(nullptr));
    EXPECT_EQ(nullptr, RegistryNamed(L"users"));
}

} // namespace
