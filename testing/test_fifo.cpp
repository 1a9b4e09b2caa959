// SPDX-License-Identifier: MIT
#include "test_fifo.h"

#include "test_environment.h"

#include <pixtera/platform/unique_fd.h>

#include <future>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace pixtera::test {
namespace {

// Opens and closes the FIFO's writing end, which ends an open for reading that waits; none
// waiting: nothing happens.
void LetReadersGo(const std::filesystem::path& path)
{
    UniqueFd writer(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
}

} // namespace

TestFifo::TestFifo(const std::string& name) : path_(TestDirectory() / name)
{
    std::filesystem::remove(path_);
    if (mkfifo(path_.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make the FIFO " + path_.string());
}

TestFifo::~TestFifo()
{
    LetReadersGo(path_);
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

bool TestFifo::Returns(const std::function<void()>& call, std::chrono::seconds limit)
{
    std::packaged_task<void()> task(call);
    auto done = task.get_future();
    std::thread thread(std::move(task));
    const bool returned = done.wait_for(limit) == std::future_status::ready;
    // A call that waits on the FIFO may open it again after it was let go: each time, it goes on.
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        LetReadersGo(path_);
    thread.join();
    done.get();
    return returned;
}

} // namespace pixtera::test
