// SPDX-License-Identifier: MIT
#include "crystalfontz_detection.h"

#include "crystalfontz_packet.h"
#include "crystalfontz_settings.h"

namespace pixtera::detection {
namespace {

constexpr std::uint16_t kFtdiVendor = 0x0403;
// The modules answer a command within 250 ms.
constexpr std::chrono::milliseconds kAnswerTime{250};
// Echoed by the module, and by nothing that does not take these packets.
constexpr std::string_view kPingData = "Pixtera?";

} // namespace

std::optional<lcd::CrystalfontzModel> CrystalfontzModelOf(const UsbId& id)
{
    if (id.vendor != kFtdiVendor)
        return std::nullopt;
    switch (id.product) {
    case 0xFC0B: return lcd::CrystalfontzModel::Cfa633;
    case 0xFC0C: return lcd::CrystalfontzModel::Cfa631;
    case 0xFC0D: return lcd::CrystalfontzModel::Cfa635;
    default: return std::nullopt;
    }
}

CrystalfontzOutcome PingCrystalfontz(SerialPort& port, const std::string& path, lcd::CrystalfontzModel model)
{
    const lcd::Packet ping{lcd::PacketKind::Command, lcd::cfa::kPing, std::string(kPingData)};
    const lcd::Packet echo{lcd::PacketKind::Response, lcd::cfa::kPing, std::string(kPingData)};
    const int usual = lcd::TraitsOf(model).speed;
    bool heard = false;
    for (const int speed : {usual, usual == 115200 ? 19200 : 115200}) {
        if (!port.SetSpeed(speed) || !port.Write(lcd::EncodePacket(ping)))
            continue;
        // Key reports may come first; anything beyond a few packets' worth is not waited for.
        lcd::PacketReader reader;
        const std::string answer = port.Read(lcd::EncodePacket(echo).size(), kAnswerTime);
        heard = heard || !answer.empty();
        for (const lcd::Packet& packet : reader.Feed(answer)) {
            if (packet != echo)
                continue;
            const lcd::CrystalfontzTraits& traits = lcd::TraitsOf(model);
            FoundModule found;
            found.progId = lcd::kCrystalfontzDriver.progId;
            found.settings = lcd::kCrystalfontzDriver.settings;
            found.configuration = "device=" + path + ";model=" + std::string(traits.name.substr(3)) +
                                  (speed == usual ? "" : ";speed=" + std::to_string(speed));
            found.place = path + " (" + std::string(traits.name) + ", answering at " + std::to_string(speed) + " baud)";
            return {found, {}};
        }
    }
    return {std::nullopt, heard ? "a CrystalFontz module's USB id, but it does not answer a ping as one does"
                                : "a CrystalFontz module's USB id, but no answer to a ping at 19200 or 115200 baud"};
}

} // namespace pixtera::detection
