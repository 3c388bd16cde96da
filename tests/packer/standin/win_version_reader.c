/* Reads the version information and the icon of another program as Explorer does.
 * Usage: win_version_reader PROGRAM.exe REPORT. One line per finding, in UTF-8. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static void text(FILE* report, const wchar_t* block, const char* key) {
    wchar_t path[128];
    wchar_t* value = NULL;
    UINT length = 0;
    swprintf(path, 128, L"\\StringFileInfo\\040904B0\\%hs", key);
    if (VerQueryValueW(block, path, (void**)&value, &length) && length > 0) {
        char utf8[512];
        WideCharToMultiByte(CP_UTF8, 0, value, -1, utf8, sizeof utf8, NULL, NULL);
        fprintf(report, "%s=%s\n", key, utf8);
    }
}

static void icon(FILE* report, HMODULE module, int size) {
    HICON handle = (HICON)LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, 0);
    ICONINFO info;
    BITMAP bitmap;
    if (handle && GetIconInfo(handle, &info) &&
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap))
        fprintf(report, "icon %ldx%ld\n", (long)bitmap.bmWidth, (long)bitmap.bmWidth);
}

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    FILE* report = fopen(argv[2], "wb");
    if (!report)
        return 2;
    DWORD ignored;
    DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    void* block = size ? malloc(size) : NULL;
    if (block && GetFileVersionInfoA(argv[1], 0, size, block)) {
        VS_FIXEDFILEINFO* fixed = NULL;
        UINT length = 0;
        if (VerQueryValueA(block, "\\", (void**)&fixed, &length) && fixed &&
            fixed->dwSignature == 0xfeef04bd)
            fprintf(report, "version %lu.%lu.%lu.%lu\n", fixed->dwFileVersionMS >> 16,
                    fixed->dwFileVersionMS & 0xffff, fixed->dwFileVersionLS >> 16,
                    fixed->dwFileVersionLS & 0xffff);
        const char* keys[] = {"ProductName", "ProductVersion", "FileDescription",
                              "CompanyName", "LegalCopyright", "OriginalFilename"};
        for (size_t i = 0; i < sizeof keys / sizeof *keys; ++i)
            text(report, block, keys[i]);
    }
    HMODULE module = LoadLibraryExA(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module) {
        if (LoadIconA(module, MAKEINTRESOURCEA(1)))
            fprintf(report, "loadicon\n");
        icon(report, module, 16);
        icon(report, module, 32);
    }
    fclose(report);
    return 0;
}
