#pragma once
// Notes of the d2r conversions: what a chart loses on its way between MSD
// and d2r. Each helper adds its notes only where the loss happens.

#include <string_view>

#include "d2r/d2r_to_msd.hpp"
#include "text/error_list.hpp"

namespace torvane {

// MSD to d2r: a header number whose fraction the d2r key cannot hold.
void NoteIfTruncated(std::string_view code, std::string_view value, double number, ErrorList& errors);

// MSD to d2r: the notes of a chart: a difficulty the section cannot name,
// and pads whose leading rests come out below zero and are cut.
void NoteMsdChartForD2r(std::string_view chart_line, std::string_view steps, long long chart_lead_in,
                        long long lead_in, long long reference_lead_in, ErrorList& errors);

// d2r to MSD: a line of a step block that is dropped.
void NoteD2rBlockLine(std::string_view line, ErrorList& errors);

// d2r to MSD: the notes of the chart that took the state from `before` to
// `after`: no style before it, a mode that is no difficulty, and a START or
// DELAY taken by default for the gap it wrote.
void NoteD2rChart(const D2rToMsdState& before, const D2rToMsdState& after, bool start_found, bool delay_found,
                  ErrorList& errors);

}  // namespace torvane
