// Quintor as the operator meets it: the real window under Wine, the registered Korvex.dll and
// the simulated board. Each test starts the program from a folder of its own, so the settings
// file beside it is the test's; the board's record gives the frames the program sent.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexDll.h"
#include "Operator.h"
#include "QuintorProbe.h"
#include "SimControl.h"
#include "fmuMainIds.h"
#include "untContact.h"

namespace {

using quintor::Operator;
using quintor::TMessageBox;

const std::wstring kQuintorExe = WindowsPath(L"" QUINTOR_EXE);

// "Тест платы реле"
const std::string kTitle = "\xD2\xE5\xF1\xF2 \xEF\xEB\xE0\xF2\xFB \xF0\xE5\xEB\xE5";
const std::string kResultOk = "(0) " + expected::kNoError;
const std::string kResultNoLink = "(-1) " + expected::kNoLink;
const std::string kResultNoPort = "(-2) " + expected::kPortUnavailable;

// The built-in list as the window shows it: name, one space, device.
const std::vector<std::string> kBuiltInEntries = {
    "A24 \xCF\xF0\xE8\xED\xF2\xE5\xF0", // A24 Принтер
    "0B5 xxxxxxx",
    "C12 XXXXXX",
    "D12 \xC7\xE0\xEC\xEE\xEA", // D12 Замок
    "E12 AUDIO",
    "F24 \xD0\xE5\xE7\xE5\xF0\xE2", // F24 Резерв
    "G24 GSM",
    "H24 \xD1\xE5\xE9\xF4", // H24 Сейф
};
enum { A24, B05, C12, D12, E12, F24, G24, H24 };

// "«" text "» — не целое число от 0 до 65535"
std::string NotAPulseTime(const std::string& text) {
    return "\xAB" + text +
           "\xBB \x97 \xED\xE5 \xF6\xE5\xEB\xEE\xE5 \xF7\xE8\xF1\xEB\xEE \xEE\xF2 0 \xE4\xEE 65535";
}

const int kDeviceButtons[] = {ctl::btnOn,     ctl::btnOff,       ctl::btnPulse,
                              ctl::btnAllOff, ctl::btnGetStatus, ctl::btnGetDeviceMetrics};

// The bytes of a file, or of a new one, by a path of any characters.
std::string FileText(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        bytes.append(buffer, n);
    CloseHandle(file);
    return bytes;
}

void WriteFileText(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(file);
}

// A contact of a settings file, with both permissions.
struct TIniContact {
    std::string Name, Device;
    int Mask, PulseTime;
};

// A settings file: the port, the contacts, then any raw text.
std::string Settings(int port, const std::vector<TIniContact>& contacts = {},
                     const std::string& extra = "") {
    std::string text = "[Common]\r\nPortNumber=" + std::to_string(port) + "\r\n";
    for (size_t i = 0; i < contacts.size(); ++i) {
        const TIniContact& c = contacts[i];
        text += "[" + std::to_string(i) + "]\r\nName=" + c.Name +
                "\r\nMask=" + std::to_string(c.Mask) + "\r\nDevice=" + c.Device +
                "\r\nPulseTime=" + std::to_string(c.PulseTime) +
                "\r\nSetPulseTime=1\r\nSetDeviceState=1\r\n";
    }
    return text + extra;
}

// With no window manager on the test display, Wine draws the window's frame and caption itself
// when told so, and the screenshot shows them.
void LetWineDrawTheFrame() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quintor.exe\\X11 Driver",
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

// A fresh folder with a copy of Quintor.exe for every test, and the board in its default state.
class QuintorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        LetWineDrawTheFrame();
        // Registration writes the type library's help strings as the system's code page reads
        // them; the code-page run has the driver registered under code page 1251 before it.
        if (GetACP() == 1251) {
            ASSERT_EQ(0u, RunRegsvr32(L""));
        }
    }

    void SetUp() override { MakeFolder(L"quintor-"); }

    // The test's folder: name, the process and a serial number, in the temporary folder.
    void MakeFolder(const std::wstring& name) {
        board.reset();
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        static int serial = 0;
        folder = temp + name + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++serial) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(kQuintorExe.c_str(), Program().c_str(), FALSE));
    }

    void TearDown() override {
        app.reset();
        DeleteFileW(Program().c_str());
        DeleteFileW(Ini().c_str());
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring Program() const { return folder + L"Quintor.exe"; }
    std::wstring Ini() const { return folder + L"Quintor.ini"; }
    void WriteIni(const std::string& text) const { WriteFileText(Ini(), text); }
    bool IniExists() const { return GetFileAttributesW(Ini().c_str()) != INVALID_FILE_ATTRIBUTES; }

    Operator& Start() {
        app = std::make_unique<Operator>(Program());
        if (app->StartFailed())
            throw std::runtime_error("the window did not show");
        return *app;
    }
    // The built-in list (no settings file), with the board's port chosen in the port box.
    Operator& StartOnBoard() {
        Start();
        app->ChoosePort(sim::SimControl::comPort() - 1);
        return *app;
    }

    // The payloads of the frames the board received, in hexadecimal.
    std::vector<std::string> Sent() {
        std::vector<std::string> payloads;
        for (const sim::Frame& frame : board.frames())
            payloads.push_back(sim::toHex(frame.bytes.substr(4, frame.bytes.size() - 5)));
        return payloads;
    }

    // The settings file as the contact list reads it.
    struct TSaved {
        int32_t PortNumber;
        std::vector<TContactRec> Contacts;
    };
    TSaved Saved() const {
        TContacts contacts;
        contacts.LoadFromFile(Ini());
        TSaved saved{contacts.PortNumber, {}};
        for (int i = 0; i < contacts.Count(); ++i)
            saved.Contacts.push_back(contacts.Items(i).Data);
        return saved;
    }

    // Clicks into the pulse box and selects its text, so that typing replaces it.
    HWND FocusPulseBox() {
        HWND pulse = app->Control(ctl::edtPulseTime);
        app->MouseClick(pulse, 20, 10);
        if (!quintor::WaitFor([&] { return app->Focus() == pulse; }))
            throw std::runtime_error("the pulse box took no focus");
        SendMessageW(pulse, EM_SETSEL, 0, -1);
        return pulse;
    }

    // Selects the contact and presses the button.
    void Press(int contact, int button) {
        app->SelectEntry(contact);
        app->Click(button);
        EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    }

    sim::SimControl board;
    std::wstring folder;
    std::unique_ptr<Operator> app;
};

