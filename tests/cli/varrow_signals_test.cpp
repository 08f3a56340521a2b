// The varrow program stopped by signals, run twice at once into one folder,
// and asked to write over its own source.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "image_builder/block.h"
#include "scratch.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::Text;

// A varrow process with its standard output and error in files, and
// TMPDIR set to a folder the test watches.
class Process {
public:
    Process(const std::vector<std::string>& arguments, const std::string& tmpdir,
            const std::string& stdoutPath) {
        pid_ = fork();
        if (pid_ != 0) return;
        setenv("TMPDIR", tmpdir.c_str(), 1);
        const int out = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(VARROW_PROGRAM)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(VARROW_PROGRAM, argv.data());
        _exit(127);
    }
    void Signal(int signal) const { kill(pid_, signal); }
    // The exit status, or -1 when the process was killed by a signal.
    int Wait() const {
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_;
};

size_t LinesOf(const std::string& path) {
    std::ifstream in(path);
    size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
}

class VarrowSignals : public ::testing::Test {
protected:
    static constexpr size_t kMessages = 6000;

    ScratchFolder scratch;
    std::string out = scratch / "out";
    std::string tmp = scratch / "tmp";
    std::string report = scratch / "report.csv";
    std::string image;

    void SetUp() override {
        fs::create_directory(out);
        fs::create_directory(tmp);
        // Many small messages with distinct subjects: pass 2 takes long
        // enough to be interrupted in the middle.
        std::vector<uint8_t> bytes;
        for (uint32_t i = 0; i < kMessages; ++i) {
            const std::string text = "Subject: message " + std::to_string(i) + "\r\n\r\nbody\r\n";
            WriteBlock(bytes, bytes.size() + 32,
                       BlockFields{0x100 + 0x210 * i, 512, static_cast<uint32_t>(text.size()), 0},
                       text);
        }
        image = scratch.WriteFile("image.bin", bytes);
    }

    // Waits until the run has reported some messages.
    void WaitForRows(size_t rows) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (LinesOf(report) < rows && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // What a stopped or killed run must leave: a report row for each file,
    // and nothing of its own in the temporary or the output folder.
    void ExpectCleanEnd() const {
        EXPECT_EQ(LinesOf(report), ListFolder(out).size() + 1);
        EXPECT_TRUE(ListFolder(tmp).empty());
        for (const std::string& name : ListFolder(out))
            EXPECT_EQ(name.rfind(".ostrel-", 0), std::string::npos) << name;
    }
};

TEST_F(VarrowSignals, AnyStopSignalEndsTheRunWithItsTotalsAndStatus130) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        fs::remove_all(out);
        fs::create_directory(out);
        fs::remove(report);
        Process run({"recover", "--report", report, image, out}, tmp, scratch / "log.txt");
        WaitForRows(50);
        run.Signal(signal);
        EXPECT_EQ(run.Wait(), 130);
        EXPECT_LT(ListFolder(out).size(), kMessages);
        EXPECT_GT(ListFolder(out).size(), 40u);
        ExpectCleanEnd();
        const std::string log = Text(ReadWholeFile(scratch / "log.txt"));
        EXPECT_NE(log.find("stopped before the end"), std::string::npos)
            << log.substr(log.size() - 300);
        // The log ends with a whole message's lines.
        EXPECT_EQ(log.substr(log.rfind("varrow: ") - 57, 57), std::string(56, '-') + "\n");
    }
}

TEST_F(VarrowSignals, ASecondSignalEndsAtOnceAndLeavesNothingOfItsOwnBehind) {
    Process run({"recover", "--quiet", "--report", report, image, out}, tmp, scratch / "log.txt");
    WaitForRows(50);
    run.Signal(SIGTERM);
    run.Signal(SIGTERM);
    EXPECT_EQ(run.Wait(), 130);
    // The last row may be missing when the run ended between placing a
    // file and writing its row; never the other way round.
    EXPECT_LE(LinesOf(report), ListFolder(out).size() + 1);
    EXPECT_GE(LinesOf(report) + 1, ListFolder(out).size() + 1);
    EXPECT_TRUE(ListFolder(tmp).empty());
}

TEST_F(VarrowSignals, AClosedPipeDoesNotEndTheRun) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        execl(VARROW_PROGRAM, VARROW_PROGRAM, "recover", "--quiet", "--report", report.c_str(),
              image.c_str(), out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    // The reader takes one line and goes away, as `| head -1` does.
    char first[64];
    ASSERT_GT(read(pipeEnds[0], first, sizeof first), 0);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ListFolder(out).size(), kMessages);
    ExpectCleanEnd();
}

TEST_F(VarrowSignals, TwoRunsIntoOneFolderAtOnceLoseNothing) {
    Process first({"recover", "--quiet", image, out}, tmp, scratch / "first.txt");
    Process second({"recover", "--quiet", "--classic", image, out}, tmp, scratch / "second.txt");
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);
    // Every message twice: once under its subject, once with "(1)".
    std::map<std::string, int> copies;
    for (const std::string& name : ListFolder(out)) ++copies[Text(ReadWholeFile(out + "/" + name))];
    EXPECT_EQ(copies.size(), kMessages);
    for (const auto& [text, count] : copies) EXPECT_EQ(count, 2) << text;
}

TEST_F(VarrowSignals, OutputsThatWouldOverwriteTheSourceAreRefusedBeforeAnythingIsWritten) {
    const std::vector<uint8_t> before = ReadWholeFile(image);
    const std::string relative = "./" + fs::path(image).filename().string();
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"recover", "--report", image, image, out},
          std::vector<std::string>{"recover", "--log", image, image, out}}) {
        Process run(arguments, tmp, scratch / "refused.txt");
        EXPECT_EQ(run.Wait(), 2);
        EXPECT_NE(
            Text(ReadWholeFile(scratch / "refused.txt")).find("would be written on the source"),
            std::string::npos);
    }
    EXPECT_EQ(ReadWholeFile(image), before);
    EXPECT_TRUE(ListFolder(out).empty());
    Process device({"recover", "/dev/zero", out}, tmp, scratch / "device.txt");
    EXPECT_EQ(device.Wait(), 2);
    EXPECT_NE(Text(ReadWholeFile(scratch / "device.txt")).find("character device"),
              std::string::npos);
}

}  // namespace
}  // namespace varrow
