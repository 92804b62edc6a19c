// What the stand-in driver keeps in a printer's device mode, and what it says it can do.
// Portable, so that the rules are tested without Windows; the configuration DLL copies these
// values into and out of DEVMODEW.
#pragma once

#include <cstdint>

namespace standin_kit {

// dmFields bits and the values used, as in DEVMODE.
constexpr uint32_t kFieldOrientation = 0x00000001;
constexpr uint32_t kFieldPaperSize = 0x00000002;
constexpr uint32_t kFieldCopies = 0x00000100;
constexpr uint32_t kFieldPrintQuality = 0x00000400;
constexpr uint32_t kFieldYResolution = 0x00002000;
constexpr uint32_t kKeptFields =
    kFieldOrientation | kFieldPaperSize | kFieldCopies | kFieldPrintQuality | kFieldYResolution;

constexpr int16_t kPortrait = 1;
constexpr int16_t kLandscape = 2;
constexpr int16_t kPaperLetter = 1;
constexpr int16_t kPaperA4 = 9;
constexpr int16_t kResolutionDpi = 600;
constexpr int16_t kMaxCopies = 999;
// dmDriverVersion of the stand-in's device modes.
constexpr uint16_t kDriverVersion = 0x0100;

struct DocumentSettings {
  int16_t Orientation = kPortrait;
  int16_t PaperSize = kPaperA4;
  int16_t Copies = 1;
  int16_t PrintQuality = kResolutionDpi;
  int16_t YResolution = kResolutionDpi;

  bool operator==(const DocumentSettings&) const = default;
};

// `base` with the fields that `fields` names taken from `requested` where the driver can do
// them; the resolution stays 600 dpi whatever is asked.
DocumentSettings WithRequested(const DocumentSettings& base, uint32_t fields,
                               const DocumentSettings& requested);

// DeviceCapabilities indexes the stand-in answers.
constexpr uint16_t kCapFields = 1;
constexpr uint16_t kCapPapers = 2;
constexpr uint16_t kCapSize = 8;
constexpr uint16_t kCapExtra = 9;
constexpr uint16_t kCapVersion = 10;
constexpr uint16_t kCapDriver = 11;
constexpr uint16_t kCapEnumResolutions = 13;
constexpr uint16_t kCapOrientation = 17;
constexpr uint16_t kCapCopies = 18;
constexpr int32_t kCapUnsupported = -1;

// The answer to one capability question. Lists (paper sizes as 16-bit units, resolutions as
// pairs of 32-bit values) are written to `output` unless it is null; the count comes back either
// way. `devmode_bytes` is the size of the device mode the driver writes.
int32_t DeviceCapability(uint16_t capability, void* output, uint32_t devmode_bytes);

}  // namespace standin_kit
