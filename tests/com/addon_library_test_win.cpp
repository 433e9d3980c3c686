// The built add-on library loaded as a browser loads it: exports, class factory, dispatch
// through the type library, and its resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "addon/com/brimwell_addon_h.h"
#include "addon/win/com_ptr.h"
#include "addon/win/scoped_co_init.h"
#include "addon/win/unique_handle.h"
#include "tests/com/addon_library_path_win.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

const CLSID kOtherClassId = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0, 0, 0, 0, 0, 1}};

class AddonLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        library.Reset(::LoadLibraryW(testing_addon::BuiltLibraryPath().c_str()));
        ASSERT_TRUE(library) << "cannot load the add-on library";
        getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNowFn>(
            reinterpret_cast<void*>(::GetProcAddress(library.Get(), "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject && canUnloadNow);
        ASSERT_EQ(S_OK, getClassObject(CLSID_BrimwellBHO, IID_IClassFactory, factory.PutVoid()));
    }
    void TearDown() override { factory.Reset(); }

    win::ScopedCoInit apartment{COINIT_APARTMENTTHREADED};
    win::UniqueModule library;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
    win::ComPtr<IClassFactory> factory;
};

TEST_F(AddonLibrary, ExportsCarryUndecoratedNames) {
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                             "DllUnregisterServer"}) {
        EXPECT_NE(nullptr, reinterpret_cast<void*>(::GetProcAddress(library.Get(), name))) << name;
    }
}

TEST_F(AddonLibrary, GetClassObjectRefusesOtherClassesAndNullOut) {
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(kOtherClassId, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, getClassObject(CLSID_BrimwellBHO, IID_IClassFactory, nullptr));
}

TEST_F(AddonLibrary, CanUnloadNowOnlyWithoutLiveObjects) {
    EXPECT_EQ(S_OK, canUnloadNow());
    win::ComPtr<IBrimwellBHO> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IBrimwellBHO, object.PutVoid()));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    object.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(AddonLibrary, LockServerPairHoldsTheLibrary) {
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_F(AddonLibrary, CreateInstanceRefusesAggregation) {
    win::ComPtr<IUnknown> outer(static_cast<IUnknown*>(factory.Get()));
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, canUnloadNow());  // the refused object did not survive
}

TEST_F(AddonLibrary, DispatchReachesRefreshMetadataByName) {
    win::ComPtr<IDispatch> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()));
    UINT count = 0;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    win::ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()));
    wchar_t name[] = L"RefreshMetadata";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(1, id);
    wchar_t unknown[] = L"NoSuchMethod";
    names[0] = unknown;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

std::wstring VersionString(const std::wstring& path, const wchar_t* name) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    if (!size || !::GetFileVersionInfoW(path.c_str(), 0, size, &data[0])) return L"<none>";
    void* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
    if (!::VerQueryValueW(&data[0], query.c_str(), &text, &length) || !length) return L"<none>";
    return static_cast<const wchar_t*>(text);
}

TEST_F(AddonLibrary, CarriesItsNameAndVersion) {
    wchar_t text[64] = {};
    EXPECT_LT(0, ::LoadStringW(library.Get(), 100, text, 64));
    EXPECT_STREQ(L"brimwell-addon", text);
    const std::wstring path = testing_addon::BuiltLibraryPath();
    EXPECT_EQ(L"1.0.0.30", VersionString(path, L"FileVersion"));
    EXPECT_EQ(L"1.0.0.30", VersionString(path, L"ProductVersion"));
    EXPECT_EQ(L"Veltrane Brimwell", VersionString(path, L"FileDescription"));
    EXPECT_EQ(L"Veltrane Brimwell", VersionString(path, L"ProductName"));
    EXPECT_EQ(L"brimwell-addon.dll", VersionString(path, L"InternalName"));
    EXPECT_EQ(L"brimwell-addon.dll", VersionString(path, L"OriginalFilename"));
}

}  // namespace
