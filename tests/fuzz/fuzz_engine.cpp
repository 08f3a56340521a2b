// The whole engine over a small image held in memory.
//
// Input: one byte of options, one byte that shapes the device and the
// output folder, one byte that picks a failing sector; the rest is the
// image. Each run goes through RecoverMessages into a scratch output folder
// that is emptied afterwards, and must keep these invariants:
//  - every path the engine changes lies inside the output folder or is one
//    of its temporary files, and nothing outside is touched (a link in the
//    output folder that points outside keeps its target as it was);
//  - the report has its two titles, then two cells per message (with
//    records on, none for an identical or unreadable copy); each
//    message has its six log lines, and is either a file in the output
//    folder holding exactly the logged size or an "Error 6";
//  - no temporary or staging file is left behind;
//  - progress starts at 0, never decreases and ends at 100;
//  - the result is 1 exactly when message output began (a report row, or an
//    "Error 4" for a head);
//  - with records on: every record's file lies inside the output folder and
//    holds its bytes, every position it names lies inside the source, its
//    byte runs add up to its size, and the totals add up to the records and
//    the files on disk.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "fault_os.h"
#include "fuzz_support.h"
#include "output/outfolders.h"
#include "sim_os.h"
#include "varrow.h"

namespace {

namespace fs = std::filesystem;
using ostrel::fuzz::Check;

constexpr char kImagePath[] = "/ostrel-fuzz/image";
constexpr char kVictimText[] = "outside the output folder";
constexpr char kKeptText[] = "already in the output folder";

struct Event {
    int32_t code;
    std::string text;
    int number;
};

struct Record {
    VarrowMessageRecord fields;
    std::string path;
    std::vector<uint64_t> blocks;
    std::vector<VarrowByteRun> runs;
};

struct Recorder {
    std::vector<Event> events;
    std::vector<Record> records;
    std::vector<VarrowTotals> totals;

    static int32_t VARROW_CALL Callback(int32_t code, void* data, void* userData) {
        auto& self = *static_cast<Recorder*>(userData);
        Event event{code, {}, -1};
        if (code == EV_PROGRESS) {
            event.number = *static_cast<const uint8_t*>(data);
        } else if (code == EV_REPORT_COLUMNS) {
            event.number = *static_cast<const int32_t*>(data);
        } else if (code == EV_MESSAGE_RECORD) {
            const auto& record = *static_cast<const VarrowMessageRecord*>(data);
            self.records.push_back({record, record.path, {record.blocks, record.blocks + record.blockCount},
                                    {record.runs, record.runs + record.runCount}});
        } else if (code == EV_TOTALS) {
            self.totals.push_back(*static_cast<const VarrowTotals*>(data));
        } else if (code != EV_QUERY_ABORT) {
            event.text = static_cast<const char*>(data);
        }
        self.events.push_back(std::move(event));
        return 0;
    }
};

struct World {
    std::string root = ostrel::fuzz::MakeScratchRoot("engine");
    std::string output = root + "/out";
    std::string temp = root + "/tmp";
    std::string victim = root + "/victim";
    varrow::testing::SimOs sim;
    varrow::testing::FaultOs journal{sim};
    varrow::platform::ScopedOs scoped{journal};

