// Recoveries whose system fails underneath them: a disk that fills, a
// source region that cannot be read, no file handles left, an output folder
// that vanishes, a source that shrinks. Each run must end cleanly with the
// errors the engine promises, keep what it finished, and leave nothing
// half-written or outside its folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/paths.h"
#include "event_recorder.h"
#include "fault_os.h"
#include "image_builder/block.h"
#include "image_tools.h"
#include "output/outfolders.h"
#include "platform/disk_image.h"
#include "recovery_folders.h"
#include "scratch.h"
#include "sim_os.h"
#include "source/file64.h"
#include "links_and_fifos.h"
#include "system_facts.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::FaultOs;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::ScratchFolder;
using testing::StartsWith;
using testing::Text;

// True when text is the first bytes of message followed by zeros only.
bool IsCutShortFormOf(const std::string& text, const std::string& message) {
    if (text.size() > message.size()) return false;
    const size_t same = static_cast<size_t>(std::mismatch(text.begin(), text.end(), message.begin()).first - text.begin());
    return text.find_first_not_of('\0', same) == std::string::npos;
}

// An EventRecorder that also lets a test act from inside the callback.
struct HookedRecorder {
    EventRecorder recorder;
    std::function<void(const testing::RecordedEvent&)> hook;

    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData) {
        auto& self = *static_cast<HookedRecorder*>(userData);
        const int32_t answer = EventRecorder::Callback(code, data, &self.recorder);
        if (self.hook) self.hook(self.recorder.events.back());
        return answer;
    }
};

int32_t RunHooked(const std::string& source, const std::string& destination, uint32_t options,
                  HookedRecorder& hooked) {
    RecoveryParams params{};
    params.sourcePath = source.c_str();
    params.options = options;
    params.destFolder = destination.c_str();
    params.callback = &HookedRecorder::Callback;
    params.userData = &hooked;
    auto* bytes = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    return RecoverMessages(&params);
}

// A scratch folder with the image, the output folder and the temporary
// folder, and the fault-injecting system under the engine.
class Faults : public testing::RecoveryFolders {
protected:
    std::string imagePath = scratch / "image.bin";
    std::vector<uint8_t> image;
    FaultOs faults{platform::SystemOs()};
    platform::ScopedOs scoped{faults};

    void TearDown() override {
        tmpdir.reset();
        ExpectNothingChangedOutside();
    }

    // A message of blocks of the given texts, 0x1000 apart on the source
    // from position on, with offsets from firstOffset on.
    std::string Message(uint64_t position, uint32_t firstOffset, const std::vector<std::string>& blocks) {
        std::string text;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const uint32_t offset = firstOffset + 0x210 * static_cast<uint32_t>(i);
            const uint32_t next = i + 1 < blocks.size() ? offset + 0x210 : 0;
            WriteBlock(image, position + 0x1000 * i,
                       BlockFields{offset, 512, static_cast<uint32_t>(blocks[i].size()), next}, blocks[i]);
            text += blocks[i];
        }
        return text;
    }
    // A three-block message of 1124 bytes whose subject is name.
    std::string LongMessage(uint64_t position, uint32_t firstOffset, const std::string& name) {
        const std::string head = "Subject: " + name + "\r\n\r\n";
        return Message(position, firstOffset,
                       {head + std::string(512 - head.size(), 'a'), std::string(512, 'b'), std::string(100, 'c')});
    }

    int32_t Recover(HookedRecorder& hooked, uint32_t options = 0) {
        scratch.WriteFile("image.bin", image);
        return RunHooked(imagePath, output, options, hooked);
    }

    // Nothing outside the output and temporary folders was changed, and no
    // staging file of a copy is left in the output folder.
    void ExpectNothingChangedOutside() {
        for (const std::string& path : faults.changedPaths) {
            if (path.empty()) continue;  // names nothing: the open of a missing temporary file
            EXPECT_TRUE(StartsWith(path, output + kPathSeparator) || StartsWith(path, temp + kPathSeparator + "QXT")) << path;
        }
        EXPECT_EQ(ListFolder(scratch.path()), (std::vector<std::string>{"image.bin", "out", "tmp"}));
        if (!fs::exists(output)) return;
        for (const auto& entry : fs::recursive_directory_iterator(output)) {
            EXPECT_FALSE(StartsWith(entry.path().filename().string(), ".ostrel-")) << entry.path();
        }
    }
};

