#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace torvane {

// The MSD step text of one pad, built from units (a unit is a 32nd note) in
// beat groups of eight. Each group is compacted by the encoder's rule as it
// closes, and compacting a group depends on nothing around it, so the text
// is always as short as it will be written.
class MsdPadBuilder {
public:
    // Adds one unit: opens a beat group when none is open, closes it at eight.
    void AddUnit(char step) {
        beat_[units_] = step;
        if (++units_ == kUnitsPerBeat) FinishBeat();
    }
    // Adds `count` silent units, as AddUnit would one by one.
    void AddRests(std::size_t count);
    // Fills the open beat group with rests and closes it.
    void CloseBeat();

    // Makes room for a triplet beat, which takes a whole beat of its own: it
    // may start on a beat, or after a half beat whose last three units are
    // silent (that half beat becomes a plain 8th note). Anywhere else the
    // open beat is filled with rests and closed, and the result is false.
    [[nodiscard]] bool StartTriplet();
    // Adds the triplet beat of three steps, after StartTriplet.
    void AddTriplet(char first, char second, char third);

    // Splits the lead-in off the pad: returns the compacted text of the whole
    // beats so far and keeps only the open part of the current beat, so that
    // the next step keeps its place in the beat.
    [[nodiscard]] std::string TakeWholeBeats();

    // The text, with the open beat as far as it goes ("(" and its units).
    [[nodiscard]] std::string Text() const;
    [[nodiscard]] bool BeatOpen() const { return units_ > 0; }
    [[nodiscard]] int UnitsInBeat() const { return units_; }

    // Closes the open beat and hands over the finished text.
    [[nodiscard]] std::string Finish();

private:
    static constexpr int kUnitsPerBeat = 8;

    void FinishBeat();

    // The closed beats, each compacted as it closed.
    std::string text_;
    // The open beat: its first units_ units; none open while units_ is 0.
    // Kept apart from the text, so that a beat is written once, compacted.
    // The units past the open ones are always "0": rests cost only a count,
    // and a beat closed early needs no filling.
    std::array<char, kUnitsPerBeat> beat_ = {'0', '0', '0', '0', '0', '0', '0', '0'};
    int units_ = 0;
};

}  // namespace torvane
