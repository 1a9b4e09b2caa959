// SPDX-License-Identifier: MIT
// CPU of Pixtera.MediaData's work while a player plays: the watcher and the service's polls every
// 500 ms, over 60 s (or the seconds given). Run it on a bus of its own:
// dbus-run-session -- build/bench/media-cpu-bench. The player announces a new
// track every 20 s, as music does. Target: under 0.05 % of a core.
//
// A harness rather than a Google Benchmark: it measures the process's CPU time over wall time.

#include "fake_player.h"
#include "mpris_watcher.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace pixtera::media;
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    test::FakePlayer player("bench", "Bench Player");
    player.Play("Playing", "Track 1", {"Artist"}, 240'000'000);
    MprisWatcher watcher(sdbus::createSessionBusConnection());

    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    int polls = 0;
    for (auto next = start; Clock::now() - start < std::chrono::seconds(seconds);
         next += std::chrono::milliseconds(500)) {
        std::this_thread::sleep_until(next);
        const auto players = watcher.Players();
        const NowPlaying now = Describe(ChoosePlayer(players, ""), Clock::now());
        if (++polls % 40 == 0)
            player.Play("Playing", "Track " + std::to_string(polls / 40 + 1), {"Artist"}, 240'000'000);
        if (now.title.empty())
            std::fprintf(stderr, "nothing playing?\n");
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf(
        "media data over %.0f s, %d polls: %.3f s CPU = %.4f %% of a core (player included; target < 0.05 %%)\n", wall,
        polls, cpu, 100.0 * cpu / wall);
}
