// Path rules of the installer.
#include "falcrest/paths.h"

#include "falcrest/installer_names.h"

namespace falcrest {

namespace {

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

}  // namespace

std::u16string JoinPath(const std::u16string& base, const std::u16string& name) {
  if (base.empty()) return name;
  if (name.empty()) return base;
  if (name.size() > 2 && name[1] == u':') return name;
  if (name.size() >= 2 && name[0] == u'\\' && name[1] == u'\\') return name;
  std::u16string joined = base;
  if (!IsSeparator(base.back())) joined += u'\\';
  joined.append(name, IsSeparator(name.front()) ? 1 : 0);
  return joined;
}

std::u16string ExpandedOr(Environment& environment, const std::u16string& text_template,
                          const std::u16string& fallback) {
  std::optional<std::u16string> expanded = environment.ExpandText(text_template);
  return expanded ? *expanded : fallback;
}

std::u16string DriverDirectory(Environment& environment) {
  return ExpandedOr(environment, kSpoolDriverDirectoryTemplate, kSpoolDriverDirectoryFallback);
}

std::u16string LocationText(Environment& environment) {
  return JoinPath(DriverDirectory(environment), kLocationLastElement);
}

std::u16string WithTrailingBackslash(const std::u16string& folder) {
  if (!folder.empty() && folder.back() == u'\\') return folder;
  return folder + u'\\';
}

std::u16string FolderOfFile(const std::u16string& file_path) {
  const size_t last = file_path.rfind(u'\\');
  return last == std::u16string::npos ? std::u16string() : file_path.substr(0, last + 1);
}

}  // namespace falcrest
