// The framework's Windows window asks DXGI, when the first window of a process opens, for the
// display outputs whose vertical blanks pace its repaints. The module provides the DXGI entry
// point that call is linked against: on Windows it forwards to the system's DXGI, so nothing
// changes there. Under Wine, DXGI has no vertical blanks to offer (WaitForVBlank answers
// E_NOTIMPL), yet creating a factory starts Wine's whole Direct3D layer on OpenGL: some 130 to
// 280 ms and about 90 MiB before the first window can show. There the window gets a factory
// with no outputs; it repaints from RepaintFallback's timer, exactly as it did before when the
// vertical blanks it waited for never came.

#include <windows.h>

#include <dxgi.h>

#include <atomic>

namespace
{
bool isRunningUnderWine()
{
    const auto ntdll = GetModuleHandleW (L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress (ntdll, "wine_get_version") != nullptr;
}

/** A factory without adapters: every enumeration ends at once. */
class FactoryWithoutOutputs final : public IDXGIFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface (REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;

        if (iid == __uuidof (IUnknown) || iid == __uuidof (IDXGIObject) || iid == __uuidof (IDXGIFactory))
        {
            AddRef();
            *object = this;
            return S_OK;
        }

        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const auto remaining = --references;

        if (remaining == 0)
            delete this;

        return remaining;
    }

    HRESULT STDMETHODCALLTYPE SetPrivateData (REFGUID, UINT, const void*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPrivateDataInterface (REFGUID, const IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPrivateData (REFGUID, UINT*, void*) override { return DXGI_ERROR_NOT_FOUND; }

    HRESULT STDMETHODCALLTYPE GetParent (REFIID, void** parent) override
    {
        if (parent != nullptr)
            *parent = nullptr;

        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE EnumAdapters (UINT, IDXGIAdapter** adapter) override
    {
        if (adapter == nullptr)
            return DXGI_ERROR_INVALID_CALL;

        *adapter = nullptr;
        return DXGI_ERROR_NOT_FOUND;
    }

    HRESULT STDMETHODCALLTYPE MakeWindowAssociation (HWND, UINT) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE GetWindowAssociation (HWND* window) override
    {
        if (window == nullptr)
            return DXGI_ERROR_INVALID_CALL;

        *window = nullptr;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateSwapChain (IUnknown*, DXGI_SWAP_CHAIN_DESC*, IDXGISwapChain** swapChain) override
    {
        if (swapChain != nullptr)
            *swapChain = nullptr;

        return DXGI_ERROR_UNSUPPORTED;
    }

    HRESULT STDMETHODCALLTYPE CreateSoftwareAdapter (HMODULE, IDXGIAdapter** adapter) override
    {
        if (adapter != nullptr)
            *adapter = nullptr;

        return DXGI_ERROR_UNSUPPORTED;
    }

private:
    ~FactoryWithoutOutputs() = default;

    std::atomic<ULONG> references { 1 };
};

using CreateFactoryFunction = HRESULT (WINAPI*) (REFIID, void**);

CreateFactoryFunction systemCreateFactory()
{
    // Loaded once and kept: the framework holds the factory until the process ends. Only the
    // system's own copy, never one that happens to lie beside the host.
    static const auto function = []
    {
        wchar_t path[MAX_PATH] = {};
        const auto length = GetSystemDirectoryW (path, MAX_PATH);

        if (length == 0 || length + 10 >= MAX_PATH)
            return CreateFactoryFunction {};

        lstrcatW (path, L"\\dxgi.dll");
        const auto dxgi = LoadLibraryW (path);
        return dxgi != nullptr ? reinterpret_cast<CreateFactoryFunction> (reinterpret_cast<void*> (GetProcAddress (dxgi, "CreateDXGIFactory")))
                               : nullptr;
    }();

    return function;
}

HRESULT createFactoryWithoutOutputs (REFIID iid, void** factory)
{
    auto* created = new FactoryWithoutOutputs();
    const auto result = created->QueryInterface (iid, factory);
    created->Release();
    return result;
}
} // namespace

extern "C" HRESULT WINAPI CreateDXGIFactory (REFIID iid, void** factory)
{
    if (factory == nullptr)
        return DXGI_ERROR_INVALID_CALL;

    *factory = nullptr;

    if (isRunningUnderWine())
        return createFactoryWithoutOutputs (iid, factory);

    // The framework uses the factory without looking at the result, so a system without DXGI
    // gets the empty one too rather than none.
    if (const auto create = systemCreateFactory())
        if (const auto result = create (iid, factory); SUCCEEDED (result) && *factory != nullptr)
            return result;

    return createFactoryWithoutOutputs (iid, factory);
}