// --- The output disk fills up ---------------------------------------------

TEST_F(Faults, AMessageThatDoesNotFitTheTemporaryDiskIsLostAloneAndTheRunGoesOn) {
    const std::string first = LongMessage(0, 0x10000, "first");
    // 1536 + 1536 + 100 bytes: too long for the room left when it comes.
    const std::string head = "Subject: second\r\n\r\n";
    Message(0x10000, 0x20000, {head + std::string(512 - head.size(), 'a'), std::string(512, 'b'),
                               std::string(512, 'b'), std::string(512, 'b'), std::string(512, 'b'),
                               std::string(100, 'c')});
    const std::string third = LongMessage(0x20000, 0x30000, "third");
    // The first message's temporary file and its copy fit, and its
    // temporary file's room comes back; the second message's temporary
    // file does not fit what is left; the third fits again.
    faults.diskSpace = 3 * 1124 + 300;
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);

    EXPECT_EQ(hooked.recorder.Texts(EV_ERROR), std::vector<std::string>{"Error 4: Cannot create temporary file."});
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"first.eml", "third.eml"}));
    EXPECT_EQ(Output("first.eml"), first);
    EXPECT_EQ(Output("third.eml"), third);
    // The lost copy has neither log lines nor report cells.
    EXPECT_EQ(hooked.recorder.Texts(EV_REPORT_CELL),
              (std::vector<std::string>{"Message No.", "Subject", "1", "first", "3", "third"}));
    EXPECT_TRUE(ListFolder(temp).empty());  // the unfinished temporary file is removed
    EXPECT_EQ(hooked.recorder.events.back().number, 100);
}

TEST_F(Faults, WhereverTheDiskFillsEveryFileLeftIsACompleteMessage) {
    const std::vector<std::string> messages = {LongMessage(0, 0x10000, "one"), LongMessage(0x10000, 0x20000, "two"),
                                               LongMessage(0x20000, 0x30000, "three")};
    const std::vector<std::string> names = {"one.eml", "two.eml", "three.eml"};
    for (uint64_t space = 0; space <= 6 * 1124; space += 97) {
        SCOPED_TRACE("disk space " + std::to_string(space));
        fs::remove_all(output);
        fs::create_directory(output);
        faults.diskSpace = space;
        HookedRecorder hooked;
        EXPECT_EQ(Recover(hooked), 1);
        size_t written = 0;
        for (size_t k = 0; k < names.size(); ++k) {
            if (fs::exists(output + "/" + names[k])) {
                EXPECT_EQ(Output(names[k]), messages[k]) << names[k];
                ++written;
            }
        }
        // Every copy is either written or reported, and none ends the run.
        size_t lost = 0;
        for (const std::string& error : hooked.recorder.Texts(EV_ERROR)) {
            EXPECT_TRUE(error == "Error 6: Cannot create message file." ||
                        error == "Error 4: Cannot create temporary file.")
                << error;
            ++lost;
        }
        EXPECT_EQ(written + lost, names.size());
        EXPECT_TRUE(ListFolder(temp).empty());
        EXPECT_EQ(hooked.recorder.events.back().number, 100);
    }
}

// --- Another program writes into the output folder ---------------------------

TEST_F(Faults, ANameTakenBetweenLookUpAndPlacementMovesTheMessageOnAndReplacesNothing) {
    const std::string mine = Message(0, 0x100, {"Subject: Hello\r\n"});
    const std::string also = Message(0x1000, 0x200, {"Subject: Hello\r\n", "second"});
    // Another run places its own Hello.eml and Hello(1).eml in the instant
    // between this run's look-up and its placement.
    faults.beforePlacement = [&](const std::string& folder, const std::string& name) {
        if (!fs::exists(folder + name) && name != "Hello(2).eml" && name != "Hello(3).eml") {
            std::ofstream(folder + name) << "theirs: " << name;
        }
    };
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
    EXPECT_EQ(ListFolder(output),
              (std::vector<std::string>{"Hello(1).eml", "Hello(2).eml", "Hello(3).eml", "Hello.eml"}));
    EXPECT_EQ(Output("Hello.eml"), "theirs: Hello.eml");
    EXPECT_EQ(Output("Hello(1).eml"), "theirs: Hello(1).eml");
    // Each of this run's messages is there once, whichever came first.
    std::vector<std::string> placed = {Output("Hello(2).eml"), Output("Hello(3).eml")};
    std::sort(placed.begin(), placed.end());
    std::vector<std::string> expected = {mine, also};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(placed, expected);
}

