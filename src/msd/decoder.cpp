#include "msd/decoder.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "msd/panels.hpp"
#include "text/byte_masks.hpp"
#include "text/fixed_texts.hpp"
#include "text/sjis.hpp"

namespace torvane {
namespace {

// Finds the first `closing` at or after `i` that is a character of its own:
// "]" and "}" are also possible second bytes of double-byte characters. The
// decoder goes on after what it finds, so each byte is scanned once.
std::size_t FindClosingCharacter(std::string_view text, std::size_t i, char closing) {
    while (i < text.size()) {
        if (text[i] == closing) return i;
        i += SjisCharacterLength(text, i);
    }
    return std::string_view::npos;
}

// The first ")" at or after `from`, or the text's size: sixteen bytes at a
// look where the text has them, since a group is a few bytes and a call to
// find() costs more than it.
std::size_t FindGroupClose(std::string_view text, std::size_t from) {
    for (; text.size() - from >= 16; from += 16) {
        if (const std::uint32_t found = BytesEqualBits(text.data() + from, ')'); found != 0) {
            return from + static_cast<std::size_t>(std::countr_zero(found));
        }
    }
    while (from < text.size() && text[from] != ')') ++from;
    return from;
}

// The expanded text as it is written: cells are stored through a pointer
// into room made ahead, not appended one by one, since most of the decoder's
// work is writing four cells for every step character it reads.
// The room is made a stretch at a time within the capacity reserved for the
// expected size, so that memory not yet written is not touched either: a
// long chart's expanded text is the larger part of what a conversion holds.
class Cells {
public:
    // Cells go after what `out` holds already, the first of which is cell
    // `origin` of the whole text.
    Cells(std::string& out, std::size_t expected, std::size_t origin = 0)
        : out_(out), origin_(origin), expected_end_(std::max(expected, out_.size()) + kMostPerItem) {
        out_.reserve(expected_end_);
        Grow(out_.size());
    }
    // Room for one more item of input: at most kMostPerItem cells.
    void MakeRoom() {
        if (static_cast<std::size_t>(end_ - at_) < kMostPerItem) Grow(Used());
    }
    [[nodiscard]] bool HasRoom(std::size_t cells) const { return static_cast<std::size_t>(end_ - at_) >= cells; }
    void Put(char c) { *at_++ = c; }
    // `c` and then three rests.
    void PutWithRests(char c) {
        std::memcpy(at_, kRests, 4);
        *at_ = c;
        at_ += 4;
    }
    // `count` characters, a size known where it is called, so the copy is
    // a move or two, not a call.
    template <std::size_t count>
    void Put(const char* text) {
        std::memcpy(at_, text, count);
        at_ += count;
    }
    // `count` rests, a size known where it is called: a few moves, not a call.
    template <std::size_t count>
    void PutRests() {
        static_assert(count <= sizeof kManyRests);
        std::memcpy(at_, kManyRests, count);
        at_ += count;
    }
    void Finish() { out_.resize(Used()); }
    // Cells of the whole text written so far.
    [[nodiscard]] std::size_t Size() const { return origin_ + Used(); }

    // "[" ... "]" gives the most: sixteen cells.
    static constexpr std::size_t kMostPerItem = 16;

private:
    static constexpr std::size_t kStretch = 64 * 1024;

    // A stretch, or what is left of the reserved room if that is less: a
    // short chart's text is not followed by a stretch of zeroed bytes.
    // The string's capacity may be well beyond what was reserved: only the
    // room reserved counts.
    void Grow(std::size_t used) {
        const std::size_t reserved = std::min(out_.capacity(), expected_end_) - std::min(out_.size(), expected_end_);
        out_.resize(out_.size() + std::max(kMostPerItem, std::min(kStretch, reserved)));
        at_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }
    [[nodiscard]] std::size_t Used() const { return static_cast<std::size_t>(at_ - out_.data()); }
    static constexpr char kRests[4] = {'0', '0', '0', '0'};
    static constexpr char kManyRests[16] = {'0', '0', '0', '0', '0', '0', '0', '0',
                                            '0', '0', '0', '0', '0', '0', '0', '0'};

