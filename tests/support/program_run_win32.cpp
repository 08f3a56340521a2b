// Through cmd.exe; the pipe is read in text mode, so the program's CR LF
// line ends arrive as '\n'.
#include <array>
#include <cstdio>

#include "program_run.h"

namespace varrow::testing {

ProgramRun RunCommand(const std::string& command) {
    std::FILE* pipe = _popen((command + " 2>&1").c_str(), "rt");
    ProgramRun run{-1, {}};
    if (!pipe) return run;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), n);
    run.status = _pclose(pipe);
    return run;
}

const char* const kUnwritableFolder = "Z:\\proc\\self";

}  // namespace varrow::testing
