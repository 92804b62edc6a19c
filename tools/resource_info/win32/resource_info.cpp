// resource_info.exe: reads back what a program file carries (version information, manifest,
// icons) the way Windows itself reads it, one command per run. Output is UTF-8, one
// "name<TAB>value" line per field; exit 0 success, 1 failure (reason on stderr), 2 bad usage.
#include "common/win32/windows_support.h"
#include "tools/resource_info/resource_text.h"

#include <shlwapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using varnell::tools::IconEntry;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// The query paths are ASCII.
std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

int Fail(const std::string& reason) {
  std::fprintf(stderr, "resource_info: %s\n", reason.c_str());
  return kFailed;
}

int FailWithError(const std::string& what) {
  return Fail(what + ": " + varnell::win32::SystemErrorText(GetLastError()));
}

void Line(const std::string& name, const std::string& value) {
  std::printf("%s\t%s\n", name.c_str(), value.c_str());
}

std::string FileTypeText(DWORD type) {
  switch (type) {
    case VFT_APP:
      return "application";
    case VFT_DLL:
      return "dll";
    default:
      return std::to_string(type);
  }
}

// The fixed version numbers, the translations, and every standard string of each translation.
int PrintVersion(const std::wstring& file) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return FailWithError("GetFileVersionInfoSize");
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
    return FailWithError("GetFileVersionInfo");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed)
    return Fail("no fixed version information");
  if (fixed->dwSignature != VS_FFI_SIGNATURE) return Fail("bad fixed version signature");
  using varnell::tools::VersionText;
  Line("FixedFileVersion", VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
  Line("FixedProductVersion", VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  Line("FileType", FileTypeText(fixed->dwFileType));

  struct Translation {
    WORD language;
    WORD code_page;
  };
  Translation* translations = nullptr;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof *translations)
    return Fail("no translation");
  for (UINT i = 0; i < length / sizeof *translations; ++i) {
    const Translation& t = translations[i];
    char code[10];
    std::snprintf(code, sizeof code, "%04x %04x", t.language, t.code_page);
    Line("Translation", code);
    for (const std::string& name : varnell::tools::StandardVersionStrings()) {
      std::wstring path = Wide(varnell::tools::StringFileInfoPath(t.language, t.code_page, name));
      wchar_t* value = nullptr;
      UINT chars = 0;
      if (VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars) &&
          value) {
        // The count includes the terminator when there is one.
        std::wstring text(value, chars);
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        Line(name, Utf8(text));
      }
    }
  }
  return kOk;
}

void CloseModule(HMODULE module) {
  FreeLibrary(module);
}
HMODULE NullModule() {
  return nullptr;
}
using ScopedModule = varnell::win32::ScopedHandle<HMODULE, CloseModule, NullModule>;

ScopedModule LoadResources(const std::wstring& file) {
  return ScopedModule(LoadLibraryExW(file.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

// The bytes of one resource, or nothing when there is none.
std::string_view ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return std::string_view(static_cast<const char*>(bytes), SizeofResource(module, found));
}

// The application manifest, as the loader finds it when the program starts.
int PrintManifest(const std::wstring& file) {
  ScopedModule module = LoadResources(file);
  if (!module) return FailWithError("LoadLibraryEx");
  std::string_view text = ResourceBytes(module.Get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  if (text.empty()) return Fail("no manifest resource 1");
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (text.back() != '\n') std::fputc('\n', stdout);
  return kOk;
}

// The common controls that the program's manifest brings in: an activation context made from
// the manifest, and the version of the comctl32.dll loaded inside it.
int PrintCommonControls(const std::wstring& file) {
  ACTCTXW context = {};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = file.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE handle = CreateActCtxW(&context);
  if (handle == INVALID_HANDLE_VALUE) return FailWithError("CreateActCtx");
  ULONG_PTR cookie = 0;
  if (!ActivateActCtx(handle, &cookie)) {
    int status = FailWithError("ActivateActCtx");
    ReleaseActCtx(handle);
    return status;
  }
  int status = kOk;
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  auto get_version = comctl ? reinterpret_cast<DLLGETVERSIONPROC>(
                                  reinterpret_cast<void*>(GetProcAddress(comctl, "DllGetVersion")))
                            : nullptr;
  DLLVERSIONINFO info = {};
  info.cbSize = sizeof info;
  if (!comctl) {
    status = FailWithError("LoadLibrary(comctl32.dll)");
  } else if (!get_version || FAILED(get_version(&info))) {
    status = Fail("comctl32.dll gives no DllGetVersion");
  } else {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(comctl, path, MAX_PATH);
    Line("comctl32", std::to_string(info.dwMajorVersion) + "." +
                         std::to_string(info.dwMinorVersion) + "\t" + Utf8(path));
  }
  if (comctl) FreeLibrary(comctl);
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(handle);
  return status;
}

// An icon group's name as FindResource takes it ("#100" for a number) and as it is printed.
struct GroupName {
  std::wstring key;
  std::string shown;
};

BOOL CALLBACK CollectGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR groups) {
  GroupName group;
  if (IS_INTRESOURCE(name)) {
    auto id = static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name));
    group = {L"#" + std::to_wstring(id), std::to_string(id)};
  } else {
    group = {name, Utf8(name)};
  }
  reinterpret_cast<std::vector<GroupName>*>(groups)->push_back(group);
  return TRUE;
}

