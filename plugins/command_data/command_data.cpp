// SPDX-License-Identifier: MIT
// Pixtera.CommandData: items whose values are the output of commands. Configuration:
// file=/path/commands.conf (see command_list.h for its lines).

#include "command_list.h"

#include <pixtera/command_runner.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

using namespace pixtera;
using namespace std::chrono_literals;

// {7C2D9E41-6B3A-4F85-9D10-2E4F6A8B0C13}
constexpr CLSID CLSID_CommandData{0x7C2D9E41, 0x6B3A, 0x4F85, {0x9D, 0x10, 0x2E, 0x4F, 0x6A, 0x8B, 0x0C, 0x13}};
const InprocClass kClass{CLSID_CommandData, "Pixtera.CommandData", "Command data"};

constexpr std::chrono::milliseconds kLongestRun = 60s;
constexpr LONG kPollInterval = 250; // the service picks up new outputs this often
constexpr std::size_t kMaxCommandsFile = 1 << 20; // far more than any list of commands

// The value of a command that ended well: its first line, or all of it; numbers as numbers.
ProvidedValue ValueOfOutput(std::string output, bool allLines)
{
    if (!allLines)
        output = output.substr(0, output.find('\n'));
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return ParseProvidedValue(output);
}

// pixtera-command-runner, which answers for everything a command starts: beside the programs in
// a build tree (plugins/ is below them), else in the installed prefix's program directory. None
// when it is missing: commands then run on their own, and only their process group is caught.
const std::filesystem::path& RunnerProgram()
{
    static const std::filesystem::path runner = [] {
        const auto plugins = PIXTERA_THIS_MODULE_PATH().parent_path();
        std::error_code ec;
        for (const auto& candidate :
             {plugins.parent_path() / "pixtera-command-runner",
              (plugins / PIXTERA_RUNNER_FROM_PLUGINS / "pixtera-command-runner").lexically_normal()})
            if (std::filesystem::exists(candidate, ec))
                return candidate;
        LogWarning("Command data: pixtera-command-runner is missing; what commands leave behind is not caught");
        return std::filesystem::path();
    }();
    return runner;
}

// One item: its command, its latest value, and the thread that runs the command again and again
// (never two copies at once; never on the service's poll thread).
class CommandItemRunner {
public:
    CommandItemRunner(CommandItem item, std::function<void(const std::string&)> report)
        : item_(std::move(item)), report_(std::move(report)), thread_([this] { Run(); })
    {
    }
    CommandItemRunner(const CommandItemRunner&) = delete;
    CommandItemRunner& operator=(const CommandItemRunner&) = delete;
    ~CommandItemRunner()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cancel_ = true; // a running command is killed
        wake_.notify_all();
        thread_.join();
    }

    const std::string& name() const { return item_.name; }
    ProvidedValue value() const
    {
        std::lock_guard lock(mutex_);
        return value_;
    }

private:
    void Run()
    {
        const auto deadline =
            std::min<std::chrono::milliseconds>(std::chrono::milliseconds(item_.intervalMs), kLongestRun);
        while (true) {
            const auto started = std::chrono::steady_clock::now();
            const CommandResult result = RunCommand(item_.argv, deadline, cancel_, RunnerProgram());
            Store(result);
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, started + std::chrono::milliseconds(item_.intervalMs),
                                 [this] { return stopping_; }))
                return;
        }
    }

    void Store(const CommandResult& result)
    {
        ProvidedValue value = std::string("Error");
        switch (result.outcome) {
        case CommandResult::Outcome::NotStarted:
            report_("Command data: " + item_.name + ": \"" + item_.argv.front() +
                    "\" cannot be run (not found, or not allowed)");
            break;
        case CommandResult::Outcome::TimedOut:
            if (!cancel_)
                value = std::string("Timeout");
            break;
        case CommandResult::Outcome::Finished:
            if (result.exitCode == 0) {
                value = ValueOfOutput(result.output, item_.allLines);
            } else {
                std::string errors = result.errors.substr(0, result.errors.find('\n'));
                report_("Command data: " + item_.name + " failed (exit " + std::to_string(result.exitCode) + ")" +
                        (errors.empty() ? std::string() : ": " + errors));
            }
            break;
        }
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

    const CommandItem item_;
    const std::function<void(const std::string&)> report_;
    mutable std::mutex mutex_; // guards value_ and stopping_
    std::condition_variable wake_;
    ProvidedValue value_ = std::string();
    bool stopping_ = false;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

class CommandData final
    : public ComObject<CommandData, IDataProvider, ConfigurablePlugin<CommandData>, DescribedSettings<CommandData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"file", "Commands file", kSettingFile, "",
         "Lines of NAME [lines=all] INTERVAL_MS COMMAND...; a command starting with sh -c runs in the shell"},
    };

    static constexpr const char16_t* kPluginName = u"Command data";

    HRESULT STDMETHODCALLTYPE Refresh() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, kPollInterval); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, runners_.size());
    }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        return Text(index, name, [](const CommandItemRunner& item) { return item.name(); });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return Text(index, description, [](const CommandItemRunner& item) { return "Command\\" + item.name(); });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* out) override
    {
        std::lock_guard lock(mutex_);
        return ItemValue(runners_, index, out,
                         [](const std::unique_ptr<CommandItemRunner>& runner) { return runner->value(); });
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::vector<std::unique_ptr<CommandItemRunner>> old;
        {
            std::lock_guard lock(mutex_);
            old.swap(runners_); // stopped outside the lock: a running command is killed first
        }
        old.clear();
        const std::string file = fields.Text("file").value_or("");
        if (file.empty()) {
            LogWarning("Command data: no file in \"" + text + "\"; there are no items");
            return;
        }
        const BoundedFile read = ReadBoundedFile(file, kMaxCommandsFile, false);
        if (!read) {
            LogWarning("Command data: " + file + " " + read.problem + "; there are no items");
            return;
        }
        CommandList list = ParseCommandList(read.text);
        for (const auto& problem : list.problems)
            LogWarning("Command data: " + file + " " + problem + "; the line is skipped");
        std::lock_guard lock(mutex_);
        for (auto& item : list.items)
            runners_.push_back(std::make_unique<CommandItemRunner>(
                std::move(item), [this](const std::string& message) { ReportOnce(message); }));
    }

    ~CommandData()
    {
        std::vector<std::unique_ptr<CommandItemRunner>> old;
        {
            std::lock_guard lock(mutex_);
            old.swap(runners_);
        }
    }

private:
    template <class Get>
    HRESULT Text(LONG index, BSTR* out, Get get)
    {
        std::lock_guard lock(mutex_);
        return ItemText(runners_, index, out,
                        [&](const std::unique_ptr<CommandItemRunner>& runner) { return get(*runner); });
    }

    // A command that keeps failing the same way is logged once.
    void ReportOnce(const std::string& message)
    {
        {
            std::lock_guard lock(reportedMutex_);
            if (!reported_.insert(message).second)
                return;
        }
        LogWarning(message);
    }

    std::mutex mutex_; // guards runners_
    std::vector<std::unique_ptr<CommandItemRunner>> runners_;
    std::mutex reportedMutex_; // guards reported_
    std::set<std::string> reported_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(CommandData, kClass)
