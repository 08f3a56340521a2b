#include "output/naming.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/messages.h"
#include "base/path_text.h"
#include "base/paths.h"
#include "output/header_text.h"
#include "platform/os.h"
#include "source/file64.h"

namespace varrow {

namespace {

constexpr char kSubjectWord[] = "subject";
constexpr size_t kSubjectWordLength = sizeof(kSubjectWord) - 1;
constexpr std::string_view kInvalidNameChars = "\\/:*?\"<>|";
constexpr char kOutputExtension[] = ".eml";
constexpr uint32_t kSubjectReadFlags = CFile64::modeRead | CFile64::shareDenyWrite |
                                       CFile64::typeText;
// Large reads keep a long message cheap; the search usually ends in the
// first one, at the header's subject line.
constexpr uint32_t kSubjectReadChunk = 64 * 1024;

bool IsSubjectSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Only A to Z fold: bytes of multi-byte characters must stay as they are.
char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}


// Finds the subject line in message text that arrives in pieces. Each byte
// is looked at once, whatever the length of its line, so a huge message
// without line feeds costs one pass and no more memory than its subject.
class SubjectLineFinder {
public:
    // Takes the next bytes of the text; true once the subject line is
    // complete, after which nothing more needs to be fed.
    bool Feed(const char* bytes, size_t count) {
        for (size_t i = 0; i < count && state_ != State::Done; ++i) Take(bytes[i]);
        return state_ == State::Done;
    }

    // The text has ended: its last line needs no line feed.
    void Finish() {
        if (state_ == State::TakingSubject) state_ = State::Done;
    }

    // The subject without its outer white space; empty when no line
    // matched or the matching line holds nothing after its colon.
    std::string Subject() const {
        if (state_ != State::Done) return {};
        std::string subject = subject_.size() > kMaxSubjectBytes ? CutUtf8(subject_, kMaxSubjectBytes) : subject_;
        size_t end = subject.size();
        while (end > 0 && IsSubjectSpace(subject[end - 1])) --end;
        subject.resize(end);
        return subject;
    }

private:
    enum class State { SeekingWord, SeekingColon, TakingSubject, SkippingLine, Done };

    void Take(char c) {
        if (c == '\n') {
            if (state_ == State::TakingSubject) {
                state_ = State::Done;
            } else {
                state_ = State::SeekingWord;
                matched_ = 0;
            }
            return;
        }
        if (c == '\0') {
            // A zero byte ends the text of its line; the rest until the
            // line feed is not looked at.
            state_ = state_ == State::TakingSubject ? State::Done : State::SkippingLine;
            return;
        }
        switch (state_) {
            case State::SeekingWord: {
                const char lower = FoldAsciiCase(c);
                if (lower == kSubjectWord[matched_]) {
                    if (++matched_ == kSubjectWordLength) state_ = State::SeekingColon;
                } else {
                    // No proper prefix of the word is also its suffix, so a
                    // failed match can only restart at this byte.
                    matched_ = lower == kSubjectWord[0] ? 1 : 0;
                }
                break;
            }
            case State::SeekingColon:
                if (c == ':') state_ = State::TakingSubject;
                break;
            case State::TakingSubject:
                if (!subject_.empty() || !IsSubjectSpace(c)) subject_.push_back(c);
                // A subject line of any length names a message by its start;
                // the rest is never read. One byte more than is kept shows
                // whether the cut splits a character.
                if (subject_.size() > kMaxSubjectBytes) state_ = State::Done;
                break;
            case State::SkippingLine:
            case State::Done:
                break;
        }
    }

