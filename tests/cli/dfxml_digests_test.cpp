// The reports that need OpenSSL's libcrypto and libxml2: the digests of
// written files and the DFXML report, checked against the source they
// describe.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "dfxml_report.h"
#include "file_digests.h"
#include "image_builder/block.h"
#include "scratch.h"

namespace varrow::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadWholeFile;
using testing::ScratchFolder;

TEST(XmlSafe, KeepsUtf8AndEscapesWhatXmlCannotHold) {
    EXPECT_EQ(XmlSafe("Gr\xc3\xbc\xc3\x9f"
                      "e \xe2\x82\xac <&>"),
              "Gr\xc3\xbc\xc3\x9f"
              "e \xe2\x82\xac <&>");
    EXPECT_EQ(XmlSafe("bell\x07 esc\x1b"), "bell%07 esc%1B");
    EXPECT_EQ(XmlSafe("latin1 \xe9t\xe9"), "latin1 %E9t%E9");
    EXPECT_EQ(XmlSafe("overlong \xc0\xaf"), "overlong %C0%AF");
    EXPECT_EQ(XmlSafe("cut \xe2\x82"), "cut %E2%82");
    EXPECT_EQ(XmlSafe("tab\tnewline\n"), "tab\tnewline\n");
}

// The fileobjects of a DFXML report, read back with libxml2.
struct FileObject {
    std::string name;
    uint64_t size = 0;
    std::string md5;
    std::vector<std::tuple<uint64_t, uint64_t, bool>> runs;  // image offset, length, zeros
};

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::string Content(xmlNode* node) {
    xmlChar* value = xmlNodeGetContent(node);
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

bool Named(xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string(reinterpret_cast<const char*>(node->name)) == name;
}

std::vector<FileObject> ReadDfxml(const std::string& path) {
    xmlDoc* document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (!document) throw std::runtime_error("not well-formed XML: " + path);
    std::vector<FileObject> objects;
    for (xmlNode* node = xmlDocGetRootElement(document)->children; node; node = node->next) {
        if (!Named(node, "fileobject")) continue;
        FileObject object;
        for (xmlNode* field = node->children; field; field = field->next) {
            if (Named(field, "filename")) object.name = Content(field);
            if (Named(field, "filesize")) object.size = std::stoull(Content(field));
            if (Named(field, "hashdigest") && Attribute(field, "type") == "md5")
                object.md5 = Content(field);
            if (!Named(field, "byte_runs")) continue;
            for (xmlNode* run = field->children; run; run = run->next) {
                if (!Named(run, "byte_run")) continue;
                const bool zeros = Attribute(run, "fill") == "0";
                object.runs.emplace_back(zeros ? 0 : std::stoull(Attribute(run, "img_offset")),
                                         std::stoull(Attribute(run, "len")), zeros);
            }
        }
        objects.push_back(object);
    }
    xmlFreeDoc(document);
    return objects;
}

TEST(DfxmlProgramReport, EveryByteRunLeadsBackToTheBytesOfItsFile) {
    ScratchFolder scratch;
    const std::string out = scratch / "out";
    fs::create_directory(out);
    // Two-block messages, one of them twice, and a subject that is no name.
    std::vector<uint8_t> image;
    auto message = [&image](uint64_t at, uint32_t offset, const std::string& first,
                            const std::string& second) {
        using ostrel::builder::BlockFields;
        ostrel::builder::WriteBlock(
            image, at,
            BlockFields{offset, 512, static_cast<uint32_t>(first.size()), offset + 0x210}, first);
        ostrel::builder::WriteBlock(
            image, at + 0x800,
            BlockFields{offset + 0x210, 512, static_cast<uint32_t>(second.size()), 0}, second);
    };
    message(0, 0x100, "Subject: one\r\n\r\n" + std::string(496, 'a'), "end of one");
    message(0x2000, 0x1000, "Subject: two & <three>\r\n\r\n", "end of two");
    message(0x4000, 0x100, "Subject: one\r\n\r\n" + std::string(496, 'a'), "end of one");
    const std::string imagePath = scratch.WriteFile("image.bin", image);
    const std::string command = std::string(VARROW_PROGRAM) + " recover --quiet --hashes --dfxml " +
                                scratch / "r.xml" + " " + imagePath + " " + out +
                                " > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const std::vector<FileObject> objects = ReadDfxml(scratch / "r.xml");
    ASSERT_EQ(objects.size(), 2u);  // the identical copy is not written again
    for (const FileObject& object : objects) {
        const std::vector<uint8_t> file = ReadWholeFile(out + "/" + object.name);
        std::vector<uint8_t> fromImage;
        for (const auto& [offset, length, zeros] : object.runs) {
            if (zeros)
                fromImage.insert(fromImage.end(), length, 0);
            else
                fromImage.insert(fromImage.end(), image.begin() + offset,
                                 image.begin() + offset + length);
        }
        EXPECT_EQ(fromImage, file) << object.name;
        EXPECT_EQ(object.size, file.size());
        EXPECT_EQ(object.md5, DigestFile(out + "/" + object.name)->md5);
    }
}

TEST(FileDigests, AreThoseOfTheWellKnownAlgorithms) {
    ScratchFolder scratch;
    const auto digests = DigestFile(scratch.WriteFile("abc", "abc"));
    ASSERT_TRUE(digests);
    EXPECT_EQ(digests->md5, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(digests->sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_FALSE(DigestFile(scratch / "missing"));
}

}  // namespace
}  // namespace varrow::cli