// --- Start, close and the settings file ------------------------------------------------------

TEST_F(QuintorTest, FirstStartShowsTheBuiltInListAndClosingSavesItWithPort1) {
    Start();
    EXPECT_EQ(kBuiltInEntries, app->Entries());
    EXPECT_EQ(0, app->PortIndex());
    EXPECT_EQ(0, app->Selected());
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    for (int id : {ctl::edtPulseTime, ctl::lblPulseTime, ctl::btnSetDefaults, ctl::btnClose})
        EXPECT_TRUE(app->Enabled(id)) << id;
    for (int id : kDeviceButtons)
        EXPECT_TRUE(app->Enabled(id)) << id;
    for (int id : {ctl::edtStatus, ctl::edtResult, ctl::edtOutput, ctl::edtInput})
        EXPECT_EQ("", app->Text(id)) << id;
    EXPECT_FALSE(IniExists());

    EXPECT_EQ(0u, app->Close());
    EXPECT_TRUE(Sent().empty()); // nothing goes to the board before the operator asks
    const TSaved saved = Saved();
    TContacts builtIn;
    builtIn.LoadDefaults();
    EXPECT_EQ(1, saved.PortNumber);
    ASSERT_EQ(static_cast<size_t>(builtIn.Count()), saved.Contacts.size());
    for (int i = 0; i < builtIn.Count(); ++i)
        EXPECT_EQ(builtIn.Items(i).Data, saved.Contacts[static_cast<size_t>(i)]) << i;
}

// Program Files for a user without administrator rights: Quintor keeps the user's own settings
// file in the application data, seeded from the one beside the program, and saves there.
TEST_F(QuintorTest, AProgramFolderThatCannotBeWrittenKeepsTheSettingsInTheUsersApplicationData) {
    const char* readOnly = std::getenv("KORVEX_READONLY_FOLDER");
    const std::wstring program =
        readOnly ? WindowsPath(std::wstring(readOnly, readOnly + std::strlen(readOnly))) +
                       L"\\Quintor.exe"
                 : std::wstring();
    if (program.empty() || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this file system cannot make a folder that root may not write";
    wchar_t appData[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData));
    const std::wstring own = std::wstring(appData) + L"\\Korvex\\Quintor.ini";
    DeleteFileW(own.c_str());

    app = std::make_unique<Operator>(program);
    ASSERT_FALSE(app->StartFailed());
    EXPECT_EQ(6, app->PortIndex()); // the seed's PortNumber=7
    EXPECT_EQ(0u, app->Close());
    TContacts saved;
    saved.LoadFromFile(own);
    EXPECT_EQ(7, saved.PortNumber);
    EXPECT_EQ(0, saved.Count()); // the seed holds no contact
    EXPECT_EQ("[COMMON]\r\nPortNumber=7\r\n",
              FileText(WindowsPath(std::wstring(readOnly, readOnly + std::strlen(readOnly))) +
                       L"\\Quintor.ini"));
    DeleteFileW(own.c_str());
}

TEST_F(QuintorTest, ASaveThatFailsAtCloseIsReportedInABoxAndTheProgramStillEnds) {
    Start();
    // A folder where the settings file would go: the new file cannot take its place.
    ASSERT_TRUE(CreateDirectoryW(Ini().c_str(), nullptr));
    app->PostClick(ctl::btnClose);
    const TMessageBox box = app->WaitForMessageBox();
    RemoveDirectoryW(Ini().c_str());
    EXPECT_EQ(kTitle, box.Caption);
    // "Настройки не сохранены." and the reason.
    EXPECT_EQ(0u, box.Text.find("\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xED\xE5 "
                                "\xF1\xEE\xF5\xF0\xE0\xED\xE5\xED\xFB.\n\n"))
        << box.Text;
    EXPECT_NE(std::string::npos, box.Text.find(expected::Cp1251(Ini()))) << box.Text;
    app->CloseMessageBox(box);
    EXPECT_EQ(0u, app->WaitForExit());
}

