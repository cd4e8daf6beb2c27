// The reference for what one load of a library costs the process here: a C++ library built and
// linked as Korvex.dll is, with the runtime's strings and exceptions, and nothing of its own.
// Wine and the statically linked runtime keep a little of every load (memory, and on 32-bit
// the runtime's data for the loading thread); Korvex.dll must keep no more than this does.
#include <stdexcept>
#include <string>

extern "C" __declspec(dllexport) int loadref_marker(int n) {
    try {
        throw std::runtime_error(std::string(static_cast<size_t>(n), 'x'));
    } catch (const std::exception& e) {
        return static_cast<int>(std::string(e.what()).size());
    }
}
