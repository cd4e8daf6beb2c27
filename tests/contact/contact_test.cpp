#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <new>
#include <random>

#include "untContact.h"

// Heap blocks still allocated, to see that a list frees what it made.
static std::atomic<long> gLiveBlocks{0};
void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    ++gLiveBlocks;
    return p;
}
void operator delete(void* p) noexcept {
    if (p) {
        --gLiveBlocks;
        std::free(p);
    }
}
void operator delete(void* p, size_t) noexcept {
    operator delete(p);
}

namespace {

// "Принтер", "Замок", "Резерв", "Сейф" in cp1251.
const std::string kPrinter = "\xCF\xF0\xE8\xED\xF2\xE5\xF0", kLock = "\xC7\xE0\xEC\xEE\xEA",
                  kReserve = "\xD0\xE5\xE7\xE5\xF0\xE2", kSafe = "\xD1\xE5\xE9\xF4";

TContactRec Rec(uint8_t mask, const std::string& name, const std::string& device, uint16_t pulse,
                bool setPulse, bool setState) {
    TContactRec r;
    r.Mask = mask, r.Name = name, r.Device = device, r.PulseTime = pulse;
    r.SetPulseTime = setPulse, r.SetDeviceState = setState;
    return r;
}

std::vector<TContactRec> Records(const TContacts& list) {
    std::vector<TContactRec> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Items(i).Data);
    return out;
}

const std::vector<TContactRec> kBuiltIn = {
    Rec(0x01, "A24", kPrinter, 1000, true, true), Rec(0x40, "0B5", "xxxxxxx", 1000, true, true),
    Rec(0x20, "C12", "XXXXXX", 1000, true, true), Rec(0x80, "D12", kLock, 1000, false, false),
    Rec(0x02, "E12", "AUDIO", 1000, true, true),  Rec(0x04, "F24", kReserve, 1000, true, true),
    Rec(0x08, "G24", "GSM", 1000, true, true),    Rec(0x10, "H24", kSafe, 1000, true, true)};

const char kContactKeys[] = "Name=N\r\nMask=1\r\nDevice=D\r\nPulseTime=5\r\n"
                            "SetPulseTime=1\r\nSetDeviceState=1\r\n";

