#include "image_builder/manifest.h"

#include <algorithm>
#include <cstdio>

namespace ostrel::builder {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i]) return false;
    }
    return true;
}

std::string_view StateOf(const PlacedMessage& message) {
    if (message.Intact()) return message.deleted ? "deleted" : "intact";
    if (message.Broken()) return "broken";
    return "lost";
}

}  // namespace

bool PlacedMessage::Intact() const {
    return std::all_of(blocks.begin(), blocks.end(), [](const PlacedBlock& b) { return b.intact; });
}

bool PlacedMessage::Broken() const { return blocks.front().intact && !Intact(); }

std::optional<std::string> SubjectLine(std::string_view message) {
    size_t start = 0;
    while (start < message.size()) {
        size_t end = message.find("\r\n", start);
        if (end == std::string_view::npos) end = message.size();
        const std::string_view line = message.substr(start, end - start);
        if (line.empty()) break;
        if (StartsWithNoCase(line, "subject:")) return std::string(line);
        start = end + 2;
    }
    return std::nullopt;
}

void WriteManifest(const Manifest& manifest, std::ostream& out) {
    out << "# file\tsize\tcluster size\tpieces\n";
    for (const PlacedFile& file : manifest.files) {
        out << "# " << file.name << '\t' << file.size << '\t' << file.clusterSize << '\t' << file.pieces.size()
            << '\n';
    }
    out << "# file\thead offset\tsize\tblocks\tstate\tsubject line\n";
    for (const PlacedMessage& message : manifest.messages) {
        char head[16];
        std::snprintf(head, sizeof head, "0x%08x", message.HeadOffset());
        const std::optional<std::string> subject = SubjectLine(message.text);
        out << manifest.files[message.file].name << '\t' << head << '\t' << message.text.size() << '\t'
            << message.blocks.size() << '\t' << StateOf(message) << '\t'
            << (subject ? *subject : "(no Subject line)") << '\n';
    }
}

}  // namespace ostrel::builder
