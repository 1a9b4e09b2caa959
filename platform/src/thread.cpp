// SPDX-License-Identifier: MIT
#include <pixtera/platform/thread.h>

#include <pthread.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <system_error>
#include <unistd.h>
#include <utility>

static_assert(sizeof(pthread_t) == sizeof(unsigned long));

namespace pixtera {
namespace {

void* RunBody(void* argument)
{
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr std::size_t kSanitizerFactor = 8;
#else
constexpr std::size_t kSanitizerFactor = 1;
#endif

} // namespace

std::size_t EffectiveStackSize(std::size_t wanted)
{
    const long minimum = sysconf(_SC_THREAD_STACK_MIN);
    const long page = sysconf(_SC_PAGESIZE);
    std::size_t size = std::max<std::size_t>(wanted * kSanitizerFactor,
                                             minimum > 0 ? static_cast<std::size_t>(minimum) : PTHREAD_STACK_MIN);
    const std::size_t pageSize = page > 0 ? static_cast<std::size_t>(page) : 4096;
    return (size + pageSize - 1) / pageSize * pageSize;
}

Thread::Thread(std::size_t stackBytes, std::function<void()> body)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, EffectiveStackSize(stackBytes));
    auto argument = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread{};
    const int error = pthread_create(&thread, &attributes, RunBody, argument.get());
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot start a thread");
    argument.release(); // now owned by the thread
    handle_ = thread;
    started_ = true;
}

Thread::Thread(Thread&& other) noexcept
    : handle_(std::exchange(other.handle_, 0)), started_(std::exchange(other.started_, false))
{
}

Thread& Thread::operator=(Thread&& other) noexcept
{
    if (this != &other) {
        if (started_)
            join();
        handle_ = std::exchange(other.handle_, 0);
        started_ = std::exchange(other.started_, false);
    }
    return *this;
}

Thread::~Thread()
{
    if (started_)
        join();
}

void Thread::join()
{
    if (!started_)
        return;
    pthread_join(handle_, nullptr);
    started_ = false;
}

void Thread::detach()
{
    if (!started_)
        return;
    pthread_detach(handle_);
    started_ = false;
}

void NameThisThread(std::string_view name)
{
    char truncated[16] = {};
    name.copy(truncated, sizeof truncated - 1);
    pthread_setname_np(pthread_self(), truncated);
}

} // namespace pixtera