// Each test works in a fresh folder of its own under the temporary folder.
class ContactFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
        static int serial = 0;
        Dir = std::string(temp) + "korvex-contact-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++serial) + "\\";
        ASSERT_TRUE(CreateDirectoryA(Dir.c_str(), nullptr));
    }
    void TearDown() override {
        for (const std::string& name : Files())
            DeleteFileA((Dir + name).c_str());
        EXPECT_TRUE(RemoveDirectoryA(Dir.c_str()));
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((Dir + "*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do
            if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..")
                names.push_back(fd.cFileName);
        while (FindNextFileA(h, &fd));
        FindClose(h);
        return names;
    }
    std::string Write(const std::string& text) {
        std::ofstream(Dir + "q.ini", std::ios::binary) << text;
        return Dir + "q.ini";
    }
    std::string Read() const {
        std::ifstream in(Dir + "q.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> Sections(const std::string& path) const {
        char buffer[4096];
        DWORD n = GetPrivateProfileSectionNamesA(buffer, sizeof buffer, path.c_str());
        std::vector<std::string> out;
        for (const char* p = buffer; p < buffer + n; p += out.back().size() + 1)
            out.emplace_back(p);
        return out;
    }
    // A file of the test's folder by its name.
    std::wstring File(const std::string& name) const { return Cp1251ToWide(Dir + name); }
    // A list loaded from a file holding text.
    void Load(TContacts& list, const std::string& text) {
        list.LoadFromFile(Cp1251ToWide(Write(text)));
    }
    std::string Dir;
};

TEST_F(ContactFile, LoadDefaultsGivesTheBuiltInSetAndPort1) {
    TContacts list;
    EXPECT_EQ(0, list.PortNumber);
    EXPECT_EQ(0, list.Count());
    TContact::Create(list, Rec(1, "X", "Y", 2, true, true));
    list.LoadDefaults();
    EXPECT_EQ(1, list.PortNumber);
    EXPECT_EQ(kBuiltIn, Records(list));
}

TEST_F(ContactFile, MissingFileGivesTheBuiltInSetAndCreatesNoFile) {
    TContacts list;
    Load(list, "[Common]\r\nPortNumber=4\r\n" + std::string("[a]\r\n") + kContactKeys);
    list.LoadFromFile(File("absent.ini"));
    EXPECT_EQ(1, list.PortNumber);
    EXPECT_EQ(kBuiltIn, Records(list));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((Dir + "absent.ini").c_str()));
}

TEST_F(ContactFile, FileWithoutContactsGivesAnEmptyList) {
    TContacts list;
    list.LoadDefaults();
    Load(list, "[Common]\r\nPortNumber=3\r\n");
    EXPECT_EQ(3, list.PortNumber);
    EXPECT_EQ(0, list.Count());
}

TEST_F(ContactFile, PortNumberIs1WhenMissingOrNotAnInteger) {
    for (const char* text : {"[a]\r\nx=1\r\n", "[Common]\r\nOther=3\r\n",
                             "[Common]\r\nPortNumber=COM3\r\n", "[Common]\r\nPortNumber=\r\n"}) {
        TContacts list;
        Load(list, text);
        EXPECT_EQ(1, list.PortNumber) << text;
    }
    TContacts list;
    Load(list, "[COMMON]\r\nportnumber=0x10\r\n");
    EXPECT_EQ(16, list.PortNumber);
}

TEST_F(ContactFile, OnlySectionsWithAllSixKeysAreContacts) {
    TContacts list;
    Load(list, "[NoState]\r\nName=A\r\nMask=1\r\nDevice=D\r\nPulseTime=5\r\nSetPulseTime=1\r\n"
               "[NoName]\r\nMask=1\r\nDevice=D\r\nPulseTime=5\r\nSetPulseTime=1\r\n"
               "SetDeviceState=1\r\n"
               "[Upper]\r\nNAME=B\r\nmask=2\r\nDEVICE=\r\npulsetime=7\r\nSETPULSETIME=0\r\n"
               "setdevicestate=1\r\nExtra=9\r\n");
    ASSERT_EQ(1, list.Count());
    EXPECT_EQ(Rec(2, "B", "", 7, false, true), list.Items(0).Data);
}

TEST_F(ContactFile, CommonIsNeverAContactButOtherCasesAre) {
    TContacts list;
    Load(list, "[Common]\r\nPortNumber=2\r\n" + std::string(kContactKeys));
    EXPECT_EQ(2, list.PortNumber);
    EXPECT_EQ(0, list.Count());
    Load(list, "[common]\r\n" + std::string(kContactKeys));
    EXPECT_EQ(1, list.PortNumber);
    ASSERT_EQ(1, list.Count());
    EXPECT_EQ(Rec(1, "N", "D", 5, true, true), list.Items(0).Data);
}

// The profile functions find a section by its first occurrence, so a repeated name (in any
// letter case) reads the first section's values once for each occurrence.
TEST_F(ContactFile, RepeatedSectionNameReadsTheFirstSection) {
    TContacts list;
    Load(list, "[s]\r\n" + std::string(kContactKeys) +
                   "[S]\r\nName=B\r\nMask=2\r\nDevice=E\r\nPulseTime=6\r\nSetPulseTime=0\r\n"
                   "SetDeviceState=0\r\n");
    EXPECT_EQ((std::vector<TContactRec>(2, Rec(1, "N", "D", 5, true, true))), Records(list));
}

TEST_F(ContactFile, MaskAndPulseTimeKeepTheirLowBits) {
    TContacts list;
    const char* keys = "Name=N\r\nDevice=D\r\nSetPulseTime=1\r\nSetDeviceState=1\r\n";
    Load(list, std::string("[a]\r\nMask=257\r\nPulseTime=70000\r\n") + keys +
                   "[b]\r\nMask=-1\r\nPulseTime=-1\r\n" + keys +
                   "[c]\r\nMask=0x41\r\nPulseTime=0XFFFF\r\n" + keys +
                   "[d]\r\nMask=one\r\nPulseTime=4294967297\r\n" + keys);
    ASSERT_EQ(4, list.Count());
    EXPECT_EQ(1, list.Items(0).Data.Mask);
    EXPECT_EQ(4464, list.Items(0).Data.PulseTime);
    EXPECT_EQ(255, list.Items(1).Data.Mask);
    EXPECT_EQ(65535, list.Items(1).Data.PulseTime);
    EXPECT_EQ(0x41, list.Items(2).Data.Mask);
    EXPECT_EQ(65535, list.Items(2).Data.PulseTime);
    EXPECT_EQ(0, list.Items(3).Data.Mask);      // not an integer
    EXPECT_EQ(0, list.Items(3).Data.PulseTime); // beyond 32 bits: not an integer either
}

TEST_F(ContactFile, PermissionIsFalseExactlyForTheInteger0) {
    const char* values[] = {"yes", "0", "2", "-1", "", "-0", "0x0", "00", "0 1"};
    const bool expected[] = {true, false, true, true, true, false, false, false, true};
    std::string text;
    int section = 0;
    for (const char* v : values)
        text += "[s" + std::to_string(section++) +
                "]\r\nName=N\r\nMask=1\r\nDevice=D\r\nPulseTime=5\r\nSetPulseTime=" + v +
                "\r\nSetDeviceState=" + v + "\r\n";
    TContacts list;
    Load(list, text);
    ASSERT_EQ(9, list.Count());
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(expected[i], list.Items(i).Data.SetPulseTime) << values[i];
        EXPECT_EQ(expected[i], list.Items(i).Data.SetDeviceState) << values[i];
    }
}

