// Which piece a store file goes on in after a piece ends.
//
// At the end of a piece (file cluster f) the options are the pieces that
// start at f + 1 elsewhere, and the disk cluster right after (in place)
// unless it holds only other files' blocks. The blocks on both sides speak
// for or against each option (strong evidence):
//  - a block of the ending piece that names an offset in f + 1 finds it in
//    the option (+1) or finds no header there (-1); a block of the starting
//    piece that names an offset in f finds it in the ending piece or not;
//  - a header cut by the boundary must read as a header with its own
//    offset when put together from both sides (+2), and a last block whose
//    data runs over the boundary must go on in plausible text (+1);
//  - the text across the boundary: a header name cut in two (+1), base64
//    lines that go on at their length (+1) or would not (no option),
//    wrapped text that would go on in a line longer than any around (-1),
//    header fields going on in prose or prose in fields within one
//    paragraph (-1), a part's body going on in another encoding or a
//    header naming a field twice (-1), and a MIME part delimited with the
//    message's own boundary (+1);
// and an option with nothing for it is no option. Among options of equal
// strong evidence one where a word cut by the boundary makes a word the
// message uses elsewhere is likelier, and one where the bytes across the
// boundary make runs of character kinds the message has nowhere else (a
// letter right after "?", a space before a line end) less likely, as is
// one whose text starts breaking softly as quoted-printable does where the
// message's lines did not; then one going on in line, where a join of two
// clusters that other copies rival was left open (store_in_line.cpp), is
// likelier (only then: a file system that reuses freed clusters puts
// another file's cluster in line as readily); among those of equal
// evidence the in-place one, or one on the store's block grid, counts as
// likelier (weak), then one that starts shortly after the end on disk
// (near: where a file system puts the rest of a file it had to split);
// shared 8-byte substrings across the boundary (affinity) settle what is
// left only by a wide lead. Where such a tie or a rival of equal strong
// evidence leaves links open, the ends that need one take those whose
// evidence adds up to the most over all of them (an end keeps its one good
// option where another end has an equal one elsewhere), or, with too many
// copies to weigh, the likeliest first. A link chosen that way is marked
// guessed: messages read across it go on but are flagged incomplete. An
// end that needs a continuation and has no option left is blocked: its
// messages stop there, flagged too.
#include <algorithm>
#include <map>
#include <span>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "link/store_aware/best_matching.h"
#include "link/store_aware/store_bytes.h"
#include "link/store_aware/store_parts.h"
#include "link/store_aware/store_reassembly.h"
#include "link/store_aware/store_text_grams.h"
#include "scan/block_layout.h"

