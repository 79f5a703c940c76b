#pragma once

// A system call that offers no time limit of its own (a name lookup, which
// waits on whatever resolver the machine has) run so that it holds up
// nothing: on a thread of its own, waited for in slices.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace ordalia {

// Runs `work` on a thread of its own and waits up to `limit` for its result,
// in slices of `slice` with `waiting` called between them. Nothing when the
// limit passes first: the thread is left to finish on its own, and then hands
// its late result to `discard` (which frees what it holds).
template <class Result>
std::optional<Result> callWithin(std::function<Result()> work, std::chrono::milliseconds limit,
                                 std::chrono::milliseconds slice,
                                 const std::function<void()>& waiting,
                                 std::function<void(Result&)> discard = {}) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
        bool abandoned = false;
        std::function<void(Result&)> discard;
    };
    auto shared = std::make_shared<Shared>();
    shared->discard = std::move(discard);
    std::thread([shared, work = std::move(work)] {
        Result result = work();
        std::lock_guard lock(shared->mutex);
        if (shared->abandoned) {
            if (shared->discard)
                shared->discard(result);
            return;
        }
        shared->result = std::move(result);
        shared->done.notify_all();
    }).detach();

    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(shared->mutex);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (shared->done.wait_for(lock,
                                  std::min<std::chrono::steady_clock::duration>(
                                      slice, deadline > now ? deadline - now : slice * 0),
                                  [&] { return shared->result.has_value(); }))
            return std::move(shared->result);
        if (std::chrono::steady_clock::now() >= deadline) {
            shared->abandoned = true;
            return std::nullopt;
        }
        lock.unlock();
        if (waiting)
            waiting();
        lock.lock();
    }
}

// A host name looked up with the system's getaddrinfo within kLookupLimit,
// the window pumped meanwhile; nothing when the resolver did not answer in
// time. `code` is getaddrinfo's; on 0 `found` is the caller's to free.
template <class AddrInfo>
struct HostLookup {
    int code = -1;
    AddrInfo* found = nullptr;
};

template <class AddrInfo, class GetAddrInfo, class FreeAddrInfo>
std::optional<HostLookup<AddrInfo>>
lookUpWithin(const std::string& host, const std::string& service, const AddrInfo& hints,
             std::chrono::milliseconds limit, std::chrono::milliseconds slice,
             GetAddrInfo getAddrInfo, FreeAddrInfo freeAddrInfo,
             const std::function<void()>& waiting) {
    return callWithin<HostLookup<AddrInfo>>(
        [host, service, hints, getAddrInfo] {
            HostLookup<AddrInfo> l;
            l.code = getAddrInfo(host.c_str(), service.c_str(), &hints, &l.found);
            return l;
        },
        limit, slice, waiting,
        [freeAddrInfo](HostLookup<AddrInfo>& late) {
            if (late.code == 0)
                freeAddrInfo(late.found);
        });
}

} // namespace ordalia