TEST(ContactStrToInt, ReadsDecimalAndHexWithinThirtyTwoBits) {
    // clang-format off
    const std::pair<const char*, int32_t> good[] = {
        {"0", 0}, {"+5", 5}, {"-5", -5}, {" \t7 ", 7}, {"007", 7}, {"0x1F", 31}, {"0XfF", 255},
        {"-0x10", -16}, {"0xFFFFFFFF", -1}, {"0x000000010", 16}, {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN}};
    // clang-format on
    for (const auto& g : good) {
        int32_t v = 12345;
        EXPECT_TRUE(ContactStrToInt(g.first, v)) << g.first;
        EXPECT_EQ(g.second, v) << g.first;
    }
    for (const char* bad : {"", " ", "+", "abc", "5a", "1 2", "- 5", "0x", "0x-1", "0x1G", "$10",
                            "2147483648", "-2147483649", "0x100000000", "99999999999999999999"}) {
        int32_t v = 12345;
        EXPECT_FALSE(ContactStrToInt(bad, v)) << bad;
        EXPECT_EQ(12345, v) << bad;
    }
}

TEST_F(ContactFile, SaveWritesOnlyCommonAndNumberedContactSections) {
    TContacts list;
    Load(list, "; a comment\r\n[Foreign]\r\nKey=1\r\n[Common]\r\nPortNumber=7\r\n"
               "[zeta]\r\nName=Z\r\nMask=4\r\nDevice=" +
                   kSafe +
                   "\r\nPulseTime=300\r\nSetPulseTime=0\r\nSetDeviceState=1\r\n"
                   "[Half]\r\nName=H\r\n[alpha]\r\n" +
                   kContactKeys);
    ASSERT_EQ(2, list.Count());
    list.SaveToFile(File("q.ini"));
    EXPECT_EQ((std::vector<std::string>{"Common", "0", "1"}), Sections(Dir + "q.ini"));
    const std::string text = Read();
    EXPECT_EQ(std::string::npos, text.find(';'));
    EXPECT_EQ(std::string::npos, text.find("Foreign"));
    EXPECT_NE(std::string::npos, text.find("Device=" + kSafe + "\r\n")); // cp1251 bytes on disk
    EXPECT_NE(std::string::npos, text.find("PortNumber=7\r\n"));
    EXPECT_EQ(std::vector<std::string>{"q.ini"}, Files()); // no temporary file left

    TContacts again;
    again.LoadFromFile(File("q.ini"));
    EXPECT_EQ(7, again.PortNumber);
    EXPECT_EQ((std::vector<TContactRec>{Rec(4, "Z", kSafe, 300, false, true),
                                        Rec(1, "N", "D", 5, true, true)}),
              Records(again));
}

