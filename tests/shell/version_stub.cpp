// A stand-in common controls library for the version test: it answers 4.70,
// or, built with TARNEL_VERSION_FAILS, fails the call.
#include <windows.h>
#include <shlwapi.h>

extern "C" __declspec(dllexport) HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* version) {
#ifdef TARNEL_VERSION_FAILS
    version->dwMajorVersion = 9;  // must not be taken
    return E_NOTIMPL;
#else
    version->dwMajorVersion = 4;
    version->dwMinorVersion = 70;
    return S_OK;
#endif
}
