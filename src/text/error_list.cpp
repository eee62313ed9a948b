#include "text/error_list.hpp"

#include "text/line_io.hpp"

namespace torvane {
std::string RenderErrorLine(const ErrorLine& line) {
    const std::string& message = ErrorMessage(line.code);
    std::string rendered;
    rendered.reserve(line.file.size() + message.size() + line.text.size());
    rendered.append(line.file).append(message).append(line.text);
    return rendered;
}

std::string MeasureAndBeat(std::size_t measure, std::size_t beat) {
    return "measure " + std::to_string(measure) + " beat " + std::to_string(beat);
}

ErrorLine PlainErrorLine(std::string text) {
    ErrorLine line;
    line.text = std::move(text);
    return line;
}

void ErrorList::Add(std::string_view file_name, ErrorCode code, std::string_view text, std::string_view at) {
    AddOnLine(place_ != nullptr ? place_->SourceLine() : source_line_, file_name, code, text, at);
}

void ErrorList::AddOnLine(std::size_t source_line, std::string_view file_name, ErrorCode code, std::string_view text,
                          std::string_view at) {
    if (lines_.size() >= keep_at_most_) {
        ++lines_not_kept_;
        return;
    }
    ErrorLine line{code, std::string(file_name), std::string(text), source_line, {}, std::string(at)};
    if (ErrorCodeRowOf(code).text_is_chart) line.chart = line.text;
    lines_.push_back(std::move(line));
}

void ErrorList::Add(ErrorLine line) {
    if (lines_.size() >= keep_at_most_) {
        ++lines_not_kept_;
        return;
    }
    lines_.push_back(std::move(line));
}

void ErrorList::AddNote(std::string_view code, std::string_view chart, std::string_view value) {
    if (notes_.size() >= keep_at_most_) return;
    notes_.push_back(Note{std::string(code), std::string(chart), std::string(value)});
}

std::vector<std::string> ErrorList::Lines() const {
    std::vector<std::string> rendered;
    rendered.reserve(lines_.size());
    for (const ErrorLine& line : lines_) rendered.push_back(RenderErrorLine(line));
    return rendered;
}

void ErrorList::CountLinesOf(LineSource& source) { source.CountLinesInto(&source_line_); }

void ErrorList::PlaceBy(SourcePlace* place) { place_ = place; }

void ErrorList::SaveTo(const std::filesystem::path& file) const {
    auto out = DiskStorage().CreateDestination(file, {});
    for (const ErrorLine& line : lines_) out->WriteLine(RenderErrorLine(line));
    out->Commit();
}

HeldErrorLines::HeldErrorLines(std::size_t source_line) : place_(source_line) { held_.PlaceBy(&place_); }

HeldErrorLines::~HeldErrorLines() { held_.PlaceBy(nullptr); }

void HeldErrorLines::MoveTo(ErrorList& errors) {
    for (const ErrorLine& line : held_.Entries()) errors.Add(line);
    held_.Clear();
}

}  // namespace torvane