TEST_F(Faults, ARolloverFolderSwappedForALinkDuringTheRunLeadsNothingOutOfTheOutput) {
    for (uint32_t i = 0; i < 6; ++i) {
        Message(0x1000 * i, 0x100 * (i + 1), {"Subject: m" + std::to_string(i + 1) + "\r\n"});
    }
    const std::string outside = scratch / "outside";
    fs::create_directory(outside);
    SetSubfolderCounter(1);
    HookedRecorder hooked;
    bool tried = false;
    bool moved = false;
    hooked.hook = [&](const testing::RecordedEvent& event) {
        // Once the first message went into Recovered_Msg1, the folder is
        // moved aside and a link to a folder outside takes its name. Windows
        // refuses to move a folder that the run holds open.
        if (!tried && event.code == EV_REPORT_CELL && fs::exists(output + "/Recovered_Msg1") &&
            !ListFolder(output + "/Recovered_Msg1").empty()) {
            tried = true;
            std::error_code refused;
            fs::rename(output + "/Recovered_Msg1", output + "/moved", refused);
            moved = !refused;
            if (moved) testing::MakeLink(outside, output + "/Recovered_Msg1", true);
        }
    };
    EXPECT_EQ(Recover(hooked, VARROW_OPTION_NEW_FOLDER | (2u << 16)), 1);
    ASSERT_TRUE(tried);
    EXPECT_NE(moved, testing::kWindowsNames);
    EXPECT_TRUE(ListFolder(outside).empty());
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
    // Both messages meant for the first subfolder are in it, wherever it is now.
    EXPECT_EQ(ListFolder(output + (moved ? "/moved" : "/Recovered_Msg1")).size(), 2u);
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg2").size(), 2u);
    if (moved) fs::remove(output + "/Recovered_Msg1");
    fs::remove(outside);
}

// --- A region of the source cannot be read ----------------------------------

TEST_F(Faults, AnUnreadableRegionReadsAsZerosAndTheScanGoesOnBeyondIt) {
    const std::string before = Message(0, 0x100, {"Subject: before\r\n"});
    Message(0x5000, 0x200, {"Subject: inside\r\n"});
    // Its head lies before the region, its second block inside.
    Message(0x3000, 0x300, {"Subject: reaching in\r\n", "lost part"});
    const std::string after = Message(0xA000, 0x400, {"Subject: after\r\n", "second block"});
    faults.FailReads(imagePath, 0x4000, 0x8000);
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_GT(faults.failedReads, 0);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"after.eml", "before.eml", "reaching in.eml"}));
    EXPECT_EQ(Output("before.eml"), before);
    EXPECT_EQ(Output("after.eml"), after);
    EXPECT_EQ(Output("reaching in.eml"), "Subject: reaching in\r\n");
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
}

TEST_F(Faults, AnImageChunkTheLibraryCannotReadCostsOnlyWhatLiesInIt) {
    const std::string before = Message(0, 0x100, {"Subject: before\r\n"});
    Message(0x5000, 0x200, {"Subject: inside\r\n"});
    Message(0x3000, 0x300, {"Subject: reaching in\r\n", "lost part"});
    const std::string after = Message(0xA000, 0x400, {"Subject: after\r\n", "second block"});
    image.resize(0x20000);
    // The source is an E01 of those bytes (libewf finds the segments of an
    // EWF set by their names: it must be called .E01).
    scratch.WriteFile("image.bin", image);
    if (!platform::ImageLibrariesBuiltIn()) GTEST_SKIP() << "built without image libraries";
    const std::string ewf = testing::MakeEwfImage(imagePath, temp, "acquired", 0, true);
    ASSERT_FALSE(ewf.empty());
    faults.DamageImage(ewf, 0x4000, 0x8000);

    HookedRecorder hooked;
    EXPECT_EQ(RunHooked(ewf, output, VARROW_OPTION_IMAGE_FORMATS, hooked), 1);
    EXPECT_GT(faults.damagedImageReads, 0);
    EXPECT_EQ(hooked.recorder.Texts(EV_LOG)[0], "Source format: EWF (E01)");
    EXPECT_EQ(ListFolder(output),
              (std::vector<std::string>{"after.eml", "before.eml", "reaching in.eml"}));
    EXPECT_EQ(Output("before.eml"), before);
    EXPECT_EQ(Output("after.eml"), after);
    EXPECT_EQ(Output("reaching in.eml"), "Subject: reaching in\r\n");
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
}

