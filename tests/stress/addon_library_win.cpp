// Loading and freeing the built add-on library through its exports.
#include "tests/stress/addon_library_win.h"

#include "addon/com/brimwell_addon_h.h"
#include "tests/com/addon_library_path_win.h"

namespace soak {
namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* CanUnloadNowFn)();

template <class Fn>
Fn Export(HMODULE library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace

AddonLibrary::AddonLibrary()
    : library(::LoadLibraryW(testing_addon::BuiltLibraryPath().c_str())) {}

AddonLibrary::~AddonLibrary() { Free(); }

win::ComPtr<IClassFactory> AddonLibrary::Factory() const {
    win::ComPtr<IClassFactory> factory;
    const auto getClassObject = Export<GetClassObjectFn>(library, "DllGetClassObject");
    if (getClassObject) getClassObject(CLSID_BrimwellBHO, IID_IClassFactory, factory.PutVoid());
    return factory;
}

HRESULT AddonLibrary::CanUnloadNow() const {
    const auto canUnloadNow = Export<CanUnloadNowFn>(library, "DllCanUnloadNow");
    return canUnloadNow ? canUnloadNow() : E_UNEXPECTED;
}

void AddonLibrary::Free() {
    if (library) ::FreeLibrary(library);
    library = nullptr;
}

bool AddonLibrary::Mapped() {
    return ::GetModuleHandleW(testing_addon::BuiltLibraryPath().c_str()) != nullptr;
}

}  // namespace soak