// The file is code page 1251 on disk whatever the system's code page (the suite runs once more
// under 1252); one saved by an editor as UTF-16 still reads, and is saved back in cp1251.
TEST_F(ContactFile, AUtf16FileReadsAndIsSavedBackInCp1251) {
    const std::wstring text = L"[Common]\r\nPortNumber=2\r\n[x]\r\nName=N\r\nMask=1\r\nDevice=" +
                              Cp1251ToWide(kSafe) +
                              L"\r\nPulseTime=5\r\nSetPulseTime=1\r\nSetDeviceState=1\r\n";
    TContacts list;
    Load(list, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()),
                                        text.size() * sizeof(wchar_t)));
    EXPECT_EQ(2, list.PortNumber);
    EXPECT_EQ(std::vector<TContactRec>{Rec(1, "N", kSafe, 5, true, true)}, Records(list));
    list.SaveToFile(File("q.ini"));
    const std::string saved = Read();
    EXPECT_EQ(std::string::npos, saved.find('\0'));
    EXPECT_NE(0, saved.compare(0, 2, "\xFF\xFE"));
    EXPECT_NE(std::string::npos, saved.find("\r\nDevice=" + kSafe + "\r\n"));
}

TEST_F(ContactFile, LongValuesAndManySectionsAreReadWhole) {
    const std::string device(600, 'd');
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "[contact-section-" + std::to_string(i) +
                "]\r\nName=N\r\nMask=" + std::to_string(i) + "\r\nDevice=" + device +
                "\r\nPulseTime=5\r\nSetPulseTime=1\r\nSetDeviceState=1\r\n";
    TContacts list;
    Load(list, text);
    ASSERT_EQ(100, list.Count());
    EXPECT_EQ(Rec(99, "N", device, 5, true, true), list.Items(99).Data);
}

TEST_F(ContactFile, SavedListLoadsBackTheSame) {
    TContacts list;
    list.LoadDefaults();
    list.Items(1).Data = Rec(0xFF, "", "", 65535, false, true);
    list.SaveToFile(File("q.ini"));
    TContacts first;
    first.LoadFromFile(File("q.ini"));
    first.SaveToFile(File("q.ini"));
    TContacts second;
    second.LoadFromFile(File("q.ini"));
    EXPECT_EQ(1, second.PortNumber);
    EXPECT_EQ(Records(list), Records(first));
    EXPECT_EQ(Records(list), Records(second));
}

TEST_F(ContactFile, FailedSaveRaisesAndKeepsTheOldFile) {
    const std::string old = "[Common]\r\nPortNumber=9\r\n; keep me\r\n";
    const std::string path = Write(old);
    // Another program holds the file open without sharing its deletion, so it cannot be
    // replaced (Wine does replace a read-only file, so that would prove nothing here).
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    TContacts list;
    list.LoadDefaults();
    try {
        list.SaveToFile(Cp1251ToWide(path));
        ADD_FAILURE() << "no failure raised";
    } catch (const EContactError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find(path)) << e.what();
    }
    CloseHandle(holder);
    EXPECT_EQ(old, Read());
    EXPECT_EQ(std::vector<std::string>{"q.ini"}, Files());

    EXPECT_THROW(list.SaveToFile(File("no-such-folder\\q.ini")), EContactError);
    EXPECT_EQ(std::vector<std::string>{"q.ini"}, Files());
}