TEST_F(Faults, DataThatRunsIntoAnUnreadableSectorIsKeptAsZeros) {
    // The region starts inside the message's data; the whole sector that
    // holds its first byte reads as zeros.
    const std::string text = "Subject: torn\r\n" + std::string(490, 'x');
    Message(0, 0x100, {text});
    faults.FailReads(imagePath, 0x200 + 2, 0x200 + 3);
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_EQ(Output("torn.eml"), text.substr(0, 0x200 - 16) + std::string(text.size() - (0x200 - 16), '\0'));
}

TEST_F(Faults, ASourceThatCannotBeReadAtAllHoldsNothing) {
    Message(0, 0x100, {"Subject: unreachable\r\n"});
    faults.FailReads(imagePath, 0, UINT64_MAX);
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 0);
    EXPECT_TRUE(ListFolder(output).empty());
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
    EXPECT_EQ(hooked.recorder.events.back().number, 100);
}

TEST(FaultsOfTheDevice, AFailingSectorThatTheDeviceCannotMovePastEndsTheRead) {
    testing::SimOs sim;
    platform::ScopedOs scoped{sim};
    testing::SimDevice& device = sim.AddDevice("/faulty/disk");
    for (int i = 0; i < 4 * 512; ++i) device.bytes.push_back(static_cast<uint8_t>(i % 251 + 1));
    device.blockDevice = true;
    device.badSectors = {1};
    device.seekFails = [](uint64_t position) { return position >= 1024; };
    CFile64Ex reader(4096);
    CFileException error(CFileException::none, -1);
    ASSERT_TRUE(reader.Open("/faulty/disk", CFile64::modeRead | CFile64::shareDenyNone, &error));
    // The bad sector reads as zeros; the sector after it cannot be reached,
    // so the read ends rather than deliver the bad one's zeros again as its.
    std::vector<uint8_t> bytes(2048, 0xEE);
    EXPECT_EQ(reader.Read(bytes.data(), 2048), 1024u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 512, device.bytes.begin()));
    EXPECT_EQ(std::count(bytes.begin() + 512, bytes.begin() + 1024, 0), 512);
    EXPECT_TRUE(reader.IsEOF());
}

// --- No file handles left ---------------------------------------------------

TEST_F(Faults, TooManyOpenFilesForTheTemporaryFileIsError4ForThatMessage) {
    Message(0, 0x100, {"Subject: m1\r\n"});
    Message(0x1000, 0x200, {"Subject: m2\r\n"});
    Message(0x2000, 0x300, {"Subject: m3\r\n"});
    int temporaryOpens = 0;
    faults.openError = [&](const std::string& path, const platform::OpenRequest& request) -> long {
        const bool temporary = StartsWith(path, temp + kPathSeparator + "QXT") && request.access == platform::Access::Write;
        return temporary && ++temporaryOpens == 2 ? testing::kErrorTooManyFiles : 0;
    };
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_EQ(hooked.recorder.Texts(EV_ERROR), std::vector<std::string>{"Error 4: Cannot create temporary file."});
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"m1.eml", "m3.eml"}));
    // The failed message keeps its number: the next one is number 3.
    EXPECT_EQ(hooked.recorder.Texts(EV_REPORT_CELL),
              (std::vector<std::string>{"Message No.", "Subject", "1", "m1", "3", "m3"}));
    // The temporary file that could not be opened stays behind, empty.
    const auto left = ListFolder(temp);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(fs::file_size(temp + "/" + left[0]), 0u);
}

TEST_F(Faults, NoTemporaryFileAtAllIsError4ForEveryMessage) {
    Message(0, 0x100, {"Subject: m1\r\n"});
    Message(0x1000, 0x200, {"Subject: m2\r\n"});
    faults.tempFileFails = [] { return true; };
    HookedRecorder hooked;
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_EQ(hooked.recorder.Texts(EV_ERROR),
              std::vector<std::string>(2, "Error 4: Cannot create temporary file."));
    EXPECT_EQ(hooked.recorder.Count(EV_LOG), 0);
    EXPECT_TRUE(ListFolder(output).empty());
    EXPECT_TRUE(ListFolder(temp).empty());
}

// --- The output folder goes away ----------------------------------------------

