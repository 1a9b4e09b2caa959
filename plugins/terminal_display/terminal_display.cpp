// SPDX-License-Identifier: MIT
// Pixtera.TerminalDisplay: shows a display in a terminal, as the character module would look, and
// takes the keys typed in it (arrows, Enter, Escape, F1-F8; others as raw keys).
// Configuration: columns=20;rows=4;cellwidth=5;cellheight=8;tty=/dev/tty;colour=blue;keys=on
// (colour: blue, green or none). Without a terminal the frames are printed as plain text.

#include "terminal_input.h"
#include "terminal_screen.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/character_grid_driver.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/unicode_frame.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

using namespace pixtera;

// {2C8D7A51-5E3B-4F1C-8A9D-6B0E4C2F7A13}
constexpr CLSID CLSID_TerminalDisplay{0x2C8D7A51, 0x5E3B, 0x4F1C, {0x8A, 0x9D, 0x6B, 0x0E, 0x4C, 0x2F, 0x7A, 0x13}};
const InprocClass kClass{CLSID_TerminalDisplay, "Pixtera.TerminalDisplay", "Terminal display"};

constexpr char kDefaultTty[] = "/dev/tty";

void WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Leaves every terminal as it was found when the program ends (scroll region, cursor, colour).
class TerminalRestorer {
public:
    static TerminalRestorer& Instance()
    {
        static TerminalRestorer restorer;
        return restorer;
    }
    void Remember(int fd, std::function<std::string()> restore)
    {
        std::lock_guard lock(mutex_);
        entries_.push_back({fd, std::move(restore)});
    }
    ~TerminalRestorer()
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : entries_)
            WriteAll(entry.fd, entry.restore());
    }

private:
    struct Entry {
        int fd;
        std::function<std::string()> restore;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
};

class TerminalDisplay final
    : public ComObject<TerminalDisplay, CharacterGridDriver, IDisplayPower, IDisplayUnicodeFrame, KeyInput,
                       ConfigurablePlugin<TerminalDisplay>, DescribedSettings<TerminalDisplay>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 256},
        {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 64},
        {"cellwidth", "Cell width", kSettingInteger, "5", "Dots per character, across", 1, 64},
        {"cellheight", "Cell height", kSettingInteger, "8", "Dots per character, down", 1, 64},
        {"tty", "Terminal", kSettingFile, "/dev/tty", "The terminal to draw in"},
        {"colour", "Colour", kSettingChoice, "blue", "The module's colours", 0, 0, "blue|green|none"},
        {"keys", "Keys", kSettingFlag, "on", "Take the keys typed in the terminal (its echo is off meanwhile)", 0, 0,
         "on|off"},
    };

    static constexpr const char16_t* kPluginName = u"Terminal display";

    ~TerminalDisplay()
    {
        if (fd_ > STDERR_FILENO)
            close(fd_);
    }

    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        std::lock_guard lock(mutex_);
        Screen().DefineCharacter(static_cast<int>(code), {r0, r1, r2, r3, r4, r5, r6, r7});
        return S_OK;
    }
    // Windows-1252 frames come as UTF-16 of one unit a cell, so both are the same code points.
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override { return Draw(frame, false); }
    // Unicode frames number the user characters 1-15: a NUL is a blank, as every module shows it.
    HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) override { return Draw(frame, true); }

    // IDisplayPower: an unlit module is drawn dimmed.
    HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) override
    {
        std::lock_guard lock(mutex_);
        WriteAll(OutputFd(), Screen().SetLit(on != 0));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBrightness(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) override { return Output(caps, kPowerBacklight); }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::lock_guard lock(mutex_);
        bool invalid = false;
        SetGrid(ReadCharacterGrid(fields, 256, &invalid));
        const std::string colour = fields.Text("colour").value_or("blue");
        colour_ = colour == "green" ? ModuleColour::Green : colour == "none" ? ModuleColour::None : ModuleColour::Blue;
        if (colour != "blue" && colour != "green" && colour != "none")
            invalid = true;
        const std::string keys = fields.Text("keys").value_or("on");
        if (keys != "on" && keys != "off")
            invalid = true;
        if (invalid)
            LogWarning("Terminal display: unusable values in \"" + text + "\"; defaults are used for them");
        if (const std::string tty = fields.Text("tty").value_or(kDefaultTty); tty != tty_) {
            if (fd_ > STDERR_FILENO) // drawn elsewhere now: the next frame opens the new one
                close(fd_);
            fd_ = -1;
            tty_ = tty;
        }
        screen_.reset();
        input_.reset();
        if (keys != "off")
            input_ = TerminalInput::Open(tty_, [this](LONG key) { DeliverKey(key, kKeyPressed); });
    }

private:
    HRESULT Draw(BSTR frame, bool nulIsBlank)
    {
        const std::u16string_view text = BstrView(frame);
        std::lock_guard lock(mutex_);
        std::u32string cells = lcd::FrameCells(text, text.size());
        if (nulIsBlank)
            std::replace(cells.begin(), cells.end(), U'\0', U' ');
        WriteAll(OutputFd(), Screen().Draw(cells));
        return S_OK;
    }

    int OutputFd()
    {
        if (fd_ >= 0)
            return fd_;
        // Not blocking on open: a FIFO nobody reads would hold the display's thread for ever.
        fd_ = open(tty_.c_str(), O_WRONLY | O_NOCTTY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644);
        struct stat status {};
        if (fd_ >= 0 && fstat(fd_, &status) == 0 && (S_ISCHR(status.st_mode) || S_ISREG(status.st_mode))) {
            // A terminal or a file takes a frame whole; a pipe or socket that stalls drops it.
            fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        } else if (fd_ < 0) {
            // No terminal to draw on: print to standard output. Without a controlling terminal
            // (a service) that is the default's usual way, not worth a word.
            if (tty_ != kDefaultTty)
                LogWarning("Terminal display: cannot draw on " + tty_ + " (" + std::strerror(errno) +
                           "); frames go to standard output");
            fd_ = STDOUT_FILENO;
        }
        return fd_;
    }

    TerminalScreen& Screen()
    {
        if (screen_)
            return *screen_;
        const int fd = OutputFd();
        const bool terminal = isatty(fd) == 1;
        const char* term = std::getenv("TERM");
        const bool colours = terminal && term && std::string_view(term) != "dumb";
        winsize size{};
        const int terminalRows = terminal && ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_row : 0;
        const CharacterGrid grid = Grid();
        screen_ = std::make_shared<TerminalScreen>(TerminalScreen::Geometry{grid.columns, grid.rows}, terminal,
                                                   colours ? colour_ : ModuleColour::None, terminalRows);
        std::weak_ptr<TerminalScreen> weak = screen_;
        TerminalRestorer::Instance().Remember(fd, [weak] {
            const auto screen = weak.lock();
            return screen ? screen->Restore() : std::string();
        });
        return *screen_;
    }

    std::mutex mutex_; // guards everything below
    std::string tty_ = kDefaultTty;
    int fd_ = -1;
    ModuleColour colour_ = ModuleColour::Blue;
    std::shared_ptr<TerminalScreen> screen_;
    std::unique_ptr<TerminalInput> input_; // its thread calls DeliverKey, which takes no lock of ours
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(TerminalDisplay, kClass)