    World() {
        fs::create_directory(output);
        fs::create_directory(temp);
        setenv("TMPDIR", temp.c_str(), 1);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

uint32_t OptionsFrom(uint8_t bits) {
    uint32_t options = 0;
    if (bits & 1) options |= VARROW_OPTION_NEW_FOLDER;
    options |= uint32_t{(bits >> 1) & 3u} << 16;  // a limit of 1..3, or 0 for 10000
    if (bits & 8) options |= VARROW_OPTION_STORE_AWARE;
    if (bits & 16) options |= VARROW_OPTION_RECORDS | VARROW_OPTION_SKIP_IDENTICAL | VARROW_OPTION_SOURCE_HEALTH;
    if (bits & 32) options |= VARROW_OPTION_READABLE_NAMES | VARROW_OPTION_FILE_DATES;
    return options;
}

void ShapeDevice(varrow::testing::SimDevice& device, uint8_t shape, uint8_t badSector) {
    static constexpr uint32_t kSectorSizes[] = {512, 512, 2048, 4096};
    device.sectorSize = kSectorSizes[shape & 3];
    device.blockDevice = true;  // the reader takes the sector size from the device
    device.answersLength = true;
    device.reportedLength = device.bytes.size();
    if (shape & 4) device.badSectors.insert(badSector % (device.bytes.size() / device.sectorSize + 1));
}

// A link named like the first untitled message that points outside, a file
// named like the first message of that subject, and a file where the second
// rollover folder would go.
void PlantHostileEntries(const World& world) {
    ostrel::fuzz::WriteFileText(world.victim, kVictimText);
    fs::create_symlink(world.victim, world.output + "/Message 1.eml");
    ostrel::fuzz::WriteFileText(world.output + "/Subject.eml", kKeptText);
    ostrel::fuzz::WriteFileText(world.output + "/Recovered_Msg2", kKeptText);
}

// What the records and totals of a run with records on must say.
void CheckRecords(const World& world, const Recorder& recorder, uint64_t sourceSize,
                  const std::vector<std::string>& written) {
    Check(recorder.totals.size() == 1, "one totals event");
    const VarrowTotals& totals = recorder.totals.front();
    Check(totals.copiesHandled == recorder.records.size(), "the totals count every record");
    Check(totals.written + totals.duplicatesSkipped + totals.failed + totals.empty == totals.copiesHandled,
          "every copy has one outcome");
    Check(totals.complete + totals.incomplete == totals.written, "every written copy is complete or not");
    Check(written.size() == totals.written, "every written copy is a file, and only they are");
    for (const Record& record : recorder.records) {
        uint64_t runBytes = 0;
        for (const VarrowByteRun& run : record.runs) {
            runBytes += run.length;
            if (!(run.flags & VARROW_RUN_ZEROS)) {
                Check(run.position + run.length <= sourceSize, "a byte run lies inside the source");
            }
        }
        for (const uint64_t block : record.blocks) Check(block < sourceSize, "a block lies inside the source");
        Check(record.fields.blockCount == 0 || runBytes == record.fields.bytes, "byte runs add up to the size");
        Check(record.fields.incomplete != 0 ||
                  (record.fields.chainEnd == VARROW_END_COMPLETE && !record.fields.unreadable &&
                   record.fields.startsWithHeader),
              "complete means a whole chain of readable bytes that starts with a header");
        if (record.fields.outcome == VARROW_COPY_WRITTEN) {
            Check(ostrel::fuzz::LiesInside(record.path, world.output), "a record's file lies inside: " + record.path);
            Check(fs::is_regular_file(fs::symlink_status(record.path)) && fs::file_size(record.path) == record.fields.bytes,
                  "a record's file holds its bytes: " + record.path);
        } else {
            Check(record.path.empty(), "a copy that was not written names no file");
        }
        if (record.fields.outcome == VARROW_COPY_DUPLICATE) {
            Check(record.fields.duplicateOfNumber != 0, "an identical copy names the first one");
        }
    }
}

void CheckRun(const World& world, const Recorder& recorder, int32_t result, bool hostile, bool records,
              uint64_t sourceSize) {
    std::vector<std::string> cells;
    std::vector<int> progress;
    int error4 = 0;
    int error6 = 0;
    uint64_t loggedBytes = 0;   // sizes of the messages whose copy succeeded
    uint64_t messageSize = 0;   // size of the message being handled
    int startLines = 0;
    for (size_t i = 0; i < recorder.events.size(); ++i) {
        const Event& event = recorder.events[i];
        switch (event.code) {
            case EV_PROGRESS: progress.push_back(event.number); break;
            case EV_REPORT_CELL:
                cells.push_back(event.text);
                // The subject cell ends a message: its size counts unless the
                // copy failed.
                if (cells.size() > 2 && cells.size() % 2 == 0) {
                    loggedBytes += messageSize;
                    messageSize = 0;
                }
                break;
            case EV_LOG:
                if (StartsWith(event.text, "Start processing message")) ++startLines;
                if (StartsWith(event.text, "Message size: ")) {
                    messageSize = std::strtoull(event.text.c_str() + 14, nullptr, 10);
                }
                break;
            case EV_ERROR:
                if (event.text == "Error 4: Cannot create temporary file.") {
                    ++error4;
                } else if (event.text == "Error 6: Cannot create message file.") {
                    ++error6;
                    messageSize = 0;
                } else {
                    Check(records && event.text.find("stopped answering") != std::string::npos,
                          "unexpected error: " + event.text);
                }
                break;
            default: break;
        }
    }

    Check(cells.size() >= 2 && cells[0] == "Message No." && cells[1] == "Subject",
          "the report starts with its titles");
    Check(cells.size() % 2 == 0, "the report holds whole rows");
    const size_t rows = (cells.size() - 2) / 2;
    // Identical copies have their log lines but no row.
    Check(records || static_cast<size_t>(startLines) == rows, "one report row per message handled");
    // With records on, a copy that was identical to an earlier one or had
    // nothing readable gets no row, so a head whose copies were all of
    // them leaves a gap; no written copy may fall into one.
    std::set<unsigned long> writtenNumbers;
    for (const Record& record : recorder.records) {
        if (record.fields.outcome == VARROW_COPY_WRITTEN) writtenNumbers.insert(record.fields.number);
    }
    for (size_t row = 1; row < rows; ++row) {
        const unsigned long before = std::strtoul(cells[2 * row].c_str(), nullptr, 10);
        const unsigned long now = std::strtoul(cells[2 * row + 2].c_str(), nullptr, 10);
        Check(now >= before, "message numbers never go back");
        if (!records) {
            Check(now <= before + 1, "message numbers count heads one by one");
        } else if (now > before + 1) {
            Check(writtenNumbers.lower_bound(before + 1) == writtenNumbers.lower_bound(now),
                  "only heads without a written copy are passed over in the report");
        }
    }

    Check(!progress.empty() && progress.front() == 0 && progress.back() == 100,
          "progress runs from 0 to 100");
    for (size_t i = 1; i < progress.size(); ++i) {
        Check(progress[i] >= progress[i - 1], "progress never decreases");
    }
    Check(records || result == ((rows > 0 || error4 > 0) ? 1 : 0), "the result says whether heads remained");
    Check(hostile || error6 == 0, "copies into a sound folder succeed");

    // What the run left on disk.
    for (const std::string& path : world.journal.changedPaths) {
        const bool temporary = StartsWith(path, world.temp + "/QXT");
        Check(temporary || ostrel::fuzz::LiesInside(path, world.output),
              "the engine changed a path outside its folders: " + path);
    }
    Check(fs::is_empty(world.temp), "no temporary file is left behind");
    std::vector<std::string> written;
    uint64_t writtenBytes = 0;
    for (const std::string& file : ostrel::fuzz::FilesBelow(world.output)) {
        const std::string name = fs::path(file).filename().string();
        // Staging files are ".ostrel-", the process id and a number; a
        // message may well be named like one, but with ".eml".
        const bool staging = StartsWith(name, ".ostrel-") && name.find('.', 1) == std::string::npos;
        Check(!staging, "a staging file was left behind: " + file);
        if (hostile && (name == "Message 1.eml" || name == "Subject.eml" || name == "Recovered_Msg2") &&
            fs::path(file).parent_path() == world.output) {
            continue;
        }
        Check(fs::is_regular_file(fs::symlink_status(file)), "only message files are written: " + file);
        written.push_back(file);
        writtenBytes += fs::file_size(file);
    }
    if (records) {
        CheckRecords(world, recorder, sourceSize, written);
    } else {
        Check(written.size() + error6 == rows, "every message is a file or an Error 6");
        Check(writtenBytes == loggedBytes, "every file holds exactly the logged size");
    }
    if (hostile) {
        Check(ostrel::fuzz::ReadFileText(world.victim) == kVictimText, "a link's target keeps its bytes");
        Check(ostrel::fuzz::ReadFileText(world.output + "/Subject.eml") == kKeptText &&
                  ostrel::fuzz::ReadFileText(world.output + "/Recovered_Msg2") == kKeptText,
              "an existing file keeps its bytes");
        Check(fs::is_symlink(world.output + "/Message 1.eml"), "a link stays a link");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    World& world = TheWorld();
    const uint32_t options = OptionsFrom(data[0]);
    const bool hostile = (data[1] & 8) != 0;

    varrow::testing::SimDevice& device = world.sim.AddDevice(kImagePath);
    device = varrow::testing::SimDevice{};
    device.bytes.assign(data + 3, data + size);
    ShapeDevice(device, data[1], data[2]);
    world.journal.changedPaths.clear();
    varrow::SetSubfolderCounter(1);
    if (hostile) PlantHostileEntries(world);

    Recorder recorder;
    RecoveryParams params{};
    params.sourcePath = kImagePath;
    params.options = options;
    params.destFolder = world.output.c_str();
    params.callback = &Recorder::Callback;
    params.userData = &recorder;
    auto* bytes = reinterpret_cast<unsigned char*>(&params);
    for (size_t i = 0; i < sizeof params; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    const int32_t result = RecoverMessages(&params);

    CheckRun(world, recorder, result, hostile, (options & VARROW_OPTION_RECORDS) != 0, device.bytes.size());
    ostrel::fuzz::EmptyFolder(world.output);
    ostrel::fuzz::EmptyFolder(world.temp);
    std::error_code ignored;
    fs::remove(world.victim, ignored);
    return 0;
}