TEST_F(Faults, AnOutputFolderRemovedDuringTheRunFailsEveryLaterCopyWithError6) {
    for (uint32_t options : {0u, (1u << 16) | VARROW_OPTION_NEW_FOLDER}) {
        SCOPED_TRACE("options " + std::to_string(options));
        image.clear();
        fs::create_directory(output);
        const std::string first = Message(0, 0x100, {"Subject: m1\r\n"});
        Message(0x1000, 0x200, {"Subject: m2\r\n"});
        Message(0x2000, 0x300, {"Subject: m3\r\n"});
        SetSubfolderCounter(1);
        HookedRecorder hooked;
        std::string kept;
        bool removed = false;
        hooked.hook = [&](const testing::RecordedEvent& event) {
            // Once the first message's row is reported, its file is there.
            if (event.code == EV_REPORT_CELL && event.text == "m1") {
                kept = Output("m1.eml");
                std::error_code refused;
                fs::remove_all(output, refused);
                removed = !refused;
            }
        };
        EXPECT_EQ(Recover(hooked, options), 1);
        EXPECT_EQ(kept, first);
        EXPECT_EQ(hooked.recorder.Count(EV_REPORT_CELL), 2 + 3 * 2);
        // Windows does not let a folder that the run holds open be removed:
        // the later messages are written into it as usual.
        EXPECT_NE(removed, testing::kWindowsNames);
        if (removed) {
            EXPECT_EQ(hooked.recorder.Texts(EV_ERROR), std::vector<std::string>(2, "Error 6: Cannot create message file."));
            EXPECT_FALSE(fs::exists(output));  // never made again
        } else {
            EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
            fs::remove_all(output);
        }
        EXPECT_TRUE(ListFolder(temp).empty());
        EXPECT_EQ(hooked.recorder.events.back().number, 100);
    }
    fs::create_directory(output);
}

// --- The source shrinks while it is read ----------------------------------------

TEST_F(Faults, ASourceCutShortDuringTheScanKeepsWhatWasFoundBeforeTheCut) {
    constexpr uint64_t kMiB = 1 << 20;
    // The scan reads up to four runs of 1 MiB ahead of the one being
    // tested: what lies in them may have been read before the cut. The
    // later messages lie beyond them.
    const std::string early = Message(100 * 1024, 0x100, {"Subject: early\r\n"});
    Message(5 * kMiB + kMiB / 2, 0x200, {"Subject: middle\r\n"});
    Message(7 * kMiB + kMiB / 2, 0x300, {"Subject: late\r\n"});
    image.resize(8 * kMiB);
    HookedRecorder hooked;
    hooked.hook = [&](const testing::RecordedEvent& event) {
        if (event.code == EV_QUERY_ABORT && hooked.recorder.questions == 1) fs::resize_file(imagePath, kMiB);
    };
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_EQ(ListFolder(output), std::vector<std::string>{"early.eml"});
    EXPECT_EQ(Output("early.eml"), early);
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
    EXPECT_EQ(hooked.recorder.events.back().number, 100);
}

TEST_F(Faults, ASourceCutShortDuringOutputGivesShorterMessagesNeverLongerOnes) {
    std::vector<std::string> messages;
    for (uint32_t k = 0; k < 4; ++k) {
        messages.push_back(LongMessage(0x10000 * k, 0x10000 * (k + 1), "m" + std::to_string(k + 1)));
    }
    HookedRecorder hooked;
    hooked.hook = [&](const testing::RecordedEvent& event) {
        if (event.code == EV_LOG && event.text == "Finish processing message (No.1).") {
            fs::resize_file(imagePath, 0x10000 + 0x1000 + 100);
        }
    };
    EXPECT_EQ(Recover(hooked), 1);
    EXPECT_TRUE(hooked.recorder.Texts(EV_ERROR).empty());
    EXPECT_EQ(hooked.recorder.Count(EV_REPORT_CELL), 2 + 4 * 2);
    // What could still be read is kept, and data cut off by the end of the
    // source is zeros: every file is the start of one message, then zeros.
    for (const std::string& name : ListFolder(output)) {
        const std::string text = Output(name);
        bool cutShort = false;
        for (const std::string& message : messages) cutShort = cutShort || IsCutShortFormOf(text, message);
        EXPECT_TRUE(cutShort) << name;
    }
    EXPECT_EQ(Output("m1.eml"), messages[0]);
    EXPECT_EQ(hooked.recorder.events.back().number, 100);
}

}  // namespace
}  // namespace varrow