// The size that Windows decodes an icon image to, or "undecodable".
std::string DecodedSize(std::string_view image) {
  HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(const_cast<char*>(image.data())),
                                        static_cast<DWORD>(image.size()), TRUE, 0x00030000, 0, 0,
                                        LR_DEFAULTCOLOR);
  if (!icon) return "undecodable";
  std::string text = "undecodable";
  ICONINFO parts = {};
  if (GetIconInfo(icon, &parts)) {
    BITMAP bitmap = {};
    HBITMAP shown = parts.hbmColor ? parts.hbmColor : parts.hbmMask;
    if (GetObjectW(shown, sizeof bitmap, &bitmap)) {
      // A monochrome icon's mask holds the AND and XOR halves one above the other.
      int height = parts.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
      text = std::to_string(bitmap.bmWidth) + "x" + std::to_string(height);
    }
    if (parts.hbmColor) DeleteObject(parts.hbmColor);
    if (parts.hbmMask) DeleteObject(parts.hbmMask);
  }
  DestroyIcon(icon);
  return text;
}

// Every icon group with its images: "group <id>", then per image
// "icon <id> <w>x<h> <bits> <bytes> <decoded size>".
int PrintIcons(const std::wstring& file) {
  ScopedModule module = LoadResources(file);
  if (!module) return FailWithError("LoadLibraryEx");
  std::vector<GroupName> groups;
  EnumResourceNamesW(module.Get(), RT_GROUP_ICON, CollectGroup,
                     reinterpret_cast<LONG_PTR>(&groups));
  if (groups.empty()) return Fail("no icon group");
  for (const GroupName& group : groups) {
    Line("group", group.shown);
    std::string_view directory = ResourceBytes(module.Get(), group.key.c_str(), RT_GROUP_ICON);
    auto entries = varnell::tools::ParseIconGroup(
        reinterpret_cast<const std::uint8_t*>(directory.data()), directory.size());
    if (!entries) return Fail("icon group " + group.shown + " is malformed");
    for (const IconEntry& entry : *entries) {
      std::string_view image = ResourceBytes(module.Get(), MAKEINTRESOURCEW(entry.id), RT_ICON);
      std::string decoded = image.empty()                 ? "missing"
                            : image.size() != entry.bytes ? "size differs"
                                                          : DecodedSize(image);
      Line("icon", std::to_string(entry.id) + "\t" + std::to_string(entry.width) + "x" +
                       std::to_string(entry.height) + "\t" + std::to_string(entry.bits_per_pixel) +
                       "\t" + std::to_string(entry.bytes) + "\t" + decoded);
    }
  }
  return kOk;
}

int Usage() {
  std::fprintf(stderr,
               "usage: resource_info.exe version|manifest|comctl|icons <program file>\n"
               "  version   fixed version numbers, translations and version strings\n"
               "  manifest  the application manifest (resource 1) as stored\n"
               "  comctl    the common controls version that the manifest brings in\n"
               "  icons     the icon groups and their images\n");
  return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // "\n", not "\r\n": the tests read the output on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc != 3) return Usage();
  const std::wstring command = argv[1];
  const std::wstring file = argv[2];
  if (command == L"version") return PrintVersion(file);
  if (command == L"manifest") return PrintManifest(file);
  if (command == L"comctl") return PrintCommonControls(file);
  if (command == L"icons") return PrintIcons(file);
  return Usage();
}
