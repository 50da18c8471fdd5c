// The installer's PATH editor: puts one folder on the machine's or the user's PATH, or takes it
// off again, and never shortens anything else. NSIS strings hold 1,023 characters and a PATH may
// be far longer, so the installer hands the edit to this program, which reads the registry value
// whole, changes only the one entry, writes it whole and reads it back.
//
//   path_entry add|remove machine|user FOLDER
//
// Exit status: 0 done; 3 nothing to do (already there, or not there); 2 the value could not be
// read or written whole (nothing was changed, or the old value was put back); 1 usage.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int done = 0, usage = 1, failed = 2, nothingToDo = 3;
// The longest value the environment block takes for one variable.
constexpr std::size_t longestValue = 32767;

struct PathValue {
  bool present = false;
  DWORD type = REG_EXPAND_SZ;
  std::wstring text;
};

bool readValue(HKEY key, PathValue& value) {
  std::vector<wchar_t> buffer(4096);
  for (;;) {
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = RegQueryValueExW(key, L"Path", nullptr, &type,
                                            reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (status == ERROR_FILE_NOT_FOUND) {
      value = PathValue{};
      return true;
    }
    if (status == ERROR_MORE_DATA) {
      buffer.resize(bytes / sizeof(wchar_t) + 2);
      continue;
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    std::size_t length = bytes / sizeof(wchar_t);
    while (length > 0 && buffer[length - 1] == L'\0') --length;
    value.present = true;
    value.type = type;
    value.text.assign(buffer.data(), length);
    return true;
  }
}

bool writeValue(HKEY key, const PathValue& value) {
  if (!value.present) {
    const LSTATUS status = RegDeleteValueW(key, L"Path");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  const DWORD bytes = static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, L"Path", 0, value.type,
                        reinterpret_cast<const BYTE*>(value.text.c_str()), bytes) == ERROR_SUCCESS;
}

// Entries compare without regard to case or a closing backslash, as Windows finds folders.
bool sameFolder(std::wstring a, std::wstring b) {
  while (!a.empty() && a.back() == L'\\') a.pop_back();
  while (!b.empty() && b.back() == L'\\') b.pop_back();
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// [begin, end) of each entry of the value.
std::vector<std::pair<std::size_t, std::size_t>> entries(const std::wstring& text) {
  std::vector<std::pair<std::size_t, std::size_t>> found;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(L';', begin);
    found.emplace_back(begin, end == std::wstring::npos ? text.size() : end);
    if (end == std::wstring::npos) return found;
    begin = end + 1;
  }
}

bool contains(const std::wstring& text, const std::wstring& folder) {
  for (const auto& [begin, end] : entries(text)) {
    if (sameFolder(text.substr(begin, end - begin), folder)) return true;
  }
  return false;
}

// The value without every entry naming the folder, each with one separator beside it; the
// other entries keep every character.
std::wstring without(const std::wstring& text, const std::wstring& folder) {
  std::wstring kept;
  bool first = true;
  for (const auto& [begin, end] : entries(text)) {
    const std::wstring entry = text.substr(begin, end - begin);
    if (sameFolder(entry, folder)) continue;
    if (!first) kept += L';';
    kept += entry;
    first = false;
  }
  return kept;
}

int edit(HKEY root, const wchar_t* subkey, bool add, const std::wstring& folder) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return failed;
  }
  PathValue before;
  if (!readValue(key, before)) {
    RegCloseKey(key);
    return failed;
  }
  PathValue after = before;
  if (add) {
    if (contains(before.text, folder)) {
      RegCloseKey(key);
      return nothingToDo;
    }
    if (!after.text.empty() && after.text.back() != L';') after.text += L';';
    after.text += folder;
    after.present = true;
  } else {
    if (!before.present || !contains(before.text, folder)) {
      RegCloseKey(key);
      return nothingToDo;
    }
    after.text = without(before.text, folder);
    // A value that held only this folder was made by the installer: it goes with it.
    after.present = !after.text.empty();
  }
  if (after.text.size() > longestValue) {
    RegCloseKey(key);
    return failed;
  }
  PathValue written;
  bool whole = writeValue(key, after) && readValue(key, written) &&
               written.present == after.present && written.text == after.text;
  if (!whole) writeValue(key, before);
  RegCloseKey(key);
  if (!whole) return failed;
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                      SMTO_ABORTIFHUNG, 5000, &result);
  return done;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return usage;
  const std::wstring action = argv[1], scope = argv[2], folder = argv[3];
  if ((action != L"add" && action != L"remove") || (scope != L"machine" && scope != L"user") ||
      folder.empty() || folder.find(L';') != std::wstring::npos) {
    return usage;
  }
  if (scope == L"machine") {
    return edit(HKEY_LOCAL_MACHINE,
                L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                action == L"add", folder);
  }
  return edit(HKEY_CURRENT_USER, L"Environment", action == L"add", folder);
}
