// SPDX-License-Identifier: MIT
#pragma once
// A CrystalFontz packet module on a pseudo-terminal, for the tests: a thread reads what the
// driver sends, checks each packet's CRC, acts on the commands (its screen, user characters,
// backlight, contrast, key reporting, GPIOs) and answers them, as the module does. It can be told
// to lose answers, to damage their CRC, to fall silent, and to send key and temperature reports
// of its own, before an answer or on their own.

#include "crystalfontz_module.h"
#include "crystalfontz_packet.h"

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pixtera::lcd::test {

struct CrystalfontzState {
    std::string screen; // its DDRAM, row after row
    std::array<Glyph, kUserCharacters> glyphs{}; // its CGRAM
    int backlight = -1; // 0-100; -1 never set
    int contrast = -1;
    int cursorStyle = -1;
    int keyPressMask = -1;
    int keyReleaseMask = -1;
    int watchdog = -1; // seconds; 0 disarmed
    std::array<int, 13> gpio{}; // duty of each GPIO
    std::vector<std::uint8_t> commands; // every command acted on, in order
    std::uint64_t received = 0; // bytes from the driver
    std::uint64_t badPackets = 0; // bytes the module's reader dropped
    int refused = 0; // commands answered with an error
};

class CrystalfontzPty {
public:
    explicit CrystalfontzPty(CrystalfontzModel model);
    CrystalfontzPty(const CrystalfontzPty&) = delete;
    CrystalfontzPty& operator=(const CrystalfontzPty&) = delete;
    ~CrystalfontzPty();

    const std::string& path() const { return path_; }
    CrystalfontzState state() const;
    void ResetCounts(); // received bytes and commands

    // Faults for the next answers.
    void DropAnswers(int count);
    void CorruptAnswers(int count);
    void SetSilent(bool silent);
    // A report sent before each of the next `count` answers.
    void ReportBeforeAnswers(const Packet& report, int count);

    // Bytes sent to the driver as they are (reports, garbage).
    bool Send(std::string_view bytes);
    static Packet KeyReport(std::uint8_t code)
    {
        return {PacketKind::Report, cfa::kKeyReport, std::string(1, char(code))};
    }
    // Sensor `index` at `sixteenths` of a degree Celsius.
    static Packet TemperatureReport(int index, int sixteenths);

private:
    void Run();
    std::string Answer(const Packet& command); // under mutex_

    const CrystalfontzModel model_;
    int master_ = -1;
    std::string path_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_; // guards state_, the faults and reader_; also the master's writes
    CrystalfontzState state_;
    int drop_ = 0;
    int corrupt_ = 0;
    bool silent_ = false;
    Packet report_;
    int reports_ = 0;
    PacketReader reader_;
    std::thread thread_;
};

} // namespace pixtera::lcd::test
