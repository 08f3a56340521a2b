#include "dfxml_report.h"

#include <libxml/xmlwriter.h>

#include <cstdio>
#include <ctime>

#include "message_rows.h"

namespace varrow::cli {

namespace {

const char* const kDfxmlNamespace =
    "http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML";
const char* const kDublinCoreNamespace = "http://purl.org/dc/elements/1.1/";

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The length of the UTF-8 sequence at text[at] and its code point; 0 when
// the bytes there are no valid sequence.
size_t DecodeUtf8(const std::string& text, size_t at, uint32_t* codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    uint32_t value = 0;
    if (lead < 0x80) return *codePoint = lead, 1;
    if (lead >= 0xc2 && lead <= 0xdf)
        length = 2, value = lead & 0x1f;
    else if (lead >= 0xe0 && lead <= 0xef)
        length = 3, value = lead & 0x0f;
    else if (lead >= 0xf0 && lead <= 0xf4)
        length = 4, value = lead & 0x07;
    else
        return 0;
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) return 0;
        value = (value << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10ffff)) ||
        (value >= 0xd800 && value <= 0xdfff)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

bool XmlAllows(uint32_t c) {
    return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) ||
           (c >= 0xe000 && c <= 0xfffd) || c >= 0x10000;
}

}  // namespace

const bool kDfxmlAvailable = true;

std::string XmlSafe(const std::string& text) {
    std::string safe;
    for (size_t at = 0; at < text.size();) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(text, at, &codePoint);
        if (length != 0 && XmlAllows(codePoint)) {
            safe.append(text, at, length);
            at += length;
            continue;
        }
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(text[at]));
        safe += escaped;
        ++at;
    }
    return safe;
}

struct DfxmlReport::Writer {
    xmlTextWriterPtr xml = nullptr;
    ~Writer() {
        if (xml) xmlFreeTextWriter(xml);
    }
};

DfxmlReport::DfxmlReport() = default;
DfxmlReport::~DfxmlReport() = default;

bool DfxmlReport::Open(const std::string& path, const DfxmlSource& source) {
    writer_ = std::make_unique<Writer>();
    writer_->xml = xmlNewTextWriterFilename(path.c_str(), 0);
    if (!writer_->xml) return false;
    xmlTextWriterPtr xml = writer_->xml;
    xmlTextWriterSetIndent(xml, 1);
    const std::time_t now = std::time(nullptr);
    bool ok =
        xmlTextWriterStartDocument(xml, "1.0", "UTF-8", nullptr) >= 0 &&
        xmlTextWriterStartElement(xml, X("dfxml")) >= 0 &&
        xmlTextWriterWriteAttribute(xml, X("xmlns"), X(kDfxmlNamespace)) >= 0 &&
        xmlTextWriterWriteAttribute(xml, X("xmlns:dc"), X(kDublinCoreNamespace)) >= 0 &&
        xmlTextWriterWriteAttribute(xml, X("version"), X("1.1.1")) >= 0 &&
        xmlTextWriterStartElement(xml, X("metadata")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("dc:type"), X("Carve Report")) >= 0 &&
        xmlTextWriterEndElement(xml) >= 0 && xmlTextWriterStartElement(xml, X("creator")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("program"), X("varrow")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("version"), X(XmlSafe(source.version).c_str())) >= 0 &&
        xmlTextWriterStartElement(xml, X("execution_environment")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("command_line"), X(XmlSafe(source.commandLine).c_str())) >=
            0 &&
        xmlTextWriterWriteElement(xml, X("start_time"), X(UtcText(now).c_str())) >= 0 &&
        xmlTextWriterEndElement(xml) >= 0 && xmlTextWriterEndElement(xml) >= 0 &&
        xmlTextWriterStartElement(xml, X("source")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("image_filename"), X(XmlSafe(source.imagePath).c_str())) >=
            0 &&
        xmlTextWriterWriteElement(xml, X("image_size"),
                                  X(std::to_string(source.imageSize).c_str())) >= 0 &&
        xmlTextWriterEndElement(xml) >= 0;
    failed_ = !ok;
    return ok;
}

void DfxmlReport::AddFile(const VarrowMessageRecord& record, const std::string& outputFolder,
                          const std::optional<FileDigests>& digests) {
    if (!writer_ || !writer_->xml || failed_) return;
    xmlTextWriterPtr xml = writer_->xml;
    const std::string name = XmlSafe(RelativeTo(record.path, outputFolder));
    bool ok =
        xmlTextWriterStartElement(xml, X("fileobject")) >= 0 &&
        xmlTextWriterWriteElement(xml, X("filename"), X(name.c_str())) >= 0 &&
        xmlTextWriterWriteElement(xml, X("filesize"), X(std::to_string(record.bytes).c_str())) >= 0;
    if (ok && record.hasDate)
        ok = xmlTextWriterWriteElement(xml, X("mtime"), X(UtcText(record.date).c_str())) >= 0;
    ok = ok && xmlTextWriterStartElement(xml, X("byte_runs")) >= 0;
    uint64_t fileOffset = 0;
    for (uint32_t i = 0; ok && i < record.runCount; ++i) {
        const VarrowByteRun& run = record.runs[i];
        ok = xmlTextWriterStartElement(xml, X("byte_run")) >= 0 &&
             xmlTextWriterWriteAttribute(xml, X("file_offset"),
                                         X(std::to_string(fileOffset).c_str())) >= 0;
        if (ok && (run.flags & VARROW_RUN_ZEROS)) {
            ok = xmlTextWriterWriteAttribute(xml, X("fill"), X("0")) >= 0;
        } else if (ok) {
            ok = xmlTextWriterWriteAttribute(xml, X("img_offset"),
                                             X(std::to_string(run.position).c_str())) >= 0;
        }
        ok = ok &&
             xmlTextWriterWriteAttribute(xml, X("len"), X(std::to_string(run.length).c_str())) >=
                 0 &&
             xmlTextWriterEndElement(xml) >= 0;
        fileOffset += run.length;
    }
    ok = ok && xmlTextWriterEndElement(xml) >= 0;
    if (ok && digests) {
        ok = xmlTextWriterStartElement(xml, X("hashdigest")) >= 0 &&
             xmlTextWriterWriteAttribute(xml, X("type"), X("md5")) >= 0 &&
             xmlTextWriterWriteString(xml, X(digests->md5.c_str())) >= 0 &&
             xmlTextWriterEndElement(xml) >= 0 &&
             xmlTextWriterStartElement(xml, X("hashdigest")) >= 0 &&
             xmlTextWriterWriteAttribute(xml, X("type"), X("sha256")) >= 0 &&
             xmlTextWriterWriteString(xml, X(digests->sha256.c_str())) >= 0 &&
             xmlTextWriterEndElement(xml) >= 0;
    }
    ok = ok && xmlTextWriterEndElement(xml) >= 0 && xmlTextWriterFlush(xml) >= 0;
    if (!ok) failed_ = true;
}

bool DfxmlReport::Close() {
    if (!writer_ || !writer_->xml) return false;
    const bool ended = xmlTextWriterEndDocument(writer_->xml) >= 0;
    xmlFreeTextWriter(writer_->xml);  // flushes and closes the file
    writer_->xml = nullptr;
    return ended && !failed_;
}

}  // namespace varrow::cli
