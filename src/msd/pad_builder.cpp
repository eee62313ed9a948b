#include "msd/pad_builder.hpp"

#include <algorithm>
#include <utility>

#include "msd/encoder.hpp"

namespace torvane {

void MsdPadBuilder::AddRests(std::size_t count) {
    if (units_ > 0) {
        const std::size_t take = std::min(count, static_cast<std::size_t>(kUnitsPerBeat - units_));
        units_ += static_cast<int>(take);
        count -= take;
        if (units_ == kUnitsPerBeat) FinishBeat();
    }
    if (count == 0) return;
    // A beat of rests compacts to two 8th notes of rest.
    text_.append(count / kUnitsPerBeat * 2, '0');
    units_ = static_cast<int>(count % kUnitsPerBeat);
}

void MsdPadBuilder::CloseBeat() {
    if (units_ == 0) return;
    units_ = kUnitsPerBeat;
    FinishBeat();
}

bool MsdPadBuilder::StartTriplet() {
    if (units_ == 0) return true;
    if (units_ == kUnitsPerBeat / 2 && beat_[1] == '0' && beat_[2] == '0' && beat_[3] == '0') {
        // The open half beat "(x000" is the 8th note x.
        text_ += beat_[0];
        beat_.fill('0');
        units_ = 0;
        return true;
    }
    CloseBeat();
    return false;
}

void MsdPadBuilder::AddTriplet(char first, char second, char third) {
    // What compacting gives the group "(xyz": the 8th notes x and a rest
    // when the last two thirds are silent, else the group closed.
    if (second == '0' && third == '0') {
        const char notes[] = {first, '0'};
        text_.append(notes, sizeof notes);
    } else {
        const char group[] = {'(', first, second, third, ')'};
        text_.append(group, sizeof group);
    }
}

std::string MsdPadBuilder::TakeWholeBeats() {
    std::string whole_beats = EncodeMSDStepsFully(std::move(text_));
    text_.clear();
    return whole_beats;
}

std::string MsdPadBuilder::Text() const {
    std::string text = text_;
    if (units_ > 0) text.append(1, '(').append(beat_.data(), static_cast<std::size_t>(units_));
    return text;
}

std::string MsdPadBuilder::Finish() {
    CloseBeat();
    std::string text = std::move(text_);
    text_.clear();
    return text;
}

void MsdPadBuilder::FinishBeat() {
    // The compacting passes taken to their end: a beat whose odd units are
    // silent becomes four 16th notes, and when the odd ones of those are
    // silent too, two 8th notes.
    const std::array<char, kUnitsPerBeat>& b = beat_;
    if (b[1] == '0' && b[3] == '0' && b[5] == '0' && b[7] == '0') {
        if (b[2] == '0' && b[6] == '0') {
            const char notes[] = {b[0], b[4]};
            text_.append(notes, sizeof notes);
        } else {
            const char group[] = {'(', b[0], b[2], b[4], b[6], ')'};
            text_.append(group, sizeof group);
        }
    } else {
        const char group[] = {'(', b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], ')'};
        text_.append(group, sizeof group);
    }
    beat_.fill('0');
    units_ = 0;
}

}  // namespace torvane
