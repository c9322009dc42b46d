// Reads the built Windows module as the system and installers do: its export table, the DLLs
// it imports, its version record through the Windows version API, and its manifest. With
// --installer, reads the installer's version record instead and compares it with the module's.
//
// Usage: PelorvaneModuleCheck <path to Pelorvane.vst3 (the DLL)>
//        PelorvaneModuleCheck --installer <path to the installer> <path to the module>

#include "CheckReport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace
{
std::wstring widen (const std::string& text)
{
    const auto length = MultiByteToWideChar (CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide (static_cast<size_t> (std::max (length, 1)), L'\0');
    MultiByteToWideChar (CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize (wide.size() - 1);
    return wide;
}

std::string narrow (const wchar_t* text)
{
    std::string result;

    for (; *text != 0; ++text)
        result += (*text > 0 && *text < 128) ? static_cast<char> (*text) : '?';

    return result;
}

std::string lowerCase (std::string text)
{
    std::transform (text.begin(), text.end(), text.begin(), [] (unsigned char c)
                    { return static_cast<char> (std::tolower (c)); });
    return text;
}

//==============================================================================
/** The module mapped as an image but not run, so its tables can be walked by address. */
class MappedImage
{
public:
    explicit MappedImage (const std::wstring& path)
        : module (LoadLibraryExW (path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES))
    {
    }

    ~MappedImage()
    {
        if (module != nullptr)
            FreeLibrary (module);
    }

    bool isMapped() const { return module != nullptr; }

    template <typename Type>
    const Type* at (DWORD relativeAddress) const
    {
        return reinterpret_cast<const Type*> (reinterpret_cast<const BYTE*> (module) + relativeAddress);
    }

    const IMAGE_DATA_DIRECTORY& directory (int index) const
    {
        const auto* dos = at<IMAGE_DOS_HEADER> (0);
        const auto* nt = at<IMAGE_NT_HEADERS64> (static_cast<DWORD> (dos->e_lfanew));
        return nt->OptionalHeader.DataDirectory[index];
    }

private:
    HMODULE module;

    MappedImage (const MappedImage&) = delete;
    MappedImage& operator= (const MappedImage&) = delete;
};

void checkExports (const MappedImage& image)
{
    section ("export table");

    const auto& entry = image.directory (IMAGE_DIRECTORY_ENTRY_EXPORT);
    check (entry.VirtualAddress != 0, "the module has an export table");

    if (entry.VirtualAddress == 0)
        return;

    const auto* exports = image.at<IMAGE_EXPORT_DIRECTORY> (entry.VirtualAddress);
    checkText (image.at<char> (exports->Name), "Pelorvane.dll", "the name the export table gives the module");

    std::set<std::string> names;
    const auto* nameAddresses = image.at<DWORD> (exports->AddressOfNames);

    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert (image.at<char> (nameAddresses[i]));

    std::string listed;

    for (const auto& name : names)
        listed += name + " ";

    check (names == std::set<std::string> { "ExitDll", "GetPluginFactory", "InitDll" },
           "exports are exactly ExitDll, GetPluginFactory and InitDll; got " + listed);
}

bool isSystemDll (const std::string& name)
{
    wchar_t systemFolder[MAX_PATH] = {};
    GetSystemDirectoryW (systemFolder, MAX_PATH);
    const auto path = std::wstring (systemFolder) + L"\\" + widen (name);
    return GetFileAttributesW (path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void checkImports (const MappedImage& image)
{
    section ("imported DLLs");

    const auto& entry = image.directory (IMAGE_DIRECTORY_ENTRY_IMPORT);
    check (entry.VirtualAddress != 0, "the module has an import table");

    if (entry.VirtualAddress == 0)
        return;

    // The compiler's and the toolchain's own run-time DLLs must never be needed beside the module.
    const std::set<std::string> toolchainDlls { "libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll", "zlib1.dll", "libpng16-16.dll", "libjpeg-8.dll" };
    int count = 0;

    for (const auto* import = image.at<IMAGE_IMPORT_DESCRIPTOR> (entry.VirtualAddress); import->Name != 0; ++import)
    {
        const std::string name = image.at<char> (import->Name);
        ++count;
        check (toolchainDlls.count (lowerCase (name)) == 0, name + " is not a toolchain run-time DLL");
        check (isSystemDll (name), name + " is a system DLL");
    }

    std::printf ("  %d DLLs imported\n", count);
    check (count > 0, "the import table lists the system DLLs");
}

//==============================================================================
class VersionRecord
{
public:
    explicit VersionRecord (const std::wstring& path)
    {
        DWORD ignored = 0;
        const auto size = GetFileVersionInfoSizeW (path.c_str(), &ignored);

        if (size == 0)
            return;

        data.resize (size);

        if (! GetFileVersionInfoW (path.c_str(), 0, size, data.data()))
            data.clear();
    }

    bool isPresent() const { return ! data.empty(); }

    const void* value (const std::wstring& key, UINT& length) const
    {
        void* result = nullptr;
        length = 0;

        if (! VerQueryValueW (data.data(), key.c_str(), &result, &length))
            return nullptr;

        return result;
    }

    std::string text (const std::string& name, const std::wstring& block = L"040904E4") const
    {
        UINT length = 0;
        const auto* found = static_cast<const wchar_t*> (value (L"\\StringFileInfo\\" + block + L"\\" + widen (name), length));
        return found != nullptr ? narrow (found) : "<missing>";
    }

    /** The string block of the record's first translation, named as VerQueryValueW wants it. */
    std::wstring firstBlock() const
    {
        UINT length = 0;
        const auto* translation = static_cast<const WORD*> (value (L"\\VarFileInfo\\Translation", length));

        if (translation == nullptr || length < 2 * sizeof (WORD))
            return L"040904E4";

        wchar_t name[9] = {};
        swprintf (name, 9, L"%04X%04X", translation[0], translation[1]);
        return name;
    }

private:
    std::vector<BYTE> data;
};

std::string fourPartVersion (DWORD high, DWORD low)
{
    return std::to_string (HIWORD (high)) + "." + std::to_string (LOWORD (high)) + "."
           + std::to_string (HIWORD (low)) + "." + std::to_string (LOWORD (low));
}

void checkFixedPart (const VersionRecord& record)
{
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*> (record.value (L"\\", length));
    check (fixed != nullptr && length >= sizeof (VS_FIXEDFILEINFO), "the record has a fixed part");

    if (fixed == nullptr)
        return;

    checkNumber (fixed->dwSignature, 0xFEEF04BD, "fixed part signature");
    checkText (fourPartVersion (fixed->dwFileVersionMS, fixed->dwFileVersionLS), "2.0.0.0", "fixed file version");
    checkText (fourPartVersion (fixed->dwProductVersionMS, fixed->dwProductVersionLS), "0.0.0.0", "fixed product version");
    checkNumber (fixed->dwFileFlags, 0, "file flags");
    checkNumber (fixed->dwFileOS, 0, "operating system");
    checkNumber (fixed->dwFileType, 0, "file type");
}

void checkTranslation (const VersionRecord& record)
{
    UINT length = 0;
    const auto* translation = static_cast<const WORD*> (record.value (L"\\VarFileInfo\\Translation", length));
    check (translation != nullptr && length == 2 * sizeof (WORD), "exactly one translation entry");

    if (translation == nullptr || length < 2 * sizeof (WORD))
        return;

    checkNumber (translation[0], 0x0409, "translation language");
    checkNumber (translation[1], 1252, "translation code page");
}

void checkVersionRecord (const std::wstring& path)
{
    section ("version record");

    const VersionRecord record (path);
    check (record.isPresent(), "GetFileVersionInfoW reads a version record");

    if (! record.isPresent())
        return;

    checkFixedPart (record);
    checkTranslation (record);

    checkText (record.text ("CompanyName"), "Ombrix Audio", "CompanyName");
    checkText (record.text ("FileDescription"), "Pelorvane", "FileDescription");
    checkText (record.text ("FileVersion"), "2.0.0", "FileVersion");
    checkText (record.text ("ProductName"), "Pelorvane", "ProductName");
    checkText (record.text ("ProductVersion"), "2.0.0", "ProductVersion");

    const auto copyright = record.text ("LegalCopyright");
    check (copyright.find ("Ombrix Audio") != std::string::npos, "LegalCopyright names the maker: \"" + copyright + "\"");
}

/** The installer says the same product, maker, version and copyright as the module it installs. */
int checkInstallerVersionRecord (const std::wstring& installerPath, const std::wstring& modulePath)
{
    section ("installer's version record");

    const VersionRecord installer (installerPath);
    const VersionRecord module (modulePath);
    check (installer.isPresent(), "GetFileVersionInfoW reads the installer's version record");
    check (module.isPresent(), "GetFileVersionInfoW reads the module's version record");

    if (! installer.isPresent() || ! module.isPresent())
        return finishReport();

    const auto block = installer.firstBlock();

    for (const auto* name : { "ProductName", "ProductVersion", "CompanyName", "LegalCopyright" })
    {
        const auto text = installer.text (name, block);
        std::printf ("  %s: %s\n", name, text.c_str());
        checkText (text, module.text (name), std::string ("the installer's ") + name + " is the module's");
    }

    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*> (installer.value (L"\\", length));
    check (fixed != nullptr && length >= sizeof (VS_FIXEDFILEINFO), "the installer's record has a fixed part");

    if (fixed != nullptr)
        checkText (fourPartVersion (fixed->dwProductVersionMS, fixed->dwProductVersionLS), module.text ("ProductVersion") + ".0", "the installer's fixed product version is the module's version");

    return finishReport();
}

//==============================================================================
bool contains (const std::string& text, const std::string& part)
{
    return text.find (part) != std::string::npos;
}

void checkManifest (const std::wstring& path)
{
    section ("manifest");

    const auto module = LoadLibraryExW (path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    check (module != nullptr, "the module loads as a data file");

    if (module == nullptr)
        return;

    // A DLL's own manifest is resource type RT_MANIFEST with id 2.
    const auto resource = FindResourceW (module, MAKEINTRESOURCEW (2), MAKEINTRESOURCEW (24));
    check (resource != nullptr, "an RT_MANIFEST resource with id 2");

    if (resource != nullptr)
    {
        const auto* bytes = static_cast<const char*> (LockResource (LoadResource (module, resource)));
        const std::string manifest (bytes, SizeofResource (module, resource));

        check (contains (manifest, "level=\"asInvoker\""), "asks for the asInvoker execution level");
        check (contains (manifest, "uiAccess=\"false\""), "asks for no UI access");
        check (contains (manifest, "name=\"Microsoft.Windows.Common-Controls\""), "depends on the common controls");
        check (contains (manifest, "version=\"6.0.0.0\""), "common controls version 6.0.0.0");
    }

    FreeLibrary (module);
}
} // namespace

//==============================================================================
int main (int argc, char** argv)
{
    if (argc == 4 && std::string (argv[1]) == "--installer")
        return checkInstallerVersionRecord (widen (argv[2]), widen (argv[3]));

    if (argc != 2)
    {
        std::fprintf (stderr, "usage: %s <path to the module>\n       %s --installer <path to the installer> <path to the module>\n", argv[0], argv[0]);
        return 2;
    }

    const auto path = widen (argv[1]);

    {
        const MappedImage image (path);
        check (image.isMapped(), "the module maps as an image");

        if (image.isMapped())
        {
            checkExports (image);
            checkImports (image);
        }
    }

    checkVersionRecord (path);
    checkManifest (path);

    return finishReport();
}
