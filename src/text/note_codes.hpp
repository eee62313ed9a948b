#pragma once
// The codes of the notes that conversions leave beside their error lines:
// what a conversion could not carry over, or filled in by itself. Stable:
// scripts read them from reports. The words for people are in
// batch/codes.cpp.

#include <string_view>

namespace torvane::note {

// ddr to MSD.
inline constexpr std::string_view kTempoDefault = "tempo-default";
inline constexpr std::string_view kGapDefault = "gap-default";
inline constexpr std::string_view kLevelDefault = "level-default";
inline constexpr std::string_view kSongTagNotRead = "song-tag-not-read";
inline constexpr std::string_view kDifficultyMissing = "difficulty-missing";
inline constexpr std::string_view kMeasureOver999 = "measure-over-999";
inline constexpr std::string_view kMeasureUnreadable = "measure-unreadable";
inline constexpr std::string_view kSecondPadIgnored = "second-pad-ignored";
inline constexpr std::string_view kLineAfterStepsNotRead = "line-after-steps-not-read";

// MSD to ddr.
inline constexpr std::string_view kLevelCut = "level-cut";
inline constexpr std::string_view kMeasuresOver999 = "measures-over-999";
inline constexpr std::string_view kChartOfUnknownDifficulty = "chart-of-unknown-difficulty";
inline constexpr std::string_view kChartReplaced = "chart-replaced";
inline constexpr std::string_view kTripletsApproximated = "triplets-approximated";
inline constexpr std::string_view kStep5AsLeftUp = "step-5-as-left-up";
inline constexpr std::string_view kChartShifted = "chart-shifted";
inline constexpr std::string_view kNoChart = "no-chart";

// MSD to d2r.
inline constexpr std::string_view kTempoTruncated = "tempo-truncated";
inline constexpr std::string_view kGapTruncated = "gap-truncated";
inline constexpr std::string_view kLeadInCut = "lead-in-cut";
inline constexpr std::string_view kDifficultyNotWritten = "difficulty-not-written";
inline constexpr std::string_view kTripletsOnGrid = "triplets-on-grid";

// d2r to MSD.
inline constexpr std::string_view kStartDefault = "start-default";
inline constexpr std::string_view kDelayDefault = "delay-default";
inline constexpr std::string_view kStyleMissing = "style-missing";
inline constexpr std::string_view kModeNotADifficulty = "mode-not-a-difficulty";
inline constexpr std::string_view kStepLineDropped = "step-line-dropped";

// Simfiles.
inline constexpr std::string_view kEditChart = "edit-chart";
inline constexpr std::string_view kMeterDefault = "meter-default";
inline constexpr std::string_view kStep5Dropped = "step-5-dropped";
inline constexpr std::string_view kSecondSideDropped = "second-side-dropped";
inline constexpr std::string_view kTimingPerChartLost = "timing-per-chart-lost";
inline constexpr std::string_view kTextNotCp932 = "text-not-cp932";
inline constexpr std::string_view kMusicMissing = "music-missing";

}  // namespace torvane::note
