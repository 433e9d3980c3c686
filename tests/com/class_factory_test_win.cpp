// Module object and class factory with a stand-in class: the kept factory, creation failures.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>

#include "addon/com/module_win.h"
#include "addon/win/com_ptr.h"

namespace {

std::atomic<long> lockCount{0};
std::atomic<long> liveObjects{0};
void Lock() { ++lockCount; }
void Unlock() { --lockCount; }
long Count() { return lockCount.load(); }
const com::ModuleLockCalls kLockCalls = {&Lock, &Unlock, &Count};

const CLSID kClassId = {0x5b2c8a41, 0x7d3e, 0x4f90, {0xa6, 0xc1, 0x2e, 0x8d, 0x94, 0xb0, 0x7f, 0x13}};

// Holds one module lock while alive, like the add-on object.
class FakeObject final : public IUnknown {
public:
    FakeObject() { Lock(); ++liveObjects; }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) { *ppv = nullptr; return E_NOINTERFACE; }
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references;
        if (left == 0) delete this;
        return left;
    }

private:
    ~FakeObject() { --liveObjects; Unlock(); }
    ULONG references = 0;
};

HRESULT CreateFake(REFIID riid, void** ppv) {
    win::ComPtr<FakeObject> object(new FakeObject());
    return object->QueryInterface(riid, ppv);
}
HRESULT CreateThrowing(REFIID, void**) { throw std::bad_alloc(); }

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        lockCount = 0;
        liveObjects = 0;
    }
    win::ComPtr<IClassFactory> Factory(com::CbrimwelladdonModule& module) {
        win::ComPtr<IClassFactory> factory;
        EXPECT_EQ(S_OK, module.GetClassObject(kClassId, IID_IClassFactory, factory.PutVoid()));
        return factory;
    }
    com::CbrimwelladdonModule module{com::ClassEntry{&kClassId, 102, &CreateFake}, kLockCalls};
};

TEST_F(ModuleTest, ClassFactoryIsCreatedOnceAndKept) {
    win::ComPtr<IClassFactory> first = Factory(module);
    ASSERT_TRUE(first);
    first.Reset();  // the module keeps its own reference
    win::ComPtr<IUnknown> second;
    ASSERT_EQ(S_OK, module.GetClassObject(kClassId, IID_IUnknown, second.PutVoid()));
    win::ComPtr<IClassFactory> third = Factory(module);
    EXPECT_TRUE(win::SameComObject(second.Get(), third.Get()));
    EXPECT_EQ(S_OK, module.CanUnloadNow());  // factory references are no module locks
}

TEST_F(ModuleTest, ObjectThatAnswersNoIsDestroyed) {
    win::ComPtr<IClassFactory> factory = Factory(module);
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(0, liveObjects.load());  // the object that answered no was destroyed
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

TEST_F(ModuleTest, UnmatchedLockServerFalseCannotReleaseAnObjectsLock) {
    win::ComPtr<IClassFactory> factory = Factory(module);
    win::ComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()));
    EXPECT_EQ(E_UNEXPECTED, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());  // the object still holds the module
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(E_UNEXPECTED, factory->LockServer(FALSE));
    object.Reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

TEST(ClassFactory, AllocationFailureBecomesOutOfMemory) {
    com::CbrimwelladdonModule throwing{com::ClassEntry{&kClassId, 102, &CreateThrowing}, kLockCalls};
    win::ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, throwing.GetClassObject(kClassId, IID_IClassFactory, factory.PutVoid()));
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
}

}  // namespace