// A megabyte of what a damaged or foreign file may hold: binary noise with NUL bytes, lines
// without an end, stray brackets and equals signs, and one value far longer than any buffer.
TEST_F(ContactFile, AMegabyteOfGarbageLoadsTheContactsItHolds) {
    std::mt19937 random(1208);
    auto noise = [&](size_t n) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i)
            bytes += static_cast<char>(random() % 256);
        return bytes;
    };
    const std::string longDevice(300000, 'L');
    std::string text = "[Common]\r\nPortNumber=4\r\n" + noise(300000) + "\r\n";
    text += "[a]\r\n" + std::string(kContactKeys) + noise(300000) + "\r\n";
    text += "[b]\r\nName=B\r\nMask=2\r\nDevice=" + longDevice +
            "\r\nPulseTime=7\r\nSetPulseTime=0\r\nSetDeviceState=0\r\n[[=]\r\n==\r\n\r" +
            noise(100000);
    ASSERT_GT(text.size(), 1000000u);
    TContacts list;
    Load(list, text);
    EXPECT_EQ(4, list.PortNumber);
    ASSERT_EQ(2, list.Count());
    EXPECT_EQ(Rec(1, "N", "D", 5, true, true), list.Items(0).Data);
    EXPECT_EQ(Rec(2, "B", longDevice, 7, false, false), list.Items(1).Data);
}

TEST_F(ContactFile, AFileThatCannotBeReadIsNeitherLoadedNorOverwritten) {
    const std::string kept = "[Common]\r\nPortNumber=9\r\n[x]\r\n" + std::string(kContactKeys);
    const std::string path = Write(kept);
    TContacts list;
    list.LoadDefaults();
    // Another program holds the file open and shares nothing.
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_THROW(list.LoadFromFile(Cp1251ToWide(path)), EContactError);
    EXPECT_EQ(kBuiltIn, Records(list));
    CloseHandle(holder);
    // Readable again, but still unread: a save must not replace what nobody has seen.
    EXPECT_THROW(list.SaveToFile(Cp1251ToWide(path)), EContactError);
    EXPECT_EQ(kept, Read());
    list.LoadFromFile(Cp1251ToWide(path));
    EXPECT_EQ(9, list.PortNumber);
    list.SaveToFile(Cp1251ToWide(path));
    EXPECT_NE(kept, Read());
}

TEST(ContactOwnership, ListOwnsAndFreesItsContacts) {
    const long before = gLiveBlocks;
    {
        TContacts list;
        list.LoadDefaults();
        list.Clear();
        list.Clear();
        list.LoadDefaults();
    }
    EXPECT_EQ(before, gLiveBlocks.load());
    TContacts empty;
    empty.Clear();
    EXPECT_EQ(0, empty.Count());
}

TEST(ContactOwnership, CreateAppendsAndSetOwnerMovesToTheEnd) {
    TContacts a, b;
    TContact& first = TContact::Create(a, Rec(1, "1", "", 0, true, true));
    TContact& second = TContact::Create(a, Rec(2, "2", "", 0, true, true));
    TContact& third = TContact::Create(b, Rec(3, "3", "", 0, true, true));
    EXPECT_EQ(&a, &first.Owner());
    EXPECT_EQ(&first, &a.Items(0));
    EXPECT_EQ(&second, &a.Items(1));

    first.SetOwner(a); // unchanged owner: stays where it is
    EXPECT_EQ(&first, &a.Items(0));

    first.SetOwner(b);
    EXPECT_EQ(&b, &first.Owner());
    ASSERT_EQ(1, a.Count());
    EXPECT_EQ(&second, &a.Items(0));
    ASSERT_EQ(2, b.Count());
    EXPECT_EQ(&third, &b.Items(0));
    EXPECT_EQ(&first, &b.Items(1));
    EXPECT_EQ(1, first.Data.Mask);
}

} // namespace