    std::string& out_;
    std::size_t origin_ = 0;
    std::size_t expected_end_ = 0;
    char* at_ = nullptr;
    char* end_ = nullptr;
};

// A beat group of n characters between "(" and ")", expanded to cells;
// counts a triplet beat in `triplets`. Returns false for a size that has no
// expansion.
bool ExpandBeatGroup(std::string_view g, Cells& out, std::size_t& triplets) {
    switch (g.size()) {
        case 1:
            out.PutWithRests(g[0]);
            out.PutRests<4>();
            return true;
        case 2:
            out.PutWithRests(g[0]);
            out.PutWithRests(g[1]);
            return true;
        case 3:
            out.Put('T');
            out.Put<3>(g.data());
            ++triplets;
            return true;
        case 4:
            for (const char c : g) {
                out.Put(c);
                out.Put('0');
            }
            return true;
        case 8:
            out.Put<8>(g.data());
            return true;
        default:
            return false;
    }
}

// What the scan does with each byte outside groups.
enum class ByteKind : unsigned char { kDropped, kStep, kKept, kOpenGroup, kOpenCommand, kOpenStepGroup };

constexpr auto kByteKinds = [] {
    std::array<ByteKind, 256> kinds{};
    for (std::size_t c = 0; c < kinds.size(); ++c) {
        if (IsMSDStepCharacter(static_cast<char>(c))) kinds[c] = ByteKind::kStep;
    }
    kinds[':'] = ByteKind::kKept;
    kinds[';'] = ByteKind::kKept;
    kinds['('] = ByteKind::kOpenGroup;
    kinds['{'] = ByteKind::kOpenCommand;
    kinds['['] = ByteKind::kOpenStepGroup;
    return kinds;
}();

// The time of the cells written so far, in 32nd notes: a triplet beat is
// four cells for a beat of eight, ":" and ";" a cell that takes none.
constexpr std::size_t TimeOfCells(std::size_t cells, std::size_t triplets, std::size_t kept) {
    return cells + 4 * triplets - kept;
}

// Where the groups of one side's text stand (StepTextPlace), asked only for
// groups that are reported, in the order of the text.
class GroupPlaces {
public:
    GroupPlaces(const StepTextPlace& place, std::size_t text_size) : place_(place) {
        // The side's own text is the given one less the rests put in front.
        rests_added_ = static_cast<long long>(text_size) -
                       (static_cast<long long>(place.side_end) - static_cast<long long>(place.side_start));
        data_offset_ = static_cast<long long>(place.side_end) - static_cast<long long>(text_size);
    }

    // The source line of the byte at `at` in the given text.
    [[nodiscard]] std::size_t SourceLine(std::size_t at) {
        if (place_.lines == nullptr) return 0;
        const long long offset = data_offset_ + static_cast<long long>(at);
        return place_.lines->LineOf(static_cast<std::size_t>(std::max(offset, 0LL)), passed_);
    }

    // The measure and beat of the time `cells` 32nd notes into the given
    // text, on the side's own timeline.
    [[nodiscard]] std::string At(std::size_t cells) const {
        const long long own = static_cast<long long>(cells) - kCellsPerEighth * rests_added_;
        const auto beats = static_cast<std::size_t>(std::max(own, 0LL)) / kCellsPerBeat;
        return MeasureAndBeat(beats / kBeatsPerMeasure + 1, beats % kBeatsPerMeasure + 1);
    }

private:
    static constexpr long long kCellsPerEighth = 4;
    static constexpr std::size_t kCellsPerBeat = 8;
    static constexpr std::size_t kBeatsPerMeasure = 4;

    const StepTextPlace& place_;
    long long rests_added_ = 0;
    long long data_offset_ = 0;  // where the given text's first byte would stand in the chart's data
    std::size_t passed_ = 0;     // the cursor of ChartSourceLines::LineOf
};

// Reports the groups of one side's text that cannot be converted, each as
// it stood; an opening without its closing partner takes the rest of the
// text with it. Cold and never inlined, so that the scan's loop stays as
// tight as it is without them.
class GroupReports {
public:
    // `steps` stands behind `leading_rests` rests that it does not hold.
    GroupReports(std::string_view steps, std::size_t leading_rests, std::string_view file_name, ErrorList& errors,
                 const StepTextPlace* place)
        : steps_(steps), leading_rests_(leading_rests), file_name_(file_name), errors_(errors), place_(place) {}

    // The group from `open` to `close` of `steps` (npos: to the end),
    // `cells` 32nd notes into the text.
    [[gnu::cold, gnu::noinline]] void Report(std::size_t open, std::size_t close, ErrorCode code, std::size_t cells) {
        const std::size_t length = close == std::string_view::npos ? std::string_view::npos : close - open + 1;
        const std::string_view group = steps_.substr(open, length);
        if (place_ == nullptr) {
            errors_.Add(file_name_, code, group);
            return;
        }
        if (!places_) places_.emplace(*place_, leading_rests_ + steps_.size());
        errors_.Add(ErrorLine{code, std::string(file_name_), std::string(group),
                              places_->SourceLine(leading_rests_ + open), std::string(place_->chart),
                              places_->At(cells)});
    }

private:
    std::string_view steps_;
    std::size_t leading_rests_ = 0;
    std::string_view file_name_;
    ErrorList& errors_;
    const StepTextPlace* place_;
    std::optional<GroupPlaces> places_;  // made at the first report
};

}  // namespace

struct MSDStepDecoder::State {
    State(std::string_view text, std::size_t rests, std::string_view file_name, ErrorList& errors,
          const StepTextPlace* place)
        : steps(text), leading_rests(rests), reports(text, rests, file_name, errors, place) {}