TEST_F(QuintorTest, APortChosenInTheBoxIsUsedButNotSaved) {
    const int port = sim::SimControl::comPort();
    WriteIni(Settings(port, {{"A24", "P", 1, 1000}}));
    Start();
    EXPECT_EQ(port - 1, app->PortIndex());

    app->ChoosePort(12); // COM13: no such port
    app->Click(ctl::btnGetStatus);
    EXPECT_EQ(kResultNoPort, app->Text(ctl::edtResult));
    EXPECT_TRUE(Sent().empty());
    app->ChoosePort(port - 1);
    app->Click(ctl::btnGetStatus);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ(std::vector<std::string>{"79 "}, Sent());

    app->ChoosePort(12);
    EXPECT_EQ(0u, app->Close());
    EXPECT_EQ(port, Saved().PortNumber);
    Start();
    EXPECT_EQ(port - 1, app->PortIndex());
}

TEST_F(QuintorTest, APortNumberOutside1To16ChoosesNoPortAndOperationsUsePort0) {
    for (int port : {17, 0}) {
        WriteIni(Settings(port, {{"A24", "P", 1, 1000}}));
        Start();
        EXPECT_EQ(-1, app->PortIndex()) << port;
        app->Click(ctl::btnGetStatus);
        EXPECT_EQ(kResultNoPort, app->Text(ctl::edtResult)) << port;
        EXPECT_EQ(0u, app->Close());
        EXPECT_EQ(port, Saved().PortNumber);
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(QuintorTest, DefaultsRestoreTheBuiltInListButTheFileChangesOnlyAtClose) {
    const std::string custom =
        Settings(3, {{"Z1 \xCD\xE0\xF1\xEE\xF1", "x", 64, 300}, {"Z2", "y", 2, 400}});
    WriteIni(custom);
    Start();
    EXPECT_EQ((std::vector<std::string>{"Z1 \xCD\xE0\xF1\xEE\xF1 x", "Z2 y"}), app->Entries());
    EXPECT_EQ(2, app->PortIndex());
    EXPECT_EQ("300", app->Text(ctl::edtPulseTime));

    app->Click(ctl::btnSetDefaults);
    EXPECT_EQ(kBuiltInEntries, app->Entries());
    EXPECT_EQ(0, app->PortIndex());
    EXPECT_EQ(0, app->Selected());
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    EXPECT_EQ(custom, FileText(Ini()));
    EXPECT_EQ(0u, app->Close());
    EXPECT_TRUE(Sent().empty());
    const TSaved saved = Saved();
    EXPECT_EQ(1, saved.PortNumber);
    EXPECT_EQ(8u, saved.Contacts.size());
}

TEST_F(QuintorTest, AFileWithoutACompleteContactSectionGivesAListThatSwitchesNothing) {
    const int port = sim::SimControl::comPort();
    WriteIni(Settings(port, {},
                      "[X]\r\nName=N\r\nMask=1\r\nDevice=D\r\nPulseTime=5\r\n"
                      "SetPulseTime=1\r\n"));
    Start();
    EXPECT_TRUE(app->Entries().empty());
    EXPECT_EQ(-1, app->Selected());
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    EXPECT_TRUE(app->Enabled(ctl::btnOn)); // no control starts disabled

    // No contact is selected: a click in the list and a new pulse time are ignored.
    app->SelectEntry(-1);
    app->SetText(ctl::edtPulseTime, "12");
    app->Click(ctl::btnOn);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ(std::vector<std::string>{"77 00 "}, Sent()); // the empty contact's mask is 0
    EXPECT_FALSE(app->Enabled(ctl::btnOn));
    EXPECT_FALSE(app->Enabled(ctl::btnOff));
    EXPECT_TRUE(app->Enabled(ctl::btnPulse));

    EXPECT_EQ(0u, app->Close());
    const TSaved saved = Saved();
    EXPECT_EQ(port, saved.PortNumber);
    EXPECT_TRUE(saved.Contacts.empty());
}

TEST_F(QuintorTest, WithoutTheRegisteredDriverTheProgramReportsAndEndsWithoutASettingsFile) {
    ASSERT_EQ(0u, RunRegsvr32(L"/u"));
    std::unique_ptr<Operator> failed;
    TMessageBox box;
    try {
        failed = std::make_unique<Operator>(Program());
        box = failed->WaitForMessageBox();
    } catch (...) {
        RunRegsvr32(L"");
        throw;
    }
    RunRegsvr32(L"");
    EXPECT_TRUE(failed->StartFailed());
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(REGDB_E_CLASSNOTREG), 0, text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && std::strchr("\r\n .", message.back()))
        message.pop_back();
    if (message.empty()) // "Ошибка OLE " and the result, when the system has no text for it
        message = "\xCE\xF8\xE8\xE1\xEA\xE0 OLE 80040154";
    EXPECT_EQ(message, box.Text);
    EXPECT_EQ(kTitle, box.Caption);
    EXPECT_EQ(nullptr, box.Owner);
    EXPECT_TRUE(box.HasIcon);
    failed->CloseMessageBox(box);
    EXPECT_EQ(1u, failed->WaitForExit());
    EXPECT_FALSE(IniExists());
}

// A folder whose name is Cyrillic ("Квинтор-…"): on a system of another code page it has no
// name in the ANSI code page at all.
class QuintorInACyrillicFolder : public QuintorTest {
protected:
    void SetUp() override { MakeFolder(L"\x041A\x0432\x0438\x043D\x0442\x043E\x0440-"); }
};

// A settings file as earlier versions wrote it, cp1251 on disk, reads and is written back so,
// whatever the system's code page (the suite runs this once more under code page 1252).
TEST_F(QuintorInACyrillicFolder, ReadsAndWritesItsSettingsFileInCp1251) {
    const int port = sim::SimControl::comPort();
    const std::string pump = "\xCD\xE0\xF1\xEE\xF1"; // Насос
    WriteIni(Settings(port, {{"A1", pump, 1, 700}}));
    Start();
    EXPECT_EQ(std::vector<std::string>{"A1 " + pump}, app->Entries());
    EXPECT_EQ("700", app->Text(ctl::edtPulseTime));
    app->Click(ctl::btnOn);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ(0u, app->Close());
    const std::string saved = FileText(Ini());
    EXPECT_NE(std::string::npos,
              saved.find("[0]\r\nName=A1\r\nMask=1\r\nDevice=" + pump + "\r\nPulseTime=700\r\n"))
        << saved;
    EXPECT_NE(std::string::npos, saved.find("PortNumber=" + std::to_string(port) + "\r\n"));
    EXPECT_EQ(std::string::npos, saved.find('\0')); // no UTF-16
}

// --- Board operations -----------------------------------------------------------------------

TEST_F(QuintorTest, OnAndOffCombineTheContactsMaskWithTheRememberedState) {
    StartOnBoard();
    Press(A24, ctl::btnOn);
    Press(C12, ctl::btnOn);
    Press(A24, ctl::btnOff);
    EXPECT_EQ((std::vector<std::string>{"77 01 ", "77 21 ", "77 20 "}), Sent());
    EXPECT_EQ(sim::toHex(sim::frameOf("w\x20")), app->Text(ctl::edtOutput));
    EXPECT_EQ("02 00 55 03  77 00 20 01 ", app->Text(ctl::edtInput));
    EXPECT_EQ(0x20, board.status());
}

TEST_F(QuintorTest, APulseLeavesTheRememberedStateAndAllOffKeepsIt) {
    StartOnBoard();
    Press(A24, ctl::btnOn);
    app->SelectEntry(E12);
    app->SetText(ctl::edtPulseTime, "500");
    app->Click(ctl::btnPulse);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    Press(F24, ctl::btnOn);  // 1 | 4: the pulse left 1
    Press(F24, ctl::btnOff); // back to 1
    Press(E12, ctl::btnOn);  // 3
    app->Click(ctl::btnAllOff);
    Press(F24, ctl::btnOn); // all off left 3 remembered: 7
    EXPECT_EQ((std::vector<std::string>{"77 01 ", "78 03 F4 01 ", "77 05 ", "77 01 ", "77 03 ",
                                        "77 00 ", "77 07 "}),
              Sent());
}

TEST_F(QuintorTest, ContactD12AllowsOnlyAPulseOf1000) {
    StartOnBoard();
    app->SelectEntry(D12);
    for (int id : {ctl::btnOn, ctl::btnOff, ctl::edtPulseTime, ctl::lblPulseTime})
        EXPECT_FALSE(app->Enabled(id)) << id;
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    app->Click(ctl::btnPulse);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ(std::vector<std::string>{"78 80 E8 03 "}, Sent());
    EXPECT_FALSE(app->Enabled(ctl::btnOn)); // the operation enables only what the contact allows
    EXPECT_TRUE(app->Enabled(ctl::btnPulse));
    app->SelectEntry(A24);
    EXPECT_TRUE(app->Enabled(ctl::btnOn));
    EXPECT_TRUE(app->Enabled(ctl::edtPulseTime));
}

TEST_F(QuintorTest, StatusReadsTheBoardIntoTheRememberedStateUnlessItFails) {
    StartOnBoard();
    board.setStatus(129);
    app->Click(ctl::btnGetStatus);
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ("129", app->Text(ctl::edtStatus));
    Press(A24, ctl::btnOff); // 129 without bit 0

    board.fault("silent");
    app->Click(ctl::btnGetStatus);
    EXPECT_EQ(kResultNoLink, app->Text(ctl::edtResult));
    EXPECT_EQ("129", app->Text(ctl::edtStatus));
    EXPECT_EQ(sim::toHex(sim::frameOf("y")), app->Text(ctl::edtOutput));
    EXPECT_EQ("", app->Text(ctl::edtInput));
    board.fault("none");
    Press(C12, ctl::btnOn); // 128 | 32: the failed status changed nothing
    EXPECT_EQ((std::vector<std::string>{"79 ", "77 80 ", "79 ", "77 A0 "}), Sent());
}

TEST_F(QuintorTest, DeviceMetricsShowInAMessageBoxWhileTheDeviceButtonsWait) {
    StartOnBoard();
    board.setMetrics(1, 2, 3, 4, 4660);
    app->PostClick(ctl::btnGetDeviceMetrics);
    TMessageBox box = app->WaitForMessageBox();
    // "Тип устройства    : 1", "Подтип устройства : 2", "Версия протокола  : 3",
    // "Версия прошивки   : 4", "Номер устройства  : 4660", each ending in CR LF
    EXPECT_EQ("\xD2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0    : 1\r\n"
              "\xCF\xEE\xE4\xF2\xE8\xEF \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 : 2\r\n"
              "\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xE0  : 3\r\n"
              "\xC2\xE5\xF0\xF1\xE8\xFF \xEF\xF0\xEE\xF8\xE8\xE2\xEA\xE8   : 4\r\n"
              "\xCD\xEE\xEC\xE5\xF0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0  : 4660\r\n",
              box.Text);
    EXPECT_EQ(kTitle, box.Caption);
    EXPECT_EQ(app->Main(), box.Owner);
    EXPECT_FALSE(box.HasIcon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.Buttons);
    for (int id : kDeviceButtons)
        EXPECT_FALSE(app->Enabled(id)) << id;
    EXPECT_EQ("", app->Text(ctl::edtResult)); // shown once the box is closed
    app->CloseMessageBox(box);
    EXPECT_TRUE(quintor::WaitFor([&] { return app->Enabled(ctl::btnGetStatus); }));
    EXPECT_EQ(kResultOk, app->Text(ctl::edtResult));
    EXPECT_EQ(sim::toHex(sim::frameOf("z")), app->Text(ctl::edtOutput));

    board.fault("silent"); // a failed query shows no box
    app->Click(ctl::btnGetDeviceMetrics);
    EXPECT_EQ(kResultNoLink, app->Text(ctl::edtResult));
    EXPECT_EQ((std::vector<std::string>{"7A ", "7A "}), Sent());
}

// --- The pulse box ---------------------------------------------------------------------------

TEST_F(QuintorTest, TypedPulseTimeRefusesLettersAndAFifthCharacterAndIsKeptPerContact) {
    StartOnBoard();
    FocusPulseBox();
    // Latin and Cyrillic letters (Ж) are refused, the fifth character too; Backspace passes.
    app->Type(L"2a5\x0416"
              L"0x07\b");
    EXPECT_TRUE(quintor::WaitFor([&] { return app->Text(ctl::edtPulseTime) == "250"; }))
        << app->Text(ctl::edtPulseTime);

    app->SelectEntry(C12);
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    app->SelectEntry(A24);
    EXPECT_EQ("250", app->Text(ctl::edtPulseTime));
    app->Click(ctl::btnPulse);
    EXPECT_EQ(std::vector<std::string>{"78 01 FA 00 "}, Sent());
    EXPECT_EQ(0u, app->Close());
    EXPECT_EQ(250, Saved().Contacts.at(A24).PulseTime);
}

// A pulse never goes out with a duration the operator did not enter: a sign alone, or a number
// outside 0 to 65535, is reported and the contact keeps its pulse time.
TEST_F(QuintorTest, APulseTimeOutside0To65535IsReportedAndNothingIsPulsed) {
    StartOnBoard();
    HWND pulse = FocusPulseBox();
    for (const std::string text : {"-", "-5"}) {
        app->Type(expected::Wide(text.substr(text.size() - 1)));
        TMessageBox box = app->WaitForMessageBox();
        EXPECT_EQ(NotAPulseTime(text), box.Text);
        EXPECT_EQ(kTitle, box.Caption);
        EXPECT_EQ(app->Main(), box.Owner);
        EXPECT_TRUE(box.HasIcon);
        app->CloseMessageBox(box);
        ASSERT_TRUE(quintor::WaitFor([&] { return app->Focus() == pulse; }));
    }
    EXPECT_EQ("-5", app->Text(ctl::edtPulseTime));

    app->PostClick(ctl::btnPulse);
    TMessageBox box = app->WaitForMessageBox();
    EXPECT_EQ(NotAPulseTime("-5"), box.Text);
    for (int id : kDeviceButtons) // the operation has ended before the report
        EXPECT_TRUE(app->Enabled(id)) << id;
    app->CloseMessageBox(box);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ("", app->Text(ctl::edtResult));

    app->SelectEntry(C12);
    app->SelectEntry(A24);
    EXPECT_EQ("1000", app->Text(ctl::edtPulseTime));
    app->Click(ctl::btnPulse);
    EXPECT_EQ(std::vector<std::string>{"78 01 E8 03 "}, Sent());
}

// --- Keyboard and mouse ----------------------------------------------------------------------

TEST_F(QuintorTest, TabWalksTheTabOrderAndEnterAndSpacePressTheFocusedButton) {
    StartOnBoard();
    ASSERT_TRUE(quintor::WaitFor([&] { return app->Focus() == app->Control(ctl::cbPortNumber); }));
    const int order[] = {ctl::edtStatus,      ctl::btnGetDeviceMetrics,
                         ctl::btnGetStatus,   ctl::btnAllOff,
                         ctl::ListBox,        ctl::btnOn,
                         ctl::btnOff,         ctl::edtPulseTime,
                         ctl::btnPulse,       ctl::edtResult,
                         ctl::edtInput,       ctl::edtOutput,
                         ctl::btnSetDefaults, ctl::btnClose,
                         ctl::cbPortNumber};
    for (int id : order) {
        app->Press(VK_TAB);
        EXPECT_TRUE(quintor::WaitFor([&] { return app->Focus() == app->Control(id); })) << id;
    }
    app->Press(VK_TAB, true);
    EXPECT_TRUE(quintor::WaitFor([&] { return app->Focus() == app->Control(ctl::btnClose); }));
    app->Press(VK_TAB);

    for (int i = 0; i < 3; ++i) // to "Состояние"
        app->Press(VK_TAB);
    HWND status = app->Control(ctl::btnGetStatus);
    ASSERT_TRUE(quintor::WaitFor([&] { return app->Focus() == status; }));
    board.setStatus(5);
    app->Press(VK_RETURN);
    EXPECT_TRUE(quintor::WaitFor([&] { return app->Text(ctl::edtStatus) == "5"; }));
    EXPECT_TRUE(quintor::WaitFor([&] { return app->Focus() == status; }));
    app->Press(VK_TAB);
    app->Press(VK_SPACE); // "Выключить все"
    EXPECT_TRUE(quintor::WaitFor([&] { return Sent().size() == 2; }));
    EXPECT_EQ((std::vector<std::string>{"79 ", "77 00 "}), Sent());
}

TEST_F(QuintorTest, EscapeAndAltF4CloseTheProgram) {
    for (bool alt : {false, true}) {
        SCOPED_TRACE(alt ? "Alt+F4" : "Escape");
        Start();
        app->Press(alt ? VK_F4 : VK_ESCAPE, false, alt);
        EXPECT_EQ(0u, app->WaitForExit()) << alt;
        EXPECT_TRUE(IniExists());
        DeleteFileW(Ini().c_str());
    }
}

TEST_F(QuintorTest, TheMouseSelectsAContactAndShowsTheTooltips) {
    Start();
    HWND list = app->Control(ctl::ListBox);
    app->MouseClick(list, 20, D12 * 16 + 8);
    EXPECT_TRUE(quintor::WaitFor([&] { return !app->Enabled(ctl::btnOn); }));
    EXPECT_EQ(D12, app->Selected());

    // The "х" after the zero is Cyrillic, as is the final "А" of "0х7А".
    const std::map<int, std::string> tips = {
        // "Запрос типа устройства(0х7А)"
        {ctl::btnGetDeviceMetrics,
         "\xC7\xE0\xEF\xF0\xEE\xF1 \xF2\xE8\xEF\xE0 \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0(0\xF5"
         "7\xC0)"},
        // "Запрос состояния (0х79)"
        {ctl::btnGetStatus, "\xC7\xE0\xEF\xF0\xEE\xF1 \xF1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xFF (0\xF5"
                            "79)"},
    };
    for (const auto& [id, tip] : tips) {
        app->MouseMove(app->Control(id), 40, 12);
        EXPECT_TRUE(quintor::WaitFor([&] { return app->WaitForTooltip() == tip; })) << id;
        app->MouseMove(list, 20, 140);
    }
}

// --- Layout ----------------------------------------------------------------------------------

struct TExpectedControl {
    int Id;
    const char* Class;
    int Container; // 0: the window
    int Left, Top, Width, Height;
    bool TabStop;
    DWORD Style; // kind bits that must be set
};

// The layout, in pixels at 96 dpi relative to the container.
const TExpectedControl kLayout[] = {
    {ctl::gbRele, "Button", 0, 8, 8, 337, 121, false, BS_GROUPBOX},
    {ctl::PortLabel, "Static", ctl::gbRele, 8, 28, 69, 13, false, 0},
    {ctl::cbPortNumber, "ComboBox", ctl::gbRele, 112, 24, 89, 21, true, CBS_DROPDOWNLIST},
    {ctl::lblStatus, "Static", ctl::gbRele, 8, 60, 57, 13, false, 0},
    {ctl::edtStatus, "Edit", ctl::gbRele, 112, 56, 89, 21, true, ES_READONLY},
    {ctl::btnGetDeviceMetrics, "Button", ctl::gbRele, 208, 24, 97, 25, true, BS_PUSHBUTTON},
    {ctl::btnGetStatus, "Button", ctl::gbRele, 208, 56, 97, 25, true, BS_PUSHBUTTON},
    {ctl::btnAllOff, "Button", ctl::gbRele, 208, 88, 99, 25, true, BS_PUSHBUTTON},
    {ctl::gbDevice, "Button", 0, 8, 136, 337, 177, false, BS_GROUPBOX},
    {ctl::ListBox, "ListBox", ctl::gbDevice, 16, 24, 193, 145, true, LBS_NOTIFY},
    {ctl::btnOn, "Button", ctl::gbDevice, 216, 24, 113, 25, true, BS_PUSHBUTTON},
    {ctl::btnOff, "Button", ctl::gbDevice, 216, 56, 113, 25, true, BS_PUSHBUTTON},
    {ctl::lblPulseTime, "Static", ctl::gbDevice, 216, 88, 96, 13, false, 0},
    {ctl::edtPulseTime, "Edit", ctl::gbDevice, 216, 104, 113, 21, true, 0},
    {ctl::btnPulse, "Button", ctl::gbDevice, 216, 136, 113, 25, true, BS_PUSHBUTTON},
    {ctl::lblResult, "Static", 0, 8, 324, 55, 13, false, 0},
    {ctl::edtResult, "Edit", 0, 72, 320, 273, 21, true, ES_READONLY},
    {ctl::lblOutput, "Static", 0, 8, 348, 53, 13, false, 0},
    {ctl::edtOutput, "Edit", 0, 72, 344, 273, 21, true, ES_READONLY},
    {ctl::lblInput, "Static", 0, 8, 372, 46, 13, false, 0},
    {ctl::edtInput, "Edit", 0, 72, 368, 273, 21, true, ES_READONLY},
    {ctl::btnSetDefaults, "Button", 0, 352, 332, 97, 25, true, BS_PUSHBUTTON},
    {ctl::btnClose, "Button", 0, 352, 364, 97, 25, true, BS_PUSHBUTTON},
};

// The captions and first texts; every other control starts empty.
const std::map<int, std::string> kTexts = {
    {ctl::gbRele, "\xD0\xE5\xEB\xE5"},                              // Реле
    {ctl::PortLabel, "\xCD\xEE\xEC\xE5\xF0 \xEF\xEE\xF0\xF2\xE0:"}, // Номер порта:
    {ctl::cbPortNumber, "COM1"},
    {ctl::lblStatus, "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5:"},             // Состояние:
    {ctl::btnGetDeviceMetrics, "\xD2\xE8\xEF"},                            // Тип
    {ctl::btnGetStatus, "\xD1\xEE\xF1\xF2\xEE\xFF\xED\xE8\xE5"},           // Состояние
    {ctl::btnAllOff, "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xE2\xF1\xE5"}, // Выключить все
    {ctl::gbDevice, "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0"},           // Устройства
    {ctl::btnOn, "\xC2\xEA\xEB\xFE\xF7\xE8\xF2\xFC"},                      // Включить
    {ctl::btnOff, "\xC2\xFB\xEA\xEB\xFE\xF7\xE8\xF2\xFC"},                 // Выключить
    // Длительность, мс:
    {ctl::lblPulseTime, "\xC4\xEB\xE8\xF2\xE5\xEB\xFC\xED\xEE\xF1\xF2\xFC, \xEC\xF1:"},
    {ctl::edtPulseTime, "1000"},
    {ctl::btnPulse, "\xC8\xEC\xEF\xF3\xEB\xFC\xF1"},                        // Импульс
    {ctl::lblResult, "\xD0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2:"},              // Результат:
    {ctl::lblOutput, "\xCF\xE5\xF0\xE5\xE4\xE0\xED\xEE:"},                  // Передано:
    {ctl::lblInput, "\xCF\xF0\xE8\xED\xFF\xF2\xEE:"},                       // Принято:
    {ctl::btnSetDefaults, "\xCF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE"}, // По умолчанию
    {ctl::btnClose, "\xC7\xE0\xEA\xF0\xFB\xF2\xFC"},                        // Закрыть
};

std::string ClassName(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(QuintorTest, EveryControlStandsWhereTheLayoutPutsIt) {
    Start();
    HWND form = app->Main();
    EXPECT_EQ(expected::Cp1251(ctl::kMainWindowClass), ClassName(form));
    EXPECT_EQ(kTitle, expected::Cp1251([&] {
                  wchar_t caption[64] = L"";
                  GetWindowTextW(form, caption, 64);
                  return std::wstring(caption);
              }()));
    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(455, client.right);
    EXPECT_EQ(394, client.bottom);
    const LONG style = GetWindowLongA(form, GWL_STYLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
              style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT window;
    GetWindowRect(form, &window);
    EXPECT_NEAR(GetSystemMetrics(SM_CXSCREEN), window.left + window.right, 1);
    EXPECT_NEAR(GetSystemMetrics(SM_CYSCREEN), window.top + window.bottom, 1);

    for (const TExpectedControl& c : kLayout) {
        HWND control = app->Control(c.Id);
        HWND parent = GetParent(control);
        EXPECT_EQ(c.Container ? app->Control(c.Container) : form, parent) << c.Id;
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ((std::vector<LONG>{c.Left, c.Top, c.Width, c.Height}),
                  (std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top}))
            << c.Id;
        EXPECT_EQ(c.Class, ClassName(control)) << c.Id;
        const auto text = kTexts.find(c.Id);
        EXPECT_EQ(text == kTexts.end() ? "" : text->second, app->Text(c.Id)) << c.Id;
        const LONG controlStyle = GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(c.TabStop, (controlStyle & WS_TABSTOP) != 0) << c.Id;
        if (ClassName(control) == "Button")
            EXPECT_EQ(c.Style, controlStyle & BS_TYPEMASK) << c.Id;
        else
            EXPECT_EQ(c.Style, controlStyle & c.Style) << c.Id;
        EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control)) << c.Id;
    }
    HWND list = app->Control(ctl::ListBox);
    EXPECT_EQ(0, GetWindowLongA(list, GWL_STYLE) & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
    EXPECT_EQ(16, SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    EXPECT_EQ(4, SendMessageW(app->Control(ctl::edtPulseTime), EM_GETLIMITTEXT, 0, 0));
    HWND ports = app->Control(ctl::cbPortNumber);
    ASSERT_EQ(16, SendMessageW(ports, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < 16; ++i) {
        wchar_t item[16] = L"";
        SendMessageW(ports, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        EXPECT_EQ("COM" + std::to_string(i + 1), expected::Cp1251(item));
    }
    app->SaveScreenshot(sizeof(void*) == 4 ? "quintor-win32.bmp" : "quintor-win64.bmp");
}

// The fonts and colours live in the program's process; the probe library reads them there.
probe::Report ReadProbe(Operator& program) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(probe::Report), probe::kReportName);
    HMODULE library = LoadLibraryA(PROBE_DLL);
    auto hookProc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(library, probe::kHookName)));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, hookProc, library, program.ThreadId());
    if (!hook)
        throw std::runtime_error("the probe hook was refused: " + std::to_string(GetLastError()));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(program.Main(), RegisterWindowMessageA(probe::kMessage), 0, 0, SMTO_NORMAL,
                        30000, &result);
    UnhookWindowsHookEx(hook);
    probe::Report report{};
    if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof report)) {
        report = *static_cast<probe::Report*>(view);
        UnmapViewOfFile(view);
    }
    FreeLibrary(library);
    CloseHandle(mapping);
    return report;
}

