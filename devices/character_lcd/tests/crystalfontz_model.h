// SPDX-License-Identifier: MIT
#pragma once
// A CrystalFontz packet module on a pseudo-terminal, for the tests: a thread reads what the
// driver sends, checks each packet's CRC, acts on the commands (its screen, user characters,
// backlight, contrast, key, fan and temperature reporting, GPIOs) and answers them, as the module
// does. It can be told to lose answers, to damage their CRC, to fall silent, and to send key and
// temperature reports of its own, before an answer or on their own. Fans and temperature sensors
// wired to it (its SCAB) report every 100 ms once reporting asks for them; without any, nothing
// reports, as on a module without the board.

#include "crystalfontz_module.h"
#include "crystalfontz_packet.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
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
    int fanMask = -1; // fan reporting's; -1 never set
    std::int64_t temperatureMask = -1; // temperature reporting's; -1 never set
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

    // A fan (0-3) wired to the SCAB, reporting these tach cycles and timer ticks when asked for.
    void AttachFan(int index, int cycles, int ticks);
    // A temperature sensor (0-31) wired to it, at `sixteenths` of a degree Celsius, its CRC
    // reported good or bad.
    void AttachTemperature(int index, int sixteenths, bool crcGood = true);

    // Bytes sent to the driver as they are (reports, garbage).
    bool Send(std::string_view bytes);
    static Packet KeyReport(std::uint8_t code)
    {
        return {PacketKind::Report, cfa::kKeyReport, std::string(1, char(code))};
    }
    // Sensor `index` at `sixteenths` of a degree Celsius.
    static Packet TemperatureReport(int index, int sixteenths, bool crcGood = true);
    static Packet FanReport(int index, int cycles, int ticks);

private:
    void Run();
    std::string Answer(const Packet& command); // under mutex_
    std::string SensorReports() const; // under mutex_
    void SendSensorReportsWhenDue();

    const CrystalfontzModel model_;
    int master_ = -1;
    std::string path_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_; // guards state_, the faults, reader_ and the sensors; also the master's writes
    CrystalfontzState state_;
    int drop_ = 0;
    int corrupt_ = 0;
    bool silent_ = false;
    Packet report_;
    int reports_ = 0;
    PacketReader reader_;
    std::map<int, Packet> fans_; // by index: the report each sends
    std::map<int, Packet> temperatures_;
    std::chrono::steady_clock::time_point lastReports_{};
    std::thread thread_;
};

} // namespace pixtera::lcd::test
