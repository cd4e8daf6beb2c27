// The program's edge on a POSIX system: the arguments and everything written are UTF-8.
#include "KxConsole.h"

#include <unistd.h>

#include "KxUtf8.h"

void WriteTo(KxStream stream, const std::wstring& text) {
    const int fd = stream == KxStream::Out ? STDOUT_FILENO : STDERR_FILENO;
    const std::string bytes = ToUtf8(text);
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return; // a closed pipe: nobody reads any more
        done += static_cast<size_t>(n);
    }
}

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(FromUtf8(argv[i]));
    return KxctlMain(args);
}