namespace varrow {

namespace {

constexpr uint32_t kBlockSpan = kBlockHeaderSize + kBlockDataSize;
constexpr uint32_t kAffinityLeft = 2048;
constexpr uint32_t kAffinitySpan = 1024;
// An option tied with a rival on all other evidence claims its start for
// a guess only when its affinity is this many times the rival's and more
// by the slack: mail of one sender shares much of its wording, so smaller
// leads were wrong too often.
constexpr size_t kAffinityFactor = 4;
constexpr size_t kAffinitySlack = 64;
// Blocks of the ending piece read back for the MIME boundaries of a message.
constexpr int kBoundaryLookBack = 6;
// Ends or starts at one boundary up to which every option is weighed
// against its rivals.
constexpr size_t kMostWeighed = 64;
// A width is the longest line seen in a window of text on one side of the
// boundary, not the width the text was wrapped at: a line of that text one
// byte longer was too common on built images to count against a link.
constexpr size_t kWidthSlack = 1;
// How far after the end of a piece, in clusters, the next fragment of its
// file counts as near.
constexpr uint32_t kNearClusters = 16;

}  // namespace

void StoreReassembly::CountAffinity(CachedSource& source,
                                    const std::vector<Option*>& options) const {
    if (options.empty()) return;
    // Each option's first bytes are those at its start's base (the end's
    // own for in place), so options of one base share them.
    const auto baseOf = [&](const Option& o) {
        return o.start == kNone ? keys_[pieces_[o.end].lastKey].base
                                : keys_[pieces_[o.start].firstKey].base;
    };
    const auto boundary = [&](const Option& o) {
        return (int64_t{keys_[pieces_[o.end].lastKey].cluster} + 1) * clusterSize_;
    };
    affinity_.Clear();
    std::vector<std::pair<int64_t, uint32_t>> sources;  // (position, source)
    std::vector<uint32_t> sourceOf;                     // by option
    for (const Option* option : options) {
        const int64_t position = baseOf(*option) + boundary(*option);
        auto known = std::find_if(sources.begin(), sources.end(),
                                  [&](const auto& s) { return s.first == position; });
        if (known == sources.end()) {
            source.ReadInto(position, std::min(clusterSize_, kAffinitySpan), &readBytes_);
            sources.emplace_back(position, affinity_.AddSource(readBytes_));
            known = sources.end() - 1;
        }
        sourceOf.push_back(known->second);
    }
    uint32_t countedFor = kNone;
    for (size_t i = 0; i < options.size(); ++i) {
        Option& option = *options[i];
        if (option.end != countedFor) {
            const int64_t e = keys_[pieces_[option.end].lastKey].base + boundary(option);
            const uint32_t length = std::min(clusterSize_, kAffinityLeft);
            source.ReadInto(e - length, length, &readBytes_);
            affinity_.Count(readBytes_, &affinityCounts_);
            countedFor = option.end;
        }
        option.affinity = affinityCounts_[sourceOf[i]];
    }
}

const StoreReassembly::EndSide& StoreReassembly::EndOf(CachedSource& source, uint32_t end) const {
    if (endSide_.end == end) return endSide_;
    const Key& e = keys_[pieces_[end].lastKey];
    const BlockRecord& last = (*blocks_)[LastBlock(pieces_[end].lastKey)];
    const uint64_t lo = (uint64_t{e.cluster} + 1) * clusterSize_;
    const uint64_t dataStart = uint64_t{last.selfOffset} + kBlockHeaderSize;
    endSide_.end = end;
    // The last block's data up to the boundary: none where the boundary
    // cuts its header (the option decides how long the data is then).
    if (dataStart >= lo) {
        endSide_.before.clear();
    } else if (dataStart + last.dataLength > lo) {
        source.ReadInto(e.base + static_cast<int64_t>(dataStart),
                        static_cast<uint32_t>(lo - dataStart), &endSide_.before);
    } else {
        source.ReadInto(static_cast<int64_t>(last.position + kBlockHeaderSize), last.dataLength,
                        &endSide_.before);
    }
    endSide_.beforeIsText = IsPlausibleText(endSide_.before);
    endSide_.base64Line = FixedBase64LineLength(endSide_.before);
    // Where an option may complete a header that the boundary cuts.
    CutHeaderOffsets(source, e.base, lo, &endSide_.cutHeaders);
    endSide_.messageRead = false;
    endSide_.message.clear();
    endSide_.width = SIZE_MAX;
    endSide_.bodyKnown = false;
    return endSide_;
}

PartBody StoreReassembly::EndBody(CachedSource& source, uint32_t end) const {
    const std::vector<uint8_t>& message = EndMessage(source, end);
    if (!endSide_.bodyKnown) {
        endSide_.body = BodyBeforeBoundary(message);
        endSide_.bodyKnown = true;
    }
    return endSide_.body;
}

const std::vector<uint8_t>& StoreReassembly::EndMessage(CachedSource& source, uint32_t end) const {
    EndOf(source, end);
    if (endSide_.messageRead) return endSide_.message;
    endSide_.messageRead = true;
    const BlockRecords& blocks = *blocks_;
    const Key& e = keys_[pieces_[end].lastKey];
    // The message's text as far back as a few blocks of the piece: the
    // blocks are found going back, and read going forward.
    uint32_t chain[kBoundaryLookBack];
    int count = 0;
    uint32_t current = LastBlock(pieces_[end].lastKey);
    for (; count < kBoundaryLookBack; ++count) {
        const std::span<const uint32_t> naming = blocks.Naming(blocks[current].selfOffset);
        const auto previous = std::find_if(naming.begin(), naming.end(),
                                           [&](uint32_t g) { return blocks[g].Base() == e.base; });
        if (previous == naming.end()) break;
        current = *previous;
        chain[count] = current;
    }
    std::vector<uint8_t>& message = endSide_.message;
    for (int i = count - 1; i >= 0; --i) {
        const BlockRecord& block = blocks[chain[i]];
        const size_t at = message.size();
        message.resize(at + block.dataLength);
        source.ReadTo(static_cast<int64_t>(block.position + kBlockHeaderSize), block.dataLength,
                      message.data() + at);
    }
    message.insert(message.end(), endSide_.before.begin(), endSide_.before.end());
    return message;
}

size_t StoreReassembly::EndWidth(CachedSource& source, uint32_t end) const {
    if (EndOf(source, end).width == SIZE_MAX) {
        const Key& e = keys_[pieces_[end].lastKey];
        const int64_t lo = (int64_t{e.cluster} + 1) * clusterSize_;
        const uint32_t span = std::min(clusterSize_, kAffinityLeft);
        source.ReadInto(e.base + lo - span, span, &readBytes_);
        endSide_.width = LongestTextLine(readBytes_);
    }
    return endSide_.width;
}

bool StoreReassembly::WeighsEveryOption(size_t ends, size_t starts) {
    return ends <= kMostWeighed && starts <= kMostWeighed;
}

StoreReassembly::Option StoreReassembly::Evaluate(CachedSource& source, uint32_t end,
                                                  uint32_t start, bool wording,
                                                  bool* needed) const {
    const BlockRecords& blocks = *blocks_;
    const bool inPlace = start == kNone;
    const Key& e = keys_[pieces_[end].lastKey];
    const uint32_t f = e.cluster;
    const int64_t baseE = e.base;
    const int64_t baseK = inPlace ? baseE : keys_[pieces_[start].firstKey].base;
    const uint64_t lo = (uint64_t{f} + 1) * clusterSize_;
    const uint64_t hi = lo + clusterSize_;
    Option option{end, start};
    const auto reject = [&option] {
        option.rejected = true;
        return option;
    };

    const uint32_t x = LastBlock(pieces_[end].lastKey);
    const BlockRecord& last = blocks[x];
    const bool crossing = uint64_t{last.selfOffset} + kBlockHeaderSize > lo;
    // The option's block at offset, if any. The search starts at a block
    // of the cluster the offsets mostly lie in: the start's first one, or
    // the end's last.
    const uint32_t nearK = inPlace ? x : byBase_[keys_[pieces_[start].firstKey].first];
    const auto optionBlock = [&](uint64_t offset) {
        return offset <= 0xFFFFFFFFu ? blocks.At(baseK, static_cast<uint32_t>(offset), nearK)
                                     : BlockRecords::kNoBlock;
    };

    if (inPlace && IsDamagedGap(pieces_[end].lastKey, f + 1, false)) return reject();

    // A header cut by the boundary, put together from both sides.
    const auto rebuilt = [&](uint64_t offset) {
        const auto split = static_cast<uint32_t>(std::min<uint64_t>(lo - offset, kBlockHeaderSize));
        return ReadCutHeader(source, baseE + static_cast<int64_t>(offset), split,
                             baseK + static_cast<int64_t>(lo));
    };

    // The last block's data, where it runs over the boundary.
    uint32_t lastLength = last.dataLength;
    if (crossing) {
        const BlockHeader header = rebuilt(last.selfOffset);
        if (IsAcceptedHeader(header)) lastLength = header.dataLength;
    }
    const uint64_t dataStart = uint64_t{last.selfOffset} + kBlockHeaderSize;
    const uint64_t dataEnd = dataStart + lastLength;
    // The start's first block lies where the last block's data still runs:
    // this start is no way on (the file goes on somewhere, so the end needs
    // one). Settled before the links are looked at, which cost more.
    if (dataEnd > lo && !inPlace && blocks[nearK].selfOffset < dataEnd) {
        *needed = true;
        return reject();
    }

    // Forward links: blocks of the ending piece that name offsets in f + 1.
    for (const auto& [piece, g] : OfPiece(namingAfter_, end)) {
        if (g == x && crossing) continue;
        *needed = true;
        const uint32_t next = blocks[g].nextOffset;
        const uint32_t found = optionBlock(next);
        if (found != BlockRecords::kNoBlock) {
            // A chain does not run into the start of a message, nor into a
            // block that its own piece names: a block has one predecessor.
            source.ReadInto(static_cast<int64_t>(blocks[found].position + kBlockHeaderSize),
                            std::min(blocks[found].dataLength, kMessageStartSpan), &readBytes_);
            const std::span<const uint32_t> naming = blocks.Naming(next);
            const bool namedInPlace = std::any_of(naming.begin(), naming.end(), [&](uint32_t n) {
                return blocks[n].Base() == baseK && (inPlace || !NamesFromInLineEnd(start, n));
            });
            if (!IsMessageStart(readBytes_) && !namedInPlace) option.strong += 1;
        } else if (next + kBlockHeaderSize <= hi) {
            option.strong -= 1;
        }
    }

    // Offsets named on either side whose header the boundary cuts.
    std::vector<uint64_t> cutOffsets;
    for (const auto& [piece, g] : OfPiece(namingLastEdge_, end)) {
        if (g == x && crossing) continue;
        cutOffsets.push_back(blocks[g].nextOffset);
    }
    if (crossing) cutOffsets.push_back(last.selfOffset);
    // A start a cluster later names, before it, offsets of the cluster
    // that would lead into it, not of f.
    const bool leadIn = !inPlace && keys_[pieces_[start].firstKey].cluster != f + 1;
    if (!inPlace && !leadIn) {
        for (const auto& [piece, h] : OfPiece(namingBefore_, start)) {
            const uint32_t next = blocks[h].nextOffset;
            if (next + kBlockHeaderSize > lo) {
                cutOffsets.push_back(next);
            } else {
                // Backward links: blocks of the starting piece that name
                // offsets in f.
                option.strong += blocks.At(baseE, next, x) != BlockRecords::kNoBlock ? 1 : -1;
            }
        }
    }
    if (!cutOffsets.empty()) *needed = true;

    // The message text just before the boundary (the end's, the same for
    // all its options) and just after it.
    const EndSide& side = EndOf(source, end);
    const std::vector<uint8_t>& before = side.before;
    std::vector<uint8_t>& after = afterBytes_;
    after.clear();
    if (dataEnd > lo) {
        *needed = true;
        const uint64_t from = std::max(lo, dataStart);
        source.ReadInto(baseK + static_cast<int64_t>(from),
                        static_cast<uint32_t>(std::min(dataEnd, hi) - from), &after);
        if (side.beforeIsText) {
            if (!IsPlausibleText(after)) return reject();
            option.strong += 1;
        }
    }
    // The block the last one names, when the option holds it.
    if (!crossing && last.nextOffset != 0 && (!after.empty() || dataEnd <= lo)) {
        const uint32_t j = optionBlock(last.nextOffset);
        if (j != BlockRecords::kNoBlock) {
            const size_t at = after.size();
            after.resize(at + blocks[j].dataLength);
            source.ReadTo(static_cast<int64_t>(blocks[j].position + kBlockHeaderSize),
                          blocks[j].dataLength, after.data() + at);
        }
    }
    switch (JoinText(before, after, side.base64Line)) {
        case TextJoin::kTextBreaks: return reject();
        case TextJoin::kTextGoesOn: option.strong += 1; break;
        case TextJoin::kTextSaysNothing: break;
    }
    if (!after.empty()) {
        // A boundary the last blocks do not show may have been declared
        // further back (nested parts), so only a match counts.
        if (JoinBoundaries(EndMessage(source, end), after) == TextJoin::kTextGoesOn)
            option.strong += 1;
    }
    // Text wrapped at some width on both sides does not go on in a line
    // longer than any of theirs. (Not in place: a long line, such as a long
    // Subject, is no reason to doubt the file system's own contiguity.)
    if (!inPlace && !before.empty() && !after.empty()) {
        // The widths and the text tests scan text: they are only looked at
        // where the joined line could be longer than the widths.
        const size_t joined = JoinedLineLength(before, after);
        size_t widthAfter = 0;
        if (joined != SIZE_MAX) {
            const auto [known, fresh] = startWidths_.try_emplace(start, 0);
            if (fresh) {
                source.ReadInto(baseK + static_cast<int64_t>(lo),
                                std::min(clusterSize_, kAffinitySpan), &readBytes_);
                known->second = LongestTextLine(readBytes_);
            }
            widthAfter = known->second;
        }
        if (widthAfter != 0 && joined > widthAfter + kWidthSlack && side.beforeIsText &&
            IsPlausibleText(after)) {
            const size_t widthBefore = EndWidth(source, end);
            if (widthBefore != 0 && joined > widthBefore + kWidthSlack) option.strong -= 1;
        }
    }

    // Cut headers: the named ones must be headers, and so may any that
    // the end's last bytes begin (the block after the last one on the
    // store's grid, or the first of a message that nothing names).
    const uint64_t grid = uint64_t{last.selfOffset} + kBlockSpan;
    std::vector<std::pair<uint64_t, bool>> cuts;  // (offset, named)
    for (const uint64_t offset : cutOffsets) cuts.emplace_back(offset, true);
    for (const uint64_t offset : side.cutHeaders) cuts.emplace_back(offset, false);
    std::sort(cuts.begin(), cuts.end());
    for (size_t i = 0; i < cuts.size(); ++i) {
        if (i > 0 && cuts[i].first == cuts[i - 1].first) continue;
        bool named = false;
        for (size_t j = i; j < cuts.size() && cuts[j].first == cuts[i].first; ++j)
            named = named || cuts[j].second;
        const BlockHeader header = rebuilt(cuts[i].first);
        if (IsAcceptedHeader(header) && header.selfOffset == cuts[i].first) {
            if (!inPlace) option.strong += 2;
        } else if (named) {
            return reject();
        }
    }

    // A file system's prior for contiguity, or a start right on the grid.
    const uint32_t firstOffset =
        inPlace ? 0 : blocks[byBase_[keys_[pieces_[start].firstKey].first]].selfOffset;
    option.weak = inPlace || grid == firstOffset ? 1 : 0;
    option.inLine = !inPlace && baseK == baseE ? 1 : 0;
    const int64_t ahead = baseK - baseE;
    option.near = ahead >= 0 && ahead <= int64_t{kNearClusters} * clusterSize_ ? 1 : 0;

    // What the message's lines and words say, looked at last and only for
    // an option that is one still (they cost a scan of the text), where
    // options are weighed against each other.
    if (!wording) return option;
    if (!after.empty() && option.strong >= 1) {
        // Header fields and prose do not mix within one paragraph.
        if (JoinParagraph(EndMessage(source, end), after) == TextJoin::kTextBreaks)
            option.strong -= 1;
    }
    if (!after.empty() && option.strong >= 1) {
        // A part's body goes on in its own encoding, and a header does not
        // name a field twice.
        const std::vector<uint8_t>& message = EndMessage(source, end);
        if (JoinPartEncoding(message, after, EndBody(source, end)) == TextJoin::kTextBreaks ||
            JoinHeaderFields(message, after) == TextJoin::kTextBreaks) {
            option.strong -= 1;
        }
    }
    if (!after.empty() && option.strong >= 1) {
        // A word cut by the boundary makes a word the message uses.
        if (JoinWords(EndMessage(source, end), after) == TextJoin::kTextGoesOn) option.words = 1;
        // Each run of character kinds across the boundary that the message
        // has nowhere else speaks against the option as much.
        option.words -= static_cast<int>(UnseenBoundaryGrams(EndMessage(source, end), after));
        if (SoftBreaksBegin(EndMessage(source, end), after)) option.words -= 1;
    }

    return option;
}

namespace {

// An option's evidence as one weight that orders options as the evidence
// does (strong first, then words, in line, weak, near and affinity), and
// that is never 0.
int64_t WeightOf(int strong, int inLine, int words, int weak, int near, size_t affinity) {
    int64_t weight = strong;
    weight = weight * 32 + std::clamp(words, -15, 15) + 16;
    weight = weight * 2 + inLine;
    weight = weight * 2 + weak;
    weight = weight * 2 + near;
    return weight * 4096 + static_cast<int64_t>(std::min<size_t>(affinity, 4095));
}

}  // namespace

bool StoreReassembly::SameBytesBefore(CachedSource& source, uint32_t end, uint32_t other) const {
    const Key& a = keys_[pieces_[end].lastKey];
    const Key& b = keys_[pieces_[other].lastKey];
    const uint32_t span = std::min(clusterSize_, 2 * kBlockSpan);
    const int64_t from = (int64_t{a.cluster} + 1) * clusterSize_ - span;
    return source.Read(a.base + from, span) == source.Read(b.base + from, span);
}

void StoreReassembly::Assign(CachedSource& source, std::vector<Option>& options,
                             const std::vector<uint32_t>& ends, const std::vector<bool>& needs) {
    const auto startBase = [&](const Option& o) {
        return keys_[pieces_[o.start == kNone ? o.end : o.start].firstKey].base;
    };
    const auto distance = [&](const Option& o) {
        const int64_t d = startBase(o) - keys_[pieces_[o.end].lastKey].base;
        return d < 0 ? -d : d;
    };
    std::sort(options.begin(), options.end(), [&](const Option& a, const Option& b) {
        return std::make_tuple(-a.strong, -a.words, -a.inLine, -a.weak, -a.near,
                               -static_cast<int64_t>(a.affinity), distance(a), a.end, a.start) <
               std::make_tuple(-b.strong, -b.words, -b.inLine, -b.weak, -b.near,
                               -static_cast<int64_t>(b.affinity), distance(b), b.end, b.start);
    });
    std::unordered_set<uint32_t> done, taken;
    std::unordered_map<uint32_t, bool> needed;  // by end
    for (size_t i = 0; i < ends.size(); ++i) needed[ends[i]] = needs[i];
    // The options of each end and of each start, in the order above.
    std::unordered_map<uint32_t, std::vector<const Option*>> ofEnd, ofStart;
    for (const Option& o : options) {
        ofEnd[o.end].push_back(&o);
        if (o.start != kNone) ofStart[o.start].push_back(&o);
    }
    const auto isTaken = [&](const Option& o) { return o.start != kNone && taken.count(o.start); };
    const auto link = [&](const Option& o, bool guessed) {
        Piece& end = pieces_[o.end];
        end.guessed = guessed;
        if (o.start == kNone) {
            end.next = Next::InPlace;
        } else {
            end.next = Next::Start;
            end.nextPiece = o.start;
            pieces_[o.start].linkedFrom = true;
            taken.insert(o.start);
        }
        ++linkCount_;
    };
    const auto linked = [&](uint32_t end) { return pieces_[end].next != Next::Unknown; };
    // Many copies of one cluster: weighing every option against every
    // rival would cost the cube of their number, so only an option that
    // is the one of its end and of its start is sure, and the rest are
    // guessed in order of likelihood.
    const bool weighed = WeighsEveryOption(ends.size(), ofStart.size());

    // Starts whose best option was left to pass 2 as a guess.
    std::unordered_set<uint32_t> wantedByGuess;
    // Pass 1: the sure links, each end's best option where nothing rivals
    // or contests it (with too many copies to weigh: the one option of its
    // end and of its start). An end's best option that would win over one
    // of equal strong evidence only by the priors or by affinity is a
    // guess, left to pass 2, and its start is wanted by that guess, so that
    // no later option takes it as sure; a tie on all evidence that affinity
    // does not break by a wide lead claims no start.
    for (const Option& o : options) {
        if (done.count(o.end) || isTaken(o)) continue;
        done.insert(o.end);
        if (!weighed) {
            if (ofEnd[o.end].size() == 1 && (o.start == kNone || ofStart[o.start].size() == 1))
                link(o, false);
            continue;
        }
        size_t rival = 0;
        bool rivalled = false;
        bool contested = false;
        // Going on in place where a start as strongly supported went to
        // another end is only what is left: the cluster in line holds no
        // block of the file, and the file's own next one, elsewhere, may
        // hold none either. Such a link is a guess.
        bool leftOver = false;
        const auto weigh = [&](const Option& other) {
            if (o.start == kNone && other.end == o.end && isTaken(other) &&
                other.strong == o.strong)
                leftOver = true;
            const bool sameEnd = other.end == o.end && other.start != o.start && !isTaken(other);
            const bool sameStart = o.start != kNone && other.start == o.start &&
                                   other.end != o.end && !linked(other.end);
            if (!sameEnd && !sameStart) return;
            // An option as strongly supported that only the weaker priors
            // or affinity put behind: the link is a guess.
            if (other.strong == o.strong) contested = true;
            if (other.strong != o.strong || other.inLine != o.inLine || other.words != o.words ||
                other.weak != o.weak || other.near != o.near)
                return;
            rivalled = true;
            rival = std::max(rival, other.affinity);
        };
        for (const Option* other : ofEnd[o.end]) weigh(*other);
        if (o.start != kNone) {
            for (const Option* other : ofStart[o.start]) weigh(*other);
        }
        if (rivalled && o.affinity < kAffinityFactor * rival + kAffinitySlack) continue;
        // A link that would be a guess, or that would take a start another
        // end's guess wanted, is left to the matching of pass 2.
        if (rivalled || contested || (o.start != kNone && wantedByGuess.count(o.start))) {
            if (o.start != kNone) wantedByGuess.insert(o.start);
            continue;
        }
        link(o, leftOver);
    }

    // Pass 2: the ends that need a continuation and their open options,
    // settled all at once where every option is weighed: the links whose
    // evidence adds up to the most, so that an end whose one good option
    // another end could do without keeps it. Every such link is a guess.
    if (weighed) {
        // Columns: the open starts, and going on in place, one for each end.
        const auto columnKey = [](const Option& o) {
            return o.start == kNone ? std::make_pair(kNone, o.end) : std::make_pair(o.start, kNone);
        };
        std::vector<uint32_t> rows;
        std::map<std::pair<uint32_t, uint32_t>, size_t> columnOf;
        for (size_t i = 0; i < ends.size(); ++i) {
            if (linked(ends[i]) || !needs[i]) continue;
            rows.push_back(ends[i]);
            for (const Option* o : ofEnd[ends[i]]) {
                if (!isTaken(*o)) columnOf.emplace(columnKey(*o), columnOf.size());
            }
        }
        std::vector<std::vector<int64_t>> weights(rows.size(),
                                                  std::vector<int64_t>(columnOf.size(), 0));
        std::vector<std::vector<const Option*>> optionAt(
            rows.size(), std::vector<const Option*>(columnOf.size(), nullptr));
        for (size_t r = 0; r < rows.size(); ++r) {
            for (const Option* o : ofEnd[rows[r]]) {
                if (isTaken(*o)) continue;
                const size_t c = columnOf.at(columnKey(*o));
                weights[r][c] =
                    WeightOf(o->strong, o->inLine, o->words, o->weak, o->near, o->affinity);
                optionAt[r][c] = o;
            }
        }
        const std::vector<int> matched = BestMatching(weights);
        for (size_t r = 0; r < rows.size(); ++r) {
            if (matched[r] >= 0) link(*optionAt[r][static_cast<size_t>(matched[r])], true);
        }
    }

    // Copies of one file: an end left over whose best option is a start
    // that an end with the same bytes before the boundary took, on evidence
    // as strong, goes on there too, as a guess. What the bytes say is the
    // same for both; which copy the start continued, only the priors (in
    // line, near) would tell.
    if (weighed) {
        std::unordered_set<uint32_t> seen;
        for (const Option& o : options) {
            // Each end's best option only.
            if (!seen.insert(o.end).second) continue;
            if (linked(o.end) || !needed[o.end] || !isTaken(o)) continue;
            for (const Option* other : ofStart[o.start]) {
                const Piece& winner = pieces_[other->end];
                if (other->end == o.end || winner.next != Next::Start ||
                    winner.nextPiece != o.start)
                    continue;
                if (other->strong == o.strong && other->words == o.words &&
                    SameBytesBefore(source, o.end, other->end))
                    link(o, true);
                break;
            }
        }
    }

    // Pass 3: an end that needs a continuation and still has open options
    // takes the likeliest, best first, as a guess; messages read across it
    // are flagged, so a wrong one is no unmarked message, and a right one
    // keeps its end. Ends left with none are blocked.
    for (const Option& o : options) {
        if (linked(o.end) || !needed[o.end] || isTaken(o)) continue;
        link(o, true);
    }
    for (size_t i = 0; i < ends.size(); ++i) {
        if (linked(ends[i]) || !needs[i]) continue;
        pieces_[ends[i]].next = Next::Blocked;
        ++blockedCount_;
    }
}

}  // namespace varrow
