// SPDX-License-Identifier: MIT
// Pixtera.FileDisplay: a display that lives in a file. Every call is appended to PATH as one
// JSON object per line, and PATH.frame always holds the current frame as text, one row a line.
// Keys are key names written to PATH.keys, a FIFO or a file, one a line (see keys_file.h).
// Its link is PATH.frame: lost while that cannot be written (its directory gone, say), and back
// when the last frame could be written again.
// Configuration: columns=20;rows=4;cellwidth=5;cellheight=8;path=/some/file (path required).

#include "keys_file.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/unique_fd.h>
#include <pixtera/sdk/character_grid_driver.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/unicode_frame.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using namespace pixtera;

// {7B5E3C2A-1D4F-4E8B-9C6A-3F2E1D0C9B81}
constexpr CLSID CLSID_FileDisplay{0x7B5E3C2A, 0x1D4F, 0x4E8B, {0x9C, 0x6A, 0x3F, 0x2E, 0x1D, 0x0C, 0x9B, 0x81}};

const InprocClass kClass{CLSID_FileDisplay, "Pixtera.FileDisplay", "File display"};

long long MonotonicMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// UTF-8 of code points.
std::string Utf8Of(std::u32string_view cells)
{
    std::string out;
    for (char32_t c : cells)
        AppendUtf8(out, c);
    return out;
}

