// Where Quintor keeps its settings: beside the program where its folder takes files, else in the
// user's application data, seeded once from the file beside the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "untSettingsFile.h"

namespace {

std::wstring Windows(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

std::string Contents(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? text.str() : "<none>";
}

// A fresh folder under the temporary folder, removed with what it holds.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* name) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + name;
        Remove();
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { Remove(); }
    const std::wstring& Path() const { return path_; }

private:
    void Remove() {
        std::wstring files = path_ + L"\\*\\*";
        DeleteFileW((path_ + L"\\Korvex\\Quintor.ini").c_str());
        RemoveDirectoryW((path_ + L"\\Korvex").c_str());
        DeleteFileW((path_ + L"\\Quintor.ini").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring path_;
};

TEST(SettingsFile, BesideTheProgramWhereItsFolderTakesFiles) {
    TempFolder program(L"quintor-portable"), appData(L"quintor-appdata");
    EXPECT_TRUE(FolderTakesNewFiles(program.Path()));
    EXPECT_EQ(program.Path() + L"\\Quintor.ini",
              SettingsFilePath(program.Path() + L"\\Quintor.exe", appData.Path()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((appData.Path() + L"\\Korvex").c_str()));
}

TEST(SettingsFile, InTheUsersApplicationDataSeededOnceWhereTheProgramFolderIsReadOnly) {
    const char* folder = std::getenv("KORVEX_READONLY_FOLDER");
    const std::wstring readOnly =
        folder ? Windows(std::wstring(folder, folder + strlen(folder))) : std::wstring();
    if (readOnly.empty() || GetFileAttributesW(readOnly.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this file system cannot make a folder that root may not write";
    TempFolder appData(L"quintor-appdata");
    EXPECT_FALSE(FolderTakesNewFiles(readOnly));

    const std::wstring own = appData.Path() + L"\\Korvex\\Quintor.ini";
    EXPECT_EQ(own, SettingsFilePath(readOnly + L"\\Quintor.exe", appData.Path()));
    EXPECT_EQ(Contents(readOnly + L"\\Quintor.ini"), Contents(own));
    EXPECT_EQ("[COMMON]\r\nPortNumber=7\r\n", Contents(own));

    // The user's own edits are not replaced by the shared file again.
    std::ofstream(own.c_str(), std::ios::binary) << "[COMMON]\r\nPortNumber=3\r\n";
    EXPECT_EQ(own, SettingsFilePath(readOnly + L"\\Quintor.exe", appData.Path()));
    EXPECT_EQ("[COMMON]\r\nPortNumber=3\r\n", Contents(own));
}

// Windows virtualises the files of a program without a manifest that says it knows of user
// account control: the settings would go to a private store no one else sees.
TEST(SettingsFile, QuintorRunsAsInvokerWithTheClassicControls) {
    const std::wstring quintor = Windows(L"" QUINTOR_EXE);
    HMODULE image = LoadLibraryExW(quintor.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, image);
    HRSRC resource = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(nullptr, resource);
    const std::string manifest(
        static_cast<const char*>(LockResource(LoadResource(image, resource))),
        SizeofResource(image, resource));
    FreeLibrary(image);
    EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"asInvoker\""));
    EXPECT_EQ(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls"));
}

} // namespace
