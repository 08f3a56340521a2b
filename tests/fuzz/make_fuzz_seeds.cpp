// Writes the seed corpora of the fuzz targets into one folder per target:
//   make_fuzz_seeds DIR   ->  DIR/engine, DIR/headers, DIR/naming, DIR/reader, DIR/scan
// The images come from the test image builder: message areas of stores
// with realistic messages, fragmented among noise, and hand-made chains
// that meet the linking rules (loops, copies, missing blocks, cut header
// names) and hostile subjects. Each seed starts with the control bytes its
// target reads first.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image_builder/block.h"
#include "image_builder/message_factory.h"
#include "image_builder/noise.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace {

namespace fs = std::filesystem;
using namespace ostrel::builder;

using Bytes = std::vector<uint8_t>;

void Write(const fs::path& folder, const std::string& name, const Bytes& prefix, const Bytes& body) {
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(prefix.data()), static_cast<std::streamsize>(prefix.size()));
    out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The message area of a store of a few short messages: what a disk holds
// of it, without the store's 60 KB header area.
Bytes StoreMessageArea(uint64_t seed, int messages) {
    MessageFactory factory(seed);
    StoreBuilder store(seed + 1);
    for (int i = 0; i < messages; ++i) {
        MessageKinds kinds = factory.NextKinds(i % 3 == 2);
        kinds.bodyLength = 200 + 300 * static_cast<size_t>(i);
        store.AddMessage(factory.Make(kinds));
        if (i == 1) store.AddNoiseRecord(40);
    }
    const Bytes& bytes = store.Bytes();
    return Bytes(bytes.begin() + kFirstBlockOffset, bytes.end());
}

// The area cut into clusters, in reverse order, with noise between them.
Bytes Fragmented(const Bytes& area, uint32_t cluster, uint64_t seed) {
    Random random(seed);
    Bytes image;
    for (size_t start = (area.size() - 1) / cluster * cluster;; start -= cluster) {
        const Bytes noise = MakeNoise(cluster / 2, NoiseKind::Text, random);
        image.insert(image.end(), noise.begin(), noise.end());
        image.insert(image.end(), area.begin() + static_cast<ptrdiff_t>(start),
                     area.begin() + static_cast<ptrdiff_t>(std::min(area.size(), start + cluster)));
        if (start == 0) break;
    }
    return image;
}

// Blocks of one message each, 0x210 apart, with the given texts.
Bytes OneBlockMessages(const std::vector<std::string>& texts) {
    Bytes image;
    uint32_t offset = 0x10000;
    for (const std::string& text : texts) {
        WriteBlock(image, image.size(), BlockFields{offset, 512, static_cast<uint32_t>(text.size()), 0}, text);
        offset += 0x210;
    }
    return image;
}

// Chains that meet each rule of the linking.
Bytes LinkingCases() {
    Bytes image;
    auto block = [&image](uint32_t self, const std::string& text, uint32_t next) {
        WriteBlock(image, image.size() + 7, BlockFields{self, 512, static_cast<uint32_t>(text.size()), next}, text);
    };
    block(0x100, "Subject: three blocks\r\n\r\nfirst ", 0x200);  // a chain of three
    block(0x200, "second ", 0x300);
    block(0x300, "third", 0);
    block(0x400, "Subject: loop\r\n", 0x500);  // a loop back to a written offset
    block(0x500, "round", 0x400);
    block(0x600, "Subject: twice\r\n", 0);  // two copies of one head
    block(0x600, "Subject: twice\r\n", 0);
    block(0x700, "Subject: cut short\r\n", 0x999);  // the next block is missing
    block(0x800, "Subject: pick\r\nContent-Ty", 0x900);  // a header name cut in two
    block(0x900, "xyz: nearer", 0);
    block(0x900, "pe: text/plain\r\n", 0);
    block(0xA00, "no colon here", 0);  // a head that validation drops
    return image;
}

const std::vector<std::string> kHostileSubjects = {
    "..", ".", "../../../etc/passwd", "/", "a/../../b", "CON", "NUL", "COM1", "con.txt",
    std::string("nul\0byte", 8), "tab\there", "bell\a esc\x1b del\x7f", "\xff\xfe invalid \xc3",
    std::string(300, 'A'), "Recovered_Msg1", ".ostrel-copy-x", "Message 1", "Subject",
};

Bytes HostileSubjectImage() {
    std::vector<std::string> texts;
    for (const std::string& subject : kHostileSubjects) texts.push_back("Subject: " + subject + "\r\n\r\nbody");
    return OneBlockMessages(texts);
}

// A valid-looking header every 16 bytes: each block's data holds the next
// headers, and the chain runs through all of them.
Bytes DenseHeaders(uint32_t count) {
    Bytes image(size_t{count} * 16 + 512, 0);
    for (uint32_t i = 0; i < count; ++i) {
        const auto header = HeaderBytes(BlockFields{0x1000 + 16 * i, 512, 16, i + 1 < count ? 0x1010 + 16 * i : 0});
        std::copy(header.begin(), header.end(), image.begin() + 16 * static_cast<ptrdiff_t>(i));
    }
    image[20] = ':';  // the first block's data starts with the second header: give it a colon
    return image;
}