// A JSON string of frame text, a character for each code point, controls escaped.
std::string JsonString(std::u16string_view text)
{
    std::string out = "\"";
    for (char32_t c : lcd::FrameCells(text, text.size())) {
        if (c == U'"' || c == U'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out + "\"";
}

class FileDisplay final
    : public ComObject<FileDisplay, CharacterGridDriver, IDisplayPower, IDisplayLinkState, IDisplayUnicodeFrame,
                       KeyInput, ConfigurablePlugin<FileDisplay>, DescribedSettings<FileDisplay>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"columns", "Columns", kSettingInteger, "20", "Characters per row", 1, 1024},
        {"rows", "Rows", kSettingInteger, "4", "Rows of characters", 1, 64},
        {"cellwidth", "Cell width", kSettingInteger, "5", "Dots per character, across", 1, 64},
        {"cellheight", "Cell height", kSettingInteger, "8", "Dots per character, down", 1, 64},
        {"path", "File", kSettingFile, "",
         "Where the calls and the current frame (FILE.frame) are written; keys are read from FILE.keys"},
    };

    static constexpr const char16_t* kPluginName = u"File display";

    HRESULT STDMETHODCALLTYPE SetBackground(BSTR file) override
    {
        Append("\"op\":\"SetBackground\",\"file\":" + JsonString(BstrView(file)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        std::string rows;
        for (BYTE row : {r0, r1, r2, r3, r4, r5, r6, r7})
            rows += (rows.empty() ? "" : ",") + std::to_string(row);
        Append("\"op\":\"SetCustomChar\",\"code\":" + std::to_string(code) + ",\"rows\":[" + rows + "]");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        const std::u16string_view text = BstrView(frame);
        Append("\"op\":\"Write\",\"frame\":" + JsonString(text));
        WriteFrameFile(text);
        return S_OK;
    }
    // IDisplayUnicodeFrame: the same, one code point a cell.
    HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) override
    {
        const std::u16string_view text = BstrView(frame);
        Append("\"op\":\"WriteUnicode\",\"frame\":" + JsonString(text));
        WriteFrameFile(text);
        return S_OK;
    }

    // IDisplayPower: recorded like the other calls.
    HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) override
    {
        Append(std::string("\"op\":\"SetBacklight\",\"on\":") + (on ? "true" : "false"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBrightness(LONG percent) override
    {
        if (percent < 0 || percent > 100)
            return E_INVALIDARG;
        Append("\"op\":\"SetBrightness\",\"percent\":" + std::to_string(percent));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) override
    {
        return Output(caps, kPowerBacklight | kPowerBrightness);
    }

    // IDisplayLinkState: asked once a second. While linked, only whether the frame file's directory
    // can still be written is looked at; while not, the last frame is tried again.
    HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) override
    {
        if (!linked || !outageSince)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        if (!path_.empty()) {
            if (linked_) {
                if (access(Directory().c_str(), W_OK | X_OK) != 0)
                    Track(false, std::strerror(errno));
            } else if (lastFrame_) {
                std::string why;
                Track(WriteFrameText(*lastFrame_, why), why);
            } else if (access(Directory().c_str(), W_OK | X_OK) == 0) {
                Track(true, {});
            }
        }
        *linked = linked_ ? VARIANT_TRUE : VARIANT_FALSE;
        *outageSince = !linked_ && lostSince_
                           ? std::chrono::duration_cast<std::chrono::seconds>(lostSince_->time_since_epoch()).count()
                           : 0;
        return S_OK;
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::lock_guard lock(mutex_);
        linked_ = false;
        lostSince_.reset();
        lastFrame_.reset();
        bool invalid = false;
        SetGrid(ReadCharacterGrid(fields, 1024, &invalid));
        if (invalid)
            LogWarning("File display: unusable values in \"" + text + "\"; defaults are used for them");
        log_.reset();
        keys_.reset();
        path_ = fields.Text("path").value_or("");
        if (path_.empty()) {
            LogWarning("File display: no path in \"" + text + "\"; nothing is written");
            return;
        }
        std::string why;
        log_ = OpenOwnFile(path_, O_WRONLY | O_APPEND | O_CREAT, &why);
        if (!log_) {
            LogWarning("File display: " + path_ + " " + why + "; nothing is written");
            path_.clear();
            return;
        }
        keys_ = std::make_unique<KeysFile>(path_ + ".keys", "File display",
                                           [this](LONG key) { DeliverKey(key, kKeyPressed); });
        linked_ = true; // its directory took the calls' file
    }

private:
    void Append(const std::string& fields)
    {
        std::lock_guard lock(mutex_);
        if (!log_)
            return;
        const std::string line = "{\"t\":" + std::to_string(MonotonicMilliseconds()) + "," + fields + "}\n";
        WriteAll(log_.get(), line);
    }

    void WriteFrameFile(std::u16string_view frame)
    {
        std::lock_guard lock(mutex_);
        if (path_.empty())
            return;
        const CharacterGrid grid = Grid();
        // A cell is a code point: a surrogate pair is one, never split between rows.
        const std::u32string cells = lcd::FrameCells(frame, frame.size());
        const std::u32string_view all = cells;
        std::string text;
        for (LONG row = 0; row < grid.rows; ++row) {
            const auto begin = static_cast<std::size_t>(row * grid.columns);
            if (begin < all.size())
                text += Utf8Of(all.substr(begin, static_cast<std::size_t>(grid.columns)));
            text += '\n';
        }
        std::string why;
        Track(WriteFrameText(text, why), why);
        lastFrame_ = std::move(text);
    }

    // PATH.frame, replaced whole so that readers never see half a frame; false, saying why, when
    // it could not be written. Under mutex_.
    bool WriteFrameText(const std::string& text, std::string& why)
    {
        const std::string target = path_ + ".frame";
        const std::string temporary = target + ".tmp";
        // Made anew each time: a name planted in a shared directory is never written through.
        unlink(temporary.c_str());
        UniqueFd out(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        const bool written = out && WriteAll(out.get(), text);
        if (!written)
            why = std::strerror(errno);
        out.reset();
        if (written && std::rename(temporary.c_str(), target.c_str()) == 0)
            return true;
        if (written)
            why = std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }

    // The link follows the frame file: its loss and its return are one line each. Under mutex_.
    void Track(bool written, const std::string& why)
    {
        if (written && !linked_) {
            if (lostSince_)
                LogInformation("File display: " + path_ + ".frame is written again");
            linked_ = true;
            lostSince_.reset();
        } else if (!written && linked_) {
            LogWarning("File display: " + path_ + ".frame cannot be written (" + why + "); its link is down");
            linked_ = false;
            lostSince_ = std::chrono::system_clock::now();
        }
    }

    std::string Directory() const
    {
        const std::string directory = std::filesystem::path(path_).parent_path().string();
        return directory.empty() ? "." : directory;
    }

    std::mutex mutex_; // guards path_, log_, keys_, linked_, lostSince_ and lastFrame_
    std::string path_;
    UniqueFd log_;
    bool linked_ = false; // the frame file could be written
    std::optional<std::chrono::system_clock::time_point> lostSince_; // none: never linked
    std::optional<std::string> lastFrame_; // the last frame's text, written again when the link is back
    std::unique_ptr<KeysFile> keys_; // its thread calls DeliverKey, which takes no lock of ours
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(FileDisplay, kClass)