    State state_ = State::SeekingWord;
    size_t matched_ = 0;  // bytes of the word matched so far on this line
    std::string subject_;
};

// The subject line of the file; empty when there is none or the file
// cannot be read to the end of that line.
std::string FindSubject(const std::string& messageFile) {
    CFile64 file;
    if (!file.Open(messageFile, kSubjectReadFlags, nullptr)) return {};
    SubjectLineFinder finder;
    std::vector<char> chunk(kSubjectReadChunk);
    for (;;) {
        const uint32_t got = file.Read(chunk.data(), kSubjectReadChunk);
        if (got == 0) break;
        if (finder.Feed(chunk.data(), got)) return finder.Subject();
    }
    finder.Finish();
    return finder.Subject();
}

// The same for bytes at hand, fed in the pieces a read of the file takes.
std::string FindSubject(const std::vector<uint8_t>& message) {
    SubjectLineFinder finder;
    const auto* bytes = reinterpret_cast<const char*>(message.data());
    for (size_t at = 0; at < message.size(); at += kSubjectReadChunk) {
        const size_t piece = std::min<size_t>(kSubjectReadChunk, message.size() - at);
        if (finder.Feed(bytes + at, piece)) return finder.Subject();
    }
    finder.Finish();
    return finder.Subject();
}

std::string UntitledName(uint32_t messageNumber) {
    return FormatText(EngineText(kTextUntitledMessage), static_cast<unsigned long>(messageNumber));
}

// A zero byte cannot be part of a name the system is given: it would see
// a shorter path instead, naming another file.
bool SystemCanName(const std::string& path) { return path.find('\0') == std::string::npos; }

// Naming never fails: a search that cannot finish (a failed read, no
// memory for a huge line) ends without a subject.
template <typename Message>
std::string SubjectOrUntitled(const Message& message, uint32_t messageNumber) {
    std::string subject;
    try {
        subject = FindSubject(message);
    } catch (...) {
    }
    return subject.empty() ? UntitledName(messageNumber) : subject;
}

// Whether anything is at path, which lies in folder when folder is given.
// In a folder that could not be opened nothing is.
bool NameExists(const FolderRef* folder, const std::string& path) {
    platform::Os& os = platform::CurrentOs();
    if (!folder) return os.Exists(path);
    return folder->handle != platform::kInvalidHandle && os.ExistsIn(folder->handle, GetPathFileName(path));
}

std::string UniquePath(const FolderRef* folder, const std::string& path) {
    // A path the system cannot name holds nothing; it is returned as it is
    // and CanCreateFile refuses it.
    auto isFree = [folder](const std::string& candidate) {
        return !SystemCanName(candidate) || !NameExists(folder, candidate);
    };
    if (isFree(path)) return path;
    const std::string stem = RemovePathExtension(path);
    const std::string ext = GetPathExtension(path);
    auto variant = [&](unsigned long k) { return stem + FormatText("(%lu)", k) + ext; };

    // The variant handed out last for this path: thousands of messages with
    // one subject would otherwise test every variant taken before, a
    // thousand names for the thousandth. The search goes on after it while
    // it is still taken; a variant freed since then stays unused.
    static std::unordered_map<std::string, unsigned long> lastVariant;
    unsigned long k = 1;
    const auto hint = lastVariant.find(path);
    if (hint != lastVariant.end() && !isFree(variant(hint->second))) k = hint->second + 1;
    for (;; ++k) {
        std::string candidate = variant(k);
        if (isFree(candidate)) {
            if (lastVariant.size() >= 65536) lastVariant.clear();
            lastVariant[path] = k;
            return candidate;
        }
    }
}

bool Probe(const FolderRef* folder, const std::string& path) {
    if (!SystemCanName(path)) return false;
    platform::Os& os = platform::CurrentOs();
    long error = 0;
    // Creating only a file that does not exist yet keeps the probe from
    // emptying a file or following a link another program put there.
    if (!folder) {
        if (!os.CreateNewFile(path, &error)) return false;
        os.DeleteFile(path, &error);
        return true;
    }
    const std::string name = GetPathFileName(path);
    if (folder->handle == platform::kInvalidHandle || !os.CreateNewFileIn(folder->handle, name, &error)) {
        return false;
    }
    os.DeleteFileIn(folder->handle, name, &error);
    return true;
}

std::string BuildPath(const FolderRef* folder, const std::string& folderPath, const std::string& subject,
                      uint32_t messageNumber, TitleStyle style = TitleStyle::AsItStands) {
    const std::string dir = AddTrailingBackslash(folderPath);
    std::string path = dir + FileTitleOf(subject, style) + kOutputExtension;
    path = ShortenPath(path, kMaxOutputPathLength);
    path = UniquePath(folder, path);
    if (!Probe(folder, path)) {
        // The system refused the subject's name; this one is not probed.
        path = UniquePath(folder, dir + UntitledName(messageNumber) + kOutputExtension);
    }
    return path;
}


}  // namespace

