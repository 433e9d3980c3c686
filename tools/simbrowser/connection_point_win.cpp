// One connection point: the sinks advised for one event interface of a browser or a window.
#include "tools/simbrowser/sim_objects_win.h"

namespace simbrowser {
namespace {

const SlotTable& ConnectionPointTable() {
    static const SlotTable table =
        SlotTable()
            .SIMBROWSER_BIND(IConnectionPoint, ConnectionPointObject, GetConnectionInterface)
            .SIMBROWSER_BIND(IConnectionPoint, ConnectionPointObject, GetConnectionPointContainer)
            .SIMBROWSER_BIND(IConnectionPoint, ConnectionPointObject, Advise)
            .SIMBROWSER_BIND(IConnectionPoint, ConnectionPointObject, Unadvise);
    return table;
}

}  // namespace

ConnectionPointObject::ConnectionPointObject(std::shared_ptr<PageLink> link, REFIID events,
                                             ComPart& container)
    : SimObject(std::move(link)),
      events(events),
      container(&container),
      part{ConnectionPointTable().Slots(), this},
      nextCookie(1) {}

HRESULT ConnectionPointObject::Find(REFIID iid, void** out) {
    if (iid == IID_IUnknown || iid == __uuidof(IConnectionPoint)) return Give(part, out);
    return E_NOINTERFACE;
}

HRESULT ConnectionPointObject::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = events;
    return S_OK;
}

HRESULT ConnectionPointObject::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!link->page) return RPC_E_DISCONNECTED;
    container->owner->AddRef();
    *out = reinterpret_cast<IConnectionPointContainer*>(container);
    return S_OK;
}

HRESULT ConnectionPointObject::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    HRESULT hr = S_OK;
    if (!Enter(Op::kAdvise, hr)) return hr;
    // Like the browser: the sink's own event interface, else plain IDispatch.
    win::ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(events, dispatch.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
        return CONNECT_E_CANNOTCONNECT;
    sinks.emplace_back(nextCookie, dispatch);
    *cookie = nextCookie++;
    return S_OK;
}

HRESULT ConnectionPointObject::Unadvise(DWORD cookie) {
    HRESULT hr = S_OK;
    if (!Enter(Op::kUnadvise, hr)) return hr;
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
        if (it->first != cookie) continue;
        win::ComPtr<IDispatch> leaving = it->second;  // released after the list is consistent
        sinks.erase(it);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

std::vector<win::ComPtr<IDispatch>> ConnectionPointObject::Sinks() const {
    std::lock_guard<std::recursive_mutex> hold(*link->treeLock);
    std::vector<win::ComPtr<IDispatch>> copy;
    for (const auto& entry : sinks) copy.push_back(entry.second);
    return copy;
}

std::size_t ConnectionPointObject::SinkCount() const {
    std::lock_guard<std::recursive_mutex> hold(*link->treeLock);
    return sinks.size();
}

void ConnectionPointObject::Clear() {
    std::vector<std::pair<DWORD, win::ComPtr<IDispatch>>> leaving;
    std::unique_lock<std::recursive_mutex> hold(*link->treeLock);
    leaving.swap(sinks);
    hold.unlock();  // a sink's last release may call back in, from any thread
}

}  // namespace simbrowser