TEST_F(QuintorTest, FontsAndColoursAreTheLayouts) {
    Start();
    const probe::Report report = ReadProbe(*app);
    ASSERT_EQ(static_cast<int>(std::size(kLayout)), report.Count);
    // What lies behind each control's text: a system colour's brush, or silver.
    const std::map<int, int> backgrounds = {{ctl::edtStatus, -1},
                                            {ctl::edtResult, COLOR_SCROLLBAR},
                                            {ctl::edtOutput, COLOR_BTNFACE},
                                            {ctl::edtInput, COLOR_BTNFACE},
                                            {ctl::edtPulseTime, COLOR_WINDOW}};
    for (int i = 0; i < report.Count; ++i) {
        const probe::ControlReport& c = report.Controls[i];
        const bool list = c.Id == ctl::ListBox;
        EXPECT_STREQ(list ? "Courier New" : "MS Sans Serif", c.Face) << c.Id;
        EXPECT_EQ(list ? -13 : -11, c.Height) << c.Id;
        if (list) {
            EXPECT_EQ(RUSSIAN_CHARSET, c.CharSet);
        }
        if (!c.AsksColours)
            continue;
        auto known = backgrounds.find(c.Id);
        const int index = known == backgrounds.end() ? COLOR_BTNFACE : known->second; // labels
        const COLORREF colour = index < 0 ? RGB(192, 192, 192) : GetSysColor(index);
        EXPECT_TRUE(c.HasBrush) << c.Id;
        EXPECT_EQ(index, c.SysBrush) << c.Id;
        EXPECT_EQ(colour, c.Brush) << c.Id;
        if (index != COLOR_WINDOW) { // the system's own colours leave the text background alone
            EXPECT_EQ(colour, c.TextBackground) << c.Id;
        }
    }
}

TEST(QuintorFile, CarriesVersion1207TheDescriptionAndAnIcon) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(QUINTOR_EXE, &ignored);
    ASSERT_NE(0u, size);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(QUINTOR_EXE, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010002u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000007u, fixed->dwFileVersionLS);
    char* description = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041904E3\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
    EXPECT_EQ(kTitle, std::string(description));

    HMODULE image = LoadLibraryExA(QUINTOR_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, image);
    EXPECT_NE(nullptr, FindResourceA(image, "MAINICON", reinterpret_cast<LPCSTR>(RT_GROUP_ICON)));
    FreeLibrary(image);
}

} // namespace