std::string ReadMessageSubject(const std::string& messageFile, uint32_t messageNumber) {
    return SubjectOrUntitled(messageFile, messageNumber);
}

std::string ReadMessageSubject(const std::vector<uint8_t>& message, uint32_t messageNumber) {
    return SubjectOrUntitled(message, messageNumber);
}

std::string BuildOutputPath(const std::string& folder, const std::string& subject,
                            uint32_t messageNumber) {
    return BuildPath(nullptr, folder, subject, messageNumber);
}

std::string BuildOutputPath(const FolderRef& folder, const std::string& subject, uint32_t messageNumber,
                            TitleStyle style) {
    return BuildPath(&folder, folder.path, subject, messageNumber, style);
}

std::string FileTitleOf(const std::string& subject, TitleStyle style) {
    std::string title = ReplaceInvalidChars(subject);
    // A name that starts with a dot would be hidden from a folder listing.
    if (!title.empty() && title[0] == '.') title[0] = '_';
    if (style == TitleStyle::AsItStands) return title;
    // A decoded subject is UTF-8; the name is made in the system's own
    // path text.
    std::string readable;
    for (size_t i = 0; i < title.size(); ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        if (byte < 0x20 || byte == 0x7f) {
            readable += '_';
        } else if (byte == 0xc2 && i + 1 < title.size() && static_cast<unsigned char>(title[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(title[i + 1]) <= 0x9f) {
            readable += '_';  // U+0080..U+009F
            ++i;
        } else {
            readable += title[i];
        }
    }
    return platform::NameFromUtf8(readable);
}

std::string ReplaceInvalidChars(const std::string& text) {
    // Steps over whole characters: the second byte of a double-byte
    // character may equal one of the nine.
    std::string result = text;
    for (size_t at = 0; at < result.size(); at += platform::CharacterLength(result, at)) {
        if (kInvalidNameChars.find(result[at]) != std::string_view::npos) result[at] = '_';
    }
    return result;
}

std::string ShortenPath(const std::string& path, int32_t maxLength) {
    const auto length = static_cast<int64_t>(path.size());
    if (length <= maxLength) return path;
    const int64_t excess = length - maxLength;
    // A bare name stays bare: a separator put in front of it would move it
    // to the root.
    const std::string directory = GetPathDirectory(path);
    const std::string dir = directory.empty() ? directory : AddTrailingBackslash(directory);
    const std::string name = GetPathFileName(path);
    const std::string title = GetPathTitle(path);
    const std::string ext = GetPathExtension(path);
    if (static_cast<int64_t>(title.size()) >= excess) {
        return dir + platform::CutCharacters(title, title.size() - static_cast<size_t>(excess)) + ext;
    }
    if (static_cast<int64_t>(name.size()) >= excess) {
        return dir + platform::CutCharacters(name, name.size() - static_cast<size_t>(excess));
    }
    return path;  // the folder alone is too long
}

std::string MakeUniquePath(const std::string& path) { return UniquePath(nullptr, path); }

std::string MakeUniquePath(const FolderRef& folder, const std::string& path) {
    return UniquePath(&folder, path);
}

bool CanCreateFile(const std::string& path) { return Probe(nullptr, path); }

bool CanCreateFile(const FolderRef& folder, const std::string& path) { return Probe(&folder, path); }

}  // namespace varrow
