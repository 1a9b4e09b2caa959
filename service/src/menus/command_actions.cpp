// SPDX-License-Identifier: MIT
#include "command_actions.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/thread.h>

#include <system_error>
#include <utility>

namespace pixtera {

std::string CommandFailure(const CommandResult& result, std::chrono::milliseconds deadline)
{
    switch (result.outcome) {
    case CommandResult::Outcome::NotStarted: return "Cannot start it";
    case CommandResult::Outcome::TimedOut:
        // Whole seconds below 100 fit in 20 columns with the words.
        if (deadline.count() % 1000 == 0 && deadline.count() < 100'000)
            return "Timed out after " + std::to_string(deadline.count() / 1000) + " s";
        return "Timed out";
    case CommandResult::Outcome::Finished: break;
    }
    if (result.exitCode == 0)
        return {};
    if (result.exitCode < 0)
        return "Ended by a signal";
    return "Exit status " + std::to_string(result.exitCode);
}

std::filesystem::path RunnerBesideProgram()
{
    const auto runner = ExecutablePath().parent_path() / "pixtera-command-runner";
    std::error_code ec;
    return std::filesystem::is_regular_file(runner, ec) ? runner : std::filesystem::path();
}

CommandActions::CommandActions(Limits limits) : limits_(std::move(limits)) {}

CommandActions::~CommandActions()
{
    cancel_ = true;
    std::list<std::unique_ptr<Run>> runs;
    {
        std::lock_guard lock(mutex_);
        runs.swap(runs_);
    }
    for (const auto& run : runs)
        run->thread.join();
}

void CommandActions::Start(int display, std::vector<std::string> command, ActionFinished finished)
{
    if (command.empty() || command.front().empty()) {
        finished("Nothing to run");
        return;
    }
    JoinThoseOver();
    bool busy = false;
    {
        std::lock_guard lock(mutex_);
        if (limits_.runner.empty() && !std::exchange(runnerMissingSaid_, true))
            LogWarning("Menus: pixtera-command-runner is missing; what a command leaves behind outside its process "
                       "group is not ended");
        if (busy_.insert(display).second) {
            auto run = std::make_unique<Run>();
            Run* self = run.get();
            try {
                run->thread = std::thread([this, self, display, command = std::move(command), finished] {
                    NameThisThread("px-menu-cmd");
                    RunOne(display, command, finished);
                    self->over = true;
                });
                runs_.push_back(std::move(run));
                return;
            } catch (const std::system_error& error) {
                busy_.erase(display);
                LogWarning(std::string("Menus: no thread for a command: ") + error.what());
            }
        } else {
            busy = true;
        }
    }
    finished(busy ? "Busy" : "No thread for it");
}

void CommandActions::RunOne(int display, const std::vector<std::string>& command, const ActionFinished& finished)
{
    const CommandResult result = RunCommand(command, limits_.deadline, cancel_, limits_.runner);
    const std::string failure = CommandFailure(result, limits_.deadline);
    if (!failure.empty()) {
        const std::string errors = result.errors.substr(0, result.errors.find('\n'));
        LogWarning("Menu of display " + std::to_string(display + 1) + ": \"" + command.front() + "\": " + failure +
                   (errors.empty() ? std::string() : ": " + errors));
    }
    {
        // Free before it is said: a menu told may start the next one at once.
        std::lock_guard lock(mutex_);
        busy_.erase(display);
    }
    finished(failure);
}

void CommandActions::JoinThoseOver()
{
    std::list<std::unique_ptr<Run>> over;
    {
        std::lock_guard lock(mutex_);
        for (auto it = runs_.begin(); it != runs_.end();) {
            auto next = std::next(it);
            if ((*it)->over)
                over.splice(over.end(), runs_, it);
            it = next;
        }
    }
    for (const auto& run : over)
        run->thread.join();
}

} // namespace pixtera
