#include "msd/pad_builder.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "msd/encoder.hpp"

namespace torvane {
namespace {

// What a beat of rests is written as.
const std::string& SilentBeat() {
    static const std::string beat = [] {
        std::string text = "(00000000";
        CompactGroupAtEnd(text, 0);
        return text;
    }();
    return beat;
}

}  // namespace

void MsdPadBuilder::AddRests(std::size_t count) {
    if (beat_open_) {
        const std::size_t take = std::min(count, static_cast<std::size_t>(kUnitsPerBeat - units_));
        text_.append(take, '0');
        units_ += static_cast<int>(take);
        count -= take;
        if (units_ == kUnitsPerBeat) FinishBeat();
    }
    if (count == 0) return;
    const std::string& silent_beat = SilentBeat();
    for (std::size_t beat = 0; beat < count / kUnitsPerBeat; ++beat) text_.append(silent_beat);
    if (count % kUnitsPerBeat == 0) return;
    text_ += '(';
    text_.append(count % kUnitsPerBeat, '0');
    beat_open_ = true;
    units_ = static_cast<int>(count % kUnitsPerBeat);
}

void MsdPadBuilder::CloseBeat() {
    if (!beat_open_) return;
    text_.append(static_cast<std::size_t>(kUnitsPerBeat - units_), '0');
    FinishBeat();
}

bool MsdPadBuilder::StartTriplet() {
    if (!beat_open_) return true;
    const std::string_view text = text_;
    if (units_ == kUnitsPerBeat / 2 && text.ends_with("000")) {
        // The open half beat "(x000" is the 8th note x.
        const char step = text[text.size() - 4];
        text_.resize(text.size() - 5);
        text_ += step;
        beat_open_ = false;
        units_ = 0;
        return true;
    }
    CloseBeat();
    return false;
}

void MsdPadBuilder::AddTriplet(char first, char second, char third) {
    const std::size_t open = text_.size();
    text_ += '(';
    text_ += first;
    text_ += second;
    text_ += third;
    CompactGroupAtEnd(text_, open);
}

std::string MsdPadBuilder::TakeWholeBeats() {
    std::string open_beat;
    if (beat_open_) {
        const std::size_t at = text_.size() - 1 - static_cast<std::size_t>(units_);
        open_beat = text_.substr(at);
        text_.resize(at);
    }
    std::string whole_beats = EncodeMSDStepsFully(std::move(text_));
    text_ = std::move(open_beat);
    return whole_beats;
}

std::string MsdPadBuilder::Finish() {
    CloseBeat();
    std::string text = std::move(text_);
    text_.clear();
    return text;
}

void MsdPadBuilder::FinishBeat() {
    beat_open_ = false;
    units_ = 0;
    CompactGroupAtEnd(text_, text_.size() - kUnitsPerBeat - 1);
}

}  // namespace torvane
