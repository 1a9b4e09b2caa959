// SPDX-License-Identifier: MIT
#pragma once
// The names of pixtera2.xml, in one place for everything that reads or writes it (the service,
// its queue writer, the designer's configuration panel, pixtera-detect):
//
//   <PixteraConfiguration><drivers>
//     <driver clsid="ProgID" configuration="name=value;..." [DispatchWrap="yes"] [isolated="true"]>
//       <action active="no"/> <input .../> <output .../> <event .../> <data active="yes"/>
//       <display active="yes" [menu="panel.pxm"]><queue><queueitem Filename="design.pxd"
//       Runtime="10"/></queue></display>
//     </driver>
//   </drivers></PixteraConfiguration>
//
// Everything else in the file belongs to its user and is kept as it is.

#include <pugixml.hpp>

#include <array>
#include <string_view>

namespace pixtera::config {

inline constexpr char kRoot[] = "PixteraConfiguration";
inline constexpr char kDrivers[] = "drivers";
inline constexpr char kDriver[] = "driver";
// The driver elements, in the order the service creates them.
inline constexpr char kDriverPath[] = "PixteraConfiguration/drivers/driver";

// The driver's attributes.
inline constexpr char kClsid[] = "clsid"; // a ProgID, or a class identifier in braces
inline constexpr char kConfiguration[] = "configuration"; // the plug-in's own text
inline constexpr char kDispatchWrap[] = "DispatchWrap"; // "yes": the plug-in runs in a host process
inline constexpr char kIsolated[] = "isolated"; // "true": the same, as the service's own word

// The capability switches, child elements of a driver with an `active` attribute; only display
// and data are acted on, the others are kept and written for compatibility.
inline constexpr char kAction[] = "action";
inline constexpr char kInput[] = "input";
inline constexpr char kOutput[] = "output";
inline constexpr char kEvent[] = "event";
inline constexpr char kDisplay[] = "display";
inline constexpr char kData[] = "data";
// In the order new drivers get them.
inline constexpr std::array<const char*, 6> kCapabilities{kAction, kInput, kOutput, kEvent, kDisplay, kData};
inline constexpr char kActive[] = "active";

// Switch values; only the exact texts count as on.
inline constexpr char kYes[] = "yes";
inline constexpr char kNo[] = "no";
inline constexpr char kTrue[] = "true";

// A display's queue: display/queue/queueitem, each item a design and its time on the display.
inline constexpr char kQueue[] = "queue";
inline constexpr char kQueueItem[] = "queueitem";
inline constexpr char kQueueItemPath[] = "display/queue/queueitem"; // below a driver element
inline constexpr char kFilename[] = "Filename";
inline constexpr char kRuntime[] = "Runtime"; // seconds

// The display's menu: a menu file (.pxm) its keys open; keys reach it only with <input active="yes"/>.
inline constexpr char kMenuAttribute[] = "menu"; // on the display element

// What a new file holds.
inline constexpr std::string_view kDefaultConfiguration =
    "<PixteraConfiguration><drivers></drivers></PixteraConfiguration>";

// Whether the driver's capability element is switched on (active="yes").
bool IsActive(const pugi::xml_node& driver, const char* capability);

// The drivers element, made (with the root) where it is missing.
pugi::xml_node DriversElement(pugi::xml_document& document);

// A driver element appended to `drivers` with its two attributes.
pugi::xml_node AppendDriver(pugi::xml_node drivers, const char* clsid, const char* configuration);

// Appends the capability element, switched on or off.
void AppendCapability(pugi::xml_node driver, const char* capability, bool active);

} // namespace pixtera::config
