// Stands in for every program of the demo mirror on Windows. A package puts it in a folder of its own, away
// from the launcher's DLLs, so it is a plain Windows program linked statically, as a portable program is. It
// tells which program it replaces from the name and folder it was installed under.
#include <string>
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())));
    const std::size_t slash = self.find_last_of(L"\\/");
    const std::wstring file = self.substr(slash + 1);
    const std::wstring folderPath = self.substr(0, slash);
    const std::wstring folder = folderPath.substr(folderPath.find_last_of(L"\\/") + 1);
    const std::wstring name = file.substr(0, file.rfind(L'.'));
    const std::wstring text = L"Stand-in for " + name + L" (" + folder + L"/" + file + L")";
    MessageBoxW(nullptr, text.c_str(), file.c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
}
