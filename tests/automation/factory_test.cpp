// The control factory when a control cannot be constructed: where the process has an
// interactive window station, the "DAX Error" message box with the failure's text; on any other
// (a service's, a scheduled task's) no box at all. E_UNEXPECTED and no object either way.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "Savolin_TLB.h"
#include "AxFactory.h"

namespace {

const char* failureText = "";

HRESULT FailingCreate(IUnknown*, REFIID, void**) {
    throw std::runtime_error(failureText);
}

// Waits on its own thread for the "DAX Error" box, keeps its text and closes it; "<no box>"
// when none came before Stop or the time-out.
class MessageBoxWatcher {
public:
    MessageBoxWatcher()
        : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          thread_(CreateThread(nullptr, 0, &Watch, this, 0, nullptr)) {}
    ~MessageBoxWatcher() {
        Stop();
        WaitForSingleObject(thread_, 30000);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    void Stop() { SetEvent(stop_); }
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
            if (WaitForSingleObject(watcher->stop_, 20) == WAIT_OBJECT_0)
                break;
        }
        watcher->text_ = "<no box>";
        return 0;
    }

    HANDLE stop_;
    HANDLE thread_;
    std::string text_;
};

// The process on a window station of its own that no user sees, as a service's is; the
// interactive one again when it goes.
class HiddenWindowStation {
public:
    HiddenWindowStation()
        : interactive_(GetProcessWindowStation()),
          hidden_(CreateWindowStationW(L"KorvexNoUser", 0, WINSTA_ALL_ACCESS, nullptr)) {
        EXPECT_NE(nullptr, hidden_);
        EXPECT_TRUE(SetProcessWindowStation(hidden_));
    }
    ~HiddenWindowStation() {
        SetProcessWindowStation(interactive_);
        CloseWindowStation(hidden_);
    }
    HiddenWindowStation(const HiddenWindowStation&) = delete;
    HiddenWindowStation& operator=(const HiddenWindowStation&) = delete;

private:
    HWINSTA interactive_;
    HWINSTA hidden_;
};

TEST(ControlFactory, AFailedConstructionGivesEUnexpectedAndIsShownOnlyWhereAUserCanSeeIt) {
    TAxControlClass broken{
        "TSavolin",  CLSID_Korvex, IID_IKorvex, &FailingCreate, 1, OLEMISC_INVISIBLEATRUNTIME,
        L"Apartment"};
    TAxControlFactory factory(broken);
    // A full stop is added only after a character that sorts after it.
    struct Case {
        bool interactive;
        const char* message;
        std::string shown;
    };
    const Case cases[] = {{true, "Out of memory", "Out of memory."},
                          {true, "Done.", "Done."},
                          {true, "Stop!", "Stop!"},
                          {false, "Out of memory", "<no box>"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.message) + (c.interactive ? ", interactive" : ", no user"));
        failureText = c.message;
        MessageBoxWatcher watcher;
        void* out = &watcher;
        {
            std::unique_ptr<HiddenWindowStation> station;
            if (!c.interactive)
                station = std::make_unique<HiddenWindowStation>();
            EXPECT_EQ(E_UNEXPECTED, factory.CreateInstance(nullptr, IID_IUnknown, &out));
        }
        // A box would have held the call until the watcher closed it: it has returned, so
        // there is nothing more to wait for.
        watcher.Stop();
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(c.shown, watcher.Text());
    }
}

} // namespace
