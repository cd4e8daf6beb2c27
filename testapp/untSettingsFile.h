// Where Quintor keeps its settings file, named after the program: <name>.ini.
#pragma once

#include <string>

// The settings file for the program at programPath. Beside the program when the program's folder
// takes new files (a copy in the user's own folder or on a USB stick: portable use). Otherwise,
// as under Program Files for a user without administrator rights, in the folder Korvex of the
// user's application data (appData); that file is first copied from the one beside the program
// when it does not exist yet, so the settings an administrator left there reach every user.
// Windows would otherwise hand a program without a manifest a private copy it shows no one else,
// or refuse the save.
std::wstring SettingsFilePath(const std::wstring& programPath, const std::wstring& appData);

// The running program's full path, and the current user's roaming application data folder.
std::wstring ProgramPath();
std::wstring UserAppDataFolder();

// Whether a new file can be made in folder: one is made and removed again.
bool FolderTakesNewFiles(const std::wstring& folder);
