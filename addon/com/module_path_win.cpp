// Full path of a loaded module: grows the buffer until the whole path fits.
#include "addon/com/module_path_win.h"

namespace com {

HRESULT ModuleFilePath(HMODULE module, std::wstring& path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = ::GetModuleFileNameW(module, &buffer[0], size);
        if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
        if (length < size) {  // equal means truncated
            path.assign(buffer, 0, length);
            return S_OK;
        }
        if (size >= 32768) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        buffer.resize(size * 2);
    }
}

}  // namespace com