void EngineSeeds(const fs::path& folder) {
    const Bytes area = StoreMessageArea(11, 4);
    Write(folder, "store", {0, 0, 0}, area);
    Write(folder, "store-rollover-limit-1", {1 | 2, 0, 0}, area);
    Write(folder, "store-fragmented", {0, 0, 0}, Fragmented(area, 4096, 12));
    Write(folder, "store-4096-sectors-bad-sector", {0, 3 | 4, 1}, area);
    Write(folder, "linking-cases", {0, 0, 0}, LinkingCases());
    Write(folder, "linking-cases-2048-sectors", {1 | 4, 2, 0}, LinkingCases());
    Write(folder, "hostile-subjects", {0, 0, 0}, HostileSubjectImage());
    Write(folder, "hostile-entries", {1 | 4, 8, 0}, OneBlockMessages({"Subject: Subject\r\n", "Untitled: x\r\n", "Subject: third\r\n"}));
    Write(folder, "dense-headers", {0, 0, 0}, DenseHeaders(256));
    Write(folder, "store-aware", {8, 0, 0}, area);
    Write(folder, "empty", {0, 0, 0}, {});
}

void NamingSeeds(const fs::path& folder) {
    MessageFactory factory(21);
    for (int i = 0; i < 12; ++i) {
        MessageKinds kinds = factory.NextKinds();
        kinds.bodyLength = 300;
        const uint8_t lengths[] = {0, 0, 100, 190, 200, 205, 210, 212, 215, 218, 220, 223};
        Write(folder, "message-" + std::to_string(i), {static_cast<uint8_t>(1 | (i % 2) * 2 | (i % 3) << 2), lengths[i], 7, 0, 0, 0},
              Text(factory.Make(kinds)));
    }
    for (size_t i = 0; i < kHostileSubjects.size(); ++i) {
        Write(folder, "subject-" + std::to_string(i), {static_cast<uint8_t>((i % 2) * 2 | (i % 3) << 2), static_cast<uint8_t>(i * 13), 1, 0, 0, 0},
              Text(kHostileSubjects[i]));
    }
    Write(folder, "subject-lines", {1, 0, 5, 0, 0, 0},
          Text("X-Subject-Info: abc\r\nSubject: later\r\n\nsubject:\tspaced out \r\nSUBJECT:\r\n"));
}

// Header sections with encoded words in several sets, folded and malformed
// fields and dates in old and new forms.
void HeaderSeeds(const fs::path& folder) {
    const std::vector<std::string> headers = {
        "From: =?iso-8859-1?Q?J=F6rg?= <j@example.de>\r\nSubject: =?iso-8859-1?Q?Gr=FC=DFe?=\r\n"
        "Date: Thu, 5 Mar 2004 14:22:10 +0100\r\n\r\nbody",
        "Subject: =?utf-8?B?5pel5g==?=\r\n =?utf-8?B?nKzoqp4=?=\r\nDate: 5 Mar 04 08:22 EST\r\n\r\n",
        "Subject: =?iso-2022-jp?B?GyRCMnE1RCROJCpDTiRpJDsbKEI=?=\r\nDate: Sun, 1 Jan 95 00:00:00 (comment) -0800\r\n\r\n",
        "Subject: Gr\xfc\xdf" "e \x80 =?x-unknown?Q?a?= =?utf-8?Q?=ZZ?=\r\n\r\n",
        "subject:=?ks_c_5601-1987?B?vsiz58fPvLy/5A==?=\nfrom: =?koi8-r?B?89/F29g=?=\n\n",
        "To: x\r\n\r\nthe subject: in the body =?utf-8?Q?=C3=A9?=\r\n",
    };
    for (size_t i = 0; i < headers.size(); ++i) Write(folder, "header-" + std::to_string(i), {}, Text(headers[i]));
}

void ReaderSeeds(const fs::path& folder) {
    Random random(31);
    for (int i = 0; i < 16; ++i) {
        Bytes bytes(32 + random.Below(480));
        random.Fill(bytes.data(), bytes.size());
        Write(folder, "operations-" + std::to_string(i), {}, bytes);
    }
}

void ScanSeeds(const fs::path& folder) {
    const Bytes area = StoreMessageArea(41, 6);
    Bytes large = Fragmented(area, 4096, 42);
    Random random(43);
    const Bytes noise = MakeNoise(24000, NoiseKind::Random, random);
    large.insert(large.begin(), noise.begin(), noise.end());  // past two report points
    Write(folder, "store", {0, 0, 0, 0}, area);
    Write(folder, "store-large", {0x04, 0, 0, 0}, large);
    Write(folder, "store-large-stop-2", {0x08, 2, 0, 0}, large);
    Write(folder, "store-large-4096-avx2", {0x13, 0, 0, 0}, large);
    Write(folder, "whole-disk-reports-less", {0x40, 0, 0, 180}, large);
    Write(folder, "seeks-fail-at-end", {0x80 | 1, 0, 0, 200}, large);
    Write(folder, "bad-sectors", {0x02, 0x80 | 0x40, 9, 100}, large);
    Write(folder, "read-ahead-bad-sectors", {0x04, 0x80 | 0x40 | 0x08, 9, 100}, large);
    Write(folder, "image-damaged-read-ahead", {0x04, 0x80 | 0x40 | 0x10 | 0x08, 90, 120}, large);
    Write(folder, "image-4096-stop-3", {0x05, 0x80 | 0x10 | 3, 40, 60}, large);
    Write(folder, "linking-cases", {0x20, 0, 0, 0}, LinkingCases());
    Write(folder, "dense-headers", {0, 0, 0, 0}, DenseHeaders(1024));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    EngineSeeds(root / "engine");
    NamingSeeds(root / "naming");
    HeaderSeeds(root / "headers");
    ReaderSeeds(root / "reader");
    ScanSeeds(root / "scan");
    return 0;
}
