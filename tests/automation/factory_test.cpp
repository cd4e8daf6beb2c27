// The control factory when a control cannot be constructed: the "DAX Error" message box with the
// failure's text, then E_UNEXPECTED and no object.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "Savolin_TLB.h"
#include "ax/AxFactory.h"

namespace {

const char* failureText = "";

HRESULT FailingCreate(IUnknown*, REFIID, void**) {
    throw std::runtime_error(failureText);
}

// Waits on its own thread for the "DAX Error" box, keeps its text and closes it.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : thread_(CreateThread(nullptr, 0, &Watch, this, 0, nullptr)) {}
    ~MessageBoxWatcher() {
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
    }
    std::string Text() {
        WaitForSingleObject(thread_, 30000);
        return text_;
    }

private:
    static DWORD WINAPI Watch(void* self) {
        auto* watcher = static_cast<MessageBoxWatcher*>(self);
        for (DWORD start = GetTickCount(); GetTickCount() - start < 20000;) {
            if (HWND box = FindWindowA("#32770", "DAX Error")) {
                char text[256]{};
                // The message is the box's static text control.
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                watcher->text_ = text;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(20);
        }
        watcher->text_ = "<no box>";
        return 0;
    }

    HANDLE thread_;
    std::string text_;
};

TEST(ControlFactory, AFailedConstructionIsShownInTheDaxErrorBoxAndGivesEUnexpected) {
    TAxControlClass broken{
        "TSavolin",  CLSID_Korvex, IID_IKorvex, &FailingCreate, 1, OLEMISC_INVISIBLEATRUNTIME,
        L"Apartment"};
    TAxControlFactory factory(broken);
    // A full stop is added only after a character that sorts after it.
    const std::pair<const char*, std::string> cases[] = {
        {"Out of memory", "Out of memory."}, {"Done.", "Done."}, {"Stop!", "Stop!"}};
    for (const auto& [message, shown] : cases) {
        failureText = message;
        MessageBoxWatcher watcher;
        void* out = &watcher;
        EXPECT_EQ(E_UNEXPECTED, factory.CreateInstance(nullptr, IID_IUnknown, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(shown, watcher.Text());
    }
}

} // namespace