    // Decodes items into `cells` until it holds `limit` cells of the whole
    // text or the text ends.
    // Inlined where the Cells are made, so that their pointers stay in
    // registers: a char written through one could be any of them otherwise.
    [[gnu::always_inline]] void Run(Cells& cells, std::size_t limit, std::vector<std::size_t>* triplet_beats);

    std::string_view steps;
    std::size_t leading_rests = 0;  // still to come
    std::size_t i = 0;              // the next byte of `steps`
    bool done = false;
    // For the time of the cells written so far (TimeOfCells).
    std::size_t triplets = 0;
    std::size_t kept = 0;
    GroupReports reports;
};

inline void MSDStepDecoder::State::Run(Cells& cells, std::size_t limit, std::vector<std::size_t>* triplet_beats) {
    while (leading_rests > 0 && cells.Size() < limit) {
        cells.MakeRoom();
        cells.PutRests<4>();
        --leading_rests;
    }
    std::size_t i = this->i;
    const std::size_t n = steps.size();
    while (i < n && cells.Size() < limit) {
        cells.MakeRoom();
        const char c = steps[i];
        switch (kByteKinds[static_cast<unsigned char>(c)]) {
            case ByteKind::kStep:
                // A run of 8th notes, the commonest notation, without going
                // round the switch for each.
                do {
                    cells.PutWithRests(steps[i]);
                    ++i;
                } while (i < n && kByteKinds[static_cast<unsigned char>(steps[i])] == ByteKind::kStep &&
                         cells.HasRoom(4));
                break;
            case ByteKind::kOpenGroup: {
                // The scan goes on after the ")" it finds, so every byte is
                // looked at once; a group is a few bytes, too short for find().
                const std::size_t close = FindGroupClose(steps, i + 1);
                if (close == n) {
                    reports.Report(i, std::string_view::npos, ErrorCode::kBeatGroupLength,
                                   TimeOfCells(cells.Size(), triplets, kept));
                    i = n;
                    break;
                }
                if (triplet_beats != nullptr && close - i - 1 == 3) triplet_beats->push_back(cells.Size());
                if (!ExpandBeatGroup(steps.substr(i + 1, close - i - 1), cells, triplets)) {
                    reports.Report(i, close, ErrorCode::kBeatGroupLength, TimeOfCells(cells.Size(), triplets, kept));
                    cells.PutRests<8>();
                }
                i = close + 1;
                break;
            }
            case ByteKind::kOpenCommand: {
                const std::size_t close = FindClosingCharacter(steps, i + 1, '}');
                reports.Report(i, close, ErrorCode::kCommandGroup, TimeOfCells(cells.Size(), triplets, kept));
                i = close == std::string_view::npos ? n : close + 1;
                break;
            }
            case ByteKind::kOpenStepGroup: {
                const std::size_t close = FindClosingCharacter(steps, i + 1, ']');
                reports.Report(i, close, ErrorCode::kTwoBeatGroup, TimeOfCells(cells.Size(), triplets, kept));
                if (close == std::string_view::npos) {
                    i = n;
                    break;
                }
                cells.PutRests<16>();
                i = close + 1;
                break;
            }
            case ByteKind::kKept:
                cells.Put(c);
                ++kept;
                ++i;
                break;
            case ByteKind::kDropped:
                i += SjisCharacterLength(steps, i);  // a double-byte character is dropped whole
                break;
        }
    }
    this->i = i;
    done = i >= n && leading_rests == 0;
    cells.Finish();
}

MSDStepDecoder::MSDStepDecoder(std::string_view steps, std::size_t leading_rests, std::string_view file_name,
                               ErrorList& errors, const StepTextPlace* place)
    : state_(std::make_unique<State>(steps, leading_rests, file_name, errors, place)) {}

MSDStepDecoder::~MSDStepDecoder() = default;

void MSDStepDecoder::DecodeInto(std::string& out, std::size_t origin, std::size_t size,
                                std::vector<std::size_t>* triplet_beats) {
    if (state_->done || out.size() >= size) return;
    // Four cells for each byte or rest left, what most notations give: the
    // whole of a short text is made room for at once.
    const std::size_t left = out.size() + 4 * (state_->leading_rests + state_->steps.size() - state_->i);
    Cells cells(out, std::min(size, left), origin);
    const std::size_t limit = size > std::numeric_limits<std::size_t>::max() - origin
                                  ? std::numeric_limits<std::size_t>::max()
                                  : origin + size;
    state_->Run(cells, limit, triplet_beats);
}

bool MSDStepDecoder::Done() const { return state_->done; }

std::string DecodeMSDSteps(std::string_view steps, std::string_view file_name, ErrorList& errors,
                           std::vector<std::size_t>* triplet_beats, const StepTextPlace* place) {
    std::string out;
    MSDStepDecoder decoder(steps, 0, file_name, errors, place);
    decoder.DecodeInto(out, 0, std::numeric_limits<std::size_t>::max(), triplet_beats);
    return out;
}

}  // namespace torvane
