// What the stand-in driver keeps in a printer's device mode, and what it says it can do.
#include "tools/standin_kit/document_settings.h"

#include <cstring>

namespace standin_kit {

namespace {

constexpr int16_t kPapers[] = {kPaperLetter, kPaperA4};
constexpr int32_t kResolutions[] = {kResolutionDpi, kResolutionDpi};
constexpr int32_t kLandscapeRotation = 90;
constexpr int32_t kSpecVersion = 0x0401;

bool KnownPaper(int16_t paper) {
  for (int16_t known : kPapers)
    if (paper == known) return true;
  return false;
}

}  // namespace

DocumentSettings WithRequested(const DocumentSettings& base, uint32_t fields,
                               const DocumentSettings& requested) {
  DocumentSettings settings = base;
  if ((fields & kFieldOrientation) &&
      (requested.Orientation == kPortrait || requested.Orientation == kLandscape))
    settings.Orientation = requested.Orientation;
  if ((fields & kFieldPaperSize) && KnownPaper(requested.PaperSize))
    settings.PaperSize = requested.PaperSize;
  if ((fields & kFieldCopies) && requested.Copies >= 1 && requested.Copies <= kMaxCopies)
    settings.Copies = requested.Copies;
  return settings;
}

int32_t DeviceCapability(uint16_t capability, void* output, uint32_t devmode_bytes) {
  switch (capability) {
    case kCapFields:
      return static_cast<int32_t>(kKeptFields);
    case kCapPapers:
      if (output) std::memcpy(output, kPapers, sizeof kPapers);
      return static_cast<int32_t>(sizeof kPapers / sizeof kPapers[0]);
    case kCapSize:
      return static_cast<int32_t>(devmode_bytes);
    case kCapExtra:
      return 0;
    case kCapVersion:
      return kSpecVersion;
    case kCapDriver:
      return kDriverVersion;
    case kCapEnumResolutions:
      if (output) std::memcpy(output, kResolutions, sizeof kResolutions);
      return 1;
    case kCapOrientation:
      return kLandscapeRotation;
    case kCapCopies:
      return kMaxCopies;
    default:
      return kCapUnsupported;
  }
}

}  // namespace standin_kit
